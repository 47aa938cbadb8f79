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

}  // namespace ferolin
