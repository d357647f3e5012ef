#pragma once

#include "StoreFailure.h"
#include "clsLedgerStore.h"

#include <QSet>
#include <QString>

#include <cstdint>
#include <memory>

// The ledger store on an SQLite database file named by the connection
// string's Data Source. Opens only files that carry the ledger's
// application ID (creating a new one when the file is absent and its folder
// exists); commits every accepted trade before InsertTrade returns. Errors
// are reported through the failed flags, never thrown.
// Whether other connections may use the ledger while a store has it open.
enum class LedgerAccess {
    // The store holds the file for itself from OpenConnection until it is
    // released: others wait for it. Spares every commit the shared locking,
    // which costs more than the trade's own write.
    Exclusive,
    // Others may read and write beside the store.
    Shared,
};

class SqliteLedgerStore : public clsLedgerStore {
public:
    // Marks a database file as a ledger ("MORA").
    static constexpr int32_t kApplicationId = 0x4D4F5241;
    static constexpr int32_t kSchemaVersion = 1;
    // How long a locked database is waited for before an operation fails.
    static constexpr int kBusyTimeoutMs = 3000;

    explicit SqliteLedgerStore(LedgerAccess access = LedgerAccess::Exclusive);
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

private:
    struct Connection;

    void resolveParty(bool blnSupplier, const QString& strPartyName, PartyRecord& party,
                      const QString& emptyName, QString& strError, bool& blnFailed);

    LedgerAccess m_access;
    std::unique_ptr<Connection> m_connection;
    QString m_notConnected;
    FailureReasons m_reasons;
};
