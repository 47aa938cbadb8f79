// The track view's arithmetic, free of Qt: the local projection of the
// outline, its fit into a window, the scale bar, the per-column decimation of
// long series, the cumulative distance, the altitude colours and the
// nearest-point index that answers clicks. Everything works on the track's
// own array or on an export list through indices; nothing copies the points.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/earth.h"
#include "core/sensors.h"
#include "core/track_point.h"

namespace ferolin {

// A read-only series of points: the track's array or an export list, with
// what the track keeps beside its records (the fields its points lack).
class PointSeries {
public:
    PointSeries() = default;
    PointSeries(const TrackPoint* points, uint32_t count, const SensorChannels* extras = nullptr)
        : points_(points), extras_(extras), count_(points ? count : 0) {}
    PointSeries(const ExportEntry* entries, uint32_t count, const SensorChannels* extras = nullptr)
        : entries_(entries), extras_(extras), count_(entries ? count : 0) {}

    uint32_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    const TrackPoint& operator[](uint32_t i) const {
        return entries_ ? *entries_[i].point : points_[i];
    }
    // Whether the point lacks any of `fields` (PointField bits).
    bool Lacks(uint32_t i, uint8_t fields) const {
        return PointLacks(extras_, entries_ ? entries_[i].index : i, fields);
    }
    // The altitude drawn: the entry's output altitude, or the point's own;
    // NaN for a point without altitude.
    float Altitude(uint32_t i) const {
        if (Lacks(i, kFieldAltitude)) return std::numeric_limits<float>::quiet_NaN();
        return entries_ ? entries_[i].altitude : points_[i].altitude;
    }
    // The point's own speed in km/h; NaN for a point without speed.
    float Speed(uint32_t i) const {
        return Lacks(i, kFieldSpeed) ? std::numeric_limits<float>::quiet_NaN() : (*this)[i].speed;
    }
    // Whether points `a` < `b` of the series lie in different segments of the
    // track: nothing is measured or drawn between them.
    bool Gap(uint32_t a, uint32_t b) const {
        return extras_ && extras_->document.Gap(Index(a), Index(b));
    }
    // The point's index in the track.
    uint32_t Index(uint32_t i) const { return entries_ ? entries_[i].index : i; }

private:
    const TrackPoint* points_ = nullptr;
    const ExportEntry* entries_ = nullptr;
    const SensorChannels* extras_ = nullptr;
    uint32_t count_ = 0;
};

// A point can be placed when its latitude and longitude are finite numbers in
// range; others (a damaged file) are left out of the outline.
inline bool HasPosition(const TrackPoint& p) {
    return std::isfinite(p.latitude) && std::isfinite(p.longitude) && p.latitude >= -90.0 &&
           p.latitude <= 90.0 && p.longitude >= -360.0 && p.longitude <= 360.0;
}

// Degrees east of `reference`, wrapped into [-180, 180).
inline double RelativeLongitude(double longitude, double reference) {
    double d = longitude - reference;
    if (d >= 180.0 || d < -180.0) d -= 360.0 * std::floor((d + 180.0) / 360.0);
    return d;
}

// Equirectangular projection around the track: metres east and north of a
// reference point, the longitude scaled by the cosine of the mean latitude so
// that shapes keep their proportions. Longitudes are taken relative to the
// first point and wrapped into [-180, 180), so a track across the 180th
// meridian stays in one piece.
struct LocalProjection {
    uint32_t positioned = 0;  // points with a position; 0 = nothing to draw
    double referenceLatitude = 0;
    double referenceLongitude = 0;
    double meanLatitude = 0;
    double eastScale = kMetresPerDegree;  // metres per degree of longitude
    double minX = 0, maxX = 0, minY = 0, maxY = 0;  // extent in metres

    bool Project(const TrackPoint& p, double& x, double& y) const {
        if (!HasPosition(p)) return false;
        x = RelativeLongitude(p.longitude, referenceLongitude) * eastScale;
        y = (p.latitude - referenceLatitude) * kMetresPerDegree;
        return true;
    }
};

LocalProjection MakeLocalProjection(const PointSeries& series);

// Screen placement of the projected track: x right, y down.
struct ScreenFit {
    double pixelsPerMetre = 1;
    double originX = 0, originY = 0;  // pixel of the metre origin

    double ScreenX(double x) const { return originX + x * pixelsPerMetre; }
    double ScreenY(double y) const { return originY - y * pixelsPerMetre; }
    double MetreX(double sx) const { return (sx - originX) / pixelsPerMetre; }
    double MetreY(double sy) const { return (originY - sy) / pixelsPerMetre; }
};

// The least ground a view spans, so that a point, or a logger lying still,
// does not fill the window with its noise.
constexpr double kMinimumViewMetres = 20.0;

// Fits the projection's extent, centred and with one scale for both axes,
// into a width × height rectangle less `margin` pixels on every side.
ScreenFit FitToRectangle(const LocalProjection& projection, double width, double height,
                         double margin);

struct ScaleBar {
    double metres = 0;  // 0 when there is nothing to measure
    double pixels = 0;
    std::string label;  // "500 m", "2 km"
};

// The longest bar of 1, 2 or 5 times a power of ten metres (at least 1 m)
// that fits into `maxPixels`.
ScaleBar ChooseScaleBar(double pixelsPerMetre, double maxPixels);

// Distance along the series from its first point to each point, in metres:
// the sum of the chords between consecutive positions at sea level (as the
// statistics measure, without the altitude, so that a wrong altitude does not
// stretch the axis). Points without a position add nothing, and nor does the
// gap between two segments.
std::vector<double> CumulativeDistance(const PointSeries& series);

// Seconds since 1970 of a point, with the fraction of its seconds; NaN for an
// undated point.
double PointSeconds(const TrackPoint& p);

struct ValueRange {
    bool valid = false;  // false when no value is finite
    double min = 0, max = 0;
};

// Lowest and highest finite altitude of the series.
ValueRange AltitudeRange(const PointSeries& series);

struct Rgb {
    uint8_t r, g, b;
};

// Colour of an altitude on the ramp blue (lowest), cyan, green, yellow, red
// (highest). A flat or unknown range gives the middle colour.
Rgb AltitudeColour(double altitude, double minAltitude, double maxAltitude);

// The ramp cut into `buckets` steps: the step of an altitude, 0 .. buckets-1.
int AltitudeBucket(double altitude, double minAltitude, double maxAltitude, int buckets);

// Per-column decimation of a series of `count` samples (x(i), y(i)), keeping
// spikes: the x range [xMin, xMax] is cut into `columns` columns, and of each
// run of consecutive samples in one column the first, the lowest, the highest
// and the last are kept, in index order. Samples whose x or y is not finite
// are skipped. Returns the kept sample indices; for a series whose x grows
// that is at most four per column, whatever the count.
template <class XOf, class YOf>
void DecimateByColumn(uint32_t count, double xMin, double xMax, uint32_t columns, XOf xOf,
                      YOf yOf, std::vector<uint32_t>& kept) {
    kept.clear();
    if (columns == 0) columns = 1;
    const double span = xMax - xMin;
    const double perUnit = (span > 0 && std::isfinite(span)) ? columns / span : 0.0;
    int64_t runColumn = -1;
    uint32_t first = 0, low = 0, high = 0, last = 0;
    double lowY = 0, highY = 0;
    auto flush = [&] {
        if (runColumn < 0) return;
        uint32_t picks[4] = {first, low, high, last};
        std::sort(picks, picks + 4);
        for (int k = 0; k < 4; ++k)
            if (k == 0 || picks[k] != picks[k - 1]) kept.push_back(picks[k]);
    };
    for (uint32_t i = 0; i < count; ++i) {
        const double x = xOf(i), y = yOf(i);
        if (!std::isfinite(x) || !std::isfinite(y)) continue;
        double c = (x - xMin) * perUnit;
        c = c >= 0 ? (c < columns ? c : columns - 1) : 0;  // NaN too goes to column 0
        const int64_t column = static_cast<int64_t>(c);
        if (column != runColumn) {
            flush();
            runColumn = column;
            first = low = high = last = i;
            lowY = highY = y;
            continue;
        }
        last = i;
        if (y < lowY) lowY = y, low = i;
        if (y > highY) highY = y, high = i;
    }
    flush();
}

// Index of the nearest point to a position, through a uniform grid of cells
// holding the points' indices (sorted by cell): a query looks at the cells
// around the position ring by ring and stops as soon as no farther cell can
// hold a nearer point, so a click costs a few cells, not a scan of the track.
class NearestPointIndex {
public:
    // `position(i, x, y)` gives point i's coordinates, or false to leave it out.
    template <class PositionOf>
    void Build(uint32_t count, PositionOf position);

    bool empty() const { return indices_.empty(); }
    size_t size() const { return indices_.size(); }

    // The point nearest to (x, y) by the distance √((sx·dx)² + (sy·dy)²); among
    // equally near points the lowest index. -1 when the index is empty.
    int64_t Nearest(double x, double y, double scaleX = 1.0, double scaleY = 1.0) const;

private:
    void Allocate(uint32_t n, double minX, double maxX, double minY, double maxY);
    uint32_t CellOf(double x, double y) const;

    double minX_ = 0, minY_ = 0, cellWidth_ = 1, cellHeight_ = 1;
    uint32_t columns_ = 0, rows_ = 0;
    std::vector<uint32_t> cellStart_;  // columns_ * rows_ + 1 offsets
    std::vector<uint32_t> indices_;    // point indices, by cell
    std::vector<float> xs_, ys_;       // their coordinates relative to the minimum
};

template <class PositionOf>
void NearestPointIndex::Build(uint32_t count, PositionOf position) {
    cellStart_.clear();
    indices_.clear();
    xs_.clear();
    ys_.clear();
    columns_ = rows_ = 0;
    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -minX, maxY = -minX;
    uint32_t n = 0;
    for (uint32_t i = 0; i < count; ++i) {
        double x, y;
        if (!position(i, x, y) || !std::isfinite(x) || !std::isfinite(y)) continue;
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
        ++n;
    }
    if (n == 0) return;
    Allocate(n, minX, maxX, minY, maxY);
    std::vector<uint32_t> cells(n);
    uint32_t k = 0;
    for (uint32_t i = 0; i < count && k < n; ++i) {
        double x, y;
        if (!position(i, x, y) || !std::isfinite(x) || !std::isfinite(y)) continue;
        cells[k] = CellOf(x, y);
        ++cellStart_[cells[k] + 1];
        ++k;
    }
    for (size_t c = 1; c < cellStart_.size(); ++c) cellStart_[c] += cellStart_[c - 1];
    std::vector<uint32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
    indices_.resize(k);
    xs_.resize(k);
    ys_.resize(k);
    uint32_t j = 0;
    for (uint32_t i = 0; i < count && j < k; ++i) {
        double x, y;
        if (!position(i, x, y) || !std::isfinite(x) || !std::isfinite(y)) continue;
        const uint32_t slot = fill[cells[j]]++;
        indices_[slot] = i;
        constexpr double kFloatMax = std::numeric_limits<float>::max();
        xs_[slot] = static_cast<float>(std::min(x - minX_, kFloatMax));
        ys_[slot] = static_cast<float>(std::min(y - minY_, kFloatMax));
        ++j;
    }
}

}  // namespace ferolin
