#include "HistoryCommands.h"

#include "FakeHistory.h"
#include "TabSeparated.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class HistoryCommands : public ::testing::Test {
protected:
    HistoryCommands()
    {
        RunSummary older;
        older.lngRunId = 1;
        older.dtmStarted = QDateTime(QDate(2026, 12, 1), QTime(9, 5, 7));
        older.dtmEnded = QDateTime(QDate(2026, 12, 1), QTime(9, 5, 9));
        older.blnPurchase = true;
        older.lngRead = 12;
        older.lngImported = 12;
        older.strFilePath = QStringLiteral("/home/clerk/仕入\t12月\x1b]0;x\a.csv");
        older.strSha256 = QByteArray(64, 'a');
        older.lngTradesInLedger = 12;
        RunSummary newer = older;
        newer.lngRunId = 2;
        newer.blnPurchase = false;
        newer.blnUndone = true;
        newer.lngImported = 8;
        newer.lngSkipped = 2;
        newer.strFilePath = QStringLiteral("/home/clerk/sales.csv");
        newer.strPatternName = QStringLiteral("販売管理の売上明細");
        data->runs = {newer, older};
        data->rejects[2] = RunRejects{
            QStringLiteral("日付,種別"),
            {RejectedLine{3, QStringLiteral("x,\"a\r\nb\x1b]0;x\a\""), {}}, RejectedLine{9, QStringLiteral("y"), {}}}};
    }
    int Run(ExitStatus (*command)(const LedgerHistoryFactory&, const QString&, const QString&, std::ostream&,
                                  std::ostream&),
            const QString& run)
    {
        return int(command(FakeHistory::factory(data), QString(), run, out, err));
    }
    int Rejects(const QString& run, RejectsDestination destination = RejectsDestination::File)
    {
        return int(WriteRejects(FakeHistory::factory(data), QString(), run, destination, out, err));
    }

    std::shared_ptr<FakeHistoryData> data = std::make_shared<FakeHistoryData>();
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(HistoryCommands, TheHistoryIsTabSeparatedNewestFirst)
{
    EXPECT_EQ(WriteHistory(FakeHistory::factory(data), QString(), out, err), ExitStatus::Ok);
    EXPECT_EQ(
        QString::fromStdString(out.str()),
        QStringLiteral("run\tstarted\tended\tstate\tmode\tread\timported\tskipped\tfile\tsha256\tpattern\n"
                       "2\t2026-12-01 09:05:07\t2026-12-01 09:05:09\tundone\tsales\t12\t8\t2\t/home/clerk/sales.csv\t")
            + QString(64, u'a') + QStringLiteral("\t販売管理の売上明細")
            + QStringLiteral("\n1\t2026-12-01 09:05:07\t2026-12-01 09:05:09\timported\tpurchase\t12\t12\t0\t"
                             "/home/clerk/仕入\\t12月\\x1b]0;x\\x07.csv\t")
            + QString(64, u'a') + QStringLiteral("\t\n"));
    EXPECT_TRUE(err.str().empty());
}

TEST_F(HistoryCommands, RejectsAreTheRecordsExactlyInAFileAndEscapedOnATerminal)
{
    EXPECT_EQ(Rejects(QStringLiteral("2")), 0);
    // The mark first: Excel on a Japanese system reads a file without it as code page 932.
    EXPECT_EQ(out.str(), std::string("\xEF\xBB\xBF日付,種別\r\nx,\"a\r\nb\x1b]0;x\a\"\r\ny\r\n"));
    out.str({});
    EXPECT_EQ(Rejects(QStringLiteral("2"), RejectsDestination::Terminal), 0);
    EXPECT_EQ(out.str(), std::string("日付,種別\nx,\"a\\r\\nb\\x1b]0;x\\x07\"\ny\n"));
}

TEST(TsvField, EveryControlCharacterIsAnEscapeAndEveryBackslashBeginsOne)
{
    const struct {
        const char* what;
        QString text;
        QString field;
    } cases[] = {
        {"plain", QStringLiteral("売上 5月.csv"), QStringLiteral("売上 5月.csv")},
        {"tab and line breaks", QStringLiteral("a\tb\nc\rd"), QStringLiteral("a\\tb\\nc\\rd")},
        {"a terminal's title", QStringLiteral("\x1b]0;owned\a"), QStringLiteral("\\x1b]0;owned\\x07")},
        {"DEL, C1 and a line separator", QStringLiteral("\x7f\u009b\u2028"), QStringLiteral("\\x7f\\x9b\\u2028")},
        // Written out, an escape's text stays apart from the character it stands for.
        {"backslashes", QStringLiteral("C:\\x1b\\t"), QStringLiteral("C:\\\\x1b\\\\t")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TsvField(c.text), c.field);
    }
}

TEST_F(HistoryCommands, UndoSaysWhatItTookAndRefusesWhatItCannot)
{
    struct Case {
        QString run;
        int status;
        QString out;
        QString err;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("1"), 0, QStringLiteral("取り込み 1 を取り消しました（取引 12 件）。\n"), QString()},
        {QStringLiteral("1"), 2, QString(), QStringLiteral("MoraImport: 取り込み 1 は取り消し済みです。\n")},
        {QStringLiteral("7"), 2, QString(), QStringLiteral("MoraImport: 取り込み 7 はありません。\n")},
        {QStringLiteral("x"), 2, QString(), QStringLiteral("MoraImport: 取り込み x はありません。\n")},
        // What was typed stays on the one line.
        {QStringLiteral("1\nMoraImport: \x1b[2J"), 2, QString(),
         QStringLiteral("MoraImport: 取り込み 1\\nMoraImport: \\x1b[2J はありません。\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.run.toStdString());
        out.str({});
        err.str({});
        EXPECT_EQ(Run(UndoImportRun, c.run), c.status);
        EXPECT_EQ(QString::fromStdString(out.str()), c.out);
        EXPECT_EQ(QString::fromStdString(err.str()), c.err);
    }
    EXPECT_EQ(data->undone, std::vector<int64_t>{1});
}

TEST_F(HistoryCommands, AnUnknownRunOrAnUnreadableLedgerExitsTwo)
{
    EXPECT_EQ(Rejects(QStringLiteral("5")), 2);
    EXPECT_EQ(QString::fromStdString(err.str()), QStringLiteral("MoraImport: 取り込み 5 はありません。\n"));
    data->unreadable = true;
    err.str({});
    EXPECT_EQ(WriteHistory(FakeHistory::factory(data), QString(), out, err), ExitStatus::Failed);
    EXPECT_EQ(QString::fromStdString(err.str()), QStringLiteral("MoraImport: 台帳がありません。\n"));
    EXPECT_TRUE(out.str().empty());
}

}  // namespace
