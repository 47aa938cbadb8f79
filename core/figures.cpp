#include "core/figures.h"

#include <algorithm>

#include "core/earth.h"
#include "core/text_format.h"

namespace ferolin {

namespace {

constexpr double kEarthRadiusMetres = kEarthRadiusKm * 1000.0;
// Below this many radians in latitude and longitude (about 6 km) a segment is
// measured on the local plane: the same distance to a millionth.
constexpr double kPlaneSegmentRadians = 1e-3;

bool IsDated(const TrackPoint& p) { return p.day != 0 && p.month != 0 && p.year != 0; }

// Great-circle distance of one segment given in radians.
double SphereMetres(double lat1, double lat2, double dLat, double dLon) {
    const double sLat = std::sin(0.5 * dLat), sLon = std::sin(0.5 * dLon);
    const double h = sLat * sLat + std::cos(lat1) * std::cos(lat2) * sLon * sLon;
    return 2.0 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
}

// Segment lengths along a track. On the local plane the east-west part needs
// the cosine of the segment's middle latitude; it is taken from the cosine and
// sine of an anchor latitude by the series of the difference, and the anchor
// moves (one cosine and one sine) only when the track has gone more than
// 0.05 rad (300 km) north or south of it. The series' error is below 1e-10.
class SegmentMeter {
public:
    double Metres(const TrackPoint& a, const TrackPoint& b) {
        const double lat1 = a.latitude * kDegreesToRadians, lat2 = b.latitude * kDegreesToRadians;
        const double dLat = lat2 - lat1;
        const double dLon = RelativeLongitude(b.longitude, a.longitude) * kDegreesToRadians;
        if (!(std::fabs(dLat) < kPlaneSegmentRadians && std::fabs(dLon) < kPlaneSegmentRadians))
            return SphereMetres(lat1, lat2, dLat, dLon);
        const double middle = 0.5 * (lat1 + lat2);
        double d = middle - anchor_;
        if (!(std::fabs(d) <= 0.05)) {
            anchor_ = middle;
            cosAnchor_ = std::cos(middle);
            sinAnchor_ = std::sin(middle);
            d = 0;
        }
        const double d2 = d * d;
        const double cosD = 1.0 - d2 * (0.5 - d2 * (1.0 / 24 - d2 / 720));
        const double sinD = d * (1.0 - d2 * (1.0 / 6 - d2 / 120));
        const double east = dLon * (cosAnchor_ * cosD - sinAnchor_ * sinD);
        return kEarthRadiusMetres * std::sqrt(east * east + dLat * dLat);
    }

private:
    double anchor_ = 1e9, cosAnchor_ = 0, sinAnchor_ = 0;
};

// Seconds and cumulative distance of every entry, for the derived speed.
void TimesAndDistances(const PointSeries& series, std::vector<double>& seconds,
                       std::vector<double>& distance) {
    const uint32_t n = series.size();
    seconds.resize(n);
    distance.resize(n);
    PointClock clock;
    SegmentMeter meter;
    const TrackPoint* previous = nullptr;
    uint32_t previousIndex = 0;
    double total = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const TrackPoint& p = series[i];
        seconds[i] = clock.Seconds(p);
        if (HasPosition(p)) {
            if (previous && !series.Gap(previousIndex, i)) total += meter.Metres(*previous, p);
            previous = &p;
            previousIndex = i;
        }
        distance[i] = total;
    }
}

// The figures fed one entry at a time, in order.
class FigureAccumulator {
public:
    FigureAccumulator(TrackFigures& f, double threshold) : f_(f), climb_(threshold) {}

    // The entry after a gap between segments: no interval of moving time
    // and no climb reach back across it.
    void Break() {
        previousTime_ = std::numeric_limits<double>::quiet_NaN();
        climb_.Break();
    }

    void Add(double t, double step, double speed, double altitude) {
        f_.distanceMetres += step;
        if (std::isfinite(speed)) {
            if (speed > f_.maxSpeedKmh) f_.maxSpeedKmh = speed;
            f_.hasSpeed = true;
        }
        if (t == t) {
            if (f_.dated++ == 0) f_.start = t;
            f_.end = t;
            const double gap = t - previousTime_;  // NaN after an undated entry
            if (gap > 0 && gap <= kMaxMovingGapSeconds && speed > kMovingSpeedKmh) {
                f_.movingSeconds += gap;
                f_.movingMetres += step;
            }
        }
        previousTime_ = t;
        if (std::isfinite(altitude)) {
            if (!f_.hasAltitude) f_.minAltitude = f_.maxAltitude = altitude;
            f_.minAltitude = std::min(f_.minAltitude, altitude);
            f_.maxAltitude = std::max(f_.maxAltitude, altitude);
            f_.hasAltitude = true;
            climb_.Add(altitude);
        }
    }

    void Finish() {
        if (f_.dated) f_.durationSeconds = f_.end - f_.start;
        if (f_.movingSeconds > 0) f_.movingSpeedKmh = f_.movingMetres / f_.movingSeconds * 3.6;
        f_.ascentMetres = climb_.ascent();
        f_.descentMetres = climb_.descent();
    }

private:
    TrackFigures& f_;
    AscentCounter climb_;
    double previousTime_ = std::numeric_limits<double>::quiet_NaN();
};

}  // namespace

double SegmentMetres(const TrackPoint& a, const TrackPoint& b) {
    SegmentMeter meter;
    return meter.Metres(a, b);
}

double PointClock::Seconds(const TrackPoint& p) {
    if (!IsDated(p)) return std::numeric_limits<double>::quiet_NaN();
    const uint64_t key = uint64_t{static_cast<uint16_t>(p.year)} << 32 |
                         uint64_t{static_cast<uint8_t>(p.month)} << 24 |
                         uint64_t{static_cast<uint8_t>(p.day)} << 16 |
                         uint64_t{static_cast<uint8_t>(p.hour)} << 8 |
                         static_cast<uint8_t>(p.minute);
    if (key != key_) {
        key_ = key;
        minuteStart_ = CalendarTime(p.year, p.month, p.day, p.hour, p.minute, 0);
    }
    // Within the minute, whole seconds plus their fraction are the seconds
    // themselves; anything else goes the long way.
    const float s = p.seconds;
    if (minuteStart_ >= 0 && s >= 0 && s < 60) return static_cast<double>(minuteStart_) + s;
    return PointSeconds(p);
}

bool SpeedNeedsDeriving(const PointSeries& series) {
    if (series.size() < 2) return false;
    for (uint32_t i = 0; i < series.size(); ++i) {
        const TrackPoint& p = series[i];
        if (p.speed != 0.0f || !IsDated(p)) return false;
    }
    return true;
}

namespace {

// The derived speed of each point in turn, the window's two ends moving
// forward with it.
class SpeedWindow {
public:
    SpeedWindow(const double* seconds, const double* distance, uint32_t count)
        : seconds_(seconds), distance_(distance), count_(count) {}

    float At(uint32_t i) {
        const double t = seconds_[i];
        while (a_ < i && seconds_[a_] < t - kSpeedHalfWindowSeconds) ++a_;
        b_ = std::max(b_, i);
        while (b_ + 1 < count_ && seconds_[b_ + 1] <= t + kSpeedHalfWindowSeconds) ++b_;
        uint32_t first = a_, last = b_;
        if (first == last) {  // sparse points: the interval that ends here
            if (i > 0) first = i - 1;
            else if (count_ > 1) last = 1;
        }
        const double dt = seconds_[last] - seconds_[first];
        return dt > 0 ? static_cast<float>((distance_[last] - distance_[first]) / dt * 3.6) : 0.0f;
    }

private:
    const double* seconds_;
    const double* distance_;
    uint32_t count_;
    uint32_t a_ = 0, b_ = 0;
};

}  // namespace

void DeriveSpeeds(const double* seconds, const double* distance, uint32_t count, float* speeds) {
    SpeedWindow window(seconds, distance, count);
    for (uint32_t i = 0; i < count; ++i) speeds[i] = window.At(i);
}

bool SpeedsOf(const PointSeries& series, std::vector<float>& speeds) {
    speeds.resize(series.size());
    if (SpeedNeedsDeriving(series)) {
        std::vector<double> seconds, distance;
        TimesAndDistances(series, seconds, distance);
        DeriveSpeeds(seconds.data(), distance.data(), series.size(), speeds.data());
        return true;
    }
    for (uint32_t i = 0; i < series.size(); ++i) speeds[i] = series.Speed(i);
    return false;
}

void ComputeFigures(const ExportEntry* entries, uint32_t count, double ascentThreshold,
                    TrackFigures& f, const SensorChannels* extras) {
    f = TrackFigures{};
    if (!entries || count == 0) return;
    f.points = count;
    FigureAccumulator sum(f, ascentThreshold);
    const PointSeries series(entries, count, extras);
    if (SpeedNeedsDeriving(series)) {
        f.speedDerived = true;
        std::vector<double> seconds, distance;
        TimesAndDistances(series, seconds, distance);
        SpeedWindow window(seconds.data(), distance.data(), count);
        for (uint32_t i = 0; i < count; ++i) {
            if (i && series.Gap(i - 1, i)) sum.Break();
            sum.Add(seconds[i], i ? distance[i] - distance[i - 1] : 0.0, window.At(i),
                    series.Altitude(i));
        }
    } else {
        PointClock clock;
        SegmentMeter meter;
        const TrackPoint* positioned = nullptr;
        uint32_t positionedAt = 0;
        for (uint32_t i = 0; i < count; ++i) {
            const TrackPoint& p = *entries[i].point;
            if (i && series.Gap(i - 1, i)) sum.Break();
            double step = 0;
            if (HasPosition(p)) {
                if (positioned && !series.Gap(positionedAt, i)) step = meter.Metres(*positioned, p);
                positioned = &p;
                positionedAt = i;
            }
            sum.Add(clock.Seconds(p), step, series.Speed(i), series.Altitude(i));
        }
    }
    sum.Finish();
}

void AddSensorFigures(const ExportEntry* entries, uint32_t count, const SensorChannels* channels,
                      TrackFigures& figures) {
    figures.device = channels ? channels->device : ReadReport::NoDeviceTotals();
    for (int c = 0; c < kSensorCount; ++c) {
        const Sensor sensor = kSensorTable[c].sensor;
        figures.sensors[c] = ChannelFigures{};
        if (!channels || !channels->Has(sensor)) continue;
        figures.sensors[c] = ChannelFiguresOf(count, [&](uint32_t i, double& value) {
            const float v = channels->Value(sensor, entries[i].index);
            value = v;
            return IsSensorValue(v);
        });
    }
}

std::string UtcText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 253402300799.0) return std::string();
    TextBuffer out;
    AppendIsoTime(out, std::llround(seconds * 1000.0));
    return std::string(out.View());
}

std::string DurationText(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > 9.2e18) return std::string();
    const int64_t total = std::llround(std::fabs(seconds));
    TextBuffer out;
    if (seconds < 0 && total > 0) out.Append('-');
    AppendInt(out, total / 3600);
    out.Append(':');
    AppendInt(out, total / 60 % 60, 2);
    out.Append(':');
    AppendInt(out, total % 60, 2);
    return std::string(out.View());
}

}  // namespace ferolin
