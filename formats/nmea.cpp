#include "formats/nmea.h"

#include <cstring>

#include "core/line_reader.h"
#include "core/output_file.h"
#include "core/point_buffer.h"
#include "formats/nmea_fields.h"
#include "formats/nmea_sentences.h"

namespace ferolin {

namespace {

// The sentence types that make a point, as bits of the set of types seen.
enum : unsigned { kGsa = 1, kGga = 2, kRmc = 4 };

constexpr double kKmhPerKnot = 1.852;

inline bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

// Type of the sentence a line starts with: "$GP" and the type's three letters;
// with `anyTalker`, "$", any two capital letters and the three letters.
inline unsigned SentenceType(std::string_view line, bool anyTalker) {
    if (line.size() < 6 || line[0] != '$') return 0;
    if (anyTalker) {
        if (!IsCapital(line[1]) || !IsCapital(line[2])) return 0;
    } else if (line[1] != 'G' || line[2] != 'P') {
        return 0;
    }
    const char a = line[3], b = line[4], c = line[5];
    if (a == 'G' && b == 'G' && c == 'A') return kGga;
    if (a == 'R' && b == 'M' && c == 'C') return kRmc;
    if (a == 'G' && b == 'S' && c == 'A') return kGsa;
    return 0;
}

inline int TypeIndex(unsigned type) { return type == kGsa ? 0 : type == kGga ? 1 : 2; }

// Latitude ddmm.mmmm (digits = 2) or longitude dddmm.mmmm (digits = 3): whole
// degrees from the first digits, minutes from the rest; `negative` is the
// hemisphere letter that negates ("S" or "W").
double DegreesMinutes(std::string_view field, std::size_t digits, std::string_view hemisphere,
                      char negative) {
    double value = GroupInt(field, 0, digits) + FieldReal(DigitGroup(field, digits)) / 60.0;
    if (!hemisphere.empty() && hemisphere[0] == negative) value = -value;
    return value;
}

// The text a point's time or position was last converted from. GGA and RMC
// of one point mostly carry the same texts: the second conversion, which
// would give the same values, is skipped.
class ConvertedText {
public:
    void Forget() { length_ = kNone; }
    // True when `text` is the text kept; else keeps it (when it fits).
    bool SameAsBefore(std::string_view text) {
        if (text.size() == length_ && std::memcmp(text.data(), text_, length_) == 0) return true;
        length_ = kNone;
        if (text.size() <= sizeof text_) {
            std::memcpy(text_, text.data(), text.size());
            length_ = text.size();
        }
        return false;
    }

private:
    static constexpr std::size_t kNone = SIZE_MAX;
    char text_[40];
    std::size_t length_ = kNone;
};

struct PointTexts {
    ConvertedText time;
    ConvertedText position;
};

void ReadTime(std::string_view field, TrackPoint& p, PointTexts& texts) {
    if (!texts.time.SameAsBefore(field)) ReadNmeaTimeField(field, p);
}

// Latitude, N/S, longitude, E/W from fields first to first + 3.
void ReadPosition(const LineFields& f, std::size_t first, TrackPoint& p, PointTexts& texts) {
    const std::string_view latitude = f[first], east = f[first + 3];
    const std::string_view all(latitude.data(),
                               static_cast<std::size_t>(east.data() + east.size() - latitude.data()));
    if (texts.position.SameAsBefore(all)) return;
    p.latitude = DegreesMinutes(latitude, 2, f[first + 1], 'S');
    p.longitude = DegreesMinutes(f[first + 2], 3, east, 'W');
}

void ReadGsa(std::string_view line, TrackPoint& p) {
    const LineFields f(line, 15, 17);
    if (f.Has(15)) p.pdop = ToFloat(FieldReal(f[15]));
    if (f.Has(16)) p.hdop = ToFloat(FieldReal(f[16]));
    if (f.Has(17)) p.vdop = ToFloat(FieldReal(f[17]));
}

// What the sentences of a point say of its fix: whether one gave a position,
// and whether one said that the receiver had no fix.
struct FixState {
    bool placed = false;
    bool lost = false;
};

inline bool Blank(std::string_view field) { return TrimFieldBlanks(field).empty(); }

// A GGA without a fix: fix quality 0 or empty, or an empty latitude or
// longitude.
void ReadGga(std::string_view line, TrackPoint& p, PointTexts& texts, FixState& fix) {
    const LineFields f(line, 9);
    if (f.Has(5)) {
        ReadTime(f[1], p, texts);
        ReadPosition(f, 2, p, texts);
        fix.placed = true;
    }
    const std::string_view quality = TrimFieldBlanks(f[6]);
    if (quality.empty() || FieldInt(quality) == 0 || Blank(f[2]) || Blank(f[4])) fix.lost = true;
    if (f.Has(7)) p.satellites = static_cast<int8_t>(FieldInt(f[7]) & 0xFF);
    if (f.Has(9)) p.altitude = ToFloat(FieldReal(f[9]));
}

// An RMC without a fix: a status other than "A" (valid), or an empty
// latitude or longitude.
void ReadRmc(std::string_view line, TrackPoint& p, PointTexts& texts, FixState& fix) {
    const LineFields f(line, 9);
    if (f.Has(1)) ReadTime(f[1], p, texts);
    if (f.Has(6)) {
        ReadPosition(f, 3, p, texts);
        fix.placed = true;
    }
    if (TrimFieldBlanks(f[2]) != "A" || Blank(f[3]) || Blank(f[5])) fix.lost = true;
    if (f.Has(7)) p.speed = ToFloat(FieldReal(f[7]) * kKmhPerKnot);
    if (f.Has(8)) p.direction = ToFloat(FieldReal(f[8]));
    if (f.Has(9)) {
        const std::string_view date = TrimFieldBlanks(f[9]);
        p.day = static_cast<int8_t>(GroupInt(date, 0, 2));
        p.month = static_cast<int8_t>(GroupInt(date, 2, 2));
        int year = FieldInt(DigitGroup(date, 4));
        if (year < 1000) year += year < 70 ? 2000 : 1900;
        p.year = ClampYear(year);
    }
}

// Groups the sentences of one talker choice into points: a type already in
// the current group closes it and opens the next. A group without a fix
// (one of its sentences says so, or none gives a position on the earth)
// gives no point: the next group takes its slot. Each point's record holds
// its group's number until Finish(). Counts the sentences of each type on
// the way.
struct Grouping {
    explicit Grouping(std::size_t limit) : points(limit) {}

    // Converts a sentence into its point; false when memory runs out.
    bool Take(unsigned type, std::string_view line) {
        ++counts[TypeIndex(type)];
        if (seen & type || groups == 0) {
            if (groups > 0 && !Fixed()) points.back() = TrackPoint{};
            else if (!points.Add()) return false;
            if (groups < UINT32_MAX) ++groups;
            points.back().record = static_cast<int32_t>(groups);
            seen = type;
            fix = FixState{};
            texts.time.Forget();
            texts.position.Forget();
        } else {
            seen |= type;
        }
        TrackPoint& p = points.back();
        switch (type) {
            case kGsa: ReadGsa(line, p); break;
            case kGga: ReadGga(line, p, texts, fix); break;
            default: ReadRmc(line, p, texts, fix); break;
        }
        return true;
    }

    // The number of points, once the trace is read, numbered 1, 2, 3 ...:
    // those of the first groups, as many as the most frequent type has
    // sentences at most (the sentence that would open a group beyond them
    // ends the trace). The groups among them without a fix are counted in
    // the read's report.
    std::size_t Finish() {
        uint64_t most = counts[0];
        if (counts[1] > most) most = counts[1];
        if (counts[2] > most) most = counts[2];
        const uint64_t limit = most < groups ? most : groups;
        std::size_t n = points.size();
        if (n > 0 && !Fixed()) --n;  // the last group's slot
        while (n > 0 && static_cast<uint32_t>(points[n - 1].record) > limit) --n;
        for (std::size_t i = 0; i < n; ++i) points[i].record = static_cast<int32_t>(i + 1);
        if (limit > n) CurrentReadReport().Count(LeftOut::kNoPosition, limit - n);
        return n;
    }

    PointBuffer points;
    PointTexts texts;
    uint64_t counts[3] = {0, 0, 0};
    uint32_t groups = 0;     // groups opened
    unsigned seen = 0;       // types of the current group
    FixState fix;            // of the current group
    bool afterGsa = false;   // other talkers: the last sentence taken was a GSA

private:
    // Whether the current group, in the last slot, makes a point.
    bool Fixed() {
        const TrackPoint& p = points.back();
        return fix.placed && !fix.lost && IsRealPosition(p.latitude, p.longitude);
    }
};

// One pass over the trace. The $GP sentences make the points; as long as
// none has come, the sentences of any talker are grouped as well, with runs
// of GSA sentences (one per satellite system) taken once, and they make the
// points when the trace holds no $GP sentence at all.
ReadStatus ReadNmeaLines(LineReader& lines, TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    // A point opens with a sentence of at least six characters. A trace
    // holds some 190 bytes a point; 64 leaves room for GGA alone.
    Grouping gp(lines.TotalSize() / 6), any(lines.TotalSize() / 6);
    gp.points.Expect(lines.TotalSize() / 64);
    any.points.Expect(lines.TotalSize() / 64);
    bool gpSeen = false;
    std::string_view line;
    while (lines.Next(line)) {
        if (line.size() < 6 || line[0] != '$') continue;
        if (const unsigned type = SentenceType(line, false)) {
            if (!gpSeen) {
                gpSeen = true;
                any.points.Clear();
            }
            if (!gp.Take(type, line)) return ReadStatus::kNoMemory;
        } else if (!gpSeen) {
            const unsigned other = SentenceType(line, true);
            if (!other) continue;
            const bool repeated = other == kGsa && any.afterGsa;
            any.afterGsa = other == kGsa;
            if (repeated) continue;
            if (!any.Take(other, line)) return ReadStatus::kNoMemory;
        }
    }
    Grouping& used = gpSeen ? gp : any;
    const std::size_t n = used.Finish();
    points = used.points.Release(n);
    count = static_cast<uint32_t>(n);  // the buffer holds no more
    return ReadStatus::kOk;
}

}  // namespace

ReadStatus ReadNmeaLog(const std::string& path, TrackPointArray& points, uint32_t& count) {
    return ReadSourceLines(path, kNmeaPiece, points, count, ReadNmeaLines);
}

int WriteNmeaFile(const std::string& path, const ExportEntry* entries, uint32_t count,
                  uint32_t options) {
    if (options == 0) return 0;
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer time, date;
    for (uint32_t i = 0; i < count; ++i) {
        const TrackPoint& p = *entries[i].point;
        time.clear();
        date.clear();
        AppendNmeaPointTime(time, p);
        AppendNmeaPointDate(date, p);
        AppendNmeaSentences(file.Buffer(), entries[i], options, time.View(), date.View());
        file.Flush();
    }
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
