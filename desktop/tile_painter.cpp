#include "desktop/tile_painter.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

#include "desktop/tile_loader.h"

namespace ferolin {

namespace {

constexpr int kCoarserLevels = 4;  // zoom levels looked up for a stand-in

// While a tile is on its way, the matching part of a coarser one at hand
// (up to four levels up) stands in for it; false when none is at hand.
bool PaintStandIn(QPainter& painter, const TileLoader& tiles, const TileKey& key, const QRect& target) {
    for (int k = 1; k <= kCoarserLevels && k <= key.z; ++k) {
        const QImage* coarse = tiles.Tile({key.z - k, key.x >> k, key.y >> k});
        if (!coarse) continue;
        const double part = static_cast<double>(coarse->width()) / (1 << k);
        const int mask = (1 << k) - 1;
        painter.drawImage(QRectF(target), *coarse,
                          QRectF((key.x & mask) * part, (key.y & mask) * part, part, part));
        return true;
    }
    return false;
}

void PaintAttribution(QPainter& painter, const MercatorView& view, const QString& text) {
    QFont font = painter.font();
    font.setPointSizeF(std::max(font.pointSizeF() * 0.8, 6.0));
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(text) + 8, height = metrics.height() + 2;
    const QRect box(static_cast<int>(view.width) - width, static_cast<int>(view.height) - height,
                    width, height);
    painter.fillRect(box, QColor(255, 255, 255, 200));
    painter.setPen(QColor(40, 40, 40));
    painter.drawText(box, Qt::AlignCenter, text);
}

}  // namespace

void PaintTiles(QPainter& painter, TileLoader& tiles, const MercatorView& view, int z) {
    const std::vector<PlacedTile> placed = VisibleTiles(view, z);
    std::vector<TileKey> missing;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const PlacedTile& t : placed) {
        // Whole pixels, edge to edge, so that no seam shows between tiles.
        const int left = static_cast<int>(std::floor(t.left));
        const int top = static_cast<int>(std::floor(t.top));
        const QRect target(left, top, static_cast<int>(std::floor(t.left + t.size)) - left,
                           static_cast<int>(std::floor(t.top + t.size)) - top);
        if (const QImage* image = tiles.Tile(t.key)) {
            painter.drawImage(target, *image);
            continue;
        }
        missing.push_back(t.key);
        if (!tiles.Failed(t.key)) PaintStandIn(painter, tiles, t.key, target);
    }
    tiles.Want(missing);
    PaintAttribution(painter, view, tiles.Source().Attribution());
    painter.restore();
}

}  // namespace ferolin
