#include "ImportFixtures.h"
#include "LedgerUnderTest.h"
#include "RecordingDesktop.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

// Real files imported by the engine into a real ledger of each kind.
template <typename Ledger>
class ImportIntoLedger : public ::testing::Test {
protected:
    void Import(const QString& file, RecordingDesktop& on)
    {
        clsImportSource engine(on, [this] { return ledger.programStore(); });
        ASSERT_FALSE(engine.IMPFileCheck(file));
        engine.ExecImport(file, ledger.connection());
    }
    void Import(const QString& file) { Import(file, desktop); }
    QStringList Trades()
    {
        return ledger.rows(
            QStringLiteral("SELECT t.trade_kind, ") + Ledger::dateText(QStringLiteral("t.trade_date"))
            + QStringLiteral(", p.name, coalesce(s.name, '-'), coalesce(c.name, '-'),"
                             " t.quantity, t.unit_price, t.amount FROM trades t JOIN products p USING (product_id)"
                             " LEFT JOIN suppliers s USING (supplier_id) LEFT JOIN customers c USING (customer_id)"
                             " ORDER BY t.trade_id"));
    }

    Ledger ledger;
    ScratchDir dir;
    RecordingDesktop desktop;
};
TYPED_TEST_SUITE(ImportIntoLedger, LedgerKinds, LedgerKindName);

}  // namespace

TYPED_TEST(ImportIntoLedger, APurchaseFileInCp932LandsInTheLedger)
{
    this->Import(this->dir.writeCp932(
        QStringLiteral("仕入.csv"),
        Lines({kPurchaseHeader,
               QStringLiteral("2024/4/1,周辺機器,東都電機,れーざーぷりんたー,レーザープリンター LP-20,"
                              "LP-20,A4 モノクロ,3,1200,ほくとしょうじ,北斗商事"),
               QStringLiteral("2024/4/2 9:30,消耗品,東都電機,となー,トナー LP-20用,TN-20,黒,10,4500,,"),
               QStringLiteral("2024年4月3日,周辺機器,南海工業,まうす,無線マウス,MS-1,USB,2,980,"
                              "なんかいしょうかい,南海商会")})));
    EXPECT_EQ(this->desktop.prompts(), QStringList{Totals(3, 3)});
    EXPECT_EQ(this->Trades(), QStringList({"0|2024-04-01|レーザープリンター LP-20|北斗商事|-|3|1200|3600",
                                           "0|2024-04-02 09:30:00|トナー LP-20用|北斗商事|-|10|4500|45000",
                                           "0|2024-04-03|無線マウス|南海商会|-|2|980|1960"}));
    auto& probe = this->ledger;
    // Each product carries its own line's kind, not the line before's.
    EXPECT_EQ(probe.rows("SELECT p.name, k.name, p.maker, p.reading, p.model, p.spec FROM products p"
                         " JOIN kinds k USING (kind_code) ORDER BY product_id"),
              QStringList({"レーザープリンター LP-20|周辺機器|東都電機|れーざーぷりんたー|LP-20|A4 モノクロ",
                           "トナー LP-20用|消耗品|東都電機|となー|TN-20|黒",
                           "無線マウス|周辺機器|南海工業|まうす|MS-1|USB"}));
    EXPECT_EQ(probe.rows("SELECT name, reading FROM suppliers ORDER BY supplier_id"),
              QStringList({"北斗商事|ほくとしょうじ", "南海商会|なんかいしょうかい"}));
    EXPECT_EQ(probe.number("SELECT count(*) FROM customers"), 0);
}

TYPED_TEST(ImportIntoLedger, ASalesFileInUtf8CountsWhatTheLedgerRefused)
{
    this->Import(this->dir.writeUtf8(
        QStringLiteral("sales.csv"),
        Lines({kSalesHeader,
               QStringLiteral("2024/5/1,モニター,ソニック,えきしょう,液晶モニター 24型,LM-24,ワイド,2,"
                              "29800,ほくせいでんき,北星電機"),
               // No product name: the ledger refuses the trade.
               QStringLiteral("2024/5/2,モニター,ソニック,,,LM-24,,1,29800,,"),
               // A date that doesn't convert: read, not handed over.
               QStringLiteral("2024/2/30,モニター,ソニック,えきしょう,液晶モニター 24型,LM-24,ワイド,"
                              "1,29800,,"),
               QStringLiteral("2024/5/3,ケーブル,ソニック,けーぶる,ＨＤＭＩケーブル 2m,HC-2,,5,1280,"
                              "あおばしょうてん,青葉商店")})));
    EXPECT_EQ(this->desktop.prompts().last(), Totals(4, 2));
    EXPECT_EQ(this->Trades(), QStringList({"1|2024-05-01|液晶モニター 24型|-|北星電機|2|29800|59600",
                                           "1|2024-05-03|ＨＤＭＩケーブル 2m|-|青葉商店|5|1280|6400"}));

    // A second run adds its trades to the same ledger and reuses its master rows.
    RecordingDesktop second;
    const QString again = this->dir.writeUtf8(
        QStringLiteral("again.csv"),
        Lines({kSalesHeader, QStringLiteral("2024/6/1,ケーブル,ソニック,けーぶる,ＨＤＭＩケーブル 2m,HC-2,,1,1280,"
                                            ",北星電機")}));
    this->Import(again, second);
    EXPECT_EQ(second.prompts(), QStringList{Totals(1, 1)});
    auto& probe = this->ledger;
    EXPECT_EQ(probe.number("SELECT count(*) FROM trades"), 3);
    EXPECT_EQ(probe.number("SELECT count(*) FROM products"), 2);
    EXPECT_EQ(probe.rows("SELECT name, reading FROM customers ORDER BY customer_id"),
              QStringList({"北星電機|ほくせいでんき", "青葉商店|あおばしょうてん"}));
}

TYPED_TEST(ImportIntoLedger, AFileThatWentInWhileTheRunWaitedItsTurnIsAskedAboutAgain)
{
    const QString file = this->dir.writeUtf8(
        QStringLiteral("sales.csv"),
        Lines({kSalesHeader,
               QStringLiteral("2024/5/1,モニター,ソニック,えきしょう,液晶モニター,LM-24,ワイド,2,29800,,北星電機")}));
    const QString connection = this->ledger.connection();
    const auto store = [this] { return this->ledger.programStore(); };
    // Two clerks start the same new file at once: both checks find it new.
    RecordingDesktop firstClerk;
    RecordingDesktop secondClerk;
    clsImportSource first(firstClerk, store);
    clsImportSource second(secondClerk, store);
    for (clsImportSource* engine : {&first, &second}) {
        ASSERT_FALSE(engine->IMPFileCheck(file));
        ASSERT_FALSE(engine->IMPRepeatCheck(file, connection));
    }
    first.ExecImport(file, connection);
    EXPECT_EQ(firstClerk.prompts(), QStringList{Totals(1, 1)});

    // The second finds the first's run once it holds the ledger, and writes nothing unless asked to.
    secondClerk.answer = IDNO;
    second.ExecImport(file, connection);
    ASSERT_EQ(secondClerk.prompts().size(), 1);
    EXPECT_TRUE(secondClerk.prompts().front().startsWith(QStringLiteral("このファイルは ")))
        << secondClerk.prompts().front().toStdString();
    EXPECT_EQ(this->ledger.number("SELECT count(*) FROM runs"), 1);
    EXPECT_EQ(this->ledger.number("SELECT count(*) FROM trades"), 1);

    // Told of the first run and asked to import it again, the third goes in.
    RecordingDesktop thirdClerk;
    thirdClerk.answer = IDYES;
    clsImportSource third(thirdClerk, store);
    ASSERT_FALSE(third.IMPFileCheck(file));
    ASSERT_FALSE(third.IMPRepeatCheck(file, connection));
    third.ExecImport(file, connection);
    EXPECT_EQ(thirdClerk.prompts().last(), Totals(1, 1));
    EXPECT_EQ(this->ledger.number("SELECT count(*) FROM trades"), 2);
}

TEST(ImportIntoSqliteLedger, WithoutTheDataFolderNothingIsImportedOrCreatedAndTheReasonIsWrittenOnce)
{
    ScratchDir dir;
    RecordingDesktop desktop;
    const QString line = QStringLiteral(
        "2024/5/1,モニター,ソニック,えきしょう,液晶モニター,LM-24,ワイド,2,29800,ほくせいでんき,北星電機");
    const QString file = dir.writeCp932(QStringLiteral("import.csv"), Lines({kSalesHeader, line, line}));
    clsImportSource engine(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
    ASSERT_FALSE(engine.IMPFileCheck(file));
    testing::internal::CaptureStderr();
    // Once for the whole command: its repeat check and its run.
    const QString connection = ConnectionTo(dir.path(QStringLiteral("Data/iOrvanta.mdb")));
    EXPECT_FALSE(engine.IMPRepeatCheck(file, connection));
    engine.ExecImport(file, connection);
    EXPECT_EQ(CapturedStderrLines(),
              QStringList{QStringLiteral("MoraImport: 台帳: データベースのフォルダがありません: ")
                          + QDir::toNativeSeparators(dir.path(QStringLiteral("Data")))});
    // No run can begin: no totals, the reason in the engine's report.
    const QStringList prompts = desktop.prompts();
    ASSERT_EQ(prompts.size(), 2);
    EXPECT_TRUE(prompts.front().startsWith(QStringLiteral("CLS-is1005"))) << prompts.front().toStdString();
    EXPECT_TRUE(prompts.front().contains(QStringLiteral("データベースのフォルダがありません")));
    EXPECT_FALSE(QFileInfo::exists(dir.path(QStringLiteral("Data"))));
}
