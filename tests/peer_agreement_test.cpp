// Documents against a peer: a file of every reader that keeps structure,
// converted to GPX by Ferolin and by gpsbabel, must give the same numbers of
// waypoints, routes, route points, tracks, segments and track points, the
// same names, and the same first and last time of each segment to the
// millisecond. Round trips through the formats that hold a document keep it.
#include <gtest/gtest.h>

#include <expat.h>
#include <sys/stat.h>

#include <charconv>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "convert/driver.h"
#include "core/paths.h"
#include "formats/format_table.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

// What a GPX holds, as counted here: names and segment times in file order.
struct GpxSummary {
    int waypoints = 0, routes = 0, routePoints = 0, tracks = 0, segments = 0, points = 0;
    std::vector<std::string> names;       // "wpt:NAME", "rte:NAME", "trk:NAME"
    std::vector<double> segmentTimes;     // first and last time of each segment (-1: none)
    bool ok = false;

    bool operator==(const GpxSummary&) const = default;
};

// "2024-05-01T08:00:00.250Z" or with an offset "+02:00"; NaN otherwise.
double IsoSeconds(const std::string& text) {
    std::tm tm{};
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour, &tm.tm_min,
                    &consumed) != 5)
        return std::nan("");
    double seconds = 0;  // whatever the locale's decimal separator
    const auto parsed = std::from_chars(text.data() + consumed, text.data() + text.size(), seconds);
    if (parsed.ec != std::errc()) return std::nan("");
    const char* end = parsed.ptr;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    double zone = 0;
    if (*end == '+' || *end == '-') {
        int h = 0, m = 0;
        if (std::sscanf(end + 1, "%d:%d", &h, &m) < 1) return std::nan("");
        zone = (*end == '-' ? -1 : 1) * (h * 3600.0 + m * 60.0);
    }
    return static_cast<double>(timegm(&tm)) + seconds - zone;
}

struct Counter {
    GpxSummary summary;
    std::vector<std::string> path;  // open elements
    std::string text;
    double first = std::nan(""), last = std::nan("");
};

std::string Local(const char* name) {
    const std::string n = name;
    const std::size_t cut = n.find_last_of(" :");
    return cut == std::string::npos ? n : n.substr(cut + 1);
}

void XMLCALL Start(void* data, const char* name, const char**) {
    auto* c = static_cast<Counter*>(data);
    const std::string local = Local(name);
    GpxSummary& s = c->summary;
    if (local == "wpt") ++s.waypoints;
    if (local == "rte") ++s.routes;
    if (local == "rtept") ++s.routePoints;
    if (local == "trk") ++s.tracks;
    if (local == "trkpt") ++s.points;
    if (local == "trkseg") {
        ++s.segments;
        c->first = c->last = std::nan("");
    }
    c->path.push_back(local);
    c->text.clear();
}

void XMLCALL End(void* data, const char*) {
    auto* c = static_cast<Counter*>(data);
    const std::string local = c->path.back();
    c->path.pop_back();
    const std::string parent = c->path.empty() ? "" : c->path.back();
    if (local == "name" && (parent == "wpt" || parent == "rte" || parent == "trk"))
        c->summary.names.push_back(parent + ":" + c->text);
    if (local == "time" && parent == "trkpt") {
        const double t = IsoSeconds(c->text);
        if (std::isnan(c->first)) c->first = t;
        c->last = t;
    }
    if (local == "trkseg") {
        // Rounded to the millisecond, as both programs write them.
        for (double t : {c->first, c->last})
            c->summary.segmentTimes.push_back(std::isnan(t) ? -1.0 : std::round(t * 1000.0) / 1000.0);
    }
    c->text.clear();
}

void XMLCALL Text(void* data, const char* s, int n) { static_cast<Counter*>(data)->text.append(s, n); }

GpxSummary Summarise(const std::string& gpx) {
    Counter counter;
    XML_Parser parser = XML_ParserCreateNS(nullptr, ' ');
    XML_SetUserData(parser, &counter);
    XML_SetElementHandler(parser, Start, End);
    XML_SetCharacterDataHandler(parser, Text);
    counter.summary.ok = XML_Parse(parser, gpx.data(), static_cast<int>(gpx.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return counter.summary;
}

std::string Describe(const GpxSummary& s) {
    std::string text = "wpt " + std::to_string(s.waypoints) + ", rte " + std::to_string(s.routes) + ", rtept " +
                       std::to_string(s.routePoints) + ", trk " + std::to_string(s.tracks) + ", trkseg " +
                       std::to_string(s.segments) + ", trkpt " + std::to_string(s.points) + "; names:";
    for (const std::string& n : s.names) text += " [" + n + "]";
    text += "; times:";
    for (double t : s.segmentTimes) text += " " + std::to_string(t);
    return text;
}

struct QuietHost : DriverHost {
    void ShowMessage(const std::string&, int, MessageIcon, const std::string& reason) override { said += reason; }
    std::string said;
};

// Converts `input` through Ferolin's reader and the writer of `extension`
// into `output`; the text of the file written.
std::string Convert(const std::string& input, const std::string& output) {
    QuietHost host;
    CurrentTrack track;
    if (LoadTrack(track, input, host) != 0) return "load failed: " + host.said;
    const int row = FindWriterRow(FileExtension(output));
    if (ExportToFile(track, output, row, SelectionCriteria{}, kAllOptions, host) != 0)
        return "export failed: " + host.said;
    return ReadFile(output);
}

// The lines of a case list under tests/data/agreement: words separated by
// blanks; `#` starts a comment.
std::vector<std::vector<std::string>> CaseLines(const std::string& name) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream text(ReadFile(std::string(FEROLIN_TEST_DATA) + "/agreement/" + name));
    std::string line;
    while (std::getline(text, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::vector<std::string> cells;
        for (std::string w; words >> w;) cells.push_back(w);
        if (!cells.empty()) lines.push_back(cells);
    }
    return lines;
}

}  // namespace

// gpsbabel's own reading of each file, written as GPX, against Ferolin's.
TEST(PeerAgreement, GpsbabelFindsTheSameDocument) {
    if (std::system("command -v gpsbabel >/dev/null 2>&1") != 0) GTEST_SKIP() << "gpsbabel is not installed";
    // FILE (under tests/data), gpsbabel's name of its format, then the ways
    // gpsbabel departs from the file (see the case list): "segments", every
    // segment a track of its own; "laps", every lap a waypoint LAPnnn;
    // "id", an activity named by its Id (its start time).
    const auto cases = CaseLines("gpsbabel.cases");
    ASSERT_FALSE(cases.empty());
    TempDir dir;
    for (const auto& c : cases) {
        ASSERT_GE(c.size(), 2u);
        SCOPED_TRACE(c[0]);
        const std::string input = std::string(FEROLIN_TEST_DATA) + "/" + c[0];
        GpxSummary ours = Summarise(Convert(input, dir.File("ours.gpx")));
        // Ferolin names an unnamed track after the file it writes; gpsbabel
        // leaves it unnamed.
        std::erase(ours.names, "trk:ours");
        const std::string command = "gpsbabel -i " + c[1] + " -f '" + input +
                                    "' -o gpx -F '" + dir.File("peer.gpx") + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        GpxSummary peer = Summarise(ReadFile(dir.File("peer.gpx")));
        ASSERT_TRUE(ours.ok && peer.ok);
        // Names no file held: gpsbabel numbers unnamed waypoints and route
        // points and calls an unnamed logger track "ACTIVE LOG".
        std::erase_if(peer.names, [](const std::string& n) {
            return n == "trk:ACTIVE LOG" ||
                   (n.size() == 10 && (n.rfind("wpt:WPT", 0) == 0 || n.rfind("rte:RPT", 0) == 0));
        });
        const auto says = [&](const char* word) { return std::find(c.begin() + 2, c.end(), word) != c.end(); };
        if (says("laps"))
            peer.waypoints -= static_cast<int>(std::erase_if(peer.names, [](const std::string& n) {
                return n.size() == 10 && n.rfind("wpt:LAP", 0) == 0;
            }));
        if (says("id"))
            std::erase_if(peer.names, [](const std::string& n) {
                return n.rfind("trk:", 0) == 0 && !std::isnan(IsoSeconds(n.substr(4)));
            });
        if (says("segments")) {
            // Every segment a track to gpsbabel: only the segments compare.
            peer.tracks = ours.tracks;
            std::erase_if(peer.names, [](const std::string& n) { return n.rfind("trk:", 0) == 0; });
            std::erase_if(ours.names, [](const std::string& n) { return n.rfind("trk:", 0) == 0; });
        }
        EXPECT_EQ(ours, peer) << "ours: " << Describe(ours) << "\npeer: " << Describe(peer);
    }
}

// Through a format and back to GPX: the document stays as it was.
TEST(PeerAgreement, RoundTripsKeepTheDocument) {
    // FILE (under tests/data) and the extensions it goes through; last words
    // "untimed" for a way through a format without times, "noroutes" for
    // one without routes.
    const auto cases = CaseLines("round_trips.cases");
    ASSERT_FALSE(cases.empty());
    TempDir dir;
    for (auto c : cases) {
        const bool noRoutes = c.back() == "noroutes";
        if (noRoutes) c.pop_back();
        const bool untimed = c.back() == "untimed";
        if (untimed) c.pop_back();
        SCOPED_TRACE(c[0] + " through " + c[1]);
        const std::string input = std::string(FEROLIN_TEST_DATA) + "/" + c[0];
        // Every file of the way has one name, in a folder of its own: a
        // writer names an unnamed track after its file.
        auto file = [&](const std::string& step, const std::string& extension) {
            mkdir(dir.File(step).c_str(), 0700);
            return dir.File(step + "/out." + extension);
        };
        GpxSummary direct = Summarise(Convert(input, file("direct", "gpx")));
        std::string from = input;
        for (std::size_t k = 1; k < c.size(); ++k) {
            const std::string to = file("step" + std::to_string(k), c[k]);
            Convert(from, to);
            from = to;
        }
        GpxSummary back = Summarise(Convert(from, file("back", "gpx")));
        ASSERT_TRUE(direct.ok && back.ok);
        if (untimed)
            for (GpxSummary* s : {&direct, &back})
                for (double& t : s->segmentTimes) t = -1;
        if (noRoutes) {
            direct.routes = direct.routePoints = 0;
            std::erase_if(direct.names, [](const std::string& n) { return n.rfind("rte:", 0) == 0; });
        }
        EXPECT_EQ(direct, back) << "direct: " << Describe(direct) << "\nback: " << Describe(back);
    }
}

// GDAL's reading of a GeoJSON file (`ogrinfo -al`): Point features are
// waypoints, each feature with lines a track, each line a segment with the
// first and last of its coordTimes. gpsbabel cannot be asked: it reads every
// LineString as a route.
GpxSummary OgrSummary(const std::string& text) {
    GpxSummary s;
    s.ok = text.find("OGRFeature(") != std::string::npos;
    std::istringstream lines(text);
    std::string line, name, times;
    // Each "[ ... ]" of quoted times gives the first and the last.
    auto timesOf = [&](const std::string& array, std::vector<double>& out) {
        std::vector<double> these;
        for (std::size_t q = array.find('"'); q != std::string::npos; q = array.find('"', q + 1)) {
            const std::size_t end = array.find('"', q + 1);
            these.push_back(std::round(IsoSeconds(array.substr(q + 1, end - q - 1)) * 1000.0) / 1000.0);
            q = end;
        }
        if (!these.empty()) {
            out.push_back(these.front());
            out.push_back(these.back());
        }
    };
    while (std::getline(lines, line)) {
        if (line.rfind("OGRFeature(", 0) == 0) name.clear(), times.clear();
        if (line.rfind("  name (String) = ", 0) == 0) name = line.substr(18);
        if (line.rfind("  coordTimes (", 0) == 0) times = line.substr(line.find('=') + 2);
        if (line.rfind("  POINT", 0) == 0) {
            ++s.waypoints;
            s.names.push_back("wpt:" + name);
        }
        const bool multi = line.rfind("  MULTILINESTRING", 0) == 0;
        if (multi || line.rfind("  LINESTRING", 0) == 0) {
            ++s.tracks;
            s.names.push_back("trk:" + name);
            const std::string body = line.substr(line.find('('));
            int parts = 1;
            for (std::size_t at = body.find("),("); at != std::string::npos; at = body.find("),(", at + 1)) ++parts;
            s.segments += parts;
            s.points += static_cast<int>(std::count(body.begin(), body.end(), ',')) - (parts - 1) + parts;
            if (!multi) {
                timesOf(times, s.segmentTimes);
            } else {
                // [ [ ... ], [ ... ] ]: each inner array a line's.
                for (std::size_t open = times.find('[', 1); open != std::string::npos; open = times.find('[', open + 1)) {
                    const std::size_t close = times.find(']', open);
                    timesOf(times.substr(open, close - open + 1), s.segmentTimes);
                    open = close;
                }
            }
        }
    }
    return s;
}

TEST(PeerAgreement, GdalFindsTheSameGeoJsonDocument) {
    if (std::system("command -v ogrinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "GDAL's ogrinfo is not installed";
    // Names sorted: GPX puts waypoints before tracks, GeoJSON in any order.
    auto sorted = [](GpxSummary s) {
        std::sort(s.names.begin(), s.names.end());
        return s;
    };
    TempDir dir;
    for (const auto& c : CaseLines("ogrinfo.cases")) {
        SCOPED_TRACE(c[0]);
        const std::string input = std::string(FEROLIN_TEST_DATA) + "/" + c[0];
        const GpxSummary ours = sorted(Summarise(Convert(input, dir.File("ours.gpx"))));
        const std::string command = "ogrinfo -ro -al -q '" + input + "' > '" + dir.File("peer.txt") + "' 2>/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const GpxSummary peer = sorted(OgrSummary(ReadFile(dir.File("peer.txt"))));
        ASSERT_TRUE(ours.ok && peer.ok);
        EXPECT_EQ(ours, peer) << "ours: " << Describe(ours) << "\npeer: " << Describe(peer);
    }
}

