#include "QtDesktop.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>

QtDesktop::~QtDesktop()
{
    SetMousePointer(POINTER_DEFAULT);
}

void QtDesktop::MsgBox(const QString& prompt, int flags, const QString& title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? QCoreApplication::applicationName() : title);
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
    QCoreApplication::processEvents();
}
