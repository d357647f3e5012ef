#include "LedgerRuns.h"

#include <QDateTime>
#include <QStringDecoder>
#include <QUuid>

#include <cstring>

#include <thread>

QString TextFromUtf8(const char* text, qsizetype size)
{
    if (!text)
        return QString();
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(text, size < 0 ? qsizetype(std::strlen(text)) : size));
}

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

QString LedgerNow() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs); }

QDateTime LocalTimeOf(const SqlValue& value)
{
    if (IsNull(value))
        return QDateTime();
    QDateTime time = QDateTime::fromString(TextOf(value), Qt::ISODateWithMs);
    time.setTimeSpec(Qt::UTC);
    return time.toLocalTime();
}

namespace {

// A server text cannot hold a NUL, and a line is often refused for one: a
// record is kept with U+FFFD in its place on both engines, so that the
// refusal costs nothing more.
SqlValue KeptRecord(QString text) { return text.replace(QChar(u'\0'), QChar(0xFFFD)); }

}  // namespace

OpenRun RecordRunStart(LedgerDatabase& db, const ImportRunInfo& info)
{
    OpenRun run;
    run.strToken = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const std::vector<SqlRow> rows = db.query(
        "INSERT INTO runs(token, started, file_path, file_size, sha256, header_line, purchase, user_name,"
        " host, program_version, pattern_name, first_trade_id) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9,"
        " ?10, ?11, (SELECT coalesce(max(trade_id), 0) + 1 FROM trades)) RETURNING run_id",
        {run.strToken, LedgerNow(), info.strFilePath, int64_t(info.lngFileSize), QString::fromLatin1(info.strSha256),
         KeptRecord(info.strHeaderLine), int64_t(info.blnPurchase ? 1 : 0), info.strUser, info.strHost,
         info.strProgramVersion, info.strPatternName.isEmpty() ? SqlValue() : SqlValue(info.strPatternName)});
    if (rows.size() != 1 || rows[0].empty())
        throw DatabaseFailure(QStringLiteral("インポートの記録を作れません。"));
    run.lngRunId = IntegerOf(rows[0][0]);
    return run;
}

void RecordRejectedLine(LedgerDatabase& db, const OpenRun& run, const RejectedLine& line)
{
    const auto kept = [](const QString& text) { return KeptRecord(text); };
    const std::vector<SqlRow> rows =
        db.query("INSERT INTO rejected_lines(run_id, line_number, record) VALUES (?1, ?2, ?3) RETURNING reject_id",
                 {run.lngRunId, int64_t(line.lngLineNumber), kept(line.strRecord)});
    if (rows.size() != 1 || rows[0].empty())
        throw DatabaseFailure(QStringLiteral("取り込めなかった行を記録できません。"));
    const int64_t rejectId = IntegerOf(rows[0][0]);
    int64_t position = 0;
    for (const LineReason& reason : line.reasons)
        db.execute("INSERT INTO line_reasons(reject_id, position, code, reason, column_name, value)"
                   " VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
                   {rejectId, ++position, kept(reason.strCode), kept(reason.strText), kept(reason.strColumn),
                    kept(reason.strValue)});
}

void RecordSkippedLine(LedgerDatabase& db, const OpenRun& run, int64_t lngLineNumber, const LedgerMatch& match)
{
    db.execute("INSERT INTO skipped_lines(run_id, line_number, matched_run_id, matched_line_number)"
               " VALUES (?1, ?2, ?3, ?4)",
               {run.lngRunId, lngLineNumber, match.lngRunId == 0 ? SqlValue() : SqlValue(match.lngRunId),
                match.lngRunId == 0 ? SqlValue() : SqlValue(match.lngLineNumber)});
}

void RecordMatchedNames(LedgerDatabase& db, const OpenRun& run, const std::vector<MatchedName>& names)
{
    for (const MatchedName& name : names)
        db.execute("INSERT INTO matched_names(run_id, master, name, master_id) VALUES (?1, ?2, ?3, ?4)",
                   {run.lngRunId, QString::fromLatin1(name.table), name.strName, name.lngMasterId});
}

void RecordRunEnd(LedgerDatabase& db, const OpenRun& run, int32_t lngRead, int32_t lngImported, int32_t lngSkipped)
{
    db.execute("UPDATE runs SET lines_read = ?2, lines_imported = ?3, lines_skipped = ?5, ended = ?4,"
               " last_trade_id = (SELECT max(trade_id) FROM trades) WHERE run_id = ?1",
               {run.lngRunId, int64_t(lngRead), int64_t(lngImported), LedgerNow(), int64_t(lngSkipped)});
}

bool RunIsRecorded(LedgerDatabase& db, const QString& token)
{
    return !db.query("SELECT 1 FROM runs WHERE token = ?1", {token}).empty();
}

std::optional<PriorRun> FindRunOfFile(LedgerDatabase& db, const QByteArray& sha256)
{
    const std::vector<SqlRow> rows = db.query("SELECT run_id, started, lines_read, lines_imported FROM runs"
                                              " WHERE sha256 = ?1 AND undone IS NULL ORDER BY run_id DESC LIMIT 1",
                                              {QString::fromLatin1(sha256)});
    if (rows.empty())
        return std::nullopt;
    const SqlRow& row = rows.front();
    return PriorRun{IntegerOf(row[0]), LocalTimeOf(row[1]), int32_t(IntegerOf(row[2])), int32_t(IntegerOf(row[3]))};
}
