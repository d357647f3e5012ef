#pragma once

#include "LedgerEngine.h"
#include "LedgerServer.h"
#include "PostgresConnection.h"
#include "PostgresLedgerDatabase.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

// The ledger's engine on a PostgreSQL server. Names are found and added
// many in one statement; trades go to the server by COPY in batches, and
// the kinds they give their products with them, so that a run costs a few
// statements per batch and the commit at the end is the only wait for the
// server's disk. Outside a run a lost server is connected to again, but a
// server that could not be reached is left alone for a moment.
class PostgresEngine : public LedgerEngine {
public:
    // After a failed attempt to connect, operations fail at once for this
    // long instead of each waiting for an unreachable server.
    static constexpr int kReconnectPauseMs = 1000;
    // Trades sent to the server at once during a run.
    static constexpr int kTradeBatch = 8192;

    // dropsCommitReply stands in, for tests, for a network that loses the
    // reply to a run's commit after the server has run it.
    PostgresEngine(LedgerServer server, std::function<bool()> dropsCommitReply);
    // Over a connection already reached, as the history has it.
    PostgresEngine(LedgerServer server, ReachedLedger reached);
    ~PostgresEngine() override;
    PostgresEngine(const PostgresEngine&) = delete;
    PostgresEngine& operator=(const PostgresEngine&) = delete;

    LedgerDatabase& database() override;
    bool ready(bool runOpen, QString& reason) override;
    int connection() const override { return m_connections; }
    bool batchesNames() const override { return true; }
    std::vector<KeyMasters> findMasters(MasterTable table, const std::vector<QString>& keys) override;
    std::vector<KeyMasters> addMasters(MasterTable table, const std::vector<MasterRow>& rows, int64_t runId) override;
    std::vector<StoredTrade> findTrades(const std::vector<TradeProbe>& probes) override;
    bool masterExists(MasterTable table, int32_t id) override;
    void writeTrade(const TradeRow& trade) override;
    void giveKind(int32_t productId, int32_t kindCode, int64_t runId) override;
    void flush() override;
    void discardQueued() noexcept override;
    void beginLoneWrite() override;
    void commitLoneWrite() override;
    bool transactionIntact() override;
    CommitOutcome commitRun(const QString& token, QString& reason) override;

private:
    struct Session;

    PGconn* live();
    // Runs a statement that must answer with status; throws DatabaseFailure.
    PgResult run(const char* sql, const PgParameters& parameters, ExecStatusType status);

    LedgerServer m_server;
    std::function<bool()> m_dropsCommitReply;
    std::unique_ptr<Session> m_session;
    // Stands in for the database while there is no session.
    PostgresLedgerDatabase m_offline{nullptr};
    int m_connections = 0;
    // Set when the server was reached and its database is no ledger to use:
    // asking again will not change that.
    QString m_refusal;
    QString m_lastConnectError;
    std::chrono::steady_clock::time_point m_nextAttempt{};
};
