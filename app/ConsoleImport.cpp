#include "ConsoleImport.h"

#include "FileChoice.h"

#include "ErrorReport.h"
#include "EscapedText.h"
#include "clsImportSource.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

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

std::optional<ConsoleDesktop::Totals> ConsoleDesktop::ParseTotals(const QString& prompt,
                                                                  const QString& title)
{
    static const QRegularExpression totals(
        QStringLiteral("^全レコード (\\d+) 件中 (\\d+) 件インポートしました。$"));
    if (title != QStringLiteral("インポート完了"))
        return std::nullopt;
    const QRegularExpressionMatch match = totals.match(prompt);
    if (!match.hasMatch())
        return std::nullopt;
    return Totals{match.captured(1).toLongLong(), match.captured(2).toLongLong()};
}

void ConsoleDesktop::ShowFileAs(const QString& strFullPath, const QString& strGivenName)
{
    m_fullPath = strFullPath;
    m_givenName = strGivenName;
}

int ConsoleDesktop::MsgBox(const QString& prompt, int flags, const QString& title)
{
    if (const std::optional<Totals> totals = ParseTotals(prompt, title)) {
        m_totals = totals;
        WriteLine(m_out, prompt);
        return IDOK;
    }
    if ((flags & MB_YESNO) && m_answerYes)
        return IDYES;
    const QString shownTitle = title.isEmpty() ? QCoreApplication::applicationName() : title;
    WriteLine(m_err, OneLine(shownTitle + QStringLiteral(": ") + prompt));
    return (flags & MB_YESNO) ? IDNO : IDOK;
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
    return m_totals->imported == m_totals->read ? 0 : 1;
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
        if (importSource.IMPRepeatCheck(*strFilePath, strConnection))
            return;
        importSource.ExecImport(*strFilePath, strConnection);
    } catch (const std::exception& error) {
        // The import command's own report, as the window's button gives it.
        ReportError(desktop, QStringLiteral("FM-man1003"), error);
    }
}
