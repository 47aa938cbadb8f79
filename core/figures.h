// The figures of an export list that the track view's strip and
// `ferolin --info` show: points, start and end, duration, distance, moving
// time and average moving speed, maximum speed, ascent and descent through a
// dead band, lowest and highest altitude, and the average and maximum of each
// sensor channel. The rules are stated here once; the manual page repeats them.
//
// - Time: seconds since 1970 UTC with the fraction of the point's seconds.
//   Start and end are the first and last dated entries; duration is end minus
//   start.
// - Segments: nothing is counted across the gap between two segments or
//   tracks (no distance, no moving time, no climb); the duration still runs
//   from the first dated entry to the last.
// - Distance: the great-circle distances (sphere of 6371 km, at sea level)
//   between consecutive entries that have a position, summed.
// - Absent values: a point without altitude or speed (core/sensors.h) counts
//   in none of the figures of that value: the ascent skips it, the extremes
//   and the maximum ignore it.
// - Speed: the point's own speed, or, when every entry has speed 0 (or none)
//   and a date, the derived speed (DeriveSpeeds): distance over time across the points
//   within 2.5 s either side (or the interval before a lone point).
// - Moving time: the sum of the intervals between consecutive dated entries
//   whose length is more than 0 and at most 5 minutes and whose end point
//   moves faster than 1 km/h. The average moving speed is the distance
//   covered in those intervals over their time.
// - Ascent and descent: a counted altitude starts at the first entry's
//   altitude and moves only when an altitude leaves the band of ± threshold
//   around it, by just enough to bring the band's edge to that altitude;
//   ascent sums its rises, descent its falls.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/sensors.h"
#include "core/track_geometry.h"
#include "core/track_point.h"

namespace ferolin {

inline constexpr double kDefaultAscentThreshold = 5.0;  // metres
inline constexpr double kMovingSpeedKmh = 1.0;          // faster is moving
inline constexpr double kMaxMovingGapSeconds = 300.0;   // longer gaps are stops
inline constexpr double kSpeedHalfWindowSeconds = 2.5;  // derived speed: ±2.5 s

struct ChannelFigures {
    uint32_t samples = 0;  // points with a value; 0 = the channel is absent
    double average = 0, maximum = 0;
};

struct TrackFigures {
    uint32_t points = 0;
    uint32_t dated = 0;  // entries with a date
    double start = std::numeric_limits<double>::quiet_NaN();  // NaN when no entry is dated
    double end = std::numeric_limits<double>::quiet_NaN();
    double durationSeconds = 0;
    double distanceMetres = 0;
    double movingSeconds = 0;
    double movingMetres = 0;
    double movingSpeedKmh = 0;  // 0 without moving time
    double maxSpeedKmh = 0;
    bool hasSpeed = false;      // some entry has a speed (its own or derived)
    bool speedDerived = false;  // speeds came from DeriveSpeeds
    double ascentMetres = 0, descentMetres = 0;
    bool hasAltitude = false;  // some entry has a finite altitude
    double minAltitude = 0, maxAltitude = 0;
    ChannelFigures sensors[kSensorCount];  // in the order of kSensorTable
    DeviceTotals device = ReadReport::NoDeviceTotals();  // the device's own, beside the computed

    bool Dated() const { return dated > 0; }
};

// Great-circle distance in metres between two positioned points.
double SegmentMetres(const TrackPoint& a, const TrackPoint& b);

// The dead band of ascent and descent, fed one altitude after another.
class AscentCounter {
public:
    explicit AscentCounter(double threshold) : threshold_(threshold) {}
    void Add(double altitude) {
        if (!std::isfinite(altitude)) return;
        if (!started_) {
            counted_ = altitude;
            started_ = true;
        } else if (altitude > counted_ + threshold_) {
            ascent_ += altitude - threshold_ - counted_;
            counted_ = altitude - threshold_;
        } else if (altitude < counted_ - threshold_) {
            descent_ += counted_ - (altitude + threshold_);
            counted_ = altitude + threshold_;
        }
    }
    double ascent() const { return ascent_; }
    double descent() const { return descent_; }
    // A gap in the track: the next altitude starts the band afresh.
    void Break() { started_ = false; }

private:
    double threshold_;
    double counted_ = 0, ascent_ = 0, descent_ = 0;
    bool started_ = false;
};

// True when the series has at least two points, every one dated and every
// one with speed 0: its speed is then derived rather than read.
bool SpeedNeedsDeriving(const PointSeries& series);

// Speed in km/h at each of `count` points from their times (seconds) and
// cumulative distances (metres): for point i, the points within 2.5 s either
// side give (distance at the last - distance at the first) / (time at the
// last - time at the first); where no other point is that near, the interval
// from the point before (for the first point, to the next) does. 0 where
// that time is not positive.
void DeriveSpeeds(const double* seconds, const double* distance, uint32_t count, float* speeds);

// The speed shown for each point of a series: derived when the series needs
// it, else the points' own (NaN where a point has none). Empty `speeds` when
// the series is empty.
bool SpeedsOf(const PointSeries& series, std::vector<float>& speeds);

// Seconds since 1970 of a point with its fraction, NaN when undated; as
// PointSeconds, with the calendar worked out once per minute.
class PointClock {
public:
    double Seconds(const TrackPoint& p);

private:
    uint64_t key_ = 0;
    int64_t minuteStart_ = -1;
};

// The figures of `count` entries (none: all zero) with the dead band of
// `ascentThreshold` metres; `extras` tells the fields the points lack (none
// when null). The sensor figures are left empty.
void ComputeFigures(const ExportEntry* entries, uint32_t count, double ascentThreshold,
                    TrackFigures& figures, const SensorChannels* extras = nullptr);
// Adds the average and maximum of each channel the track carries, over the
// entries' points that have a value, and the device's own totals.
void AddSensorFigures(const ExportEntry* entries, uint32_t count, const SensorChannels* channels,
                      TrackFigures& figures);

// "2007-06-16T07:30:00Z", or "2007-06-16T07:30:00.985Z" when the time,
// rounded to the millisecond, has a fraction; "" for NaN.
std::string UtcText(double seconds);
// "1:39:55": hours (not bounded), minutes and seconds, rounded to the second.
std::string DurationText(double seconds);

// Average and maximum of a sensor channel over `count` entries;
// `valueOf(i, value)` gives entry i's value, or false when it has none.
template <class ValueOf>
ChannelFigures ChannelFiguresOf(uint32_t count, ValueOf valueOf) {
    ChannelFigures f;
    double sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
        double v;
        if (!valueOf(i, v) || !std::isfinite(v)) continue;
        f.maximum = f.samples == 0 ? v : std::max(f.maximum, v);
        sum += v;
        ++f.samples;
    }
    if (f.samples) f.average = sum / f.samples;
    return f;
}

}  // namespace ferolin
