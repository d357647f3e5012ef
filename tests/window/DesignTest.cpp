#include "WindowFixture.h"

#include <QAction>

#include <QFontInfo>
#include <QFontMetrics>
#include <QIcon>
#include <QTest>

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

    // The designed texts, each with its mnemonic after it.
    EXPECT_EQ(cmdClose().text(), QStringLiteral("閉じる(&C)"));
    EXPECT_EQ(cmdExec().text(), QStringLiteral("インポート(&I)"));
    EXPECT_EQ(lblItem().text(), QStringLiteral("インポートするファイルをここにドラッグアンドドロップして下さい。"));
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

// Return imports: インポート is the default button and has the focus at start.
TEST_F(DesignTest, FocusStartsOnImportTheDefaultAndTabsBetweenTheTwoButtonsOnly)
{
    EXPECT_EQ(window->focusWidget(), &cmdExec());
    EXPECT_TRUE(cmdExec().isDefault());
    EXPECT_FALSE(cmdClose().isDefault());
    EXPECT_EQ(cmdClose().nextInFocusChain(), &cmdExec());
    for (QLabel* label : {&lblItem(), &lblFileName(), &lblInformation()})
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus) << label->objectName().toStdString();
}

TEST_F(DesignTest, EveryCommandIsReachedFromTheKeyboard)
{
    struct Case {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* leadsTo;  // "import", "choose" or "close"
    };
    const Case cases[] = {
        {"Return", Qt::Key_Return, Qt::NoModifier, "import"},
        {"Alt+I", Qt::Key_I, Qt::AltModifier, "import"},
        {"Ctrl+O", Qt::Key_O, Qt::ControlModifier, "choose"},
        {"Alt+C", Qt::Key_C, Qt::AltModifier, "close"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingDesktop seen;
        frmMain form(seen, RecordingStore::factory(log));
        int chosen = 0;
        form.SetFileChooser([&chosen](QWidget*, const QString&) {
            ++chosen;
            return QString();
        });
        form.show();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(form.focusWidget(), c.key, c.modifiers);
        // A mnemonic presses its button as a click seen, a moment later.
        QTest::qWait(250);
        const QString leadsTo = QString::fromLatin1(c.leadsTo);
        EXPECT_EQ(seen.prompts(),
                  leadsTo == "import" ? QStringList{QStringLiteral("ファイルが選択されていません。")} : QStringList());
        EXPECT_EQ(chosen, leadsTo == "choose" ? 1 : 0);
        EXPECT_EQ(form.isVisible(), leadsTo != "close");
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

// What the designed layout has no room for opens from the context menu,
// each entry with its mnemonic; the ledger's place names the ledger in use.
TEST_F(DesignTest, TheContextMenuOpensAFileTheLookTheHistoryAndTheLedgerPlace)
{
    EXPECT_EQ(window->contextMenuPolicy(), Qt::ActionsContextMenu);
    const auto entries = [&] {
        QStringList texts;
        for (const QAction* action : window->actions()) {
            if (action->isVisible())
                texts << action->text()
                             + (action->shortcut().isEmpty() ? QString() : u' ' + action->shortcut().toString());
        }
        return texts;
    };
    EXPECT_EQ(entries(),
              (QStringList{QStringLiteral("ファイルを開く…(&O) Ctrl+O"), QStringLiteral("取り込み前の確認…(&K)"),
                           QStringLiteral("取り込み履歴…(&H)"), QStringLiteral("台帳の場所…(&L)")}));
    // The pattern dialog, where patterns can be kept.
    window->SetLedgerPatterns([](const QString&, bool) -> std::unique_ptr<clsLedgerPatterns> { return nullptr; });
    EXPECT_EQ(entries().value(2), QStringLiteral("取込パターン…(&P)"));
    window->SetLedgerPatterns({});
    EXPECT_EQ(window->toolTip(), QString());

    struct Case {
        LedgerInUse ledger;
    };
    const Case cases[] = {
        {{false, QStringLiteral("このコンピューター"),
          QStringLiteral("このコンピューター（/home/clerk/Data/iOrvanta.mdb）"), QStringLiteral("/home/clerk/Data")}},
        {{true, QStringLiteral("サーバー ledger.example の orvanta"),
          QStringLiteral("サーバー ledger.example のデータベース orvanta（スキーマ public）"), QString()}},
    };
    for (const Case& c : cases) {
        window->SetLedgerInUse([&c] { return c.ledger; });
        EXPECT_EQ(window->toolTip(), QStringLiteral("台帳: ") + c.ledger.strFull);
        EXPECT_EQ(entries().back(), QStringLiteral("台帳の場所…(&L)\t") + c.ledger.strShort);
    }
}

}  // namespace
