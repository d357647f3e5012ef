#include "CommandLine.h"
#include "ConsoleCheck.h"
#include "ConsoleImport.h"
#include "HistoryCommands.h"
#include "LedgerChoice.h"
#include "LedgerPlaceSettings.h"
#include "Translation.h"
#include "UserData.h"

#include "Appearance.h"
#include "EscapedText.h"
#include "ProgramIdentity.h"
#include "FileChoice.h"
#include "QtDesktop.h"
#include "frmHistory.h"
#include "frmLedgerPlace.h"
#include "frmMain.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <iostream>
#include <memory>

#include <unistd.h>

// The version as the executable carries it, for what(1) and strings(1).
[[gnu::used]] static const char kIdent[] = MORA_IDENT;

namespace {

QStringList RawArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void PrintLine(std::FILE* stream, const QString& text)
{
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), stream);
}

// Qt would abort the program for want of a display; say so instead. A
// platform chosen on purpose (offscreen, a framebuffer) is left to Qt.
bool DisplayAvailable()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
           || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Moves into the user's data folder when asked to; false after telling the
// user why that failed.
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

// The first reading of the arguments, which only chooses the application:
// the texts of the command line can be translated once there is one.
bool WantsWindow(const QStringList& arguments, const QString& startFolder)
{
    CommandLine commandLine;
    return commandLine.Parse(arguments, startFolder)
           && (commandLine.WhatToDo() == CommandLine::Action::Window
               || commandLine.WhatToDo() == CommandLine::Action::HistoryWindow
               || commandLine.WhatToDo() == CommandLine::Action::LedgerPlaceWindow);
}

int RefuseWithoutDisplay()
{
    PrintLine(stderr, QCoreApplication::translate("main", "%1: no display to open the window on (DISPLAY "
                                                          "and WAYLAND_DISPLAY are unset); without one, "
                                                          "import with: %1 --import FILE")
                          .arg(kApplicationName));
    return 2;
}

// What every window mode sets up first: Qt's own texts in Japanese, the
// program's name and icon, and the desktop its windows speak through.
class WindowMode {
public:
    WindowMode()
    {
        QGuiApplication::setDesktopFileName(kDesktopId);
        QApplication::setWindowIcon(ProgramIcon());
    }
    QtDesktop& desktop() { return m_desktop; }

private:
    const QtJapaneseTranslation m_qtTexts;
    QtDesktop m_desktop;
};

int RunWindow(const CommandLine& commandLine)
{
    WindowMode mode;
    QtDesktop& desktop = mode.desktop();
    if (!EnterFolderAsAsked(commandLine, desktop))
        return 2;
    // The ledger of the moment: the ledger-place dialog may change it.
    frmMain window(desktop, [] { return ChooseLedgerStore()(); });
    window.SetLedgerHistory([](const QString& strConnection) { return ChooseLedgerHistory()(strConnection); });
    window.SetLedgerPlaceSetup([] { return std::make_unique<LedgerPlaceSettings>(); });
    window.show();
    if (!commandLine.Files().isEmpty())
        window.OpenWith(commandLine.Files());
    return QApplication::exec();
}

int RunImport(const CommandLine& commandLine)
{
    ConsoleDesktop desktop(std::cout, std::cerr);
    desktop.AnswerWith(commandLine.ImportAgain()     ? ConsoleDesktop::Answers::Again
                       : commandLine.ImportNewOnly() ? ConsoleDesktop::Answers::NewOnly
                                                     : ConsoleDesktop::Answers::None);
    if (commandLine.Files().size() == 1)
        desktop.ShowFileAs(commandLine.Files().front(), commandLine.GivenFiles().front());
    if (!EnterFolderAsAsked(commandLine, desktop))
        return 2;
    return RunConsoleImport(desktop, commandLine.Files(), ChooseLedgerStore());
}

// --check: no window, no display, nothing written to the ledger.
int RunCheck(const CommandLine& commandLine)
{
    ConsoleDesktop desktop(std::cout, std::cerr);
    if (commandLine.Files().size() == 1)
        desktop.ShowFileAs(commandLine.Files().front(), commandLine.GivenFiles().front());
    if (!EnterFolderAsAsked(commandLine, desktop))
        return 2;
    return RunConsoleCheck(desktop, commandLine.Files(), ChooseLedgerStore(), std::cout);
}

// The history window alone, as the menu entry's action opens it.
int RunHistoryWindow(const CommandLine& commandLine)
{
    WindowMode mode;
    QtDesktop& desktop = mode.desktop();
    if (!EnterFolderAsAsked(commandLine, desktop))
        return 2;
    frmHistory history(desktop, ChooseLedgerHistory(), LedgerConnectionString());
    if (!history.Reload())
        return 2;
    history.show();
    return QApplication::exec();
}

// The ledger-place dialog alone, as the menu entry's action opens it.
int RunLedgerPlaceWindow(const CommandLine& commandLine)
{
    WindowMode mode;
    QtDesktop& desktop = mode.desktop();
    if (!EnterFolderAsAsked(commandLine, desktop))
        return 2;
    LedgerPlaceSettings setup;
    frmLedgerPlace place(desktop, setup);
    return place.exec() == QDialog::Accepted ? 0 : 1;
}

// --history, --rejects and --undo: no window, no display.
int RunHistoryCommand(const CommandLine& commandLine)
{
    ConsoleDesktop desktop(std::cout, std::cerr);
    if (!EnterFolderAsAsked(commandLine, desktop))
        return 2;
    const LedgerHistoryFactory openHistory = ChooseLedgerHistory();
    const QString strConnection = LedgerConnectionString();
    switch (commandLine.WhatToDo()) {
    case CommandLine::Action::History:
        return WriteHistory(openHistory, strConnection, std::cout, std::cerr);
    case CommandLine::Action::Rejects:
        return WriteRejects(openHistory, strConnection, commandLine.Run(),
                            isatty(STDOUT_FILENO) ? RejectsDestination::Terminal : RejectsDestination::File,
                            std::cout, std::cerr);
    case CommandLine::Action::Undo:
        return UndoImportRun(openHistory, strConnection, commandLine.Run(), std::cout, std::cerr);
    default:
        return 2;
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    // Relative file names mean the folder the program was started in, also
    // when --user-data moves it elsewhere.
    const QString startFolder = QDir::currentPath();
    const QStringList arguments = RawArguments(argc, argv);

    // Only the window needs a display: everything else runs on a bare core
    // application, so that it works on a machine without one.
    const bool window = WantsWindow(arguments, startFolder) && DisplayAvailable();
    std::unique_ptr<QCoreApplication> app;
    if (window)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(kApplicationName);
    QCoreApplication::setApplicationVersion(kApplicationVersion);
    app->setProperty("productName", kProductName);

    const ProgramTranslation translation;
    CommandLine commandLine;
    if (!commandLine.Parse(arguments, startFolder)) {
        // The error quotes what was typed.
        PrintLine(stderr, kApplicationName + QStringLiteral(": ") + EscapeControlCharacters(commandLine.Error()));
        PrintLine(stderr, QCoreApplication::translate("main", "Try '%1 --help'.").arg(kApplicationName));
        return 2;
    }

    switch (commandLine.WhatToDo()) {
    case CommandLine::Action::Help:
        std::fputs(commandLine.HelpText().toUtf8().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        PrintLine(stdout, kApplicationName + QLatin1Char(' ') + kApplicationVersion);
        return 0;
    case CommandLine::Action::Import:
        return RunImport(commandLine);
    case CommandLine::Action::Check:
        return RunCheck(commandLine);
    case CommandLine::Action::Window:
        if (!window)
            return RefuseWithoutDisplay();
        return RunWindow(commandLine);
    case CommandLine::Action::HistoryWindow:
        if (!window)
            return RefuseWithoutDisplay();
        return RunHistoryWindow(commandLine);
    case CommandLine::Action::LedgerPlaceWindow:
        if (!window)
            return RefuseWithoutDisplay();
        return RunLedgerPlaceWindow(commandLine);
    case CommandLine::Action::History:
    case CommandLine::Action::Rejects:
    case CommandLine::Action::Undo:
        return RunHistoryCommand(commandLine);
    }
    return 2;
}
