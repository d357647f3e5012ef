#include "frmCheck.h"

#include "QtPrinters.h"

#include <QLabel>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {

TEST(CheckWindowTest, ASummaryAboveOneRowPerLineWithItsOutcomeInJapanese)
{
    using Outcome = LineCheck::Outcome;
    const std::vector<LineCheck> checks = {
        {2, Outcome::New, QStringLiteral("新しい製品「X」")},
        {3, Outcome::InLedger, QStringLiteral("取り込み 3 の 40 行目")},
        {4, Outcome::Refused, QStringLiteral("<b>日付</b>「2024/13/5」: 型が一致しません。")},
        {12, Outcome::New, QString()},
    };
    const frmCheck window(checks);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("取り込み前の確認"));
    EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("lblSummary"))->text(),
              QStringLiteral("全レコード 4 件: 新しい行 2 件、取り込み済み 1 件、取り込めない行 1 件"));
    const auto* grid = window.findChild<QTableWidget*>(QStringLiteral("grdLines"));
    ASSERT_EQ(grid->rowCount(), 4);
    QStringList rows;
    for (int row = 0; row < grid->rowCount(); ++row)
        rows << QStringList{grid->item(row, 0)->text(), grid->item(row, 1)->text(), grid->item(row, 2)->text()}.join(u'|');
    EXPECT_EQ(rows, (QStringList{"2|新しい|新しい製品「X」", "3|取り込み済み|取り込み 3 の 40 行目",
                                 "4|取り込めない|<b>日付</b>「2024/13/5」: 型が一致しません。", "12|新しい|"}));
    // A name from the file shows as written, also where the cell is too narrow for it.
    EXPECT_TRUE(grid->item(2, 2)->toolTip().contains(QStringLiteral("&lt;b&gt;日付")));
}

}  // namespace
