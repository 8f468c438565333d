#pragma once
// Where a window goes so that the user can reach it: its frame, title bar
// included, inside the available area of a screen. The rules are plain
// functions over rectangles; the widget helpers feed them this system's
// screens and frame sizes.

#include <QList>
#include <QRect>

class QWidget;

namespace kitemail {

// The frame moved, its size kept, into the available area of the screen it
// overlaps most, or of the screen nearest to it when it overlaps none (a
// monitor unplugged). A frame larger than the area keeps its top-left
// corner, and so its title bar, inside it.
[[nodiscard]] QRect PlaceOnScreen(const QRect& frame, const QList<QRect>& available);

// A frame that would cover anchor goes beside it on anchor's screen: to the
// right where there is room, else to the left, else as near the right as
// the screen allows. Any other frame is placed as PlaceOnScreen does.
[[nodiscard]] QRect PlaceBeside(const QRect& frame, const QRect& anchor, const QList<QRect>& available);

// The window moved by those rules, with its frame as the system reports it
// (before its first show, as another shown window's, or a title bar).
void KeepOnScreen(QWidget* window);
void KeepBeside(QWidget* window, const QWidget* anchor);

} // namespace kitemail
