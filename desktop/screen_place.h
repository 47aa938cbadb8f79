// Where a window may be put back at start: its stored position, unless that
// leaves the title strip off every screen.
#pragma once

#include <QPoint>
#include <QSize>

namespace ferolin {

// Moves a window whose title strip lies off every screen back onto the
// primary one; positions on some screen are kept.
QPoint KeepOnScreen(QPoint topLeft, QSize size);

}  // namespace ferolin
