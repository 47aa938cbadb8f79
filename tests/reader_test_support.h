// Track points written out where a test needs one in code.
#pragma once

#include <cstdint>

#include "core/track_point.h"

namespace ferolin_test {

// A point at a place, on a date and at a time of day; every other field is 0.
inline ferolin::TrackPoint DatedPoint(double latitude, double longitude, int year, int month, int day,
                                      int hour = 0, int minute = 0, float seconds = 0) {
    ferolin::TrackPoint p{};
    p.latitude = latitude;
    p.longitude = longitude;
    p.year = static_cast<int16_t>(year);
    p.month = static_cast<int8_t>(month);
    p.day = static_cast<int8_t>(day);
    p.hour = static_cast<int8_t>(hour);
    p.minute = static_cast<int8_t>(minute);
    p.seconds = seconds;
    return p;
}

// The fields of a fix beyond place and time, named where they are set:
// WithFix(DatedPoint(...), {.altitude = 100, .satellites = 7}).
struct Fix {
    int record = 0;
    float altitude = 0;
    float speed = 0;  // km/h
    float direction = 0;
    int satellites = 0;
    float pdop = 0;
    float hdop = 0;
    float vdop = 0;
};
inline ferolin::TrackPoint WithFix(ferolin::TrackPoint p, const Fix& f) {
    p.record = f.record;
    p.altitude = f.altitude;
    p.speed = f.speed;
    p.direction = f.direction;
    p.satellites = static_cast<int8_t>(f.satellites);
    p.pdop = f.pdop;
    p.hdop = f.hdop;
    p.vdop = f.vdop;
    return p;
}

}  // namespace ferolin_test
