// What a user sees of the store through an import: why it failed, and which dates it takes.
#include "ImportFixtures.h"
#include "LedgerProbe.h"
#include "RecordingDesktop.h"
#include "TestFiles.h"
#include "clsImportSource.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace fixtures;

// Catches what is written to the standard error stream while it lives.
class StderrCapture {
public:
    StderrCapture() : m_path(m_dir.path(QStringLiteral("stderr.txt")))
    {
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (m_saved < 0 || fd < 0 || ::dup2(fd, STDERR_FILENO) < 0)
            throw std::runtime_error("cannot catch stderr");
        ::close(fd);
    }
    ~StderrCapture() { restore(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // The lines written so far; stops catching.
    QStringList lines()
    {
        restore();
        return QString::fromUtf8(FileBytes(m_path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }

    ScratchDir m_dir;
    QString m_path;
    int m_saved = -1;
};

const QString kPrefix = QStringLiteral("MoraImport: 台帳: ");

}  // namespace

TEST(LedgerReport, AnImportWithoutItsDataFolderSaysWhyOnce)
{
    ScratchDir dir;
    const QString file = dir.writeCp932(
        QStringLiteral("sales.csv"),
        Lines({kSalesHeader,
               QStringLiteral("2024/5/1,モニター,ソニック,えきしょう,液晶モニター,LM-24,ワイド,2,29800,,北星電機"),
               QStringLiteral("2024/5/2,モニター,ソニック,えきしょう,液晶モニター,LM-24,ワイド,1,29800,,北星電機")}));
    RecordingDesktop desktop;
    StderrCapture captured;
    clsImportSource engine(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
    ASSERT_FALSE(engine.IMPFileCheck(file));
    engine.ExecImport(file, ConnectionTo(dir.path(QStringLiteral("Data/iOrvanta.mdb"))));

    EXPECT_EQ(desktop.prompts(), QStringList{QStringLiteral("全レコード 2 件中 0 件インポートしました。")});
    EXPECT_EQ(captured.lines(), QStringList{kPrefix + QStringLiteral("データベースのフォルダがありません: ") +
                                            QDir::toNativeSeparators(dir.path(QStringLiteral("Data")))});
}

TEST(LedgerReport, EachReasonIsWrittenOncePerConnection)
{
    OpenLedger ledger;
    ASSERT_FALSE(ledger.failed);
    StderrCapture captured;
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

    const QString refusal =
        kPrefix + QStringLiteral("台帳データベースではありません（SQLite のデータベースファイルではありません）: ") + foreign;
    EXPECT_EQ(captured.lines(), QStringList({kPrefix + QStringLiteral("取引の製品が決まっていません。"),
                                             kPrefix + QStringLiteral("製品名が空です。"), refusal, refusal}));
}

// The first day of the date scale, OLE date 0, is a date like any other.
TEST(LedgerDates, ATradeOnTheFirstDayOfTheDateScaleIsTaken)
{
    ScratchDir dir;
    ASSERT_TRUE(QDir(dir.root()).mkdir(QStringLiteral("Data")));
    const QString database = dir.path(QStringLiteral("Data/iOrvanta.mdb"));
    const QString file = dir.writeCp932(
        QStringLiteral("sales.csv"),
        Lines({kSalesHeader, QStringLiteral("1899/12/30,モニター,ソニック,えきしょう,液晶モニター,LM-24,ワイド,2,29800,,北星電機")}));
    RecordingDesktop desktop;
    StderrCapture captured;
    clsImportSource engine(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
    ASSERT_FALSE(engine.IMPFileCheck(file));
    engine.ExecImport(file, ConnectionTo(database));
    EXPECT_EQ(desktop.prompts(), QStringList{QStringLiteral("全レコード 1 件中 1 件インポートしました。")});
    EXPECT_EQ(LedgerProbe(database).value("SELECT trade_date FROM trades"), QStringLiteral("1899-12-30"));
    EXPECT_TRUE(captured.lines().isEmpty());
}
