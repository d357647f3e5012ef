#include "Translation.h"
#include "CommandLine.h"

#include "ProgramIdentity.h"
#include "QtPrinters.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

// Columns on a terminal: the CJK characters the translation uses take two.
int TerminalColumns(const QString& line)
{
    int columns = 0;
    for (const QChar c : line) {
        const char16_t code = c.unicode();
        const bool wide = (code >= 0x2E80 && code <= 0xA4CF) || (code >= 0xF900 && code <= 0xFAFF)
                          || (code >= 0xFF00 && code <= 0xFF60);
        columns += wide ? 2 : 1;
    }
    return columns;
}

bool HasJapanese(const QString& text)
{
    static const QRegularExpression kana(QStringLiteral("[\\x{3040}-\\x{30FF}\\x{4E00}-\\x{9FFF}]"));
    return text.contains(kana);
}

// A line that names an option or argument; its description starts on it.
bool IsEntryLine(const QString& line)
{
    return line.size() > 2 && line.startsWith(QLatin1String("  ")) && !line.at(2).isSpace();
}

const QRegularExpression& OptionName()
{
    static const QRegularExpression name(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
    return name;
}

// The option names of the help text: "-h", "--help", "--import", ...
QStringList HelpOptions(const QString& helpText)
{
    QStringList names;
    for (const QString& line : helpText.split(QLatin1Char('\n'))) {
        if (!IsEntryLine(line))
            continue;
        // The names end where the description begins, after two spaces.
        const QString namesColumn = line.mid(2).section(QStringLiteral("  "), 0, 0);
        for (const QRegularExpressionMatch& match : OptionName().globalMatch(namesColumn))
            names << match.captured();
    }
    return names;
}

// The options a manual page describes: the names in the tags (the line
// after each .TP) of its section of options.
QStringList PageOptions(const QString& page, const QString& sectionTitle)
{
    QString text = page;
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    QStringList names;
    bool inSection = false;
    bool tag = false;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(".SH"))) {
            inSection = line == QStringLiteral(".SH ") + sectionTitle;
            continue;
        }
        if (inSection && tag) {
            for (const QRegularExpressionMatch& match : OptionName().globalMatch(line))
                names << match.captured();
        }
        tag = line == QLatin1String(".TP");
    }
    return names;
}

QString ReadUtf8(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return QString::fromUtf8(file.readAll());
}

TEST(ProgramTranslationTest, TheCommandLineSpeaksTheLanguageOfTheLocale)
{
    struct Case {
        QLocale locale;
        bool japanese;
    };
    const Case cases[] = {
        {QLocale(QLocale::Japanese, QLocale::Japan), true},        {QLocale(QLocale::Japanese), true},
        {QLocale(QLocale::English, QLocale::UnitedStates), false}, {QLocale(QLocale::German, QLocale::Germany), false},
        {QLocale(QLocale::Chinese, QLocale::China), false},        {QLocale::c(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale.name().toStdString());
        const ProgramTranslation translation(c.locale);
        EXPECT_EQ(translation.Installed(), c.japanese);

        CommandLine commandLine;
        const QString help = commandLine.HelpText();
        EXPECT_TRUE(help.startsWith(c.japanese ? QStringLiteral("使い方: ") : QStringLiteral("Usage: ")))
            << help.toStdString();
        EXPECT_EQ(help.contains(QStringLiteral("ウィンドウを開かずに FILE をインポートします。")), c.japanese);

        EXPECT_FALSE(commandLine.Parse({QStringLiteral("MoraImport"), QStringLiteral("--bogus")}, QStringLiteral("/")));
        EXPECT_EQ(commandLine.Error(), c.japanese ? QStringLiteral("オプション 'bogus' はありません。")
                                                  : QStringLiteral("Unknown option 'bogus'."));
    }

    // Gone with the translation, so that a later command line is English again.
    CommandLine afterwards;
    EXPECT_TRUE(afterwards.HelpText().startsWith(QStringLiteral("Usage: ")));
}

// Qt's own words in the window (its buttons, the details button, the file
// dialog) are Japanese under any locale, and English again once it is gone.
TEST(QtJapaneseTranslationTest, QtsOwnWordsAreJapaneseWhateverTheLocale)
{
    struct Case {
        const char* context;
        const char* source;
        QString japanese;
    };
    const Case cases[] = {
        {"QPlatformTheme", "Cancel", QStringLiteral("キャンセル")},
        {"QPlatformTheme", "Save", QStringLiteral("保存")},
        {"QMessageBox", "Show Details...", QStringLiteral("詳細を表示...")},
        {"QFileDialog", "Look in:", QStringLiteral("アドレス:")},
        {"QFileDialog", "File &name:", QStringLiteral("ファイル名(&N):")},
        {"QWidgetTextControl", "&Copy", QStringLiteral("コピー(&C)")},
    };
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale::c()}) {
        SCOPED_TRACE(locale.name().toStdString());
        QLocale::setDefault(locale);
        const ProgramTranslation program;
        {
            const QtJapaneseTranslation qt;
            ASSERT_TRUE(qt.Installed());
            for (const Case& c : cases)
                EXPECT_EQ(QCoreApplication::translate(c.context, c.source), c.japanese) << c.source;
        }
        for (const Case& c : cases)
            EXPECT_EQ(QCoreApplication::translate(c.context, c.source), QLatin1String(c.source));
    }
    QLocale::setDefault(QLocale::system());
}

// An option added without its Japanese text would show in English here.
TEST(ProgramTranslationTest, TheJapaneseHelpDescribesEveryEntryInJapaneseWithinEightyColumns)
{
    const ProgramTranslation translation(QLocale(QLocale::Japanese, QLocale::Japan));
    CommandLine commandLine;
    // The usage line names the test program by its path; the rest is the help's own.
    const QStringList lines = commandLine.HelpText().split(QLatin1Char('\n')).mid(1);
    // Each entry with the lines its description goes on to.
    QStringList entries;
    for (const QString& line : lines) {
        SCOPED_TRACE(line.toStdString());
        EXPECT_LE(TerminalColumns(line), 80);
        if (IsEntryLine(line))
            entries << line;
        else if (!entries.isEmpty() && line.startsWith(QLatin1String("    ")))
            entries.last() += line;
    }
    EXPECT_EQ(entries.size(), 20);
    for (const QString& entry : entries)
        EXPECT_TRUE(HasJapanese(entry)) << entry.toStdString();
}

// The manual pages are written by hand: each describes the options of
// --help, in the same order, and carries the program's version.
TEST(ManualPageTest, BothPagesDescribeTheOptionsOfTheHelpAndTheProgramsVersion)
{
    CommandLine commandLine;
    const QStringList options = HelpOptions(commandLine.HelpText());
    EXPECT_EQ(options, (QStringList{"-h",
                                    "--help",
                                    "--help-all",
                                    "-v",
                                    "--version",
                                    "--user-data",
                                    "--import",
                                    "--again",
                                    "--new-only",
                                    "--sheet",
                                    "--check",
                                    "--history",
                                    "--history-window",
                                    "--ledger-place",
                                    "--rejects",
                                    "--undo",
                                    "--pattern",
                                    "--patterns",
                                    "--pattern-save",
                                    "--pattern-export",
                                    "--pattern-delete"}));

    const std::pair<const char*, QString> pages[] = {
        {"MoraImport.1", QStringLiteral("OPTIONS")},
        {"ja/MoraImport.1", QStringLiteral("オプション")},
    };
    for (const auto& [page, optionsTitle] : pages) {
        SCOPED_TRACE(page);
        const QString text = ReadUtf8(QStringLiteral(MORA_MANUAL_DIR "/") + QLatin1String(page));
        EXPECT_EQ(PageOptions(text, optionsTitle), options);
        EXPECT_TRUE(text.contains(QStringLiteral("\n.TH MoraImport 1 ")));
        EXPECT_TRUE(text.contains(QStringLiteral("\"MoraImport %1\"").arg(kApplicationVersion)));
    }
}

}  // namespace
