// The handheld edition's track record and its data path: the two readers, the
// four writers and the day number of the PLT format. Plain functions on plain
// records, standard library and POSIX only, shared with nothing of ferolin.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

// One track point, fields in the handheld's order and the machine's natural
// alignment. Zero means "not in the file" for every field.
struct PPCTrackPoint {
    int32_t record;      // datalog "Record: "; NMEA: position in the array + 1
    int32_t eventType;   // datalog "Event Type: "; NMEA: 1 for RMC status "A"
    int32_t year;
    int32_t month;
    int32_t day;
    int32_t hour;
    int32_t minute;
    double seconds;
    double latitude;     // degrees, south negative
    double longitude;    // degrees, west negative
    double altitude;     // metres; exactly 0 counts as missing
    double pdop;
    double hdop;
    double vdop;
    int32_t satellites;
    double speed;        // km/h
    double direction;    // degrees
};

// A zero-filled heap block of records, released with free().
struct PPCFree {
    void operator()(PPCTrackPoint* p) const { std::free(p); }
};
using PPCTrackArray = std::unique_ptr<PPCTrackPoint, PPCFree>;

// Export format codes handed from the window to the document.
enum PPCExportFormat { kPPCText = 1, kPPCGpx = 2, kPPCPcx5 = 3, kPPCPlt = 4 };

// Readers: 0 with the array and its count (count 0: no track point), 1 when
// the file cannot be opened (or is no regular file), its header is damaged or
// the array cannot be allocated. On 1 the array is empty and the count 0.
int PPCReadDatalog(const std::string& path, PPCTrackArray& points, uint32_t& count);
int PPCReadNmea(const std::string& path, PPCTrackArray& points, uint32_t& count);
// The same on text held in memory (fuzzing).
int PPCReadDatalogText(std::string_view text, PPCTrackArray& points, uint32_t& count);
int PPCReadNmeaText(std::string_view text, PPCTrackArray& points, uint32_t& count);

// Writers: 0 when the file was written completely, 1 when it cannot be
// created or a write fails (the file at the path is then left as it was).
// A non-zero flag skips the points whose altitude is exactly 0. The names are
// UTF-8.
int PPCWriteGpx(const std::string& path, const std::string& name, const PPCTrackPoint* points,
                uint32_t count, int flag);
int PPCWritePcx5(const std::string& path, const PPCTrackPoint* points, uint32_t count, int flag);
int PPCWritePlt(const std::string& path, const std::string& name, const PPCTrackPoint* points,
                uint32_t count, int flag);
int PPCWriteText(const std::string& path, const PPCTrackPoint* points, uint32_t count, int flag);
// Whether a writer given `flag` leaves the point out.
inline bool PPCSkipsPoint(const PPCTrackPoint& p, int flag) { return flag != 0 && p.altitude == 0.0; }

// Days since 30 December 1899 plus the time of day as a fraction. Years from
// 1901 to 2099 follow the calendar (every fourth year a leap year); earlier
// years count as 1901, later ones go on with the same leap rule; months below
// 1 add no month, months above 12 add the whole year.
double PPCDayNumber(int32_t day, int32_t month, int32_t year, int32_t hour, int32_t minute,
                    int32_t seconds);

// The figures of the text table's statistics lines, over all points.
struct PPCTrackStatistics {
    double maxSpeed = 0.0;            // speed of the fastest point
    int32_t maxSpeedRecord = 0;       // its record number field
    double maxAcceleration = 0.0;     // largest rise of speed from one point to the next
    int32_t maxAccelerationRecord = 0;
    double averageSpeed = 0.0;        // all points; 0 for an empty array
    double averageMovingSpeed = 0.0;  // points above 1 km/h; 0 when there are none
};
PPCTrackStatistics PPCComputeStatistics(const PPCTrackPoint* points, uint32_t count);

// The seconds field as a whole number, as the PCX5 and PLT times write it:
// truncated toward zero, limited to the int range (0 for NaN).
int32_t PPCWholeSeconds(double seconds);
