#include "formats/magellan.h"

#include <cmath>
#include <cstring>

#include "core/line_reader.h"
#include "core/output_file.h"
#include "core/point_buffer.h"
#include "formats/nmea_fields.h"
#include "formats/nmea_sentences.h"

namespace ferolin {

namespace {

constexpr std::string_view kSentence = "$PMGNTRK";
constexpr double kMetresPerFoot = 0.3048;

inline bool IsTrackLine(std::string_view line) {
    return line.size() >= kSentence.size() &&
           std::memcmp(line.data(), kSentence.data(), kSentence.size()) == 0;
}

// ddmm.mmm (or dddmm.mmm): whole degrees times 100 plus minutes.
double DegreesMinutes(std::string_view field, std::string_view hemisphere, char negative) {
    const double v = FieldReal(field);
    const double whole = std::trunc(v / 100.0);
    double degrees = whole + (v - whole * 100.0) / 60.0;
    if (!hemisphere.empty() && hemisphere[0] == negative) degrees = -degrees;
    return degrees;
}

void ReadTrackLine(std::string_view line, TrackPoint& p) {
    const LineFields f(line, 10);
    if (f.Has(8)) {
        p.latitude = DegreesMinutes(f[1], f[2], 'S');
        p.longitude = DegreesMinutes(f[3], f[4], 'W');
        const std::string_view unit = f[6];
        double altitude = FieldInt(f[5]);
        if (!unit.empty() && unit[0] == 'F') altitude *= kMetresPerFoot;
        p.altitude = ToFloat(altitude);
        ReadNmeaTimeField(f[7], p);
    }
    if (f.Has(10)) {
        const std::string_view date = TrimFieldBlanks(f[10]);
        p.day = static_cast<int8_t>(GroupInt(date, 0, 2));
        p.month = static_cast<int8_t>(GroupInt(date, 2, 2));
        // Two year digits: 70 to 99 are the twentieth century, as in NMEA.
        const int year = GroupInt(date, 4, 2);
        p.year = static_cast<int16_t>(year < 70 ? 2000 + year : 1900 + year);
    }
}

// One pass: every "$PMGNTRK" line takes the next point, numbered from 1;
// other lines take none.
ReadStatus ReadMagellanLines(LineReader& reader, TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    // A point takes a line starting "$PMGNTRK"; a track line holds some 64 bytes.
    PointBuffer track(reader.TotalSize() / kSentence.size());
    track.Expect(reader.TotalSize() / 48);
    std::string_view line;
    while (reader.Next(line)) {
        if (!IsTrackLine(line)) continue;
        TrackPoint* p = track.Add();
        if (!p) return ReadStatus::kNoMemory;
        p->record = static_cast<int32_t>(track.size());
        ReadTrackLine(line, *p);
    }
    const std::size_t n = track.size();
    points = track.Release(n);
    count = static_cast<uint32_t>(n);  // the buffer holds no more
    return ReadStatus::kOk;
}

// |fraction * 60 + whole * 100| of a value in degrees: ddmm.mmm.
double MagellanDegreesMinutes(double degrees) {
    const double whole = std::trunc(degrees);
    return std::fabs((degrees - whole) * 60.0 + whole * 100.0);
}

void AppendTrackLine(TextBuffer& out, const ExportEntry& e) {
    const TrackPoint& p = *e.point;
    const std::size_t start = out.size();
    out.Append("$PMGNTRK,");
    AppendFixedPadded(out, MagellanDegreesMinutes(p.latitude), 3, 8);
    out.Append(p.latitude >= 0 ? ",N," : ",S,");
    AppendFixedPadded(out, MagellanDegreesMinutes(p.longitude), 3, 9);
    out.Append(p.longitude >= 0 ? ",E," : ",W,");
    AppendInt(out, TruncateTo<int>(e.altitude), 5);
    out.Append(",M,");
    AppendInt(out, p.hour, 2);
    AppendInt(out, p.minute, 2);
    // "%05.02f" would print 59.996 as 60.00: the seconds stop at 59.99.
    double seconds = p.seconds;
    if (seconds >= 59.995 && seconds < 60.0) seconds = 59.99;
    AppendFixedPadded(out, seconds, 2, 5);
    out.Append(",A,,");
    AppendNmeaPointDate(out, p);
    EndNmeaSentence(out, start);
}

}  // namespace

ReadStatus ReadMagellanLog(const std::string& path, TrackPointArray& points, uint32_t& count) {
    return ReadSourceLines(path, kNmeaPiece, points, count, ReadMagellanLines);
}

int WriteMagellanLog(const std::string& path, const ExportEntry* entries, uint32_t count,
                     uint32_t /*options*/) {
    OutputFile file;
    if (!file.Create(path)) return 1;
    for (uint32_t i = 0; i < count; ++i) {
        AppendTrackLine(file.Buffer(), entries[i]);
        file.Flush();
    }
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
