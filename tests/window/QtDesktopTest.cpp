#include "QtDesktop.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// What a message box looked like while it was up.
struct SeenBox {
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    bool onTop = false;
    bool modal = false;
};

// Shows a box through the desktop and closes it from inside its own loop.
SeenBox ShowBox(QtDesktop& desktop, const QString& prompt, int flags, const QString& title)
{
    SeenBox seen;
    QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = {true, box->windowTitle(), box->text(), box->icon(), box->textFormat(),
                bool(box->windowFlags() & Qt::WindowStaysOnTopHint), box->isModal()};
        box->accept();
    });
    desktop.MsgBox(prompt, flags, title);
    return seen;
}

Qt::CursorShape OverrideShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::BitmapCursor;  // BitmapCursor: no override
}

TEST(QtDesktopTest, MessageBoxesFollowTheFlags)
{
    QtDesktop desktop;

    const SeenBox refusal = ShowBox(desktop, QStringLiteral("CSVファイルを選択して下さい。"), 4160,
                                    QStringLiteral("ファイル選択エラー"));
    ASSERT_TRUE(refusal.shown);
    EXPECT_EQ(refusal.title, QStringLiteral("ファイル選択エラー"));
    EXPECT_EQ(refusal.icon, QMessageBox::Information);
    EXPECT_TRUE(refusal.onTop);
    EXPECT_TRUE(refusal.modal);

    const SeenBox info = ShowBox(desktop, QStringLiteral("ファイルが選択されていません。"), 64,
                                 QStringLiteral("インポートエラー"));
    ASSERT_TRUE(info.shown);
    EXPECT_EQ(info.icon, QMessageBox::Information);
    EXPECT_FALSE(info.onTop);

    // The error report: no icon, the application's title, CR LF as a line break,
    // and a description that must not be read as markup.
    const SeenBox report = ShowBox(desktop, QStringLiteral("FM-man1001\r\n<b>a & b</b>"), 0, QString());
    ASSERT_TRUE(report.shown);
    EXPECT_EQ(report.title, QStringLiteral("MoraImport"));
    EXPECT_EQ(report.icon, QMessageBox::NoIcon);
    EXPECT_EQ(report.text, QStringLiteral("FM-man1001\n<b>a & b</b>"));
    EXPECT_EQ(report.format, Qt::PlainText);
}

TEST(QtDesktopTest, TheDefaultPointerUndoesEveryBusyPointer)
{
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        QtDesktop desktop;
        desktop.SetMousePointer(POINTER_HOURGLASS);
        desktop.SetMousePointer(POINTER_HOURGLASS);
        desktop.SetMousePointer(POINTER_HOURGLASS);
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
        desktop.SetMousePointer(POINTER_DEFAULT);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

        // A default pointer with nothing set leaves others' overrides alone.
        QGuiApplication::setOverrideCursor(Qt::CrossCursor);
        desktop.SetMousePointer(POINTER_DEFAULT);
        EXPECT_EQ(OverrideShape(), Qt::CrossCursor);
        QGuiApplication::restoreOverrideCursor();

        desktop.SetMousePointer(POINTER_HOURGLASS);
    }
    // The desktop gives the pointer back when it goes.
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(QtDesktopTest, DoEventsRunsWhatIsPending)
{
    QtDesktop desktop;
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    desktop.DoEvents();
    EXPECT_TRUE(ran);
}

}  // namespace
