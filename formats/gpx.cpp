#include "formats/gpx.h"

#include <cmath>

#include "core/clock.h"
#include "core/output_file.h"
#include "core/paths.h"
#include "core/text_format.h"
#include "core/version.h"
#include "core/xml_text.h"
#include "formats/text_fields.h"
#include "formats/text_table.h"
#include "formats/track_time.h"

namespace ferolin {

namespace {

// Handler states: outside a track point, inside one, inside one of its values.
enum GpxState {
    kOutside = 0,
    kInPoint = 1,
    kInEle = 2,
    kInTime = 3,
    kInSat = 4,
    kInHdop = 5,
    kInPdop = 6,
    kInVdop = 7,
    kInSpeed = 8,
    kInCourse = 9,
    // Garmin's track point and power extensions, and Strava's bare <power>.
    kInHeartRate = 10,
    kInCadence = 11,
    kInTemperature = 12,
    kInPower = 13,
};

// The value state of an element name; kOutside for names that are no value.
int ValueState(std::string_view name) {
    switch (name.size()) {
        case 3:
            if (XmlNameIs(name, "ele")) return kInEle;
            if (XmlNameIs(name, "sat")) return kInSat;
            break;
        case 4:
            if (XmlNameIs(name, "time")) return kInTime;
            if (XmlNameIs(name, "hdop")) return kInHdop;
            if (XmlNameIs(name, "pdop")) return kInPdop;
            if (XmlNameIs(name, "vdop")) return kInVdop;
            break;
        case 5:
            if (XmlNameIs(name, "speed")) return kInSpeed;
            break;
        case 6:
            if (XmlNameIs(name, "course")) return kInCourse;
            break;
    }
    return kOutside;
}

// The value state of an element of the sensor extensions: `hr`, `cad` and
// `atemp` of TrackPointExtension (v1 and v2), `PowerInWatts` and `power`.
int SensorState(std::string_view name) {
    switch (name.size()) {
        case 2:
            if (XmlNameIs(name, "hr")) return kInHeartRate;
            break;
        case 3:
            if (XmlNameIs(name, "cad")) return kInCadence;
            break;
        case 5:
            if (XmlNameIs(name, "atemp")) return kInTemperature;
            if (XmlNameIs(name, "power")) return kInPower;
            break;
        case 12:
            if (XmlNameIs(name, "PowerInWatts")) return kInPower;
            break;
    }
    return kOutside;
}

constexpr Sensor kSensorOfState[] = {Sensor::kHeartRate, Sensor::kCadence, Sensor::kTemperature,
                                     Sensor::kPower};

inline int8_t LowByte(int value) { return static_cast<int8_t>(static_cast<uint8_t>(value & 0xFF)); }

// A value text that begins with a decimal number (blanks before it allowed):
// what the file says, read as far as it is a number; false for a text that
// holds none ("nan", "inf", "n/a", nothing), which leaves the value absent.
bool RealOf(std::string_view text, double& value) {
    const char* p = text.data();
    return scan::Real(p, text.data() + text.size(), value);
}

// The PointField bit of a value state; 0 for the states that fill none.
uint8_t FieldOfState(int state) {
    switch (state) {
        case kInEle: return kFieldAltitude;
        case kInTime: return kFieldTime;
        case kInSat: return kFieldSatellites;
        case kInHdop: return kFieldHdop;
        case kInPdop: return kFieldPdop;
        case kInVdop: return kFieldVdop;
        case kInSpeed: return kFieldSpeed;
        case kInCourse: return kFieldCourse;
    }
    return 0;
}

// The fields a track point can carry; those it does not are marked absent.
constexpr uint8_t kGpxFields = kFieldAltitude | kFieldTime | kQualityFields;

// The `lat` and `lon` attributes of a point, read as far as they are
// numbers; whether both are there and give a real position.
bool PositionOf(const XmlAttributes& attributes, double& latitude, double& longitude) {
    bool hasLatitude = false, hasLongitude = false;
    const std::size_t n = attributes.Count();
    for (std::size_t i = 0; i < n; ++i) {
        if (attributes.QualifiedNameIs(i, "lat"))
            hasLatitude = RealOf(attributes.Value(i), latitude);
        else if (attributes.QualifiedNameIs(i, "lon"))
            hasLongitude = RealOf(attributes.Value(i), longitude);
    }
    return hasLatitude && hasLongitude && IsRealPosition(latitude, longitude);
}

// What the text being gathered outside the track points fills: a value of
// the waypoint or route point being read, or the name of a track or route.
enum TextTarget : uint8_t {
    kNoText,
    kPlaceEle,
    kPlaceTime,
    kPlaceName,
    kPlaceDescription,
    kPlaceSymbol,
    kTrackName,
    kRouteName,
};

// The text target of a child of `wpt` or `rtept`; kNoText for the children
// that are not kept.
TextTarget PlaceTarget(std::string_view name) {
    if (XmlNameIs(name, "ele")) return kPlaceEle;
    if (XmlNameIs(name, "time")) return kPlaceTime;
    if (XmlNameIs(name, "name")) return kPlaceName;
    if (XmlNameIs(name, "desc")) return kPlaceDescription;
    if (XmlNameIs(name, "sym")) return kPlaceSymbol;
    return kNoText;
}

// A name or description without the blanks and line ends that indent it.
std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

// Whether a text holds more than blanks.
bool HasText(std::string_view text) { return text.find_first_not_of(" \t\r\n") != std::string_view::npos; }

class GpxHandler : public TrackSaxHandler {
public:
    void StartElement(std::string_view name, const XmlAttributes& attributes) override {
        ++depth_;
        if (state_ == kOutside) {
            StartOutside(name, attributes);
            return;
        }
        if (state_ != kInPoint) return;
        if (XmlNameIs(name, "extensions")) {
            ++extensions_;
            return;
        }
        const int value = ValueState(name);
        const int sensor = value == kOutside ? SensorState(name) : kOutside;
        if (value != kOutside) state_ = value;
        else if (sensor != kOutside) state_ = sensor;
    }

    void EndElement(std::string_view name) override {
        const uint32_t depth = depth_;
        if (depth_ > 0) --depth_;
        if (state_ == kOutside) {
            EndOutside(depth);
        } else if (XmlNameIs(name, "trkpt")) {
            EndPoint();
            state_ = kOutside;
        } else if (XmlNameIs(name, "gpx")) {
            state_ = kOutside;
        } else if (state_ >= kInEle && state_ < kInHeartRate && ValueState(name) != kOutside) {
            state_ = kInPoint;
        } else if (state_ >= kInHeartRate && SensorState(name) != kOutside) {
            state_ = kInPoint;
        } else if (state_ == kInPoint && extensions_ > 0 && XmlNameIs(name, "extensions")) {
            --extensions_;
        }
    }

    bool WantsText() const override { return state_ >= kInEle || target_ != kNoText; }

    void Characters(std::string_view text) override {
        if (target_ != kNoText) {
            // Only the element's own text: not that of markup inside it.
            if (depth_ == textDepth_) text_.append(text.data(), text.size());
            return;
        }
        if (state_ < kInEle) return;
        TrackPoint* p = Slot();
        if (!p) return;
        if (state_ == kInTime) {
            if (ParseIsoTime(text, *p)) {
                present_ |= kFieldTime;
            } else {
                // A text of blanks only is no time; any other that gives no
                // date that exists leaves the point undated.
                const char* q = text.data();
                const char* const end = q + text.size();
                scan::SkipSpace(q, end);
                if (q != end) timeRefused_ = true;
            }
            return;
        }
        if (state_ == kInSat) {
            int n;
            const char* q = text.data();
            if (!scan::Int(q, text.data() + text.size(), n)) return;
            p->satellites = LowByte(n);
            present_ |= kFieldSatellites;
            return;
        }
        double v;
        if (!RealOf(text, v)) return;
        present_ |= FieldOfState(state_);
        switch (state_) {
            case kInEle: p->altitude = ToFloat(v); break;
            case kInHdop: p->hdop = ToFloat(v); break;
            case kInPdop: p->pdop = ToFloat(v); break;
            case kInVdop: p->vdop = ToFloat(v); break;
            case kInSpeed: {
                const float speed = ToFloat(v * 3.6);  // m/s to km/h
                if (extensions_ > 0) {
                    // Counts only when the point has no <speed> of its own.
                    extensionSpeed_ = speed;
                } else {
                    p->speed = speed;
                    hasSpeed_ = true;
                }
                break;
            }
            case kInCourse: p->direction = ToFloat(v); break;
            default: SetSensor(kSensorOfState[state_ - kInHeartRate], ToFloat(v));
        }
    }

private:
    // An element outside the track points: a track point, a track, a
    // segment, a route, a waypoint or route point, or one of the values
    // and names they carry. Only the direct `name` child of `trk` and `rte`
    // names them (not the names of the metadata or of their extensions).
    void StartOutside(std::string_view name, const XmlAttributes& attributes) {
        // Markup inside a gathered text is skipped with its own text.
        if (target_ != kNoText) return;
        if (placeDepth_ != 0) {
            if (depth_ == placeDepth_ + 1) BeginText(PlaceTarget(name));
            return;
        }
        if (XmlNameIs(name, "trkpt")) {
            StartPoint(attributes);
            return;
        }
        TrackDocument* document = Document();
        if (XmlNameIs(name, "wpt")) {
            StartPlace(attributes, false);
        } else if (XmlNameIs(name, "rtept")) {
            if (routeDepth_ != 0) StartPlace(attributes, true);
        } else if (XmlNameIs(name, "trkseg")) {
            if (document) document->BeginSegment(Index());
        } else if (XmlNameIs(name, "trk")) {
            if (trackDepth_ != 0) return;
            trackDepth_ = depth_;
            if (document) document->BeginTrack(Index());
        } else if (XmlNameIs(name, "rte")) {
            if (routeDepth_ != 0) return;
            routeDepth_ = depth_;
            if (document) document->routes.emplace_back();
        } else if (XmlNameIs(name, "name")) {
            if (routeDepth_ != 0 && depth_ == routeDepth_ + 1) BeginText(kRouteName);
            else if (trackDepth_ != 0 && depth_ == trackDepth_ + 1) BeginText(kTrackName);
        }
    }

    // The end of the element at `depth`, outside the track points.
    void EndOutside(uint32_t depth) {
        if (target_ != kNoText) {
            if (depth == textDepth_) EndText();
            return;
        }
        if (placeDepth_ != 0) {
            if (depth == placeDepth_) EndPlace();
            return;
        }
        if (depth == routeDepth_) routeDepth_ = 0;
        if (depth == trackDepth_) trackDepth_ = 0;
    }

    void BeginText(TextTarget target) {
        if (target == kNoText) return;
        target_ = target;
        textDepth_ = depth_;
        text_.clear();
    }

    // Keeps the gathered text where its element says.
    void EndText() {
        const TextTarget target = target_;
        target_ = kNoText;
        TrackDocument* document = Document();
        switch (target) {
            case kPlaceEle: {
                double v;
                if (RealOf(text_, v)) {
                    place_.point.altitude = ToFloat(v);
                    place_.absent &= static_cast<uint8_t>(~kFieldAltitude);
                }
                break;
            }
            case kPlaceTime:
                if (ParseIsoTime(text_, place_.point)) place_.absent &= static_cast<uint8_t>(~kFieldTime);
                else if (HasText(text_)) placeTimeRefused_ = true;
                break;
            case kPlaceName: place_.name = Trimmed(text_); break;
            case kPlaceDescription: place_.description = Trimmed(text_); break;
            case kPlaceSymbol: place_.symbol = Trimmed(text_); break;
            case kTrackName:
                if (document) document->NameTrack(Trimmed(text_));
                break;
            case kRouteName:
                if (document && !document->routes.empty()) document->routes.back().name = Trimmed(text_);
                break;
            case kNoText: break;
        }
    }

    // A `wpt`, or an `rtept` of the route being read: its position, then
    // the values of its children until it ends.
    void StartPlace(const XmlAttributes& attributes, bool inRoute) {
        placeDepth_ = depth_;
        placeInRoute_ = inRoute;
        placeTimeRefused_ = false;
        place_ = Waypoint{};
        place_.absent = kFieldAltitude | kFieldTime;
        double latitude = 0, longitude = 0;
        placeHasPosition_ = PositionOf(attributes, latitude, longitude);
        place_.point.latitude = latitude;
        place_.point.longitude = longitude;
    }

    // Keeps the waypoint or route point, or leaves it out when it has no
    // real position.
    void EndPlace() {
        placeDepth_ = 0;
        TrackDocument* document = Document();
        if (!document) return;
        if (!placeHasPosition_) {
            CurrentReadReport().Count(LeftOut::kNoPosition);
            return;
        }
        if (placeTimeRefused_ && (place_.absent & kFieldTime)) CurrentReadReport().Count(LeftOut::kNoDate);
        if (!placeInRoute_) document->waypoints.push_back(std::move(place_));
        else if (!document->routes.empty()) document->routes.back().points.push_back(std::move(place_));
    }

    // A `trkpt`: the slot of its record, and its position.
    void StartPoint(const XmlAttributes& attributes) {
        TrackPoint* p = Slot();
        if (!p) return;
        state_ = kInPoint;
        extensions_ = 0;
        hasSpeed_ = false;
        extensionSpeed_ = kNoSensorValue;
        present_ = 0;
        timeRefused_ = false;
        p->record = static_cast<int32_t>(Index() + 1);
        // Read into aligned locals: the record's fields are packed.
        double latitude = 0, longitude = 0;
        hasPosition_ = PositionOf(attributes, latitude, longitude);
        p->latitude = latitude;
        p->longitude = longitude;
    }

    // Completes the point, or gives none for it when it has no real position.
    void EndPoint() {
        if (!hasPosition_) {
            DropRecord(LeftOut::kNoPosition);
            return;
        }
        TrackPoint* p = Slot();
        if (!p) return;
        // The extension's speed counts when the point has no <speed> of its own.
        if (!hasSpeed_ && IsSensorValue(extensionSpeed_)) p->speed = extensionSpeed_;
        // A refused time left the date as it was: 0, the point undated.
        if (timeRefused_ && !(present_ & kFieldTime)) CurrentReadReport().Count(LeftOut::kNoDate);
        const uint8_t absent = kGpxFields & static_cast<uint8_t>(~present_);
        if (absent) MarkAbsent(absent);
        NextRecord();
    }

    int extensions_ = 0;  // depth of <extensions> elements in the point
    bool hasSpeed_ = false;
    bool hasPosition_ = false;
    bool timeRefused_ = false;  // a time text that gives no date that exists
    uint8_t present_ = 0;       // PointField bits of the values the point has
    float extensionSpeed_ = kNoSensorValue;

    // Outside the track points: the depth of the element being read, and of
    // the open `trk`, `rte`, `wpt` or `rtept` (0 when none is open).
    uint32_t depth_ = 0;
    uint32_t trackDepth_ = 0;
    uint32_t routeDepth_ = 0;
    uint32_t placeDepth_ = 0;
    // The text being gathered, and the depth of its element.
    TextTarget target_ = kNoText;
    uint32_t textDepth_ = 0;
    std::string text_;
    // The waypoint or route point being read.
    Waypoint place_;
    bool placeInRoute_ = false;
    bool placeHasPosition_ = false;
    bool placeTimeRefused_ = false;
};


// Seconds as the time element prints them: never 60, so 59.9995 and more
// stop at 59.999 instead of carrying into the minute; nothing below 0.
double PrintableSeconds(float seconds) {
    const double s = seconds;
    if (!(s >= 0)) return 0;
    // No float lies between 59.9995 and the nearest double to it, so the
    // comparison is exact for every seconds field.
    if (s >= 59.9995) return 59.999;
    return s;
}

}  // namespace

namespace {
std::unique_ptr<TrackSaxHandler> MakeGpxHandler() { return std::make_unique<GpxHandler>(); }
}  // namespace

ReadStatus ReadGpxTrack(const std::string& path, TrackPointArray& points, uint32_t& count,
                        SensorChannels* sensors) {
    return ReadXmlTrack(path, MakeGpxHandler, points, count, sensors);
}


namespace {

// The single-precision bounding box of the file's positions; the
// comparisons take the full values.
struct GpxBounds {
    float minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
    bool any = false;

    void Add(double latitude, double longitude) {
        if (!any) {
            minLat = maxLat = ToFloat(latitude);
            minLon = maxLon = ToFloat(longitude);
            any = true;
            return;
        }
        if (latitude < minLat) minLat = ToFloat(latitude);
        if (latitude > maxLat) maxLat = ToFloat(latitude);
        if (longitude < minLon) minLon = ToFloat(longitude);
        if (longitude > maxLon) maxLon = ToFloat(longitude);
    }
};

// Whether a waypoint or route point goes into the file: only those with a
// real position, which the schema's ranges accept.
bool Writable(const Waypoint& w) { return IsRealPosition(w.point.latitude, w.point.longitude); }

// The box around the exported points, the waypoints and the route points.
GpxBounds BoundsOf(const ExportEntry* entries, uint32_t count, const TrackDocument* document) {
    GpxBounds b;
    for (uint32_t i = 0; i < count; ++i) b.Add(entries[i].point->latitude, entries[i].point->longitude);
    if (!document) return b;
    for (const Waypoint& w : document->waypoints)
        if (Writable(w)) b.Add(w.point.latitude, w.point.longitude);
    for (const Route& r : document->routes)
        for (const Waypoint& w : r.points)
            if (Writable(w)) b.Add(w.point.latitude, w.point.longitude);
    return b;
}

// Whether the document holds waypoints or routes: a file for them is
// written even when no track point is exported.
bool HoldsPlaces(const TrackDocument* document) {
    return document && (!document->waypoints.empty() || !document->routes.empty());
}

// The bounds element; none when the file holds no position at all.
void AppendBounds(TextBuffer& out, const GpxBounds& b) {
    if (!b.any) return;
    out.Append("<bounds minlat=\"");
    AppendFixed(out, b.minLat, 6);
    out.Append("\" minlon=\"");
    AppendFixed(out, b.minLon, 6);
    out.Append("\" maxlat=\"");
    AppendFixed(out, b.maxLat, 6);
    out.Append("\" maxlon=\"");
    AppendFixed(out, b.maxLon, 6);
    out.Append("\"/>\r\n");
}

void AppendNowElement(TextBuffer& out) {
    const UtcDateTime now = CurrentUtcDateTime();
    out.Append("<time>");
    AppendIsoDate(out, now.year, now.month, now.day);
    AppendClockTime(out, now.hour, now.minute, now.second);
    out.Append("</time>\r\n");
}

void AppendTrackStart(TextBuffer& out, const std::string& name) {
    out.Append("<trk>\r\n  <name>");
    AppendXmlText(out, name);
    out.Append("</name>\r\n<trkseg>\r\n");
}

// Opens and closes the `trk` and `trkseg` elements as the export passes
// from one segment or track of the document to the next. A track is named
// by its own name, or by the output file's title when it has none.
class TrackElements {
public:
    TrackElements(const TrackDocument* document, const std::string& path)
        : document_(document), walker_(document), title_(FileTitle(path)) {}

    // Before the point at `index`.
    void Before(TextBuffer& out, uint32_t index) {
        if (!open_) {
            walker_.Next(index);
            open_ = true;
            AppendTrackStart(out, Name());
            return;
        }
        if (!walker_.Next(index)) return;
        out.Append("</trkseg>\r\n");
        if (walker_.NewTrack()) {
            out.Append("</trk>\r\n");
            AppendTrackStart(out, Name());
        } else {
            out.Append("<trkseg>\r\n");
        }
    }

    // After the last point; nothing when no point was written.
    void End(TextBuffer& out) {
        if (open_) out.Append("</trkseg>\r\n</trk>\r\n");
    }

private:
    const std::string& Name() const {
        const std::string& own = document_ ? document_->TrackName(walker_.Track()) : title_;
        return own.empty() ? title_ : own;
    }

    const TrackDocument* document_;
    SegmentWalker walker_;
    std::string title_;
    bool open_ = false;
};

// A date and time as the time elements print them, in UTC.
void AppendTimeElement(TextBuffer& out, const TrackPoint& p) {
    out.Append("  <time>");
    AppendIsoDate(out, p.year, p.month, p.day);
    AppendHourMinute(out, p.hour, p.minute);
    AppendFixedPadded(out, PrintableSeconds(p.seconds), 3, 6);
    out.Append("Z</time>\r\n");
}

bool Dated(const TrackPoint& p) { return p.year != 0 && p.month != 0 && p.day != 0; }

// One child element holding a text, when the text is not empty.
void AppendTextElement(TextBuffer& out, const char* name, const std::string& text) {
    if (text.empty()) return;
    out.Append("  <");
    out.Append(name);
    out.Append('>');
    AppendXmlText(out, text);
    out.Append("</");
    out.Append(name);
    out.Append(">\r\n");
}

// A waypoint or route point (`element`), with the values it has in the
// schema's order: ele, time, name, desc, sym. The same in GPX 1.0 and 1.1.
void AppendPlace(TextBuffer& out, const char* element, const Waypoint& w) {
    out.Append('<');
    out.Append(element);
    out.Append(" lat=\"");
    AppendFixed(out, w.point.latitude, 6);
    out.Append("\" lon=\"");
    AppendFixed(out, w.point.longitude, 6);
    out.Append("\">\r\n");
    if (!(w.absent & kFieldAltitude)) {
        out.Append("  <ele>");
        AppendFixed(out, w.point.altitude, 6);
        out.Append("</ele>\r\n");
    }
    if (!(w.absent & kFieldTime) && Dated(w.point)) AppendTimeElement(out, w.point);
    AppendTextElement(out, "name", w.name);
    AppendTextElement(out, "desc", w.description);
    AppendTextElement(out, "sym", w.symbol);
    out.Append("</");
    out.Append(element);
    out.Append(">\r\n");
}

// The waypoints, then the routes with their points: in the schema, both
// come before the tracks.
void AppendPlaces(TextBuffer& out, const TrackDocument* document) {
    if (!document) return;
    for (const Waypoint& w : document->waypoints)
        if (Writable(w)) AppendPlace(out, "wpt", w);
    for (const Route& r : document->routes) {
        out.Append("<rte>\r\n");
        AppendTextElement(out, "name", r.name);
        for (const Waypoint& w : r.points)
            if (Writable(w)) AppendPlace(out, "rtept", w);
        out.Append("</rte>\r\n");
    }
}

// Whether the writer's options ask for an element and the point has its value.
bool Writes(uint32_t options, uint32_t bit, const SensorChannels* sensors, const ExportEntry& e,
            uint8_t field) {
    return (options & bit) && !PointLacks(sensors, e.index, field);
}

void AppendPointStart(TextBuffer& out, const ExportEntry& e, uint32_t options,
                      const SensorChannels* sensors) {
    const TrackPoint& p = *e.point;
    out.Append("<trkpt lat=\"");
    AppendFixed(out, p.latitude, 6);
    out.Append("\" lon=\"");
    AppendFixed(out, p.longitude, 6);
    out.Append("\">\r\n");
    if (Writes(options, kGpxAltitude, sensors, e, kFieldAltitude)) {
        out.Append("  <ele>");
        AppendFixed(out, e.altitude, 6);
        out.Append("</ele>\r\n");
    }
    if (Writes(options, kGpxTime, sensors, e, kFieldTime) && Dated(p)) AppendTimeElement(out, p);
}

// One element of the extension with a whole number kept within the
// schema's range.
void AppendWholeElement(TextBuffer& out, const char* indent, const char* name, float value,
                        double low, double high) {
    double v = std::round(static_cast<double>(value));
    v = v < low ? low : v > high ? high : v;
    out.Append(indent);
    out.Append('<');
    out.Append(name);
    out.Append('>');
    AppendInt(out, static_cast<int64_t>(v));
    out.Append("</");
    out.Append(name);
    out.Append(">\r\n");
}

// GPX 1.1 with Garmin's TrackPointExtension v2 (temperature, heart rate,
// cadence, and speed and course, which GPX 1.1 has no element for) and
// PowerExtension v1 in every point: the form of a track with sensor data.
int WriteGpxSensorTrack(const std::string& path, const ExportEntry* entries, uint32_t count,
                        uint32_t options, const SensorChannels& sensors) {
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();
    out.Append(
        "<?xml version=\"1.0\"?>\r\n"
        "<gpx\r\n"
        "version=\"1.1\"\r\n"
        "creator=\"Ferolin " FEROLIN_VERSION "\"\r\n"
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
        "xmlns=\"http://www.topografix.com/GPX/1/1\"\r\n"
        "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\"\r\n"
        "xmlns:gpxpx=\"http://www.garmin.com/xmlschemas/PowerExtension/v1\"\r\n"
        "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
        "http://www.topografix.com/GPX/1/1/gpx.xsd "
        "http://www.garmin.com/xmlschemas/TrackPointExtension/v2 "
        "https://www8.garmin.com/xmlschemas/TrackPointExtensionv2.xsd "
        "http://www.garmin.com/xmlschemas/PowerExtension/v1 "
        "https://www8.garmin.com/xmlschemas/PowerExtensionv1.xsd\">\r\n"
        "<metadata>\r\n");
    const TrackDocument* document = &sensors.document;
    AppendNowElement(out);
    AppendBounds(out, BoundsOf(entries, count, document));
    out.Append("</metadata>\r\n");
    AppendPlaces(out, document);
    TrackElements track(document, path);

    for (uint32_t i = 0; i < count; ++i) {
        const ExportEntry& e = entries[i];
        const TrackPoint& p = *e.point;
        track.Before(out, e.index);
        AppendPointStart(out, e, options, &sensors);
        if (Writes(options, kGpxSatellites, &sensors, e, kFieldSatellites)) {
            out.Append("  <sat>");
            AppendInt(out, p.satellites < 0 ? 0 : p.satellites);
            out.Append("</sat>\r\n");
        }
        const struct {
            uint32_t bit;
            uint8_t field;
            const char* name;
            float value;
        } dops[] = {{kGpxHdop, kFieldHdop, "hdop", p.hdop},
                    {kGpxVdop, kFieldVdop, "vdop", p.vdop},
                    {kGpxPdop, kFieldPdop, "pdop", p.pdop}};
        for (const auto& d : dops) {
            if (!Writes(options, d.bit, &sensors, e, d.field)) continue;
            out.Append("  <");
            out.Append(d.name);
            out.Append('>');
            AppendFixed(out, d.value, 6);
            out.Append("</");
            out.Append(d.name);
            out.Append(">\r\n");
        }

        out.Append("  <extensions>\r\n    <gpxtpx:TrackPointExtension>\r\n");
        const char* const indent = "      ";
        const float temperature = sensors.Value(Sensor::kTemperature, e.index);
        if (IsSensorValue(temperature) && std::isfinite(temperature)) {
            out.Append(indent);
            out.Append("<gpxtpx:atemp>");
            AppendSensorCell(out, temperature);
            out.Append("</gpxtpx:atemp>\r\n");
        }
        const float heartRate = sensors.Value(Sensor::kHeartRate, e.index);
        if (IsSensorValue(heartRate) && heartRate >= 0.5f)
            AppendWholeElement(out, indent, "gpxtpx:hr", heartRate, 1, 255);
        const float cadence = sensors.Value(Sensor::kCadence, e.index);
        if (IsSensorValue(cadence)) AppendWholeElement(out, indent, "gpxtpx:cad", cadence, 0, 254);
        if (Writes(options, kGpxSpeed, &sensors, e, kFieldSpeed)) {
            out.Append(indent);
            out.Append("<gpxtpx:speed>");
            const double speed = static_cast<double>(p.speed) * 0.2777777777777778;  // km/h to m/s
            AppendFixed(out, speed > 0 ? speed : 0, 6);
            out.Append("</gpxtpx:speed>\r\n");
        }
        if (Writes(options, kGpxCourse, &sensors, e, kFieldCourse)) {
            out.Append(indent);
            out.Append("<gpxtpx:course>");
            double course = std::fmod(static_cast<double>(p.direction), 360.0);
            if (!(course >= 0)) course = course < 0 ? course + 360.0 : 0;
            AppendFixed(out, course, 6);
            out.Append("</gpxtpx:course>\r\n");
        }
        out.Append("    </gpxtpx:TrackPointExtension>\r\n");
        const float power = sensors.Value(Sensor::kPower, e.index);
        if (IsSensorValue(power)) AppendWholeElement(out, "    ", "gpxpx:PowerInWatts", power, 0, 65535);
        out.Append("  </extensions>\r\n</trkpt>\r\n");
        file.Flush();
    }
    track.End(out);
    out.Append("</gpx>\r\n");
    return file.Commit() ? 0 : 1;
}

}  // namespace

int WriteGpxTrack(const std::string& path, const ExportEntry* entries, uint32_t count,
                  uint32_t options, const SensorChannels* sensors) {
    const TrackDocument* document = sensors ? &sensors->document : nullptr;
    if (count == 0 && !HoldsPlaces(document)) return 1;
    if (const SensorChannels* present = PresentChannels(sensors))
        return WriteGpxSensorTrack(path, entries, count, options, *present);
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();

    out.Append(
        "<?xml version=\"1.0\"?>\r\n"
        "<gpx\r\n"
        "version=\"1.0\"\r\n"
        "creator=\"Ferolin " FEROLIN_VERSION "\"\r\n"
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
        "xmlns=\"http://www.topografix.com/GPX/1/0\"\r\n"
        "xmlns:topografix=\"http://www.topografix.com/GPX/Private/TopoGrafix/0/2\"\r\n"
        "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/0 "
        "http://www.topografix.com/GPX/1/0/gpx.xsd "
        "http://www.topografix.com/GPX/Private/TopoGrafix/0/2 "
        "http://www.topografix.com/GPX/Private/TopoGrafix/0/2/topografix.xsd\">\r\n");
    AppendNowElement(out);
    AppendBounds(out, BoundsOf(entries, count, document));
    AppendPlaces(out, document);
    TrackElements track(document, path);

    for (uint32_t i = 0; i < count; ++i) {
        const ExportEntry& e = entries[i];
        const TrackPoint& p = *e.point;
        track.Before(out, e.index);
        AppendPointStart(out, e, options, sensors);
        if (Writes(options, kGpxCourse, sensors, e, kFieldCourse)) {
            out.Append("  <course>");
            AppendFixed(out, p.direction, 6);
            out.Append("</course>\r\n");
        }
        if (Writes(options, kGpxSpeed, sensors, e, kFieldSpeed)) {
            out.Append("  <speed>");
            AppendFixed(out, static_cast<double>(p.speed) * 0.2777777777777778, 6);  // km/h to m/s
            out.Append("</speed>\r\n");
        }
        if (Writes(options, kGpxSatellites, sensors, e, kFieldSatellites)) {
            out.Append("  <sat>");
            AppendInt(out, p.satellites);
            out.Append("</sat>\r\n");
        }
        if (Writes(options, kGpxHdop, sensors, e, kFieldHdop)) {
            out.Append("  <hdop>");
            AppendFixed(out, p.hdop, 6);
            out.Append("</hdop>\r\n");
        }
        if (Writes(options, kGpxVdop, sensors, e, kFieldVdop)) {
            out.Append("  <vdop>");
            AppendFixed(out, p.vdop, 6);
            out.Append("</vdop>\r\n");
        }
        if (Writes(options, kGpxPdop, sensors, e, kFieldPdop)) {
            out.Append("  <pdop>");
            AppendFixed(out, p.pdop, 6);
            out.Append("</pdop>\r\n");
        }
        out.Append("</trkpt>\r\n");
        file.Flush();
    }
    track.End(out);
    out.Append("</gpx>\r\n");
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
