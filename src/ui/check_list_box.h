#pragma once
// The address-book check list: a list with a tick per line whose lines the
// user reorders by dragging them within the list. The list moves nothing by
// itself; it reports the press, the drag and the drop, and the window puts
// the lines in their new order.

#include <QListWidget>

namespace kitemail {

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

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

} // namespace kitemail
