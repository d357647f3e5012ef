#pragma once

#include "LedgerEngine.h"
#include "SqliteHandles.h"
#include "SqliteLedgerDatabase.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

// The ledger's engine on an SQLite file: prepared statements for the names
// and the trades. SQLite gives a new row the ID after the highest there, and
// so again the IDs of rows an undo removed: after an undo the first new row
// of a table is given its ID, above what the ledger has ever given.
class SqliteEngine : public LedgerEngine {
public:
    // Opens the ledger file that the connection string's Data Source names.
    static std::unique_ptr<LedgerEngine> Open(const QString& strConnection, QString& reason);
    // The ledger file opened read-only, to look at it (see OpenLedgerFileToLook).
    static std::unique_ptr<LedgerEngine> OpenToLook(const QString& strConnection, QString& reason, bool& absent);
    // A ledger file found and checked, for the history: never creates one.
    static std::unique_ptr<LedgerEngine> OpenExisting(const QString& strConnection);

    explicit SqliteEngine(SqliteDatabase db);
    ~SqliteEngine() override;
    SqliteEngine(const SqliteEngine&) = delete;
    SqliteEngine& operator=(const SqliteEngine&) = delete;

    LedgerDatabase& database() override { return m_ledger; }
    bool ready(bool, QString&) override { return true; }
    // In the process, a statement costs no round trip.
    bool batchesNames() const override { return false; }
    std::vector<KeyMasters> findMasters(MasterTable table, const std::vector<QString>& keys) override;
    std::vector<KeyMasters> addMasters(MasterTable table, const std::vector<MasterRow>& rows, int64_t runId) override;
    std::vector<StoredTrade> findTrades(const std::vector<TradeProbe>& probes) override;
    bool masterExists(MasterTable table, int32_t id) override;
    void writeTrade(const TradeRow& trade) override;
    void giveKind(int32_t productId, int32_t kindCode, int64_t runId) override;
    // Trades are written many to a statement, the rest at the run's flush;
    // a batch that fails takes the transaction with it.
    void flush() override;
    void discardQueued() noexcept override { m_queued.clear(); }
    void beginLoneWrite() override;
    void commitLoneWrite() override { m_ledger.commit(); }
    bool transactionIntact() override { return m_ledger.inTransaction(); }
    void runStarting() override;
    void runEnded() noexcept override;
    CommitOutcome commitRun(const QString& token, QString& reason) override;

    // False, with the reason, when a statement does not fit the file's schema.
    bool prepare(QString& error);

private:
    struct Table {
        SqliteStatement find, add, exists;
    };
    static constexpr std::size_t kTrades = kMasterTables.size();
    static constexpr std::size_t kTradesAtOnce = 64;
    static constexpr std::size_t kTradeColumns = 11;
    struct QueuedTrade {
        TradeRow row;
        std::array<char, 20> date{};
    };
    int bindTrade(sqlite3_stmt* statement, int first, const QueuedTrade& trade, int64_t id);
    // The ID the next new row of a table must take, or 0 for SQLite's own
    // choice; known from the first new row of a write transaction to its end.
    int64_t floorId(std::size_t table);
    [[noreturn]] void fail(int result) const;

    SqliteDatabase m_db;
    SqliteLedgerDatabase m_ledger;
    std::array<Table, kMasterTables.size()> m_tables;
    SqliteStatement m_insertTrade, m_insertTrades, m_giveKind, m_floorIds, m_findTrades;
    std::vector<QueuedTrade> m_queued;
    std::optional<std::array<int64_t, kMasterTables.size() + 1>> m_floors;
};
