#include "core/figures.h"

#include <algorithm>

#include "core/statistics.h"

namespace ferolin {

namespace {

constexpr double kEarthRadiusMetres = kEarthRadiusKm * 1000.0;
// Below this many radians in latitude and longitude (about 6 km) a segment is
// measured on the local plane: the same distance to a millionth, one cosine
// instead of the trigonometry of the sphere.
constexpr double kPlaneSegmentRadians = 1e-3;

bool IsDated(const TrackPoint& p) { return p.day != 0 && p.month != 0 && p.year != 0; }

// Seconds and cumulative distance of every entry, for the derived speed.
void TimesAndDistances(const PointSeries& series, std::vector<double>& seconds,
                       std::vector<double>& distance) {
    const uint32_t n = series.size();
    seconds.resize(n);
    distance.resize(n);
    PointClock clock;
    const TrackPoint* previous = nullptr;
    double total = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const TrackPoint& p = series[i];
        seconds[i] = clock.Seconds(p);
        if (HasPosition(p)) {
            if (previous) total += SegmentMetres(*previous, p);
            previous = &p;
        }
        distance[i] = total;
    }
}

}  // namespace

double SegmentMetres(const TrackPoint& a, const TrackPoint& b) {
    const double lat1 = a.latitude * kDegreesToRadians, lat2 = b.latitude * kDegreesToRadians;
    const double dLat = lat2 - lat1;
    const double dLon = RelativeLongitude(b.longitude, a.longitude) * kDegreesToRadians;
    if (std::fabs(dLat) < kPlaneSegmentRadians && std::fabs(dLon) < kPlaneSegmentRadians) {
        const double east = dLon * std::cos(0.5 * (lat1 + lat2));
        return kEarthRadiusMetres * std::sqrt(east * east + dLat * dLat);
    }
    const double sLat = std::sin(0.5 * dLat), sLon = std::sin(0.5 * dLon);
    const double h = sLat * sLat + std::cos(lat1) * std::cos(lat2) * sLon * sLon;
    return 2.0 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
}

double PointClock::Seconds(const TrackPoint& p) {
    if (!IsDated(p)) return std::numeric_limits<double>::quiet_NaN();
    const uint32_t key = static_cast<uint32_t>(static_cast<uint16_t>(p.year)) << 16 |
                         static_cast<uint32_t>(static_cast<uint8_t>(p.month)) << 8 |
                         static_cast<uint8_t>(p.day);
    if (key != key_) {
        key_ = key;
        dayStart_ = CalendarTime(p.year, p.month, p.day, 0, 0, 0);
    }
    if (dayStart_ < 0) return PointSeconds(p);
    const float s = p.seconds;
    const int whole = (s > -2147483648.0f && s < 2147483648.0f) ? static_cast<int>(s) : 0;
    const int64_t t = dayStart_ + int64_t{p.hour} * 3600 + int64_t{p.minute} * 60 + whole;
    if (t < 0) return std::numeric_limits<double>::quiet_NaN();
    const double fraction = (s >= 0 && s < 60) ? s - std::trunc(s) : 0.0;
    return static_cast<double>(t) + fraction;
}

bool SpeedNeedsDeriving(const PointSeries& series) {
    if (series.size() < 2) return false;
    for (uint32_t i = 0; i < series.size(); ++i) {
        const TrackPoint& p = series[i];
        if (p.speed != 0.0f || !IsDated(p)) return false;
    }
    return true;
}

void DeriveSpeeds(const double* seconds, const double* distance, uint32_t count, float* speeds) {
    uint32_t a = 0, b = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const double t = seconds[i];
        while (a < i && seconds[a] < t - kSpeedHalfWindowSeconds) ++a;
        b = std::max(b, i);
        while (b + 1 < count && seconds[b + 1] <= t + kSpeedHalfWindowSeconds) ++b;
        uint32_t first = a, last = b;
        if (first == last) {  // sparse points: the interval that ends here
            if (i > 0) first = i - 1;
            else if (count > 1) last = 1;
        }
        const double dt = seconds[last] - seconds[first];
        speeds[i] = dt > 0 ? static_cast<float>((distance[last] - distance[first]) / dt * 3.6)
                           : 0.0f;
    }
}

bool SpeedsOf(const PointSeries& series, std::vector<float>& speeds) {
    speeds.resize(series.size());
    if (SpeedNeedsDeriving(series)) {
        std::vector<double> seconds, distance;
        TimesAndDistances(series, seconds, distance);
        DeriveSpeeds(seconds.data(), distance.data(), series.size(), speeds.data());
        return true;
    }
    for (uint32_t i = 0; i < series.size(); ++i) speeds[i] = series[i].speed;
    return false;
}

void ComputeFigures(const ExportEntry* entries, uint32_t count, double ascentThreshold,
                    TrackFigures& f) {
    f = TrackFigures{};
    if (!entries || count == 0) return;
    f.points = count;
    const PointSeries series(entries, count);
    std::vector<float> derived;
    if (SpeedNeedsDeriving(series)) {
        SpeedsOf(series, derived);
        f.speedDerived = true;
    }

    PointClock clock;
    AscentCounter climb(ascentThreshold);
    const TrackPoint* positioned = nullptr;
    double previousTime = std::numeric_limits<double>::quiet_NaN();
    for (uint32_t i = 0; i < count; ++i) {
        const TrackPoint& p = *entries[i].point;
        double step = 0;
        if (HasPosition(p)) {
            if (positioned) step = SegmentMetres(*positioned, p);
            f.distanceMetres += step;
            positioned = &p;
        }
        const double speed = f.speedDerived ? derived[i] : p.speed;
        if (speed > f.maxSpeedKmh) f.maxSpeedKmh = speed;

        const double t = clock.Seconds(p);
        if (t == t) {
            if (f.dated++ == 0) f.start = t;
            f.end = t;
            const double gap = t - previousTime;  // NaN after an undated entry
            if (gap > 0 && gap <= kMaxMovingGapSeconds && speed > kMovingSpeedKmh) {
                f.movingSeconds += gap;
                f.movingMetres += step;
            }
        }
        previousTime = t;

        const double altitude = entries[i].altitude;
        if (std::isfinite(altitude)) {
            f.minAltitude = f.hasAltitude ? std::min(f.minAltitude, altitude) : altitude;
            f.maxAltitude = f.hasAltitude ? std::max(f.maxAltitude, altitude) : altitude;
            f.hasAltitude = true;
            climb.Add(altitude);
        }
    }
    if (f.dated) f.durationSeconds = f.end - f.start;
    if (f.movingSeconds > 0) f.movingSpeedKmh = f.movingMetres / f.movingSeconds * 3.6;
    f.ascentMetres = climb.ascent();
    f.descentMetres = climb.descent();
}

}  // namespace ferolin
