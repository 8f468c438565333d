#pragma once
// The bar area across the top of the main window: bars the user drags to
// any place inside it by their grip. The area grows to hold its bars; the
// positions are what the settings file stores. A bar that does not fit on
// its row at the present width is shown on a row below, until the area is
// wide enough again: its stored position stays.

#include <QFrame>
#include <QPoint>

#include <vector>

namespace kitemail {

class BarArea;

class Bar : public QFrame {
    Q_OBJECT
public:
    // content becomes a child of the bar, right of the grip.
    Bar(const QString& objectName, QWidget* content, int width, BarArea* area);

    [[nodiscard]] QWidget* Content() const noexcept { return content_; }
    // Top and left inside the bar area, as stored (where it is shown when
    // its row has room).
    [[nodiscard]] QPoint Position() const { return wanted_; }
    // Places the bar as given; BarArea::Arrange settles overlaps.
    void SetPosition(QPoint topLeftInArea);
    // The designed width, or more when this system's font needs it.
    void SetWidth(int width);

private:
    friend class BarGrip;
    friend class BarArea;
    void GripPressed(QPoint globalPos);
    void GripMoved(QPoint globalPos);

    BarArea* area_;
    QWidget* content_;
    QWidget* grip_ = nullptr;
    QPoint wanted_;
    QPoint pressGlobal_;
    QPoint pressPos_;
};

class BarArea : public QWidget {
    Q_OBJECT
public:
    explicit BarArea(QWidget* parent = nullptr);

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

    // Height of one bar and the distance between rows.
    static constexpr int kBarHeight = 22;
    static constexpr int kRowPitch = 24;
    static constexpr int kFirstRowTop = 2;

    // Where a dragged bar lands: the nearest row, never left of the area.
    [[nodiscard]] static QPoint Snap(QPoint wanted) noexcept;

    // Bars that overlap in a row are pushed right, in the order of their
    // left edges, so that every bar stays usable; then shown (Flow).
    void Arrange();
    // Shows the bars at their positions, a bar that would pass the right
    // edge (or overlap one pushed there) on the next row down.
    void Flow();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void childEvent(QChildEvent* event) override;

private:
    [[nodiscard]] int ContentHeight() const;
    [[nodiscard]] std::vector<Bar*> ShownBars() const;
};

} // namespace kitemail
