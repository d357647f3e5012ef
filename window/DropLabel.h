#pragma once

#include <QLabel>
#include <QStringList>

class QMimeData;

// A drop's file list: its local files and folders, in order, as full paths.
QStringList DroppedFiles(const QMimeData& data);

// A label that takes drops and leaves their handling to its owner. The
// drop itself finishes at once, so the source is never held up by what the
// owner shows; it is told Copy only for a drop the owner will take.
class DropLabel : public QLabel {
    Q_OBJECT
public:
    explicit DropLabel(QWidget* parent = nullptr);

signals:
    // Emitted from inside the drop event: connect it queued, so that the
    // handling runs once the event loop is back.
    void dropped(const QStringList& files);
    // A double-click with the left button: the clerk asks to choose a file instead.
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
