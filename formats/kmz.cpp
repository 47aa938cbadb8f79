#include "formats/kmz.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include "core/clock.h"
#include "core/output_file.h"
#include "core/paths.h"
#include "core/xml_text.h"
#include "formats/kml.h"
#include "formats/text_table.h"
#include "formats/track_time.h"

namespace ferolin {

namespace {

// The most a KML member may claim unpacked: 1 GiB, and no more than deflate
// can make of the archive's bytes (at best 1032 to 1), with room for a small
// archive of a well packed document.
constexpr zip_uint64_t kMaxMemberSize = zip_uint64_t{1} << 30;
constexpr zip_uint64_t kDeflateRatio = 1032;
constexpr zip_uint64_t kSmallArchiveRoom = 1 << 20;

bool EndsWithKml(std::string_view name) {
    return name.size() > 4 && XmlNameIs(name.substr(name.size() - 4), ".kml");
}

// The member the reader takes: `doc.kml` at the top, else the first KML
// member; -1 when there is none.
zip_int64_t KmlMember(zip_t* archive) {
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    zip_int64_t first = -1;
    for (zip_int64_t i = 0; i < entries; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS);
        if (!name) continue;
        if (XmlNameIs(name, "doc.kml")) return i;
        if (first < 0 && EndsWithKml(name)) first = i;
    }
    return first;
}

// The member's bytes, handed to the parser as they are unpacked, never more
// than the member claims.
class MemberSource : public XmlByteSource {
public:
    MemberSource(zip_file_t* file, zip_uint64_t size) : file_(file), left_(size) {}

    long Read(char* buffer, std::size_t size) override {
        const zip_uint64_t want = left_ < size ? left_ : size;
        if (want == 0) return 0;
        const zip_int64_t n = zip_fread(file_, buffer, want);
        if (n < 0) {
            SetReadReason(std::string("the KML file of the archive cannot be unpacked: ") +
                          zip_file_strerror(file_));
            return -1;
        }
        left_ = n == 0 ? 0 : left_ - static_cast<zip_uint64_t>(n);
        return static_cast<long>(n);
    }

private:
    zip_file_t* file_;
    zip_uint64_t left_;
};

// Closes the archive and its member on every way out.
struct OpenArchive {
    zip_t* archive = nullptr;
    zip_file_t* member = nullptr;
    ~OpenArchive() {
        if (member) zip_fclose(member);
        if (archive) zip_discard(archive);
    }
};

ReadStatus ReadArchive(int fd, off_t fileSize, TrackPointArray& points, uint32_t& count, SensorChannels* sensors) {
    if (fileSize == 0) {
        close(fd);
        SetReadReason("not a zip file");
        return ReadStatus::kNotThisFormat;
    }
    OpenArchive open;
    int error = 0;
    open.archive = zip_fdopen(fd, 0, &error);  // owns the descriptor from here on
    if (!open.archive) {
        close(fd);
        if (error == ZIP_ER_MEMORY) {
            SetReadReason("out of memory");
            return ReadStatus::kNoMemory;
        }
        if (error == ZIP_ER_READ || error == ZIP_ER_SEEK || error == ZIP_ER_OPEN) {
            zip_error_t e;
            zip_error_init_with_code(&e, error);
            SetReadReason(zip_error_strerror(&e));
            zip_error_fini(&e);
            return ReadStatus::kCannotOpen;
        }
        SetReadReason("not a zip file");
        return ReadStatus::kNotThisFormat;
    }
    const zip_int64_t member = KmlMember(open.archive);
    if (member < 0) {
        SetReadReason("no KML file in the archive");
        return ReadStatus::kNotThisFormat;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(open.archive, static_cast<zip_uint64_t>(member), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE)) {
        SetReadReason("the KML file of the archive gives no size");
        return ReadStatus::kNotThisFormat;
    }
    const zip_uint64_t room = static_cast<zip_uint64_t>(fileSize) * kDeflateRatio + kSmallArchiveRoom;
    if (stat.size > kMaxMemberSize || stat.size > room) {
        SetReadReason("the KML file of the archive claims " + std::to_string(stat.size) +
                      " bytes unpacked, more than the archive can hold");
        return ReadStatus::kNotThisFormat;
    }
    open.member = zip_fopen_index(open.archive, static_cast<zip_uint64_t>(member), 0);
    if (!open.member) {
        SetReadReason(std::string("the KML file of the archive cannot be unpacked: ") +
                      zip_strerror(open.archive));
        return ReadStatus::kXmlUnreadable;
    }
    MemberSource source(open.member, stat.size);
    // The progress is that of the unpacked document.
    ReportReadTotal(stat.size);
    return ReadKmlFrom(source, static_cast<std::size_t>(stat.size), points, count, sensors);
}

// The document a KMZ archive holds: KML 2.2 with Google's extensions.

constexpr const char* kKmzHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n"
    "<Document>\n";

// The array names of the channels, as Google Earth's elevation profile
// knows them, in the order of kSensorTable.
constexpr const char* kArrayNames[kSensorCount] = {"heartrate", "cadence", "power", "temperature"};

bool Dated(const ExportEntry& e, const SensorChannels* sensors) {
    return !PointLacks(sensors, e.index, kFieldTime) && PointMilliseconds(*e.point) >= 0;
}

bool HasAltitude(const ExportEntry& e, const SensorChannels* sensors) {
    return !PointLacks(sensors, e.index, kFieldAltitude);
}

// "longitude latitude [altitude]", the parts split by `separator` (a blank in
// gx:coord, a comma in a line string's tuples); no altitude the point lacks.
void AppendPosition(TextBuffer& out, const ExportEntry& e, char separator, const SensorChannels* sensors) {
    AppendFixed(out, e.point->longitude, 6);
    out.Append(separator);
    AppendFixed(out, e.point->latitude, 6);
    if (HasAltitude(e, sensors)) {
        out.Append(separator);
        AppendFixed(out, e.altitude, 6);
    }
}

// The channels of the Schema: those the track carries.
void AppendSchema(TextBuffer& out, const SensorChannels* channels) {
    if (!channels) return;
    out.Append("<Schema id=\"sensors\">\n");
    for (const SensorInfo& s : kSensorTable) {
        if (!channels->Has(s.sensor)) continue;
        out.Append("<gx:SimpleArrayField name=\"");
        out.Append(kArrayNames[static_cast<int>(s.sensor)]);
        out.Append("\" type=\"float\"><displayName>");
        out.Append(s.name);
        out.Append("</displayName></gx:SimpleArrayField>\n");
    }
    out.Append("</Schema>\n");
}

// One segment, entries [first, end), as a gx:Track: the times, the positions
// and the channels' arrays.
void AppendGxTrack(TextBuffer& out, const ExportEntry* entries, uint32_t first, uint32_t end, bool anyAltitude,
                   const SensorChannels* sensors) {
    out.Append("<gx:Track>\n");
    if (anyAltitude) out.Append("<altitudeMode>absolute</altitudeMode>\n");
    for (uint32_t i = first; i < end; ++i) {
        out.Append("<when>");
        AppendIsoTime(out, PointMilliseconds(*entries[i].point));
        out.Append("</when>\n");
    }
    for (uint32_t i = first; i < end; ++i) {
        out.Append("<gx:coord>");
        AppendPosition(out, entries[i], ' ', sensors);
        out.Append("</gx:coord>\n");
    }
    const SensorChannels* channels = PresentChannels(sensors);
    if (channels) {
        out.Append("<ExtendedData>\n<SchemaData schemaUrl=\"#sensors\">\n");
        for (const SensorInfo& s : kSensorTable) {
            if (!channels->Has(s.sensor)) continue;
            out.Append("<gx:SimpleArrayData name=\"");
            out.Append(kArrayNames[static_cast<int>(s.sensor)]);
            out.Append("\">\n");
            for (uint32_t i = first; i < end; ++i) {
                const float value = channels->Value(s.sensor, entries[i].index);
                if (IsSensorValue(value)) {
                    out.Append("<gx:value>");
                    AppendSensorCell(out, value);
                    out.Append("</gx:value>\n");
                } else {
                    out.Append("<gx:value/>\n");
                }
            }
            out.Append("</gx:SimpleArrayData>\n");
        }
        out.Append("</SchemaData>\n</ExtendedData>\n");
    }
    out.Append("</gx:Track>\n");
}

// One segment as a line string, for a track with undated points.
void AppendLine(TextBuffer& out, const ExportEntry* entries, uint32_t first, uint32_t end, bool anyAltitude,
                const SensorChannels* sensors) {
    out.Append("<LineString>\n");
    if (anyAltitude) out.Append("<altitudeMode>absolute</altitudeMode>\n");
    out.Append("<coordinates>\n");
    for (uint32_t i = first; i < end; ++i) {
        AppendPosition(out, entries[i], ',', sensors);
        out.Append('\n');
    }
    out.Append("</coordinates>\n</LineString>\n");
}

// Each track a placemark, each segment a gx:Track (or a line string).
void AppendTracks(TextBuffer& out, const ExportEntry* entries, uint32_t count, const SensorChannels* sensors) {
    const TrackDocument* doc = sensors ? &sensors->document : nullptr;
    bool anyAltitude = false;
    for (uint32_t i = 0; i < count && !anyAltitude; ++i) anyAltitude = HasAltitude(entries[i], sensors);
    // Where each segment begins, and whether a track begins there too.
    std::vector<uint32_t> starts;
    std::vector<bool> trackStarts;
    SegmentWalker walker(doc);
    for (uint32_t i = 0; i < count; ++i) {
        const bool next = walker.Next(entries[i].index);
        if (i == 0 || next) {
            starts.push_back(i);
            trackStarts.push_back(i == 0 || walker.NewTrack());
        }
    }
    starts.push_back(count);
    std::vector<uint32_t> trackOf;  // the document's track of each segment
    walker = SegmentWalker(doc);
    for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
        walker.Next(entries[starts[k]].index);
        trackOf.push_back(walker.Track());
    }
    for (std::size_t a = 0; a + 1 < starts.size();) {
        std::size_t b = a + 1;
        while (b + 1 < starts.size() && !trackStarts[b]) ++b;
        bool dated = true;
        for (uint32_t i = starts[a]; i < starts[b] && dated; ++i) dated = Dated(entries[i], sensors);
        out.Append("<Placemark>\n");
        const std::string& name = doc ? doc->TrackName(trackOf[a]) : std::string();
        if (!name.empty()) {
            out.Append("<name>");
            AppendXmlText(out, name);
            out.Append("</name>\n");
        }
        const bool several = b - a > 1;
        if (several) out.Append(dated ? "<gx:MultiTrack>\n" : "<MultiGeometry>\n");
        for (std::size_t k = a; k < b; ++k) {
            if (dated) AppendGxTrack(out, entries, starts[k], starts[k + 1], anyAltitude, sensors);
            else AppendLine(out, entries, starts[k], starts[k + 1], anyAltitude, sensors);
        }
        if (several) out.Append(dated ? "</gx:MultiTrack>\n" : "</MultiGeometry>\n");
        out.Append("</Placemark>\n");
        a = b;
    }
}

// The member's date: the writer's clock, stamped as its UTC calendar fields
// whatever the zone the archive is written in (libzip stores the local time
// of what it is given).
time_t MemberTime() {
    const UtcDateTime t = CurrentUtcDateTime();
    std::tm fields{};
    fields.tm_year = t.year - 1900;
    fields.tm_mon = t.month - 1;
    fields.tm_mday = t.day;
    fields.tm_hour = t.hour;
    fields.tm_min = t.minute;
    fields.tm_sec = t.second;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

// Zips `kml` as the archive's `doc.kml` in memory and hands the archive's
// bytes to `file`; false on any failure.
bool ZipInto(OutputFile& file, const TextBuffer& kml) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* sink = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_error_fini(&error);
    if (!sink) return false;
    zip_error_init(&error);
    zip_t* archive = zip_open_from_source(sink, ZIP_TRUNCATE, &error);
    zip_error_fini(&error);
    if (!archive) {
        zip_source_free(sink);
        return false;
    }
    zip_source_keep(sink);  // the archive's bytes outlive the archive
    bool done = false;
    if (zip_source_t* member = zip_source_buffer(archive, kml.data(), kml.size(), 0)) {
        const zip_int64_t index = zip_file_add(archive, "doc.kml", member, 0);
        if (index < 0) {
            zip_source_free(member);
        } else {
            const auto i = static_cast<zip_uint64_t>(index);
            done = zip_set_file_compression(archive, i, ZIP_CM_DEFLATE, 9) == 0 &&
                   zip_file_set_mtime(archive, i, MemberTime(), 0) == 0;
        }
    }
    if (!done || zip_close(archive) != 0) {
        zip_discard(archive);
        zip_source_free(sink);
        return false;
    }
    bool copied = zip_source_open(sink) == 0;
    if (copied) {
        for (;;) {
            char* chunk = file.Buffer().Reserve(1 << 16);
            const zip_int64_t n = zip_source_read(sink, chunk, 1 << 16);
            if (n <= 0) {
                copied = n == 0;
                break;
            }
            file.Buffer().Advance(static_cast<std::size_t>(n));
            }
        zip_source_close(sink);
    }
    zip_source_free(sink);
    return copied;
}

}  // namespace

ReadStatus ReadKmzFile(const std::string& path, TrackPointArray& points, uint32_t& count,
                       SensorChannels* sensors) {
    points.reset();
    count = 0;
    if (sensors) sensors->Clear();
    // Only regular files are archives.
    std::size_t size = 0;
    const int fd = OpenTrackFile(path, size);
    if (fd < 0) return ReadStatus::kCannotOpen;
    const ReadStatus status = ReadArchive(fd, static_cast<off_t>(size), points, count, sensors);
    if (status != ReadStatus::kOk) {
        points.reset();
        count = 0;
        if (sensors) sensors->Clear();
    }
    return status;
}

int WriteKmzFile(const std::string& path, const ExportEntry* entries, uint32_t count, uint32_t /*options*/,
                 const SensorChannels* sensors) {
    const TrackDocument* doc = sensors ? &sensors->document : nullptr;
    const bool places = doc && !doc->waypoints.empty();
    if (count == 0 && !places) return 1;
    // The document is gathered in memory and zipped into the output file,
    // which takes the place of the target only once complete.
    OutputFile file;
    if (!file.Create(path)) return 1;
    TextBuffer kml;
    kml.Append(kKmzHead);
    kml.Append("<name>");
    AppendXmlText(kml, FileTitle(path));
    kml.Append("</name>\n");
    if (count > 0) {
        AppendSchema(kml, PresentChannels(sensors));
        AppendTracks(kml, entries, count, sensors);
    }
    if (places)
        for (const Waypoint& w : doc->waypoints) AppendKmlWaypoint(kml, w, true, "\n");
    kml.Append("</Document>\n</kml>\n");
    return ZipInto(file, kml) && file.Commit() ? 0 : 1;
}

}  // namespace ferolin
