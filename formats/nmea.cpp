#include "formats/nmea.h"

#include <limits>

#include "core/line_reader.h"
#include "core/output_file.h"
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
    double value = FieldInt(DigitGroup(field, 0, digits)) + FieldReal(DigitGroup(field, digits)) / 60.0;
    if (!hemisphere.empty() && hemisphere[0] == negative) value = -value;
    return value;
}

void ReadGsa(const LineFields& f, TrackPoint& p) {
    if (f.Count() > 15) p.pdop = ToFloat(FieldReal(f[15]));
    if (f.Count() > 16) p.hdop = ToFloat(FieldReal(f[16]));
    if (f.Count() > 17) p.vdop = ToFloat(FieldReal(f[17]));
}

void ReadGga(const LineFields& f, TrackPoint& p) {
    if (f.Count() > 5) {
        ReadNmeaTimeField(f[1], p);
        p.latitude = DegreesMinutes(f[2], 2, f[3], 'S');
        p.longitude = DegreesMinutes(f[4], 3, f[5], 'W');
    }
    if (f.Count() > 7) p.satellites = static_cast<int8_t>(FieldInt(f[7]) & 0xFF);
    if (f.Count() > 9) p.altitude = ToFloat(FieldReal(f[9]));
}

void ReadRmc(const LineFields& f, TrackPoint& p) {
    if (f.Count() > 1) ReadNmeaTimeField(f[1], p);
    if (f.Count() > 6) {
        p.latitude = DegreesMinutes(f[3], 2, f[4], 'S');
        p.longitude = DegreesMinutes(f[5], 3, f[6], 'W');
    }
    if (f.Count() > 7) p.speed = ToFloat(FieldReal(f[7]) * kKmhPerKnot);
    if (f.Count() > 8) p.direction = ToFloat(FieldReal(f[8]));
    if (f.Count() > 9) {
        const std::string_view date = f[9];
        p.day = static_cast<int8_t>(FieldInt(DigitGroup(date, 0, 2)));
        p.month = static_cast<int8_t>(FieldInt(DigitGroup(date, 2, 2)));
        int year = FieldInt(DigitGroup(date, 4));
        if (year < 1000) year += year < 70 ? 2000 : 1900;
        p.year = ClampYear(year);
    }
}

// Both passes over a trace. `open` opens a line reader on the input from its
// start; it is called once per pass.
template <typename Open>
int ReadNmea(Open open, TrackPointArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    std::string_view line;

    // First pass: the $GP sentences of each type, and the same for any talker
    // with runs of GSA sentences counted once.
    uint64_t gp[3] = {0, 0, 0};
    uint64_t any[3] = {0, 0, 0};
    {
        LineReader lines(kNmeaPiece);
        if (!open(lines)) return 1;
        bool afterGsa = false;
        while (lines.Next(line)) {
            if (line.empty() || line[0] != '$') continue;
            if (const unsigned type = SentenceType(line, false)) ++gp[TypeIndex(type)];
            if (const unsigned type = SentenceType(line, true)) {
                if (!(type == kGsa && afterGsa)) ++any[TypeIndex(type)];
                afterGsa = type == kGsa;
            }
        }
    }
    // Other talkers only stand in when the trace has no $GP sentence at all.
    const bool anyTalker = gp[0] == 0 && gp[1] == 0 && gp[2] == 0;
    const uint64_t* counts = anyTalker ? any : gp;
    uint64_t most = counts[0];
    if (counts[1] > most) most = counts[1];
    if (counts[2] > most) most = counts[2];
    if (most == 0) return 0;
    if (most > std::numeric_limits<uint32_t>::max()) return 1;
    const uint32_t n = static_cast<uint32_t>(most);

    TrackPointArray array = AllocateTrackPoints(n);
    if (!array) return 1;

    // Second pass: group the sentences into points, stopping at the count of
    // the first pass.
    LineReader lines(kNmeaPiece);
    if (!open(lines)) return 1;
    unsigned seen = 0;  // types of the current point
    uint32_t slot = 0;
    bool afterGsa = false;
    while (lines.Next(line)) {
        const unsigned type = SentenceType(line, anyTalker);
        if (!type) continue;
        if (anyTalker) {
            const bool repeated = type == kGsa && afterGsa;
            afterGsa = type == kGsa;
            if (repeated) continue;
        }
        if (seen & type) {
            // A type that repeats closes the point; a point beyond the last
            // slot ends the reading.
            if (slot + 1 >= n) break;
            ++slot;
            seen = type;
        } else {
            seen |= type;
        }
        TrackPoint& p = array[slot];
        p.record = static_cast<int32_t>(slot + 1);
        const LineFields fields(line);
        switch (type) {
            case kGsa: ReadGsa(fields, p); break;
            case kGga: ReadGga(fields, p); break;
            default: ReadRmc(fields, p); break;
        }
    }
    points = std::move(array);
    count = seen ? slot + 1 : 0;
    return 0;
}

}  // namespace

int ReadNmeaLog(const std::string& path, TrackPointArray& points, uint32_t& count) {
    return ReadNmea([&path](LineReader& lines) { return lines.Open(path); }, points, count);
}

int ReadNmeaText(std::string_view text, TrackPointArray& points, uint32_t& count) {
    return ReadNmea(
        [text](LineReader& lines) {
            lines.OpenMemory(text);
            return true;
        },
        points, count);
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

std::vector<std::string> SplitFields(std::string_view text, std::string_view delimiters,
                                     bool skipEmpty) {
    std::vector<std::string> fields;
    auto add = [&](std::string_view field) {
        if (!(skipEmpty && field.empty())) fields.emplace_back(field);
    };
    bool delimited = false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of(delimiters, start);
        if (end == std::string_view::npos) break;
        delimited = true;
        add(text.substr(start, end - start));
        start = end + 1;
    }
    // The text after the last delimiter; nothing after a delimiter at the end.
    const std::string_view rest = text.substr(start);
    if (!rest.empty() || !delimited) add(rest);
    return fields;
}

}  // namespace ferolin
