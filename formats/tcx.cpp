#include "formats/tcx.h"

#include <cmath>
#include <memory>
#include <vector>

#include "core/clock.h"
#include "core/output_file.h"
#include "core/paths.h"
#include "core/text_format.h"
#include "core/track_geometry.h"
#include "core/xml_text.h"
#include "formats/text_fields.h"
#include "formats/track_time.h"
#include "formats/xml_track.h"

namespace ferolin {

namespace {

// ---------------------------------------------------------------- reading

// The value elements of a trackpoint.
enum TcxField : uint8_t {
    kNoField,
    kTime,
    kLatitude,
    kLongitude,
    kAltitude,
    kHeartRate,  // HeartRateBpm/Value
    kCadence,
    kSpeed,       // TPX/Speed, m/s
    kWatts,       // TPX/Watts
    kRunCadence,  // TPX/RunCadence
};

TcxField FieldOf(std::string_view name, bool inHeartRate) {
    switch (name.size()) {
        case 4:
            if (name == "Time") return kTime;
            break;
        case 5:
            if (name == "Value") return inHeartRate ? kHeartRate : kNoField;
            if (name == "Speed") return kSpeed;
            if (name == "Watts") return kWatts;
            break;
        case 7:
            if (name == "Cadence") return kCadence;
            break;
        case 10:
            if (name == "RunCadence") return kRunCadence;
            break;
        case 14:
            if (name == "AltitudeMeters") return kAltitude;
            break;
        case 15:
            if (name == "LatitudeDegrees") return kLatitude;
            break;
        case 16:
            if (name == "LongitudeDegrees") return kLongitude;
            break;
    }
    return kNoField;
}

// A decimal number, the whole text (blanks around it allowed).
bool NumberOf(std::string_view text, double& value) {
    const char* p = text.data();
    const char* end = p + text.size();
    if (!scan::Real(p, end, value)) return false;
    scan::SkipSpace(p, end);
    return p == end;
}

// The fields a trackpoint carries only when its file gives them; the others
// (course, satellites, dilutions of precision) it never has.
constexpr uint8_t kTcxAbsent = kFieldAltitude | kFieldTime | kQualityFields;

// The texts of the course elements beside the trackpoints.
enum class CourseText : uint8_t {
    kNone,
    kCourseName,
    kPointName,
    kPointTime,
    kPointLatitude,
    kPointLongitude,
    kPointAltitude,
    kPointType,
    kPointNotes,
    kLapLatitude,  // a course lap's BeginPosition
    kLapLongitude,
};

CourseText CoursePointText(std::string_view name) {
    if (name == "Name") return CourseText::kPointName;
    if (name == "Time") return CourseText::kPointTime;
    if (name == "LatitudeDegrees") return CourseText::kPointLatitude;
    if (name == "LongitudeDegrees") return CourseText::kPointLongitude;
    if (name == "AltitudeMeters") return CourseText::kPointAltitude;
    if (name == "PointType") return CourseText::kPointType;
    if (name == "Notes") return CourseText::kPointNotes;
    return CourseText::kNone;
}

// A text without the blanks around it.
std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// Gathers one trackpoint at a time and keeps it only when it had a real
// position: a trackpoint without one (indoors, or a pause) is no track point,
// and is counted as left out. Beside the points: every activity and course is
// a track (a course named by its Name), every Track element a segment, every
// Lap a lap from the next point kept on, and a course's CoursePoints are
// waypoints.
class TcxHandler : public TrackSaxHandler {
public:
    void StartElement(std::string_view name, const XmlAttributes& attributes) override {
        ++depth_;
        if (inPoint_) {
            if (name == "HeartRateBpm") inHeartRate_ = true;
            field_ = FieldOf(name, inHeartRate_);
            return;
        }
        if (name == "Trackpoint") {
            inPoint_ = true;
            inHeartRate_ = false;
            point_ = TrackPoint{};
            hasLatitude_ = hasLongitude_ = false;
            present_ = 0;
            timeRefused_ = false;
            for (float& v : sensors_) v = kNoSensorValue;
            runCadence_ = kNoSensorValue;
            field_ = kNoField;
            return;
        }
        TrackDocument* doc = Document();
        if (inCoursePoint_) {
            text_ = CoursePointText(name);
        } else if (name == "Track") {
            // An activity's lap holds its own tracks, so that a new lap
            // begins a track element while the timer runs on: its first
            // track continues the segment the lap before it ended with; a
            // further track in a lap follows a pause.
            if (lapTrack_) lapTrack_ = false;
            else if (doc) doc->BeginSegment(Index());
        } else if (name == "Activity" || name == "Course") {
            if (doc) doc->BeginTrack(Index());
            lapTrack_ = false;
            inCourse_ = name == "Course";
            courseDepth_ = depth_;
            courseLaps_.clear();
            lapsPlaced_ = 0;
        } else if (name == "Lap") {
            if (inCourse_) {
                // A course's laps come before its tracks: each begins at the
                // point that stands at its BeginPosition.
                inCourseLap_ = true;
                courseLaps_.push_back({std::nan(""), std::nan("")});
            } else {
                double start = std::nan("");
                for (std::size_t i = 0; i < attributes.Count(); ++i) {
                    TrackPoint t{};
                    if (attributes.LocalName(i) == "StartTime" && ParseIsoTime(attributes.Value(i), t))
                        start = PointSeconds(t);
                }
                AddLap(start);
                lapTrack_ = true;
            }
        } else if (name == "CoursePoint" && inCourse_) {
            inCoursePoint_ = true;
            waypoint_ = Waypoint{};
            waypoint_.absent = kFieldAltitude | kFieldTime;
            hasLatitude_ = hasLongitude_ = false;
        } else if (inCourseLap_ && name == "BeginPosition") {
            inBeginPosition_ = true;
        } else if (inBeginPosition_) {
            text_ = name == "LatitudeDegrees"    ? CourseText::kLapLatitude
                    : name == "LongitudeDegrees" ? CourseText::kLapLongitude
                                                 : CourseText::kNone;
        } else if (inCourse_ && depth_ == courseDepth_ + 1 && name == "Name") {
            text_ = CourseText::kCourseName;
        }
    }

    void EndElement(std::string_view name) override {
        --depth_;
        field_ = kNoField;
        text_ = CourseText::kNone;
        if (inPoint_) {
            if (name == "HeartRateBpm") {
                inHeartRate_ = false;
            } else if (name == "Trackpoint") {
                inPoint_ = false;
                if (hasLatitude_ && hasLongitude_ && IsRealPosition(point_.latitude, point_.longitude))
                    Keep();
                else
                    CurrentReadReport().Count(LeftOut::kNoPosition);
            }
            return;
        }
        if (name == "CoursePoint" && inCoursePoint_) {
            inCoursePoint_ = false;
            TrackDocument* doc = Document();
            if (!hasLatitude_ || !hasLongitude_ ||
                !IsRealPosition(waypoint_.point.latitude, waypoint_.point.longitude))
                CurrentReadReport().Count(LeftOut::kNoPosition);
            else if (doc)
                doc->waypoints.push_back(std::move(waypoint_));
        } else if (name == "BeginPosition") {
            inBeginPosition_ = false;
        } else if (name == "Lap") {
            inCourseLap_ = false;
        } else if (name == "Course" || name == "Activity") {
            inCourse_ = false;
            courseLaps_.clear();
        }
    }

    bool WantsText() const override { return field_ != kNoField || text_ != CourseText::kNone; }

    void Characters(std::string_view text) override {
        if (text_ != CourseText::kNone) {
            CourseCharacters(text);
            return;
        }
        if (field_ == kTime) {
            // A time that gives no date that exists leaves the point undated;
            // blanks alone are no time.
            const char* p = text.data();
            const char* const end = p + text.size();
            scan::SkipSpace(p, end);
            if (ParseIsoTime(text, point_)) present_ |= kFieldTime;
            else if (p != end) timeRefused_ = true;
            return;
        }
        double v;
        if (!NumberOf(text, v)) return;
        switch (field_) {
            case kLatitude:
                point_.latitude = v;
                hasLatitude_ = true;
                break;
            case kLongitude:
                point_.longitude = v;
                hasLongitude_ = true;
                break;
            case kAltitude:
                point_.altitude = ToFloat(v);
                present_ |= kFieldAltitude;
                break;
            case kSpeed:
                point_.speed = ToFloat(v * 3.6);  // m/s to km/h
                present_ |= kFieldSpeed;
                break;
            case kHeartRate: sensors_[static_cast<int>(Sensor::kHeartRate)] = ToFloat(v); break;
            case kCadence: sensors_[static_cast<int>(Sensor::kCadence)] = ToFloat(v); break;
            case kWatts: sensors_[static_cast<int>(Sensor::kPower)] = ToFloat(v); break;
            case kRunCadence: runCadence_ = ToFloat(v); break;
            default: break;
        }
    }

private:
    struct Place {
        double latitude, longitude;
    };

    void CourseCharacters(std::string_view text) {
        double v;
        switch (text_) {
            case CourseText::kCourseName:
                if (TrackDocument* doc = Document()) doc->NameTrack(std::string(Trimmed(text)));
                break;
            case CourseText::kPointName: waypoint_.name = Trimmed(text); break;
            case CourseText::kPointType: waypoint_.symbol = Trimmed(text); break;
            case CourseText::kPointNotes: waypoint_.description = Trimmed(text); break;
            case CourseText::kPointTime:
                if (ParseIsoTime(text, waypoint_.point)) waypoint_.absent &= static_cast<uint8_t>(~kFieldTime);
                break;
            case CourseText::kPointLatitude:
                if ((hasLatitude_ = NumberOf(text, v))) waypoint_.point.latitude = v;
                break;
            case CourseText::kPointLongitude:
                if ((hasLongitude_ = NumberOf(text, v))) waypoint_.point.longitude = v;
                break;
            case CourseText::kPointAltitude:
                if (NumberOf(text, v)) {
                    waypoint_.point.altitude = ToFloat(v);
                    waypoint_.absent &= static_cast<uint8_t>(~kFieldAltitude);
                }
                break;
            case CourseText::kLapLatitude:
                if (!courseLaps_.empty() && NumberOf(text, v)) courseLaps_.back().latitude = v;
                break;
            case CourseText::kLapLongitude:
                if (!courseLaps_.empty() && NumberOf(text, v)) courseLaps_.back().longitude = v;
                break;
            case CourseText::kNone: break;
        }
    }

    // A lap from the next point kept on; a lap that got no point before this
    // one starts is none.
    void AddLap(double start) {
        TrackDocument* doc = Document();
        if (!doc) return;
        if (!doc->laps.empty() && doc->laps.back().firstPoint == Index()) doc->laps.pop_back();
        doc->laps.push_back({Index(), start});
    }

    void Keep() {
        TrackPoint* slot = Slot();
        if (!slot) return;
        *slot = point_;
        slot->record = static_cast<int32_t>(Index() + 1);
        // A course's first lap begins at its first point, the others at the
        // first point after it that stands at their BeginPosition.
        if (lapsPlaced_ < courseLaps_.size()) {
            const Place& at = courseLaps_[lapsPlaced_];
            if (lapsPlaced_ == 0 || (std::fabs(at.latitude - point_.latitude) < 5e-8 &&
                                     std::fabs(at.longitude - point_.longitude) < 5e-8)) {
                AddLap(std::nan(""));
                ++lapsPlaced_;
            }
        }
        // A runner's cadence stands in for the bike's when there is none.
        float& cadence = sensors_[static_cast<int>(Sensor::kCadence)];
        if (!IsSensorValue(cadence)) cadence = runCadence_;
        for (int i = 0; i < kSensorCount; ++i)
            if (IsSensorValue(sensors_[i])) SetSensor(static_cast<Sensor>(i), sensors_[i]);
        if (timeRefused_ && !(present_ & kFieldTime)) CurrentReadReport().Count(LeftOut::kNoDate);
        const uint8_t absent = kTcxAbsent & static_cast<uint8_t>(~present_);
        if (absent) MarkAbsent(absent);
        NextRecord();
    }

    TrackPoint point_{};
    float sensors_[kSensorCount] = {};
    float runCadence_ = kNoSensorValue;
    bool inPoint_ = false, inHeartRate_ = false;
    bool hasLatitude_ = false, hasLongitude_ = false;
    bool timeRefused_ = false;  // a time text that gives no date that exists
    uint8_t present_ = 0;       // PointField bits of the values the point has
    TcxField field_ = kNoField;
    // The course elements.
    CourseText text_ = CourseText::kNone;
    bool inCourse_ = false, inCourseLap_ = false, inBeginPosition_ = false, inCoursePoint_ = false;
    bool lapTrack_ = false;  // the next track is the first of an activity's lap
    int depth_ = 0, courseDepth_ = 0;
    std::vector<Place> courseLaps_;  // the BeginPositions of the course's laps
    std::size_t lapsPlaced_ = 0;
    Waypoint waypoint_;
};

// ---------------------------------------------------------------- writing

// A name as the schema's token types take it: blanks collapsed, escaped for
// XML, cut to `characters` characters; `fallback` when nothing is left.
void AppendToken(TextBuffer& out, std::string_view title, int characters, std::string_view fallback) {
    std::string collapsed;
    for (char c : title) {
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (blank && (collapsed.empty() || collapsed.back() == ' ')) continue;
        collapsed += blank ? ' ' : c;
    }
    if (!collapsed.empty() && collapsed.back() == ' ') collapsed.pop_back();
    std::string text;
    AppendXmlText(text, collapsed);
    if (text.empty()) AppendXmlText(text, fallback);
    // Count characters: a UTF-8 lead byte or an entity reference is one.
    std::size_t end = 0;
    for (int n = 0; end < text.size() && n < characters; ++n) {
        if (text[end] == '&') {
            end = text.find(';', end) + 1;
            continue;
        }
        ++end;
        while (end < text.size() && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80) ++end;
    }
    // A cut may leave a blank at the end, which the token type would drop.
    std::string_view name(text.data(), end);
    while (name.size() > 1 && name.back() == ' ') name.remove_suffix(1);
    out.Append(name);
}

// The course's name: the track's own or the title, cut to the 15 characters
// the schema allows; "Track" when nothing is left.
void AppendCourseName(TextBuffer& out, const std::string& title) { AppendToken(out, title, 15, "Track"); }

// Latitude and longitude as the schema's ranges take them (longitude below
// 180, so 180 itself is written as -180); false when they cannot be.
bool TcxPosition(const TrackPoint& p, double& latitude, double& longitude) {
    latitude = p.latitude;
    longitude = p.longitude;
    if (!(latitude >= -90 && latitude <= 90 && longitude >= -180 && longitude <= 180)) return false;
    // Seven decimals would round these to 180.0000000.
    if (longitude >= 179.99999994) longitude = -180;
    return true;
}

void AppendPosition(TextBuffer& out, const char* indent, const char* name, const TrackPoint& p) {
    double latitude, longitude;
    if (!TcxPosition(p, latitude, longitude)) return;
    out.Append(indent);
    out.Append('<');
    out.Append(name);
    out.Append("><LatitudeDegrees>");
    AppendFixed(out, latitude, 7);
    out.Append("</LatitudeDegrees><LongitudeDegrees>");
    AppendFixed(out, longitude, 7);
    out.Append("</LongitudeDegrees></");
    out.Append(name);
    out.Append(">\r\n");
}

void AppendDoubleElement(TextBuffer& out, const char* indent, const char* name, double value,
                         int precision) {
    if (!std::isfinite(value)) return;
    out.Append(indent);
    out.Append('<');
    out.Append(name);
    out.Append('>');
    AppendFixed(out, value, precision);
    out.Append("</");
    out.Append(name);
    out.Append(">\r\n");
}

// A sensor value as a whole number within the schema's range.
int64_t Whole(float value, double low, double high) {
    const double v = std::round(static_cast<double>(value));
    return static_cast<int64_t>(v < low ? low : v > high ? high : v);
}

void AppendTrackpoint(TextBuffer& out, const ExportEntry& e, int64_t time, double distance,
                      const SensorChannels* sensors) {
    const TrackPoint& p = *e.point;
    out.Append("          <Trackpoint>\r\n            <Time>");
    AppendIsoTime(out, time);
    out.Append("</Time>\r\n");
    AppendPosition(out, "            ", "Position", p);
    if (!PointLacks(sensors, e.index, kFieldAltitude))
        AppendDoubleElement(out, "            ", "AltitudeMeters", e.altitude, 3);
    AppendDoubleElement(out, "            ", "DistanceMeters", distance, 2);
    if (sensors) {
        const float heartRate = sensors->Value(Sensor::kHeartRate, e.index);
        if (IsSensorValue(heartRate) && heartRate >= 0.5f) {
            out.Append("            <HeartRateBpm><Value>");
            AppendInt(out, Whole(heartRate, 1, 255));
            out.Append("</Value></HeartRateBpm>\r\n");
        }
        const float cadence = sensors->Value(Sensor::kCadence, e.index);
        if (IsSensorValue(cadence)) {
            out.Append("            <Cadence>");
            AppendInt(out, Whole(cadence, 0, 254));
            out.Append("</Cadence>\r\n");
        }
    }
    const double speed = static_cast<double>(p.speed) / 3.6;  // km/h to m/s
    const bool hasSpeed = speed > 0 && std::isfinite(speed);
    const float power = sensors ? sensors->Value(Sensor::kPower, e.index) : kNoSensorValue;
    if (!hasSpeed && !IsSensorValue(power)) {
        out.Append("          </Trackpoint>\r\n");
        return;
    }
    out.Append("            <Extensions>\r\n              <ns3:TPX>\r\n");
    if (hasSpeed) AppendDoubleElement(out, "                ", "ns3:Speed", speed, 3);
    if (IsSensorValue(power)) {
        out.Append("                <ns3:Watts>");
        AppendInt(out, Whole(power, 0, 65535));
        out.Append("</ns3:Watts>\r\n");
    }
    out.Append("              </ns3:TPX>\r\n            </Extensions>\r\n          </Trackpoint>\r\n");
}

// A lap as the writer writes it: its entries [first, end), the track of the
// document it lies in and whether it begins that track, its start time (the
// lap's own when it lies no later than its first point), the seconds its
// points span without the gaps between segments, and the distance along the
// export at both ends.
struct TcxLap {
    uint32_t first = 0, end = 0, track = 0;
    bool newTrack = false;
    int64_t startTime = 0, firstTime = 0, lastTime = 0, gaps = 0;
    double seconds = 0, startMetres = 0, endMetres = 0;
};

// The laps of the export: one over every entry for a document without laps;
// else one from each lap's first point on, and one of their own for the
// points before the first lap. A new track of the document begins a lap too.
std::vector<TcxLap> TcxLaps(const ExportEntry* entries, uint32_t count, const TrackDocument* doc,
                            const SensorChannels* sensors) {
    std::vector<TcxLap> laps;
    const std::vector<Lap>* own = doc && !doc->laps.empty() ? &doc->laps : nullptr;
    std::size_t next = 0;
    ExportTimeline line(entries, count, kMillisecondClock, sensors);
    SegmentWalker walker(doc);
    for (uint32_t i = 0; i < count && line.Next(); ++i) {
        const int64_t time = line.time();
        const bool newSegment = walker.Next(entries[i].index);
        const bool newTrack = i == 0 || walker.NewTrack();
        double start = std::nan("");
        bool newLap = newTrack;
        while (own && next < own->size() && (*own)[next].firstPoint <= entries[i].index) {
            start = (*own)[next++].startTime;
            newLap = true;
        }
        if (newLap) {
            TcxLap l;
            l.first = i;
            l.track = walker.Track();
            l.newTrack = newTrack;
            l.startTime = l.firstTime = time;
            const double ms = std::round(start * 1000);
            if (ms >= 0 && ms <= static_cast<double>(time)) l.startTime = static_cast<int64_t>(ms);
            l.startMetres = line.metres();
            laps.push_back(l);
        } else if (newSegment && time > laps.back().lastTime) {
            laps.back().gaps += time - laps.back().lastTime;
        }
        TcxLap& l = laps.back();
        l.end = i + 1;
        l.lastTime = time;
        l.endMetres = line.metres();
    }
    for (TcxLap& l : laps)
        l.seconds = l.lastTime > l.firstTime ? static_cast<double>(l.lastTime - l.firstTime - l.gaps) / 1000 : 0;
    return laps;
}

// A course's lap: its totals, where it begins and ends.
void AppendCourseLap(TextBuffer& out, const TcxLap& lap, const ExportEntry* entries,
                     const SensorChannels* sensors) {
    const ExportEntry& first = entries[lap.first];
    const ExportEntry& last = entries[lap.end - 1];
    out.Append("      <Lap>\r\n");
    AppendDoubleElement(out, "        ", "TotalTimeSeconds", lap.seconds, 3);
    AppendDoubleElement(out, "        ", "DistanceMeters", lap.endMetres - lap.startMetres, 2);
    AppendPosition(out, "        ", "BeginPosition", *first.point);
    if (!PointLacks(sensors, first.index, kFieldAltitude))
        AppendDoubleElement(out, "        ", "BeginAltitudeMeters", first.altitude, 3);
    AppendPosition(out, "        ", "EndPosition", *last.point);
    if (!PointLacks(sensors, last.index, kFieldAltitude))
        AppendDoubleElement(out, "        ", "EndAltitudeMeters", last.altitude, 3);
    out.Append("        <Intensity>Active</Intensity>\r\n      </Lap>\r\n");
}

// The point of the course nearest to a course point, and its time: the
// distance -1 for a course point with a time of its own.
struct NearestPoint {
    double distance;
    int64_t time;
    void Offer(const TrackPoint& place, const TrackPoint& p, int64_t at) {
        const double dy = p.latitude - place.latitude;
        const double dx = (p.longitude - place.longitude) * std::cos(place.latitude * (3.141592653589793 / 180));
        const double d = dx * dx + dy * dy;
        if (d < distance) {
            distance = d;
            time = at;
        }
    }
};

// The course point types of the schema, and the names the FIT profile gives
// the same types, in the same order.
constexpr const char* kPointTypes[][2] = {
    {"Generic", "generic"},           {"Summit", "summit"},
    {"Valley", "valley"},             {"Water", "water"},
    {"Food", "food"},                 {"Danger", "danger"},
    {"Left", "left"},                 {"Right", "right"},
    {"Straight", "straight"},         {"First Aid", "first_aid"},
    {"4th Category", "fourth_category"}, {"3rd Category", "third_category"},
    {"2nd Category", "second_category"}, {"1st Category", "first_category"},
    {"Hors Category", "hors_category"},  {"Sprint", "sprint"},
};

// The schema's type of a symbol; Generic for a symbol it has no type for.
const char* PointTypeOf(std::string_view symbol) {
    for (const auto& names : kPointTypes)
        if (XmlNameIs(symbol, names[0]) || XmlNameIs(symbol, names[1])) return names[0];
    return kPointTypes[0][0];
}

// A course point in the schema's order: name (10 characters at most, the
// type's name for a point without one), time, position, altitude, type,
// notes.
void AppendCoursePoint(TextBuffer& out, const Waypoint& w, int64_t time) {
    double latitude, longitude;
    if (!TcxPosition(w.point, latitude, longitude)) return;
    const char* type = PointTypeOf(w.symbol);
    out.Append("      <CoursePoint>\r\n        <Name>");
    AppendToken(out, w.name, 10, type);
    out.Append("</Name>\r\n        <Time>");
    AppendIsoTime(out, (w.absent & kFieldTime) ? time : static_cast<int64_t>(std::llround(PointSeconds(w.point) * 1000)));
    out.Append("</Time>\r\n");
    AppendPosition(out, "        ", "Position", w.point);
    if (!(w.absent & kFieldAltitude)) AppendDoubleElement(out, "        ", "AltitudeMeters", w.point.altitude, 3);
    out.Append("        <PointType>");
    out.Append(type);
    out.Append("</PointType>\r\n");
    if (!w.description.empty()) {
        std::string notes;
        AppendXmlText(notes, w.description);
        out.Append("        <Notes>");
        out.Append(notes);
        out.Append("</Notes>\r\n");
    }
    out.Append("      </CoursePoint>\r\n");
}

}  // namespace

namespace {
std::unique_ptr<TrackSaxHandler> MakeTcxHandler() { return std::make_unique<TcxHandler>(); }
}  // namespace

ReadStatus ReadTcxFile(const std::string& path, TrackPointArray& points, uint32_t& count,
                       SensorChannels* sensors) {
    return ReadXmlTrack(path, MakeTcxHandler, points, count, sensors);
}

int WriteTcxFile(const std::string& path, const ExportEntry* entries, uint32_t count,
                 uint32_t /*options*/, const SensorChannels* sensors) {
    const TrackDocument* const doc = sensors ? &sensors->document : nullptr;
    // Course points make a course, the only element that holds them.
    const bool coursePoints = doc && !doc->waypoints.empty();
    if (count == 0 && !coursePoints) return 1;

    // Totals first: a lap comes before its track.
    const std::vector<TcxLap> laps = TcxLaps(entries, count, doc, sensors);
    const bool activity = !coursePoints && ExportTimeline(entries, count, kMillisecondClock, sensors).Dated();

    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();
    out.Append(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<TrainingCenterDatabase"
        " xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\""
        " xmlns:ns3=\"http://www.garmin.com/xmlschemas/ActivityExtension/v2\""
        " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
        " xsi:schemaLocation=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2"
        " http://www.garmin.com/xmlschemas/TrainingCenterDatabasev2.xsd"
        " http://www.garmin.com/xmlschemas/ActivityExtension/v2"
        " http://www.garmin.com/xmlschemas/ActivityExtensionv2.xsd\">\r\n");
    out.Append(activity ? "  <Activities>\r\n" : "  <Courses>\r\n");

    // The course points without a time of their own take the time of the
    // point of the course nearest to them.
    std::vector<NearestPoint> nearest;
    if (coursePoints)
        for (const Waypoint& w : doc->waypoints)
            nearest.push_back({(w.absent & kFieldTime) ? HUGE_VAL : -1.0, CurrentUtcTime() * 1000});

    ExportTimeline line(entries, count, kMillisecondClock, sensors);
    SegmentWalker walker(doc);
    double trackMetres = 0;  // the distance along the export where the track begins
    std::size_t k = 0;       // the next lap
    uint32_t i = 0;
    do {
        // One activity or course a track of the document.
        const std::size_t firstLap = k;
        std::size_t endLap = k + 1;
        while (endLap < laps.size() && !laps[endLap].newTrack) ++endLap;
        if (activity) {
            out.Append("    <Activity Sport=\"Other\">\r\n      <Id>");
            AppendIsoTime(out, laps[k].startTime);
            out.Append("</Id>\r\n");
        } else {
            const std::string& own = doc && count > 0 ? doc->TrackName(laps[k].track) : std::string();
            out.Append("    <Course>\r\n      <Name>");
            AppendCourseName(out, own.empty() ? FileTitle(path) : own);
            out.Append("</Name>\r\n");
            for (std::size_t c = firstLap; c < endLap && c < laps.size(); ++c) AppendCourseLap(out, laps[c], entries, sensors);
        }
        for (; k < endLap && k < laps.size(); ++k) {
            const TcxLap& lap = laps[k];
            if (activity) {
                out.Append("      <Lap StartTime=\"");
                AppendIsoTime(out, lap.startTime);
                out.Append("\">\r\n");
                AppendDoubleElement(out, "        ", "TotalTimeSeconds", lap.seconds, 3);
                AppendDoubleElement(out, "        ", "DistanceMeters", lap.endMetres - lap.startMetres, 2);
                out.Append(
                    "        <Calories>0</Calories>\r\n"
                    "        <Intensity>Active</Intensity>\r\n"
                    "        <TriggerMethod>Manual</TriggerMethod>\r\n");
            }
            if (activity || k == firstLap) out.Append("        <Track>\r\n");
            for (; i < lap.end && line.Next(); ++i) {
                const ExportEntry& e = entries[i];
                if (i == lap.first && k == firstLap) trackMetres = line.metres();
                // A segment begun within the lap (a course's laps share its tracks).
                if (walker.Next(e.index) && !(activity && i == lap.first) && !walker.NewTrack())
                    out.Append("        </Track>\r\n        <Track>\r\n");
                AppendTrackpoint(out, e, line.time(), line.metres() - trackMetres, sensors);
                for (std::size_t w = 0; w < nearest.size(); ++w)
                    if (nearest[w].distance >= 0) nearest[w].Offer(doc->waypoints[w].point, *e.point, line.time());
                file.Flush();
            }
            if (activity) out.Append("        </Track>\r\n      </Lap>\r\n");
        }
        if (activity) {
            out.Append("    </Activity>\r\n");
            continue;
        }
        if (count > 0) out.Append("        </Track>\r\n");
        if (firstLap == 0 && coursePoints)
            for (std::size_t w = 0; w < nearest.size(); ++w) AppendCoursePoint(out, doc->waypoints[w], nearest[w].time);
        out.Append("    </Course>\r\n");
    } while (k < laps.size());
    out.Append(activity ? "  </Activities>\r\n" : "  </Courses>\r\n");
    out.Append("</TrainingCenterDatabase>\r\n");
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
