// Where a window may be put back at start: its stored position, unless that
// leaves the title strip off every screen.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace ferolin {

// Moves a window whose title strip lies off every screen back onto the
// primary one; positions on some screen are kept.
QPoint KeepOnScreen(QPoint topLeft, QSize size);

// Where a window of `size` (its frame) opens beside the window whose frame is
// `owner`, within the screen area `area`: to the right when it fits there,
// else to the left, else on the side with more room, overlapping the owner as
// little as the screen allows; its top level with the owner's where it fits.
QPoint PlaceBeside(const QRect& owner, QSize size, const QRect& area);

}  // namespace ferolin
