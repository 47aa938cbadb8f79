#include "core/web_mercator.h"

#include <algorithm>
#include <limits>

namespace ferolin {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEquatorMetres = 2 * kPi * 6378137.0;  // the projection's sphere
constexpr double kMinScale = kTilePixels;               // zoom 0
constexpr double kMaxScale = kTilePixels * 4194304.0;   // zoom 22
constexpr double kMaxFitScale = kTilePixels * 262144.0;  // zoom 18

}  // namespace

double MercatorY(double latitude) {
    const double lat = std::clamp(latitude, -kMercatorMaxLatitude, kMercatorMaxLatitude);
    const double s = std::sin(lat * kPi / 180.0);
    return 0.5 - std::log((1 + s) / (1 - s)) / (4 * kPi);
}

double LongitudeOfMercatorX(double x) { return x * 360.0 - 180.0; }

double LatitudeOfMercatorY(double y) {
    return (2 * std::atan(std::exp((0.5 - y) * 2 * kPi)) - 0.5 * kPi) * 180.0 / kPi;
}

void MercatorView::ZoomAbout(double factor, double sx, double sy) {
    if (!(factor > 0) || !std::isfinite(factor)) return;
    const double x = WorldX(sx), y = WorldY(sy);
    scale = std::clamp(scale * factor, kMinScale, kMaxScale);
    centreX = x - (sx - 0.5 * width) / scale;
    centreY = y - (sy - 0.5 * height) / scale;
}

void MercatorView::Pan(double dx, double dy) {
    centreX -= dx / scale;
    centreY = std::clamp(centreY - dy / scale, 0.0, 1.0);
}

int MercatorView::TileZoom(int maxZoom) const {
    const double z = std::round(std::log2(scale / kTilePixels));
    return static_cast<int>(std::clamp(z, 0.0, static_cast<double>(maxZoom)));
}

double MercatorView::MetresPerPixel(double y) const {
    const double latitude = LatitudeOfMercatorY(y) * kPi / 180.0;
    return kEquatorMetres * std::cos(latitude) / scale;
}

MercatorView FitMercator(double minX, double maxX, double minY, double maxY, double width,
                         double height, double margin) {
    MercatorView view;
    view.width = std::max(width, 1.0);
    view.height = std::max(height, 1.0);
    view.centreX = 0.5 * (minX + maxX);
    view.centreY = 0.5 * (minY + maxY);
    const double w = std::max(view.width - 2 * margin, 1.0);
    const double h = std::max(view.height - 2 * margin, 1.0);
    const double spanX = maxX - minX, spanY = maxY - minY;
    double scale = kMaxFitScale;
    if (spanX > 0) scale = std::min(scale, w / spanX);
    if (spanY > 0) scale = std::min(scale, h / spanY);
    view.scale = std::clamp(scale, kMinScale, kMaxFitScale);
    if (!std::isfinite(view.centreX) || !std::isfinite(view.centreY)) view.centreX = view.centreY = 0.5;
    return view;
}

MercatorTrack ProjectMercator(const PointSeries& series) {
    MercatorTrack t;
    const uint32_t n = series.size();
    std::vector<double> xs(n), ys(n);
    double reference = 0, referenceX = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const TrackPoint& p = series[i];
        if (!HasPosition(p)) {
            xs[i] = ys[i] = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        if (t.positioned++ == 0) {
            reference = p.longitude;
            referenceX = MercatorX(RelativeLongitude(p.longitude, 0));
        }
        xs[i] = referenceX + RelativeLongitude(p.longitude, reference) / 360.0;
        ys[i] = MercatorY(p.latitude);
        if (t.positioned == 1) {
            t.minX = t.maxX = xs[i];
            t.minY = t.maxY = ys[i];
        }
        t.minX = std::min(t.minX, xs[i]), t.maxX = std::max(t.maxX, xs[i]);
        t.minY = std::min(t.minY, ys[i]), t.maxY = std::max(t.maxY, ys[i]);
    }
    t.dx.resize(n);
    t.dy.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        t.dx[i] = static_cast<float>(xs[i] - t.minX);
        t.dy[i] = static_cast<float>(ys[i] - t.minY);
    }
    return t;
}

std::vector<PlacedTile> VisibleTiles(const MercatorView& view, int z) {
    std::vector<PlacedTile> tiles;
    const double n = std::ldexp(1.0, z);
    const double tileSize = view.scale / n;  // pixels of one tile on screen
    const double left = view.WorldX(0) * n, right = view.WorldX(view.width) * n;
    const double top = std::max(view.WorldY(0) * n, 0.0);
    const double bottom = std::min(view.WorldY(view.height) * n, n);
    if (!(right > left) || !(bottom > top) || right - left > 64 || bottom - top > 64) return tiles;
    const int64_t count = static_cast<int64_t>(n);
    for (int64_t ty = static_cast<int64_t>(std::floor(top)); ty < bottom; ++ty)
        for (int64_t tx = static_cast<int64_t>(std::floor(left)); tx < right; ++tx) {
            PlacedTile t;
            t.key = {z, static_cast<int>(((tx % count) + count) % count), static_cast<int>(ty)};
            t.left = view.ScreenX(tx / n);
            t.top = view.ScreenY(ty / n);
            t.size = tileSize;
            tiles.push_back(t);
        }
    const double cx = 0.5 * view.width, cy = 0.5 * view.height;
    auto distance = [&](const PlacedTile& t) {
        const double dx = t.left + 0.5 * t.size - cx, dy = t.top + 0.5 * t.size - cy;
        return dx * dx + dy * dy;
    };
    std::stable_sort(tiles.begin(), tiles.end(),
                     [&](const PlacedTile& a, const PlacedTile& b) { return distance(a) < distance(b); });
    return tiles;
}

}  // namespace ferolin
