// Shows the program's window on the current display, drops one file on its
// drop label the way a file manager would, and saves a picture of the
// window as the screen shows it. With --check first, it opens the look
// before an import of that file instead, and saves the picture of that.

#include "ProgramIdentity.h"
#include "QtDesktop.h"
#include "frmMain.h"

#include "SqliteLedgerStore.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace {

// Keeps the event loop going for a while so that the window manager and
// the window can settle.
void Settle(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// The window with its frame, as the screen shows it.
bool SaveShot(QWidget& window, const QString& output, QTextStream& err)
{
    const QRect frame = window.frameGeometry();
    const QPixmap shot = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (shot.isNull() || !shot.save(output)) {
        err << "could not save " << output << "\n";
        return false;
    }
    err << "saved " << output << " (" << shot.width() << "x" << shot.height() << ")\n";
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(kApplicationName);
    QApplication::setApplicationVersion(kApplicationVersion);
    QTextStream err(stderr);
    QStringList args = QApplication::arguments();
    const bool check = args.size() > 1 && args.at(1) == QStringLiteral("--check");
    const bool pattern = args.size() > 1 && args.at(1) == QStringLiteral("--pattern");
    if (check || pattern)
        args.removeAt(1);
    if (args.size() != 3) {
        err << "usage: window_screenshot [--check | --pattern] FILE-TO-DROP OUTPUT.png\n";
        return 2;
    }
    const QString dropped = QFileInfo(args.at(1)).absoluteFilePath();
    const QString output = args.at(2);

    QtDesktop desktop;
    frmMain window(desktop, [] { return std::make_unique<SqliteLedgerStore>(); });
    // The pattern dialog keeps its patterns in a ledger of the current folder.
    window.SetLedgerPatterns([](const QString& strConnection, bool blnToWrite) {
        return OpenSqliteLedgerPatterns(strConnection, blnToWrite);
    });
    window.show();
    Settle(1500);

    auto* target = window.findChild<QLabel*>(QStringLiteral("lblItem"));
    if (!target) {
        err << "the window has no lblItem\n";
        return 1;
    }
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dropped)});
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    Settle(700);

    if (!check && !pattern)
        return SaveShot(window, output, err) ? 0 : 1;

    // The look's table is modal: its picture is taken from inside it, once
    // it shows (the busy state before it lets events through too).
    bool saved = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* table = QApplication::activeModalWidget();
        if (!table)
            return;
        poll.stop();
        Settle(1500);
        saved = SaveShot(*table, output, err);
        table->close();
    });
    poll.start(100);
    if (pattern)
        window.ShowPatterns();
    else
        window.ShowCheck();
    return saved ? 0 : 1;
}
