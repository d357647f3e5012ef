#include "SqliteLedgerFile.h"

#include "LedgerFolder.h"
#include "LedgerSchema.h"
#include "SqliteLedgerDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

QString SqliteMessage(sqlite3* db) { return QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory"); }

QString DatabaseError(sqlite3* db, int result) { return SqliteFailure(db, result).message(); }

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
    const uint32_t applicationId = byte(kApplicationIdOffset) << 24 | byte(kApplicationIdOffset + 1) << 16
                                   | byte(kApplicationIdOffset + 2) << 8 | byte(kApplicationIdOffset + 3);
    if (applicationId != uint32_t(kSqliteApplicationId))
        return QStringLiteral("台帳データベースではありません（別のアプリケーションのデータベースです）: %1").arg(path);
    return std::nullopt;
}

// What SQLite itself says about an opened file: its mark and its version.
std::optional<QString> CheckLedgerDatabase(sqlite3* db, const QString& path, bool forWriting = true)
{
    int64_t applicationId = 0;
    int64_t version = 0;
    int result = ReadPragma(db, "PRAGMA application_id", applicationId);
    if (result == SQLITE_OK)
        result = ReadPragma(db, "PRAGMA user_version", version);
    if (result != SQLITE_OK)
        return QStringLiteral("データベースを開けません: %1（%2）").arg(path, DatabaseError(db, result));
    if (applicationId != kSqliteApplicationId)
        return QStringLiteral("台帳データベースではありません（別のアプリケーションのデータベースです）: %1").arg(path);
    if (auto refused = VersionRefusal(version, path))
        return refused;
    if (!forWriting && version < kLedgerSchemaVersion)
        return OlderVersionText(version, path);
    if (forWriting && sqlite3_db_readonly(db, "main") == 1)
        return QStringLiteral("データベースファイルに書き込めません（読み取り専用）: %1").arg(path);
    return std::nullopt;
}

SqliteDatabase OpenFile(const QString& path, int flags, QString& error)
{
    sqlite3* raw = nullptr;
    const int result = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    SqliteDatabase db(raw);
    if (result != SQLITE_OK) {
        error = QStringLiteral("データベースを開けません: %1（%2）").arg(path, SqliteMessage(raw));
        return nullptr;
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, kBusyWaitMs);
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
    // Pages of 16 KiB: a run writes each page it fills to the log and again
    // to the file, and the writes, not the rows, are what a run costs most.
    const QByteArray sql = QByteArrayLiteral("PRAGMA page_size = 16384; BEGIN IMMEDIATE;") + kSchemaSql
                           + QByteArrayLiteral("PRAGMA application_id = ") + QByteArray::number(kSqliteApplicationId)
                           + QByteArrayLiteral(";");
    if (const int result = Execute(db.get(), sql.constData()); result != SQLITE_OK)
        return QStringLiteral("データベースを作成できません: %1（%2）").arg(path, DatabaseError(db.get(), result));
    try {
        SqliteLedgerDatabase ledger(db.get());
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
    const std::optional<CreationLock> lock = CreationLock::Take(QFileInfo(path).absolutePath(), kBusyWaitMs, error);
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

// Lets SQLite roll back a journal or read a log left beside a ledger (or a
// creation that died) before the file is opened for work. Gives nothing
// for a ledger, and sets empty when the recovery left no page: no ledger
// yet, to be created.
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

// Brings a ledger of an earlier version up to date in one transaction, so
// that a kill leaves it as it was or whole. Another program may have done
// it meanwhile: the version is read again under the write lock.
std::optional<QString> UpgradeLedger(sqlite3* db, const QString& path)
{
    int64_t version = 0;
    if (const int result = ReadPragma(db, "PRAGMA user_version", version); result != SQLITE_OK)
        return QStringLiteral("データベースを開けません: %1（%2）").arg(path, DatabaseError(db, result));
    if (version >= kLedgerSchemaVersion)
        return std::nullopt;
    SqliteLedgerDatabase ledger(db);
    try {
        ledger.execute("BEGIN IMMEDIATE");
        if (const int result = ReadPragma(db, "PRAGMA user_version", version); result != SQLITE_OK)
            throw SqliteFailure(db, result);
        if (auto refused = VersionRefusal(version, path))
            throw DatabaseFailure(*refused);
        UpgradeLedgerSchema(ledger, int(version));
        ledger.commit();
    } catch (const DatabaseFailure& failure) {
        ledger.rollback();
        return UpgradeRefusal(path, failure.message());
    }
    return std::nullopt;
}

// The rollback journal beside path was left by a creation that died: the
// database was empty when its transaction began, so that rolling it back
// takes nothing from anyone. Any other file there is judged by its header
// before SQLite may touch its journal or log.
bool JournalOfACreation(const QString& path)
{
    if (QFileInfo(path + QStringLiteral("-wal")).size() > 0)
        return false;
    QFile journal(path + QStringLiteral("-journal"));
    if (!journal.open(QIODevice::ReadOnly))
        return false;
    // Its header: a magic number, then the record count, the nonce, and the
    // size of the database in pages when the transaction began.
    static constexpr char kJournalMagic[] = {char(0xd9), char(0xd5), char(0x05), char(0xf9),
                                             char(0x20), char(0xa1), char(0x63), char(0xd7)};
    const QByteArray header = journal.read(28);
    if (header.size() == 28 && header.startsWith(QByteArray(kJournalMagic, sizeof kJournalMagic)))
        return header.mid(16, 4) == QByteArray(4, '\0');
    // A header not written whole yet: SQLite writes nothing to the database
    // before it, so an empty database file is all there is.
    return QFileInfo(path).size() == 0;
}

}  // namespace

SqliteDatabase OpenLedgerFile(const QString& dataSource, QString& error)
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
        std::optional<QString> refused = CheckLedgerHeader(path);
        if (refused && state == LedgerFileState::NeedsRecovery && JournalOfACreation(path))
            refused.reset();
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

SqliteDatabase OpenLedgerFileToLook(const QString& dataSource, QString& error, bool& absent)
{
    absent = false;
    const QString path = QFileInfo(dataSource).absoluteFilePath();
    const LedgerFileState state = InspectLedgerFile(path);
    if (state == LedgerFileState::Absent || state == LedgerFileState::Empty) {
        absent = true;
        error = QStringLiteral("台帳がまだありません: %1").arg(QDir::toNativeSeparators(path));
        return nullptr;
    }
    // Someone else's file is refused before SQLite may look at its journal or log.
    if (auto refused = CheckLedgerHeader(path)) {
        error = *refused;
        return nullptr;
    }
    // A reader of a write-ahead log opened read-only leaves its index files
    // behind; one that may write, told to write nothing, leaves none. Only
    // a journal that needs rolling back is left to a read-only reader.
    SqliteDatabase db =
        OpenFile(path, state == LedgerFileState::NeedsRecovery ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, error);
    if (!db)
        return nullptr;
    if (const int result = Execute(db.get(), "PRAGMA query_only = ON"); result != SQLITE_OK) {
        error = QStringLiteral("データベースを開けません: %1（%2）").arg(path, DatabaseError(db.get(), result));
        return nullptr;
    }
    if (auto refused = CheckLedgerDatabase(db.get(), path, false)) {
        error = *refused;
        return nullptr;
    }
    return db;
}

std::optional<QString> ConfigureLedgerConnection(sqlite3* db)
{
    // A statement that writes many rows keeps its own journal to undo itself: in
    // memory, not a temporary file written page by page.
    if (int result = Execute(db, "PRAGMA foreign_keys = ON; PRAGMA cache_size = -65536; PRAGMA temp_store = MEMORY");
        result != SQLITE_OK)
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
    // syncs all the same (see SyncForRun).
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

int SyncForRun(sqlite3* db, bool running)
{
    return Execute(db, running ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL");
}
