#include "Modes.h"

#include "ConsoleCheck.h"
#include "ConsoleImport.h"
#include "HistoryCommands.h"
#include "LedgerChoice.h"
#include "LedgerPlaceSettings.h"
#include "PatternCommands.h"
#include "SessionPasswords.h"
#include "UserData.h"
#include "WindowHandOver.h"

#include "FileChoice.h"
#include "QtDesktop.h"
#include "frmHistory.h"
#include "frmLedgerPlace.h"
#include "frmMain.h"

#include <QApplication>
#include <QSettings>

#include <iostream>

#include <unistd.h>

namespace {

// The folder the file dialog last chose from, in the user's settings.
frmMain::FolderMemory SettingsFolderMemory()
{
    static constexpr char kKey[] = "Window/LastFolder";
    return {[] { return QSettings(QStringLiteral("MoraImport"), QStringLiteral("MoraImport")).value(kKey).toString(); },
            [](const QString& folder) {
                QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("MoraImport"),
                          QStringLiteral("MoraImport"))
                    .setValue(kKey, folder);
            }};
}

// The socket of this user's window on the ledger of the moment; none
// where the current folder is gone.
QString WindowSocket()
{
    try {
        return WindowHandOver::SocketPathFor(LedgerPlaceKey());
    } catch (const std::exception&) {
        return QString();
    }
}

ExitStatus RunWindow(const CommandLine& commandLine, QtDesktop& desktop)
{
    // One window per user and ledger place: a later start hands its files to it.
    WindowHandOver handOver(WindowSocket());
    if (handOver.HandTo(commandLine.Files()))
        return ExitStatus::Ok;
    SessionPasswords passwords(SessionPasswords::DesktopWays(desktop));
    // The ledger of the moment: the ledger-place dialog may change it.
    frmMain window(desktop, [&passwords] { return ChooseLedgerStore(passwords.Source())(); });
    window.SetLedgerHistory(
        [&passwords](const QString& strConnection) { return ChooseLedgerHistory(passwords.Source())(strConnection); });
    window.SetLedgerPlaceSetup([] { return std::make_unique<LedgerPlaceSettings>(); });
    window.SetLedgerPatterns([&passwords](const QString& strConnection, bool blnToWrite) {
        return ChooseLedgerPatterns(passwords.Source())(strConnection, blnToWrite);
    });
    window.SetLedgerInUse(LedgerInUseNow);
    window.SetFolderMemory(SettingsFolderMemory());
    handOver.Listen([&window](const QStringList& files) { window.HandedOver(files); });
    QObject::connect(&window, &frmMain::ledgerPlaceChosen, &window, [&handOver] { handOver.MoveTo(WindowSocket()); });
    window.show();
    if (!commandLine.Files().isEmpty())
        window.OpenWith(commandLine.Files());
    return QApplication::exec() == 0 ? ExitStatus::Ok : ExitStatus::Failed;
}

// The history window alone, as the menu entry's action opens it.
ExitStatus RunHistoryWindow(const CommandLine&, QtDesktop& desktop)
{
    SessionPasswords passwords(SessionPasswords::DesktopWays(desktop));
    frmHistory history(desktop, ChooseLedgerHistory(passwords.Source()), LedgerConnectionString());
    history.SetLedgerName(LedgerInUseNow().strFull);
    if (!history.Reload())
        return ExitStatus::Failed;
    history.show();
    return QApplication::exec() == 0 ? ExitStatus::Ok : ExitStatus::Failed;
}

// The ledger-place dialog alone, as the menu entry's action opens it.
ExitStatus RunLedgerPlaceWindow(const CommandLine&, QtDesktop& desktop)
{
    LedgerPlaceSettings setup;
    frmLedgerPlace place(desktop, setup);
    return place.exec() == QDialog::Accepted ? ExitStatus::Ok : ExitStatus::Partly;
}

// The sheet and pattern asked for, and the patterns kept in the ledger;
// nothing when the pattern named is not there (told on standard error).
std::optional<ConsoleReading> ReadingOf(const CommandLine& commandLine)
{
    ConsoleReading reading;
    reading.strSheet = commandLine.Sheet();
    const LedgerPatternsFactory openPatterns = ChooseLedgerPatterns();
    const QString strConnection = LedgerConnectionString();
    if (!commandLine.Pattern().isEmpty()) {
        reading.pattern = FindPattern(openPatterns, strConnection, commandLine.Pattern(), std::cerr);
        if (!reading.pattern)
            return std::nullopt;
    }
    // A ledger not made yet keeps no pattern: nothing is made to ask it.
    reading.shelf = [openPatterns, strConnection] { return openPatterns(strConnection, false)->Patterns(); };
    return reading;
}

ExitStatus RunImport(const CommandLine& commandLine, ConsoleDesktop& desktop)
{
    desktop.AnswerWith(commandLine.ImportAgain()     ? ConsoleDesktop::Answers::Again
                       : commandLine.ImportNewOnly() ? ConsoleDesktop::Answers::NewOnly
                                                     : ConsoleDesktop::Answers::None);
    const std::optional<ConsoleReading> reading = ReadingOf(commandLine);
    if (!reading)
        return ExitStatus::Failed;
    return RunConsoleImport(desktop, commandLine.Files(), ChooseLedgerStore(), *reading);
}

// --check: no window, no display, nothing written to the ledger.
ExitStatus RunCheck(const CommandLine& commandLine, ConsoleDesktop& desktop)
{
    const std::optional<ConsoleReading> reading = ReadingOf(commandLine);
    if (!reading)
        return ExitStatus::Failed;
    return RunConsoleCheck(desktop, commandLine.Files(), ChooseLedgerStore(), std::cout, *reading);
}

ExitStatus RunHistory(const CommandLine&, ConsoleDesktop&)
{
    return WriteHistory(ChooseLedgerHistory(), LedgerConnectionString(), std::cout, std::cerr);
}

ExitStatus RunRejects(const CommandLine& commandLine, ConsoleDesktop&)
{
    return WriteRejects(ChooseLedgerHistory(), LedgerConnectionString(), commandLine.Run(),
                        isatty(STDOUT_FILENO) ? RejectsDestination::Terminal : RejectsDestination::File, std::cout,
                        std::cerr);
}

ExitStatus RunUndo(const CommandLine& commandLine, ConsoleDesktop&)
{
    return UndoImportRun(ChooseLedgerHistory(), LedgerConnectionString(), commandLine.Run(), std::cout, std::cerr);
}

ExitStatus RunPatterns(const CommandLine&, ConsoleDesktop&)
{
    return WritePatterns(ChooseLedgerPatterns(), LedgerConnectionString(), std::cout, std::cerr);
}

ExitStatus RunPatternSave(const CommandLine& commandLine, ConsoleDesktop&)
{
    return SavePatternFile(ChooseLedgerPatterns(), LedgerConnectionString(), commandLine.PatternFile(), std::cout,
                           std::cerr);
}

ExitStatus RunPatternExport(const CommandLine& commandLine, ConsoleDesktop&)
{
    return ExportPattern(ChooseLedgerPatterns(), LedgerConnectionString(), commandLine.Pattern(), std::cout, std::cerr);
}

ExitStatus RunPatternDelete(const CommandLine& commandLine, ConsoleDesktop&)
{
    return DeletePattern(ChooseLedgerPatterns(), LedgerConnectionString(), commandLine.Pattern(), std::cout, std::cerr);
}

using Action = CommandLine::Action;

// Help and the version are the entry's own: they need nothing of these.
constexpr Mode kModes[] = {
    {Action::Help, false, nullptr, nullptr},
    {Action::Version, false, nullptr, nullptr},
    {Action::Import, true, RunImport, nullptr},
    {Action::Check, true, RunCheck, nullptr},
    {Action::History, true, RunHistory, nullptr},
    {Action::Rejects, true, RunRejects, nullptr},
    {Action::Undo, true, RunUndo, nullptr},
    {Action::Patterns, true, RunPatterns, nullptr},
    {Action::PatternSave, true, RunPatternSave, nullptr},
    {Action::PatternExport, true, RunPatternExport, nullptr},
    {Action::PatternDelete, true, RunPatternDelete, nullptr},
    {Action::Window, true, nullptr, RunWindow},
    {Action::HistoryWindow, true, nullptr, RunHistoryWindow},
    {Action::LedgerPlaceWindow, true, nullptr, RunLedgerPlaceWindow},
};

}  // namespace

const Mode& ModeOf(CommandLine::Action action)
{
    for (const Mode& mode : kModes) {
        if (mode.action == action)
            return mode;
    }
    return kModes[0];
}

bool EnterFolderAsAsked(const CommandLine& commandLine, Desktop& desktop)
{
    if (!commandLine.UseUserData())
        return true;
    const QString failure = EnterDataFolder(UserDataFolder());
    if (failure.isEmpty())
        return true;
    desktop.MsgBox(QStringLiteral("データフォルダを作成できません。\r\n") + failure, MB_OK, QString());
    return false;
}
