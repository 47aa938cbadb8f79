#include "formats/tcx.h"

#include <cmath>
#include <memory>

#include "core/output_file.h"
#include "core/paths.h"
#include "core/text_format.h"
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

// Gathers one trackpoint at a time and keeps it only when it had a real
// position: a trackpoint without one (indoors, or a pause) is no track point,
// and is counted as left out.
class TcxHandler : public TrackSaxHandler {
public:
    void StartElement(std::string_view name, const XmlAttributes&) override {
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
        if (!inPoint_) return;
        if (name == "HeartRateBpm") inHeartRate_ = true;
        field_ = FieldOf(name, inHeartRate_);
    }

    void EndElement(std::string_view name) override {
        field_ = kNoField;
        if (!inPoint_) return;
        if (name == "HeartRateBpm") {
            inHeartRate_ = false;
        } else if (name == "Trackpoint") {
            inPoint_ = false;
            if (hasLatitude_ && hasLongitude_ && IsRealPosition(point_.latitude, point_.longitude))
                Keep();
            else
                CurrentReadReport().Count(LeftOut::kNoPosition);
        }
    }

    bool WantsText() const override { return field_ != kNoField; }

    void Characters(std::string_view text) override {
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
    void Keep() {
        TrackPoint* slot = Slot();
        if (!slot) return;
        *slot = point_;
        slot->record = static_cast<int32_t>(Index() + 1);
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
};

// ---------------------------------------------------------------- writing

// The course's name: the title with its blanks collapsed, escaped for XML,
// cut to the 15 characters the schema allows; "Track" when nothing is left.
void AppendCourseName(TextBuffer& out, const std::string& title) {
    std::string collapsed;
    for (char c : title) {
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (blank && (collapsed.empty() || collapsed.back() == ' ')) continue;
        collapsed += blank ? ' ' : c;
    }
    if (!collapsed.empty() && collapsed.back() == ' ') collapsed.pop_back();
    std::string text;
    AppendXmlText(text, collapsed);
    if (text.empty()) text = "Track";
    // Count characters: a UTF-8 lead byte or an entity reference is one.
    std::size_t end = 0;
    for (int characters = 0; end < text.size() && characters < 15; ++characters) {
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
    if (count == 0) return 1;

    // Totals first: the lap comes before its track.
    ExportTimeline line(entries, count, kMillisecondClock, sensors);
    const bool activity = line.Dated();
    line.Next();
    const int64_t firstTime = line.time();
    while (line.Next()) {}
    const int64_t lastTime = line.time();
    const double totalDistance = line.metres();
    line.Reset();

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
    const double seconds = lastTime > firstTime ? static_cast<double>(lastTime - firstTime) / 1000 : 0;
    if (activity) {
        out.Append("  <Activities>\r\n    <Activity Sport=\"Other\">\r\n      <Id>");
        AppendIsoTime(out, firstTime);
        out.Append("</Id>\r\n      <Lap StartTime=\"");
        AppendIsoTime(out, firstTime);
        out.Append("\">\r\n");
        AppendDoubleElement(out, "        ", "TotalTimeSeconds", seconds, 3);
        AppendDoubleElement(out, "        ", "DistanceMeters", totalDistance, 2);
        out.Append(
            "        <Calories>0</Calories>\r\n"
            "        <Intensity>Active</Intensity>\r\n"
            "        <TriggerMethod>Manual</TriggerMethod>\r\n");
    } else {
        out.Append("  <Courses>\r\n    <Course>\r\n      <Name>");
        AppendCourseName(out, FileTitle(path));
        out.Append("</Name>\r\n      <Lap>\r\n");
        AppendDoubleElement(out, "        ", "TotalTimeSeconds", seconds, 3);
        AppendDoubleElement(out, "        ", "DistanceMeters", totalDistance, 2);
        AppendPosition(out, "        ", "BeginPosition", *entries[0].point);
        if (!PointLacks(sensors, entries[0].index, kFieldAltitude))
            AppendDoubleElement(out, "        ", "BeginAltitudeMeters", entries[0].altitude, 3);
        AppendPosition(out, "        ", "EndPosition", *entries[count - 1].point);
        if (!PointLacks(sensors, entries[count - 1].index, kFieldAltitude))
            AppendDoubleElement(out, "        ", "EndAltitudeMeters", entries[count - 1].altitude, 3);
        out.Append("        <Intensity>Active</Intensity>\r\n      </Lap>\r\n");
    }
    out.Append("        <Track>\r\n");
    for (uint32_t i = 0; i < count && line.Next(); ++i) {
        AppendTrackpoint(out, entries[i], line.time(), line.metres(), sensors);
        file.Flush();
    }
    out.Append("        </Track>\r\n");
    if (activity)
        out.Append("      </Lap>\r\n    </Activity>\r\n  </Activities>\r\n");
    else
        out.Append("    </Course>\r\n  </Courses>\r\n");
    out.Append("</TrainingCenterDatabase>\r\n");
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
