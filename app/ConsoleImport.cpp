#include "ConsoleImport.h"

#include "FileChoice.h"

#include "ErrorReport.h"
#include "EscapedText.h"
#include "clsImportSource.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

// The part of a box's flags that chooses its buttons.
constexpr int kButtonsMask = 0xF;

// A box's prompt may span lines (a report's code, then its description);
// a line of a log or a terminal must not, nor drive the terminal.
QString OneLine(const QString& text)
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\r\n]+"));
    return EscapeControlCharacters(QString(text).replace(lineBreaks, QStringLiteral(" ")));
}

void WriteLine(std::ostream& stream, const QString& line)
{
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    stream.write(bytes.constData(), bytes.size());
    stream.flush();
}

}  // namespace

std::optional<ConsoleDesktop::Totals> ConsoleDesktop::ParseTotals(const QString& prompt, const QString& title,
                                                                  const QString& details)
{
    static const QRegularExpression totals(
        QStringLiteral("^全レコード (\\d+) 件中 (\\d+) 件インポートしました。$"));
    // The details list the refused lines before those left out as in the
    // ledger: the first tells whether any line was refused.
    static const QRegularExpression skipped(
        QStringLiteral("^\\d+ 行目: 取り込み済みの取引と同じため取り込みませんでした"));
    if (title != QStringLiteral("インポート完了"))
        return std::nullopt;
    const QRegularExpressionMatch match = totals.match(prompt);
    if (!match.hasMatch())
        return std::nullopt;
    Totals result{match.captured(1).toLongLong(), match.captured(2).toLongLong(), false};
    result.refused = result.imported != result.read && !skipped.match(details).hasMatch();
    return result;
}

void ConsoleDesktop::ShowFileAs(const QString& strFullPath, const QString& strGivenName)
{
    m_fullPath = strFullPath;
    m_givenName = strGivenName;
}

int ConsoleDesktop::MsgBox(const QString& prompt, int flags, const QString& title)
{
    return MsgBoxWithDetails(prompt, flags, title, QString());
}

int ConsoleDesktop::MsgBoxWithDetails(const QString& prompt, int flags, const QString& title,
                                      const QString& details)
{
    if (const std::optional<Totals> totals = ParseTotals(prompt, title, details)) {
        m_totals = totals;
        WriteLine(m_out, EscapeControlCharacters(prompt));
        return IDOK;
    }
    const QString shownTitle = title.isEmpty() ? QCoreApplication::applicationName() : title;
    WriteLine(m_err, OneLine(shownTitle + QStringLiteral(": ") + prompt));
    switch (flags & kButtonsMask) {
    case MB_YESNO:  // the file went in before: import it again?
        return m_answers == Answers::None ? IDNO : IDYES;
    case MB_YESNOCANCEL:  // lines are in the ledger: the new ones only, every one, or none?
        return m_answers == Answers::NewOnly ? IDYES : m_answers == Answers::Again ? IDNO : IDCANCEL;
    default:
        return IDOK;
    }
}

void ConsoleDesktop::LineReport(const QString& prompt, const LineReportPlace& place)
{
    const QString file =
        !m_givenName.isEmpty() && place.strFilePath == m_fullPath ? m_givenName : place.strFilePath;
    // A name or a value keeps its line breaks, escaped like everything else it may hold.
    QString line = QStringLiteral("%1:%2: %3")
                       .arg(EscapeControlCharacters(file))
                       .arg(place.lngLineNumber)
                       .arg(OneLine(prompt));
    if (!place.strColumn.isEmpty()) {
        line += QStringLiteral("（%1「%2」）")
                    .arg(EscapeControlCharacters(place.strColumn), EscapeControlCharacters(place.strValue));
    }
    WriteLine(m_err, line);
}

int ConsoleDesktop::ExitStatus() const
{
    if (!m_totals)
        return 2;
    return m_totals->refused ? 1 : 0;
}

void RunConsoleImport(Desktop& desktop, const QStringList& files, LedgerStoreFactory storeFactory)
{
    try {
        const std::optional<QString> strFilePath = ChooseImportFile(desktop, files);
        if (!strFilePath)
            return;
        const QString strConnection = LedgerConnectionString();
        clsImportSource importSource(desktop, std::move(storeFactory));
        if (importSource.IMPFileCheck(*strFilePath))
            return;
        if (importSource.IMPRepeatCheck(*strFilePath, strConnection)
            || importSource.IMPLineCheck(*strFilePath, strConnection))
            return;
        importSource.ExecImport(*strFilePath, strConnection);
    } catch (const std::exception& error) {
        // The import command's own report, as the window's button gives it.
        ReportError(desktop, QStringLiteral("FM-man1003"), error);
    }
}
