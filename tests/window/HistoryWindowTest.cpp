#include "FakeHistory.h"
#include "RecordingDesktop.h"
#include "frmHistory.h"
#include "frmRunDetail.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The cells of a table, row by row.
std::vector<QStringList> Rows(const QTableWidget& grid)
{
    std::vector<QStringList> rows;
    for (int r = 0; r < grid.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid.columnCount(); ++c)
            cells << grid.item(r, c)->text();
        rows.push_back(cells);
    }
    return rows;
}

class HistoryWindow : public ::testing::Test {
protected:
    HistoryWindow()
    {
        for (const int id : {3, 2}) {
            RunSummary run;
            run.lngRunId = id;
            run.dtmStarted = QDateTime(QDate(2026, 12, id), QTime(10, 30));
            run.dtmEnded = QDateTime(QDate(2026, 12, id), QTime(10, 31));
            run.strFilePath = QStringLiteral("/data/sales-%1.csv").arg(id);
            run.lngRead = 5;
            run.lngImported = id == 3 ? 2 : 3;
            run.lngSkipped = 2;
            run.lngRefused = id == 3 ? 1 : 0;
            run.strUser = QStringLiteral("clerk");
            run.strHost = QStringLiteral("desk%1").arg(id);
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
    QStringList row(int r) { return Rows(grid()).at(std::size_t(r)); }

    // Opens the chosen run's detail as the clerk does, and reads it while it shows.
    struct SeenDetail {
        QString title;
        QString summary;
        QStringList tabs;
        std::vector<std::vector<QStringList>> tables;
        bool canSave = false;
    };
    SeenDetail openDetail(const std::function<void()>& open)
    {
        SeenDetail seen;
        // Until it shows: the clicks before it let the event loop run too.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* detail = qobject_cast<frmRunDetail*>(QApplication::activeModalWidget());
            if (!detail)
                return;
            poll.stop();
            seen.title = detail->windowTitle();
            seen.summary = detail->findChild<QLabel*>(QStringLiteral("lblSummary"))->text();
            const auto* tabs = detail->findChild<QTabWidget*>(QStringLiteral("tabLines"));
            for (int tab = 0; tab < tabs->count(); ++tab) {
                seen.tabs << tabs->tabText(tab);
                seen.tables.push_back(Rows(*static_cast<QTableWidget*>(tabs->widget(tab))));
            }
            seen.canSave = detail->findChild<QPushButton*>(QStringLiteral("cmdSaveRejects"))->isEnabled();
            QTest::keyClick(detail, Qt::Key_Escape);
        });
        poll.start(0);
        open();
        return seen;
    }

    std::shared_ptr<FakeHistoryData> data = std::make_shared<FakeHistoryData>();
    RecordingDesktop desktop;
    frmHistory window{desktop, FakeHistory::factory(data), QString()};
    QStringList suggestions;
    QString saveTo;
};

TEST_F(HistoryWindow, ListsEachRunsCountsWhoAndStateNewestFirstUnderTheLedgersName)
{
    window.SetLedgerName(QStringLiteral("サーバー ledger.example のデータベース orvanta（スキーマ public）"));
    ASSERT_TRUE(window.Reload());
    EXPECT_EQ(window.windowTitle(),
              QStringLiteral("取り込み履歴 — サーバー ledger.example のデータベース orvanta（スキーマ public）"));
    QStringList headers;
    for (int c = 0; c < grid().columnCount(); ++c)
        headers << grid().horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, (QStringList{"番号", "日時", "ファイル", "種類", "読込", "取込", "台帳にあり", "取込不可",
                                    "実行者", "状態"}));
    EXPECT_EQ(row(0), (QStringList{"3", "2026/12/03 10:30", "sales-3.csv", "販売", "5", "2", "2", "1", "clerk（desk3）",
                                   "取込済"}));
    EXPECT_EQ(row(1).mid(0, 3), (QStringList{"2", "2026/12/02 10:30", "sales-2.csv"}));
    EXPECT_FALSE(grid().item(0, 0)->font().italic());

    // An undone run stays, greyed and slanted.
    data->runs[0].blnUndone = true;
    ASSERT_TRUE(window.Reload());
    EXPECT_EQ(row(0).back(), QStringLiteral("取消済"));
    EXPECT_TRUE(grid().item(0, 0)->font().italic());
    EXPECT_NE(grid().item(0, 0)->foreground().color(), grid().item(1, 0)->foreground().color());
}

// The undo asks with what it would take out, and is refused before the
// question where a later run relies on it.
TEST_F(HistoryWindow, AnUndoAsksWithTheNumbersItWouldTakeOutAndUndoesOnlyAfterYes)
{
    using Outcome = clsLedgerHistory::UndoOutcome;
    clsLedgerHistory::UndoResult preview;
    preview.outcome = Outcome::Undone;
    preview.lngTradesRemoved = 2;
    preview.lngProductsRemoved = 2;
    preview.lngCustomersRemoved = 1;
    data->previews[3] = preview;
    ASSERT_TRUE(window.Reload());
    ASSERT_TRUE(button("cmdUndo").isEnabled());

    // From the keyboard: Return presses the focused button, not the default 詳細….
    desktop.answer = IDNO;
    window.show();
    button("cmdUndo").setFocus();
    bool detailOpened = false;
    QTimer guard;  // a detail opened instead would hold the test
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            detailOpened = true;
            modal->close();
        }
    });
    guard.start(50);
    QTest::keyClick(&button("cmdUndo"), Qt::Key_Return);
    guard.stop();
    EXPECT_FALSE(detailOpened);
    EXPECT_TRUE(data->undone.empty());
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].prompt, QStringLiteral("取り込み 3（sales-3.csv）の取引 2 件を取り消しますか？"));
    EXPECT_EQ(desktop.messages[0].informative,
              QStringLiteral("この取り込みだけが使っている製品 2 件、販売先 1 件も台帳から消えます。"));
    EXPECT_EQ(desktop.messages[0].flags, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);

    desktop.answer = IDYES;
    button("cmdUndo").click();
    EXPECT_EQ(data->undone, std::vector<int64_t>{3});
    EXPECT_EQ(desktop.messages.back().prompt, QStringLiteral("取り込み 3 を取り消しました（取引 2 件）。"));
    // Read again: the run stays, undone, and cannot be undone twice.
    EXPECT_EQ(row(0).back(), QStringLiteral("取消済"));
    EXPECT_FALSE(button("cmdUndo").isEnabled());

    desktop.messages.clear();
    grid().selectRow(1);
    preview.outcome = Outcome::ReliedOn;
    preview.relyingRuns = {{5, 6}};
    data->previews[2] = preview;
    button("cmdUndo").click();
    EXPECT_EQ(desktop.prompts(),
              QStringList{QStringLiteral("取り込み 5 がこの取り込みの取引 6 件を取り込み済みとして数えています。"
                                         "先に取り込み 5 を取り消してください。")});
    EXPECT_EQ(data->undone, std::vector<int64_t>{3});
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
    EXPECT_EQ(desktop.prompts(),
              QStringList{QStringLiteral("取り込み 3 の取り込めなかった行 1 行を保存しました。\r\n") + saveTo});

    // Nothing is said of a save the clerk cancelled.
    saveTo.clear();
    button("cmdSaveRejects").click();
    EXPECT_EQ(desktop.messages.size(), 1u);

    // A run that refused nothing has nothing to save, its lines left out as in the ledger neither.
    grid().selectRow(1);
    EXPECT_FALSE(button("cmdSaveRejects").isEnabled());
}

// A run's story: each refused line with every reason and value, each line
// left out with the trade it matched, the names added and those matched.
TEST_F(HistoryWindow, ADoubleClickOrReturnOpensTheRunsDetail)
{
    RunDetail detail;
    data->rejects[3] = {QStringLiteral("日付"),
                        {RejectedLine{4,
                                      QStringLiteral("x"),
                                      {LineReason{QStringLiteral("CLS-is1002"), QStringLiteral("型が一致しません。"),
                                                  QStringLiteral("日付"), QStringLiteral("2024/13/5")},
                                       LineReason{QString(), QStringLiteral("製品名がありません。"), {}, {}}}}}};
    detail.skipped = {{2, {1, 40, QDateTime(QDate(2026, 12, 1), QTime(9, 0))}}, {5, {0, 0, {}}}};
    detail.addedNames = {{QStringLiteral("products"), QStringLiteral("ノート A4"), {}},
                         {QStringLiteral("customers"), QStringLiteral("北山商店"), {}}};
    detail.matchedNames = {{QStringLiteral("customers"), QStringLiteral("ＡＢＣ商事"), QStringLiteral("ABC商事")}};
    data->details[3] = detail;
    ASSERT_TRUE(window.Reload());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const QRect cell = grid().visualItemRect(grid().item(0, 2));
    // A real double-click begins with a click, which QTest's leaves out.
    const SeenDetail seen = openDetail([&] {
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid().viewport(), Qt::LeftButton, {}, cell.center());
    });
    EXPECT_EQ(seen.title, QStringLiteral("取り込み 3 の詳細"));
    EXPECT_EQ(seen.summary,
              QStringLiteral("ファイル: /data/sales-3.csv\n"
                             "日時: 2026/12/03 10:30:00 ～ 2026/12/03 10:31:00　種類: 販売　実行者: clerk（desk3）\n"
                             "全レコード 5 件: 取込 2 件、台帳にあり 2 件、取込不可 1 件\n"
                             "状態: 取込済"));
    EXPECT_EQ(seen.tabs, (QStringList{"取り込めなかった行 1 行(&R)", "台帳にあった行 2 行(&L)", "追加した名前 2 件(&A)",
                                      "表記を合わせた名前 1 件(&M)"}));
    ASSERT_EQ(seen.tables.size(), 4u);
    EXPECT_EQ(seen.tables[0], (std::vector<QStringList>{{"4", "日付", "2024/13/5", "CLS-is1002 型が一致しません。"},
                                                        {"4", "", "", "製品名がありません。"}}));
    EXPECT_EQ(seen.tables[1].size(), 2u);
    EXPECT_EQ(seen.tables[1][0], (QStringList{"2", "取り込み 1 の 40 行目"}));
    EXPECT_EQ(seen.tables[2], (std::vector<QStringList>{{"製品", "ノート A4"}, {"販売先", "北山商店"}}));
    EXPECT_EQ(seen.tables[3], (std::vector<QStringList>{{"販売先", "ＡＢＣ商事", "ABC商事"}}));
    EXPECT_TRUE(seen.canSave);

    // From the keyboard: Return on the chosen run.
    grid().selectRow(1);
    grid().setFocus();
    const SeenDetail second = openDetail([&] { QTest::keyClick(&grid(), Qt::Key_Return); });
    EXPECT_EQ(second.title, QStringLiteral("取り込み 2 の詳細"));
    EXPECT_FALSE(second.canSave);
}

TEST_F(HistoryWindow, AnUnreadableLedgerIsToldAndTheWindowDoesNotOpen)
{
    data->unreadable = true;
    EXPECT_FALSE(window.Reload());
    EXPECT_EQ(desktop.prompts(), QStringList{QStringLiteral("台帳がありません。")});
}

}  // namespace
