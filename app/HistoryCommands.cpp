#include "HistoryCommands.h"

#include "EscapedText.h"
#include "HistoryTexts.h"
#include "TabSeparated.h"

#include <QStringList>

#include <optional>

namespace {

void WriteText(std::ostream& stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    stream.write(bytes.constData(), bytes.size());
    stream.flush();
}

void WriteError(std::ostream& err, const QString& message)
{
    // A run as typed or a ledger's path may hold anything.
    WriteText(err, QStringLiteral("MoraImport: %1\n").arg(EscapeControlCharacters(message)));
}

QString Time(const QDateTime& time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

// The refused records as a terminal shows them: no byte-order mark, which
// is only for spreadsheets, and each record on one line of its own.
QByteArray RejectsTerminalText(const RunRejects& rejects)
{
    QString text = EscapeControlCharacters(rejects.strHeaderLine) + u'\n';
    for (const RejectedLine& line : rejects.lines)
        text += EscapeControlCharacters(line.strRecord) + u'\n';
    return text.toUtf8();
}

std::optional<int64_t> RunNumber(const QString& strRun)
{
    bool ok = false;
    const qlonglong run = strRun.trimmed().toLongLong(&ok);
    return ok && run > 0 ? std::optional<int64_t>(run) : std::nullopt;
}

// Runs body on the opened history; a ledger that cannot answer is told on err.
template <typename Body>
ExitStatus WithHistory(const LedgerHistoryFactory& openHistory, const QString& strConnection, std::ostream& err,
                       Body&& body)
{
    try {
        std::unique_ptr<clsLedgerHistory> history = openHistory ? openHistory(strConnection) : nullptr;
        if (!history)
            throw LedgerError(QStringLiteral("台帳を開けません。"));
        return body(*history);
    } catch (const LedgerError& error) {
        WriteError(err, error.message());
    } catch (const std::exception& error) {
        WriteError(err, QString::fromUtf8(error.what()));
    }
    return ExitStatus::Failed;
}

// The same for a command about the run that strRun names.
template <typename Body>
ExitStatus WithRun(const LedgerHistoryFactory& openHistory, const QString& strConnection, const QString& strRun,
                   std::ostream& err, Body&& body)
{
    const std::optional<int64_t> run = RunNumber(strRun);
    if (!run) {
        WriteError(err, UnknownRunText(strRun));
        return ExitStatus::Failed;
    }
    return WithHistory(openHistory, strConnection, err, [&](clsLedgerHistory& history) { return body(history, *run); });
}

}  // namespace

ExitStatus WriteHistory(const LedgerHistoryFactory& openHistory, const QString& strConnection, std::ostream& out,
                        std::ostream& err)
{
    return WithHistory(openHistory, strConnection, err, [&](clsLedgerHistory& history) {
        // Columns are added at the end, where a script that reads the others by place does not see them.
        QString text =
            QStringLiteral("run\tstarted\tended\tstate\tmode\tread\timported\tskipped\tfile\tsha256\tpattern\n");
        for (const RunSummary& run : history.Runs()) {
            text += QStringList{QString::number(run.lngRunId),
                                Time(run.dtmStarted),
                                Time(run.dtmEnded),
                                run.blnUndone ? QStringLiteral("undone") : QStringLiteral("imported"),
                                run.blnPurchase ? QStringLiteral("purchase") : QStringLiteral("sales"),
                                QString::number(run.lngRead),
                                QString::number(run.lngImported),
                                QString::number(run.lngSkipped),
                                TsvField(run.strFilePath),
                                QString::fromLatin1(run.strSha256),
                                TsvField(run.strPatternName)}
                        .join(u'\t')
                    + u'\n';
        }
        WriteText(out, text);
        return ExitStatus::Ok;
    });
}

ExitStatus WriteRejects(const LedgerHistoryFactory& openHistory, const QString& strConnection, const QString& strRun,
                        RejectsDestination destination, std::ostream& out, std::ostream& err)
{
    return WithRun(openHistory, strConnection, strRun, err, [&](clsLedgerHistory& history, int64_t run) {
        const std::optional<RunRejects> rejects = history.Rejects(run);
        if (!rejects) {
            WriteError(err, UnknownRunText(strRun));
            return ExitStatus::Failed;
        }
        const QByteArray content = destination == RejectsDestination::Terminal ? RejectsTerminalText(*rejects)
                                                                               : RejectsFileContent(*rejects);
        out.write(content.constData(), content.size());
        out.flush();
        return ExitStatus::Ok;
    });
}

ExitStatus UndoImportRun(const LedgerHistoryFactory& openHistory, const QString& strConnection, const QString& strRun,
                         std::ostream& out, std::ostream& err)
{
    return WithRun(openHistory, strConnection, strRun, err, [&](clsLedgerHistory& history, int64_t run) {
        const clsLedgerHistory::UndoResult result = history.UndoRun(run, [] {});
        switch (result.outcome) {
        case clsLedgerHistory::UndoOutcome::Undone:
            WriteText(out, EscapeControlCharacters(UndoneText(run, result.lngTradesRemoved)) + u'\n');
            return ExitStatus::Ok;
        case clsLedgerHistory::UndoOutcome::AlreadyUndone:
            WriteError(err, AlreadyUndoneText(run));
            return ExitStatus::Failed;
        case clsLedgerHistory::UndoOutcome::ReliedOn:
            WriteError(err, ReliedOnText(result.relyingRuns));
            return ExitStatus::Failed;
        case clsLedgerHistory::UndoOutcome::UnknownRun: break;
        }
        WriteError(err, UnknownRunText(strRun));
        return ExitStatus::Failed;
    });
}
