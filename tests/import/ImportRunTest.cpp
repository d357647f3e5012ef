#include "Desktop.h"
#include "ImportFixtures.h"
#include "RecordingDesktop.h"
#include "RecordingStore.h"
#include "TestFiles.h"
#include "TextFile.h"
#include "clsImportSource.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

const QString kConnection = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/tmp/Data/iOrvanta.mdb");
const QString kTypeMismatch = Report("CLS-is1002", QStringLiteral("型が一致しません。"));
const QString kAbandoned = QStringLiteral("インポートは中止されました。このファイルの取引は登録されていません。");

class ImportRun : public ::testing::Test {
protected:
    // Checks and imports a CP932 file made of the header and the data lines.
    void Run(const QString& header, const QStringList& lines)
    {
        RunFile(dir.writeCp932(QStringLiteral("import.csv"), Lines(QStringList{header} + lines)));
    }
    void RunFile(const QString& path)
    {
        clsImportSource engine(desktop, RecordingStore::factory(log));
        ASSERT_FALSE(engine.IMPFileCheck(path));
        engine.ExecImport(path, kConnection);
    }
    const StoreLog::Insert& Inserted(size_t index) const { return log->inserts.at(index); }
    QStringList CallsWithoutArguments() const
    {
        QStringList names;
        for (const QString& call : log->calls)
            names << call.section(u':', 0, 0);
        return names;
    }

    ScratchDir dir;
    RecordingDesktop desktop;
    std::shared_ptr<StoreLog> log = std::make_shared<StoreLog>();
};

const QString kLine1 = QStringLiteral("2024/4/1,周辺機器,東都電機,れーざーぷりんたー,レーザープリンター LP-20,LP-20,A4 "
                                      "モノクロ,3,1200,ほくとしょうじ,北斗商事");
const QString kLine2 = QStringLiteral("2024/4/2,消耗品,東都電機,となー,トナー LP-20用,TN-20,黒,10,4500,,");
const QString kLine3 = QStringLiteral(
    "2024-04-03 14:05,周辺機器,南海工業,まうす,無線マウス,MS-1,USB,2.5,980.5,なんかいしょうかい,南海商会");

TEST_F(ImportRun, AFileWithoutDataLinesOnlyOpensTheConnection)
{
    Run(kSalesHeader, {});
    EXPECT_EQ(log->calls, QStringList{QStringLiteral("OpenConnection:") + kConnection});
    EXPECT_EQ(desktop.prompts(), QStringList{Totals(0, 0)});
    EXPECT_EQ(desktop.messages[0].flags, MB_ICONINFORMATION);
    EXPECT_EQ(desktop.messages[0].title, QStringLiteral("インポート完了"));
    EXPECT_EQ(desktop.doEventsCount, 0);
}

TEST_F(ImportRun, EachLineResolvesCountsAndInsertsInOrder)
{
    Run(kSalesHeader, {kLine1, kLine2, kLine3});
    const QStringList perLine = {"ResolveProduct", "ResolveCustomer", "GetKindCode", "InsertTrade"};
    EXPECT_EQ(CallsWithoutArguments(), QStringList{"OpenConnection"} + perLine + perLine + perLine);
    EXPECT_EQ(desktop.prompts(), QStringList{Totals(3, 3)});
    EXPECT_EQ(desktop.doEventsCount, 3);
    EXPECT_EQ(log->storesMade, 1);
}

TEST_F(ImportRun, SalesModeFillsOnlyTheSalesSideAndTheCustomer)
{
    Run(kSalesHeader, {kLine1, kLine3});
    ASSERT_EQ(log->inserts.size(), 2u);
    const auto& first = Inserted(0);
    EXPECT_FALSE(first.blnPurchase);
    EXPECT_EQ(first.trade.intTradeKind, 1);
    EXPECT_EQ(first.trade.dtmTradeDate, 45383.0);  // 2024-04-01
    EXPECT_EQ(first.trade.lngSalesQuantity, 3);
    EXPECT_EQ(first.trade.lngSalesUnitPrice, 1200);
    EXPECT_EQ(first.trade.lngSalesAmount, 3600);
    EXPECT_EQ(first.trade.lngPurchaseQuantity + first.trade.lngPurchaseUnitPrice + first.trade.lngPurchaseAmount, 0);
    EXPECT_EQ(first.trade.lngSupplierID, 0);
    EXPECT_EQ(first.trade.lngCustomerID, first.customer.lngPartyID);
    EXPECT_NE(first.trade.lngCustomerID, 0);
    EXPECT_EQ(first.trade.lngProductID, first.product.lngProductID);
    EXPECT_EQ(first.customer.strPartyName, QStringLiteral("北斗商事"));
    EXPECT_EQ(first.customer.strReading, QStringLiteral("ほくとしょうじ"));
    EXPECT_EQ(first.supplier.strPartyName, QString());
    EXPECT_EQ(first.product.strMaker, QStringLiteral("東都電機"));
    EXPECT_EQ(first.product.strReading, QStringLiteral("れーざーぷりんたー"));
    EXPECT_EQ(first.product.strProductName, QStringLiteral("レーザープリンター LP-20"));
    EXPECT_EQ(first.product.strModel, QStringLiteral("LP-20"));
    EXPECT_EQ(first.product.strSpec, QStringLiteral("A4 モノクロ"));
    // Half to even: 2.5 gives 2, 980.5 gives 980.
    const auto& second = Inserted(1);
    EXPECT_EQ(second.trade.lngSalesQuantity, 2);
    EXPECT_EQ(second.trade.lngSalesUnitPrice, 980);
    EXPECT_EQ(second.trade.lngSalesAmount, 1960);
    EXPECT_DOUBLE_EQ(second.trade.dtmTradeDate, 45385.0 + (14 * 60 + 5) / 1440.0);
    EXPECT_EQ(log->count("ResolveSupplier"), 0);
}

TEST_F(ImportRun, PurchaseModeFillsOnlyThePurchaseSideAndTheSupplier)
{
    Run(kPurchaseHeader, {kLine1});
    ASSERT_EQ(log->inserts.size(), 1u);
    const auto& trade = Inserted(0).trade;
    EXPECT_TRUE(Inserted(0).blnPurchase);
    EXPECT_EQ(trade.intTradeKind, 0);
    EXPECT_EQ(trade.lngPurchaseQuantity, 3);
    EXPECT_EQ(trade.lngPurchaseUnitPrice, 1200);
    EXPECT_EQ(trade.lngPurchaseAmount, 3600);
    EXPECT_EQ(trade.lngSalesQuantity + trade.lngSalesUnitPrice + trade.lngSalesAmount, 0);
    EXPECT_EQ(trade.lngCustomerID, 0);
    EXPECT_EQ(trade.lngSupplierID, Inserted(0).supplier.lngPartyID);
    EXPECT_EQ(Inserted(0).supplier.strPartyName, QStringLiteral("北斗商事"));
    EXPECT_EQ(Inserted(0).customer.strPartyName, QString());
    EXPECT_EQ(log->count("ResolveCustomer"), 0);
}

TEST_F(ImportRun, PartiesCarryDownAndProductTextsDoNot)
{
    Run(kSalesHeader, {kLine1, kLine2});
    ASSERT_EQ(log->inserts.size(), 2u);
    EXPECT_EQ(Inserted(1).customer.strPartyName, QStringLiteral("北斗商事"));
    EXPECT_EQ(Inserted(1).customer.strReading, QStringLiteral("ほくとしょうじ"));
    EXPECT_EQ(log->parties.at(1).name, QStringLiteral("北斗商事"));
    Run(kSalesHeader, {kLine1, QStringLiteral("2024/4/2,,,,トナー,,,1,1,,")});
    EXPECT_EQ(Inserted(3).product.strMaker, QString());
    EXPECT_EQ(Inserted(3).product.strSpec, QString());
    EXPECT_EQ(log->calls.filter("GetKindCode").last(), QStringLiteral("GetKindCode:"));
}

TEST_F(ImportRun, ResolveProductSeesThePreviousKindCodeAndInsertTheCurrent)
{
    Run(kSalesHeader, {kLine1, kLine2, kLine3});
    const int32_t peripherals = log->kindCodes[QStringLiteral("周辺機器")];
    const int32_t supplies = log->kindCodes[QStringLiteral("消耗品")];
    ASSERT_EQ(log->products.size(), 3u);
    EXPECT_EQ(log->products[0].kindCodeSeen, 0);
    EXPECT_EQ(log->products[1].kindCodeSeen, peripherals);
    EXPECT_EQ(log->products[2].kindCodeSeen, supplies);
    EXPECT_EQ(Inserted(0).product.lngKindCode, peripherals);
    EXPECT_EQ(Inserted(1).product.lngKindCode, supplies);
    EXPECT_EQ(Inserted(2).product.lngKindCode, peripherals);
}

TEST_F(ImportRun, ARefusedInsertIsReadButNotImported)
{
    log->refuseInserts = {2};
    Run(kSalesHeader, {kLine1, kLine2, kLine3});
    EXPECT_EQ(log->inserts.size(), 3u);
    EXPECT_EQ(desktop.prompts(), QStringList{Totals(3, 2)});
    // One flag serves a line's calls and starts every line cleared.
    EXPECT_FALSE(log->products.at(2).flagOnEntry);
}

TEST_F(ImportRun, StoreFailuresThroughFlagsDoNotStopTheRun)
{
    log->openFails = true;
    log->resolveFails = true;
    Run(kSalesHeader, {kLine1, kLine2});
    EXPECT_EQ(log->inserts.size(), 2u);
    EXPECT_TRUE(Inserted(0).flagOnEntry);  // the resolve's failure reaches the insert
    EXPECT_EQ(Inserted(0).trade.lngProductID, 0);
    EXPECT_EQ(desktop.prompts(), QStringList{Totals(2, 2)});
}

TEST_F(ImportRun, ALineWhoseValuesFailIsReportedCountedAndKeptFromTheStore)
{
    Run(kSalesHeader, {kLine1, QStringLiteral("2024/4/2,消耗品,東都電機,となー,トナー,TN-20,黒,,4500,,"),
                       QStringLiteral("2024/4/3,消耗品,東都電機,となー,トナー,TN-20,黒,50000,50000,,"),
                       QStringLiteral("2024/2/30,消耗品,東都電機,となー,トナー,TN-20,黒,1,1,,"),
                       QStringLiteral(",,,,,,,x,,,"), kLine2});
    const QString overflow = Report("CLS-is1002", QStringLiteral("オーバーフローしました。"));
    EXPECT_EQ(desktop.prompts(), (QStringList{kTypeMismatch, overflow, kTypeMismatch, kTypeMismatch, kTypeMismatch,
                                              kTypeMismatch, Totals(6, 2)}));
    // No look-up either: a refused line's names must not become products or parties.
    EXPECT_EQ(log->count("ResolveProduct"), 2);
    EXPECT_EQ(log->count("GetKindCode"), 2);
    ASSERT_EQ(log->inserts.size(), 2u);
    EXPECT_EQ(Inserted(1).product.strProductName, QStringLiteral("トナー LP-20用"));
    EXPECT_EQ(Inserted(1).trade.lngSalesAmount, 45000);
    EXPECT_EQ(desktop.doEventsCount, 6);
    // Every report puts the pointer back first.
    EXPECT_EQ(desktop.pointers, std::vector<int>(6, POINTER_DEFAULT));
}

TEST_F(ImportRun, MissingColumnsReadAsEmpty)
{
    Run(kSalesHeader, {kLine1, QStringLiteral("2024/4/2,消耗品,東都電機,となー,トナー"),
                       QStringLiteral("2024/4/3,消耗品,東都電機,となー,トナー,TN-20,黒,2,100")});
    // The five-field line lacks quantity and price: two reports, no insert.
    EXPECT_EQ(desktop.prompts(), (QStringList{kTypeMismatch, kTypeMismatch, Totals(3, 2)}));
    ASSERT_EQ(log->inserts.size(), 2u);
    EXPECT_EQ(log->products.at(1).name, QStringLiteral("トナー"));
    // The nine-field line keeps the party of the line before.
    EXPECT_EQ(Inserted(1).customer.strPartyName, QStringLiteral("北斗商事"));
    EXPECT_EQ(Inserted(1).trade.lngSalesAmount, 200);
}

TEST_F(ImportRun, LinesWithoutDataAreSkippedSilently)
{
    Run(kSalesHeader, {QString(), kLine1, QStringLiteral(",,,,,,,,,,"), QStringLiteral(","), kLine2, QString()});
    EXPECT_EQ(desktop.prompts(), QStringList{Totals(2, 2)});
    EXPECT_EQ(log->inserts.size(), 2u);
    EXPECT_EQ(log->count("ResolveProduct"), 2);
    EXPECT_EQ(desktop.doEventsCount, 2);
}

TEST_F(ImportRun, QuotedValuesKeepTheirColumns)
{
    Run(kSalesHeader, {QStringLiteral("2024/4/1,周辺機器,\"東都電機, 本社\",ふりがな,\"27\"\"モニター\",M-27,\"4K, "
                                      "HDR\",1,30000,,\"北斗商事\"")});
    ASSERT_EQ(log->inserts.size(), 1u);
    EXPECT_EQ(Inserted(0).product.strMaker, QStringLiteral("東都電機, 本社"));
    EXPECT_EQ(Inserted(0).product.strProductName, QStringLiteral("27\"モニター"));
    EXPECT_EQ(Inserted(0).product.strSpec, QStringLiteral("4K, HDR"));
    EXPECT_EQ(Inserted(0).trade.lngSalesAmount, 30000);
    EXPECT_EQ(Inserted(0).customer.strPartyName, QStringLiteral("北斗商事"));
}

TEST_F(ImportRun, ABrokenLineIsReportedOnceAndNotInserted)
{
    Run(kSalesHeader, {kLine1, QStringLiteral("2024/4/2,消耗品,新メーカー,\"とな,x,y"), kLine2,
                       QString(32766 - 21, u'x') + QStringLiteral(",1,2,3,4,5,6,7,8,9,10")});
    const QString badCall = Report("CLS-is1001", QStringLiteral("プロシージャの呼び出し、または引数が不正です。"));
    const QString overflow = Report("CLS-is1001", QStringLiteral("オーバーフローしました。"));
    EXPECT_EQ(desktop.prompts(), (QStringList{badCall, kTypeMismatch, overflow, Totals(4, 2)}));
    EXPECT_EQ(log->count("ResolveProduct"), 2);
    ASSERT_EQ(log->inserts.size(), 2u);
    // The maker of the broken line was distributed but goes nowhere; line 3 brings its own.
    EXPECT_EQ(Inserted(1).product.strMaker, QStringLiteral("東都電機"));
}

// A record too long to hold is refused, and what is kept of it says so:
// the refused lines never give back an empty line in its place.
TEST_F(ImportRun, ARecordTooLongToKeepIsKeptAsALineSayingSo)
{
    Run(kSalesHeader, {kLine1, QString(TextStream::kLongestLineBytes + 10, u'x'), kLine2});
    ASSERT_EQ(log->rejected.size(), 1u);
    EXPECT_EQ(log->rejected[0].lngLineNumber, 3);
    EXPECT_EQ(
        log->rejected[0].strRecord,
        QStringLiteral("（3 行目は長すぎるため保存できません: %1 バイトまで）").arg(TextStream::kLongestLineBytes));
    EXPECT_EQ(log->inserts.size(), 2u);
}

TEST_F(ImportRun, TheReadCounterOverflowsOnLine32768)
{
    QStringList lines;
    for (int i = 0; i < 32768; ++i)
        lines << QStringLiteral("2024/4/1,k,m,r,p%1,x,s,1,1,,c").arg(i % 50);
    Run(kSalesHeader, lines);
    EXPECT_EQ(desktop.prompts(),
              (QStringList{Report("CLS-is1005", QStringLiteral("オーバーフローしました。")), kAbandoned}));
    EXPECT_EQ(desktop.pointers, std::vector<int>{POINTER_DEFAULT});
    EXPECT_EQ(log->inserts.size(), 32767u);
    EXPECT_EQ(log->count("ResolveProduct"), 32768);
    // The run is given up whole, never committed.
    EXPECT_EQ(log->runCalls, (QStringList{"BeginRun", "AbandonRun"}));

    // The look before the import agrees: no line of such a file is "new".
    for (const int count : {32767, 32768}) {
        RecordingDesktop looker;
        clsImportSource engine(looker, RecordingStore::factory(std::make_shared<StoreLog>()));
        const QString file =
            dir.writeCp932(QStringLiteral("look.csv"), Lines(QStringList{kSalesHeader} + lines.mid(0, count)));
        const std::optional<std::vector<LineCheck>> rows = engine.CheckFile(file, kConnection);
        EXPECT_EQ(rows.has_value(), count == 32767);
        EXPECT_EQ(looker.prompts(),
                  count == 32767
                      ? QStringList()
                      : QStringList{QStringLiteral("32769 行目でデータ行が 32767 行を超えるため、インポートはそこで"
                                                   "中止されます。このファイルの取引は登録されません。")});
    }
}

TEST_F(ImportRun, AStoreThatThrowsEndsTheRunWithTheTrapReport)
{
    log->throwIn = QStringLiteral("InsertTrade");
    log->throwOnCall = 2;
    Run(kSalesHeader, {kLine1, kLine2, kLine3});
    EXPECT_EQ(desktop.events,
              (QStringList{QStringLiteral("Pointer:0"),
                           QStringLiteral("MsgBox:") + Report("CLS-is1005", "store failure in InsertTrade"),
                           QStringLiteral("MsgBox:") + kAbandoned}));
    EXPECT_EQ(desktop.messages.back().flags, MB_ICONINFORMATION);
    EXPECT_EQ(desktop.messages.back().title, QStringLiteral("インポートエラー"));
    EXPECT_EQ(log->count("ResolveProduct"), 2);
}

TEST_F(ImportRun, AStoreThatCannotBeMadeIsReported)
{
    const QString path = dir.writeCp932(QStringLiteral("a.csv"), Lines({kSalesHeader, kLine1}));
    clsImportSource engine(desktop, [] { return std::unique_ptr<clsLedgerStore>(); });
    engine.ExecImport(path, kConnection);
    EXPECT_EQ(desktop.prompts(),
              (QStringList{Report("CLS-is1005", QStringLiteral("オブジェクトを作成できません。")), kAbandoned}));
}

TEST_F(ImportRun, AFileGoneBeforeTheRunGivesTwoMessagesAndNoTotals)
{
    const QString path = dir.writeCp932(QStringLiteral("gone.csv"), Lines({kSalesHeader, kLine1}));
    clsImportSource engine(desktop, RecordingStore::factory(log));
    ASSERT_FALSE(engine.IMPFileCheck(path));
    QFile::remove(path);
    engine.ExecImport(path, kConnection);
    EXPECT_EQ(desktop.events, (QStringList{QStringLiteral("MsgBox:")
                                               + Report("CLS-is1000", QStringLiteral("ファイルが見つかりません。")),
                                           QStringLiteral("Pointer:0"),
                                           QStringLiteral("MsgBox:ファイルが開けない為インポートは失敗しました。")}));
    EXPECT_EQ(desktop.messages.back().flags, MB_OK);
    EXPECT_TRUE(desktop.messages.back().title.isEmpty());
    EXPECT_EQ(CallsWithoutArguments(), QStringList{"OpenConnection"});
}

// Another program may wait on the ledger while the user looks at a box.
TEST_F(ImportRun, TheStoreIsReleasedBeforeTheBoxThatEndsTheRun)
{
    std::vector<int> releasedAtBox;
    desktop.onMsgBox = [&] { releasedAtBox.push_back(log->storesReleased); };
    Run(kSalesHeader, {kLine1, kLine2});
    EXPECT_EQ(desktop.prompts(), QStringList{Totals(2, 2)});

    log->throwIn = QStringLiteral("InsertTrade");
    log->throwOnCall = 3;  // the log counts the first run's two
    Run(kSalesHeader, {kLine1});

    const QString path = dir.writeCp932(QStringLiteral("gone.csv"), Lines({kSalesHeader, kLine1}));
    clsImportSource engine(desktop, RecordingStore::factory(log));
    ASSERT_FALSE(engine.IMPFileCheck(path));
    QFile::remove(path);
    engine.ExecImport(path, kConnection);

    ASSERT_EQ(desktop.messages.size(), 5u);
    EXPECT_TRUE(desktop.messages[1].prompt.startsWith(QStringLiteral("CLS-is1005")));
    // The file's own report comes while the run still has the store; the run's last box after it is gone.
    EXPECT_EQ(releasedAtBox, (std::vector<int>{1, 2, 2, 2, 3}));
    EXPECT_EQ(log->storesMade, 3);
}

TEST_F(ImportRun, WithoutAHeaderCheckTheRunImportsInSalesModeAndSkipsTheFirstLine)
{
    const QString path = dir.writeUtf8(QStringLiteral("u.csv"), Lines({kPurchaseHeader, kLine1}));
    clsImportSource engine(desktop, RecordingStore::factory(log));
    engine.ExecImport(path, kConnection);
    ASSERT_EQ(log->inserts.size(), 1u);
    EXPECT_FALSE(Inserted(0).blnPurchase);
    EXPECT_EQ(log->count("ResolveCustomer"), 1);
    // Whatever the first line names, the eleven columns are the line's own.
    engine.ExecImport(dir.writeUtf8(QStringLiteral("v.csv"), Lines({QStringLiteral("日付"), kLine1})), kConnection);
    EXPECT_EQ(log->inserts.size(), 2u);
}

TEST_F(ImportRun, ASecondRunOnTheSameEngineStartsAfresh)
{
    const QString path = dir.writeCp932(QStringLiteral("twice.csv"), Lines({kPurchaseHeader, kLine1}));
    clsImportSource engine(desktop, RecordingStore::factory(log));
    ASSERT_FALSE(engine.IMPFileCheck(path));
    engine.ExecImport(path, kConnection);
    engine.ExecImport(path, kConnection);
    EXPECT_EQ(desktop.prompts(), (QStringList{Totals(1, 1), Totals(1, 1)}));
    EXPECT_EQ(log->storesMade, 2);
    EXPECT_EQ(log->products.at(1).kindCodeSeen, 0);
}

}  // namespace
