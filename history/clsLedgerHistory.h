#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "clsLedgerStore.h"

// One run as the ledger keeps it.
struct RunSummary {
    int64_t lngRunId = 0;
    QDateTime dtmStarted;  // local time
    QDateTime dtmEnded;    // local time
    bool blnUndone = false;
    bool blnPurchase = false;
    int32_t lngRead = 0;
    int32_t lngImported = 0;
    int32_t lngSkipped = 0;  // lines not imported because they were in the ledger
    int32_t lngRefused = 0;  // lines kept with the run as refused
    QString strFilePath;
    int64_t lngFileSize = 0;
    QByteArray strSha256;
    QString strUser;
    QString strHost;
    QString strProgramVersion;
    QString strPatternName;         // the import pattern the file was read with; empty for the template
    int64_t lngTradesInLedger = 0;  // the run's trades the ledger holds now
};

// What a run refused: the file's header line and each refused line in file order.
struct RunRejects {
    QString strHeaderLine;
    std::vector<RejectedLine> lines;
};

// A line a run left out because its trade was in the ledger, with the
// stored trade it was the same as.
using LineLeftOut = SkippedLine;

// A name of a master table as a run left it.
struct RunName {
    QString strMaster;      // "products", "suppliers", "customers" or "kinds"
    QString strName;        // as the ledger holds it when added; as the file wrote it when matched
    QString strStoredName;  // the stored name it was matched to; empty for an added name
};

// Everything the ledger keeps of one run, in file order where lines are concerned.
struct RunDetail {
    RunSummary run;
    RunRejects rejects;
    std::vector<LineLeftOut> skipped;
    std::vector<RunName> addedNames;    // still in the ledger
    std::vector<RunName> matchedNames;  // written another way than the stored ones
};

// The ledger cannot answer: the text says why, for the user.
class LedgerError : public std::runtime_error {
public:
    explicit LedgerError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) { }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// The ledger's memory of its runs, for reviewing and undoing them. Every
// operation raises LedgerError when the ledger cannot be opened or read.
class clsLedgerHistory {
public:
    enum class UndoOutcome { Undone, UnknownRun, AlreadyUndone, ReliedOn };
    // A later run in the ledger that counted trades of the run as its own
    // lines (left out as already in the ledger).
    struct RelyingRun {
        int64_t lngRunId = 0;
        int64_t lngTrades = 0;
    };
    struct UndoResult {
        UndoOutcome outcome = UndoOutcome::UnknownRun;
        int64_t lngTradesRemoved = 0;
        std::vector<RelyingRun> relyingRuns;  // ReliedOn: in run order
        // The names that go with the trades, nothing else using them.
        int64_t lngProductsRemoved = 0;
        int64_t lngSuppliersRemoved = 0;
        int64_t lngCustomersRemoved = 0;
        int64_t lngKindsRemoved = 0;
    };

    virtual ~clsLedgerHistory() = default;

    // The runs, newest first.
    virtual std::vector<RunSummary> Runs() = 0;
    virtual std::optional<RunSummary> Run(int64_t lngRunId) = 0;
    // Empty when the run is unknown.
    virtual std::optional<RunRejects> Rejects(int64_t lngRunId) = 0;
    virtual std::optional<RunDetail> Detail(int64_t lngRunId) = 0;
    // Takes the run's trades out, with every product, party and kind that
    // the run added and nothing left in the ledger uses, all or nothing.
    // Refused (ReliedOn, nothing changed) while a run not undone counts
    // trades of this one as its lines: every line a run in the ledger
    // counted stays in it. Waits its turn behind a run as BeginRun does.
    virtual UndoResult UndoRun(int64_t lngRunId, const std::function<void()>& whileWaiting) = 0;
    // What UndoRun would do now, in its turn, changing nothing.
    virtual UndoResult PreviewUndo(int64_t lngRunId, const std::function<void()>& whileWaiting) = 0;
};

// Opens the history of the ledger that a connection string names.
using LedgerHistoryFactory = std::function<std::unique_ptr<clsLedgerHistory>(const QString& strConnection)>;
