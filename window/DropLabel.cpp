#include "DropLabel.h"

#include "FileChoice.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

// A drop only reads the paths; offering a copy keeps a file manager from
// deleting its file after a move.
void AcceptAsCopy(QDropEvent* event)
{
    if (event->possibleActions() & Qt::CopyAction)
        event->setDropAction(Qt::CopyAction);
    else
        event->setDropAction(event->proposedAction());
    event->accept();
}

}  // namespace

// A folder's trailing separator is dropped so that its name ends the path,
// as it does for a file.
QStringList DroppedFiles(const QMimeData& data)
{
    QStringList files;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile())
            continue;
        QString path = url.toLocalFile();
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        files << path;
    }
    return files;
}

DropLabel::DropLabel(QWidget* parent) : QLabel(parent) { setAcceptDrops(true); }

// Every drag is welcome over the label: a refused drop must still arrive,
// so that the owner can tell the user why it is refused.
void DropLabel::dragEnterEvent(QDragEnterEvent* event) { AcceptAsCopy(event); }

void DropLabel::dragMoveEvent(QDragMoveEvent* event) { AcceptAsCopy(event); }

void DropLabel::dropEvent(QDropEvent* event)
{
    const QStringList files = event->mimeData() ? DroppedFiles(*event->mimeData()) : QStringList();
    if (files.size() == 1 && IsImportFilePath(files.first())) {
        AcceptAsCopy(event);
    } else {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
    }
    emit dropped(files);
}

void DropLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QLabel::mouseDoubleClickEvent(event);
    event->accept();
    emit doubleClicked();
}
