#include "desktop/screen_place.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include <algorithm>

namespace ferolin {

QPoint KeepOnScreen(QPoint topLeft, QSize size) {
    // The title bar's strip must lie on a screen for the user to grab it.
    const QRect strip(topLeft, QSize(std::clamp(size.width(), 1, 200), 24));
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(strip)) return topLeft;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) return topLeft;
    const QRect area = primary->availableGeometry();
    return QPoint(std::clamp(topLeft.x(), area.left(),
                             std::max(area.left(), area.right() + 1 - size.width())),
                  std::clamp(topLeft.y(), area.top(),
                             std::max(area.top(), area.bottom() + 1 - size.height())));
}

QPoint PlaceBeside(const QRect& owner, QSize size, const QRect& area) {
    constexpr int kGap = 8;
    const int right = owner.right() + 1 + kGap;
    const int left = owner.left() - kGap - size.width();
    const int roomRight = area.right() + 1 - right;
    const int roomLeft = owner.left() - kGap - area.left();
    int x;
    if (roomRight >= size.width()) x = right;
    else if (roomLeft >= size.width()) x = left;
    else x = roomRight >= roomLeft ? area.right() + 1 - size.width() : area.left();
    x = std::max(area.left(), std::min(x, area.right() + 1 - size.width()));
    const int y = std::max(area.top(), std::min(owner.top(), area.bottom() + 1 - size.height()));
    return QPoint(x, y);
}

}  // namespace ferolin
