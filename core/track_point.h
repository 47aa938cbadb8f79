// The one in-memory representation of a track: an array of fixed 55-byte
// point records, and the export list that writers receive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace ferolin {

// One track point, byte for byte as the native .frn file stores it.
// Little-endian integers, IEEE-754 reals, no padding. Zero means absent.
#pragma pack(push, 1)
struct TrackPoint {
    int32_t record;     // record number from the source, or 1-based when numbered here
    int8_t day;         // 1-31, 0 = no date
    int8_t month;       // 1-12, 0 = no date
    int16_t year;       // full year, 0 = no date
    int8_t hour;        // 0-23
    int8_t minute;      // 0-59
    float seconds;      // seconds of the minute with fraction
    double latitude;    // decimal degrees, north positive
    double longitude;   // decimal degrees, east positive
    float altitude;     // metres, as delivered by the source
    float pdop;
    float hdop;
    float vdop;
    float speed;        // km/h
    float direction;    // degrees
    int8_t satellites;  // satellites used
};
#pragma pack(pop)

static_assert(sizeof(TrackPoint) == 55, "TrackPoint must be 55 bytes");
static_assert(offsetof(TrackPoint, record) == 0);
static_assert(offsetof(TrackPoint, day) == 4);
static_assert(offsetof(TrackPoint, month) == 5);
static_assert(offsetof(TrackPoint, year) == 6);
static_assert(offsetof(TrackPoint, hour) == 8);
static_assert(offsetof(TrackPoint, minute) == 9);
static_assert(offsetof(TrackPoint, seconds) == 10);
static_assert(offsetof(TrackPoint, latitude) == 14);
static_assert(offsetof(TrackPoint, longitude) == 22);
static_assert(offsetof(TrackPoint, altitude) == 30);
static_assert(offsetof(TrackPoint, pdop) == 34);
static_assert(offsetof(TrackPoint, hdop) == 38);
static_assert(offsetof(TrackPoint, vdop) == 42);
static_assert(offsetof(TrackPoint, speed) == 46);
static_assert(offsetof(TrackPoint, direction) == 50);
static_assert(offsetof(TrackPoint, satellites) == 54);

struct FreeDeleter {
    void operator()(void* p) const noexcept { std::free(p); }
};

// Zero-filled heap array of points; the reader that fills it hands it, with
// its count, to the caller, who owns it from then on.
using TrackPointArray = std::unique_ptr<TrackPoint[], FreeDeleter>;

// Allocates `count` zero-filled points; empty on failure (and for 0 points).
TrackPointArray AllocateTrackPoints(std::size_t count);

// One element of the export list: the selected point, the altitude to write
// (after geoid correction and smoothing) and the point's index in the track.
// Writers take the altitude from the entry, every other value from the point
// and the point's sensor values (core/sensors.h) through the index.
struct ExportEntry {
    const TrackPoint* point;
    float altitude;
    uint32_t index;
};
static_assert(sizeof(ExportEntry) == 16, "the index fills the entry's padding");

// Whether a position is one on the earth: both coordinates finite, latitude
// within ±90 and longitude within ±180 degrees. Readers give no point for
// any other.
inline bool IsRealPosition(double latitude, double longitude) {
    return latitude >= -90 && latitude <= 90 && longitude >= -180 && longitude <= 180;
}

// Seconds since 1970-01-01 00:00:00 UTC of the point's date and time, whole
// seconds (the fraction is dropped). -1 for undated points (day, month or year
// 0) and for every time before 1970.
int64_t TrackPointTime(const TrackPoint& point);

// The same conversion for loose calendar fields; months and days outside their
// range carry over the way the C library's calendar conversion does.
int64_t CalendarTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace ferolin
