#include "LedgerSchema.h"

#include <QByteArray>

std::optional<QString> VersionRefusal(int64_t version, const QString& place)
{
    if (version > kLedgerSchemaVersion)
        return QStringLiteral("この台帳データベースは新しい版のものです（版 %1）: %2").arg(version).arg(place);
    if (version < 1)
        return QStringLiteral("台帳データベースの版が正しくありません（版 %1）: %2").arg(version).arg(place);
    return std::nullopt;
}

QString UpgradeRefusal(const QString& place, const QString& reason)
{
    return QStringLiteral("台帳データベースを新しい版にできません: %1（%2）").arg(place, reason);
}

namespace {

void UpgradeToRuns(LedgerDatabase& db)
{
    const QByteArray id = db.idColumnType();
    const QByteArray statements[] = {
        "CREATE TABLE runs(run_id " + id + ", token text NOT NULL UNIQUE, started text NOT NULL, ended text,"
        " file_path text NOT NULL, file_size bigint NOT NULL, sha256 text NOT NULL, header_line text NOT NULL,"
        " purchase integer NOT NULL, lines_read integer NOT NULL DEFAULT 0,"
        " lines_imported integer NOT NULL DEFAULT 0, user_name text NOT NULL, host text NOT NULL,"
        " program_version text NOT NULL, undone text)",
        "CREATE INDEX runs_sha256 ON runs(sha256)",
        "CREATE TABLE rejected_lines(reject_id " + id + ", run_id bigint NOT NULL REFERENCES runs,"
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

// An undo finds a run's trades by their run, and a master's users by the
// master, in what they cost and not in what the ledger holds.
void UpgradeToExactUndo(LedgerDatabase& db)
{
    for (const char* sql : {
             // The run that gave an older product its kind, so that its undo takes the kind back.
             "ALTER TABLE products ADD COLUMN kind_run_id bigint REFERENCES runs",
             "CREATE INDEX IF NOT EXISTS trades_run ON trades(run_id)",
             "CREATE INDEX IF NOT EXISTS trades_product ON trades(product_id)",
             "CREATE INDEX IF NOT EXISTS trades_supplier ON trades(supplier_id)",
             "CREATE INDEX IF NOT EXISTS trades_customer ON trades(customer_id)",
             "CREATE INDEX IF NOT EXISTS products_kind ON products(kind_code)",
             "CREATE INDEX products_kind_run ON products(kind_run_id)",
             "CREATE INDEX products_run ON products(run_id)",
             "CREATE INDEX suppliers_run ON suppliers(run_id)",
             "CREATE INDEX customers_run ON customers(run_id)",
             "CREATE INDEX kinds_run ON kinds(run_id)",
         })
        db.execute(sql);
}

}  // namespace

void UpgradeLedgerSchema(LedgerDatabase& db, int fromVersion)
{
    if (fromVersion >= kLedgerSchemaVersion)
        return;
    if (fromVersion < 2)
        UpgradeToRuns(db);
    if (fromVersion < 3)
        UpgradeToExactUndo(db);
    for (int version = fromVersion + 1; version <= kLedgerSchemaVersion; ++version)
        db.upgradeOwnSchema(version);
    db.setSchemaVersion(kLedgerSchemaVersion);
}
