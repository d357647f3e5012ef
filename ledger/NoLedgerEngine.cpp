#include "NoLedgerEngine.h"

namespace {

QString NothingThere() { return QStringLiteral("台帳がまだありません。"); }

class NoLedgerDatabase : public LedgerDatabase {
public:
    std::vector<SqlRow> query(const char*, const std::vector<SqlValue>&) override
    {
        throw DatabaseFailure(NothingThere());
    }
    int64_t execute(const char*, const std::vector<SqlValue>&) override { throw DatabaseFailure(NothingThere()); }
    bool tryBeginTurn() override { throw DatabaseFailure(NothingThere()); }
    void commit() override { throw DatabaseFailure(NothingThere()); }
    void rollback() noexcept override { }
    const char* idColumnType() const override { return ""; }
    void setSchemaVersion(int) override { throw DatabaseFailure(NothingThere()); }
};

class EmptyPlaceEngine : public LedgerEngine {
public:
    LedgerDatabase& database() override { return m_database; }
    bool ready(bool, QString&) override { return true; }
    bool batchesNames() const override { return false; }
    std::vector<KeyMasters> findMasters(MasterTable, const std::vector<QString>& keys) override
    {
        return std::vector<KeyMasters>(keys.size());
    }
    std::vector<KeyMasters> addMasters(MasterTable, const std::vector<MasterRow>&, int64_t) override
    {
        throw DatabaseFailure(NothingThere());
    }
    bool masterExists(MasterTable, int32_t) override { return false; }
    std::vector<StoredTrade> findTrades(const std::vector<TradeProbe>&) override { return {}; }
    void writeTrade(const TradeRow&) override { throw DatabaseFailure(NothingThere()); }
    void giveKind(int32_t, int32_t, int64_t) override { throw DatabaseFailure(NothingThere()); }
    void flush() override { }
    void discardQueued() noexcept override { }
    void beginLoneWrite() override { throw DatabaseFailure(NothingThere()); }
    void commitLoneWrite() override { throw DatabaseFailure(NothingThere()); }
    bool transactionIntact() override { return false; }
    CommitOutcome commitRun(const QString&, QString& reason) override
    {
        reason = NothingThere();
        return CommitOutcome::NotCommitted;
    }

private:
    NoLedgerDatabase m_database;
};

}  // namespace

std::unique_ptr<LedgerEngine> NoLedgerEngine() { return std::make_unique<EmptyPlaceEngine>(); }
