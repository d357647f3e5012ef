#include "QtDesktop.h"
#include "Appearance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRawFont>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

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
    QImage windowIcon;
    QFont textFont;
    QFont buttonFont;
};

QImage IconImage(const QIcon& icon) { return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32); }

// Shows a box through the desktop and closes it from inside its own loop.
SeenBox ShowBox(QtDesktop& desktop, const QString& prompt, int flags, const QString& title)
{
    SeenBox seen;
    QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = {true,
                box->windowTitle(),
                box->text(),
                box->icon(),
                box->textFormat(),
                bool(box->windowFlags() & Qt::WindowStaysOnTopHint),
                box->isModal(),
                IconImage(box->windowIcon()),
                {},
                {}};
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == box->text())
                seen.textFont = label->font();
        }
        if (QAbstractButton* ok = box->button(QMessageBox::Ok))
            seen.buttonFont = ok->font();
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

    const SeenBox refusal =
        ShowBox(desktop, QStringLiteral("CSVファイルを選択して下さい。"), 4160, QStringLiteral("ファイル選択エラー"));
    ASSERT_TRUE(refusal.shown);
    EXPECT_EQ(refusal.title, QStringLiteral("ファイル選択エラー"));
    EXPECT_EQ(refusal.icon, QMessageBox::Information);
    EXPECT_TRUE(refusal.onTop);
    EXPECT_TRUE(refusal.modal);

    const SeenBox info =
        ShowBox(desktop, QStringLiteral("ファイルが選択されていません。"), 64, QStringLiteral("インポートエラー"));
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

// A question's buttons, its default and its Escape, and what each answers.
TEST(QtDesktopTest, AQuestionGivesTheButtonPressedAndEscapeTheLeastAnswer)
{
    struct Case {
        int flags;
        QString press;  // a key, the title bar's close, or a button's text
        int answer;
    };
    const Case cases[] = {
        {MB_YESNO, "Escape", IDNO},
        {MB_YESNOCANCEL, "Return", IDYES},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, "Return", IDNO},
        {MB_YESNOCANCEL, "Escape", IDCANCEL},
        {MB_YESNOCANCEL, "close", IDCANCEL},
        {MB_YESNOCANCEL, "いいえ(&N)", IDNO},
    };
    QtDesktop desktop;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << " " << c.press.toStdString());
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            QAbstractButton* pressed = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                buttons << button->text();
                pressed = button->text() == c.press ? button : pressed;
            }
            if (pressed)
                pressed->click();
            else if (c.press == "close")
                box->close();
            else
                QTest::keyClick(box, c.press == "Return" ? Qt::Key_Return : Qt::Key_Escape);
        });
        EXPECT_EQ(desktop.MsgBox(QStringLiteral("取り込みますか？"), c.flags | MB_ICONQUESTION, QString()), c.answer);
        buttons.sort();
        EXPECT_EQ(buttons.join(u' '), c.flags & MB_YESNO ? "いいえ(&N) はい(&Y)" : "いいえ(&N) はい(&Y) キャンセル");
    }
}

// Each button says what it does; Return takes the default, Escape and the
// title bar's close the choice that does the least.
TEST(QtDesktopTest, AQuestionsButtonsNameTheirChoicesInOrder)
{
    const Question question{QStringLiteral("新しい 1 行だけ取り込みますか？"),
                            QStringLiteral("インポート確認"),
                            {{QStringLiteral("新しい行だけ取り込む"), ChoiceLeadsTo::NewLinesOnly},
                             {QStringLiteral("すべて取り込む"), ChoiceLeadsTo::EveryLine},
                             {QStringLiteral("キャンセル"), ChoiceLeadsTo::Nothing}},
                            0,
                            2};
    const std::pair<QString, int> cases[] = {
        {"Return", 0}, {"Escape", 2}, {"close", 2}, {"すべて取り込む(&2)", 1}, {"新しい行だけ取り込む(&1)", 0},
    };
    QtDesktop desktop;
    for (const auto& [press, answer] : cases) {
        SCOPED_TRACE(press.toStdString());
        QStringList buttons;
        QString title;
        QTimer::singleShot(0, [&, press = press] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            title = box->windowTitle();
            QAbstractButton* pressed = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                buttons << button->text();
                pressed = button->text() == press ? button : pressed;
            }
            if (pressed)
                pressed->click();
            else if (press == "close")
                box->close();
            else
                QTest::keyClick(box, press == "Return" ? Qt::Key_Return : Qt::Key_Escape);
        });
        EXPECT_EQ(desktop.Ask(question), answer);
        EXPECT_EQ(buttons, QStringList({"新しい行だけ取り込む(&1)", "すべて取り込む(&2)", "キャンセル(&3)"}));
        EXPECT_EQ(title, QStringLiteral("インポート確認"));
    }
}

// A line report keeps its prompt and says where beneath it; its title,
// the program's name, shows whole.
TEST(QtDesktopTest, ALineReportSaysBeneathItsPromptWhereTheLineIs)
{
    struct Case {
        LineReportPlace place;
        QString informative;
    };
    const QString file = QStringLiteral("/data/仕入.csv");
    const Case cases[] = {
        {{file, 5, QStringLiteral("日付"), QStringLiteral("2024/13/5"), {}},
         QStringLiteral("5 行目　日付「2024/13/5」")},
        {{file, 12, QStringLiteral("数量"), QString(), {}}, QStringLiteral("12 行目　数量「」")},
        {{file, 30001, QString(), QString(), {}}, QStringLiteral("30001 行目")},
        {{file, 7, QStringLiteral("数量"), QString(), QStringLiteral("「売上」シート")},
         QStringLiteral("「売上」シート 7 行目　数量「」")},
    };
    QtDesktop desktop;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.informative.toStdString());
        QString text, informative, title;
        int width = 0;
        QFont font;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            text = box->text();
            informative = box->informativeText();
            title = box->windowTitle();
            width = box->width();
            font = box->font();
            box->accept();
        });
        desktop.LineReport(QStringLiteral("CLS-is1002\r\n型が一致しません。"), c.place);
        EXPECT_EQ(text, QStringLiteral("CLS-is1002\n型が一致しません。"));
        EXPECT_EQ(informative, c.informative);
        EXPECT_EQ(title, QStringLiteral("MoraImport"));
        font.setBold(true);
        EXPECT_GE(width, QFontMetrics(font).horizontalAdvance(title) + QtDesktop::kTitleBarRoom);
    }
}

// A server's own words go beneath, among the details; the ledger's note
// beneath every box of a server's import but a line's report.
TEST(QtDesktopTest, AServersWordsGoToTheDetailsAndTheLedgerNoteBeneathThePrompt)
{
    struct Case {
        const char* what;
        QString prompt;
        QString note;
        bool lineReport;
        QString text, informative, details;
    };
    const QString plain = QStringLiteral("台帳サーバーのパスワードが違います。台帳の場所で確かめてください。");
    const QString words = QStringLiteral("サーバーの応答: FATAL: password authentication failed for user \"clerk\"");
    const QString note = QStringLiteral("台帳: サーバー ledger.example のデータベース orvanta（スキーマ public）");
    const Case cases[] = {
        {"server words", QStringLiteral("CLS-is1005\r\n") + plain + u'\n' + words, QString(), false,
         QStringLiteral("CLS-is1005\n") + plain, QString(), words},
        {"none", plain, QString(), false, plain, QString(), QString()},
        {"a note", plain, note, false, plain, note, QString()},
        {"a line's report", QStringLiteral("CLS-is1002\r\n型が一致しません。"), note, true,
         QStringLiteral("CLS-is1002\n型が一致しません。"), QStringLiteral("5 行目"), QString()},
    };
    QtDesktop desktop;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString text, informative, details;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            text = box->text();
            informative = box->informativeText();
            details = box->detailedText();
            box->accept();
        });
        desktop.SetLedgerNote(c.note);
        if (c.lineReport)
            desktop.LineReport(c.prompt, {QStringLiteral("/data/a.csv"), 5, {}, {}, {}});
        else
            desktop.MsgBox(c.prompt, MB_ICONINFORMATION, QString());
        desktop.SetLedgerNote(QString());
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(informative, c.informative);
        EXPECT_EQ(details, c.details);
    }
}

// A password typed for a server never shows on the screen.
TEST(QtDesktopTest, APasswordIsAskedInAFieldThatHidesIt)
{
    QtDesktop desktop;
    for (const bool ok : {true, false}) {
        SCOPED_TRACE(ok);
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("txtPassword"));
            echo = field->echoMode();
            QTest::keyClicks(field, QStringLiteral("s3cret"));
            QTest::keyClick(field, ok ? Qt::Key_Return : Qt::Key_Escape);
        });
        const std::optional<QString> typed = desktop.AskPassword(QStringLiteral("パスワードを入力してください。"),
                                                                 QStringLiteral("台帳サーバーのパスワード"));
        EXPECT_EQ(echo, QLineEdit::Password);
        EXPECT_EQ(typed, ok ? std::optional<QString>(QStringLiteral("s3cret")) : std::nullopt);
    }
}

// The totals box lists refused lines one to a row, 15 rows at a time.
TEST(QtDesktopTest, TheDetailsAreaShowsALongRefusedLineUnwrappedFifteenLinesAtATime)
{
    // Two reasons of one line, as the run joins them: 60 characters, 29 of them wide.
    const QString line =
        QStringLiteral("12345 行目: 日付「2024/13/1」: 型が一致しません。 / 単価「12,000円」: 型が一致しません。 ");
    ASSERT_EQ(line.size(), QtDesktop::kDetailsColumns);
    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << line;
    QtDesktop desktop;
    int viewportWidth = 0, viewportHeight = 0, lineWidth = 0, lineSpacing = 0;
    QTextEdit::LineWrapMode wrap = QTextEdit::WidgetWidth;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::ActionRole)
                button->click();  // 詳細を表示...
        }
        if (auto* area = box->findChild<QTextEdit*>()) {
            viewportWidth = area->viewport()->width();
            viewportHeight = area->viewport()->height();
            const QFontMetrics metrics(area->font());
            lineWidth = metrics.horizontalAdvance(line);
            lineSpacing = metrics.lineSpacing();
            wrap = area->lineWrapMode();
        }
        box->accept();
    });
    desktop.MsgBoxWithDetails(QStringLiteral("全レコード 40 件中 0 件インポートしました。"), MB_ICONINFORMATION,
                              QStringLiteral("インポート完了"), lines.join(QLatin1Char('\n')));
    EXPECT_EQ(wrap, QTextEdit::NoWrap);
    EXPECT_GE(viewportWidth, lineWidth);
    EXPECT_GE(viewportHeight, QtDesktop::kDetailsLines * lineSpacing);
}

// The face a text is drawn in covers every character of it, digits and
// Latin letters included, so that nothing falls back to another face.
void ExpectOneFaceDraws(const QFont& font, const QString& text)
{
    const QRawFont face = QRawFont::fromFont(font);
    ASSERT_TRUE(face.isValid());
    for (const QChar c : text) {
        if (!c.isSpace()) {
            EXPECT_TRUE(face.supportsCharacter(c))
                << face.familyName().toStdString() << " lacks " << QString(c).toStdString();
        }
    }
}

TEST(QtDesktopTest, EveryBoxCarriesTheProgramIconAndOneJapaneseFace)
{
    QtDesktop desktop;
    const QString totals = QStringLiteral("全レコード 12 件中 10 件インポートしました。");
    const QString report = QStringLiteral("CLS-is1000\r\nファイルが見つかりません。");
    for (const auto& [prompt, flags, title] :
         {std::tuple{totals, 64, QStringLiteral("インポート完了")},
          std::tuple{QStringLiteral("CSVファイルを選択して下さい。"), 4160, QStringLiteral("ファイル選択エラー")},
          std::tuple{report, 0, QString()}}) {
        const SeenBox box = ShowBox(desktop, prompt, flags, title);
        ASSERT_TRUE(box.shown);
        EXPECT_EQ(box.windowIcon, IconImage(ProgramIcon())) << prompt.toStdString();
        ExpectOneFaceDraws(box.textFont, prompt);
        ExpectOneFaceDraws(box.buttonFont, QStringLiteral("OK"));
        EXPECT_EQ(QRawFont::fromFont(box.textFont).familyName(),
                  QRawFont::fromFont(JapaneseGothic(9, false)).familyName());
    }
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

// A box is the user's turn: the ordinary pointer over it, whatever the work
// around it shows before and after.
TEST(QtDesktopTest, ABoxShowsTheOrdinaryPointerAndGivesBackTheOneBefore)
{
    for (const int pointer : {POINTER_HOURGLASS, POINTER_DEFAULT}) {
        SCOPED_TRACE(pointer);
        QtDesktop desktop;
        desktop.SetMousePointer(pointer);
        const Qt::CursorShape before = OverrideShape();
        Qt::CursorShape during = Qt::BitmapCursor;
        QTimer::singleShot(0, [&during] {
            during = OverrideShape();
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        desktop.MsgBox(QStringLiteral("このファイルは取り込み済みです。もう一度インポートしますか？"),
                       MB_YESNO | MB_ICONQUESTION, QStringLiteral("インポート確認"));
        EXPECT_EQ(during, pointer == POINTER_HOURGLASS ? Qt::ArrowCursor : Qt::BitmapCursor);
        EXPECT_EQ(OverrideShape(), before);
        desktop.SetMousePointer(POINTER_DEFAULT);
    }
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

TEST(QtDesktopTest, DoEventsRunsTheLoopAtMostOncePerInterval)
{
    int ran = 0;
    const auto post = [&ran] { QTimer::singleShot(0, [&ran] { ++ran; }); };

    QtDesktop seldom(std::chrono::hours(1));
    post();
    seldom.DoEvents();  // the first call always runs the loop
    EXPECT_EQ(ran, 1);
    post();
    seldom.DoEvents();
    seldom.DoEvents();
    EXPECT_EQ(ran, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 2);

    QtDesktop always(std::chrono::milliseconds(0));
    for (int call = 0; call < 3; ++call) {
        post();
        always.DoEvents();
    }
    EXPECT_EQ(ran, 5);
}

}  // namespace
