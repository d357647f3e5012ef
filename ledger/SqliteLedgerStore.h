#pragma once

#include "StoreFailure.h"
#include "LedgerRuns.h"
#include "clsLedgerHistory.h"
#include "clsLedgerStore.h"

#include <QSet>
#include <QString>

#include <cstdint>
#include <memory>

// The ledger store on an SQLite database file named by the connection
// string's Data Source. Opens only files that carry the ledger's
// application ID (creating a new one when the file is absent and its folder
// exists, and bringing one of an earlier version up to date). A run is one
// transaction holding SQLite's write lock from BeginRun to CommitRun:
// others read the ledger as it was before the run meanwhile, and another
// run waits its turn. Outside a run every accepted trade is committed
// before InsertTrade returns. Errors are reported through the failed flags;
// a per-line call throws only when the run it belongs to is lost.
class SqliteLedgerStore : public clsLedgerStore {
public:
    // Marks a database file as a ledger ("MORA").
    static constexpr int32_t kApplicationId = 0x4D4F5241;
    static constexpr int32_t kSchemaVersion = kLedgerSchemaVersion;
    // How long a locked database is waited for before an operation outside
    // a run fails.
    static constexpr int kBusyTimeoutMs = 3000;

    SqliteLedgerStore();
    ~SqliteLedgerStore() override;
    SqliteLedgerStore(const SqliteLedgerStore&) = delete;
    SqliteLedgerStore& operator=(const SqliteLedgerStore&) = delete;

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

private:
    struct Connection;

    void resolveParty(bool blnSupplier, const QString& strPartyName, PartyRecord& party,
                      const QString& emptyName, QString& strError, bool& blnFailed);
    // Throws when a run is open and its transaction is gone (or lost is set).
    void throwIfRunLost(const QString& reason, bool lost = false);
    // Rolls back the open run, if any, and what was learnt during it.
    void forgetRun();

    std::unique_ptr<Connection> m_connection;
    QString m_notConnected;
    FailureReasons m_reasons;
};

// The history of the SQLite ledger that a connection string names; raises
// LedgerError when there is no ledger there yet, never creating one.
std::unique_ptr<clsLedgerHistory> OpenSqliteLedgerHistory(const QString& strConnection);
