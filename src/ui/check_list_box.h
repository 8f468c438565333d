#pragma once
// The address-book check list: a list with a tick per line whose lines the
// user reorders by dragging them within the list (see RowDrag).

#include <QListWidget>

namespace kitemail {

class RowDrag;

class CheckListBox : public QListWidget {
    Q_OBJECT
public:
    explicit CheckListBox(QWidget* parent = nullptr);

    // The press, drag and drop of the list's lines.
    [[nodiscard]] RowDrag* Drag() const noexcept { return drag_; }

private:
    RowDrag* drag_;
};

} // namespace kitemail
