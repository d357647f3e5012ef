#include "LedgerRuns.h"

#include <QDateTime>
#include <QUuid>

#include <thread>

int64_t IntegerOf(const SqlValue& value)
{
    if (const auto* number = std::get_if<int64_t>(&value))
        return *number;
    if (const auto* text = std::get_if<QString>(&value))
        return text->toLongLong();
    return 0;
}

QString TextOf(const SqlValue& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return *text;
    if (const auto* number = std::get_if<int64_t>(&value))
        return QString::number(*number);
    return QString();
}

std::optional<QString> WaitForTurn(LedgerDatabase& db, const std::function<void()>& whileWaiting,
                                   std::chrono::milliseconds patience)
{
    const auto started = std::chrono::steady_clock::now();
    while (!db.tryBeginTurn()) {
        const auto waited = std::chrono::steady_clock::now() - started;
        if (waited >= patience)
            return QStringLiteral("他のインポートが台帳を使用中です（%1 秒待ちました）。")
                .arg(std::chrono::duration_cast<std::chrono::seconds>(patience).count());
        if (whileWaiting)
            whileWaiting();
        std::this_thread::sleep_for(kTurnPollMs);
    }
    return std::nullopt;
}

namespace {

// Times are kept as ISO 8601 texts in UTC, alike in both engines.
QString Now() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs); }

QDateTime LocalTime(const SqlValue& value)
{
    if (IsNull(value))
        return QDateTime();
    QDateTime time = QDateTime::fromString(TextOf(value), Qt::ISODateWithMs);
    time.setTimeSpec(Qt::UTC);
    return time.toLocalTime();
}

}  // namespace

void UpgradeLedgerSchema(LedgerDatabase& db, int fromVersion)
{
    if (fromVersion >= kLedgerSchemaVersion)
        return;
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
    // The engine's checks of a removed master row look for trades that still use it.
    if (db.indexesReferences()) {
        for (const char* sql : {"CREATE INDEX trades_run ON trades(run_id)",
                                "CREATE INDEX trades_product ON trades(product_id)",
                                "CREATE INDEX trades_supplier ON trades(supplier_id)",
                                "CREATE INDEX trades_customer ON trades(customer_id)",
                                "CREATE INDEX products_kind ON products(kind_code)"})
            db.execute(sql);
    }
    db.setSchemaVersion(kLedgerSchemaVersion);
}

OpenRun RecordRunStart(LedgerDatabase& db, const ImportRunInfo& info)
{
    OpenRun run;
    run.strToken = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const std::vector<SqlRow> rows =
        db.query("INSERT INTO runs(token, started, file_path, file_size, sha256, header_line, purchase, user_name,"
                 " host, program_version) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) RETURNING run_id",
                 {run.strToken, Now(), info.strFilePath, int64_t(info.lngFileSize),
                  QString::fromLatin1(info.strSha256), info.strHeaderLine, int64_t(info.blnPurchase ? 1 : 0),
                  info.strUser, info.strHost, info.strProgramVersion});
    if (rows.size() != 1 || rows[0].empty())
        throw DatabaseFailure(QStringLiteral("インポートの記録を作れません。"));
    run.lngRunId = IntegerOf(rows[0][0]);
    return run;
}

void RecordRejectedLine(LedgerDatabase& db, const OpenRun& run, const RejectedLine& line)
{
    const std::vector<SqlRow> rows =
        db.query("INSERT INTO rejected_lines(run_id, line_number, record) VALUES (?1, ?2, ?3) RETURNING reject_id",
                 {run.lngRunId, int64_t(line.lngLineNumber), line.strRecord});
    if (rows.size() != 1 || rows[0].empty())
        throw DatabaseFailure(QStringLiteral("取り込めなかった行を記録できません。"));
    const int64_t rejectId = IntegerOf(rows[0][0]);
    int64_t position = 0;
    for (const LineReason& reason : line.reasons)
        db.execute("INSERT INTO line_reasons(reject_id, position, code, reason, column_name, value)"
                   " VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
                   {rejectId, ++position, reason.strCode, reason.strText, reason.strColumn, reason.strValue});
}

void RecordRunEnd(LedgerDatabase& db, const OpenRun& run, int32_t lngRead, int32_t lngImported)
{
    db.execute("UPDATE runs SET lines_read = ?2, lines_imported = ?3, ended = ?4 WHERE run_id = ?1",
               {run.lngRunId, int64_t(lngRead), int64_t(lngImported), Now()});
}

bool RunIsRecorded(LedgerDatabase& db, const QString& token)
{
    return !db.query("SELECT 1 FROM runs WHERE token = ?1", {token}).empty();
}

std::optional<PriorRun> FindRunOfFile(LedgerDatabase& db, const QByteArray& sha256)
{
    const std::vector<SqlRow> rows =
        db.query("SELECT run_id, started, lines_read, lines_imported FROM runs"
                 " WHERE sha256 = ?1 AND undone IS NULL ORDER BY run_id DESC LIMIT 1",
                 {QString::fromLatin1(sha256)});
    if (rows.empty())
        return std::nullopt;
    const SqlRow& row = rows.front();
    return PriorRun{IntegerOf(row[0]), LocalTime(row[1]), int32_t(IntegerOf(row[2])), int32_t(IntegerOf(row[3]))};
}

namespace {

// The trades of every run counted in one pass, which needs no index.
constexpr const char* kRunColumns =
    "SELECT r.run_id, r.started, r.ended, r.undone, r.purchase, r.lines_read, r.lines_imported, r.file_path,"
    " r.file_size, r.sha256, r.user_name, r.host, r.program_version, coalesce(t.trades, 0) FROM runs r"
    " LEFT JOIN (SELECT run_id, count(*) AS trades FROM trades WHERE run_id IS NOT NULL GROUP BY run_id) t"
    " ON t.run_id = r.run_id";

RunSummary SummaryOf(const SqlRow& row)
{
    RunSummary run;
    run.lngRunId = IntegerOf(row[0]);
    run.dtmStarted = LocalTime(row[1]);
    run.dtmEnded = LocalTime(row[2]);
    run.blnUndone = !IsNull(row[3]);
    run.blnPurchase = IntegerOf(row[4]) != 0;
    run.lngRead = int32_t(IntegerOf(row[5]));
    run.lngImported = int32_t(IntegerOf(row[6]));
    run.strFilePath = TextOf(row[7]);
    run.lngFileSize = IntegerOf(row[8]);
    run.strSha256 = TextOf(row[9]).toLatin1();
    run.strUser = TextOf(row[10]);
    run.strHost = TextOf(row[11]);
    run.strProgramVersion = TextOf(row[12]);
    run.lngTradesInLedger = IntegerOf(row[13]);
    return run;
}

// Runs body, turning a database's failure into the history's.
template <typename Body>
auto Answer(Body&& body)
{
    try {
        return body();
    } catch (const DatabaseFailure& failure) {
        throw LedgerError(failure.message());
    }
}

}  // namespace

std::vector<RunSummary> LedgerHistory::Runs()
{
    return Answer([&] {
        const QByteArray sql = QByteArray(kRunColumns) + " ORDER BY r.run_id DESC";
        std::vector<RunSummary> runs;
        for (const SqlRow& row : database().query(sql.constData()))
            runs.push_back(SummaryOf(row));
        return runs;
    });
}

std::optional<RunSummary> LedgerHistory::Run(int64_t lngRunId)
{
    return Answer([&]() -> std::optional<RunSummary> {
        const QByteArray sql = QByteArray(kRunColumns) + " WHERE r.run_id = ?1";
        const std::vector<SqlRow> rows = database().query(sql.constData(), {lngRunId});
        if (rows.empty())
            return std::nullopt;
        return SummaryOf(rows.front());
    });
}

std::optional<RunRejects> LedgerHistory::Rejects(int64_t lngRunId)
{
    return Answer([&]() -> std::optional<RunRejects> {
        LedgerDatabase& db = database();
        const std::vector<SqlRow> header = db.query("SELECT header_line FROM runs WHERE run_id = ?1", {lngRunId});
        if (header.empty())
            return std::nullopt;
        RunRejects rejects;
        rejects.strHeaderLine = TextOf(header.front()[0]);
        int64_t current = 0;
        for (const SqlRow& row :
             db.query("SELECT l.reject_id, l.line_number, l.record, x.code, x.reason, x.column_name, x.value"
                      " FROM rejected_lines l LEFT JOIN line_reasons x ON x.reject_id = l.reject_id"
                      " WHERE l.run_id = ?1 ORDER BY l.line_number, l.reject_id, x.position",
                      {lngRunId})) {
            if (rejects.lines.empty() || IntegerOf(row[0]) != current) {
                current = IntegerOf(row[0]);
                rejects.lines.push_back(RejectedLine{IntegerOf(row[1]), TextOf(row[2]), {}});
            }
            if (!IsNull(row[3]))
                rejects.lines.back().reasons.push_back(
                    LineReason{TextOf(row[3]), TextOf(row[4]), TextOf(row[5]), TextOf(row[6])});
        }
        return rejects;
    });
}

clsLedgerHistory::UndoResult LedgerHistory::UndoRun(int64_t lngRunId, const std::function<void()>& whileWaiting)
{
    return Answer([&] {
        LedgerDatabase& db = database();
        if (auto busy = WaitForTurn(db, whileWaiting))
            throw LedgerError(*busy);
        UndoResult result;
        try {
            const std::vector<SqlRow> run = db.query("SELECT undone FROM runs WHERE run_id = ?1", {lngRunId});
            if (run.empty() || !IsNull(run.front()[0])) {
                db.rollback();
                result.outcome = run.empty() ? UndoOutcome::UnknownRun : UndoOutcome::AlreadyUndone;
                return result;
            }
            result.lngTradesRemoved = db.execute("DELETE FROM trades WHERE run_id = ?1", {lngRunId});
            // Master rows of this run, or left by runs undone before while a
            // later run still used them, go once nothing uses them.
            constexpr const char* kAddedByUndone =
                " (run_id = ?1 OR run_id IN (SELECT run_id FROM runs WHERE undone IS NOT NULL))";
            const QByteArray deletes[] = {
                QByteArray("DELETE FROM products WHERE") + kAddedByUndone +
                    " AND product_id NOT IN (SELECT product_id FROM trades)",
                QByteArray("DELETE FROM suppliers WHERE") + kAddedByUndone +
                    " AND supplier_id NOT IN (SELECT supplier_id FROM trades WHERE supplier_id IS NOT NULL)",
                QByteArray("DELETE FROM customers WHERE") + kAddedByUndone +
                    " AND customer_id NOT IN (SELECT customer_id FROM trades WHERE customer_id IS NOT NULL)",
                QByteArray("DELETE FROM kinds WHERE") + kAddedByUndone +
                    " AND kind_code NOT IN (SELECT kind_code FROM products WHERE kind_code IS NOT NULL)",
            };
            for (const QByteArray& sql : deletes)
                db.execute(sql.constData(), {lngRunId});
            db.execute("UPDATE runs SET undone = ?2 WHERE run_id = ?1", {lngRunId, Now()});
            db.commit();
        } catch (...) {
            db.rollback();
            throw;
        }
        result.outcome = UndoOutcome::Undone;
        return result;
    });
}
