#include "LineSurvey.h"

#include "ImportTexts.h"
#include "LineReader.h"
#include "RecordSource.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

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

// An OLE Automation date as the clerk reads it.
QString DateText(double dtmDate)
{
    const qint64 days = qint64(std::floor(dtmDate));
    const qint64 seconds = qint64(std::llround((dtmDate - double(days)) * 86400.0));
    const QDateTime at(QDate(1899, 12, 30).addDays(days), QTime(0, 0).addSecs(int(seconds % 86400)));
    return at.toString(seconds % 86400 == 0 ? QStringLiteral("yyyy/MM/dd") : QStringLiteral("yyyy/MM/dd HH:mm"));
}

// What a line read whole would store.
void TakeValues(const ReadLine& line, bool blnPurchase, LineCheck& row)
{
    const TradeRecord& trade = line.trade;
    row.strDate = DateText(trade.dtmTradeDate);
    row.strKind = line.strKind;
    row.strProduct = line.product.strProductName;
    row.strParty = line.party.strPartyName;
    row.lngQuantity = blnPurchase ? trade.lngPurchaseQuantity : trade.lngSalesQuantity;
    row.lngUnitPrice = blnPurchase ? trade.lngPurchaseUnitPrice : trade.lngSalesUnitPrice;
    row.lngAmount = blnPurchase ? trade.lngPurchaseAmount : trade.lngSalesAmount;
}

LineCheck CheckOf(const ReadLine& line, const LineLook* look, bool blnPurchase)
{
    LineCheck row;
    row.lngLineNumber = line.lngLineNumber;
    if (look)
        TakeValues(line, blnPurchase, row);
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
        row.newNames = look->newNames;
        row.matchedNames = look->matchedNames;
        row.strDetail = (look->newNames + look->matchedNames).join(QStringLiteral(" / "));
    }
    return row;
}

}  // namespace

std::vector<LineCheck> SurveyLines(RecordSource& source, LineReader& lineReader, StoreCalls& store, bool blnPurchase,
                                   bool blnMustCompare, const std::function<void()>& breathe)
{
    const std::size_t linesAhead = std::max<std::size_t>(1, store.store().LinesAhead());
    std::vector<ReadLine> window;
    std::vector<std::size_t> looked;
    std::vector<LineCheck> rows;
    store.store().StartLook();
    while (!source.AtEnd() && rows.size() <= std::size_t(INT16_MAX)) {
        ReadWindow(source, lineReader, window, linesAhead, int(rows.size()));
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
            rows.push_back(CheckOf(line, line.IsRefused() ? nullptr : &looks[next++], blnPurchase));
        if (breathe)
            breathe();
    }
    return rows;
}
