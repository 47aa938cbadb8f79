// Reads a generated million-point GPX file and writes it as KML; prints the
// time of each step beside expat's own bare parse of the same file and the
// peak memory. Where gpsbabel is installed it also converts a 100-thousand-
// point GPX to KML with it and with Ferolin, and prints the ratio.
//   ferolin_bench_xml [POINTS] [FOLDER]
#include <expat.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/driver.h"
#include "core/format_table.h"
#include "core/output_file.h"
#include "core/text_format.h"

namespace {

class QuietHost : public ferolin::DriverHost {
public:
    void ShowMessage(const std::string& path, int id, ferolin::MessageIcon) override {
        std::fprintf(stderr, "%s: message %d\n", path.c_str(), id);
        failed = true;
    }
    bool failed = false;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor time of the process so far: on a machine shared with other work
// it shows the cost of a step apart from the waiting.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// A GPX 1.1 track as phones and sports watches write it: indented, with the
// speed and course in a namespaced extension block (about 350 bytes a point).
bool WriteSampleGpx(const std::string& path, uint32_t points) {
    ferolin::OutputFile file;
    if (!file.Create(path)) return false;
    ferolin::TextBuffer& out = file.Buffer();
    out.Append(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"ferolin_bench_xml\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n"
        " <trk>\n  <name>Bench</name>\n  <trkseg>\n");
    double lat = 45.0, lon = 6.0;
    for (uint32_t i = 0; i < points; ++i) {
        const double heading = 0.001 * i;
        lat += 0.00002 * std::cos(heading);
        lon += 0.00003 * std::sin(heading);
        const uint32_t t = i;  // one point a second from 2007-03-09 00:00:00
        out.Append("   <trkpt lat=\"");
        ferolin::AppendFixed(out, lat, 8);
        out.Append("\" lon=\"");
        ferolin::AppendFixed(out, lon, 8);
        out.Append("\">\n    <ele>");
        ferolin::AppendFixed(out, 800 + 300 * std::sin(0.0001 * i), 2);
        out.Append("</ele>\n    <time>2007-03-");
        ferolin::AppendInt(out, 9 + t / 86400, 2);
        out.Append('T');
        ferolin::AppendInt(out, t / 3600 % 24, 2);
        out.Append(':');
        ferolin::AppendInt(out, t / 60 % 60, 2);
        out.Append(':');
        ferolin::AppendInt(out, t % 60, 2);
        out.Append(".000Z</time>\n    <sat>");
        ferolin::AppendInt(out, 4 + i % 9);
        out.Append("</sat>\n    <hdop>1.2</hdop>\n    <extensions>\n"
                   "     <gpxtpx:TrackPointExtension>\n      <gpxtpx:speed>");
        ferolin::AppendFixed(out, 3 + std::fmod(0.01 * i, 4.0), 2);
        out.Append("</gpxtpx:speed>\n      <gpxtpx:course>");
        ferolin::AppendFixed(out, std::fmod(0.057 * i, 360.0), 1);
        out.Append("</gpxtpx:course>\n     </gpxtpx:TrackPointExtension>\n"
                   "    </extensions>\n   </trkpt>\n");
        file.Flush();
    }
    out.Append("  </trkseg>\n </trk>\n</gpx>\n");
    return file.Commit();
}

// Reference pass: expat over the same file, the same way and with the same
// namespace processing, with nothing but an element counter as handler.
void XMLCALL CountElement(void* data, const XML_Char*, const XML_Char**) {
    ++*static_cast<size_t*>(data);
}

bool BareParse(const std::string& path, size_t& elements) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    XML_Parser parser = XML_ParserCreateNS(nullptr, '\x01');
    XML_SetReturnNSTriplet(parser, XML_TRUE);
    XML_SetUserData(parser, &elements);
    XML_SetStartElementHandler(parser, CountElement);
    constexpr int kChunk = 1 << 18;
    bool ok = true;
    for (;;) {
        void* buffer = XML_GetBuffer(parser, kChunk);
        const ssize_t n = buffer ? read(fd, buffer, kChunk) : -1;
        if (n < 0 || XML_ParseBuffer(parser, static_cast<int>(n), n == 0) != XML_STATUS_OK) {
            ok = false;
            break;
        }
        if (n == 0) break;
    }
    XML_ParserFree(parser);
    close(fd);
    return ok;
}

double FileMiB(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? info.st_size / 1048576.0 : 0;
}

bool HasGpsbabel() { return std::system("command -v gpsbabel >/dev/null 2>&1") == 0; }

}  // namespace

int main(int argc, char** argv) {
    const uint32_t points = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10))
                                     : 1000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string input = folder + "/ferolin_bench_xml.gpx";
    const std::string output = folder + "/ferolin_bench_xml.kml";
    const int kmlRow = ferolin::FindWriterRow("kml");

    auto t0 = std::chrono::steady_clock::now();
    if (!WriteSampleGpx(input, points)) {
        std::fprintf(stderr, "cannot write %s\n", input.c_str());
        return 1;
    }
    const double generate = Seconds(t0);

    size_t elements = 0;
    t0 = std::chrono::steady_clock::now();
    double c0 = CpuSeconds();
    const bool parsed = BareParse(input, elements);
    const double bare = Seconds(t0);
    const double bareCpu = CpuSeconds() - c0;

    QuietHost host;
    ferolin::CurrentTrack track;
    t0 = std::chrono::steady_clock::now();
    c0 = CpuSeconds();
    const int loaded = ferolin::LoadTrack(track, input, host);
    const double load = Seconds(t0);
    const double loadCpu = CpuSeconds() - c0;

    t0 = std::chrono::steady_clock::now();
    c0 = CpuSeconds();
    const int exported = loaded == 0 ? ferolin::ExportToFile(track, output, kmlRow, host) : 1;
    const double write = Seconds(t0);
    const double writeCpu = CpuSeconds() - c0;
    const double kmlSize = FileMiB(output);
    const uint32_t count = track.count;
    track.Reset();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("points              %u\n", count);
    std::printf("gpx file            %.1f MiB, %.0f MB (generated in %.3f s)\n", FileMiB(input),
                FileMiB(input) * 1.048576, generate);
    std::printf("                    wall      cpu\n");
    std::printf("bare expat parse    %.3f s  %.3f s (%zu elements; reference)\n", bare, bareCpu,
                elements);
    std::printf("read gpx            %.3f s  %.3f s\n", load, loadCpu);
    std::printf("write kml           %.3f s  %.3f s (%.1f MiB, every option)\n", write, writeCpu,
                kmlSize);
    std::printf("read / bare parse   %.2f     %.2f\n", load / bare, loadCpu / bareCpu);
    std::printf("peak memory         %.1f MiB\n", usage.ru_maxrss / 1024.0);
    std::remove(output.c_str());
    bool ok = parsed && loaded == 0 && exported == 0 && !host.failed;

    // The same conversion of 100 000 points by gpsbabel and by Ferolin.
    if (HasGpsbabel()) {
        const uint32_t small = points < 100000 ? points : 100000;
        const std::string smallInput = folder + "/ferolin_bench_xml_100k.gpx";
        const std::string smallOutput = folder + "/ferolin_bench_xml_100k.kml";
        const std::string babelOutput = folder + "/ferolin_bench_xml_100k_gpsbabel.kml";
        ok = ok && WriteSampleGpx(smallInput, small);
        t0 = std::chrono::steady_clock::now();
        c0 = CpuSeconds();
        const int smallLoaded = ferolin::LoadTrack(track, smallInput, host);
        const int smallExported =
            smallLoaded == 0 ? ferolin::ExportToFile(track, smallOutput, kmlRow, host) : 1;
        const double ours = Seconds(t0);
        const double oursCpu = CpuSeconds() - c0;
        track.Reset();
        const std::string command = "gpsbabel -i gpx -f '" + smallInput + "' -o kml -F '" +
                                    babelOutput + "'";
        rusage before{}, after{};
        getrusage(RUSAGE_CHILDREN, &before);
        t0 = std::chrono::steady_clock::now();
        const int babel = std::system(command.c_str());
        const double theirs = Seconds(t0);
        getrusage(RUSAGE_CHILDREN, &after);
        const auto cpu = [](const rusage& u) {
            return u.ru_utime.tv_sec + u.ru_stime.tv_sec +
                   (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
        };
        const double theirsCpu = cpu(after) - cpu(before);
        std::printf("gpx to kml, %u points (wall, cpu):\n", small);
        std::printf("  ferolin           %.3f s  %.3f s\n", ours, oursCpu);
        std::printf("  gpsbabel          %.3f s  %.3f s\n", theirs, theirsCpu);
        std::printf("  gpsbabel/ferolin  %.1f     %.1f\n", theirs / ours, theirsCpu / oursCpu);
        ok = ok && smallLoaded == 0 && smallExported == 0 && babel == 0;
        std::remove(smallInput.c_str());
        std::remove(smallOutput.c_str());
        std::remove(babelOutput.c_str());
    } else {
        std::printf("gpsbabel not installed: no comparison\n");
    }
    std::remove(input.c_str());
    return ok ? 0 : 1;
}
