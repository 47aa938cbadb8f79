#include "core/track_geometry.h"

#include "core/statistics.h"

namespace ferolin {

LocalProjection MakeLocalProjection(const PointSeries& series) {
    LocalProjection projection;
    double latitudeSum = 0;
    double minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
    for (uint32_t i = 0; i < series.size(); ++i) {
        const TrackPoint& p = series[i];
        if (!HasPosition(p)) continue;
        // Copies: the packed record's fields may not be bound to references.
        const double latitude = p.latitude, longitude = p.longitude;
        if (projection.positioned == 0) {
            projection.referenceLongitude = longitude;
            minLat = maxLat = latitude;
        }
        const double x = RelativeLongitude(longitude, projection.referenceLongitude);
        if (projection.positioned == 0) minLon = maxLon = x;
        minLon = std::min(minLon, x), maxLon = std::max(maxLon, x);
        minLat = std::min(minLat, latitude), maxLat = std::max(maxLat, latitude);
        latitudeSum += latitude;
        ++projection.positioned;
    }
    if (projection.positioned == 0) return projection;
    projection.meanLatitude = latitudeSum / projection.positioned;
    projection.referenceLatitude = projection.meanLatitude;
    projection.eastScale =
        kMetresPerDegree * std::cos(projection.meanLatitude * kDegreesToRadians);
    projection.minX = minLon * projection.eastScale;
    projection.maxX = maxLon * projection.eastScale;
    projection.minY = (minLat - projection.referenceLatitude) * kMetresPerDegree;
    projection.maxY = (maxLat - projection.referenceLatitude) * kMetresPerDegree;
    return projection;
}

ScreenFit FitToRectangle(const LocalProjection& projection, double width, double height,
                         double margin) {
    ScreenFit fit;
    if (!(width > 0)) width = 1;
    if (!(height > 0)) height = 1;
    if (!(margin >= 0)) margin = 0;
    const double availableWidth = std::max(1.0, width - 2 * margin);
    const double availableHeight = std::max(1.0, height - 2 * margin);
    double centreX = 0, centreY = 0;
    double metresPerPixel = kMinimumViewMetres / std::min(availableWidth, availableHeight);
    if (projection.positioned > 0) {
        const double spanX = projection.maxX - projection.minX;
        const double spanY = projection.maxY - projection.minY;
        metresPerPixel =
            std::max({metresPerPixel, spanX / availableWidth, spanY / availableHeight});
        centreX = (projection.minX + projection.maxX) / 2;
        centreY = (projection.minY + projection.maxY) / 2;
    }
    fit.pixelsPerMetre = 1.0 / metresPerPixel;
    fit.originX = width / 2 - centreX * fit.pixelsPerMetre;
    fit.originY = height / 2 + centreY * fit.pixelsPerMetre;
    return fit;
}

ScaleBar ChooseScaleBar(double pixelsPerMetre, double maxPixels) {
    ScaleBar bar;
    if (!(pixelsPerMetre > 0) || !std::isfinite(pixelsPerMetre) || !(maxPixels > 0)) return bar;
    double chosen = 1;
    for (double power = 1; power <= 1e9; power *= 10) {
        for (double step : {1.0, 2.0, 5.0}) {
            const double metres = step * power;
            if (metres * pixelsPerMetre <= maxPixels) chosen = metres;
        }
    }
    bar.metres = chosen;
    bar.pixels = chosen * pixelsPerMetre;
    const auto whole = static_cast<long long>(chosen);
    bar.label = chosen < 1000 ? std::to_string(whole) + " m" : std::to_string(whole / 1000) + " km";
    return bar;
}

std::vector<double> CumulativeDistance(const PointSeries& series) {
    std::vector<double> distance(series.size());
    double total = 0;
    bool havePrevious = false;
    ChordPosition previous{};
    uint32_t previousIndex = 0;
    for (uint32_t i = 0; i < series.size(); ++i) {
        const TrackPoint& p = series[i];
        if (HasPosition(p)) {
            const ChordPosition here = ChordPositionOf(p, 0.0f);
            if (havePrevious && !series.Gap(previousIndex, i))
                total += UnitChord(previous, here) * kEarthRadiusKm * 1000.0;
            previous = here;
            previousIndex = i;
            havePrevious = true;
        }
        distance[i] = total;
    }
    return distance;
}

double PointSeconds(const TrackPoint& p) {
    const int64_t t = TrackPointTime(p);
    if (t < 0) return std::numeric_limits<double>::quiet_NaN();
    const double s = p.seconds;
    const double fraction = (s >= 0 && s < 60) ? s - std::trunc(s) : 0.0;
    return static_cast<double>(t) + fraction;
}

ValueRange AltitudeRange(const PointSeries& series) {
    ValueRange range;
    for (uint32_t i = 0; i < series.size(); ++i) {
        const double a = series.Altitude(i);
        if (!std::isfinite(a)) continue;
        if (!range.valid) {
            range.valid = true;
            range.min = range.max = a;
        }
        range.min = std::min(range.min, a);
        range.max = std::max(range.max, a);
    }
    return range;
}

namespace {

double RampFraction(double altitude, double minAltitude, double maxAltitude) {
    const double span = maxAltitude - minAltitude;
    if (!(span > 0) || !std::isfinite(span) || !std::isfinite(altitude)) return 0.5;
    const double f = (altitude - minAltitude) / span;
    return f < 0 ? 0 : (f > 1 ? 1 : f);
}

}  // namespace

Rgb AltitudeColour(double altitude, double minAltitude, double maxAltitude) {
    static const Rgb kStops[] = {
        {43, 96, 200}, {0, 170, 200}, {60, 175, 70}, {235, 200, 40}, {215, 40, 30}};
    constexpr int kSegments = sizeof kStops / sizeof kStops[0] - 1;
    const double f = RampFraction(altitude, minAltitude, maxAltitude) * kSegments;
    const int k = std::min(kSegments - 1, static_cast<int>(f));
    const double t = f - k;
    auto mix = [t](uint8_t a, uint8_t b) {
        return static_cast<uint8_t>(std::lround(a + (static_cast<double>(b) - a) * t));
    };
    return {mix(kStops[k].r, kStops[k + 1].r), mix(kStops[k].g, kStops[k + 1].g),
            mix(kStops[k].b, kStops[k + 1].b)};
}

int AltitudeBucket(double altitude, double minAltitude, double maxAltitude, int buckets) {
    if (buckets <= 1) return 0;
    const int k = static_cast<int>(RampFraction(altitude, minAltitude, maxAltitude) * buckets);
    return std::min(buckets - 1, k);
}

void NearestPointIndex::Allocate(uint32_t n, double minX, double maxX, double minY,
                                 double maxY) {
    minX_ = minX;
    minY_ = minY;
    const double spanX = maxX - minX, spanY = maxY - minY;
    const uint64_t cells = std::clamp<uint64_t>(n / 2, 1, uint64_t{1} << 21);
    if (!(spanX > 0) && !(spanY > 0)) {
        columns_ = rows_ = 1;
    } else if (!(spanY > 0)) {
        columns_ = static_cast<uint32_t>(cells), rows_ = 1;
    } else if (!(spanX > 0)) {
        columns_ = 1, rows_ = static_cast<uint32_t>(cells);
    } else {
        double c = std::sqrt(static_cast<double>(cells) * spanX / spanY);
        c = c >= 1 ? (c <= static_cast<double>(cells) ? c : static_cast<double>(cells)) : 1;
        columns_ = static_cast<uint32_t>(c + 0.5);
        columns_ = std::clamp<uint32_t>(columns_, 1, static_cast<uint32_t>(cells));
        rows_ = static_cast<uint32_t>(std::max<uint64_t>(1, cells / columns_));
    }
    cellWidth_ = spanX > 0 && std::isfinite(spanX) ? spanX / columns_ : 1.0;
    cellHeight_ = spanY > 0 && std::isfinite(spanY) ? spanY / rows_ : 1.0;
    cellStart_.assign(static_cast<size_t>(columns_) * rows_ + 1, 0);
}

uint32_t NearestPointIndex::CellOf(double x, double y) const {
    const double fx = std::floor((x - minX_) / cellWidth_);
    const double fy = std::floor((y - minY_) / cellHeight_);
    // Outside the grid, or not a number (an infinite extent): the nearest edge cell.
    const uint32_t cx =
        !(fx > 0) ? 0 : (fx >= columns_ - 1 ? columns_ - 1 : static_cast<uint32_t>(fx));
    const uint32_t cy = !(fy > 0) ? 0 : (fy >= rows_ - 1 ? rows_ - 1 : static_cast<uint32_t>(fy));
    return cy * columns_ + cx;
}

int64_t NearestPointIndex::Nearest(double x, double y, double scaleX, double scaleY) const {
    if (indices_.empty() || !std::isfinite(x) || !std::isfinite(y)) return -1;
    const double sx = (scaleX > 0 && std::isfinite(scaleX)) ? scaleX : 1.0;
    const double sy = (scaleY > 0 && std::isfinite(scaleY)) ? scaleY : 1.0;
    const double rx = x - minX_, ry = y - minY_;
    const uint32_t home = CellOf(x, y);
    const int64_t cx = home % columns_, cy = home / columns_;
    const int64_t columns = columns_, rows = rows_;
    const double inf = std::numeric_limits<double>::infinity();

    double best = inf;
    int64_t bestIndex = -1;
    auto visit = [&](int64_t col, int64_t row) {
        const size_t cell = static_cast<size_t>(row * columns + col);
        for (uint32_t k = cellStart_[cell]; k < cellStart_[cell + 1]; ++k) {
            const double dx = sx * (xs_[k] - rx), dy = sy * (ys_[k] - ry);
            const double d = dx * dx + dy * dy;
            if (bestIndex < 0 || d < best || (d == best && indices_[k] < bestIndex)) {
                best = d;
                bestIndex = indices_[k];
            }
        }
    };
    for (int64_t r = 0;; ++r) {
        const int64_t lastRow = std::min(rows - 1, cy + r);
        for (int64_t row = std::max<int64_t>(0, cy - r); row <= lastRow; ++row) {
            if (row == cy - r || row == cy + r) {
                for (int64_t col = std::max<int64_t>(0, cx - r); col <= std::min(columns - 1, cx + r);
                     ++col)
                    visit(col, row);
            } else {
                if (cx - r >= 0) visit(cx - r, row);
                if (cx + r < columns && r > 0) visit(cx + r, row);
            }
        }
        // Every point not seen yet lies beyond the block of rings 0..r.
        const double left = cx - r > 0 ? rx - (cx - r) * cellWidth_ : inf;
        const double right = cx + r + 1 < columns ? (cx + r + 1) * cellWidth_ - rx : inf;
        const double below = cy - r > 0 ? ry - (cy - r) * cellHeight_ : inf;
        const double above = cy + r + 1 < rows ? (cy + r + 1) * cellHeight_ - ry : inf;
        const double gap = std::min(sx * std::min(left, right), sy * std::min(below, above));
        if (gap == inf) break;  // the whole grid was searched
        if (bestIndex >= 0 && best < gap * gap) break;
    }
    return bestIndex;
}

}  // namespace ferolin
