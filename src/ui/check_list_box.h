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

    // The row at a point of the viewport, -1 when it is on no entry.
    [[nodiscard]] int RowAt(QPoint viewportPos) const;
    // A drop at a point of the viewport, as a drag of this list ends there.
    void DropAt(QPoint viewportPos);

signals:
    void pressedOnRow(int row);
    void draggedOverRow(int row);
    void droppedOnRow(int row);

private:
    RowDrag* drag_;
};

} // namespace kitemail
