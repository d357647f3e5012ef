#include "FakeHistory.h"
#include "RecordingDesktop.h"
#include "frmHistory.h"

#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class HistoryWindow : public ::testing::Test {
protected:
    HistoryWindow()
    {
        for (const int id : {3, 2}) {
            RunSummary run;
            run.lngRunId = id;
            run.dtmStarted = QDateTime(QDate(2026, 12, id), QTime(10, 30));
            run.strFilePath = QStringLiteral("/data/sales-%1.csv").arg(id);
            run.lngRead = 5;
            run.lngImported = id == 3 ? 4 : 5;
            run.lngTradesInLedger = run.lngImported;
            data->runs.push_back(run);
        }
        data->rejects[3] = RunRejects{QStringLiteral("日付"), {RejectedLine{4, QStringLiteral("x"), {}}}};
        window.SetSaveFileChooser([this](const QString& suggested) {
            suggestions << suggested;
            return saveTo;
        });
    }
    QTableWidget& grid() { return *window.findChild<QTableWidget*>(QStringLiteral("grdRuns")); }
    QPushButton& button(const char* name) { return *window.findChild<QPushButton*>(QString::fromLatin1(name)); }
    QStringList row(int r)
    {
        QStringList cells;
        for (int c = 0; c < grid().columnCount(); ++c)
            cells << grid().item(r, c)->text();
        return cells;
    }

    std::shared_ptr<FakeHistoryData> data = std::make_shared<FakeHistoryData>();
    RecordingDesktop desktop;
    frmHistory window{desktop, FakeHistory::factory(data), QString()};
    QStringList suggestions;
    QString saveTo;
};

TEST_F(HistoryWindow, ListsTheRunsNewestFirstAndUndoesOnlyAfterYes)
{
    ASSERT_TRUE(window.Reload());
    EXPECT_EQ(grid().horizontalHeaderItem(0)->text(), QStringLiteral("番号"));
    EXPECT_EQ(row(0), (QStringList{"3", "2026/12/03 10:30", "sales-3.csv", "販売", "5", "4", "取込済"}));
    EXPECT_EQ(row(1).mid(0, 3), (QStringList{"2", "2026/12/02 10:30", "sales-2.csv"}));
    ASSERT_TRUE(button("cmdUndo").isEnabled());

    desktop.answer = IDNO;
    button("cmdUndo").click();
    EXPECT_TRUE(data->undone.empty());
    EXPECT_EQ(desktop.messages.back().prompt, QStringLiteral("取り込み 3（sales-3.csv）の取引 4 件を取り消しますか？"));

    desktop.answer = IDYES;
    button("cmdUndo").click();
    EXPECT_EQ(data->undone, std::vector<int64_t>{3});
    EXPECT_EQ(desktop.messages.back().prompt, QStringLiteral("取り込み 3 を取り消しました（取引 4 件）。"));
    // Read again: the run stays, undone, and cannot be undone twice.
    EXPECT_EQ(row(0)[6], QStringLiteral("取消済"));
    EXPECT_FALSE(button("cmdUndo").isEnabled());
}

TEST_F(HistoryWindow, SavesTheRefusedLinesWhereTheClerkChooses)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(window.Reload());
    saveTo = dir.filePath(QStringLiteral("fix.csv"));
    button("cmdSaveRejects").click();
    EXPECT_EQ(suggestions, QStringList{QStringLiteral("/data/sales-3-取り込めなかった行.csv")});
    QFile saved(saveTo);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("\xEF\xBB\xBF日付\r\nx\r\n"));
    // The clerk is told where the file went.
    EXPECT_EQ(desktop.prompts(), QStringList{QStringLiteral("取り込み 3 の取り込めなかった行 1 行を保存しました。\r\n") + saveTo});

    // Nothing is said of a save the clerk cancelled.
    saveTo.clear();
    button("cmdSaveRejects").click();
    EXPECT_EQ(desktop.messages.size(), 1u);

    // A run that refused nothing has nothing to save.
    grid().selectRow(1);
    EXPECT_FALSE(button("cmdSaveRejects").isEnabled());
}

TEST_F(HistoryWindow, AnUnreadableLedgerIsToldAndTheWindowDoesNotOpen)
{
    data->unreadable = true;
    EXPECT_FALSE(window.Reload());
    EXPECT_EQ(desktop.prompts(), QStringList{QStringLiteral("台帳がありません。")});
}

}  // namespace
