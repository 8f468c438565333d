#include "ui/check_list_box.h"

#include "ui/row_drag.h"

namespace kitemail {

CheckListBox::CheckListBox(QWidget* parent) : QListWidget(parent), drag_(new RowDrag(this))
{
    connect(drag_, &RowDrag::pressedOnRow, this, &CheckListBox::pressedOnRow);
    connect(drag_, &RowDrag::draggedOverRow, this, &CheckListBox::draggedOverRow);
    connect(drag_, &RowDrag::droppedOnRow, this, &CheckListBox::droppedOnRow);
}

int CheckListBox::RowAt(QPoint viewportPos) const
{
    return drag_->RowAt(viewportPos);
}

void CheckListBox::DropAt(QPoint viewportPos)
{
    drag_->DropAt(viewportPos);
}

} // namespace kitemail
