#pragma once

#include <QLabel>

class QMimeData;

// A label that takes drops and leaves their handling to its owner.
class DropLabel : public QLabel {
    Q_OBJECT
public:
    explicit DropLabel(QWidget* parent = nullptr);

signals:
    void dropped(const QMimeData& data);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
