#include "ImportFixtures.h"
#include "LedgerProbe.h"
#include "ProgramIdentity.h"
#include "QtPrinters.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <utility>
#include <vector>

#include "ImportTexts.h"

#include <gtest/gtest.h>

namespace {

const QString kSalesHeader = fixtures::kSalesHeader + QStringLiteral("\r\n");

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
    QStringList errLines() const { return err.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

int TradeCount(const QString& database) { return int(LedgerProbe(database).number("SELECT count(*) FROM trades")); }

// The built program, run in a folder of its own with a home of its own and
// no display at all.
class ProgramTest : public ::testing::Test {
protected:
    ProgramTest()
    {
        QDir().mkpath(work());
        QDir().mkpath(home());
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.remove(QStringLiteral("XDG_DATA_HOME"));
        environment.insert(QStringLiteral("HOME"), home());
        // The help and the usage errors follow the locale; English unless a test says otherwise.
        for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
            environment.remove(QLatin1String(variable));
        environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    }

    QString work() const { return scratch.path(QStringLiteral("work")); }
    QString home() const { return scratch.path(QStringLiteral("home")); }
    QString workLedger() const { return work() + QStringLiteral("/Data/iOrvanta.mdb"); }

    Outcome run(const QStringList& arguments) const
    {
        QProcess process;
        process.setProgram(QStringLiteral(MORA_PROGRAM));
        process.setArguments(arguments);
        process.setWorkingDirectory(work());
        process.setProcessEnvironment(environment);
        process.start();
        process.closeWriteChannel();
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            throw std::runtime_error("the program did not finish normally");
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    QString writeSales(const QString& name, const QString& lines) const
    {
        return scratch.writeUtf8(QStringLiteral("work/") + name, kSalesHeader + lines);
    }

    ScratchDir scratch;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(ProgramTest, AnAcceptedFileIsImportedWithoutADisplayAndPrintsTheTotals)
{
    QDir(work()).mkdir(QStringLiteral("Data"));
    QFile::copy(QStringLiteral(MORA_SAMPLES_DIR "/purchase-cp932.csv"), work() + QStringLiteral("/仕入.csv"));

    const Outcome outcome = run({QStringLiteral("--import"), QStringLiteral("仕入.csv")});
    EXPECT_EQ(outcome.err, QString());
    EXPECT_EQ(outcome.out, QStringLiteral("全レコード 12 件中 12 件インポートしました。\n"));
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(TradeCount(workLedger()), 12);
}

TEST_F(ProgramTest, AWorkbooksSheetIsImportedByItsNameOrTheFirstWithoutOne)
{
    QDir(work()).mkdir(QStringLiteral("Data"));
    QFile::copy(QStringLiteral(MORA_WORKBOOK_DATA_DIR "/libreoffice.xlsx"), work() + QStringLiteral("/売上.xlsx"));

    const Outcome purchase = run(
        {QStringLiteral("--import"), QStringLiteral("売上.xlsx"), QStringLiteral("--sheet"), QStringLiteral("仕入")});
    EXPECT_EQ(purchase.err, QString());
    EXPECT_EQ(purchase.out, QStringLiteral("全レコード 1 件中 1 件インポートしました。\n"));
    EXPECT_EQ(purchase.exitCode, 0);

    // Another sheet of the same workbook is not the first imported again.
    const Outcome sales = run({QStringLiteral("--import"), QStringLiteral("売上.xlsx")});
    ASSERT_EQ(sales.errLines().size(), 1) << sales.err.toStdString();
    EXPECT_EQ(sales.errLines()[0],
              QStringLiteral("売上.xlsx:6: CLS-is1002 セル H6 はエラー（#N/A）です。（数量「」）（「売上」シート）"));
    EXPECT_EQ(sales.out, QStringLiteral("全レコード 6 件中 5 件インポートしました。\n"));
    EXPECT_EQ(sales.exitCode, 1);
    EXPECT_EQ(TradeCount(workLedger()), 6);
    // The same sheet again is.
    const Outcome again =
        run({QStringLiteral("--import"), QStringLiteral("売上.xlsx"), QStringLiteral("--sheet"), QStringLiteral("2")});
    EXPECT_TRUE(again.err.startsWith(QStringLiteral("インポート確認: このファイルは "))) << again.err.toStdString();
    EXPECT_EQ(again.exitCode, 2);
}

TEST_F(ProgramTest, APartlyRefusedFileSaysWhyOnStandardErrorAndExitsOne)
{
    QDir(work()).mkdir(QStringLiteral("Data"));
    writeSales(QStringLiteral("sales.csv"),
               QStringLiteral("2024/04/01,文具,北星,のーと,ノート,N-4,A4,10,120,きたやま,北山商店\r\n"
                              "2024/04/02,文具,北星,のーと,ノート,N-4,A4,十,120,,\r\n"
                              "2024/04/03,文具,北星,のーと,ノート,N-4,A4,3,120,,\r\n"));

    const Outcome outcome = run({QStringLiteral("--import"), QStringLiteral("sales.csv")});
    EXPECT_EQ(outcome.out, QStringLiteral("全レコード 3 件中 2 件インポートしました。\n"));
    // Named as given, with the line where the record begins, the column and the value.
    EXPECT_EQ(outcome.errLines(),
              QStringList({QStringLiteral("sales.csv:3: CLS-is1002 型が一致しません。（数量「十」）")}));
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(TradeCount(workLedger()), 2);
}

TEST_F(ProgramTest, ARefusedFileIsItsTitledLineAndTheAdviceAndExitsTwo)
{
    scratch.writeUtf8(QStringLiteral("work/wrong.csv"),
                      QString(kSalesHeader).replace(QStringLiteral("数量"), QStringLiteral("個数"))
                          + QStringLiteral("2024/04/01,文具,北星,のーと,ノート,N-4,A4,10,120,きたやま,北山商店\r\n"));
    const Outcome header = run({QStringLiteral("--import"), QStringLiteral("wrong.csv")});
    EXPECT_EQ(header.err, QStringLiteral("ファイルエラー: 選択されたファイルの書式が違います。\n%1\n")
                              .arg(import_texts::PatternAdviceText()));
    EXPECT_EQ(header.out, QString());
    EXPECT_EQ(header.exitCode, 2);

    const Outcome missing = run({QStringLiteral("--import"), QStringLiteral("missing.csv")});
    ASSERT_EQ(missing.errLines().size(), 2) << missing.err.toStdString();
    EXPECT_TRUE(missing.errLines()[0].startsWith(QStringLiteral("MoraImport: CLS-is1000 ")));
    EXPECT_EQ(missing.errLines()[1], QStringLiteral("ファイル選択エラー: 選択されたファイルを開けません。"));
    EXPECT_EQ(missing.out, QString());
    EXPECT_EQ(missing.exitCode, 2);

    const Outcome notCsv = run({QStringLiteral("--import"), QStringLiteral("notes.txt")});
    EXPECT_EQ(notCsv.err, QStringLiteral("ファイル選択エラー: CSVファイルか、Excel・LibreOffice "
                                         "のブック（.xlsx・.xlsm・.xls・.ods）を選択して下さい。\n"));
    EXPECT_EQ(notCsv.exitCode, 2);
    EXPECT_FALSE(QFile::exists(workLedger()));
}

TEST_F(ProgramTest, HelpVersionAndUsageErrorsFollowTheUsualConventions)
{
    const Outcome version = run({QStringLiteral("--version")});
    EXPECT_EQ(version.out, QStringLiteral("MoraImport %1\n").arg(kApplicationVersion));
    EXPECT_EQ(version.exitCode, 0);

    const Outcome help = run({QStringLiteral("--help")});
    EXPECT_TRUE(help.out.contains(QStringLiteral("--import <FILE>"))) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--user-data")));
    EXPECT_EQ(help.exitCode, 0);

    const Outcome unknown = run({QStringLiteral("--bogus")});
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("bogus")));
    EXPECT_EQ(unknown.out, QString());
    EXPECT_EQ(unknown.exitCode, 2);
}

// Whether or not the machine has the locale generated.
TEST_F(ProgramTest, HelpAndUsageErrorsAreJapaneseUnderAJapaneseLocaleAndEnglishOtherwise)
{
    struct Case {
        std::vector<std::pair<QString, QString>> locale;
        bool japanese;
    };
    const Case cases[] = {
        {{{"LANG", "ja_JP.UTF-8"}}, true},
        {{{"LANG", "ja_JP.eucJP"}}, true},
        // LC_MESSAGES comes before LANG, and LC_ALL before both.
        {{{"LC_MESSAGES", "ja_JP.UTF-8"}}, true},
        {{{"LANG", "ja_JP.UTF-8"}, {"LC_ALL", "C"}}, false},
        {{{"LANG", "en_US.UTF-8"}}, false},
        {{{"LANG", "fr_FR.UTF-8"}}, false},
        {{}, false},
    };
    const QProcessEnvironment english = environment;
    for (const Case& c : cases) {
        environment = english;
        QStringList trace;
        for (const auto& [variable, value] : c.locale) {
            environment.insert(variable, value);
            trace << variable + QLatin1Char('=') + value;
        }
        SCOPED_TRACE(trace.join(QLatin1Char(' ')).toStdString());

        const Outcome help = run({QStringLiteral("--help")});
        EXPECT_TRUE(help.out.startsWith(c.japanese ? QStringLiteral("使い方: ") : QStringLiteral("Usage: ")))
            << help.out.toStdString();
        EXPECT_EQ(help.exitCode, 0);

        const Outcome unknown = run({QStringLiteral("--bogus")});
        const QStringList usageError =
            c.japanese ? QStringList{"MoraImport: オプション 'bogus' はありません。",
                                     "使い方は 'MoraImport --help' で表示します。"}
                       : QStringList{"MoraImport: Unknown option 'bogus'.", "Try 'MoraImport --help'."};
        EXPECT_EQ(unknown.errLines(), usageError);
        EXPECT_EQ(unknown.exitCode, 2);

        const Outcome noDisplay = run({QStringLiteral("sales.csv")});
        EXPECT_EQ(noDisplay.err.contains(QStringLiteral("ウィンドウを開くディスプレイがありません")), c.japanese)
            << noDisplay.err.toStdString();
    }
}

TEST_F(ProgramTest, TheWindowWithoutADisplayPointsToTheImportInsteadOfAborting)
{
    const Outcome outcome = run({QStringLiteral("sales.csv")});
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("--import FILE"))) << outcome.err.toStdString();
    EXPECT_EQ(outcome.exitCode, 2);
}

// One window per user and ledger place: a second start with a file hands
// it to the window open on the same ledger and ends; the console modes
// are not affected.
TEST_F(ProgramTest, ASecondStartHandsItsFileToTheWindowOpenOnTheSameLedger)
{
    const QString runtime = scratch.path(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.path(QStringLiteral("config")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QDir(work()).mkdir(QStringLiteral("Data"));
    writeSales(QStringLiteral("sales.csv"),
               QStringLiteral("2024/04/01,文具,北星,のーと,ノート,N-4,A4,10,120,きたやま,北山商店\r\n"));

    QProcess window;
    window.setProgram(QStringLiteral(MORA_PROGRAM));
    window.setWorkingDirectory(work());
    window.setProcessEnvironment(environment);
    window.start();
    ASSERT_TRUE(window.waitForStarted());
    // Listening once its socket is there.
    for (int i = 0; i < 100 && QDir(runtime).entryList(QDir::System).isEmpty(); ++i)
        QThread::msleep(100);
    ASSERT_FALSE(QDir(runtime).entryList(QDir::System).isEmpty());

    QProcess second;
    second.setProgram(QStringLiteral(MORA_PROGRAM));
    second.setArguments({QStringLiteral("sales.csv")});
    second.setWorkingDirectory(work());
    second.setProcessEnvironment(environment);
    second.start();
    const bool ended = second.waitForFinished(15000);
    EXPECT_TRUE(ended) << "a second window opened";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(window.state(), QProcess::Running);

    const Outcome imported = run({QStringLiteral("--import"), QStringLiteral("sales.csv")});
    EXPECT_EQ(imported.out, QStringLiteral("全レコード 1 件中 1 件インポートしました。\n"));
    EXPECT_EQ(imported.exitCode, 0);

    window.terminate();
    window.waitForFinished(5000);
    if (!ended)
        second.kill();
}

TEST_F(ProgramTest, UserDataImportsUnderTheDataHomeWithNamesFromTheStartFolder)
{
    writeSales(QStringLiteral("sales.csv"),
               QStringLiteral("2024/04/01,文具,北星,のーと,ノート,N-4,A4,10,120,きたやま,北山商店\r\n"));
    const QStringList arguments = {QStringLiteral("--user-data"), QStringLiteral("--import"),
                                   QStringLiteral("sales.csv")};

    const Outcome underHome = run(arguments);
    EXPECT_EQ(underHome.out, QStringLiteral("全レコード 1 件中 1 件インポートしました。\n"));
    EXPECT_EQ(underHome.exitCode, 0);
    EXPECT_EQ(TradeCount(home() + QStringLiteral("/.local/share/MoraImport/Data/iOrvanta.mdb")), 1);
    EXPECT_FALSE(QDir(work()).exists(QStringLiteral("Data")));

    const QString dataHome = scratch.path(QStringLiteral("xdg"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    EXPECT_EQ(run(arguments).exitCode, 0);
    // Another file of the same name: the same file again would be a repeat.
    writeSales(QStringLiteral("sales.csv"),
               QStringLiteral("2024/04/02,文具,北星,のーと,ノート,N-4,A4,5,120,きたやま,北山商店\r\n"));
    EXPECT_EQ(run(arguments).exitCode, 0);
    EXPECT_EQ(TradeCount(dataHome + QStringLiteral("/MoraImport/Data/iOrvanta.mdb")), 2);

    // A folder that can't be made stops the program before anything else.
    environment.insert(QStringLiteral("XDG_DATA_HOME"), scratch.write(QStringLiteral("a-file"), "x"));
    const Outcome blocked = run(arguments);
    EXPECT_TRUE(blocked.err.startsWith(QStringLiteral("MoraImport: データフォルダを作成できません。 ")))
        << blocked.err.toStdString();
    EXPECT_EQ(blocked.errLines().size(), 1);
    EXPECT_EQ(blocked.out, QString());
    EXPECT_EQ(blocked.exitCode, 2);
}

// A server named by a string libpq cannot read is refused, its password
// nowhere in what the program says.
TEST_F(ProgramTest, AMalformedServerStringIsRefusedWithoutShowingItsPassword)
{
    environment.insert(QStringLiteral("MORAIMPORT_LEDGER_SERVER"),
                       QStringLiteral("postgresql://clerk:S3cret@[host/db"));
    writeSales(QStringLiteral("sales.csv"),
               QStringLiteral("2024/04/01,文具,北星,のーと,ノート,N-4,A4,10,120,きたやま,北山商店\r\n"));
    for (const QStringList& arguments : {QStringList{QStringLiteral("--import"), QStringLiteral("sales.csv")},
                                         QStringList{QStringLiteral("--history")}}) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_TRUE(outcome.err.contains(QStringLiteral("台帳サーバーの接続文字列の書式が正しくありません: "
                                                        "postgresql://clerk:****@[host/db")))
            << outcome.err.toStdString();
        EXPECT_FALSE((outcome.out + outcome.err).contains(QStringLiteral("S3cret"))) << outcome.err.toStdString();
    }
}

}  // namespace

namespace {

// A run's life through the program: imported, recognised when repeated,
// reviewed, its refused lines given back, undone.
TEST_F(ProgramTest, ARunIsRecognisedReviewedAndUndoneFromTheCommandLine)
{
    QDir(work()).mkdir(QStringLiteral("Data"));
    const QString refused = QStringLiteral("2024/13/05,文具,北星,のーと,幻の製品,N-4,A4,1,120,まぼろし,幻商店");
    writeSales(QStringLiteral("sales.csv"),
               QStringLiteral("2024/04/01,文具,北星,のーと,ノート,N-4,\"A4\n方眼\",10,120,きたやま,北山商店\r\n")
                   + refused + QStringLiteral("\r\n"));
    const QStringList import = {QStringLiteral("--import"), QStringLiteral("sales.csv")};
    ASSERT_EQ(run(import).exitCode, 1);

    const Outcome repeat = run(import);
    EXPECT_EQ(repeat.exitCode, 2);
    ASSERT_EQ(repeat.errLines().size(), 1);
    EXPECT_TRUE(repeat.errLines()[0].startsWith(QStringLiteral("インポート確認: このファイルは ")));
    EXPECT_TRUE(repeat.errLines()[0].endsWith(
        QStringLiteral("に取り込み済みです（全レコード 2 件中 1 件）。もう一度インポートしますか？")));
    EXPECT_EQ(TradeCount(workLedger()), 1);
    EXPECT_EQ(run({QStringLiteral("--import"), QStringLiteral("sales.csv"), QStringLiteral("--again")}).exitCode, 1);
    EXPECT_EQ(TradeCount(workLedger()), 2);

    const Outcome history = run({QStringLiteral("--history")});
    EXPECT_EQ(history.exitCode, 0);
    const QStringList rows = history.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1].section(u'\t', 0, 0), QStringLiteral("2"));
    EXPECT_EQ(rows[1].section(u'\t', 3, 8),
              QStringLiteral("imported\tsales\t2\t1\t0\t") + work() + QStringLiteral("/sales.csv"));

    const Outcome rejects = run({QStringLiteral("--rejects"), QStringLiteral("1")});
    EXPECT_EQ(rejects.exitCode, 0);
    EXPECT_EQ(rejects.out, kSalesHeader + refused + QStringLiteral("\r\n"));

    const Outcome undo = run({QStringLiteral("--undo"), QStringLiteral("2")});
    EXPECT_EQ(undo.out, QStringLiteral("取り込み 2 を取り消しました（取引 1 件）。\n"));
    EXPECT_EQ(undo.exitCode, 0);
    EXPECT_EQ(TradeCount(workLedger()), 1);
    EXPECT_TRUE(run({QStringLiteral("--history")}).out.contains(QStringLiteral("\tundone\tsales\t")));
}

}  // namespace

namespace {

QString PatternSample(const char* name) { return QStringLiteral(MORA_SAMPLES_DIR "/patterns/") + QLatin1String(name); }

}  // namespace

// Three exports of other layouts (a sales system's, a supplier's with title
// lines and dates as yyyyMMdd, a bank's without a header) go in through
// patterns handed out as files; the template's file is read as before.
TEST_F(ProgramTest, FilesOfOtherLayoutsImportThroughThePatternsKeptInTheLedger)
{
    QDir().mkpath(work() + QStringLiteral("/Data"));
    for (const char* file : {"sales-system.json", "supplier-titled.json", "bank-headerless.json"})
        ASSERT_EQ(run({QStringLiteral("--pattern-save"), PatternSample(file)}).exitCode, 0) << file;
    const Outcome listed = run({QStringLiteral("--patterns")});
    EXPECT_EQ(listed.out, QStringLiteral("仕入先の納品明細\tpurchase\t納品日,メーカー名,品名,型番,数量,仕入単価\n"
                                         "口座振込の明細\tsales\t\n"
                                         "販売管理の売上明細\tsales\t伝票日付,商品名,品番,数量,単価,得意先名,金額\n"));

    const struct {
        const char* file;
        QStringList options;
        int imported;
    } imports[] = {
        {"sales-system.csv", {}, 3},
        {"supplier-titled.csv", {}, 2},
        {"bank-headerless.csv", {QStringLiteral("--pattern"), QStringLiteral("口座振込の明細")}, 2},
    };
    for (const auto& c : imports) {
        SCOPED_TRACE(c.file);
        const Outcome imported = run(QStringList{QStringLiteral("--import"), PatternSample(c.file)} + c.options);
        EXPECT_EQ(imported.exitCode, 0) << imported.err.toStdString();
        EXPECT_EQ(imported.out, QStringLiteral("全レコード %1 件中 %1 件インポートしました。\n").arg(c.imported));
    }
    EXPECT_EQ(LedgerProbe(workLedger())
                  .rows("SELECT t.trade_kind || '|' || t.trade_date || '|' || p.name || '|' ||"
                        " coalesce(p.model, '') || '|' || coalesce(s.name, c.name) || '|' ||"
                        " t.amount FROM trades t JOIN products p USING (product_id)"
                        " LEFT JOIN suppliers s USING (supplier_id)"
                        " LEFT JOIN customers c USING (customer_id) ORDER BY t.trade_id"),
              (QStringList{QStringLiteral("1|2024-01-10|ノート|00123|北山商店|360"),
                           QStringLiteral("1|2024-01-10|ボールペン|P-1|北山商店|800"),
                           QStringLiteral("1|2024-01-11|ノート|00123|南商会|240"),
                           QStringLiteral("0|2024-01-05|コピー用紙|A4-500|東和商事|9000"),
                           QStringLiteral("0|2024-01-12|トナー|T-9|東和商事|16000"),
                           QStringLiteral("1|2024-01-15|振込入金||北山商店|5000"),
                           QStringLiteral("1|2024-01-16|振込入金||南商会|12000")}));
    EXPECT_EQ(run({QStringLiteral("--history")}).out.count(QStringLiteral("\t販売管理の売上明細\n")), 1);

    // Without its pattern a headerless file is of no known layout; a pattern
    // the file does not fit, or none of that name, is refused.
    EXPECT_EQ(run({QStringLiteral("--import"), PatternSample("bank-headerless.csv")}).exitCode, 2);
    const Outcome misfit = run({QStringLiteral("--check"), PatternSample("sales-system.csv"),
                                QStringLiteral("--pattern"), QStringLiteral("仕入先の納品明細")});
    EXPECT_EQ(misfit.exitCode, 2);
    EXPECT_TRUE(misfit.err.contains(QStringLiteral("取込パターン「仕入先の納品明細」に合いません")))
        << misfit.err.toStdString();
    const Outcome missing = run({QStringLiteral("--pattern-export"), QStringLiteral("ない")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err, QStringLiteral("MoraImport: 取込パターン「ない」はありません。\n"));

    // What --pattern-export writes, --pattern-save takes back.
    const Outcome exported = run({QStringLiteral("--pattern-export"), QStringLiteral("仕入先の納品明細")});
    scratch.writeUtf8(QStringLiteral("work/exported.json"), exported.out);
    EXPECT_EQ(run({QStringLiteral("--pattern-delete"), QStringLiteral("仕入先の納品明細")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("--pattern-save"), QStringLiteral("exported.json")}).exitCode, 0);
    EXPECT_EQ(run({QStringLiteral("--patterns")}).out, listed.out);
    scratch.writeUtf8(QStringLiteral("work/broken.json"), QStringLiteral("{\"name\": \"x\", \"mode\": \"売上\"}"));
    const Outcome broken = run({QStringLiteral("--pattern-save"), QStringLiteral("broken.json")});
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_TRUE(broken.err.contains(QStringLiteral("mode は"))) << broken.err.toStdString();
}
