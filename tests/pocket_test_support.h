// Shared pieces of the handheld edition's tests: a small track of three
// points and the comma-decimal locale.
#pragma once

#include <clocale>
#include <string>
#include <tuple>
#include <vector>

#include "pocket/ppc_track.h"

namespace pocket_test {

// Record 5: 5 March 2005 08:07:06.5, 45.5 N 3.25 W, 100 m, 36 km/h.
// Record 6: 5 March 2005 08:07:09.5, 12.345678 S 123.456789 E, altitude 0.
// Record 7: 29 February 2004 23:59:59.999, 0/0, -5.5 m, 0.5 km/h.
inline std::vector<PPCTrackPoint> ThreePoints() {
    return {
        {.record = 5, .eventType = 1, .year = 2005, .month = 3, .day = 5, .hour = 8, .minute = 7,
         .seconds = 6.5, .latitude = 45.5, .longitude = -3.25, .altitude = 100, .pdop = 2.5,
         .hdop = 1.25, .vdop = 3, .satellites = 7, .speed = 36, .direction = 90.5},
        {.record = 6, .year = 2005, .month = 3, .day = 5, .hour = 8, .minute = 7, .seconds = 9.5,
         .latitude = -12.345678, .longitude = 123.456789, .satellites = 4, .speed = 18},
        {.record = 7, .year = 2004, .month = 2, .day = 29, .hour = 23, .minute = 59,
         .seconds = 59.999, .altitude = -5.5, .speed = 0.5, .direction = 359.9},
    };
}

// Every field of a record, to compare two records with one expectation that
// prints both when it fails.
inline auto Fields(const PPCTrackPoint& p) {
    return std::tuple(p.record, p.eventType, p.year, p.month, p.day, p.hour, p.minute, p.seconds,
                      p.latitude, p.longitude, p.altitude, p.pdop, p.hdop, p.vdop, p.satellites,
                      p.speed, p.direction);
}

// The same three points as BlueGPS datalog text.
inline std::string ThreePointDatalog() {
    return "BlueGPS Datalog\r\nAbout total Numbers: 3\r\n=====================\r\n"
           "Record: 5\r\nEvent Type: 1\r\nYear: 2005\r\nMonth: 3\r\nDay: 5\r\nHour: 8\r\n"
           "Minute: 7\r\nSecond: 6.5\r\nLatitude: 45.5\r\nLongitude: -3.25\r\nAltitude: 100\r\n"
           "PDOP: 2.5\r\nHDOP: 1.25\r\nSatellite No: 7\r\nSpeed(KMs/hr): 36\r\nDirection: 90.5\r\n"
           "=====================\r\n"
           "Record: 6\r\nYear: 2005\r\nMonth: 3\r\nDay: 5\r\nHour: 8\r\nMinute: 7\r\n"
           "Second: 9.5\r\nLatitude: -12.345678\r\nLongitude: 123.456789\r\nAltitude: 0\r\n"
           "Satellite No: 4\r\nSpeed(KMs/hr): 18\r\n=====================\r\n"
           "Record: 7\r\nYear: 2004\r\nMonth: 2\r\nDay: 29\r\nHour: 23\r\nMinute: 59\r\n"
           "Second: 59.999\r\nAltitude: -5.5\r\nSpeed(KMs/hr): 0.5\r\nDirection: 359.9\r\n"
           "=====================\r\n";
}

// Switches the whole C library to the German locale (decimal comma); false
// when the locale is not installed.
inline bool UseCommaLocale() {
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) return false;
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    return std::string(text) == "1,5";
}

}  // namespace pocket_test
