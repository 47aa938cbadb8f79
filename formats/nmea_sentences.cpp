#include "formats/nmea_sentences.h"

#include <cmath>

namespace ferolin {

namespace {

constexpr double kKnotsPerKmh = 0.5399568034557235;

void AppendDegreesMinutes(TextBuffer& out, double value, int degreeWidth) {
    const double magnitude = std::fabs(value);
    const int degrees = TruncateToInt(magnitude);
    AppendInt(out, degrees, degreeWidth);
    AppendFixedPadded(out, (magnitude - degrees) * 60.0, 4, 7);
}

}  // namespace

uint8_t NmeaChecksum(std::string_view body) {
    uint8_t sum = 0;
    for (std::size_t i = 1; i < body.size(); ++i) sum ^= static_cast<uint8_t>(body[i]);
    return sum;
}

void EndNmeaSentence(TextBuffer& out, std::size_t start) {
    const uint8_t sum = NmeaChecksum(out.View().substr(start));
    static constexpr char kHex[] = "0123456789ABCDEF";
    const char tail[5] = {'*', kHex[sum >> 4], kHex[sum & 0xF], '\r', '\n'};
    out.Append(std::string_view(tail, sizeof tail));
}

void AppendNmeaLatitude(TextBuffer& out, double latitude) {
    AppendDegreesMinutes(out, latitude, 2);
}
char NmeaLatitudeHemisphere(double latitude) { return latitude >= 0 ? 'N' : 'S'; }

void AppendNmeaLongitude(TextBuffer& out, double longitude) {
    AppendDegreesMinutes(out, longitude, 3);
}
char NmeaLongitudeHemisphere(double longitude) { return longitude >= 0 ? 'E' : 'W'; }

void AppendNmeaPointTime(TextBuffer& out, const TrackPoint& p) {
    AppendInt(out, p.hour, 2);
    AppendInt(out, p.minute, 2);
    // "%06.3f" would print 59.9996 as 60.000: the seconds stop at 59.999.
    double seconds = p.seconds;
    if (seconds >= 59.9995 && seconds < 60.0) seconds = 59.999;
    AppendFixedPadded(out, seconds, 3, 6);
}

void AppendNmeaPointDate(TextBuffer& out, const TrackPoint& p) {
    AppendInt(out, p.day, 2);
    AppendInt(out, p.month, 2);
    AppendInt(out, p.year % 100, 2);
}

void AppendNmeaSentences(TextBuffer& out, const ExportEntry& e, uint32_t options,
                         std::string_view time, std::string_view date) {
    const TrackPoint& p = *e.point;
    const double knots = p.speed * kKnotsPerKmh;
    auto position = [&out, &p] {
        AppendNmeaLatitude(out, p.latitude);
        out.Append(',');
        out.Append(NmeaLatitudeHemisphere(p.latitude));
        out.Append(',');
        AppendNmeaLongitude(out, p.longitude);
        out.Append(',');
        out.Append(NmeaLongitudeHemisphere(p.longitude));
    };
    if (options & kNmeaGsa) {
        const std::size_t start = out.size();
        out.Append("$GPGSA,A,3,,,,,,,,,,,,,");
        AppendFixed(out, p.pdop, 1);
        out.Append(',');
        AppendFixed(out, p.hdop, 1);
        out.Append(',');
        AppendFixed(out, p.vdop, 1);
        out.Append(',');
        EndNmeaSentence(out, start);
    }
    if (options & kNmeaGga) {
        const std::size_t start = out.size();
        out.Append("$GPGGA,");
        out.Append(time);
        out.Append(',');
        position();
        out.Append(",1,");
        AppendInt(out, p.satellites, 2);
        out.Append(',');
        AppendFixed(out, p.hdop, 1);
        out.Append(',');
        AppendFixed(out, e.altitude, 1);
        out.Append(",M,,M,,");
        EndNmeaSentence(out, start);
    }
    if (options & kNmeaRmc) {
        const std::size_t start = out.size();
        out.Append("$GPRMC,");
        out.Append(time);
        out.Append(",A,");
        position();
        out.Append(',');
        AppendFixed(out, knots, 6);
        out.Append(',');
        AppendFixed(out, p.direction, 6);
        out.Append(',');
        out.Append(date);
        out.Append(",,");
        EndNmeaSentence(out, start);
    }
    if (options & kNmeaGll) {
        const std::size_t start = out.size();
        out.Append("$GPGLL,");
        position();
        out.Append(',');
        out.Append(time);
        out.Append(",A");
        EndNmeaSentence(out, start);
    }
    if (options & kNmeaVtg) {
        const std::size_t start = out.size();
        out.Append("$GPVTG,");
        AppendFixed(out, p.direction, 6);
        out.Append(",T,,M,");
        AppendFixed(out, knots, 6);
        out.Append(",N,");
        AppendFixed(out, p.speed, 6);
        out.Append(",K");
        EndNmeaSentence(out, start);
    }
}

}  // namespace ferolin
