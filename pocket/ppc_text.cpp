// The handheld's text table: five statistics lines, an empty line, a header
// and one tab-separated line per point.
#include "pocket/ppc_io.h"
#include "pocket/ppc_track.h"

using ppc::AppendFixed;
using ppc::AppendInt;

PPCTrackStatistics PPCComputeStatistics(const PPCTrackPoint* points, uint32_t count) {
    PPCTrackStatistics s;
    if (count == 0) return s;
    double total = 0.0;
    double movingTotal = 0.0;
    uint32_t moving = 0;
    uint32_t fastest = 0;
    uint32_t steepest = 0;
    double maxRise = 0.0;
    for (uint32_t i = 0; i < count; ++i) {
        const double speed = points[i].speed;
        total += speed;
        if (speed > 1.0) {
            movingTotal += speed;
            ++moving;
        }
        // Strictly greater: of equal maxima the first one stays.
        if (speed > points[fastest].speed) fastest = i;
        if (i > 0) {
            // The rise of speed from the previous point, not divided by time.
            const double rise = speed - points[i - 1].speed;
            if (rise > maxRise) {
                maxRise = rise;
                steepest = i;
            }
        }
    }
    s.maxSpeed = points[fastest].speed;
    s.maxSpeedRecord = points[fastest].record;
    s.maxAcceleration = maxRise;
    s.maxAccelerationRecord = points[steepest].record;
    s.averageSpeed = total / count;
    s.averageMovingSpeed = moving > 0 ? movingTotal / moving : 0.0;
    return s;
}

int PPCWriteText(const std::string& path, const PPCTrackPoint* points, uint32_t count, int flag) {
    // The statistics cover every point; the flag only thins the table.
    const PPCTrackStatistics s = PPCComputeStatistics(points, count);
    ppc::OutputFile file;
    if (!file.Create(path)) return 1;
    std::string& out = file.Text();
    AppendInt(out, count);
    out += " records\r\nMax Speed ";
    AppendFixed(out, s.maxSpeed, 6);
    out += " KMs/hr, record ";
    AppendInt(out, s.maxSpeedRecord);
    out += "\r\nMax Acceleration ";
    AppendFixed(out, s.maxAcceleration, 6);
    out += " KMs/hr, record ";
    AppendInt(out, s.maxAccelerationRecord);
    out += "\r\nAverage Speed ";
    AppendFixed(out, s.averageSpeed, 6);
    out += " KMs/hr\r\nAverage Speed (without stop) ";
    AppendFixed(out, s.averageMovingSpeed, 6);
    out += " KMs/hr\r\n\r\n"
           "Record: \tDate: \tTime: \tLatitude: \tLongitude: \tAltitude: \tPDOP: \tHDOP: \t"
           "VDOP: \tSatellite No: \tSpeed(KMs/hr): \tDirection: \r\n";
    for (uint32_t i = 0; i < count; ++i) {
        const PPCTrackPoint& p = points[i];
        if (PPCSkipsPoint(p, flag)) continue;
        AppendInt(out, p.record, 5);
        out += '\t';
        AppendInt(out, p.day, 2);
        out += '/';
        AppendInt(out, p.month, 2);
        out += '/';
        AppendInt(out, p.year);
        out += '\t';
        ppc::AppendHourMinute(out, p.hour, p.minute);
        AppendFixed(out, p.seconds, 3, 6);
        for (double v : {p.latitude, p.longitude, p.altitude, p.pdop, p.hdop, p.vdop}) {
            out += '\t';
            AppendFixed(out, v, 6);
        }
        out += '\t';
        AppendInt(out, p.satellites);
        out += '\t';
        AppendFixed(out, p.speed, 6);
        out += '\t';
        AppendFixed(out, p.direction, 6);
        out += "\r\n";
        file.FlushSome();
    }
    return file.Commit() ? 0 : 1;
}
