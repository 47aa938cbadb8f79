#include "formats/gpx.h"

#include "core/clock.h"
#include "core/output_file.h"
#include "core/paths.h"
#include "core/text_format.h"
#include "core/version.h"
#include "core/xml_text.h"
#include "formats/text_fields.h"

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

inline int8_t LowByte(int value) { return static_cast<int8_t>(static_cast<uint8_t>(value & 0xFF)); }

class GpxHandler : public TrackSaxHandler {
public:
    void StartElement(std::string_view name, const XmlAttributes& attributes) override {
        if (XmlNameIs(name, "trkpt")) {
            TrackPoint* p = Slot();
            if (!p) return;
            state_ = kInPoint;
            p->record = static_cast<int32_t>(Index() + 1);
            const std::size_t n = attributes.Count();
            for (std::size_t i = 0; i < n; ++i) {
                if (attributes.QualifiedNameIs(i, "lat"))
                    p->latitude = ParseReal(attributes.Value(i));
                else if (attributes.QualifiedNameIs(i, "lon"))
                    p->longitude = ParseReal(attributes.Value(i));
            }
            return;
        }
        const int value = ValueState(name);
        if (value != kOutside && state_ == kInPoint) state_ = value;
    }

    void EndElement(std::string_view name) override {
        if (XmlNameIs(name, "trkpt")) {
            NextRecord();
            state_ = kOutside;
        } else if (XmlNameIs(name, "gpx")) {
            state_ = kOutside;
        } else if (ValueState(name) != kOutside && state_ >= kInEle) {
            state_ = kInPoint;
        }
    }

    bool WantsText() const override { return state_ >= kInEle; }

    void Characters(std::string_view text) override {
        if (state_ < kInEle) return;
        TrackPoint* p = Slot();
        if (!p) return;
        switch (state_) {
            case kInEle: p->altitude = ToFloat(ParseReal(text)); break;
            case kInTime: ParseGpxTime(text, *p); break;
            case kInSat: p->satellites = LowByte(ParseInt(text)); break;
            case kInHdop: p->hdop = ToFloat(ParseReal(text)); break;
            case kInPdop: p->pdop = ToFloat(ParseReal(text)); break;
            case kInVdop: p->vdop = ToFloat(ParseReal(text)); break;
            case kInSpeed: p->speed = ToFloat(ParseReal(text) * 3.6); break;  // m/s to km/h
            case kInCourse: p->direction = ToFloat(ParseReal(text)); break;
        }
    }
};

// "%04d-%02d-%02dT": the date of a time element, up to its hours.
void AppendIsoDate(TextBuffer& out, int year, int month, int day) {
    AppendInt(out, year, 4);
    out.Append('-');
    AppendInt(out, month, 2);
    out.Append('-');
    AppendInt(out, day, 2);
    out.Append('T');
}

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

void ParseGpxTime(std::string_view text, TrackPoint& point) {
    // "%hd-%hd-%hdT%hd:%hd:%f": the fields before the first mismatch are set.
    const char* p = text.data();
    const char* const end = p + text.size();
    int value = 0;
    const auto next = [&p, end, &value](char separator) {
        if (separator && !scan::Literal(p, end, separator)) return false;
        if (!scan::Int(p, end, value)) return false;
        value = static_cast<int16_t>(value);
        return true;
    };
    if (!next(0)) return;
    point.year = static_cast<int16_t>(value);
    if (!next('-')) return;
    point.month = LowByte(value);
    if (!next('-')) return;
    point.day = LowByte(value);
    if (!next('T')) return;
    point.hour = LowByte(value);
    if (!next(':')) return;
    point.minute = LowByte(value);
    if (!scan::Literal(p, end, ':')) return;
    point.seconds = ToFloat(ParseReal(p, end));
}

namespace {
std::unique_ptr<TrackSaxHandler> MakeGpxHandler() { return std::make_unique<GpxHandler>(); }
}  // namespace

ReadStatus ReadGpxTrack(const std::string& path, TrackPointArray& points, uint32_t& count) {
    return ReadXmlTrack(path, MakeGpxHandler, points, count);
}


int WriteGpxTrack(const std::string& path, const ExportEntry* entries, uint32_t count,
                  uint32_t options) {
    if (count == 0) return 1;
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();
    const std::string name = FileTitle(path);
    const UtcDateTime now = CurrentUtcDateTime();

    // Bounding box in single precision; the comparisons take the full values.
    const TrackPoint& first = *entries[0].point;
    float minLat = ToFloat(first.latitude), maxLat = minLat;
    float minLon = ToFloat(first.longitude), maxLon = minLon;
    for (uint32_t i = 1; i < count; ++i) {
        const TrackPoint& p = *entries[i].point;
        if (p.latitude < minLat) minLat = ToFloat(p.latitude);
        if (p.latitude > maxLat) maxLat = ToFloat(p.latitude);
        if (p.longitude < minLon) minLon = ToFloat(p.longitude);
        if (p.longitude > maxLon) maxLon = ToFloat(p.longitude);
    }

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
    out.Append("<time>");
    AppendIsoDate(out, now.year, now.month, now.day);
    AppendClockTime(out, now.hour, now.minute, now.second);
    out.Append("</time>\r\n");
    out.Append("<bounds minlat=\"");
    AppendFixed(out, minLat, 6);
    out.Append("\" minlon=\"");
    AppendFixed(out, minLon, 6);
    out.Append("\" maxlat=\"");
    AppendFixed(out, maxLat, 6);
    out.Append("\" maxlon=\"");
    AppendFixed(out, maxLon, 6);
    out.Append("\"/>\r\n");
    out.Append("<trk>\r\n  <name>");
    AppendXmlText(out, name);
    out.Append("</name>\r\n<trkseg>\r\n");

    for (uint32_t i = 0; i < count; ++i) {
        const ExportEntry& e = entries[i];
        const TrackPoint& p = *e.point;
        out.Append("<trkpt lat=\"");
        AppendFixed(out, p.latitude, 6);
        out.Append("\" lon=\"");
        AppendFixed(out, p.longitude, 6);
        out.Append("\">\r\n");
        if (options & kGpxAltitude) {
            out.Append("  <ele>");
            AppendFixed(out, e.altitude, 6);
            out.Append("</ele>\r\n");
        }
        if ((options & kGpxTime) && p.year != 0 && p.month != 0 && p.day != 0) {
            out.Append("  <time>");
            AppendIsoDate(out, p.year, p.month, p.day);
            AppendHourMinute(out, p.hour, p.minute);
            AppendFixedPadded(out, PrintableSeconds(p.seconds), 3, 6);
            out.Append("Z</time>\r\n");
        }
        if (options & kGpxCourse) {
            out.Append("  <course>");
            AppendFixed(out, p.direction, 6);
            out.Append("</course>\r\n");
        }
        if (options & kGpxSpeed) {
            out.Append("  <speed>");
            AppendFixed(out, static_cast<double>(p.speed) * 0.2777777777777778, 6);  // km/h to m/s
            out.Append("</speed>\r\n");
        }
        if (options & kGpxSatellites) {
            out.Append("  <sat>");
            AppendInt(out, p.satellites);
            out.Append("</sat>\r\n");
        }
        if (options & kGpxHdop) {
            out.Append("  <hdop>");
            AppendFixed(out, p.hdop, 6);
            out.Append("</hdop>\r\n");
        }
        if (options & kGpxVdop) {
            out.Append("  <vdop>");
            AppendFixed(out, p.vdop, 6);
            out.Append("</vdop>\r\n");
        }
        if (options & kGpxPdop) {
            out.Append("  <pdop>");
            AppendFixed(out, p.pdop, 6);
            out.Append("</pdop>\r\n");
        }
        out.Append("</trkpt>\r\n");
        file.Flush();
    }
    out.Append("</trkseg>\r\n</trk>\r\n</gpx>\r\n");
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
