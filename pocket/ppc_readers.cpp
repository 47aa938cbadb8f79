// The handheld's readers: BlueGPS datalog text and NMEA 0183 traces.
#include <cstddef>
#include <cstring>

#include "pocket/ppc_io.h"
#include "pocket/ppc_track.h"

namespace {

bool StartsWith(std::string_view line, std::string_view key) {
    return line.size() >= key.size() && std::memcmp(line.data(), key.data(), key.size()) == 0;
}

PPCTrackArray AllocateZeroed(uint64_t n) {
    if (n == 0 || n > SIZE_MAX / sizeof(PPCTrackPoint)) return PPCTrackArray();
    return PPCTrackArray(static_cast<PPCTrackPoint*>(std::calloc(n, sizeof(PPCTrackPoint))));
}

// ---------------------------------------------------------------------------
// BlueGPS datalog text

constexpr std::string_view kCountKey = "About total Numbers: ";
constexpr std::string_view kSeparator = "=====================";

enum class Kind { Int, Real, Next };

struct DatalogKey {
    std::string_view text;
    Kind kind;
    std::size_t offset;  // of the field in PPCTrackPoint
};

const DatalogKey kDatalogKeys[] = {
    {"Record: ", Kind::Int, offsetof(PPCTrackPoint, record)},
    {"Event Type: ", Kind::Int, offsetof(PPCTrackPoint, eventType)},
    {"Year: ", Kind::Int, offsetof(PPCTrackPoint, year)},
    {"Month: ", Kind::Int, offsetof(PPCTrackPoint, month)},
    {"Day: ", Kind::Int, offsetof(PPCTrackPoint, day)},
    {"Hour: ", Kind::Int, offsetof(PPCTrackPoint, hour)},
    {"Minute: ", Kind::Int, offsetof(PPCTrackPoint, minute)},
    {"Second: ", Kind::Real, offsetof(PPCTrackPoint, seconds)},
    {"Latitude: ", Kind::Real, offsetof(PPCTrackPoint, latitude)},
    {"Longitude: ", Kind::Real, offsetof(PPCTrackPoint, longitude)},
    {"Altitude: ", Kind::Real, offsetof(PPCTrackPoint, altitude)},
    {"PDOP: ", Kind::Real, offsetof(PPCTrackPoint, pdop)},
    {"HDOP: ", Kind::Real, offsetof(PPCTrackPoint, hdop)},
    {"Satellite No: ", Kind::Int, offsetof(PPCTrackPoint, satellites)},
    {"Speed(KMs/hr): ", Kind::Real, offsetof(PPCTrackPoint, speed)},
    {"Direction: ", Kind::Real, offsetof(PPCTrackPoint, direction)},
    {kSeparator, Kind::Next, 0},
};

int ReadDatalogLines(ppc::LineReader& lines, PPCTrackArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    std::string_view line;
    bool complete = false;

    // The announced count: the first "About total Numbers: " line whose value
    // is not 0.
    int64_t declared = 0;
    while (declared == 0) {
        if (!lines.Next(line, complete)) return 0;
        if (StartsWith(line, kCountKey)) declared = ppc::ParseInt64(line.substr(kCountKey.size()));
    }
    // A negative count, or more records than the file has bytes, is a damaged
    // header, not a reason to allocate gigabytes.
    if (declared < 0 || static_cast<uint64_t>(declared) > lines.Size() ||
        declared > static_cast<int64_t>(UINT32_MAX))
        return 1;
    PPCTrackArray array = AllocateZeroed(static_cast<uint64_t>(declared));
    if (!array) return 1;
    const uint32_t n = static_cast<uint32_t>(declared);

    // Records start after the first separator line.
    bool started = false;
    while (!started && lines.Next(line, complete)) started = StartsWith(line, kSeparator);

    uint32_t index = 0;
    while (started && index < n && lines.Next(line, complete)) {
        if (line.empty()) continue;
        for (const DatalogKey& key : kDatalogKeys) {
            if (line[0] != key.text[0] || !StartsWith(line, key.text)) continue;
            const std::string_view value = line.substr(key.text.size());
            char* field = reinterpret_cast<char*>(array.get() + index) + key.offset;
            if (key.kind == Kind::Int) {
                const int32_t v = ppc::ParseInt(value);
                std::memcpy(field, &v, sizeof v);
            } else if (key.kind == Kind::Real) {
                const double v = ppc::ParseReal(value);
                std::memcpy(field, &v, sizeof v);
            } else {
                ++index;
            }
            break;
        }
    }
    points = std::move(array);
    count = n;
    return 0;
}

// ---------------------------------------------------------------------------
// NMEA 0183

constexpr std::size_t kNmeaPiece = 99;   // fgets with a 100-byte buffer
constexpr std::size_t kDatalogPiece = 1023;
constexpr double kOneSixtieth = 1.0 / 60.0;

enum SentenceKind : unsigned { kGsa = 1, kGga = 2, kRmc = 4 };

// The comma-separated fields of one sentence, numbered from 1 (field 1
// follows the first comma). A field exists only when the comma that ends it
// does; the field after the last comma is the tail, which ends at the "*" of
// the checksum or the end of the line.
class Fields {
public:
    Fields(std::string_view line, bool lineComplete) : line_(line), lineComplete_(lineComplete) {}

    // Field k when a comma ends it.
    bool Get(int k, std::string_view& field) {
        while (number_ < k) {
            if (!Advance()) return false;
        }
        if (number_ != k) return false;
        const std::size_t comma = line_.find(',', start_);
        if (comma == std::string_view::npos) return false;
        field = line_.substr(start_, comma - start_);
        return true;
    }

    // Field k when a comma, the "*" of the checksum or the end of the line
    // ends it.
    bool GetLast(int k, std::string_view& field) {
        if (Get(k, field)) return true;
        if (number_ != k) return false;
        std::string_view rest = line_.substr(start_);
        const std::size_t star = rest.find('*');
        if (star != std::string_view::npos) {
            field = rest.substr(0, star);
            return true;
        }
        if (!lineComplete_) return false;
        field = rest;
        return true;
    }

private:
    // Moves to the next field; false when there is no further comma.
    bool Advance() {
        const std::size_t comma = line_.find(',', start_);
        if (comma == std::string_view::npos) return false;
        start_ = comma + 1;
        ++number_;
        return true;
    }

    std::string_view line_;
    bool lineComplete_;
    std::size_t start_ = 0;  // first character of field number_
    int number_ = 0;         // 0: the sentence tag
};

// A fixed-width digit group of a field: exactly those characters, fewer at
// the end of the field, none when the group starts beyond it.
std::string_view Group(std::string_view field, std::size_t from, std::size_t width) {
    if (from >= field.size()) return {};
    return field.substr(from, width);
}

void ReadGsa(Fields& f, PPCTrackPoint& p) {
    std::string_view v;
    if (!f.Get(15, v)) return;
    p.pdop = ppc::ParseReal(v);
    if (!f.Get(16, v)) return;
    p.hdop = ppc::ParseReal(v);
    if (!f.GetLast(17, v)) return;
    p.vdop = ppc::ParseReal(v);
}

void ReadGga(Fields& f, PPCTrackPoint& p) {
    std::string_view v;
    if (!f.Get(7, v)) return;
    p.satellites = ppc::ParseInt(v);
    if (!f.Get(9, v)) return;
    p.altitude = ppc::ParseReal(v);
}

void ReadRmc(Fields& f, PPCTrackPoint& p) {
    std::string_view v;
    if (!f.Get(1, v)) return;
    p.hour = ppc::ParseInt(Group(v, 0, 2));
    p.minute = ppc::ParseInt(Group(v, 2, 2));
    p.seconds = ppc::ParseReal(Group(v, 4, std::string_view::npos));
    if (!f.Get(2, v)) return;
    p.eventType = v == "A" ? 1 : 0;
    if (!f.Get(3, v)) return;
    p.latitude = ppc::ParseInt(Group(v, 0, 2)) +
                 ppc::ParseReal(Group(v, 2, std::string_view::npos)) * kOneSixtieth;
    if (!f.Get(4, v)) return;
    if (v == "S") p.latitude = -p.latitude;
    if (!f.Get(5, v)) return;
    p.longitude = ppc::ParseInt(Group(v, 0, 3)) +
                  ppc::ParseReal(Group(v, 3, std::string_view::npos)) * kOneSixtieth;
    if (!f.Get(6, v)) return;
    if (v == "W") p.longitude = -p.longitude;
    if (!f.Get(7, v)) return;
    p.speed = ppc::ParseReal(v) * 1.852;
    if (!f.Get(8, v)) return;
    p.direction = ppc::ParseReal(v);
    if (!f.Get(9, v)) return;
    p.day = ppc::ParseInt(Group(v, 0, 2));
    p.month = ppc::ParseInt(Group(v, 2, 2));
    int32_t year = ppc::ParseInt(Group(v, 4, std::string_view::npos));
    if (year < 1000) year += year < 70 ? 2000 : 1900;
    p.year = year;
}

unsigned KindOf(std::string_view line) {
    if (line.size() < 6 || line[0] != '$') return 0;
    if (StartsWith(line, "$GPGSA")) return kGsa;
    if (StartsWith(line, "$GPGGA")) return kGga;
    if (StartsWith(line, "$GPRMC")) return kRmc;
    return 0;
}

int ReadNmeaLines(ppc::LineReader& lines, PPCTrackArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    std::string_view line;
    bool complete = false;

    // One record per RMC sentence.
    uint64_t rmc = 0;
    while (lines.Next(line, complete))
        if (StartsWith(line, "$GPRMC")) ++rmc;
    if (rmc == 0) return 0;
    if (rmc > UINT32_MAX) return 1;
    PPCTrackArray array = AllocateZeroed(rmc);
    if (!array || !lines.Rewind()) return 1;
    const uint32_t n = static_cast<uint32_t>(rmc);

    // A sentence kind met a second time opens the next record.
    uint32_t index = 0;
    unsigned seen = 0;
    while (lines.Next(line, complete)) {
        const unsigned kind = KindOf(line);
        if (kind == 0) continue;
        if (seen & kind) {
            if (++index == n) break;
            seen = kind;
        } else {
            seen |= kind;
        }
        PPCTrackPoint& p = array.get()[index];
        Fields fields(line, complete);
        if (kind == kGsa) {
            ReadGsa(fields, p);
        } else if (kind == kGga) {
            ReadGga(fields, p);
        } else {
            p.record = static_cast<int32_t>(index + 1);
            ReadRmc(fields, p);
        }
    }
    points = std::move(array);
    count = n;
    return 0;
}

}  // namespace

int PPCReadDatalog(const std::string& path, PPCTrackArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    ppc::LineReader lines(kDatalogPiece);
    if (!lines.Open(path)) return 1;
    return ReadDatalogLines(lines, points, count);
}

int PPCReadNmea(const std::string& path, PPCTrackArray& points, uint32_t& count) {
    points.reset();
    count = 0;
    ppc::LineReader lines(kNmeaPiece);
    if (!lines.Open(path)) return 1;
    return ReadNmeaLines(lines, points, count);
}

int PPCReadDatalogText(std::string_view text, PPCTrackArray& points, uint32_t& count) {
    ppc::LineReader lines(kDatalogPiece);
    lines.OpenMemory(text);
    return ReadDatalogLines(lines, points, count);
}

int PPCReadNmeaText(std::string_view text, PPCTrackArray& points, uint32_t& count) {
    ppc::LineReader lines(kNmeaPiece);
    lines.OpenMemory(text);
    return ReadNmeaLines(lines, points, count);
}
