#include "desktop/screen_place.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>

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

namespace {

constexpr int kWindowGap = 8;

// `start` moved so that a length `length` from it lies within
// [low, high), or at `low` when it cannot.
int ClampInto(int start, int length, int low, int high) {
    return std::max(low, std::min(start, high - length));
}

int64_t OverlapArea(const QRect& a, const QRect& b) {
    const QRect both = a.intersected(b);
    return both.isEmpty() ? 0 : int64_t{both.width()} * both.height();
}

}  // namespace

QMargins FrameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    if (window.isVisible() && frame != client)
        return QMargins(client.left() - frame.left(), client.top() - frame.top(),
                        frame.right() - client.right(), frame.bottom() - client.bottom());
    // Not shown yet, or a platform without frames: room for a usual title
    // bar and border, so that the window still fits once it gets them.
    return window.windowFlags().testFlag(Qt::FramelessWindowHint) ? QMargins()
                                                                  : QMargins(4, 32, 4, 4);
}

QSize FitSize(QSize wanted, QSize minimum, const QMargins& margins, const QRect& area) {
    const int roomX = area.width() - margins.left() - margins.right();
    const int roomY = area.height() - margins.top() - margins.bottom();
    return QSize(std::max(std::min(wanted.width(), roomX), std::min(minimum.width(), roomX)),
                 std::max(std::min(wanted.height(), roomY), std::min(minimum.height(), roomY)));
}

SidePlacement PlaceViewBeside(const QRect& owner, const QRect& keep, QSize wanted, QSize minimum,
                              const QRect& area) {
    const int areaEnd = area.right() + 1;
    const int height = std::max(std::min(wanted.height(), area.height()),
                                std::min(minimum.height(), area.height()));
    const int y = ClampInto(owner.top(), height, area.top(), area.bottom() + 1);
    // The owner's left edge kept within the area where it fits.
    auto ownerAt = [&](int x) { return ClampInto(x, owner.width(), area.left(), areaEnd); };

    if (area.width() >= owner.width() + kWindowGap + minimum.width()) {
        const int width = std::min(wanted.width(), area.width() - owner.width() - kWindowGap);
        // To the right: the owner moves left only as far as the view needs.
        const int rightOwner = ownerAt(std::min(owner.left(), areaEnd - width - kWindowGap - owner.width()));
        // To the left: the owner moves right only as far as the view needs.
        const int leftOwner = ownerAt(std::max(owner.left(), area.left() + width + kWindowGap));
        if (std::abs(rightOwner - owner.left()) <= std::abs(leftOwner - owner.left()))
            return {QPoint(rightOwner, owner.top()),
                    QRect(rightOwner + owner.width() + kWindowGap, y, width, height)};
        return {QPoint(leftOwner, owner.top()),
                QRect(leftOwner - kWindowGap - width, y, width, height)};
    }

    // Too narrow to be side by side: over the owner, at one edge of the area,
    // the owner shifted (within the area) to bring its buttons out from under
    // the view where it can.
    const int width = std::max(std::min(wanted.width(), area.width()),
                               std::min(minimum.width(), area.width()));
    const int keepLeft = keep.left() - owner.left();
    const int keepEnd = keep.right() + 1 - owner.left();
    struct Choice {
        int ownerX;
        QRect view;
    };
    const Choice choices[2] = {
        {ownerAt(std::max(owner.left(), area.left() + width + kWindowGap - keepLeft)),
         QRect(area.left(), y, width, height)},
        {ownerAt(std::min(owner.left(), areaEnd - width - kWindowGap - keepEnd)),
         QRect(areaEnd - width, y, width, height)},
    };
    const Choice* best = nullptr;
    int64_t bestHidden = 0;
    int bestShift = 0;
    for (const Choice& c : choices) {
        const int64_t hidden = OverlapArea(keep.translated(c.ownerX - owner.left(), 0), c.view);
        const int shift = std::abs(c.ownerX - owner.left());
        if (!best || hidden < bestHidden || (hidden == bestHidden && shift < bestShift)) {
            best = &c;
            bestHidden = hidden;
            bestShift = shift;
        }
    }
    return {QPoint(best->ownerX, owner.top()), best->view};
}

QPoint PlaceClear(QSize size, const std::vector<KeepClear>& avoid, QPoint preferred,
                  const QRect& area) {
    // The candidates: the area's edges, the preferred place, and every side
    // of every part to keep clear of, in both directions.
    std::vector<int> xs = {area.left(), area.right() + 1 - size.width(), preferred.x()};
    std::vector<int> ys = {area.top(), area.bottom() + 1 - size.height(), preferred.y()};
    for (const KeepClear& k : avoid) {
        const QRect& r = k.rect;
        xs.insert(xs.end(), {r.right() + 1 + kWindowGap, r.left() - kWindowGap - size.width(),
                             r.left(), r.right() + 1 - size.width()});
        ys.insert(ys.end(), {r.bottom() + 1 + kWindowGap, r.top() - kWindowGap - size.height(),
                             r.top(), r.bottom() + 1 - size.height()});
    }
    // The weights from the greatest down: a candidate's cost is the area it
    // covers of each, compared in that order, so that a heavier part is
    // covered only where every place covers some of it.
    std::vector<int> weights;
    for (const KeepClear& k : avoid) weights.push_back(k.weight);
    std::sort(weights.begin(), weights.end(), std::greater<int>());
    weights.erase(std::unique(weights.begin(), weights.end()), weights.end());
    std::vector<int64_t> cost(weights.size() + 1), bestCost;  // the last: the distance
    QPoint best = preferred;
    for (int x : xs) {
        x = ClampInto(x, size.width(), area.left(), area.right() + 1);
        for (int y : ys) {
            y = ClampInto(y, size.height(), area.top(), area.bottom() + 1);
            const QRect place(QPoint(x, y), size);
            std::fill(cost.begin(), cost.end(), 0);
            for (const KeepClear& k : avoid) {
                const auto tier = std::find(weights.begin(), weights.end(), k.weight) - weights.begin();
                cost[tier] += OverlapArea(place, k.rect);
            }
            const int64_t dx = x - preferred.x(), dy = y - preferred.y();
            cost.back() = dx * dx + dy * dy;
            if (bestCost.empty() || cost < bestCost) {
                best = QPoint(x, y);
                bestCost = cost;
            }
        }
    }
    return best;
}

}  // namespace ferolin
