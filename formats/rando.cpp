#include "formats/rando.h"

#include "core/clock.h"
#include "core/output_file.h"
#include "core/text_format.h"

namespace ferolin {

namespace {

enum RandoState { kOutside = 0, kInStage = 1, kInPosition = 2, kInAltitude = 3 };

class RandoHandler : public TrackSaxHandler {
public:
    void StartElement(std::string_view name, const XmlAttributes&) override {
        if (XmlNameIs(name, "ETAPE")) {
            TrackPoint* p = Slot();
            if (!p) return;
            state_ = kInStage;
            p->record = static_cast<int32_t>(Index() + 1);
        } else if (state_ == kInStage && XmlNameIs(name, "POSITION")) {
            state_ = kInPosition;
        } else if (state_ == kInStage && XmlNameIs(name, "ALTITUDE")) {
            state_ = kInAltitude;
        }
    }

    void EndElement(std::string_view name) override {
        if (XmlNameIs(name, "ETAPE")) {
            NextRecord();
            state_ = kOutside;
        } else if (XmlNameIs(name, "RANDONNEE")) {
            state_ = kOutside;
        } else if ((XmlNameIs(name, "POSITION") || XmlNameIs(name, "ALTITUDE")) &&
                   (state_ == kInPosition || state_ == kInAltitude)) {
            state_ = kInStage;
        }
    }

    bool WantsText() const override { return state_ == kInPosition || state_ == kInAltitude; }

    void Characters(std::string_view text) override {
        if (!WantsText()) return;
        TrackPoint* p = Slot();
        if (!p) return;
        if (state_ == kInAltitude) {
            p->altitude = ToFloat(ParseReal(text));
            return;
        }
        // "latitude,longitude"; without a comma only the latitude is set.
        p->latitude = ParseReal(text);
        const std::size_t comma = text.find(',');
        if (comma != std::string_view::npos) p->longitude = ParseReal(text.substr(comma + 1));
    }
};

}  // namespace

namespace {
std::unique_ptr<TrackSaxHandler> MakeRandoHandler() { return std::make_unique<RandoHandler>(); }
}  // namespace

ReadStatus ReadRandoHike(const std::string& path, TrackPointArray& points, uint32_t& count) {
    return ReadXmlTrack(path, MakeRandoHandler, points, count);
}


int WriteRandoHike(const std::string& path, const ExportEntry* entries, uint32_t count,
                   uint32_t /*options*/) {
    const UtcDateTime now = CurrentUtcDateTime();
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer& out = file.Buffer();
    out.Append("<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<RANDONNEE>\r\n");
    out.Append(
        "\t<ENTETE>\r\n\t\t<VERSION_XML>1.1</VERSION_XML>\r\n"
        "\t\t<VERSION_BASE>IHA03AA</VERSION_BASE>\r\n\t\t<DATE>");
    AppendInt(out, now.day, 2);
    out.Append('/');
    AppendInt(out, now.month, 2);
    out.Append('/');
    AppendInt(out, now.year, 4);
    out.Append("</DATE>\r\n\t\t<HEURE>");
    AppendClockTime(out, now.hour, now.minute, now.second);
    out.Append("</HEURE>\r\n\t</ENTETE>\r\n\t<INFORMATIONS>\r\n\t\t<NB_ETAPES>");
    AppendInt(out, count);
    out.Append("</NB_ETAPES>\r\n\t</INFORMATIONS>\r\n");
    for (uint32_t i = 0; i < count; ++i) {
        const ExportEntry& e = entries[i];
        out.Append("\t<ETAPE>\r\n\t\t<POSITION>");
        AppendFixed(out, e.point->latitude, 6);
        out.Append(',');
        AppendFixed(out, e.point->longitude, 6);
        out.Append("</POSITION>\r\n\t\t<ALTITUDE>");
        AppendFixed(out, e.altitude, 6);
        out.Append("</ALTITUDE>\r\n\t</ETAPE>\r\n");
        file.Flush();
    }
    out.Append("</RANDONNEE>\r\n");
    return file.Commit() ? 0 : 1;
}

}  // namespace ferolin
