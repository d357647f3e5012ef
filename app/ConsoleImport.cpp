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

void ConsoleDesktop::ShowFileAs(const QString& strFullPath, const QString& strGivenName)
{
    m_fullPath = strFullPath;
    m_givenName = strGivenName;
}

int ConsoleDesktop::MsgBox(const QString& prompt, int flags, const QString& title)
{
    return MsgBoxWithDetails(prompt, flags, title, QString());
}

int ConsoleDesktop::MsgBoxWithDetails(const QString& prompt, int flags, const QString& title, const QString& details)
{
    (void)details;
    const QString shownTitle = title.isEmpty() ? QCoreApplication::applicationName() : title;
    WriteLine(m_err, OneLine(shownTitle + QStringLiteral(": ") + prompt));
    switch (flags & kButtonsMask) {
    case MB_YESNO:  // the file went in before: import it again?
        return m_answers == Answers::None ? IDNO : IDYES;
    case MB_YESNOCANCEL:  // lines are in the ledger: the new ones only, every one, or none?
        return m_answers == Answers::NewOnly ? IDYES : m_answers == Answers::Again ? IDNO : IDCANCEL;
    default: return IDOK;
    }
}

int ConsoleDesktop::Ask(const Question& question)
{
    WriteLine(m_err, OneLine(question.strTitle + QStringLiteral(": ") + question.strPrompt));
    if (!question.strInformative.isEmpty())
        WriteLine(m_err, OneLine(question.strInformative));
    const auto accepted = [this](ChoiceLeadsTo leadsTo) {
        switch (m_answers) {
        case Answers::Again: return leadsTo == ChoiceLeadsTo::GoingOn || leadsTo == ChoiceLeadsTo::EveryLine;
        case Answers::NewOnly: return leadsTo == ChoiceLeadsTo::GoingOn || leadsTo == ChoiceLeadsTo::NewLinesOnly;
        case Answers::None: break;
        }
        return false;
    };
    for (std::size_t i = 0; i < question.choices.size(); ++i) {
        if (accepted(question.choices[i].leadsTo))
            return int(i);
    }
    return question.intEscape;
}

int ConsoleDesktop::MsgBoxWithInformation(const QString& prompt, int flags, const QString& title,
                                          const QString& informative, const QString& details)
{
    const int answer = MsgBoxWithDetails(prompt, flags, title, details);
    if (!informative.isEmpty())
        WriteLine(m_err, OneLine(informative));
    return answer;
}

int ConsoleDesktop::ShowTotals(const QString& prompt, const QString& title, const QString& informative,
                               const QString& details)
{
    (void)title;
    (void)informative;
    (void)details;
    WriteLine(m_out, EscapeControlCharacters(prompt));
    return IDOK;
}

void ConsoleDesktop::LineReport(const QString& prompt, const LineReportPlace& place)
{
    const QString file = !m_givenName.isEmpty() && place.strFilePath == m_fullPath ? m_givenName : place.strFilePath;
    // A name or a value keeps its line breaks, escaped like everything else it may hold.
    QString line =
        QStringLiteral("%1:%2: %3").arg(EscapeControlCharacters(file)).arg(place.lngLineNumber).arg(OneLine(prompt));
    if (!place.strColumn.isEmpty()) {
        line += QStringLiteral("（%1「%2」）")
                    .arg(EscapeControlCharacters(place.strColumn), EscapeControlCharacters(place.strValue));
    }
    // A workbook's sheet last: file:line: stays where a compiler's reader looks for it.
    if (!place.strPlace.isEmpty())
        line += QStringLiteral("（%1）").arg(EscapeControlCharacters(place.strPlace));
    WriteLine(m_err, line);
}

ExitStatus ImportExitStatus(const std::optional<RunTotals>& totals, bool blnNothingNew)
{
    if (!totals)
        return blnNothingNew ? ExitStatus::Ok : ExitStatus::Failed;
    return totals->lngRefused > 0 ? ExitStatus::Partly : ExitStatus::Ok;
}

void ConsoleReading::ApplyTo(clsImportSource& importSource) const
{
    importSource.ChooseSheet(strSheet);
    importSource.ChoosePattern(pattern);
    if (shelf)
        importSource.SetPatternShelf(shelf);
}

ExitStatus RunConsoleImport(Desktop& desktop, const QStringList& files, LedgerStoreFactory storeFactory,
                            const ConsoleReading& reading)
{
    try {
        const std::optional<QString> strFilePath = ChooseImportFile(desktop, files);
        if (!strFilePath)
            return ExitStatus::Failed;
        const QString strConnection = LedgerConnectionString();
        clsImportSource importSource(desktop, std::move(storeFactory));
        reading.ApplyTo(importSource);
        if (importSource.IMPFileCheck(*strFilePath))
            return ExitStatus::Failed;
        if (importSource.IMPRepeatCheck(*strFilePath, strConnection)
            || importSource.IMPLineCheck(*strFilePath, strConnection))
            return ImportExitStatus(std::nullopt, importSource.NothingNew());
        importSource.ExecImport(*strFilePath, strConnection);
        return ImportExitStatus(importSource.Totals(), false);
    } catch (const std::exception& error) {
        // The import command's own report, as the window's button gives it.
        ReportError(desktop, QStringLiteral("FM-man1003"), error);
        return ExitStatus::Failed;
    }
}
