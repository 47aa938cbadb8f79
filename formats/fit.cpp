#include "formats/fit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "core/clock.h"
#include "core/output_file.h"
#include "core/paths.h"
#include "core/statistics.h"
#include "core/text_format.h"
#include "core/track_geometry.h"
#include "formats/track_time.h"

namespace ferolin {

namespace {

// ---------------------------------------------------------------- CRC-16

// kCrcTable[k][b]: the CRC of byte b followed by k zero bytes, from 0. Eight
// tables let the loop take eight bytes a step; the result equals the
// protocol's nibble-at-a-time computation.
using CrcTables = std::array<std::array<uint16_t, 256>, 8>;

constexpr CrcTables MakeCrcTables() {
    CrcTables t{};
    for (unsigned b = 0; b < 256; ++b) {
        unsigned crc = b;
        for (int bit = 0; bit < 8; ++bit) crc = crc & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1;
        t[0][b] = static_cast<uint16_t>(crc);
    }
    for (int k = 1; k < 8; ++k)
        for (unsigned b = 0; b < 256; ++b)
            t[k][b] = static_cast<uint16_t>((t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF]);
    return t;
}

constexpr CrcTables kCrcTables = MakeCrcTables();

// ---------------------------------------------------------------- bytes

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

constexpr std::size_t kMinHeaderSize = 12;
constexpr std::size_t kLoadBlock = std::size_t{4} << 20;  // bytes taken in at a time
constexpr double kDegreesPerSemicircle = 180.0 / 2147483648.0;

// ---------------------------------------------------------------- reading

// Base types by their number (the low five bits of the type byte): bytes of
// one value and how its invalid value looks.
enum class Kind : uint8_t { kUnsigned, kSigned, kNonZero, kReal, kText };
struct BaseType {
    uint8_t size;
    Kind kind;
};
constexpr BaseType kBaseTypes[17] = {
    {1, Kind::kUnsigned},  // enum
    {1, Kind::kSigned},    // sint8
    {1, Kind::kUnsigned},  // uint8
    {2, Kind::kSigned},    // sint16
    {2, Kind::kUnsigned},  // uint16
    {4, Kind::kSigned},    // sint32
    {4, Kind::kUnsigned},  // uint32
    {1, Kind::kText},      // string
    {4, Kind::kReal},      // float32
    {8, Kind::kReal},      // float64
    {1, Kind::kNonZero},   // uint8z
    {2, Kind::kNonZero},   // uint16z
    {4, Kind::kNonZero},   // uint32z
    {1, Kind::kUnsigned},  // byte
    {8, Kind::kSigned},    // sint64
    {8, Kind::kUnsigned},  // uint64
    {8, Kind::kNonZero},   // uint64z
};

// The fields of a `record` message that become point values, the timestamp
// that any message may carry, the totals of a `session` message, the start
// of a `lap`, the timer of an `event`, and the time and type of a
// `course_point` (whose position takes the record's slots).
enum Slot : uint8_t {
    kLatitude, kLongitude, kAltitude, kEnhancedAltitude, kSpeed, kEnhancedSpeed,
    kHeartRate, kCadence, kPower, kTemperature, kTimestamp,
    kTotalAscent, kTotalDescent, kTotalDistance, kTotalTimerTime,
    kStartTime, kEvent, kEventType, kPointTime, kPointType,
    kSlotCount, kNoSlot = kSlotCount
};

constexpr uint16_t kRecordMessage = 20;
constexpr uint16_t kSessionMessage = 18;
constexpr uint16_t kLapMessage = 19;
constexpr uint16_t kEventMessage = 21;
constexpr uint16_t kCourseMessage = 31;
constexpr uint16_t kCoursePointMessage = 32;
constexpr uint8_t kTimestampField = 253;

// The messages the reader looks into; the others only move the timestamp on.
enum class Message : uint8_t { kOther, kRecord, kSession, kLap, kEvent, kCourse, kCoursePoint };

Message MessageOf(uint16_t global) {
    switch (global) {
        case kRecordMessage: return Message::kRecord;
        case kSessionMessage: return Message::kSession;
        case kLapMessage: return Message::kLap;
        case kEventMessage: return Message::kEvent;
        case kCourseMessage: return Message::kCourse;
        case kCoursePointMessage: return Message::kCoursePoint;
        default: return Message::kOther;
    }
}

Slot RecordSlot(uint8_t field) {
    switch (field) {
        case 0: return kLatitude;
        case 1: return kLongitude;
        case 2: return kAltitude;
        case 3: return kHeartRate;
        case 4: return kCadence;
        case 6: return kSpeed;
        case 7: return kPower;
        case 13: return kTemperature;
        case 73: return kEnhancedSpeed;
        case 78: return kEnhancedAltitude;
        case kTimestampField: return kTimestamp;
        default: return kNoSlot;
    }
}

Slot SessionSlot(uint8_t field) {
    switch (field) {
        case 8: return kTotalTimerTime;
        case 9: return kTotalDistance;
        case 22: return kTotalAscent;
        case 23: return kTotalDescent;
        case kTimestampField: return kTimestamp;
        default: return kNoSlot;
    }
}

Slot MessageSlot(Message message, uint8_t field) {
    switch (message) {
        case Message::kRecord: return RecordSlot(field);
        case Message::kSession: return SessionSlot(field);
        case Message::kLap: return field == 2 ? kStartTime : field == kTimestampField ? kTimestamp : kNoSlot;
        case Message::kEvent:
            return field == 0 ? kEvent : field == 1 ? kEventType : field == kTimestampField ? kTimestamp : kNoSlot;
        case Message::kCoursePoint:
            // Its time is field 1, not the timestamp: it does not move the
            // time of compressed headers on.
            switch (field) {
                case 1: return kPointTime;
                case 2: return kLatitude;
                case 3: return kLongitude;
                case 5: return kPointType;
                default: return kNoSlot;
            }
        default: return field == kTimestampField ? kTimestamp : kNoSlot;
    }
}

// The text field of a message the reader keeps: the course's name (field 5)
// and a course point's (field 6).
bool IsNameField(Message message, uint8_t field) {
    return (message == Message::kCourse && field == 5) || (message == Message::kCoursePoint && field == 6);
}

// Where a field lies in a data message's content and how its first value
// reads: `bytes` 0 when the message has no such field, or the field is too
// short for its type or of a type without numbers.
struct FieldPlace {
    uint32_t offset;
    uint8_t bytes;
    Kind kind;
};

FieldPlace PlaceOf(uint32_t offset, uint8_t size, uint8_t type) {
    const unsigned number = type & 0x1F;
    if (number >= std::size(kBaseTypes)) return {offset, 0, Kind::kText};
    const BaseType base = kBaseTypes[number];
    if (size < base.size || base.kind == Kind::kText) return {offset, 0, Kind::kText};
    return {offset, base.size, base.kind};
}

// A local message type as its last definition message declared it.
struct LocalDefinition {
    bool defined = false;
    bool bigEndian = false;
    Message message = Message::kOther;
    uint32_t size = 0;  // bytes of a data message after its header
    FieldPlace places[kSlotCount] = {};
    uint32_t nameOffset = 0;  // the name's bytes, nameSize 0 without one
    uint8_t nameSize = 0;
};

template <unsigned kBytes>
uint64_t Unsigned(const uint8_t* p, bool bigEndian) {
    uint64_t u = 0;
    if (bigEndian)
        for (unsigned i = 0; i < kBytes; ++i) u = u << 8 | p[i];
    else
        for (unsigned i = kBytes; i-- > 0;) u = u << 8 | p[i];
    return u;
}

// The first value of a field: false when the message lacks the field or the
// value is its type's invalid value.
// Inlined: it runs for every field of every record.
[[gnu::always_inline]] inline bool Decode(const uint8_t* content, const FieldPlace& place,
                                          bool bigEndian, double& value) {
    const uint8_t* p = content + place.offset;
    uint64_t u;
    switch (place.bytes) {
        case 1: u = p[0]; break;
        case 2: u = Unsigned<2>(p, bigEndian); break;
        case 4: u = Unsigned<4>(p, bigEndian); break;
        case 8: u = Unsigned<8>(p, bigEndian); break;
        default: return false;
    }
    const unsigned bits = 8u * place.bytes;
    const uint64_t ones = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
    switch (place.kind) {
        case Kind::kUnsigned:
            if (u == ones) return false;
            value = static_cast<double>(u);
            return true;
        case Kind::kSigned:
            if (u == ones >> 1) return false;
            value = static_cast<double>(static_cast<int64_t>(u << (64 - bits)) >> (64 - bits));
            return true;
        case Kind::kNonZero:
            if (u == 0) return false;
            value = static_cast<double>(u);
            return true;
        case Kind::kReal:
            if (u == ones) return false;
            value = bits == 32 ? static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(u)))
                               : std::bit_cast<double>(u);
            return std::isfinite(value);
        case Kind::kText: break;
    }
    return false;
}

// Reads the definition message whose content starts at `p`; the position
// after it, or nullptr when it does not fit before `end`.
const uint8_t* ReadDefinition(const uint8_t* p, const uint8_t* end, bool developerFields,
                              LocalDefinition& def) {
    if (end - p < 5) return nullptr;
    const bool bigEndian = p[1] == 1;
    const uint16_t global = bigEndian ? static_cast<uint16_t>(p[2] << 8 | p[3]) : Le16(p + 2);
    const unsigned fields = p[4];
    p += 5;
    if (static_cast<std::size_t>(end - p) < 3u * fields) return nullptr;
    LocalDefinition d;
    d.defined = true;
    d.bigEndian = bigEndian;
    d.message = MessageOf(global);
    uint32_t offset = 0;
    for (unsigned i = 0; i < fields; ++i, p += 3) {
        const Slot slot = MessageSlot(d.message, p[0]);
        if (slot != kNoSlot) d.places[slot] = PlaceOf(offset, p[1], p[2]);
        if (IsNameField(d.message, p[0]) && (p[2] & 0x1F) == 7) {
            d.nameOffset = offset;
            d.nameSize = p[1];
        }
        offset += p[1];
    }
    if (developerFields) {
        if (p == end) return nullptr;
        const unsigned extra = *p++;
        if (static_cast<std::size_t>(end - p) < 3u * extra) return nullptr;
        for (unsigned i = 0; i < extra; ++i, p += 3) offset += p[1];
    }
    d.size = offset;
    def = d;
    return p;
}

// Walks the messages between `begin` and `end` of one FIT file, handing every
// record message to `onRecord(definition, content, timestamp)` (timestamp in
// FIT seconds, -1 when the message has none) and every other message it
// looks into (session, lap, event, course, course point) to
// `onRecord.Other(definition, content, timestamp)`. Stops at the first message that
// is incomplete or refers to an undefined local type.
template <bool kTimes, typename OnRecord>
void WalkMessages(const uint8_t* p, const uint8_t* end, OnRecord& onRecord) {
    LocalDefinition defs[16];
    int64_t last = -1;  // the last full timestamp, for compressed headers
    const uint8_t* reported = p;  // the walk's progress, told every megabyte
    while (p < end) {
        if (p - reported >= (1 << 20)) {
            ReportReadBytes(static_cast<uint64_t>(p - reported));
            reported = p;
        }
        const uint8_t header = *p++;
        unsigned local;
        bool compressed = false;
        if (header & 0x80) {
            compressed = true;
            local = (header >> 5) & 0x3;
        } else if (header & 0x40) {
            p = ReadDefinition(p, end, header & 0x20, defs[header & 0xF]);
            if (!p) return;
            continue;
        } else {
            local = header & 0xF;
        }
        const LocalDefinition& def = defs[local];
        if (!def.defined || static_cast<std::size_t>(end - p) < def.size) return;
        const uint8_t* content = p;
        p += def.size;
        int64_t timestamp = -1;
        if constexpr (kTimes) {
            double value;
            if (Decode(content, def.places[kTimestamp], def.bigEndian, value) && value >= 0 &&
                value <= 4294967295.0) {
                timestamp = static_cast<int64_t>(value);
                last = timestamp;
            } else if (compressed && last >= 0) {
                const int64_t offset = header & 0x1F;
                timestamp = (last & ~int64_t{0x1F}) + offset;
                if (offset < (last & 0x1F)) timestamp += 0x20;
                last = timestamp;
            }
        }
        if (def.message == Message::kRecord) onRecord(def, content, timestamp);
        else if (def.message != Message::kOther) onRecord.Other(def, content, timestamp);
    }
}

// Walks the FIT files chained in the input, handing each one's message bytes
// to `onFile(begin, end)`, at most `limit` files. The signature ".FIT" makes
// a file header, whatever its CRC: a header CRC that does not match (0 is
// "not computed"), like a file CRC that does not match, ends the walk after
// that file's messages were handed over, when `checkCrc`. A file cut short
// ends the walk as well. Returns the number of files handed over; `failure`
// gets the reason when the input's first header cannot be read.
template <typename OnFile>
uint32_t WalkChain(const uint8_t* data, std::size_t size, uint32_t limit, bool checkCrc,
                   OnFile onFile, const char** failure = nullptr) {
    std::size_t pos = 0;
    uint32_t files = 0;
    while (files < limit && size - pos >= kMinHeaderSize) {
        const uint8_t* h = data + pos;
        if (std::memcmp(h + 8, ".FIT", 4) != 0) break;
        const std::size_t headerSize = h[0];
        if (headerSize < kMinHeaderSize || size - pos < headerSize) {
            if (failure && files == 0)
                *failure = headerSize < kMinHeaderSize ? "a damaged FIT file header"
                                                       : "a FIT file header cut short";
            break;
        }
        bool intact = true;
        if (headerSize >= 14 && checkCrc) {
            const uint16_t crc = Le16(h + 12);
            intact = crc == 0 || crc == FitCrc(0, h, 12);
        }
        const std::size_t dataSize = Le32(h + 4);
        const std::size_t begin = pos + headerSize;
        const std::size_t available = size - begin;
        const bool whole = available >= 2 && dataSize <= available - 2;
        onFile(data + begin, data + begin + (dataSize < available ? dataSize : available));
        ++files;
        if (!whole || !intact) break;
        if (checkCrc && FitCrc(0, h, headerSize + dataSize) != Le16(data + begin + dataSize)) break;
        pos = begin + dataSize + 2;
    }
    return files;
}

// The position of a record in degrees: false when it has none or none on the
// earth. Positions are sint32 semicircles: a field of a narrower type is
// none, so that every point stands on at least nine bytes of the file.
inline bool PositionOf(const LocalDefinition& def, const uint8_t* content, double& latitude,
                       double& longitude) {
    const FieldPlace& lat = def.places[kLatitude];
    const FieldPlace& lon = def.places[kLongitude];
    if (lat.bytes < 4 || lon.bytes < 4 || !Decode(content, lat, def.bigEndian, latitude) ||
        !Decode(content, lon, def.bigEndian, longitude))
        return false;
    latitude *= kDegreesPerSemicircle;
    longitude *= kDegreesPerSemicircle;
    return IsRealPosition(latitude, longitude);
}

// First pass: the points the files hold.
struct PointCounter {
    uint32_t count = 0;
    void operator()(const LocalDefinition& def, const uint8_t* content, int64_t) {
        double latitude, longitude;
        if (count < UINT32_MAX && PositionOf(def, content, latitude, longitude)) ++count;
    }
    void Other(const LocalDefinition&, const uint8_t*, int64_t) {}
};

constexpr Sensor kSensorOfSlot[] = {Sensor::kHeartRate, Sensor::kCadence, Sensor::kPower,
                                    Sensor::kTemperature};

// The names of the course point types of the profile, by number.
constexpr const char* kCoursePointTypes[] = {
    "generic", "summit", "valley", "water", "food", "danger", "left", "right", "straight",
    "first_aid", "fourth_category", "third_category", "second_category", "first_category",
    "hors_category", "sprint", "left_fork", "right_fork", "middle_fork", "slight_left",
    "sharp_left", "slight_right", "sharp_right", "u_turn", "segment_start", "segment_end",
};
// The first sixteen as the training log (TCX) names them.
constexpr const char* kTcxPointTypes[] = {
    "Generic", "Summit", "Valley", "Water", "Food", "Danger", "Left", "Right", "Straight",
    "First Aid", "4th Category", "3rd Category", "2nd Category", "1st Category", "Hors Category", "Sprint",
};

// What a FIT record never carries: course, satellites and dilutions of
// precision.
constexpr uint8_t kFieldsNeverGiven = kQualityFields & ~kFieldSpeed;

// Second pass: the points, what they lack, their sensor values, and the
// totals of the sessions.
class PointFiller {
public:
    PointFiller(TrackPoint* points, uint32_t capacity, SensorChannels* sensors)
        : points_(points), capacity_(capacity), sensors_(sensors) {
        // Every point lacks some field: the marks take their room at once.
        if (sensors_ && capacity_ > 0) sensors_->MarkAbsent(capacity_ - 1, 0);
    }

    uint32_t count() const { return count_; }
    const DeviceTotals& totals() const { return totals_; }

    void operator()(const LocalDefinition& def, const uint8_t* c, int64_t timestamp) {
        double latitude, longitude;
        if (!PositionOf(def, c, latitude, longitude)) {
            CurrentReadReport().Count(LeftOut::kNoPosition);
            return;
        }
        if (count_ == capacity_) return;
        // The first record after a timer stop begins a segment.
        if (stopped_) {
            stopped_ = false;
            if (sensors_) sensors_->document.BeginSegment(count_);
        }
        TrackPoint& p = points_[count_];
        const bool big = def.bigEndian;
        double v = 0;
        uint8_t lacks = kFieldsNeverGiven;
        p.latitude = latitude;
        p.longitude = longitude;
        p.record = static_cast<int32_t>(count_ + 1);
        if (Decode(c, def.places[kEnhancedAltitude], big, v) ||
            Decode(c, def.places[kAltitude], big, v))
            p.altitude = ToFloat(v / 5.0 - 500.0);
        else
            lacks |= kFieldAltitude;
        if (Decode(c, def.places[kEnhancedSpeed], big, v) || Decode(c, def.places[kSpeed], big, v))
            p.speed = ToFloat(v * 0.0036);  // mm/s to km/h
        else
            lacks |= kFieldSpeed;
        if (timestamp >= 0) SetTime(p, timestamp + kFitEpoch);
        else lacks |= kFieldTime;
        if (sensors_) {
            sensors_->MarkAbsent(count_, lacks);
            for (int i = 0; i < kSensorCount; ++i) {
                if (!Decode(c, def.places[kHeartRate + i], big, v)) continue;
                // Values beyond the float range (a wide type's) are as
                // impossible as those no body or device gives.
                if (!(std::fabs(v) < 1e30) ||
                    !IsPossibleSensorValue(kSensorOfSlot[i], static_cast<float>(v))) {
                    CurrentReadReport().Count(LeftOut::kImpossibleValue);
                    continue;
                }
                if (!channels_[i]) channels_[i] = sensors_->Channel(kSensorOfSlot[i], capacity_);
                channels_[i][count_] = static_cast<float>(v);
            }
        }
        ++count_;
    }

    void Other(const LocalDefinition& def, const uint8_t* c, int64_t) {
        double v;
        switch (def.message) {
            case Message::kSession:
                // The device's totals of a session, added to those of the
                // sessions before it (a multisport activity, or files chained).
                Add(def, c, kTotalAscent, 1, totals_.ascentMetres);
                Add(def, c, kTotalDescent, 1, totals_.descentMetres);
                Add(def, c, kTotalDistance, 100, totals_.distanceMetres);
                Add(def, c, kTotalTimerTime, 1000, totals_.timerSeconds);
                break;
            case Message::kEvent:
                // The timer stopped (stop, stop all, and their "disable"
                // forms): the next record begins a segment. A start needs
                // nothing: records logged before it belong to that segment.
                if (Decode(c, def.places[kEvent], def.bigEndian, v) && v == 0 &&
                    Decode(c, def.places[kEventType], def.bigEndian, v) && (v == 1 || v == 4 || v == 8 || v == 9))
                    stopped_ = true;
                break;
            case Message::kLap:
                // A lap's first point is known once the records are read: a
                // device writes the lap after them.
                if (sensors_ && Decode(c, def.places[kStartTime], def.bigEndian, v) && v <= 4294967295.0)
                    lapStarts_.push_back(static_cast<int64_t>(v) + kFitEpoch);
                break;
            case Message::kCourse:
                if (sensors_ && def.nameSize > 0) sensors_->document.NameTrack(Text(def, c));
                break;
            case Message::kCoursePoint: CoursePoint(def, c); break;
            default: break;
        }
    }

    // Gives every lap the first point at or after its start; a lap that
    // holds no point before the next one starts is none. Laps and points
    // are both in time order: one walk over the points places them all.
    void PlaceLaps() {
        if (!sensors_ || lapStarts_.empty()) return;
        std::stable_sort(lapStarts_.begin(), lapStarts_.end());
        std::vector<Lap>& laps = sensors_->document.laps;
        uint32_t i = 0;
        for (const int64_t start : lapStarts_) {
            while (i < count_) {
                const int64_t t = TrackPointTime(points_[i]);
                if (t >= start) break;
                ++i;
            }
            if (i == count_) break;
            if (!laps.empty() && laps.back().firstPoint == i) laps.pop_back();
            laps.push_back({i, static_cast<double>(start)});
        }
    }

private:
    // A text field up to its first NUL.
    static std::string Text(const LocalDefinition& def, const uint8_t* c) {
        const char* text = reinterpret_cast<const char*>(c + def.nameOffset);
        const void* nul = std::memchr(text, 0, def.nameSize);
        return std::string(text, nul ? static_cast<const char*>(nul) - text : def.nameSize);
    }

    // A course point: a waypoint named by its name, with the name of its
    // type as symbol; without a real position it is none, and counted.
    void CoursePoint(const LocalDefinition& def, const uint8_t* c) {
        if (!sensors_) return;
        double latitude, longitude, v;
        if (!PositionOf(def, c, latitude, longitude)) {
            CurrentReadReport().Count(LeftOut::kNoPosition);
            return;
        }
        Waypoint w;
        w.point.latitude = latitude;
        w.point.longitude = longitude;
        // The message has no altitude.
        w.absent = kFieldAltitude;
        if (Decode(c, def.places[kPointTime], def.bigEndian, v) && v <= 4294967295.0)
            SetPointSeconds(w.point, v + static_cast<double>(kFitEpoch));
        else
            w.absent |= kFieldTime;
        if (def.nameSize > 0) w.name = Text(def, c);
        if (Decode(c, def.places[kPointType], def.bigEndian, v) && v < std::size(kCoursePointTypes))
            w.symbol = kCoursePointTypes[static_cast<std::size_t>(v)];
        sensors_->document.waypoints.push_back(std::move(w));
    }

    // Date and time of the point; the calendar is worked out once a day.
    void SetTime(TrackPoint& p, int64_t seconds) {
        if (seconds < dayStart_ || seconds >= dayStart_ + 86400) {
            const UtcDateTime t = UtcFromTime(seconds);
            day_ = t;
            dayStart_ = seconds - (t.hour * 3600 + t.minute * 60 + t.second);
        }
        const int64_t inDay = seconds - dayStart_;
        p.year = static_cast<int16_t>(day_.year);
        p.month = static_cast<int8_t>(day_.month);
        p.day = static_cast<int8_t>(day_.day);
        p.hour = static_cast<int8_t>(inDay / 3600);
        p.minute = static_cast<int8_t>(inDay / 60 % 60);
        p.seconds = static_cast<float>(inDay % 60);
    }

    // Adds a session's field, in its unit, to a total (NaN while no session
    // gave the field).
    static void Add(const LocalDefinition& def, const uint8_t* c, Slot slot, double scale,
                    double& total) {
        double v;
        if (!Decode(c, def.places[slot], def.bigEndian, v)) return;
        total = (std::isnan(total) ? 0.0 : total) + v / scale;
    }

    TrackPoint* points_;
    uint32_t capacity_;
    uint32_t count_ = 0;
    SensorChannels* sensors_;
    float* channels_[kSensorCount] = {};
    DeviceTotals totals_ = ReadReport::NoDeviceTotals();
    bool stopped_ = false;             // the timer stopped since the last record
    std::vector<int64_t> lapStarts_;   // seconds since 1970
    UtcDateTime day_{};
    int64_t dayStart_ = INT64_MIN / 2;
};

// Whether a file opens with a FIT file header: the signature ".FIT" in its
// bytes 8 to 11. Only these bytes are read.
bool OpensAsFit(int fd) {
    uint8_t header[kMinHeaderSize];
    std::size_t got = 0;
    while (got < sizeof header) {
        const ssize_t n = pread(fd, header + got, sizeof header - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return std::memcmp(header + 8, ".FIT", 4) == 0;
}

// Reads a whole regular file that opens as a FIT file (a FIFO or a device is
// refused without waiting, any other file without reading more than its
// header).
ReadStatus ReadWholeFile(const std::string& path, std::unique_ptr<uint8_t[]>& bytes, std::size_t& size) {
    size = 0;
    std::size_t wanted = 0;
    std::string reason;  // the driver's own words serve
    const int fd = OpenRegularFile(path, wanted, reason);
    if (fd < 0) return ReadStatus::kCannotOpen;
    ReadStatus status = ReadStatus::kOk;
    if (!OpensAsFit(fd)) {
        status = ReadStatus::kNotThisFormat;
        SetReadReason("not a FIT file");
    }
    if (status == ReadStatus::kOk && wanted > 0) {
        // The progress of a read: the file taken in, then walked twice.
        ReportReadTotal(3 * static_cast<uint64_t>(wanted));
        bytes.reset(new (std::nothrow) uint8_t[wanted]);
        if (!bytes) {
            status = ReadStatus::kNoMemory;
            SetReadReason("out of memory");
        }
        // A file that shrinks meanwhile is read as far as it goes.
        while (status == ReadStatus::kOk && size < wanted) {
            // In blocks, for the progress of a large file.
            const ssize_t n = pread(fd, bytes.get() + size, std::min<std::size_t>(wanted - size, kLoadBlock),
                                    static_cast<off_t>(size));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) status = ReadStatus::kCannotOpen;
            if (n <= 0) break;
            size += static_cast<std::size_t>(n);
            ReportReadBytes(static_cast<uint64_t>(n));
        }
    }
    close(fd);
    return status;
}

// ---------------------------------------------------------------- writing

// Base type bytes of the fields written.
constexpr uint8_t kEnum = 0x00, kSint8 = 0x01, kUint8 = 0x02, kString = 0x07, kUint16 = 0x84,
                  kSint32 = 0x85, kUint32 = 0x86;

struct FitField {
    uint8_t number;
    uint8_t size;
    uint8_t type;
    uint64_t value;              // little-endian in `size` bytes
    std::string_view text = {};  // kString: the text, NUL-padded to `size`
};

std::size_t DefinitionSize(std::span<const FitField> fields) { return 6 + 3 * fields.size(); }
std::size_t DataSize(std::span<const FitField> fields) {
    std::size_t size = 1;
    for (const FitField& f : fields) size += f.size;
    return size;
}

void AppendDefinition(TextBuffer& out, uint8_t local, uint16_t global,
                      std::span<const FitField> fields) {
    char* p = out.Reserve(DefinitionSize(fields));
    *p++ = static_cast<char>(0x40 | local);
    *p++ = 0;  // reserved
    *p++ = 0;  // little-endian
    *p++ = static_cast<char>(global & 0xFF);
    *p++ = static_cast<char>(global >> 8);
    *p++ = static_cast<char>(fields.size());
    for (const FitField& f : fields) {
        *p++ = static_cast<char>(f.number);
        *p++ = static_cast<char>(f.size);
        *p++ = static_cast<char>(f.type);
    }
    out.Advance(DefinitionSize(fields));
}

void AppendData(TextBuffer& out, uint8_t local, std::span<const FitField> fields) {
    char* p = out.Reserve(DataSize(fields));
    *p++ = static_cast<char>(local);
    for (const FitField& f : fields) {
        if (f.type == kString) {
            const std::size_t n = f.text.size() < f.size ? f.text.size() : f.size - 1u;
            std::memcpy(p, f.text.data(), n);
            std::memset(p + n, 0, f.size - n);
        } else {
            for (unsigned i = 0; i < f.size; ++i) p[i] = static_cast<char>(f.value >> (8 * i) & 0xFF);
        }
        p += f.size;
    }
    out.Advance(DataSize(fields));
}

void AppendMessage(TextBuffer& out, uint8_t local, uint16_t global,
                   std::span<const FitField> fields) {
    AppendDefinition(out, local, global, fields);
    AppendData(out, local, fields);
}

// Messages and values of the profile that the writer uses.
constexpr uint16_t kFileIdMessage = 0, kActivityMessage = 34;
constexpr uint64_t kFileActivity = 4, kFileCourse = 6, kManufacturerDevelopment = 255;
constexpr uint64_t kEventTimer = 0, kEventSession = 8, kEventLap = 9, kEventActivity = 26;
constexpr uint64_t kEventTypeStart = 0, kEventTypeStop = 1, kEventTypeStopAll = 4;

uint64_t Semicircles(double degrees) {
    const double s = std::round(degrees / kDegreesPerSemicircle);
    // 0x7FFFFFFF is the invalid value: +180 degrees wraps to -180.
    const int32_t v = s >= 2147483647.0 ? INT32_MIN : TruncateTo<int32_t>(s);
    return static_cast<uint32_t>(v);
}

// A scaled value in [0, invalid), or the invalid value when it is out of range.
uint64_t Scaled(double value, double invalid) {
    const double v = std::round(value);
    return v >= 0 && v < invalid ? static_cast<uint64_t>(v) : static_cast<uint64_t>(invalid);
}

// FIT seconds of a dated point; -1 for an undated point or a time the format
// cannot hold.
int64_t FitTime(const TrackPoint& p) {
    const int64_t t = TrackPointTime(p);
    return t >= kFitEpoch && t - kFitEpoch < 0xFFFFFFFF ? t - kFitEpoch : -1;
}

// FIT seconds since 1989 along the export: dated points keep their times
// when the export starts with one; others follow the last known time at
// 10 km/h.
constexpr TimelineClock kFitClock{FitTime, 1, kFitEpoch, 0xFFFFFFFF, 0xFFFFFFFE};

// The sensor fields of the record message: field number, size, base type,
// invalid value and the range a value is kept in.
struct SensorField {
    Sensor sensor;
    uint8_t number, size, type;
    double low, high;
    uint64_t invalid;
};
constexpr SensorField kSensorFields[] = {
    {Sensor::kHeartRate, 3, 1, kUint8, 0, 254, 0xFF},
    {Sensor::kCadence, 4, 1, kUint8, 0, 254, 0xFF},
    {Sensor::kPower, 7, 2, kUint16, 0, 65534, 0xFFFF},
    {Sensor::kTemperature, 13, 1, kSint8, -128, 126, 0x7F},
};

uint64_t SensorFieldValue(const SensorField& f, float value) {
    if (!IsSensorValue(value)) return f.invalid;
    double v = std::round(value);
    v = v < f.low ? f.low : v > f.high ? f.high : v;
    const int64_t i = static_cast<int64_t>(v);
    return static_cast<uint64_t>(i) & (f.size == 1 ? 0xFF : 0xFFFF);
}

// Keeps the CRC up with the bytes appended to a file's buffer.
class CrcTracker {
public:
    explicit CrcTracker(OutputFile& file) : file_(file) {}
    void Flush() {
        Update();
        file_.Flush();
        done_ = file_.Buffer().size();
    }
    uint16_t crc() {
        Update();
        return crc_;
    }

private:
    void Update() {
        const TextBuffer& b = file_.Buffer();
        crc_ = FitCrc(crc_, reinterpret_cast<const uint8_t*>(b.data()) + done_, b.size() - done_);
        done_ = b.size();
    }
    OutputFile& file_;
    std::size_t done_ = 0;
    uint16_t crc_ = 0;
};

// A text cut to whole UTF-8 characters within `bytes` bytes.
std::string_view CutText(std::string_view text, std::size_t bytes) {
    std::size_t n = text.size() < bytes ? text.size() : bytes;
    while (n > 0 && n < text.size() && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

// A lap as the writer writes it: its entries [first, end), the time of its
// start and of its last record in FIT seconds, the distance along the
// export at both ends, the seconds the timer ran (the gaps between segments
// left out) and the segments begun within it.
struct LapSpan {
    uint32_t first = 0, end = 0;
    uint64_t startTime = 0, firstTime = 0, lastTime = 0, timer = 0, gaps = 0;
    double startMetres = 0, endMetres = 0;
    uint32_t breaks = 0;
};

// The laps of the export: one over every entry when the document has none;
// else one from each lap's first point on, and one of their own for the
// points before the first lap. A lap keeps its own start time when it lies
// no later than its first record.
std::vector<LapSpan> LapSpans(const ExportEntry* entries, uint32_t count, const TrackDocument* doc,
                              const SensorChannels* extras) {
    std::vector<LapSpan> spans;
    const std::vector<Lap>* laps = doc && !doc->laps.empty() ? &doc->laps : nullptr;
    std::size_t next = 0;  // the document's next lap
    ExportTimeline line(entries, count, kFitClock, extras);
    SegmentWalker walker(doc);
    for (uint32_t i = 0; i < count && line.Next(); ++i) {
        const uint64_t time = static_cast<uint64_t>(line.time());
        const bool newSegment = walker.Next(entries[i].index);
        double own = std::nan("");
        bool newLap = i == 0;
        while (laps && next < laps->size() && (*laps)[next].firstPoint <= entries[i].index) {
            own = (*laps)[next++].startTime;
            newLap = true;
        }
        if (newLap) {
            LapSpan l;
            l.first = i;
            l.firstTime = l.startTime = time;
            const double start = std::floor(own) - static_cast<double>(kFitEpoch);
            if (start >= 0 && start <= static_cast<double>(time)) l.startTime = static_cast<uint64_t>(start);
            l.startMetres = line.metres();
            if (i > 0 && newSegment) ++spans.back().breaks;
            spans.push_back(l);
        } else if (newSegment) {
            LapSpan& l = spans.back();
            ++l.breaks;
            if (time > l.lastTime) l.gaps += time - l.lastTime;
        }
        LapSpan& l = spans.back();
        l.end = i + 1;
        l.lastTime = time;
        l.endMetres = line.metres();
    }
    for (LapSpan& l : spans) {
        const uint64_t span = l.lastTime > l.firstTime ? l.lastTime - l.firstTime : 0;
        l.timer = span > l.gaps ? span - l.gaps : 0;
    }
    return spans;
}

// Whether two names are the same but for the case of ASCII letters.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The type of a course point by its symbol: the profile's name, or the
// training log's (Left, First Aid, 4th Category ...); generic for others.
uint64_t CoursePointType(std::string_view symbol) {
    for (std::size_t t = 0; t < std::size(kCoursePointTypes); ++t)
        if (SameName(symbol, kCoursePointTypes[t]) ||
            (t < std::size(kTcxPointTypes) && SameName(symbol, kTcxPointTypes[t])))
            return t;
    return 0;
}

// The course points, in a message whose name field holds the longest name.
void AppendCoursePoints(TextBuffer& out, const std::vector<Waypoint>& waypoints) {
    std::size_t longest = 0;
    for (const Waypoint& w : waypoints) longest = std::max(longest, CutText(w.name, 31).size());
    FitField point[] = {
        {254, 2, kUint16, 0},
        {1, 4, kUint32, 0},
        {2, 4, kSint32, 0},
        {3, 4, kSint32, 0},
        {5, 1, kEnum, 0},
        {6, static_cast<uint8_t>(longest + 1), kString, 0},
    };
    AppendDefinition(out, 7, kCoursePointMessage, point);
    for (std::size_t k = 0; k < waypoints.size() && k < 0xFFFF; ++k) {
        const Waypoint& w = waypoints[k];
        const double seconds = PointSeconds(w.point) - static_cast<double>(kFitEpoch);
        point[0].value = k;
        point[1].value = !(w.absent & kFieldTime) && seconds >= 0 && seconds < 4294967295.0
                             ? static_cast<uint64_t>(seconds)
                             : 0xFFFFFFFFu;
        point[2].value = Semicircles(w.point.latitude);
        point[3].value = Semicircles(w.point.longitude);
        point[4].value = CoursePointType(w.symbol);
        point[5].text = CutText(w.name, 31);
        AppendData(out, 7, point);
    }
}

// The points of the FIT files in `data`, and the totals of their sessions.
ReadStatus ParseFit(const uint8_t* data, std::size_t size, TrackPointArray& points,
                    uint32_t& count, SensorChannels* sensors) {

    // First pass: which files the chain holds and how many points.
    PointCounter counter;
    const char* failure = "not a FIT file";
    const uint32_t files = WalkChain(
        data, size, UINT32_MAX, true,
        [&](const uint8_t* b, const uint8_t* e) { WalkMessages<false>(b, e, counter); }, &failure);
    if (files == 0) {
        SetReadReason(failure);
        return ReadStatus::kNotThisFormat;
    }

    // Second pass, also over a chain without points: what it leaves out and
    // the sessions count all the same.
    TrackPointArray array;
    if (counter.count > 0) {
        array = AllocateTrackPoints(counter.count);
        if (!array) {
            SetReadReason("out of memory");
            return ReadStatus::kNoMemory;
        }
    }
    PointFiller filler(array.get(), counter.count, sensors);
    WalkChain(data, size, files, false, [&](const uint8_t* b, const uint8_t* e) {
        WalkMessages<true>(b, e, filler);
    });
    filler.PlaceLaps();
    count = filler.count();
    points = count > 0 ? std::move(array) : TrackPointArray();
    if (sensors) sensors->Truncate(count);
    CurrentReadReport().device = filler.totals();
    return ReadStatus::kOk;
}

}  // namespace

uint16_t FitCrc(uint16_t crc, const uint8_t* data, std::size_t size) {
    const auto& t = kCrcTables;
    while (size >= 8) {
        const unsigned a = (data[0] | data[1] << 8) ^ crc;
        crc = static_cast<uint16_t>(t[7][a & 0xFF] ^ t[6][a >> 8] ^ t[5][data[2]] ^ t[4][data[3]] ^
                                    t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]]);
        data += 8;
        size -= 8;
    }
    while (size-- > 0) crc = static_cast<uint16_t>((crc >> 8) ^ t[0][(crc ^ *data++) & 0xFF]);
    return crc;
}

ReadStatus ReadFitFile(const std::string& path, TrackPointArray& points, uint32_t& count,
                       SensorChannels* sensors) {
    points.reset();
    count = 0;
    if (sensors) sensors->Clear();
    std::unique_ptr<uint8_t[]> bytes;
    std::size_t size = 0;
    const ReadStatus status = ReadWholeFile(path, bytes, size);
    if (status != ReadStatus::kOk) return status;
    try {
        return ParseFit(bytes.get(), size, points, count, sensors);
    } catch (const std::bad_alloc&) {
        points.reset();
        count = 0;
        if (sensors) sensors->Clear();
        SetReadReason("out of memory");
        return ReadStatus::kNoMemory;
    }
}

int WriteFitFile(const std::string& path, const ExportEntry* entries, uint32_t count,
                 uint32_t options, const SensorChannels* sensors) {
    const SensorChannels* const extras = sensors;  // what the points lack
    const TrackDocument* const doc = extras ? &extras->document : nullptr;
    sensors = PresentChannels(sensors);
    // Course points make a course file, the only kind that holds them.
    const bool coursePoints = doc && !doc->waypoints.empty();
    if (count == 0 && !coursePoints) return 1;
    const bool activity = (options & kFitActivity) && !coursePoints;

    // Totals first: the course file puts its laps before the records.
    const std::vector<LapSpan> laps = LapSpans(entries, count, doc, extras);
    uint64_t firstTime = static_cast<uint64_t>(CurrentUtcTime() - kFitEpoch);
    uint64_t lastTime = firstTime, timer = 0;
    double totalDistance = 0;
    uint32_t breaks = 0;  // segments begun after the first
    for (const LapSpan& l : laps) {
        timer += l.timer;
        breaks += l.breaks;
    }
    if (!laps.empty()) {
        firstTime = laps.front().firstTime;
        lastTime = laps.back().lastTime;
        totalDistance = laps.back().endMetres;
    }
    const uint64_t elapsed = (lastTime > firstTime ? lastTime - firstTime : 0) * 1000;
    const uint64_t distance = Scaled(totalDistance * 100, 4294967295.0);

    // The messages before and after the records, whose sizes the header needs.
    TextBuffer head, tail;
    const FitField fileId[] = {
        {0, 1, kEnum, activity ? kFileActivity : kFileCourse},
        {1, 2, kUint16, kManufacturerDevelopment},
        {2, 2, kUint16, 0},
        {4, 4, kUint32, firstTime},
    };
    AppendMessage(head, 0, kFileIdMessage, fileId);
    // One lap message a lap, the definition before the first.
    const auto appendLaps = [&](TextBuffer& out) {
        for (std::size_t k = 0; k < laps.size(); ++k) {
            const LapSpan& l = laps[k];
            const TrackPoint& first = *entries[l.first].point;
            const TrackPoint& last = *entries[l.end - 1].point;
            const uint64_t lapElapsed = (l.lastTime > l.startTime ? l.lastTime - l.startTime : 0) * 1000;
            const FitField lap[] = {
                {253, 4, kUint32, l.lastTime},
                {2, 4, kUint32, l.startTime},
                {3, 4, kSint32, Semicircles(first.latitude)},
                {4, 4, kSint32, Semicircles(first.longitude)},
                {5, 4, kSint32, Semicircles(last.latitude)},
                {6, 4, kSint32, Semicircles(last.longitude)},
                {7, 4, kUint32, lapElapsed},
                {8, 4, kUint32, l.timer * 1000},
                {9, 4, kUint32, Scaled((l.endMetres - l.startMetres) * 100, 4294967295.0)},
                {254, 2, kUint16, k},
                {0, 1, kEnum, kEventLap},
                {1, 1, kEnum, kEventTypeStop},
            };
            if (k == 0) AppendDefinition(out, 3, kLapMessage, lap);
            AppendData(out, 3, lap);
        }
    };
    if (activity) {
        const TrackPoint& first = *entries[0].point;
        appendLaps(tail);
        const FitField session[] = {
            {253, 4, kUint32, lastTime},
            {2, 4, kUint32, firstTime},
            {3, 4, kSint32, Semicircles(first.latitude)},
            {4, 4, kSint32, Semicircles(first.longitude)},
            {7, 4, kUint32, elapsed},
            {8, 4, kUint32, timer * 1000},
            {9, 4, kUint32, distance},
            {254, 2, kUint16, 0},
            {25, 2, kUint16, 0},
            {26, 2, kUint16, laps.size()},
            {0, 1, kEnum, kEventSession},
            {1, 1, kEnum, kEventTypeStop},
            {5, 1, kEnum, 0},  // sport: generic
            {6, 1, kEnum, 0},  // sub-sport: generic
        };
        AppendMessage(tail, 4, kSessionMessage, session);
        const FitField activityMessage[] = {
            {253, 4, kUint32, lastTime},
            {0, 4, kUint32, timer * 1000},
            {1, 2, kUint16, 1},
            {2, 1, kEnum, 0},  // manual
            {3, 1, kEnum, kEventActivity},
            {4, 1, kEnum, kEventTypeStop},
        };
        AppendMessage(tail, 5, kActivityMessage, activityMessage);
    } else {
        // The course's name: the track's own, else the output file's title,
        // cut to whole UTF-8 characters within 64 bytes with its NUL.
        const std::string& own = doc ? doc->TrackName(0) : std::string();
        const std::string title = own.empty() ? FileTitle(path) : own;
        const std::string_view name = CutText(title, 63);
        const FitField course[] = {
            {5, static_cast<uint8_t>(name.size() + 1), kString, 0, name},
            {4, 1, kEnum, 0},  // sport: generic
        };
        AppendMessage(head, 1, kCourseMessage, course);
        appendLaps(head);
        if (coursePoints) AppendCoursePoints(tail, doc->waypoints);
    }

    // The record message: the fixed fields, then one per sensor channel.
    FitField record[6 + std::size(kSensorFields)] = {
        {253, 4, kUint32, 0}, {0, 4, kSint32, 0}, {1, 4, kSint32, 0},
        {5, 4, kUint32, 0},   {78, 4, kUint32, 0}, {73, 4, kUint32, 0},
    };
    std::size_t fields = 6;
    const SensorField* sensorFields[std::size(kSensorFields)] = {};
    std::size_t sensorCount = 0;
    for (const SensorField& f : kSensorFields) {
        if (!sensors || !sensors->Has(f.sensor)) continue;
        sensorFields[sensorCount++] = &f;
        record[fields++] = {f.number, f.size, f.type, f.invalid};
    }
    const std::span<FitField> recordFields(record, fields);
    if (count > 0) AppendDefinition(head, 2, kRecordMessage, recordFields);
    // Between two segments the timer stops after the last record of the one
    // and starts again at the first record of the other.
    FitField timerEvent[] = {
        {253, 4, kUint32, 0},
        {0, 1, kEnum, kEventTimer},
        {1, 1, kEnum, kEventTypeStopAll},
    };
    if (breaks > 0) AppendDefinition(head, 6, kEventMessage, timerEvent);

    const uint64_t dataSize = head.size() + static_cast<uint64_t>(count) * DataSize(recordFields) +
                              static_cast<uint64_t>(breaks) * 2 * DataSize(timerEvent) + tail.size();
    if (dataSize > 0xFFFFFFFFu) return 1;

    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();
    uint8_t header[14] = {14, 0x10, 2132 & 0xFF, 2132 >> 8, 0, 0, 0, 0, '.', 'F', 'I', 'T', 0, 0};
    for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<uint8_t>(dataSize >> (8 * i) & 0xFF);
    const uint16_t headerCrc = FitCrc(0, header, 12);
    header[12] = static_cast<uint8_t>(headerCrc & 0xFF);
    header[13] = static_cast<uint8_t>(headerCrc >> 8);
    out.Append(std::string_view(reinterpret_cast<const char*>(header), sizeof header));
    out.Append(head.View());

    CrcTracker crc(file);
    ExportTimeline line(entries, count, kFitClock, extras);
    SegmentWalker walker(doc);
    uint64_t previousTime = 0;
    for (uint32_t i = 0; i < count && line.Next(); ++i) {
        const ExportEntry& e = entries[i];
        record[0].value = static_cast<uint64_t>(line.time());
        if (walker.Next(e.index) && breaks > 0) {
            timerEvent[0].value = previousTime;
            timerEvent[2].value = kEventTypeStopAll;
            AppendData(out, 6, timerEvent);
            timerEvent[0].value = record[0].value;
            timerEvent[2].value = kEventTypeStart;
            AppendData(out, 6, timerEvent);
        }
        previousTime = record[0].value;
        record[1].value = Semicircles(e.point->latitude);
        record[2].value = Semicircles(e.point->longitude);
        record[3].value = Scaled(line.metres() * 100, 4294967295.0);
        // A value the point lacks stays the field's invalid value.
        record[4].value = PointLacks(extras, e.index, kFieldAltitude)
                              ? 0xFFFFFFFFu
                              : Scaled((static_cast<double>(e.altitude) + 500) * 5, 4294967295.0);
        record[5].value = PointLacks(extras, e.index, kFieldSpeed)
                              ? 0xFFFFFFFFu
                              : Scaled(static_cast<double>(e.point->speed) / 3.6 * 1000, 4294967295.0);
        for (std::size_t s = 0; s < sensorCount; ++s)
            record[6 + s].value =
                SensorFieldValue(*sensorFields[s], sensors->Value(sensorFields[s]->sensor, e.index));
        AppendData(out, 2, recordFields);
        crc.Flush();
    }
    out.Append(tail.View());
    const uint16_t fileCrc = crc.crc();
    out.Append(static_cast<char>(fileCrc & 0xFF));
    out.Append(static_cast<char>(fileCrc >> 8));
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
