#include "DropLabel.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

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

DropLabel::DropLabel(QWidget* parent) : QLabel(parent)
{
    setAcceptDrops(true);
}

void DropLabel::dragEnterEvent(QDragEnterEvent* event)
{
    AcceptAsCopy(event);
}

void DropLabel::dragMoveEvent(QDragMoveEvent* event)
{
    AcceptAsCopy(event);
}

void DropLabel::dropEvent(QDropEvent* event)
{
    AcceptAsCopy(event);
    if (const QMimeData* data = event->mimeData())
        emit dropped(*data);
}
