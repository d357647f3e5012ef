#include "CommandLine.h"
#include "ConsoleImport.h"
#include "ExitStatus.h"
#include "Modes.h"
#include "Translation.h"

#include "Appearance.h"
#include "EscapedText.h"
#include "ProgramIdentity.h"
#include "QtDesktop.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

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

int Exit(ExitStatus status) { return int(status); }

// The application object, named as the program names itself.
template <typename Application>
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char* argv[])
{
    auto app = std::make_unique<Application>(argc, argv);
    QCoreApplication::setApplicationName(kApplicationName);
    QCoreApplication::setApplicationVersion(kApplicationVersion);
    app->setProperty("productName", kProductName);
    return app;
}

// A mode with a window: Qt's own texts in Japanese, the program's name and
// icon, and the desktop its windows speak through.
ExitStatus RunWithWindow(const Mode& mode, const CommandLine& commandLine)
{
    const QtJapaneseTranslation qtTexts;
    QGuiApplication::setDesktopFileName(kDesktopId);
    QApplication::setWindowIcon(ProgramIcon());
    QtDesktop desktop;
    if (mode.blnEntersFolder && !EnterFolderAsAsked(commandLine, desktop))
        return ExitStatus::Failed;
    return mode.runInWindow(commandLine, desktop);
}

ExitStatus RunInConsole(const Mode& mode, const CommandLine& commandLine)
{
    ConsoleDesktop desktop(std::cout, std::cerr);
    // A line report names the file as the user gave it.
    if (commandLine.Files().size() == 1)
        desktop.ShowFileAs(commandLine.Files().front(), commandLine.GivenFiles().front());
    if (mode.blnEntersFolder && !EnterFolderAsAsked(commandLine, desktop))
        return ExitStatus::Failed;
    return mode.runInConsole(commandLine, desktop);
}

}  // namespace

int main(int argc, char* argv[])
{
    // Relative file names mean the folder the program was started in, also
    // when --user-data moves it elsewhere.
    const QString startFolder = QDir::currentPath();
    const QStringList arguments = RawArguments(argc, argv);

    // Read once, on a bare core application, so that everything but the
    // window works without a display; a mode with a window gets Qt's widgets after.
    std::unique_ptr<QCoreApplication> app = MakeApplication<QCoreApplication>(argc, argv);
    std::optional<ProgramTranslation> translation(std::in_place);
    CommandLine commandLine;
    if (!commandLine.Parse(arguments, startFolder)) {
        // The error quotes what was typed.
        PrintLine(stderr, kApplicationName + QStringLiteral(": ") + EscapeControlCharacters(commandLine.Error()));
        PrintLine(stderr, QCoreApplication::translate("main", "Try '%1 --help'.").arg(kApplicationName));
        return Exit(ExitStatus::Failed);
    }
    switch (commandLine.WhatToDo()) {
    case CommandLine::Action::Help:
        std::fputs(commandLine.HelpText().toUtf8().constData(), stdout);
        return Exit(ExitStatus::Ok);
    case CommandLine::Action::Version:
        PrintLine(stdout, kApplicationName + QLatin1Char(' ') + kApplicationVersion);
        return Exit(ExitStatus::Ok);
    default: break;
    }

    const Mode& mode = ModeOf(commandLine.WhatToDo());
    if (!mode.NeedsDisplay())
        return Exit(RunInConsole(mode, commandLine));
    if (!DisplayAvailable()) {
        PrintLine(stderr, QCoreApplication::translate("main", "%1: no display to open the window on (DISPLAY "
                                                              "and WAYLAND_DISPLAY are unset); without one, "
                                                              "import with: %1 --import FILE")
                              .arg(kApplicationName));
        return Exit(ExitStatus::Failed);
    }
    translation.reset();
    app.reset();
    app = MakeApplication<QApplication>(argc, argv);
    translation.emplace();
    return Exit(RunWithWindow(mode, commandLine));
}
