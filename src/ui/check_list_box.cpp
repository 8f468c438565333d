#include "ui/check_list_box.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMouseEvent>

namespace kitemail {

CheckListBox::CheckListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    // A copy, so that the list never removes the dragged row by itself
    // when the drag ends.
    setDefaultDropAction(Qt::CopyAction);
}

int CheckListBox::RowAt(QPoint viewportPos) const
{
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() ? index.row() : -1;
}

void CheckListBox::DropAt(QPoint viewportPos)
{
    emit droppedOnRow(RowAt(viewportPos));
}

void CheckListBox::mousePressEvent(QMouseEvent* event)
{
    emit pressedOnRow(RowAt(event->position().toPoint()));
    QListWidget::mousePressEvent(event);
}

void CheckListBox::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->source() == this) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CheckListBox::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit draggedOverRow(RowAt(event->position().toPoint()));
}

void CheckListBox::dropEvent(QDropEvent* event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    DropAt(event->position().toPoint());
}

} // namespace kitemail
