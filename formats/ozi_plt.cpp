#include "formats/ozi_plt.h"

#include "core/calendar.h"
#include "core/line_reader.h"
#include "core/output_file.h"
#include "core/paths.h"
#include "core/text_format.h"
#include "formats/text_fields.h"

namespace ferolin {

namespace {

// Lines are read in pieces of at most this many characters; a longer line is
// handled as several lines.
constexpr std::size_t kPiece = 84;
constexpr int kHeaderLines = 6;
constexpr double kMetresPerFoot = 0.3048;
constexpr double kFeetPerMetre = 3.280839895013123;
// The altitude OziExplorer writes for a point without one.
constexpr double kNoAltitudeFeet = -777;

// Skips one whole line, however many pieces it takes. A piece shorter than
// the piece size ended at its line end (or the end of the file).
bool SkipLine(LineReader& lines) {
    std::string_view piece;
    while (lines.Next(piece))
        if (piece.size() < kPiece) return true;
    return false;
}

// One point line, scanned as "%lf, %lf, %d, %lf, %lf,": the fields before
// the first mismatch are set, the others stay 0. False when the line gives
// no altitude: the scan stops before it, or it is -777 feet, the format's
// "no altitude". `breaks` tells whether the third field, the break flag, is
// 1: the track line is broken before the point, which begins a segment.
bool ScanPointLine(std::string_view line, TrackPoint& p, bool& breaks) {
    breaks = false;
    const char* s = line.data();
    const char* end = s + line.size();
    double latitude = 0, longitude = 0, feet = 0, dayNumber = 0;
    int code = 0;
    bool ok = scan::Real(s, end, latitude);
    if (ok) p.latitude = latitude;
    ok = ok && scan::Literal(s, end, ',') && scan::Real(s, end, longitude);
    if (ok) p.longitude = longitude;
    ok = ok && scan::Literal(s, end, ',') && scan::Int(s, end, code);
    breaks = ok && code == 1;
    ok = ok && scan::Literal(s, end, ',') && scan::Real(s, end, feet);
    const bool altitude = ok && feet != kNoAltitudeFeet;
    if (altitude) p.altitude = ToFloat(feet * kMetresPerFoot);
    ok = ok && scan::Literal(s, end, ',') && scan::Real(s, end, dayNumber);
    if (!ok || dayNumber == 0) return altitude;
    DayNumberDate d;
    if (!DateFromOziDayNumber(dayNumber, d)) return altitude;
    p.year = static_cast<int16_t>(d.year);
    p.month = static_cast<int8_t>(d.month);
    p.day = static_cast<int8_t>(d.day);
    p.hour = static_cast<int8_t>(d.hour);
    p.minute = static_cast<int8_t>(d.minute);
    p.seconds = static_cast<float>(d.second);
    return altitude;
}

}  // namespace

// Two passes over the file: count the point lines, then fill that many
// records; each pass opens the file afresh.
ReadStatus ReadOziTrack(const std::string& path, TrackPointArray& points, uint32_t& count,
                        SensorChannels* sensors) {
    points.reset();
    count = 0;
    if (sensors) sensors->Clear();
    uint32_t lines = 0;
    {
        LineReader reader(kPiece);
        if (!reader.Open(path)) return ReadStatus::kCannotOpen;
        for (int i = 0; i < kHeaderLines; ++i) SkipLine(reader);
        std::string_view piece;
        // Record numbers are 32-bit: no more lines than they can number.
        while (lines < 0x7FFFFFFFu && reader.Next(piece)) ++lines;
    }
    if (lines == 0) return ReadStatus::kOk;
    TrackPointArray array = AllocateTrackPoints(lines);
    if (!array) return ReadStatus::kNoMemory;

    // The file may have changed in between: fill at most the counted records
    // and return how many were filled.
    LineReader reader(kPiece);
    uint32_t filled = 0;
    TrackDocument* document = sensors ? &sensors->document : nullptr;
    if (reader.Open(path)) {
        for (int i = 0; i < kHeaderLines; ++i) SkipLine(reader);
        std::string_view piece;
        bool breaks = false;
        while (filled < lines && reader.Next(piece)) {
            TrackPoint& p = array[filled];
            if (!ScanPointLine(piece, p, breaks) && sensors) sensors->MarkAbsent(filled, kFieldAltitude);
            // The first point's flag begins no segment: the first is there already.
            if (breaks && filled > 0 && document) document->BeginSegment(filled);
            p.record = static_cast<int32_t>(++filled);
        }
    }
    points = std::move(array);
    count = filled;
    if (sensors) sensors->Truncate(count);
    return ReadStatus::kOk;
}

namespace {

// The date and time of a point as a day number, "%.6f"; nothing for a point
// without a date (day, month or year 0) or with a month outside 1-12.
void AppendDayNumber(TextBuffer& out, const TrackPoint& p) {
    if (p.day == 0 || p.month == 0 || p.year == 0 || p.month < 1 || p.month > 12) return;
    const double dayNumber =
        OziDayNumber(p.year, p.month, p.day, p.hour, p.minute, TruncateTo<int>(p.seconds));
    AppendFixed(out, dayNumber, 6);
}

// The track name of the header line: the name of the track the first point
// belongs to, when it has one, else the output file's title. A comma would
// end the field and a line end the header line: blanks take their place in
// a track's name.
std::string HeaderName(const std::string& path, const TrackDocument* document, const ExportEntry* entries,
                       uint32_t count) {
    if (!document || count == 0) return FileTitle(path);
    std::string name = document->TrackName(document->TrackOfSegment(document->SegmentOf(entries[0].index)));
    if (name.empty()) return FileTitle(path);
    for (char& c : name)
        if (c == ',' || c == '\r' || c == '\n') c = ' ';
    return name;
}

}  // namespace

int WriteOziTrack(const std::string& path, const ExportEntry* entries, uint32_t count,
                  uint32_t /*options*/, const SensorChannels* sensors) {
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();
    out.Append(
        "OziExplorer Track Point File Version 2.1\r\n"
        "WGS 84\r\n"
        "Altitude is in Feet\r\n"
        "Reserved 3\r\n");
    const TrackDocument* document = sensors ? &sensors->document : nullptr;
    out.Append("0, 2, 65280, ");
    out.Append(HeaderName(path, document, entries, count));
    out.Append(", 1, 0, 0, 65280\r\n ");
    AppendInt(out, count);
    out.Append("\r\n");
    // The break flag: 1 on the first point of every segment after the first.
    SegmentWalker walker(document);
    for (uint32_t i = 0; i < count; ++i) {
        const ExportEntry& e = entries[i];
        AppendSignedFixed(out, e.point->latitude, 7, 11);
        out.Append(", ");
        AppendSignedFixed(out, e.point->longitude, 7, 12);
        out.Append(walker.Next(e.index) ? ", 1, " : ", 0, ");
        if (PointLacks(sensors, e.index, kFieldAltitude)) AppendInt(out, static_cast<int>(kNoAltitudeFeet));
        else AppendFixed(out, e.altitude * kFeetPerMetre, 5);
        out.Append(", ");
        AppendDayNumber(out, *e.point);
        out.Append(", , \r\n");
        file.Flush();
    }
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
