// Why the store failed, on the standard error stream, and the first date it takes through an import.
#include "ImportFixtures.h"
#include "LedgerUnderTest.h"
#include "RecordingDesktop.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

using namespace fixtures;

const QString kPrefix = QStringLiteral("MoraImport: 台帳: ");

}  // namespace

TEST(LedgerReport, EachReasonIsWrittenOncePerConnection)
{
    OpenLedger ledger;
    ASSERT_FALSE(ledger.failed);
    testing::internal::CaptureStderr();
    ProductRecord product;
    PartyRecord supplier, customer;
    TradeRecord trade;
    trade.dtmTradeDate = 45296.0;
    for (int i = 0; i < 3; ++i) {
        ledger.store.InsertTrade(product, supplier, customer, trade, true, ledger.error, ledger.failed);
        ledger.store.ResolveProduct(QString(), product, ledger.error, ledger.failed);
    }
    QString error;
    bool failed = false;
    // Success writes nothing.
    ledger.store.ResolveProduct(QStringLiteral("液晶モニター"), product, error, failed);
    EXPECT_FALSE(failed);

    // A foreign file: the reason of the refused opening, and nothing for what fails after it.
    ScratchDir dir;
    const QString foreign = dir.write(QStringLiteral("foreign.mdb"), QByteArray("not a database").repeated(20));
    SqliteLedgerStore store;
    EXPECT_TRUE(Open(store, ConnectionTo(foreign)).failed);
    store.ResolveProduct(QStringLiteral("液晶モニター"), product, error, failed);
    store.InsertTrade(product, supplier, customer, trade, true, error, failed);
    // A new connection says it again.
    EXPECT_TRUE(Open(store, ConnectionTo(foreign)).failed);
    // A reason is one line, whatever its path holds.
    EXPECT_TRUE(Open(store, ConnectionTo(dir.path(QStringLiteral("a\nMoraImport: 台帳: forged/iOrvanta.mdb")))).failed);

    const QString refusal =
        kPrefix + QStringLiteral("台帳データベースではありません（SQLite のデータベースファイルではありません）: ")
        + foreign;
    EXPECT_EQ(CapturedStderrLines(), QStringList({kPrefix + QStringLiteral("取引の製品が決まっていません。"),
                                                  kPrefix + QStringLiteral("製品名が空です。"), refusal, refusal,
                                                  kPrefix + QStringLiteral("データベースのフォルダがありません: ")
                                                      + dir.root() + QStringLiteral("/a\\nMoraImport: 台帳: forged")}));
}

// The first day of the date scale, OLE date 0, is a date like any other.
TEST(LedgerDates, ATradeOnTheFirstDayOfTheDateScaleIsTaken)
{
    ScratchDir dir;
    ASSERT_TRUE(QDir(dir.root()).mkdir(QStringLiteral("Data")));
    const QString database = dir.path(QStringLiteral("Data/iOrvanta.mdb"));
    const QString file = dir.writeCp932(
        QStringLiteral("sales.csv"),
        Lines({kSalesHeader,
               QStringLiteral("1899/12/30,モニター,ソニック,えきしょう,液晶モニター,LM-24,ワイド,2,29800,,北星電機")}));
    RecordingDesktop desktop;
    clsImportSource engine(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
    ASSERT_FALSE(engine.IMPFileCheck(file));
    testing::internal::CaptureStderr();
    engine.ExecImport(file, ConnectionTo(database));
    EXPECT_TRUE(CapturedStderrLines().isEmpty());
    EXPECT_EQ(desktop.prompts(), QStringList{Totals(1, 1)});
    EXPECT_EQ(LedgerProbe(database).value("SELECT trade_date FROM trades"), QStringLiteral("1899-12-30"));
}
