#include "PatternFit.h"

#include "ColumnMap.h"

#include <algorithm>

std::vector<ImportPattern>
BestFittingPatterns(const std::vector<ImportPattern>& patterns,
                    const std::function<std::optional<QStringList>(const ImportPattern&)>& headerOf)
{
    std::vector<ImportPattern> best;
    std::size_t mostNamed = 1;
    for (const ImportPattern& pattern : patterns) {
        const std::size_t named =
            std::size_t(std::count_if(pattern.sources.begin(), pattern.sources.end(), [](const PatternSource& source) {
                return source.kind == PatternSource::Kind::Header;
            }));
        if (pattern.intHeaderRow < 1 || named < mostNamed)
            continue;
        const std::optional<QStringList> header = headerOf(pattern);
        if (!header || !ColumnMap::FromPattern(pattern, *header))
            continue;
        if (named > mostNamed)
            best.clear();
        mostNamed = named;
        best.push_back(pattern);
    }
    return best;
}
