#include "WindowFixture.h"

#include <QAction>

#include <QFontInfo>
#include <QFontMetrics>
#include <QIcon>

namespace {

using DesignTest = WindowTest;

TEST_F(DesignTest, WindowHasTheDesignedFixedFrame)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Dorvik"));
    EXPECT_EQ(window->size(), QSize(437, 163));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(window->windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    EXPECT_FALSE(window->windowIcon().pixmap(32, 32).toImage().isNull());
}

TEST_F(DesignTest, ControlsStandWhereDesignedWithLabelsEmptiedAtLoad)
{
    EXPECT_EQ(cmdClose().geometry(), QRect(8, 120, 101, 33));
    EXPECT_EQ(cmdExec().geometry(), QRect(328, 120, 101, 33));
    EXPECT_EQ(lblInformation().geometry(), QRect(120, 124, 197, 25));
    EXPECT_EQ(lblFileName().geometry(), QRect(16, 84, 409, 25));
    EXPECT_EQ(lblItem().geometry(), QRect(16, 24, 409, 61));

    EXPECT_EQ(cmdClose().text(), QStringLiteral("閉じる"));
    EXPECT_EQ(cmdExec().text(), QStringLiteral("インポート"));
    EXPECT_EQ(lblItem().text(),
              QStringLiteral("インポートするファイルをここにドラッグアンドドロップして下さい。"));
    EXPECT_EQ(lblFileName().text(), QString());
    EXPECT_EQ(lblInformation().text(), QString());
    EXPECT_TRUE(desktop.messages.empty());

    EXPECT_TRUE(lblFileName().alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(lblInformation().alignment() & Qt::AlignHCenter);
    EXPECT_FALSE(lblFileName().font().bold());
}

TEST_F(DesignTest, DropLabelIsOrangeBoldWrappedJapaneseGothic)
{
    QLabel& label = lblItem();
    EXPECT_EQ(label.palette().color(label.backgroundRole()), QColor(255, 224, 192));
    EXPECT_TRUE(label.autoFillBackground());
    EXPECT_TRUE(label.wordWrap());
    EXPECT_TRUE(label.alignment() & Qt::AlignLeft);
    EXPECT_TRUE(label.font().bold());
    EXPECT_DOUBLE_EQ(label.font().pointSizeF(), 9.75);
    EXPECT_EQ(label.font().families().value(0), QStringLiteral("ＭＳ Ｐゴシック"));

    // Whatever face stands in must carry the Japanese glyphs itself.
    const QFontInfo used(label.font());
    EXPECT_TRUE(used.family() == QStringLiteral("IPAPGothic")
                || used.family().startsWith(QStringLiteral("Noto Sans CJK")))
        << used.family().toStdString();
    const QFontMetrics metrics(label.font());
    for (const QChar c : label.text())
        EXPECT_TRUE(metrics.inFont(c)) << int(c.unicode());
    for (const QChar c : QStringLiteral("閉じるインポート中です・"))
        EXPECT_TRUE(QFontMetrics(window->font()).inFont(c)) << int(c.unicode());
}

TEST_F(DesignTest, FocusStartsOnCloseAndTabsBetweenTheTwoButtonsOnly)
{
    EXPECT_EQ(window->focusWidget(), &cmdClose());
    EXPECT_EQ(cmdClose().nextInFocusChain(), &cmdExec());
    for (QLabel* label : {&lblItem(), &lblFileName(), &lblInformation()})
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus) << label->objectName().toStdString();
    for (QPushButton* button : {&cmdClose(), &cmdExec()}) {
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
    }
}

TEST_F(DesignTest, OnlyTheDropLabelTakesDropsAndItOffersACopy)
{
    EXPECT_TRUE(lblItem().acceptDrops());
    EXPECT_FALSE(window->acceptDrops());
    for (QWidget* other : std::initializer_list<QWidget*>{&lblFileName(), &lblInformation(), &cmdExec(), &cmdClose()})
        EXPECT_FALSE(other->acceptDrops()) << other->objectName().toStdString();

    const DropResult result = dropPath(files.filePath(QStringLiteral("a.csv")));
    EXPECT_TRUE(result.enterAccepted);
    EXPECT_TRUE(result.dropAccepted);
    EXPECT_EQ(result.action, Qt::CopyAction);

    // Whatever is dragged gets the platform's feedback; the drop rule judges it.
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    EXPECT_TRUE(SendDrop(lblItem(), text).enterAccepted);
}

// What the designed layout has no room for opens from the context menu.
TEST_F(DesignTest, TheContextMenuOpensTheLookBeforeAnImportTheHistoryAndTheLedgerPlace)
{
    EXPECT_EQ(window->contextMenuPolicy(), Qt::ActionsContextMenu);
    QStringList entries;
    for (const QAction* action : window->actions())
        entries << action->text();
    EXPECT_EQ(entries, (QStringList{QStringLiteral("取り込み前の確認…"), QStringLiteral("取り込み履歴…"),
                                    QStringLiteral("台帳の場所…")}));
}

}  // namespace
