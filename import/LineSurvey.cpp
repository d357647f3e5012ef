#include "LineSurvey.h"

#include "ImportTexts.h"
#include "LineReader.h"
#include "RecordReader.h"

#include <algorithm>

LookCounts CountOutcomes(const std::vector<LineCheck>& rows)
{
    LookCounts counts;
    for (const LineCheck& row : rows) {
        switch (row.outcome) {
        case LineCheck::Outcome::New: ++counts.fresh; break;
        case LineCheck::Outcome::InLedger: ++counts.inLedger; break;
        case LineCheck::Outcome::Refused: ++counts.refused; break;
        }
    }
    return counts;
}

namespace {

LineCheck CheckOf(const ReadLine& line, const LineLook* look)
{
    LineCheck row;
    row.lngLineNumber = line.lngLineNumber;
    if (!look) {
        row.outcome = LineCheck::Outcome::Refused;
        row.strDetail = import_texts::ReasonsText(line.reasons);
    } else if (!look->strRefusal.isEmpty()) {
        row.outcome = LineCheck::Outcome::Refused;
        row.strDetail = look->strRefusal;
    } else if (look->inLedger) {
        row.outcome = LineCheck::Outcome::InLedger;
        row.strDetail = import_texts::MatchText(*look->inLedger);
        row.inLedger = look->inLedger;
    } else {
        row.strDetail = (look->newNames + look->matchedNames).join(QStringLiteral(" / "));
    }
    return row;
}

}  // namespace

std::vector<LineCheck> SurveyLines(RecordReader& reader, LineReader& lineReader, StoreCalls& store, bool blnPurchase,
                                   bool blnMustCompare, const std::function<void()>& breathe)
{
    const std::size_t linesAhead = std::max<std::size_t>(1, store.store().LinesAhead());
    std::vector<ReadLine> window;
    std::vector<std::size_t> looked;
    std::vector<LineCheck> rows;
    store.store().StartLook();
    while (!reader.AtEndOfStream() && rows.size() <= std::size_t(INT16_MAX)) {
        ReadWindow(reader, lineReader, window, linesAhead, int(rows.size()));
        std::vector<LineLook> looks;
        try {
            looks = store.LookAt(window, blnPurchase, looked);
        } catch (const std::exception&) {
            if (blnMustCompare)
                throw;
            looks.assign(looked.size(), LineLook());
        }
        std::size_t next = 0;
        for (const ReadLine& line : window)
            rows.push_back(CheckOf(line, line.IsRefused() ? nullptr : &looks[next++]));
        if (breathe)
            breathe();
    }
    return rows;
}
