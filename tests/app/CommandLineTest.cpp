#include "CommandLine.h"
#include "EnvironmentScope.h"
#include "UserData.h"

#include "QtPrinters.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using Action = CommandLine::Action;

const QString kStart = QStringLiteral("/home/clerk/在庫");

// The end-to-end run covers --help, --version and --bogus; these are the
// spellings and file names it does not reach.
TEST(CommandLineTest, ArgumentsGiveTheActionAndTheFilesFromTheStartFolder)
{
    struct Case {
        QStringList arguments;
        Action action;
        bool userData;
        QStringList files;
    };
    const Case cases[] = {
        {{}, Action::Window, false, {}},
        {{"-h"}, Action::Help, false, {}},
        {{"--help-all"}, Action::Help, false, {}},
        {{"--user-data", "/tmp/仕入.csv"}, Action::Window, true, {"/tmp/仕入.csv"}},
        {{"--import=/tmp/a.csv"}, Action::Import, false, {"/tmp/a.csv"}},
        {{"sales.csv"}, Action::Window, false, {kStart + "/sales.csv"}},
        {{"--import", "./in/../sales.csv"}, Action::Import, false, {kStart + "/sales.csv"}},
        // A name that looks like an option is still a file after "--".
        {{"--", "--odd.csv"}, Action::Window, false, {kStart + "/--odd.csv"}},
        // A full path is passed on as given, as a drop gives it.
        {{"/data//x.CSV"}, Action::Window, false, {"/data//x.CSV"}},
        // Every name counts, so that several are refused later.
        {{"--import", "a.csv", "--import", "b.csv"}, Action::Import, false, {kStart + "/a.csv", kStart + "/b.csv"}},
        {{"--import", "a.csv", "b.csv"}, Action::Import, false, {kStart + "/a.csv", kStart + "/b.csv"}},
        {{"--user-data", "--check", "a.csv"}, Action::Check, true, {kStart + "/a.csv"}},
        {{"--check", "a.csv", "--import", "b.csv"}, Action::Import, false, {kStart + "/b.csv", kStart + "/a.csv"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        CommandLine commandLine;
        EXPECT_TRUE(commandLine.Parse(QStringList{"MoraImport"} + c.arguments, kStart));
        EXPECT_EQ(commandLine.WhatToDo(), c.action);
        EXPECT_EQ(commandLine.UseUserData(), c.userData);
        EXPECT_EQ(commandLine.Files(), c.files);
    }

    CommandLine noValue;
    EXPECT_FALSE(noValue.Parse({"MoraImport", "--import"}, kStart));
    EXPECT_TRUE(noValue.Error().contains(QStringLiteral("import"))) << noValue.Error().toStdString();

    // Each answers the question of lines in the ledger its own way.
    CommandLine newOnly, both;
    EXPECT_TRUE(newOnly.Parse({"MoraImport", "--import", "a.csv", "--new-only"}, kStart));
    EXPECT_TRUE(newOnly.ImportNewOnly() && !newOnly.ImportAgain());
    EXPECT_FALSE(both.Parse({"MoraImport", "--import", "a.csv", "--new-only", "--again"}, kStart));
}

TEST(CommandLineTest, ASheetIsNamedOnceWithAnImportOrACheck)
{
    for (const char* action : {"--import", "--check"}) {
        CommandLine sheet;
        EXPECT_TRUE(sheet.Parse({"MoraImport", action, "売上.xlsx", "--sheet", "仕入"}, kStart));
        EXPECT_EQ(sheet.Sheet(), QStringLiteral("仕入"));
    }
    CommandLine none;
    EXPECT_TRUE(none.Parse({"MoraImport", "--import", "売上.xlsx"}, kStart));
    EXPECT_EQ(none.Sheet(), QString());
    const QStringList refused[] = {
        {"MoraImport", "--import", "a.xlsx", "--sheet", "1", "--sheet", "2"},
        {"MoraImport", "a.xlsx", "--sheet", "1"},
        {"MoraImport", "--import", "a.xlsx", "--sheet"},
    };
    for (const QStringList& arguments : refused) {
        CommandLine commandLine;
        EXPECT_FALSE(commandLine.Parse(arguments, kStart)) << arguments.join(u' ').toStdString();
        EXPECT_FALSE(commandLine.Error().isEmpty());
    }
}

TEST(UserDataTest, TheFolderFollowsTheDataHomeOrTheHomeFolder)
{
    const EnvironmentScope home("HOME", QStringLiteral("/home/clerk"));
    const QString underHome = QStringLiteral("/home/clerk/.local/share/MoraImport");
    // Unset, empty and relative values all fall back to the home folder.
    const std::pair<std::optional<QString>, QString> cases[] = {
        {std::nullopt, underHome},
        {QString(), underHome},
        {QStringLiteral("data"), underHome},
        {QStringLiteral("/srv/データ/"), QStringLiteral("/srv/データ/MoraImport")},
    };
    for (const auto& [dataHome, folder] : cases) {
        const EnvironmentScope scope("XDG_DATA_HOME", dataHome);
        EXPECT_EQ(UserDataFolder(), folder) << dataHome.value_or(QStringLiteral("(unset)")).toStdString();
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
