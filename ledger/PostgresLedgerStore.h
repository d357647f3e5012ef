#pragma once

#include "StoreFailure.h"
#include "clsLedgerStore.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

// The ledger store on a PostgreSQL server, for a ledger that several
// computers share. The server is named by a libpq connection string or
// URI; the data source the window passes is ignored. The ledger's tables
// live in the connection's current schema (normally public): an empty one
// is given them, one that holds other tables and no ledger mark is refused
// untouched. Every accepted trade is committed on the server before
// InsertTrade returns. When the server goes away the operations fail
// through their flags, and the next operation connects again.
//
// A trade whose insert was sent but whose reply never came may or may not
// be stored. Each trade carries an ID taken from the server beforehand, so
// the store connects again at once and looks it up: stored, it is counted.
// When the server cannot be reached the trade is failed and removed at the
// next connection, before anything else, so that the ledger holds no trade
// the totals did not count. Should the program end before that connection,
// such a trade stays: the one window left, and that run's totals were
// never shown.
class PostgresLedgerStore : public clsLedgerStore {
public:
    static constexpr int32_t kSchemaVersion = 1;
    // How long a lock held by another program is waited for before an
    // operation fails, as the SQLite store waits for a busy file.
    static constexpr int kLockTimeoutMs = 3000;
    // After a failed attempt to connect, operations fail at once for this
    // long instead of each waiting for an unreachable server.
    static constexpr int kReconnectPauseMs = 1000;

    explicit PostgresLedgerStore(QString strServer);
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

protected:
    // Tests stand in for a network that loses the reply to a trade's insert
    // after the server has run it.
    virtual bool dropsReply() { return false; }

private:
    struct Session;
    // The server process that ran a trade's insert, and when it started, so
    // that another process given the same number later is left alone.
    struct Backend {
        int pid = 0;
        QByteArray started;
    };
    // A trade reported as not imported that the server may hold.
    struct TradeInDoubt {
        int64_t tradeId = 0;
        Backend backend;
    };

    // The live session, connecting when there is none; null with the
    // reason when the ledger cannot be had now.
    Session* session(QString& error);
    bool connect(QString& error);
    void resolveParty(bool blnSupplier, const QString& strPartyName, PartyRecord& party,
                      const QString& emptyName, QString& strError, bool& blnFailed);
    void fail(QString& strError, bool& blnFailed, const QString& reason);
    // Connects again after an insert's reply was lost: true when the trade
    // is stored, false when it is not or cannot be told (then it is in doubt).
    bool storedAfterLostReply(const TradeInDoubt& trade, QString& error);

    QString m_server;
    bool m_opened = false;
    std::unique_ptr<Session> m_session;
    // Set when the server was reached and its database is no ledger to use:
    // asking again will not change that.
    QString m_refusal;
    QString m_lastConnectError;
    std::chrono::steady_clock::time_point m_nextAttempt{};
    // Reasons already written to the error stream since the last connection.
    FailureReasons m_reasons;
    std::vector<TradeInDoubt> m_tradesInDoubt;
};
