#pragma once

#include "LedgerServer.h"
#include "StoreFailure.h"
#include "LedgerRuns.h"
#include "clsLedgerHistory.h"
#include "clsLedgerStore.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The ledger store on a PostgreSQL server, for a ledger that several
// computers share. The server is named by a libpq connection string or
// URI; the data source the window passes is ignored. The ledger's tables
// live in the schema the server's settings name: an empty one is given
// them, one of the first version is brought up to date, one that holds
// other tables and no ledger mark is refused untouched.
//
// A run is one transaction, holding the ledger's turn (an advisory lock)
// from BeginRun to CommitRun: runs and undos of other programs wait, and
// readers see the ledger as it was until the commit. Each trade is checked
// here, so that the server has no ordinary reason to refuse it, and goes to
// the server in batches; any failure of the server then loses the run as a
// whole (the per-line call throws, or CommitRun fails). When the reply to
// the commit is lost, the store connects again and looks for the run.
//
// Outside a run every accepted trade is committed before InsertTrade
// returns, and a lost server is connected to again by the next operation.
class PostgresLedgerStore : public clsLedgerStore {
public:
    static constexpr int32_t kSchemaVersion = kLedgerSchemaVersion;
    // How long a lock held by another program is waited for before an
    // operation fails, as the SQLite store waits for a busy file.
    static constexpr int kLockTimeoutMs = 3000;
    // After a failed attempt to connect, operations fail at once for this
    // long instead of each waiting for an unreachable server.
    static constexpr int kReconnectPauseMs = 1000;
    // Trades sent to the server at once during a run.
    static constexpr int kTradeBatch = 4096;

    explicit PostgresLedgerStore(LedgerServer server);
    ~PostgresLedgerStore() override;
    PostgresLedgerStore(const PostgresLedgerStore&) = delete;
    PostgresLedgerStore& operator=(const PostgresLedgerStore&) = delete;

    void OpenConnection(const QString& strConnection, QString& strError, bool& blnFailed) override;
    void InsertTrade(ProductRecord& product, PartyRecord& supplier, PartyRecord& customer,
                     TradeRecord& trade, bool blnPurchase, QString& strError, bool& blnFailed) override;
    void ResolveProduct(const QString& strProductName, ProductRecord& product, QString& strError,
                        bool& blnFailed) override;
    void ResolveSupplier(const QString& strPartyName, PartyRecord& supplier, QString& strError,
                         bool& blnFailed) override;
    void ResolveCustomer(const QString& strPartyName, PartyRecord& customer, QString& strError,
                         bool& blnFailed) override;
    int32_t GetKindCode(const QString& strKind) override;

    std::optional<PriorRun> FindImportedRun(const QByteArray& strSha256, QString& strError,
                                            bool& blnFailed) override;
    void BeginRun(const ImportRunInfo& run, const std::function<void()>& whileWaiting, QString& strError,
                  bool& blnFailed) override;
    void BeginLine(int64_t lngLineNumber) override;
    void RejectLine(const RejectedLine& line, QString& strError, bool& blnFailed) override;
    void CommitRun(int32_t lngRead, int32_t lngImported, QString& strError, bool& blnFailed) override;
    void AbandonRun() override;

protected:
    // Tests stand in for a network that loses the reply to a run's commit
    // after the server has run it.
    virtual bool dropsCommitReply() { return false; }

private:
    struct Session;

    // The live session, connecting when there is none; null with the
    // reason when the ledger cannot be had now.
    Session* session(QString& error);
    bool connect(QString& error);
    void resolveParty(bool blnSupplier, const QString& strPartyName, PartyRecord& party,
                      const QString& emptyName, QString& strError, bool& blnFailed);
    void fail(QString& strError, bool& blnFailed, const QString& reason);
    // Throws when a run is open and its transaction can no longer commit.
    void throwIfRunLost(const QString& reason);
    // Rolls back the open run, if any, and what was learnt during it.
    void forgetRun();
    // After the commit's reply was lost: whether the run is in the ledger,
    // nullopt with the reason when that cannot be told.
    std::optional<bool> committedAfterLostReply(const QString& token, QString& reason);

    LedgerServer m_server;
    bool m_opened = false;
    std::unique_ptr<Session> m_session;
    // Set when the server was reached and its database is no ledger to use:
    // asking again will not change that.
    QString m_refusal;
    QString m_lastConnectError;
    std::chrono::steady_clock::time_point m_nextAttempt{};
    // Reasons already written to the error stream since the last connection.
    FailureReasons m_reasons;
};

// The history of the ledger on the server; raises
// LedgerError when there is no ledger there yet, never creating one.
std::unique_ptr<clsLedgerHistory> OpenPostgresLedgerHistory(const LedgerServer& server);
