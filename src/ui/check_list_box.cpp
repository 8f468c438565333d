#include "ui/check_list_box.h"

#include "ui/row_drag.h"

namespace kitemail {

CheckListBox::CheckListBox(QWidget* parent) : QListWidget(parent), drag_(new RowDrag(this))
{
}

} // namespace kitemail
