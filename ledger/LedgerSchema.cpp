#include "LedgerSchema.h"

#include "LedgerNames.h"

#include <QByteArray>

std::optional<QString> VersionRefusal(int64_t version, const QString& place)
{
    if (version > kLedgerSchemaVersion)
        return QStringLiteral("この台帳データベースは新しい版のものです（版 %1）: %2").arg(version).arg(place);
    if (version < 1)
        return QStringLiteral("台帳データベースの版が正しくありません（版 %1）: %2").arg(version).arg(place);
    return std::nullopt;
}

QString OlderVersionText(int64_t version, const QString& place)
{
    return QStringLiteral(
               "この台帳は古い版です（版 %1）。次のインポートで新しい版になるまで、台帳と比べることはできません: %2")
        .arg(version)
        .arg(place);
}

QString UpgradeRefusal(const QString& place, const QString& reason)
{
    return QStringLiteral("台帳データベースを新しい版にできません: %1（%2）").arg(place, reason);
}

namespace {

struct MasterTableColumns {
    const char* table;
    const char* id;
};
constexpr MasterTableColumns kMasterTableColumns[] = {
    {"kinds", "kind_code"}, {"products", "product_id"}, {"suppliers", "supplier_id"}, {"customers", "customer_id"}};

// Gives every master the key its name has now (LedgerNames::NameKey),
// computed here, the same on both engines: SQLite has no NFKC of its own.
// Reads each master once and writes only the keys that changed.
void ComputeNameKeys(LedgerDatabase& db)
{
    for (const MasterTableColumns master : kMasterTableColumns) {
        const QByteArray table = master.table;
        const QByteArray update = "UPDATE " + table + " SET name_key = ?1 WHERE " + master.id + " = ?2";
        const QByteArray select = "SELECT " + QByteArray(master.id) + ", name, name_key FROM " + table;
        for (const SqlRow& row : db.query(select.constData())) {
            const QString key = LedgerNames::NameKey(TextOf(row[1]));
            if (IsNull(row[2]) || TextOf(row[2]) != key)
                db.execute(update.constData(), {key, IntegerOf(row[0])});
        }
    }
}

void UpgradeToRuns(LedgerDatabase& db)
{
    const QByteArray id = db.idColumnType();
    const QByteArray statements[] = {
        "CREATE TABLE runs(run_id " + id
            + ", token text NOT NULL UNIQUE, started text NOT NULL, ended text,"
              " file_path text NOT NULL, file_size bigint NOT NULL, sha256 text NOT NULL, header_line text NOT NULL,"
              " purchase integer NOT NULL, lines_read integer NOT NULL DEFAULT 0,"
              " lines_imported integer NOT NULL DEFAULT 0, user_name text NOT NULL, host text NOT NULL,"
              " program_version text NOT NULL, undone text)",
        "CREATE INDEX runs_sha256 ON runs(sha256)",
        "CREATE TABLE rejected_lines(reject_id " + id
            + ", run_id bigint NOT NULL REFERENCES runs,"
              " line_number bigint NOT NULL, record text NOT NULL)",
        "CREATE INDEX rejected_lines_run ON rejected_lines(run_id, line_number)",
        "CREATE TABLE line_reasons(reject_id bigint NOT NULL REFERENCES rejected_lines, position integer NOT NULL,"
        " code text NOT NULL, reason text NOT NULL, column_name text NOT NULL, value text NOT NULL,"
        " PRIMARY KEY (reject_id, position))",
        "ALTER TABLE trades ADD COLUMN run_id bigint REFERENCES runs",
        "ALTER TABLE trades ADD COLUMN line_number bigint",
        "ALTER TABLE kinds ADD COLUMN run_id bigint REFERENCES runs",
        "ALTER TABLE products ADD COLUMN run_id bigint REFERENCES runs",
        "ALTER TABLE suppliers ADD COLUMN run_id bigint REFERENCES runs",
        "ALTER TABLE customers ADD COLUMN run_id bigint REFERENCES runs",
    };
    for (const QByteArray& sql : statements)
        db.execute(sql.constData());
}

// An undo finds a run's trades, and the trades that may use a master, by
// the trades' own IDs: each run keeps the first it could have given and the
// last it gave, so that the trades need no index of their own.
void UpgradeToExactUndo(LedgerDatabase& db)
{
    for (const char* sql : {
             // The run that gave an older product its kind, so that its undo takes the kind back.
             "ALTER TABLE products ADD COLUMN kind_run_id bigint REFERENCES runs",
             "ALTER TABLE runs ADD COLUMN first_trade_id bigint",
             "ALTER TABLE runs ADD COLUMN last_trade_id bigint",
             "UPDATE runs SET first_trade_id = t.first, last_trade_id = t.last"
             " FROM (SELECT run_id, min(trade_id) AS first, max(trade_id) AS last FROM trades"
             " WHERE run_id IS NOT NULL GROUP BY run_id) t WHERE t.run_id = runs.run_id",
             "CREATE INDEX IF NOT EXISTS products_kind ON products(kind_code)",
             "CREATE INDEX products_kind_run ON products(kind_run_id)",
             "CREATE INDEX products_run ON products(run_id)",
             "CREATE INDEX suppliers_run ON suppliers(run_id)",
             "CREATE INDEX customers_run ON customers(run_id)",
             "CREATE INDEX kinds_run ON kinds(run_id)",
         })
        db.execute(sql);
}

// A master is found by the key of its name (LedgerNames::NameKey), and a
// line's trade among the stored trades of its product and day; a run keeps
// the lines it skipped as in the ledger and the names it matched to stored
// ones written another way.
void UpgradeToNameKeys(LedgerDatabase& db)
{
    for (const MasterTableColumns master : kMasterTableColumns)
        db.execute(("ALTER TABLE " + QByteArray(master.table) + " ADD COLUMN name_key text").constData());
    ComputeNameKeys(db);
    for (const MasterTableColumns master : kMasterTableColumns) {
        const QByteArray table = master.table;
        db.execute(("CREATE INDEX " + table + "_key ON " + table + "(name_key)").constData());
    }
    for (const char* sql : {
             // By its day alone: a run's trades lie together in it, so that an undo stays quick.
             "CREATE INDEX trades_day ON trades(trade_date)",
             "ALTER TABLE runs ADD COLUMN lines_skipped integer NOT NULL DEFAULT 0",
             "CREATE TABLE skipped_lines(run_id bigint NOT NULL REFERENCES runs, line_number bigint NOT NULL,"
             " matched_run_id bigint, matched_line_number bigint)",
             "CREATE INDEX skipped_lines_run ON skipped_lines(run_id, line_number)",
             "CREATE TABLE matched_names(run_id bigint NOT NULL REFERENCES runs, master text NOT NULL,"
             " name text NOT NULL, master_id bigint NOT NULL)",
             "CREATE INDEX matched_names_run ON matched_names(run_id)",
         })
        db.execute(sql);
}

// The keys read as one the signs that code page 932 and UTF-8 files write
// apart: a key stored before may have changed, and a key may now find two
// masters. The lines skipped as a run's trades are found by that run. A
// line's trade is looked for by its day, quantity and unit price, so that
// the look reads what the file's lines can match, not every trade of their days.
// keysComputed: this upgrade has just given the keys, as they are now.
void UpgradeToCodePageKeys(LedgerDatabase& db, bool keysComputed)
{
    if (!keysComputed)
        ComputeNameKeys(db);
    db.execute("CREATE INDEX skipped_lines_matched ON skipped_lines(matched_run_id)");
    db.execute("DROP INDEX IF EXISTS trades_day");
    db.execute("CREATE INDEX IF NOT EXISTS trades_identity ON trades(trade_date, quantity, unit_price)");
}

// Import patterns kept by name, and the pattern each run read its file with.
void UpgradeToPatterns(LedgerDatabase& db)
{
    db.execute("CREATE TABLE import_patterns(name text PRIMARY KEY, pattern text NOT NULL, saved text NOT NULL)");
    db.execute("ALTER TABLE runs ADD COLUMN pattern_name text");
}

}  // namespace

void UpgradeLedgerSchema(LedgerDatabase& db, int fromVersion)
{
    for (int version = fromVersion + 1; version <= kLedgerSchemaVersion; ++version) {
        if (version == 2)
            UpgradeToRuns(db);
        if (version == 3)
            UpgradeToExactUndo(db);
        if (version == 4)
            UpgradeToNameKeys(db);
        if (version == 5)
            UpgradeToCodePageKeys(db, fromVersion < 4);
        if (version == 6)
            UpgradeToPatterns(db);
        db.upgradeOwnSchema(version);
    }
    if (fromVersion < kLedgerSchemaVersion)
        db.setSchemaVersion(kLedgerSchemaVersion);
}
