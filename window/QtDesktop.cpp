#include "QtDesktop.h"

#include "Appearance.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>

QtDesktop::QtDesktop(std::chrono::milliseconds eventInterval) : m_eventInterval(eventInterval) {}

QtDesktop::~QtDesktop()
{
    SetMousePointer(POINTER_DEFAULT);
}

void QtDesktop::MsgBox(const QString& prompt, int flags, const QString& title)
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
    box.setIcon((flags & MB_ICONINFORMATION) ? QMessageBox::Information : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    if (flags & MB_SYSTEMMODAL)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
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
