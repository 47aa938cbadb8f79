// Where the program's windows open: a stored position is put back unless it
// leaves the title strip off every screen, and the track view and the point
// details open where they hide as little as they can of the windows already
// there. The placing functions are pure: frames and screen areas in screen
// pixels in, a position or a frame out.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

class QWidget;

namespace ferolin {

// Moves a window whose title strip lies off every screen back onto the
// primary one; positions on some screen are kept.
QPoint KeepOnScreen(QPoint topLeft, QSize size);

// What the window manager adds around a window's client area: measured once
// the window has a frame, else a typical title bar and border, so that a
// window not yet shown can be sized to fit the screen frame included.
QMargins FrameMargins(const QWidget& window);

// `wanted` (a client size) made no larger than what `area` holds with the
// frame `margins` around it, and no smaller than `minimum` unless the area
// is smaller still.
QSize FitSize(QSize wanted, QSize minimum, const QMargins& margins, const QRect& area);

// The track view's opening place beside the main window: where the main
// window's frame goes (its top-left corner) and the view's frame.
struct SidePlacement {
    QPoint owner;
    QRect view;
};

// Places a view (frame sizes: `wanted`, at least `minimum`) next to the
// window whose frame is `owner`, within `area`. When the area's width holds
// both side by side at the view's minimum width, the view goes beside the
// owner, as wide as it wants or as the room there is, on the side that moves
// the owner least (the right one first, the owner not moved when the room is
// there already). Otherwise it goes over the side of the owner that hides
// the least of `keep` (the owner's buttons, in screen pixels), the owner
// moved within the area to uncover them where that helps. The view's height
// never exceeds the area's; its top is level with the owner's where it fits.
SidePlacement PlaceViewBeside(const QRect& owner, const QRect& keep, QSize wanted, QSize minimum,
                              const QRect& area);

// A part of the screen a window should not cover, and how much it matters:
// parts of a greater weight come first.
struct KeepClear {
    QRect rect;
    int weight;
};

// Where a window of frame `size` opens within `area`: where it covers the
// least of the parts of the greatest weight in `avoid`, then among those
// places the least of the next weight, and so on (a place free of them all
// when there is one), nearest to `preferred` among equal choices.
QPoint PlaceClear(QSize size, const std::vector<KeepClear>& avoid, QPoint preferred,
                  const QRect& area);

}  // namespace ferolin
