#pragma once

#include "StoreCalls.h"
#include "clsLedgerStore.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class LineReader;
class RecordSource;

// What the look before an import found of one data line.
struct LineCheck {
    enum class Outcome { New, InLedger, Refused };
    int64_t lngLineNumber = 0;
    Outcome outcome = Outcome::New;
    // Refused: its reasons; in the ledger: the run and line it is the same
    // as; new: the names it would add, and those matched another way.
    QString strDetail;
    std::optional<LedgerMatch> inLedger;  // InLedger: the stored trade
    // The line as it would be stored, where its reading did not refuse it.
    QString strDate;  // 2024/04/01, or 2024/04/01 14:05 with a time
    QString strKind;
    QString strProduct;
    QString strParty;
    std::optional<int32_t> lngQuantity;
    std::optional<int32_t> lngUnitPrice;
    std::optional<int32_t> lngAmount;
    // Of a new line: the names it would add, and those it would match to a
    // stored one written another way (販売先「ＡＢＣ商事」→「ABC商事」).
    QStringList newNames;
    QStringList matchedNames;
};

// How many lines a look found new, in the ledger and refused.
struct LookCounts {
    int64_t fresh = 0;
    int64_t inLedger = 0;
    int64_t refused = 0;
};
LookCounts CountOutcomes(const std::vector<LineCheck>& rows);

// Every data line read as the run reads it, up to the one that passes its
// counter (a look that holds more than INT16_MAX rows found where the run
// would stop), and the ledger asked of each, writing nothing. With
// blnMustCompare a ledger that cannot be asked raises its reason; without,
// its lines are new to it (the run, which looks again, tells why).
std::vector<LineCheck> SurveyLines(RecordSource& source, LineReader& lineReader, StoreCalls& store, bool blnPurchase,
                                   bool blnMustCompare, const std::function<void()>& breathe);
