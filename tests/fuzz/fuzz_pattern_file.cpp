// Reads any bytes as a pattern file: a pattern read is right, and its text
// reads back as the same pattern and the same text; the same bytes cut at
// commas as a header row suggest each field at most once, and sources a
// pattern of that header can keep.
#include "FuzzCheck.h"
#include "PatternFile.h"
#include "PatternSuggestions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <set>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::variant<ImportPattern, QString> reading = ReadPatternFile(bytes);
    const ImportPattern* pattern = std::get_if<ImportPattern>(&reading);
    FUZZ_CHECK(pattern || !std::get<QString>(reading).isEmpty());
    if (pattern) {
        FUZZ_CHECK(PatternProblem(*pattern).isEmpty());
        const QByteArray text = WritePatternFile(*pattern);
        const std::variant<ImportPattern, QString> again = ReadPatternFile(text);
        const ImportPattern* read = std::get_if<ImportPattern>(&again);
        FUZZ_CHECK(read && *read == *pattern);
        FUZZ_CHECK(read && WritePatternFile(*read) == text);
    }

    const QStringList header = QString::fromUtf8(bytes).split(u',');
    for (const bool purchase : {false, true}) {
        std::set<PatternField> suggested;
        for (const std::optional<PatternField>& field : SuggestColumnFields(header, purchase))
            FUZZ_CHECK(!field || suggested.insert(*field).second);
        for (const PatternSource& source : SuggestSources(header, purchase)) {
            if (source.kind == PatternSource::Kind::Header)
                FUZZ_CHECK(!source.strText.trimmed().isEmpty() && header.count(source.strText) <= 1);
            if (source.kind == PatternSource::Kind::Number)
                FUZZ_CHECK(source.intNumber >= 1 && source.intNumber <= header.size());
        }
    }
    return 0;
}
