#include "SqliteLedgerStore.h"

#include "ConnectionString.h"
#include "LedgerFolder.h"
#include "LedgerDate.h"
#include "LedgerRuns.h"
#include "SqliteLedgerDatabase.h"
#include "SqliteHandles.h"
#include "StoreFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cstdio>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace {

constexpr const char* kSchemaSql =
    "CREATE TABLE kinds(kind_code INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
    "CREATE TABLE products(product_id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE,"
    " kind_code INTEGER REFERENCES kinds, maker TEXT NOT NULL, reading TEXT NOT NULL,"
    " model TEXT NOT NULL, spec TEXT NOT NULL);"
    "CREATE TABLE suppliers(supplier_id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE,"
    " reading TEXT NOT NULL);"
    "CREATE TABLE customers(customer_id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE,"
    " reading TEXT NOT NULL);"
    "CREATE TABLE trades(trade_id INTEGER PRIMARY KEY,"
    " trade_kind INTEGER NOT NULL CHECK (trade_kind IN (0, 1)), trade_date TEXT NOT NULL,"
    " product_id INTEGER NOT NULL REFERENCES products, supplier_id INTEGER REFERENCES suppliers,"
    " customer_id INTEGER REFERENCES customers, quantity INTEGER NOT NULL,"
    " unit_price INTEGER NOT NULL, amount INTEGER NOT NULL);";

// An SQLite database file starts with this header text.
constexpr char kSqliteMagic[] = "SQLite format 3";
constexpr qint64 kHeaderSize = 100;
constexpr int kApplicationIdOffset = 68;

QString SqliteMessage(sqlite3* db)
{
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
}

QString DatabaseError(sqlite3* db, int result)
{
    return SqliteErrorText(db, result, SqliteLedgerStore::kBusyTimeoutMs);
}

// Collects the first failure of a series of bindings.
class Binder {
public:
    explicit Binder(sqlite3_stmt* statement) : m_statement(statement) {}

    // The text must live until the statement has been stepped.
    Binder& text(int index, const QString& value)
    {
        if (m_result == SQLITE_OK)
            m_result = sqlite3_bind_text16(m_statement, index, value.utf16(),
                                           int(value.size() * qsizetype(sizeof(char16_t))), SQLITE_STATIC);
        return *this;
    }
    Binder& utf8(int index, const char* value, std::size_t length)
    {
        if (m_result == SQLITE_OK)
            m_result = sqlite3_bind_text(m_statement, index, value, int(length), SQLITE_STATIC);
        return *this;
    }
    Binder& integerOrNull(int index, int64_t value)
    {
        if (m_result == SQLITE_OK)
            m_result = value == 0 ? sqlite3_bind_null(m_statement, index) : sqlite3_bind_int64(m_statement, index, value);
        return *this;
    }
    Binder& integer(int index, int64_t value)
    {
        if (m_result == SQLITE_OK)
            m_result = sqlite3_bind_int64(m_statement, index, value);
        return *this;
    }
    // NULL for 0, the "none" of the records' IDs.
    Binder& idOrNull(int index, int32_t id)
    {
        if (m_result == SQLITE_OK)
            m_result = id == 0 ? sqlite3_bind_null(m_statement, index) : sqlite3_bind_int64(m_statement, index, id);
        return *this;
    }
    int result() const { return m_result; }

private:
    sqlite3_stmt* m_statement;
    int m_result = SQLITE_OK;
};

// The value of an integer pragma, or the SQLite error.
int ReadPragma(sqlite3* db, const char* sql, int64_t& value)
{
    sqlite3_stmt* raw = nullptr;
    int result = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    const SqliteStatement statement(raw);
    if (result != SQLITE_OK)
        return result;
    result = sqlite3_step(raw);
    if (result != SQLITE_ROW)
        return result == SQLITE_DONE ? SQLITE_ERROR : result;
    value = sqlite3_column_int64(raw, 0);
    return SQLITE_OK;
}

// Looks at the file's header without handing the file to SQLite for
// writing, so that a file of another kind is refused untouched.
std::optional<QString> CheckLedgerHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("データベースファイルを読めません: %1（%2）").arg(path, file.errorString());
    const QByteArray header = file.read(kHeaderSize);
    if (header.size() < kHeaderSize || !header.startsWith(QByteArray(kSqliteMagic, sizeof kSqliteMagic)))
        return QStringLiteral("台帳データベースではありません（SQLite のデータベースファイルではありません）: %1")
            .arg(path);
    const auto byte = [&](int offset) { return uint32_t(uint8_t(header[offset])); };
    const uint32_t applicationId = byte(kApplicationIdOffset) << 24 | byte(kApplicationIdOffset + 1) << 16 |
                                   byte(kApplicationIdOffset + 2) << 8 | byte(kApplicationIdOffset + 3);
    if (applicationId != uint32_t(SqliteLedgerStore::kApplicationId))
        return QStringLiteral("台帳データベースではありません（別のアプリケーションのデータベースです）: %1")
            .arg(path);
    return std::nullopt;
}

// What SQLite itself says about an opened file: its mark and its version.
std::optional<QString> CheckLedgerDatabase(sqlite3* db, const QString& path)
{
    int64_t applicationId = 0;
    int64_t version = 0;
    int result = ReadPragma(db, "PRAGMA application_id", applicationId);
    if (result == SQLITE_OK)
        result = ReadPragma(db, "PRAGMA user_version", version);
    if (result != SQLITE_OK)
        return QStringLiteral("データベースを開けません: %1（%2）").arg(path, DatabaseError(db, result));
    if (applicationId != SqliteLedgerStore::kApplicationId)
        return QStringLiteral("台帳データベースではありません（別のアプリケーションのデータベースです）: %1")
            .arg(path);
    if (version > SqliteLedgerStore::kSchemaVersion)
        return QStringLiteral("この台帳データベースは新しい版のものです（版 %1）: %2").arg(version).arg(path);
    if (version != SqliteLedgerStore::kSchemaVersion && version != 1)
        return QStringLiteral("台帳データベースの版が正しくありません（版 %1）: %2").arg(version).arg(path);
    if (sqlite3_db_readonly(db, "main") == 1)
        return QStringLiteral("データベースファイルに書き込めません（読み取り専用）: %1").arg(path);
    return std::nullopt;
}

SqliteDatabase OpenFile(const QString& path, int flags, QString& error)
{
    sqlite3* raw = nullptr;
    const int result =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteDatabase db(raw);
    if (result != SQLITE_OK) {
        error = QStringLiteral("データベースを開けません: %1（%2）").arg(path, SqliteMessage(raw));
        return nullptr;
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, SqliteLedgerStore::kBusyTimeoutMs);
    return db;
}

int Execute(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// Makes a whole ledger at creation: schema and marks in one transaction,
// then closed, so that no journal is left beside it.
std::optional<QString> MakeLedgerFile(const QString& creation, const QString& path)
{
    QString error;
    SqliteDatabase db = OpenFile(creation, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
    if (!db)
        return error;
    // The first version's tables, brought up to date as any older ledger is.
    const QByteArray sql = QByteArrayLiteral("BEGIN IMMEDIATE;") + kSchemaSql +
                           QByteArrayLiteral("PRAGMA application_id = ") +
                           QByteArray::number(SqliteLedgerStore::kApplicationId) + QByteArrayLiteral(";");
    if (const int result = Execute(db.get(), sql.constData()); result != SQLITE_OK)
        return QStringLiteral("データベースを作成できません: %1（%2）").arg(path, DatabaseError(db.get(), result));
    try {
        SqliteLedgerDatabase ledger(db.get(), SqliteLedgerStore::kBusyTimeoutMs);
        UpgradeLedgerSchema(ledger, 1);
        ledger.commit();
    } catch (const DatabaseFailure& failure) {
        return QStringLiteral("データベースを作成できません: %1（%2）").arg(path, failure.message());
    }
    if (const int result = sqlite3_close(db.get()); result != SQLITE_OK)
        return QStringLiteral("データベースを作成できません: %1（%2）").arg(path, DatabaseError(db.get(), result));
    (void)db.release();
    return std::nullopt;
}

// Creates the ledger at path so that it appears whole or not at all: made
// under another name beside it, then moved into place. Leaves the ledger of
// whoever came first when someone else made one meanwhile.
std::optional<QString> CreateLedger(const QString& path)
{
    QString error;
    const std::optional<CreationLock> lock =
        CreationLock::Take(QFileInfo(path).absolutePath(), SqliteLedgerStore::kBusyTimeoutMs, error);
    if (!lock)
        return error;
    const LedgerFileState state = InspectLedgerFile(path);
    if (state != LedgerFileState::Absent && state != LedgerFileState::Empty)
        return std::nullopt;
    RemoveStaleCreations(path);
    const QString creation = CreationName(path);
    std::optional<PlaceResult> placed;
    if (auto refused = MakeLedgerFile(creation, path))
        error = *refused;
    else
        placed = PlaceLedger(creation, path, state == LedgerFileState::Empty, error);
    if (placed != PlaceResult::Placed)
        RemoveCreation(creation);
    return placed ? std::nullopt : std::optional(error);
}

// Lets SQLite roll back a journal or read a log left beside path before
// anyone judges the file. Gives nothing for a ledger, and sets empty when
// the recovery left no page: no ledger yet, to be created.
std::optional<QString> RecoverLedgerFile(const QString& path, bool& empty)
{
    QString error;
    SqliteDatabase db = OpenFile(path, SQLITE_OPEN_READWRITE, error);
    if (!db)
        return error;
    int64_t pages = 0;
    if (const int result = ReadPragma(db.get(), "PRAGMA page_count", pages); result != SQLITE_OK)
        return QStringLiteral("データベースを開けません: %1（%2）").arg(path, DatabaseError(db.get(), result));
    empty = pages == 0;
    if (empty)
        return std::nullopt;
    auto refused = CheckLedgerDatabase(db.get(), path);
    // Someone else's log stays as it is.
    if (refused)
        sqlite3_db_config(db.get(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    return refused;
}

// Brings a ledger of the first version up to date in one transaction, so
// that a kill leaves it as it was or whole. Another program may have done
// it meanwhile: the version is read again under the write lock.
std::optional<QString> UpgradeLedger(sqlite3* db, const QString& path)
{
    int64_t version = 0;
    if (const int result = ReadPragma(db, "PRAGMA user_version", version); result != SQLITE_OK)
        return QStringLiteral("データベースを開けません: %1（%2）").arg(path, DatabaseError(db, result));
    if (version >= SqliteLedgerStore::kSchemaVersion)
        return std::nullopt;
    SqliteLedgerDatabase ledger(db, SqliteLedgerStore::kBusyTimeoutMs);
    try {
        ledger.execute("BEGIN IMMEDIATE");
        if (const int result = ReadPragma(db, "PRAGMA user_version", version); result != SQLITE_OK)
            throw DatabaseFailure(DatabaseError(db, result));
        UpgradeLedgerSchema(ledger, int(version));
        ledger.commit();
    } catch (const DatabaseFailure& failure) {
        ledger.rollback();
        return QStringLiteral("台帳データベースを新しい版にできません: %1（%2）").arg(path, failure.message());
    }
    return std::nullopt;
}

// Opens the ledger at path: an existing file only when it is a ledger, an
// absent one created when its folder exists. Never creates folders.
SqliteDatabase OpenLedger(const QString& dataSource, QString& error)
{
    // Absolute, so that a name starting with "file:" is never read as a URI.
    const QString path = QFileInfo(dataSource).absoluteFilePath();
    const QString folder = QFileInfo(path).absolutePath();

    // A creation or recovery can hand over to another state once or twice.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const LedgerFileState state = InspectLedgerFile(path);
        if (state == LedgerFileState::Absent || state == LedgerFileState::Empty) {
            if (!QFileInfo(folder).isDir()) {
                error = QStringLiteral("データベースのフォルダがありません: %1").arg(QDir::toNativeSeparators(folder));
                return nullptr;
            }
            if (auto refused = WriteRefusal(path, false)) {
                error = *refused;
                return nullptr;
            }
            if (auto refused = CreateLedger(path)) {
                error = *refused;
                return nullptr;
            }
            continue;
        }
        std::optional<QString> refused;
        if (state == LedgerFileState::Present)
            refused = CheckLedgerHeader(path);
        if (!refused)
            refused = WriteRefusal(path, true);
        if (!refused && state == LedgerFileState::NeedsRecovery) {
            bool empty = false;
            refused = RecoverLedgerFile(path, empty);
            if (!refused && empty)
                continue;
        }
        if (refused) {
            error = *refused;
            return nullptr;
        }
        SqliteDatabase db = OpenFile(path, SQLITE_OPEN_READWRITE, error);
        if (!db)
            return nullptr;
        if (auto notLedger = CheckLedgerDatabase(db.get(), path)) {
            error = *notLedger;
            return nullptr;
        }
        if (auto notUpgraded = UpgradeLedger(db.get(), path)) {
            error = *notUpgraded;
            return nullptr;
        }
        return db;
    }
    error = QStringLiteral("データベースを作成できません: %1（作成の途中で変わり続けます）").arg(path);
    return nullptr;
}

// Sets up a checked ledger connection for its work.
std::optional<QString> ConfigureConnection(sqlite3* db)
{
    if (int result = Execute(db, "PRAGMA foreign_keys = ON; PRAGMA cache_size = -8192"); result != SQLITE_OK)
        return DatabaseError(db, result);
    sqlite3_stmt* raw = nullptr;
    int result = sqlite3_prepare_v2(db, "PRAGMA journal_mode = WAL", -1, &raw, nullptr);
    const SqliteStatement journal(raw);
    if (result != SQLITE_OK)
        return DatabaseError(db, result);
    result = sqlite3_step(raw);
    if (result != SQLITE_ROW)
        return DatabaseError(db, result);
    const bool wal = qstricmp(reinterpret_cast<const char*>(sqlite3_column_text(raw, 0)), "wal") == 0;
    // A commit without a sync is safe only with a write-ahead log; where the
    // file system allows none, the default full sync stays. A run's commit
    // syncs all the same (see RunSync).
    if (wal) {
        if (result = Execute(db, "PRAGMA synchronous = NORMAL"); result != SQLITE_OK)
            return DatabaseError(db, result);
        // A whole run goes into the log before its commit; copying the log
        // back in the middle of a large one would only slow it down.
        if (result = Execute(db, "PRAGMA wal_autocheckpoint = 10000"); result != SQLITE_OK)
            return DatabaseError(db, result);
    }
    return std::nullopt;
}

// Totals are shown only for a run that is on the disk, so a run's commit
// syncs the log; once per file, which costs nothing to speak of. Set before
// the run begins, and back to the connection's own after it.
int RunSync(sqlite3* db, bool running)
{
    return Execute(db, running ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL");
}

// Every line looks its names up: Qt's string hash, made to withstand
// chosen keys, costs more per line than the trade's own insert.
struct NameHash {
    std::size_t operator()(const QString& name) const noexcept
    {
        return std::hash<std::u16string_view>()(std::u16string_view(reinterpret_cast<const char16_t*>(name.constData()), std::size_t(name.size())));
    }
};

SqliteStatement Prepare(sqlite3* db, const char* sql)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK)
        return nullptr;
    return SqliteStatement(raw);
}

}  // namespace

// One open ledger: its prepared statements and what it has learnt of the
// master tables. The caches hold only rows that exist, and rows are never
// renamed, so a cached name keeps its ID for the connection's life.
struct SqliteLedgerStore::Connection {
    struct MasterTable {
        explicit MasterTable(const char* name) : what(name) {}

        const char* what;  // for messages
        SqliteStatement find;
        SqliteStatement add;
        SqliteStatement exists;
        std::unordered_map<QString, int32_t, NameHash> ids;
        QSet<int32_t> known;
    };
    // Products known to carry a kind code, whose update can be skipped.
    QSet<int32_t> productsWithKind;

    SqliteDatabase db;
    SqliteStatement begin, commit, rollback;
    SqliteStatement insertTrade, recordKind;
    MasterTable kinds{"種別"}, products{"製品"}, suppliers{"仕入先"}, customers{"販売先"};
    // The run's own records go through the ledger's shared logic.
    SqliteLedgerDatabase ledger;
    std::optional<OpenRun> run;

    explicit Connection(SqliteDatabase database)
        : db(std::move(database)), ledger(db.get(), SqliteLedgerStore::kBusyTimeoutMs)
    {
    }
    ~Connection()
    {
        // Before the statements go: a run never committed leaves nothing.
        ledger.rollback();
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The run's ID for the rows it writes; 0 outside a run.
    int64_t runId() const { return run ? run->lngRunId : 0; }

    // False, with the reason, when a statement does not fit the file's schema.
    bool prepare(QString& error)
    {
        sqlite3* handle = db.get();
        const auto table = [&](MasterTable& target, const char* find, const char* add, const char* exists) {
            target.find = Prepare(handle, find);
            target.add = Prepare(handle, add);
            target.exists = Prepare(handle, exists);
            return target.find && target.add && target.exists;
        };
        begin = Prepare(handle, "BEGIN IMMEDIATE");
        commit = Prepare(handle, "COMMIT");
        rollback = Prepare(handle, "ROLLBACK");
        insertTrade = Prepare(handle,
                              "INSERT INTO trades(trade_kind, trade_date, product_id, supplier_id, customer_id,"
                              " quantity, unit_price, amount, run_id, line_number)"
                              " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
        // A code that names no kind cannot be recorded; the trade stands without it.
        recordKind = Prepare(handle,
                             "UPDATE products SET kind_code = ?1 WHERE product_id = ?2 AND kind_code IS NULL"
                             " AND EXISTS (SELECT 1 FROM kinds WHERE kind_code = ?1)");
        const bool ok =
            begin && commit && rollback && insertTrade && recordKind &&
            table(kinds, "SELECT kind_code FROM kinds WHERE name = ?1", "INSERT INTO kinds(name, run_id) VALUES (?1, ?9)",
                  "SELECT 1 FROM kinds WHERE kind_code = ?1") &&
            table(products, "SELECT product_id FROM products WHERE name = ?1",
                  "INSERT INTO products(name, kind_code, maker, reading, model, spec, run_id)"
                  " VALUES (?1, NULL, ?2, ?3, ?4, ?5, ?9)",
                  "SELECT 1 FROM products WHERE product_id = ?1") &&
            table(suppliers, "SELECT supplier_id FROM suppliers WHERE name = ?1",
                  "INSERT INTO suppliers(name, reading, run_id) VALUES (?1, ?2, ?9)",
                  "SELECT 1 FROM suppliers WHERE supplier_id = ?1") &&
            table(customers, "SELECT customer_id FROM customers WHERE name = ?1",
                  "INSERT INTO customers(name, reading, run_id) VALUES (?1, ?2, ?9)",
                  "SELECT 1 FROM customers WHERE customer_id = ?1");
        if (!ok)
            error = QStringLiteral("台帳データベースの構造が正しくありません（%1）。").arg(SqliteMessage(handle));
        return ok;
    }

    QString error(int result) const { return DatabaseError(db.get(), result); }

    // SQLITE_ROW with the ID when the name is stored, SQLITE_DONE when not.
    int find(MasterTable& table, const QString& name, int32_t& id, QString& error)
    {
        StatementUse use(table.find);
        int result = Binder(use).text(1, name).result();
        if (result == SQLITE_OK)
            result = sqlite3_step(use);
        if (result == SQLITE_ROW) {
            const int64_t stored = sqlite3_column_int64(use, 0);
            if (stored <= 0 || stored > std::numeric_limits<int32_t>::max()) {
                error = QStringLiteral("%1「%2」の ID %3 は扱えない値です。")
                            .arg(QString::fromUtf8(table.what), name).arg(stored);
                return SQLITE_RANGE;
            }
            id = int32_t(stored);
        } else if (result != SQLITE_DONE) {
            error = this->error(result);
        }
        return result;
    }

    // The ID of name, adding it with bindRest (parameters from 2 on) when it
    // is new. Returns 0 with the reason when it cannot.
    template <typename BindRest>
    int32_t resolve(MasterTable& table, const QString& name, BindRest&& bindRest, QString& error)
    {
        if (const auto cached = table.ids.find(name); cached != table.ids.end())
            return cached->second;
        int32_t id = 0;
        int result = find(table, name, id, error);
        if (result == SQLITE_DONE) {
            // Inside a run the run's transaction holds the write lock.
            std::optional<WriteTransaction> transaction;
            if (!run) {
                transaction.emplace(db.get(), begin, commit, rollback);
                if (transaction->beginResult() != SQLITE_DONE) {
                    error = this->error(transaction->beginResult());
                    return 0;
                }
            }
            // Someone else may have added it since the look-up.
            result = find(table, name, id, error);
            if (result == SQLITE_DONE) {
                StatementUse use(table.add);
                Binder binder(use);
                binder.text(1, name).integerOrNull(9, runId());
                bindRest(binder);
                result = binder.result();
                if (result == SQLITE_OK)
                    result = sqlite3_step(use);
                if (result != SQLITE_DONE) {
                    error = this->error(result);
                    return 0;
                }
                const int64_t added = sqlite3_last_insert_rowid(db.get());
                if (added > std::numeric_limits<int32_t>::max()) {
                    error = QStringLiteral("%1の ID が上限に達しました。").arg(QString::fromUtf8(table.what));
                    return 0;
                }
                id = int32_t(added);
                result = SQLITE_ROW;
            }
            if (result == SQLITE_ROW && transaction) {
                if (const int committed = transaction->commit(); committed != SQLITE_DONE) {
                    error = this->error(committed);
                    return 0;
                }
            }
        }
        if (result != SQLITE_ROW)
            return 0;
        table.ids.emplace(name, id);
        table.known.insert(id);
        return id;
    }

    // SQLITE_ROW when the ID is stored, SQLITE_DONE when not.
    int known(MasterTable& table, int32_t id, QString& error)
    {
        if (table.known.contains(id))
            return SQLITE_ROW;
        StatementUse use(table.exists);
        int result = Binder(use).integer(1, id).result();
        if (result == SQLITE_OK)
            result = sqlite3_step(use);
        if (result == SQLITE_ROW)
            table.known.insert(id);
        else if (result != SQLITE_DONE)
            error = this->error(result);
        return result;
    }

    // After a foreign key refusal: someone else has removed rows.
    void forgetMasterData()
    {
        for (MasterTable* table : {&kinds, &products, &suppliers, &customers}) {
            table->ids.clear();
            table->known.clear();
        }
        productsWithKind.clear();
    }
};

SqliteLedgerStore::SqliteLedgerStore()
    : m_notConnected(QStringLiteral("データベースに接続していません。"))
{
}

SqliteLedgerStore::~SqliteLedgerStore() = default;

void SqliteLedgerStore::OpenConnection(const QString& strConnection, QString& strError, bool& blnFailed)
{
    m_connection.reset();
    m_reasons.Forget();
    m_notConnected = QStringLiteral("データベースに接続していません。");
    Guarded(strError, blnFailed, [&] {
        const DataSourceResult source = DataSourceOf(strConnection);
        QString error = source.error;
        if (error.isEmpty()) {
            if (SqliteDatabase db = OpenLedger(source.path, error)) {
                auto connection = std::make_unique<Connection>(std::move(db));
                if (auto refused = ConfigureConnection(connection->db.get()))
                    error = *refused;
                else if (connection->prepare(error))
                    m_connection = std::move(connection);
            }
        }
        if (m_connection) {
            Succeed(strError, blnFailed);
        } else {
            m_notConnected = QStringLiteral("データベースに接続していません: %1").arg(error);
            Fail(strError, blnFailed, error);
        }
    });
    if (blnFailed)
        m_reasons.Report(strError);
    // Every later operation fails for the reason just written.
    m_reasons.Suppress(m_notConnected);
}

void SqliteLedgerStore::ResolveProduct(const QString& strProductName, ProductRecord& product, QString& strError,
                                       bool& blnFailed)
{
    product.lngProductID = 0;
    Guarded(strError, blnFailed, [&] {
        Connection* connection = m_connection.get();
        if (!connection)
            return Fail(strError, blnFailed, m_notConnected);
        if (strProductName.isEmpty())
            return Fail(strError, blnFailed, QStringLiteral("製品名が空です。"));
        // The kind code is left to InsertTrade, which sees the line's own;
        // here the record still holds the previous line's.
        QString error;
        const int32_t id = connection->resolve(
            connection->products, strProductName,
            [&](Binder& binder) {
                binder.text(2, product.strMaker)
                    .text(3, product.strReading)
                    .text(4, product.strModel)
                    .text(5, product.strSpec);
            },
            error);
        if (id == 0)
            return Fail(strError, blnFailed, error);
        product.lngProductID = id;
        Succeed(strError, blnFailed);
    });
    if (blnFailed)
        m_reasons.Report(strError);
    throwIfRunLost(strError);
}

void SqliteLedgerStore::ResolveSupplier(const QString& strPartyName, PartyRecord& supplier, QString& strError,
                                        bool& blnFailed)
{
    resolveParty(true, strPartyName, supplier, QStringLiteral("仕入先名が空です。"), strError,
                 blnFailed);
}

void SqliteLedgerStore::ResolveCustomer(const QString& strPartyName, PartyRecord& customer, QString& strError,
                                        bool& blnFailed)
{
    resolveParty(false, strPartyName, customer, QStringLiteral("販売先名が空です。"), strError,
                 blnFailed);
}

void SqliteLedgerStore::resolveParty(bool blnSupplier, const QString& strPartyName,
                                     PartyRecord& party, const QString& emptyName, QString& strError,
                                     bool& blnFailed)
{
    party.lngPartyID = 0;
    Guarded(strError, blnFailed, [&] {
        if (!m_connection)
            return Fail(strError, blnFailed, m_notConnected);
        if (strPartyName.isEmpty())
            return Fail(strError, blnFailed, emptyName);
        QString error;
        const int32_t id = m_connection->resolve(
            blnSupplier ? m_connection->suppliers : m_connection->customers, strPartyName, [&](Binder& binder) { binder.text(2, party.strReading); },
            error);
        if (id == 0)
            return Fail(strError, blnFailed, error);
        party.lngPartyID = id;
        Succeed(strError, blnFailed);
    });
    if (blnFailed)
        m_reasons.Report(strError);
    throwIfRunLost(strError);
}

int32_t SqliteLedgerStore::GetKindCode(const QString& strKind)
{
    if (strKind.isEmpty() || !m_connection)
        return 0;
    int32_t code = 0;
    QString error;
    bool failed = false;
    Guarded(error, failed, [&] {
        code = m_connection->resolve(m_connection->kinds, strKind, [](Binder&) {}, error);
    });
    if (failed || code == 0)
        m_reasons.Report(error);
    throwIfRunLost(error);
    return failed ? 0 : code;
}

void SqliteLedgerStore::InsertTrade(ProductRecord& product, PartyRecord& supplier, PartyRecord& customer,
                                    TradeRecord& trade, bool blnPurchase, QString& strError, bool& blnFailed)
{
    bool runLost = false;
    Guarded(strError, blnFailed, [&] {
        Connection* connection = m_connection.get();
        if (!connection)
            return Fail(strError, blnFailed, m_notConnected);

        char date[kLedgerDateBufferSize];
        const std::size_t dateLength = FormatLedgerDate(trade.dtmTradeDate, date);
        if (dateLength == 0)
            return Fail(strError, blnFailed, QStringLiteral("取引の日付が正しくありません（100 年から 9999 年まで）。"));

        const int32_t productId = trade.lngProductID;
        if (productId == 0)
            return Fail(strError, blnFailed, QStringLiteral("取引の製品が決まっていません。"));

        const PartyRecord& party = blnPurchase ? supplier : customer;
        Connection::MasterTable& parties = blnPurchase ? connection->suppliers : connection->customers;
        const int32_t partyId = blnPurchase ? trade.lngSupplierID : trade.lngCustomerID;
        // A named party that did not resolve must not be booked as no party.
        if (partyId == 0 && !party.strPartyName.isEmpty())
            return Fail(strError, blnFailed,
                        QStringLiteral("%1「%2」が登録されていません。").arg(QString::fromUtf8(parties.what),
                                                                          party.strPartyName));

        QString error;
        int result = connection->known(connection->products, productId, error);
        if (result == SQLITE_DONE)
            return Fail(strError, blnFailed, QStringLiteral("製品 ID %1 は登録されていません。").arg(productId));
        if (result == SQLITE_ROW && partyId != 0) {
            result = connection->known(parties, partyId, error);
            if (result == SQLITE_DONE)
                return Fail(strError, blnFailed,
                            QStringLiteral("%1 ID %2 は登録されていません。")
                                .arg(QString::fromUtf8(parties.what))
                                .arg(partyId));
        }
        if (result != SQLITE_ROW)
            return Fail(strError, blnFailed, error);

        const bool recordKind = product.lngKindCode != 0 && !connection->productsWithKind.contains(productId);
        // A lone insert is committed by SQLite's own implicit transaction,
        // which spares two statements per trade; a run has its own.
        std::optional<WriteTransaction> transaction;
        if (recordKind && !connection->run) {
            transaction.emplace(connection->db.get(), connection->begin, connection->commit, connection->rollback);
            if (transaction->beginResult() != SQLITE_DONE)
                return Fail(strError, blnFailed, connection->error(transaction->beginResult()));
        }
        {
            StatementUse use(connection->insertTrade);
            result = Binder(use)
                         .integer(1, blnPurchase ? 0 : 1)
                         .utf8(2, date, dateLength)
                         .integer(3, productId)
                         .idOrNull(4, blnPurchase ? partyId : 0)
                         .idOrNull(5, blnPurchase ? 0 : partyId)
                         .integer(6, blnPurchase ? trade.lngPurchaseQuantity : trade.lngSalesQuantity)
                         .integer(7, blnPurchase ? trade.lngPurchaseUnitPrice : trade.lngSalesUnitPrice)
                         .integer(8, blnPurchase ? trade.lngPurchaseAmount : trade.lngSalesAmount)
                         .integerOrNull(9, connection->runId())
                         .integerOrNull(10, connection->run ? connection->run->lngLine : 0)
                         .result();
            if (result == SQLITE_OK)
                result = sqlite3_step(use);
        }
        bool kindRecorded = false;
        if (result == SQLITE_DONE && recordKind) {
            StatementUse use(connection->recordKind);
            result = Binder(use).integer(1, product.lngKindCode).integer(2, productId).result();
            if (result == SQLITE_OK)
                result = sqlite3_step(use);
            kindRecorded = result == SQLITE_DONE && sqlite3_changes(connection->db.get()) == 1;
            // The trade is in the run already: the run cannot go in whole without it.
            if (result != SQLITE_DONE && connection->run)
                runLost = true;
        }
        if (result == SQLITE_DONE && transaction)
            result = transaction->commit();
        if (result != SQLITE_DONE) {
            if (result == SQLITE_CONSTRAINT_FOREIGNKEY)
                connection->forgetMasterData();
            return Fail(strError, blnFailed, connection->error(result));
        }
        if (kindRecorded)
            connection->productsWithKind.insert(productId);
        Succeed(strError, blnFailed);
    });
    if (blnFailed)
        m_reasons.Report(strError);
    throwIfRunLost(strError, runLost);
}

void SqliteLedgerStore::throwIfRunLost(const QString& reason, bool lost)
{
    Connection* connection = m_connection.get();
    if (!connection || !connection->run)
        return;
    // SQLite gives up a transaction by itself after some errors of the disk
    // or of memory: what the run wrote so far is gone then.
    if (!lost && connection->ledger.inTransaction())
        return;
    const QString text = QStringLiteral("インポートの書き込みが失われました: %1").arg(reason);
    forgetRun();
    m_reasons.Report(text);
    throw std::runtime_error(text.toStdString());
}

void SqliteLedgerStore::forgetRun()
{
    if (!m_connection)
        return;
    m_connection->ledger.rollback();
    RunSync(m_connection->db.get(), false);
    m_connection->run.reset();
    // Master rows added by the run are gone with it.
    m_connection->forgetMasterData();
}

std::optional<PriorRun> SqliteLedgerStore::FindImportedRun(const QByteArray& strSha256, QString& strError,
                                                            bool& blnFailed)
{
    std::optional<PriorRun> prior;
    Guarded(strError, blnFailed, [&] {
        if (!m_connection)
            return Fail(strError, blnFailed, m_notConnected);
        try {
            prior = FindRunOfFile(m_connection->ledger, strSha256);
            Succeed(strError, blnFailed);
        } catch (const DatabaseFailure& failure) {
            Fail(strError, blnFailed, failure.message());
        }
    });
    if (blnFailed)
        m_reasons.Report(strError);
    return prior;
}

void SqliteLedgerStore::BeginRun(const ImportRunInfo& run, const std::function<void()>& whileWaiting,
                                 QString& strError, bool& blnFailed)
{
    Guarded(strError, blnFailed, [&] {
        Connection* connection = m_connection.get();
        if (!connection)
            return Fail(strError, blnFailed, m_notConnected);
        if (connection->run)
            return Fail(strError, blnFailed, QStringLiteral("インポートが既に始まっています。"));
        try {
            if (const int result = RunSync(connection->db.get(), true); result != SQLITE_OK)
                return Fail(strError, blnFailed, connection->error(result));
            if (auto busy = WaitForTurn(connection->ledger, whileWaiting)) {
                RunSync(connection->db.get(), false);
                return Fail(strError, blnFailed, *busy);
            }
            // Others may have changed the master rows since they were cached.
            connection->forgetMasterData();
            connection->run = RecordRunStart(connection->ledger, run);
            Succeed(strError, blnFailed);
        } catch (const DatabaseFailure& failure) {
            forgetRun();
            Fail(strError, blnFailed, failure.message());
        }
    });
    if (blnFailed)
        m_reasons.Report(strError);
}

void SqliteLedgerStore::BeginLine(int64_t lngLineNumber)
{
    if (m_connection && m_connection->run)
        m_connection->run->lngLine = lngLineNumber;
}

void SqliteLedgerStore::RejectLine(const RejectedLine& line, QString& strError, bool& blnFailed)
{
    Succeed(strError, blnFailed);
    if (!m_connection || !m_connection->run)
        return;
    try {
        RecordRejectedLine(m_connection->ledger, *m_connection->run, line);
    } catch (const DatabaseFailure& failure) {
        // A run whose refusals are not all recorded is no whole run.
        throwIfRunLost(failure.message(), true);
    }
}

void SqliteLedgerStore::CommitRun(int32_t lngRead, int32_t lngImported, QString& strError, bool& blnFailed)
{
    Guarded(strError, blnFailed, [&] {
        Connection* connection = m_connection.get();
        if (!connection || !connection->run)
            return Fail(strError, blnFailed, QStringLiteral("インポートが始まっていません。"));
        try {
            RecordRunEnd(connection->ledger, *connection->run, lngRead, lngImported);
            connection->ledger.commit();
            connection->run.reset();
            RunSync(connection->db.get(), false);
            Succeed(strError, blnFailed);
        } catch (const DatabaseFailure& failure) {
            forgetRun();
            Fail(strError, blnFailed, QStringLiteral("インポートを台帳に書き込めませんでした: %1").arg(failure.message()));
        }
    });
    if (blnFailed) {
        forgetRun();
        m_reasons.Report(strError);
    }
}

void SqliteLedgerStore::AbandonRun() { forgetRun(); }

namespace {

class SqliteLedgerHistory : public LedgerHistory {
public:
    explicit SqliteLedgerHistory(SqliteDatabase db)
        : m_db(std::move(db)), m_ledger(m_db.get(), SqliteLedgerStore::kBusyTimeoutMs)
    {
    }

protected:
    LedgerDatabase& database() override { return m_ledger; }

private:
    SqliteDatabase m_db;
    SqliteLedgerDatabase m_ledger;
};

}  // namespace

std::unique_ptr<clsLedgerHistory> OpenSqliteLedgerHistory(const QString& strConnection)
{
    const DataSourceResult source = DataSourceOf(strConnection);
    if (!source.error.isEmpty())
        throw LedgerError(source.error);
    const QString path = QFileInfo(source.path).absoluteFilePath();
    const LedgerFileState state = InspectLedgerFile(path);
    if (state == LedgerFileState::Absent || state == LedgerFileState::Empty)
        throw LedgerError(QStringLiteral("台帳がまだありません: %1").arg(QDir::toNativeSeparators(path)));
    QString error;
    SqliteDatabase db = OpenLedger(path, error);
    if (!db)
        throw LedgerError(error);
    if (auto refused = ConfigureConnection(db.get()))
        throw LedgerError(*refused);
    return std::make_unique<SqliteLedgerHistory>(std::move(db));
}
