#include "CommandLine.h"
#include "UserData.h"

#include "QtPrinters.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>

namespace {

using Action = CommandLine::Action;

const QString kStart = QStringLiteral("/home/clerk/在庫");

struct Parsed {
    bool ok = false;
    Action action = Action::Window;
    bool userData = false;
    QStringList files;
    QString error;
};

Parsed Parse(const QStringList& arguments)
{
    CommandLine commandLine;
    Parsed parsed;
    parsed.ok = commandLine.Parse(QStringList{QStringLiteral("MoraImport")} + arguments, kStart);
    parsed.action = commandLine.WhatToDo();
    parsed.userData = commandLine.UseUserData();
    parsed.files = commandLine.Files();
    parsed.error = commandLine.Error();
    return parsed;
}

TEST(CommandLineTest, EachWayOfStartingIsRecognised)
{
    EXPECT_EQ(Parse({}).action, Action::Window);
    EXPECT_TRUE(Parse({}).files.isEmpty());
    EXPECT_EQ(Parse({QStringLiteral("--help")}).action, Action::Help);
    EXPECT_EQ(Parse({QStringLiteral("-h")}).action, Action::Help);
    EXPECT_EQ(Parse({QStringLiteral("--help-all")}).action, Action::Help);
    EXPECT_EQ(Parse({QStringLiteral("--version")}).action, Action::Version);

    const Parsed menu = Parse({QStringLiteral("--user-data"), QStringLiteral("/tmp/仕入.csv")});
    EXPECT_EQ(menu.action, Action::Window);
    EXPECT_TRUE(menu.userData);
    EXPECT_EQ(menu.files, QStringList{QStringLiteral("/tmp/仕入.csv")});

    const Parsed import = Parse({QStringLiteral("--import=/tmp/a.csv")});
    EXPECT_TRUE(import.ok);
    EXPECT_EQ(import.action, Action::Import);
    EXPECT_FALSE(import.userData);
    EXPECT_EQ(import.files, QStringList{QStringLiteral("/tmp/a.csv")});
}

TEST(CommandLineTest, RelativeNamesAreTakenFromTheStartFolder)
{
    EXPECT_EQ(Parse({QStringLiteral("sales.csv")}).files, QStringList{kStart + QStringLiteral("/sales.csv")});
    EXPECT_EQ(Parse({QStringLiteral("--import"), QStringLiteral("./in/../sales.csv")}).files,
              QStringList{kStart + QStringLiteral("/sales.csv")});
    // A name that looks like an option is still a file after "--".
    EXPECT_EQ(Parse({QStringLiteral("--"), QStringLiteral("--odd.csv")}).files,
              QStringList{kStart + QStringLiteral("/--odd.csv")});
    // A full path is passed on as given, as a drop gives it.
    EXPECT_EQ(Parse({QStringLiteral("/data//x.CSV")}).files, QStringList{QStringLiteral("/data//x.CSV")});
}

TEST(CommandLineTest, EveryNameCountsSoThatSeveralAreRefusedLater)
{
    const Parsed twoImports = Parse({QStringLiteral("--import"), QStringLiteral("a.csv"),
                                     QStringLiteral("--import"), QStringLiteral("b.csv")});
    EXPECT_EQ(twoImports.files.size(), 2);
    const Parsed importAndFile = Parse({QStringLiteral("--import"), QStringLiteral("a.csv"), QStringLiteral("b.csv")});
    EXPECT_EQ(importAndFile.action, Action::Import);
    EXPECT_EQ(importAndFile.files.size(), 2);
}

TEST(CommandLineTest, UsageErrorsAreNamed)
{
    const Parsed unknown = Parse({QStringLiteral("--bogus")});
    EXPECT_FALSE(unknown.ok);
    EXPECT_TRUE(unknown.error.contains(QStringLiteral("bogus"))) << unknown.error.toStdString();
    const Parsed noValue = Parse({QStringLiteral("--import")});
    EXPECT_FALSE(noValue.ok);
    EXPECT_TRUE(noValue.error.contains(QStringLiteral("import"))) << noValue.error.toStdString();
}

// Sets an environment variable, or unsets it, for the length of a scope.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const std::optional<QString>& value)
        : m_name(name), m_previous(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        Set(value ? std::optional(value->toUtf8()) : std::nullopt);
    }
    ~EnvironmentScope() { Set(m_previous); }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    void Set(const std::optional<QByteArray>& value)
    {
        if (value)
            qputenv(m_name, *value);
        else
            qunsetenv(m_name);
    }
    const char* m_name;
    std::optional<QByteArray> m_previous;
};

TEST(UserDataTest, TheFolderFollowsTheDataHomeOrTheHomeFolder)
{
    EnvironmentScope home("HOME", QStringLiteral("/home/clerk"));
    {
        EnvironmentScope unset("XDG_DATA_HOME", std::nullopt);
        EXPECT_EQ(UserDataFolder(), QStringLiteral("/home/clerk/.local/share/MoraImport"));
    }
    {
        EnvironmentScope empty("XDG_DATA_HOME", QString());
        EXPECT_EQ(UserDataFolder(), QStringLiteral("/home/clerk/.local/share/MoraImport"));
    }
    {
        EnvironmentScope relative("XDG_DATA_HOME", QStringLiteral("data"));
        EXPECT_EQ(UserDataFolder(), QStringLiteral("/home/clerk/.local/share/MoraImport"));
    }
    {
        EnvironmentScope set("XDG_DATA_HOME", QStringLiteral("/srv/データ/"));
        EXPECT_EQ(UserDataFolder(), QStringLiteral("/srv/データ/MoraImport"));
    }
}

TEST(UserDataTest, EnteringMakesTheFolderAndItsDataFolderFirst)
{
    const ScratchDir scratch;
    const QString previous = QDir::currentPath();
    const QString folder = scratch.path(QStringLiteral("share/MoraImport"));

    EXPECT_EQ(EnterDataFolder(folder), QString());
    EXPECT_EQ(QDir::currentPath(), folder);
    EXPECT_TRUE(QDir(folder).exists(QStringLiteral("Data")));
    // A second start finds everything in place.
    EXPECT_EQ(EnterDataFolder(folder), QString());

    // A file where Data/ belongs is not overwritten; the failure names the folder.
    const QString blocked = scratch.path(QStringLiteral("blocked"));
    QDir().mkpath(blocked);
    scratch.write(QStringLiteral("blocked/Data"), "not a folder");
    const QString failure = EnterDataFolder(blocked);
    EXPECT_TRUE(failure.startsWith(blocked + QStringLiteral(": "))) << failure.toStdString();
    EXPECT_EQ(QDir::currentPath(), folder);
    EXPECT_TRUE(QFile::exists(blocked + QStringLiteral("/Data")));

    QDir::setCurrent(previous);
}

}  // namespace
