#include "QtDesktop.h"

#include "Appearance.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

QtDesktop::QtDesktop(std::chrono::milliseconds eventInterval) : m_eventInterval(eventInterval) {}

QtDesktop::~QtDesktop()
{
    SetMousePointer(POINTER_DEFAULT);
}

int QtDesktop::MsgBox(const QString& prompt, int flags, const QString& title)
{
    return MsgBoxWithDetails(prompt, flags, title, QString());
}

int QtDesktop::MsgBoxWithDetails(const QString& prompt, int flags, const QString& title,
                                 const QString& details)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? QCoreApplication::applicationName() : title);
    // Without a parent window (a drop from another program) the box would
    // carry the platform's generic icon.
    box.setWindowIcon(ProgramIcon());
    box.setFont(JapaneseGothic(9, false));
    // Paths and error texts come from outside; never read them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString(prompt).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (flags & MB_ICONINFORMATION)
        box.setIcon(QMessageBox::Information);
    else if (flags & MB_ICONQUESTION)
        box.setIcon(QMessageBox::Question);
    else
        box.setIcon(QMessageBox::NoIcon);
    if (flags & MB_YESNO) {
        QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
        box.setDefaultButton((flags & MB_DEFBUTTON2) ? no : yes);
        box.setEscapeButton(no);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.setWindowModality(Qt::ApplicationModal);
    if (flags & MB_SYSTEMMODAL)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    {
        // The question is the user's turn: the ordinary pointer over it, the
        // busy one back once it is answered.
        const bool busy = m_overrideSet;
        if (busy)
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        box.exec();
        if (busy)
            QGuiApplication::restoreOverrideCursor();
    }
    // What the box covered is painted again before the work after it, which
    // may let no events through for a while.
    PaintNow();
    if (!(flags & MB_YESNO))
        return IDOK;
    QAbstractButton* clicked = box.clickedButton();
    return clicked && box.buttonRole(clicked) == QMessageBox::YesRole ? IDYES : IDNO;
}

void QtDesktop::SetMousePointer(int pointer)
{
    if (pointer == POINTER_DEFAULT) {
        if (m_overrideSet)
            QGuiApplication::restoreOverrideCursor();
        m_overrideSet = false;
        return;
    }
    const QCursor cursor(pointer == POINTER_HOURGLASS ? Qt::WaitCursor : Qt::ArrowCursor);
    // Setting the busy pointer again must not stack a second override that
    // one restore would leave behind.
    if (m_overrideSet) {
        QGuiApplication::changeOverrideCursor(cursor);
    } else {
        QGuiApplication::setOverrideCursor(cursor);
        m_overrideSet = true;
    }
}

void QtDesktop::DoEvents()
{
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < m_eventInterval.count())
        return;
    QCoreApplication::processEvents();
    m_sinceEvents.start();
}
