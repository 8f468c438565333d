#pragma once
// Reordering a list by dragging its lines within itself. The list moves
// nothing by itself: this reports the press, the drag over a row and the
// drop, and the window puts the lines in their new order.

#include <QObject>
#include <QPoint>

class QAbstractItemView;
class QWidget;

namespace kitemail {

class RowDrag : public QObject {
    Q_OBJECT
public:
    // Sets view up for dragging within itself and watches its viewport.
    explicit RowDrag(QAbstractItemView* view);

    // The row at a point of the viewport, -1 when it is on no entry.
    [[nodiscard]] int RowAt(QPoint viewportPos) const;
    // A drop at a point of the viewport, as a drag of the list ends there.
    void DropAt(QPoint viewportPos);

signals:
    void pressedOnRow(int row);
    void draggedOverRow(int row);
    void droppedOnRow(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView* view_;
    QWidget* viewport_;
};

} // namespace kitemail
