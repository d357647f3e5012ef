#pragma once

#include "Records.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// One import run as the ledger records it when it begins.
struct ImportRunInfo {
    QString strFilePath;      // full path
    int64_t lngFileSize = 0;  // bytes
    QByteArray strSha256;     // of the whole file, 64 lower-case hex digits
    QString strHeaderLine;    // the file's header record as it was read
    bool blnPurchase = false;
    QString strUser;
    QString strHost;
    QString strProgramVersion;
    QString strPatternName;  // the import pattern the file was read with; empty for the template
    // What the repeat check before the run found: nothing when none was
    // made; else the newest run of the same content that the user chose to
    // import again, 0 when there was none.
    std::optional<int64_t> lngRepeatOf;
};

// Why a line was refused: one report, or the store's refusal of its trade.
struct LineReason {
    QString strCode;    // "CLS-is1002"; empty for the store's own refusal
    QString strText;    // the report's description, or the store's reason
    QString strColumn;  // the column's header name; empty when the line as a whole failed
    QString strValue;   // the value that failed
};

// A data line that did not become a trade.
struct RejectedLine {
    int64_t lngLineNumber = 0;  // physical line of the file where the record begins
    QString strRecord;          // the record as the file had it (inner line breaks as "\n")
    std::vector<LineReason> reasons;
};

// The stored trade a data line is the same as.
struct LedgerMatch {
    int64_t lngRunId = 0;       // 0 for a trade older than the runs
    int64_t lngLineNumber = 0;  // the line of its file, where it has a run
    QDateTime dtmRunStarted;    // local time; null for a trade older than the runs
};

// A data line left out as already in the ledger, and the trade it is the same as.
struct SkippedLine {
    int64_t lngLineNumber = 0;
    LedgerMatch match;
};

// A data line as the ledger is asked about it before its store calls, as
// its reading left the records; valid for the call that is told of it.
struct LineToLook {
    int64_t lngLineNumber = 0;
    const TradeRecord* trade = nullptr;
    const ProductRecord* product = nullptr;
    const PartyRecord* party = nullptr;  // of the run's mode
    const QString* kind = nullptr;
};

// What the ledger says of such a line.
struct LineLook {
    // The stored trade it is the same as, when there is one left that no
    // earlier line of the file was matched to.
    std::optional<LedgerMatch> inLedger;
    // Why the ledger would refuse the line's trade, or empty.
    QString strRefusal;
    // The names it would add (新しい製品「X」) and those it matched to a
    // stored one written another way (販売先「ＡＢＣ商事」→「ABC商事」).
    QStringList newNames;
    QStringList matchedNames;
};

// A run of this ledger, in the ledger and not undone, whose file had the same content.
struct PriorRun {
    int64_t lngRunId = 0;
    QDateTime dtmStarted;  // local time
    int32_t lngRead = 0;
    int32_t lngImported = 0;
};

// The names of data lines that the next per-line calls will resolve, in
// file order, as their records held them; valid for the call that is told
// of them.
struct ComingNames {
    std::vector<const ProductRecord*> products;
    std::vector<const PartyRecord*> parties;  // of the run's mode
    std::vector<const QString*> kinds;        // empty ones among them
};

// The ledger store as the import engine sees it. Operations report failure
// by setting blnFailed to true with a text in strError; a store may also
// throw any std::exception instead. A per-line call throws when the run can
// no longer go in whole (its transaction or connection was lost): the engine
// then ends the run without totals.
class clsLedgerStore {
public:
    virtual ~clsLedgerStore() = default;

    virtual void OpenConnection(const QString& strConnection, QString& strError, bool& blnFailed) = 0;
    // Leaves blnFailed false on success, whatever it held on entry.
    virtual void InsertTrade(ProductRecord& product, PartyRecord& supplier, PartyRecord& customer, TradeRecord& trade,
                             bool blnPurchase, QString& strError, bool& blnFailed) = 0;
    virtual void ResolveProduct(const QString& strProductName, ProductRecord& product, QString& strError,
                                bool& blnFailed) = 0;
    virtual void ResolveSupplier(const QString& strPartyName, PartyRecord& supplier, QString& strError,
                                 bool& blnFailed) = 0;
    virtual void ResolveCustomer(const QString& strPartyName, PartyRecord& customer, QString& strError,
                                 bool& blnFailed) = 0;
    virtual int32_t GetKindCode(const QString& strKind) = 0;

    // Opens the ledger only to look at it: nothing is created, brought up
    // to date or written, however the look goes. A store that cannot tell
    // the two apart opens as ever.
    virtual void OpenToLook(const QString& strConnection, QString& strError, bool& blnFailed)
    {
        OpenConnection(strConnection, strError, blnFailed);
    }
    // After OpenToLook: why there is no ledger at the place yet (every line
    // is then new to it, and the look says so), or empty when there is one.
    virtual QString NoLedgerYet() const { return QString(); }

    // The run, around the per-line calls. The defaults suit a store that
    // keeps no runs.

    // The newest run in the ledger (not undone) whose file had this SHA-256.
    virtual std::optional<PriorRun> FindImportedRun(const QByteArray& strSha256, QString& strError, bool& blnFailed)
    {
        (void)strSha256;
        strError.clear();
        blnFailed = false;
        return std::nullopt;
    }
    // Starts the run: nothing it writes is seen by others before CommitRun.
    // While another run or undo holds the ledger, whileWaiting is called
    // about every 50 ms; after 60 s of waiting the call fails with its reason.
    // After a repeat check (run.lngRepeatOf set), a run of the same content
    // that went in since (newer than the one the user chose to repeat) is
    // given back instead, and nothing is begun.
    virtual std::optional<PriorRun> BeginRun(const ImportRunInfo& run, const std::function<void()>& whileWaiting,
                                             QString& strError, bool& blnFailed)
    {
        (void)run;
        (void)whileWaiting;
        strError.clear();
        blnFailed = false;
        return std::nullopt;
    }
    // Whether the ledger holds any trade at all, so that a look for lines
    // in it can be spared when it holds none; nothing when it cannot tell.
    virtual std::optional<bool> HoldsTrades() { return std::nullopt; }
    // How many data lines the store would be told of at once, ahead of
    // their per-line calls: 1 for a store that gains nothing from it.
    virtual std::size_t LinesAhead() const { return 1; }
    // Tells the store, inside a run, the names that lines read ahead will
    // resolve, so that it can look them up and add them together. Throws
    // like a per-line call.
    virtual void PrepareNames(const ComingNames& names, bool blnPurchase)
    {
        (void)names;
        (void)blnPurchase;
    }
    // Looks at data lines in file order without writing anything: which are
    // the same as a stored trade (each stored trade is matched by one line
    // at most: where the file holds k lines of one trade and the ledger m,
    // the first min(k, m) are), which names they would add or match.
    // StartLook begins afresh; so does BeginRun, which then looks in its turn.
    virtual void StartLook() { }
    virtual std::vector<LineLook> LookAtLines(const std::vector<LineToLook>& lines, bool blnPurchase, QString& strError,
                                              bool& blnFailed)
    {
        (void)blnPurchase;
        strError.clear();
        blnFailed = false;
        return std::vector<LineLook>(lines.size());
    }
    // Keeps with the run a line not imported because it is in the ledger.
    virtual void SkipLine(int64_t lngLineNumber, const LedgerMatch& match, QString& strError, bool& blnFailed)
    {
        (void)lngLineNumber;
        (void)match;
        strError.clear();
        blnFailed = false;
    }
    // The names the run matched to stored ones written another way, as
    // LineLook's matchedNames says them; kept with the run at its commit.
    virtual QStringList MatchedNames() const { return {}; }
    // The physical line of the file that the next per-line calls are about.
    virtual void BeginLine(int64_t lngLineNumber) { (void)lngLineNumber; }
    // Records a refused line with the run.
    virtual void RejectLine(const RejectedLine& line, QString& strError, bool& blnFailed)
    {
        (void)line;
        strError.clear();
        blnFailed = false;
    }
    // Makes the whole run durable at once, with its totals; when it fails,
    // nothing of the run stays.
    virtual void CommitRun(int32_t lngRead, int32_t lngImported, QString& strError, bool& blnFailed)
    {
        (void)lngRead;
        (void)lngImported;
        strError.clear();
        blnFailed = false;
    }
    // Leaves nothing of a begun run. Releasing the store without a commit does the same.
    virtual void AbandonRun() { }
};

using LedgerStoreFactory = std::function<std::unique_ptr<clsLedgerStore>()>;
