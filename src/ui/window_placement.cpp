#include "ui/window_placement.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kitemail {
namespace {

std::int64_t Overlap(const QRect& a, const QRect& b)
{
    const QRect both = a & b;
    return both.isEmpty() ? 0 : static_cast<std::int64_t>(both.width()) * both.height();
}

// Squared distance between the nearest points of two rectangles.
std::int64_t Distance(const QRect& a, const QRect& b)
{
    const auto gap = [](int lowA, int highA, int lowB, int highB) -> std::int64_t {
        return std::max({0, lowB - highA, lowA - highB});
    };
    const std::int64_t dx = gap(a.left(), a.right(), b.left(), b.right());
    const std::int64_t dy = gap(a.top(), a.bottom(), b.top(), b.bottom());
    return dx * dx + dy * dy;
}

// The area the frame overlaps most, else the nearest one.
QRect ScreenOf(const QRect& frame, const QList<QRect>& available)
{
    QRect best = available.front();
    std::int64_t bestOverlap = 0;
    for (const QRect& area : available) {
        if (const std::int64_t overlap = Overlap(frame, area); overlap > bestOverlap) {
            best = area;
            bestOverlap = overlap;
        }
    }
    if (bestOverlap > 0) {
        return best;
    }
    std::int64_t nearest = std::numeric_limits<std::int64_t>::max();
    for (const QRect& area : available) {
        if (const std::int64_t d = Distance(frame, area); d < nearest) {
            best = area;
            nearest = d;
        }
    }
    return best;
}

int Inside(int start, int length, int areaStart, int areaLength)
{
    return length >= areaLength ? areaStart : std::clamp(start, areaStart, areaStart + areaLength - length);
}

QList<QRect> AvailableAreas()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas.push_back(screen->availableGeometry());
    }
    return areas;
}

// The frame around the window's client area. Before the system has framed
// it, a shown window's frame stands in, or a title bar alone.
QMargins FrameMargins(const QWidget* window)
{
    const auto marginsOf = [](const QWidget* w) {
        const QRect frame = w->frameGeometry();
        const QRect client = w->geometry();
        return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                        frame.bottom() - client.bottom());
    };
    if (window->isVisible()) {
        if (const QMargins m = marginsOf(window); !m.isNull()) {
            return m;
        }
    }
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other != window && other->isVisible()) {
            if (const QMargins m = marginsOf(other); !m.isNull()) {
                return m;
            }
        }
    }
    return {0, window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window), 0, 0};
}

// The frame as the rules see it: pos() is the frame's corner for a window.
QRect FrameOf(const QWidget* window)
{
    return QRect(window->pos(), window->size().grownBy(FrameMargins(window)));
}

} // namespace

QRect PlaceOnScreen(const QRect& frame, const QList<QRect>& available)
{
    if (available.isEmpty()) {
        return frame;
    }
    const QRect area = ScreenOf(frame, available);
    QRect placed = frame;
    placed.moveTo(Inside(frame.left(), frame.width(), area.left(), area.width()),
                  Inside(frame.top(), frame.height(), area.top(), area.height()));
    return placed;
}

QRect PlaceBeside(const QRect& frame, const QRect& anchor, const QList<QRect>& available)
{
    if (available.isEmpty() || !frame.intersects(anchor)) {
        return PlaceOnScreen(frame, available);
    }
    const QRect area = ScreenOf(anchor, available);
    const QRect right(QPoint(anchor.right() + 1, anchor.top()), frame.size());
    const QRect left(QPoint(anchor.left() - frame.width(), anchor.top()), frame.size());
    for (const QRect& beside : {right, left}) {
        if (area.contains(beside)) {
            return beside;
        }
    }
    return PlaceOnScreen(right, {area});
}

void KeepOnScreen(QWidget* window)
{
    const QRect frame = FrameOf(window);
    const QRect placed = PlaceOnScreen(frame, AvailableAreas());
    if (placed.topLeft() != frame.topLeft()) {
        window->move(placed.topLeft());
    }
}

void KeepBeside(QWidget* window, const QWidget* anchor)
{
    const QRect frame = FrameOf(window);
    const QRect placed = PlaceBeside(frame, FrameOf(anchor), AvailableAreas());
    if (placed.topLeft() != frame.topLeft()) {
        window->move(placed.topLeft());
    }
}

} // namespace kitemail
