#pragma once

#include "LedgerEngine.h"
#include "LedgerFailure.h"
#include "LedgerLook.h"
#include "LedgerNames.h"
#include "LedgerRuns.h"
#include "clsLedgerHistory.h"
#include "clsLedgerStore.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

// The ledger store, over whichever database an engine gives. It owns every
// rule of the ledger: what a name or a trade must be, what is learnt and
// kept of the master tables, the run's record from its turn to its commit,
// and how each failure is told. A run is one transaction holding the
// ledger's turn from BeginRun to CommitRun: others read the ledger as it was
// meanwhile, and another run waits. Outside a run every accepted trade is
// committed before InsertTrade returns. Errors are reported through the
// failed flags; a per-line call throws only when the run it belongs to is lost.
class LedgerStore : public clsLedgerStore {
public:
    // Opens the engine for a connection string; null with the reason when
    // there is no ledger to be had there.
    using EngineOpener = std::function<std::unique_ptr<LedgerEngine>(const QString& strConnection, QString& reason)>;
    // Opens the engine to look only, writing nothing at all; null with the
    // reason when it cannot, with absent set when there is no ledger yet.
    using LookOpener =
        std::function<std::unique_ptr<LedgerEngine>(const QString& strConnection, QString& reason, bool& absent)>;

    LedgerStore(EngineOpener openEngine, LookOpener openToLook);
    ~LedgerStore() override;
    LedgerStore(const LedgerStore&) = delete;
    LedgerStore& operator=(const LedgerStore&) = delete;

    void OpenConnection(const QString& strConnection, QString& strError, bool& blnFailed) override;
    void OpenToLook(const QString& strConnection, QString& strError, bool& blnFailed) override;
    QString NoLedgerYet() const override { return m_noLedgerYet; }
    void InsertTrade(ProductRecord& product, PartyRecord& supplier, PartyRecord& customer, TradeRecord& trade,
                     bool blnPurchase, QString& strError, bool& blnFailed) override;
    void ResolveProduct(const QString& strProductName, ProductRecord& product, QString& strError,
                        bool& blnFailed) override;
    void ResolveSupplier(const QString& strPartyName, PartyRecord& supplier, QString& strError,
                         bool& blnFailed) override;
    void ResolveCustomer(const QString& strPartyName, PartyRecord& customer, QString& strError,
                         bool& blnFailed) override;
    int32_t GetKindCode(const QString& strKind) override;

    std::optional<PriorRun> FindImportedRun(const QByteArray& strSha256, QString& strError, bool& blnFailed) override;
    std::optional<PriorRun> BeginRun(const ImportRunInfo& run, const std::function<void()>& whileWaiting,
                                     QString& strError, bool& blnFailed) override;
    // Lines a window ahead where names go to the database many at once.
    static constexpr std::size_t kLinesAhead = 8192;
    std::size_t LinesAhead() const override { return m_engine && m_engine->batchesNames() ? kLinesAhead : 1; }
    std::optional<bool> HoldsTrades() override;
    void PrepareNames(const ComingNames& names, bool blnPurchase) override;
    void StartLook() override;
    std::vector<LineLook> LookAtLines(const std::vector<LineToLook>& lines, bool blnPurchase, QString& strError,
                                      bool& blnFailed) override;
    void SkipLine(int64_t lngLineNumber, const LedgerMatch& match, QString& strError, bool& blnFailed) override;
    QStringList MatchedNames() const override;
    void BeginLine(int64_t lngLineNumber) override;
    void RejectLine(const RejectedLine& line, QString& strError, bool& blnFailed) override;
    void CommitRun(int32_t lngRead, int32_t lngImported, QString& strError, bool& blnFailed) override;
    void AbandonRun() override;

private:
    // Opens an engine as open says, forgetting what was learnt before.
    void open(const std::function<std::unique_ptr<LedgerEngine>(QString& reason)>& open, QString& strError,
              bool& blnFailed);
    // Fails a write when the ledger was opened only to look at.
    bool refuseWrite(QString& strError, bool& blnFailed);
    // The start of each run that a look matched lines to.
    void tellRunsStarted(LedgerEngine& engine, std::vector<LineLook>& looks);
    // The engine ready for an operation; null with the reason when there is none.
    LedgerEngine* engine(QString& reason);
    // Fails through the flag, telling the reason where a user can find it.
    void fail(QString& strError, bool& blnFailed, const QString& reason);
    // Runs body over the ready engine, guarded; fails for the reason when there is none.
    template <typename Body>
    void withEngine(QString& strError, bool& blnFailed, Body&& body);
    // The ID of a name's master, resolved or added with the rest of its row; 0 on failure.
    int32_t resolveName(MasterTable table, const QString& name, const QString& emptyName,
                        const std::function<QStringList()>& fields, QString& strError, bool& blnFailed);
    // The reason for a trade whose product or party someone else removed.
    QString referenceGone(LedgerEngine& engine, MasterTable parties, int32_t productId, int32_t partyId);
    // Throws when a run is open and its transaction can no longer commit (or lost is set).
    void throwIfRunLost(const QString& reason, bool lost = false);
    // The matches of names whose masters stay with the run.
    std::vector<NameMatch> keptMatches() const;
    // Removes the masters the run added that none of its trades uses;
    // whether there were any. Throws DatabaseFailure.
    bool removeUnusedMasters(LedgerDatabase& db);
    // Rolls back the open run, if any, and what was learnt during it.
    void forgetRun() noexcept;
    int64_t runId() const { return m_run ? m_run->lngRunId : 0; }

    EngineOpener m_openEngine;
    LookOpener m_openToLook;
    bool m_lookOnly = false;
    QString m_noLedgerYet;
    std::unordered_map<int64_t, QDateTime> m_runsStarted;
    std::unique_ptr<LedgerEngine> m_engine;
    int m_connection = 0;
    LedgerNames m_names;
    std::optional<OpenRun> m_run;
    int32_t m_skipped = 0;
    // The line's product, and why a name of the line cannot be stored: its
    // trade is refused for it.
    int32_t m_lineProductId = 0;
    QString m_lineRefusal;
    FileLook m_look;
    QString m_notConnected;
    FailureReasons m_reasons;
};

template <typename Body>
void LedgerStore::withEngine(QString& strError, bool& blnFailed, Body&& body)
{
    Guarded(strError, blnFailed, [&] {
        QString reason;
        LedgerEngine* current = engine(reason);
        if (!current)
            return fail(strError, blnFailed, reason);
        body(*current);
    });
}

// The history over an engine's connection.
std::unique_ptr<clsLedgerHistory> HistoryOver(std::unique_ptr<LedgerEngine> engine);
