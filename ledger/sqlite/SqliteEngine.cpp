#include "SqliteEngine.h"

#include "ConnectionString.h"
#include "LedgerFolder.h"
#include "SqliteLedgerFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#include <utility>

namespace {

SqliteStatement Prepare(sqlite3* db, const char* sql)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK)
        return nullptr;
    return SqliteStatement(raw);
}

// NULL for 0, the "none" of the records' IDs.
int BindIdOrNull(sqlite3_stmt* statement, int index, int64_t id)
{
    return id == 0 ? sqlite3_bind_null(statement, index) : sqlite3_bind_int64(statement, index, id);
}

struct TableStatements {
    const char* find;  // the masters of the key ?1, oldest first, and whether each carries a kind
    const char* add;   // ?1 the ID, ?2 the name, ?3 its key, then the row's fields, then the run
    const char* exists;
};

// In the order of MasterTable.
constexpr std::array<TableStatements, kMasterTables.size()> kTableSql = {{
    {"SELECT kind_code, name, 0 FROM kinds WHERE name_key = ?1 ORDER BY kind_code",
     "INSERT INTO kinds(kind_code, name, name_key, run_id) VALUES (?1, ?2, ?3, ?4)",
     "SELECT 1 FROM kinds WHERE kind_code = ?1"},
    {"SELECT product_id, name, kind_code IS NOT NULL FROM products WHERE name_key = ?1 ORDER BY product_id",
     "INSERT INTO products(product_id, name, name_key, kind_code, maker, reading, model, spec, run_id)"
     " VALUES (?1, ?2, ?3, NULL, ?4, ?5, ?6, ?7, ?8)",
     "SELECT 1 FROM products WHERE product_id = ?1"},
    {"SELECT supplier_id, name, 0 FROM suppliers WHERE name_key = ?1 ORDER BY supplier_id",
     "INSERT INTO suppliers(supplier_id, name, name_key, reading, run_id) VALUES (?1, ?2, ?3, ?4, ?5)",
     "SELECT 1 FROM suppliers WHERE supplier_id = ?1"},
    {"SELECT customer_id, name, 0 FROM customers WHERE name_key = ?1 ORDER BY customer_id",
     "INSERT INTO customers(customer_id, name, name_key, reading, run_id) VALUES (?1, ?2, ?3, ?4, ?5)",
     "SELECT 1 FROM customers WHERE customer_id = ?1"},
}};

// The trades of a day and time, quantity and unit price (their index), as the look compares them.
constexpr const char* kFindTradesSql =
    "SELECT trade_id, coalesce(run_id, 0), coalesce(line_number, 0), trade_kind, trade_date, product_id,"
    " coalesce(CASE trade_kind WHEN 0 THEN supplier_id ELSE customer_id END, 0), quantity, unit_price"
    " FROM trades WHERE trade_date = ?1 AND quantity = ?2 AND unit_price = ?3 ORDER BY trade_id";

// How many fields a table's row has besides its name.
constexpr std::array<int, kMasterTables.size()> kFieldCount = {0, 4, 1, 1};

// Where an undo removed the rows with the highest IDs, the ID the next new
// row must take for none to be given twice (the highest given, kept with the
// undone run, plus one); 0 where SQLite's own choice, the one after the
// highest there, is right. In the order of MasterTable, then trades.
QByteArray FloorSql(const char* id, const char* table, const char* kept)
{
    return QByteArray("(SELECT CASE WHEN k > m THEN k + 1 ELSE 0 END FROM (SELECT coalesce((SELECT max(") + id
           + ") FROM " + table + "), 0) AS m, coalesce((SELECT max(" + kept + ") FROM runs), 0) AS k))";
}

const QByteArray kFloorsSql = "SELECT " + FloorSql("kind_code", "kinds", "kept_kind_code") + ", "
                              + FloorSql("product_id", "products", "kept_product_id") + ", "
                              + FloorSql("supplier_id", "suppliers", "kept_supplier_id") + ", "
                              + FloorSql("customer_id", "customers", "kept_customer_id") + ", "
                              + FloorSql("trade_id", "trades", "kept_trade_id");

}  // namespace

std::unique_ptr<LedgerEngine> SqliteEngine::Open(const QString& strConnection, QString& reason)
{
    const DataSourceResult source = DataSourceOf(strConnection);
    if (!source.error.isEmpty()) {
        reason = source.error;
        return nullptr;
    }
    SqliteDatabase db = OpenLedgerFile(source.path, reason);
    if (!db)
        return nullptr;
    if (auto refused = ConfigureLedgerConnection(db.get())) {
        reason = *refused;
        return nullptr;
    }
    auto engine = std::make_unique<SqliteEngine>(std::move(db));
    if (!engine->prepare(reason))
        return nullptr;
    return engine;
}

std::unique_ptr<LedgerEngine> SqliteEngine::OpenToLook(const QString& strConnection, QString& reason, bool& absent)
{
    absent = false;
    const DataSourceResult source = DataSourceOf(strConnection);
    if (!source.error.isEmpty()) {
        reason = source.error;
        return nullptr;
    }
    SqliteDatabase db = OpenLedgerFileToLook(source.path, reason, absent);
    if (!db)
        return nullptr;
    auto engine = std::make_unique<SqliteEngine>(std::move(db));
    if (!engine->prepare(reason))
        return nullptr;
    return engine;
}

std::unique_ptr<LedgerEngine> SqliteEngine::OpenExisting(const QString& strConnection)
{
    const DataSourceResult source = DataSourceOf(strConnection);
    if (!source.error.isEmpty())
        throw DatabaseFailure(source.error);
    const QString path = QFileInfo(source.path).absoluteFilePath();
    const LedgerFileState state = InspectLedgerFile(path);
    if (state == LedgerFileState::Absent || state == LedgerFileState::Empty)
        throw DatabaseFailure(QStringLiteral("台帳がまだありません: %1").arg(QDir::toNativeSeparators(path)));
    QString reason;
    std::unique_ptr<LedgerEngine> engine = Open(strConnection, reason);
    if (!engine)
        throw DatabaseFailure(reason);
    return engine;
}

SqliteEngine::SqliteEngine(SqliteDatabase db) : m_db(std::move(db)), m_ledger(m_db.get())
{
    // The IDs known within a transaction are stale once it ends, however it ends.
    sqlite3_commit_hook(
        m_db.get(),
        [](void* engine) {
            static_cast<SqliteEngine*>(engine)->m_floors.reset();
            return 0;
        },
        this);
    sqlite3_rollback_hook(
        m_db.get(), [](void* engine) { static_cast<SqliteEngine*>(engine)->m_floors.reset(); }, this);
}

SqliteEngine::~SqliteEngine()
{
    // Before the statements go: a run never committed leaves nothing.
    m_ledger.rollback();
    sqlite3_commit_hook(m_db.get(), nullptr, nullptr);
    sqlite3_rollback_hook(m_db.get(), nullptr, nullptr);
}

void SqliteEngine::fail(int result) const { throw SqliteFailure(m_db.get(), result); }

bool SqliteEngine::prepare(QString& error)
{
    sqlite3* db = m_db.get();
    bool ok = true;
    for (std::size_t i = 0; i < kTableSql.size(); ++i) {
        m_tables[i].find = Prepare(db, kTableSql[i].find);
        m_tables[i].add = Prepare(db, kTableSql[i].add);
        m_tables[i].exists = Prepare(db, kTableSql[i].exists);
        ok = ok && m_tables[i].find && m_tables[i].add && m_tables[i].exists;
    }
    const QByteArray insert = "INSERT INTO trades(trade_id, trade_kind, trade_date, product_id, supplier_id,"
                              " customer_id, quantity, unit_price, amount, run_id, line_number) VALUES ";
    const QByteArray values = "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    m_insertTrade = Prepare(db, (insert + values).constData());
    // Many rows a statement: what each statement costs by itself is paid once for them all.
    QByteArray many = insert + values;
    for (std::size_t i = 1; i < kTradesAtOnce; ++i)
        many += ", " + values;
    m_insertTrades = Prepare(db, many.constData());
    // A code that names no kind cannot be recorded; the trade stands without it.
    m_giveKind = Prepare(db, "UPDATE products SET kind_code = ?1, kind_run_id = ?3 WHERE product_id = ?2"
                             " AND kind_code IS NULL AND EXISTS (SELECT 1 FROM kinds WHERE kind_code = ?1)");
    m_floorIds = Prepare(db, kFloorsSql.constData());
    m_findTrades = Prepare(db, kFindTradesSql);
    ok = ok && m_insertTrade && m_insertTrades && m_giveKind && m_floorIds && m_findTrades;
    if (!ok)
        error = QStringLiteral("台帳データベースの構造が正しくありません（%1）。")
                    .arg(QString::fromUtf8(sqlite3_errmsg(db)));
    return ok;
}

int64_t SqliteEngine::floorId(std::size_t table)
{
    if (!m_floors) {
        StatementUse use(m_floorIds);
        const int result = sqlite3_step(use);
        if (result != SQLITE_ROW)
            fail(result);
        std::array<int64_t, kMasterTables.size() + 1> floors{};
        for (std::size_t i = 0; i < floors.size(); ++i)
            floors[i] = sqlite3_column_int64(use, int(i));
        m_floors = floors;
    }
    // Once one row is above the floor, SQLite's choice is above it too.
    return std::exchange((*m_floors)[table], 0);
}

std::vector<KeyMasters> SqliteEngine::findMasters(MasterTable table, const std::vector<QString>& keys)
{
    std::vector<KeyMasters> found(keys.size());
    const SqliteStatement& find = m_tables[std::size_t(table)].find;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        StatementUse use(find);
        int result = BindText(use, 1, keys[i]);
        while (result == SQLITE_OK || result == SQLITE_ROW) {
            result = sqlite3_step(use);
            if (result == SQLITE_ROW)
                found[i].push_back(
                    FoundMaster{sqlite3_column_int64(use, 0), ColumnText(use, 1), sqlite3_column_int(use, 2) != 0});
        }
        if (result != SQLITE_DONE)
            fail(result);
    }
    return found;
}

std::vector<KeyMasters> SqliteEngine::addMasters(MasterTable table, const std::vector<MasterRow>& rows, int64_t runId)
{
    const std::size_t index = std::size_t(table);
    std::vector<KeyMasters> masters;
    masters.reserve(rows.size());
    for (const MasterRow& row : rows) {
        // Another program may have added it since it was looked up outside this transaction.
        KeyMasters stored = std::move(findMasters(table, {row.strKey}).front());
        if (!stored.empty()) {
            masters.push_back(std::move(stored));
            continue;
        }
        StatementUse use(m_tables[index].add);
        int result = BindIdOrNull(use, 1, floorId(index));
        if (result == SQLITE_OK)
            result = BindText(use, 2, row.strName);
        if (result == SQLITE_OK)
            result = BindText(use, 3, row.strKey);
        for (int field = 0; field < kFieldCount[index] && result == SQLITE_OK; ++field)
            result = BindText(use, 4 + field, row.fields.value(field));
        if (result == SQLITE_OK)
            result = BindIdOrNull(use, 4 + kFieldCount[index], runId);
        if (result == SQLITE_OK)
            result = sqlite3_step(use);
        if (result != SQLITE_DONE)
            fail(result);
        masters.push_back({FoundMaster{sqlite3_last_insert_rowid(m_db.get()), row.strName, false, true}});
    }
    return masters;
}

std::vector<StoredTrade> SqliteEngine::findTrades(const std::vector<TradeProbe>& probes)
{
    std::vector<StoredTrade> trades;
    for (const TradeProbe& probe : probes) {
        StatementUse use(m_findTrades);
        int result = sqlite3_bind_text(use, 1, probe.strDate.constData(), int(probe.strDate.size()), SQLITE_STATIC);
        if (result == SQLITE_OK)
            result = sqlite3_bind_int64(use, 2, probe.lngQuantity);
        if (result == SQLITE_OK)
            result = sqlite3_bind_int64(use, 3, probe.lngUnitPrice);
        while (result == SQLITE_OK || result == SQLITE_ROW) {
            result = sqlite3_step(use);
            if (result != SQLITE_ROW)
                break;
            StoredTrade trade;
            trade.lngTradeId = sqlite3_column_int64(use, 0);
            trade.lngRunId = sqlite3_column_int64(use, 1);
            trade.lngLineNumber = sqlite3_column_int64(use, 2);
            trade.intKind = sqlite3_column_int(use, 3);
            trade.strDate =
                QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(use, 4)), sqlite3_column_bytes(use, 4));
            trade.lngProductId = sqlite3_column_int(use, 5);
            trade.lngPartyId = sqlite3_column_int(use, 6);
            trade.lngQuantity = sqlite3_column_int64(use, 7);
            trade.lngUnitPrice = sqlite3_column_int64(use, 8);
            trades.push_back(std::move(trade));
        }
        if (result != SQLITE_DONE)
            fail(result);
    }
    return trades;
}

bool SqliteEngine::masterExists(MasterTable table, int32_t id)
{
    StatementUse use(m_tables[std::size_t(table)].exists);
    int result = sqlite3_bind_int64(use, 1, id);
    if (result == SQLITE_OK)
        result = sqlite3_step(use);
    if (result != SQLITE_ROW && result != SQLITE_DONE)
        fail(result);
    return result == SQLITE_ROW;
}

int SqliteEngine::bindTrade(sqlite3_stmt* statement, int first, const QueuedTrade& trade, int64_t id)
{
    int result = BindIdOrNull(statement, first, id);
    if (result == SQLITE_OK)
        result = sqlite3_bind_int64(statement, first + 1, trade.row.intKind);
    if (result == SQLITE_OK)
        result = sqlite3_bind_text(statement, first + 2, trade.date.data(), int(trade.row.dateLength), SQLITE_STATIC);
    const int64_t values[] = {trade.row.lngProductId, trade.row.lngSupplierId, trade.row.lngCustomerId,
                              trade.row.lngQuantity,  trade.row.lngUnitPrice,  trade.row.lngAmount,
                              trade.row.lngRunId,     trade.row.lngLineNumber};
    // The references and the run are NULL for none; the numbers are numbers.
    const bool nullable[] = {false, true, true, false, false, false, true, true};
    for (int i = 0; i < 8 && result == SQLITE_OK; ++i)
        result = nullable[i] ? BindIdOrNull(statement, first + 3 + i, values[i])
                             : sqlite3_bind_int64(statement, first + 3 + i, values[i]);
    return result;
}

void SqliteEngine::writeTrade(const TradeRow& trade)
{
    QueuedTrade& queued = m_queued.emplace_back();
    queued.row = trade;
    std::copy(trade.date, trade.date + trade.dateLength, queued.date.begin());
    queued.row.date = nullptr;
    if (m_queued.size() == kTradesAtOnce)
        flush();
}

void SqliteEngine::flush()
{
    if (m_queued.empty())
        return;
    int result = SQLITE_OK;
    std::size_t written = 0;
    if (m_queued.size() == kTradesAtOnce) {
        StatementUse use(m_insertTrades);
        for (std::size_t i = 0; i < m_queued.size() && result == SQLITE_OK; ++i)
            result = bindTrade(use, int(i * kTradeColumns) + 1, m_queued[i], i == 0 ? floorId(kTrades) : 0);
        if (result == SQLITE_OK)
            result = sqlite3_step(use);
        written = result == SQLITE_DONE ? m_queued.size() : 0;
    }
    for (; written < m_queued.size() && (result == SQLITE_OK || result == SQLITE_DONE); ++written) {
        StatementUse use(m_insertTrade);
        result = bindTrade(use, 1, m_queued[written], floorId(kTrades));
        if (result == SQLITE_OK)
            result = sqlite3_step(use);
    }
    m_queued.clear();
    if (result == SQLITE_DONE)
        return;
    if (result == SQLITE_CONSTRAINT_FOREIGNKEY)
        throw ReferenceGone(SqliteFailure(m_db.get(), result).message());
    // Trades already counted went with the batch: the transaction cannot go in whole.
    const DatabaseFailure failure = SqliteFailure(m_db.get(), result);
    m_ledger.rollback();
    throw failure;
}

void SqliteEngine::giveKind(int32_t productId, int32_t kindCode, int64_t runId)
{
    StatementUse use(m_giveKind);
    int result = sqlite3_bind_int64(use, 1, kindCode);
    if (result == SQLITE_OK)
        result = sqlite3_bind_int64(use, 2, productId);
    if (result == SQLITE_OK)
        result = BindIdOrNull(use, 3, runId);
    if (result == SQLITE_OK)
        result = sqlite3_step(use);
    if (result != SQLITE_DONE)
        fail(result);
}

void SqliteEngine::beginLoneWrite()
{
    if (const int result = sqlite3_exec(m_db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); result != SQLITE_OK)
        fail(result);
}

void SqliteEngine::runStarting()
{
    if (const int result = SyncForRun(m_db.get(), true); result != SQLITE_OK)
        fail(result);
}

void SqliteEngine::runEnded() noexcept { SyncForRun(m_db.get(), false); }

CommitOutcome SqliteEngine::commitRun(const QString&, QString& reason)
{
    try {
        m_ledger.commit();
        return CommitOutcome::Committed;
    } catch (const DatabaseFailure& failure) {
        reason = failure.message();
        return CommitOutcome::NotCommitted;
    }
}
