#include "ConsoleImport.h"

#include "ErrorReport.h"
#include "RecordingStore.h"
#include "RuntimeError.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

class ConsoleDesktopTest : public ::testing::Test {
protected:
    QString out() const { return QString::fromStdString(m_out.str()); }
    QString err() const { return QString::fromStdString(m_err.str()); }

    std::ostringstream m_out;
    std::ostringstream m_err;
    ConsoleDesktop desktop{m_out, m_err};
};

TEST_F(ConsoleDesktopTest, MessagesAreOneLineEachOnStandardErrorTitleFirst)
{
    desktop.MsgBox(QStringLiteral("選択されたファイルの書式が違います。"), 64, QStringLiteral("ファイルエラー"));
    ReportError(desktop, QStringLiteral("CLS-is1002"), RuntimeError(ERR_TYPE_MISMATCH));
    desktop.MsgBox(QStringLiteral("a\rb\nc"), 0, QString());

    EXPECT_EQ(err(), QStringLiteral("ファイルエラー: 選択されたファイルの書式が違います。\n"
                                    "MoraImport: CLS-is1002 型が一致しません。\n"
                                    "MoraImport: a b c\n"));
    EXPECT_EQ(out(), QString());
    EXPECT_EQ(desktop.ExitStatus(), 2);
}

TEST_F(ConsoleDesktopTest, TheTotalsGoAloneToStandardOutputAndSetTheExitStatus)
{
    desktop.MsgBox(QStringLiteral("全レコード 3 件中 3 件インポートしました。"), 64, QStringLiteral("インポート完了"));
    EXPECT_EQ(out(), QStringLiteral("全レコード 3 件中 3 件インポートしました。\n"));
    EXPECT_EQ(err(), QString());
    EXPECT_EQ(desktop.ExitStatus(), 0);

    std::ostringstream out;
    std::ostringstream err;
    ConsoleDesktop partly(out, err);
    partly.MsgBox(QStringLiteral("全レコード 32767 件中 0 件インポートしました。"), 64, QStringLiteral("インポート完了"));
    EXPECT_EQ(partly.ExitStatus(), 1);

    // Only the totals box counts, not a text that happens to look like it.
    ConsoleDesktop lookalike(out, err);
    lookalike.MsgBox(QStringLiteral("全レコード 1 件中 1 件インポートしました。"), 0, QString());
    EXPECT_EQ(lookalike.ExitStatus(), 2);
}

class RunConsoleImportTest : public ConsoleDesktopTest {
protected:
    ScratchDir scratch;
    std::shared_ptr<StoreLog> log = std::make_shared<StoreLog>();
};

TEST_F(RunConsoleImportTest, TheImportRunsOnlyForOneFileThatADropWouldTake)
{
    RunConsoleImport(desktop, {scratch.path(QStringLiteral("a.csv")), scratch.path(QStringLiteral("b.csv"))},
                     RecordingStore::factory(log));
    RunConsoleImport(desktop, {scratch.path(QStringLiteral("a.txt"))}, RecordingStore::factory(log));
    EXPECT_EQ(err(), QStringLiteral("ファイル選択エラー: 一度に複数のファイルを取り込むことは出来ません。\n"
                                    "ファイル選択エラー: CSVファイルを選択して下さい。\n"));
    EXPECT_EQ(log->storesMade, 0);
    EXPECT_EQ(desktop.ExitStatus(), 2);
}

TEST_F(RunConsoleImportTest, AStoreRefusalIsCountedInTheTotals)
{
    const QString path = scratch.writeUtf8(
        QStringLiteral("sales.csv"),
        QStringLiteral("日付,種別,メーカー,ふりがな,製品名,型式,仕様,数量,販売単価,ふりがな,販売先\n"
                       "2024/04/01,文具,北星,のーと,ノート,N-4,A4,10,120,きたやま,北山商店\n"
                       "2024/04/02,文具,北星,のーと,ノート,N-4,A4,5,120,,\n"));
    log->refuseInserts = {2};
    RunConsoleImport(desktop, {path}, RecordingStore::factory(log));
    EXPECT_EQ(out(), QStringLiteral("全レコード 2 件中 1 件インポートしました。\n"));
    EXPECT_EQ(err(), QString());
    EXPECT_EQ(desktop.ExitStatus(), 1);
    ASSERT_EQ(log->connections.size(), 1);
    EXPECT_TRUE(log->connections[0].endsWith(QStringLiteral("/Data/iOrvanta.mdb")));
}

}  // namespace
