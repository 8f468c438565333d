#include "ui/row_drag.h"

#include <QAbstractItemView>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMouseEvent>

namespace kitemail {

RowDrag::RowDrag(QAbstractItemView* view) : QObject(view), view_(view), viewport_(view->viewport())
{
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setDragEnabled(true);
    view->setAcceptDrops(true);
    view->setDropIndicatorShown(false);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    // A copy, so that the view never removes the dragged row by itself
    // when the drag ends.
    view->setDefaultDropAction(Qt::CopyAction);
    viewport_->installEventFilter(this);
}

int RowDrag::RowAt(QPoint viewportPos) const
{
    const QModelIndex index = view_->indexAt(viewportPos);
    return index.isValid() ? index.row() : -1;
}

void RowDrag::DropAt(QPoint viewportPos)
{
    emit droppedOnRow(RowAt(viewportPos));
}

bool RowDrag::eventFilter(QObject* watched, QEvent* event)
{
    // Events reach the viewport also while the view is being destroyed:
    // the view is not asked anything before the event is known to be ours.
    if (watched != viewport_) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        emit pressedOnRow(RowAt(static_cast<QMouseEvent*>(event)->position().toPoint()));
        return false; // the view selects as usual
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        // Only a line of this very list may land here.
        if (drop->source() != view_) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::DragMove) {
            emit draggedOverRow(RowAt(drop->position().toPoint()));
        } else if (event->type() == QEvent::Drop) {
            DropAt(drop->position().toPoint());
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace kitemail
