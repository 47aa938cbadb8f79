// Reads and writes a generated million-point NMEA trace (GSA, GGA and RMC
// every second) and the same track as a Magellan SD log, next to a bare line
// scan of each file: ferolin_bench_nmea [POINTS] [FOLDER].
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/track_point.h"
#include "formats/magellan.h"
#include "formats/nmea.h"
#include "formats/nmea_sentences.h"

namespace {

// Reference pass: reads the file in large blocks and counts its lines, the
// least any line-oriented reader has to do.
size_t CountLines(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    std::unique_ptr<char[]> block(new char[1 << 16]);
    size_t lines = 0;
    ssize_t n;
    while ((n = read(fd, block.get(), 1 << 16)) > 0)
        for (const char* p = block.get(); (p = static_cast<const char*>(
                                               std::memchr(p, '\n', block.get() + n - p)));
             ++p)
            ++lines;
    close(fd);
    return lines;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long FileSize(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return size;
}

// A drive of `count` points, one a second from 1 March 2007 on, wandering
// over southern France with changing speed, course and dilutions.
std::vector<ferolin::TrackPoint> MakeTrack(uint32_t count) {
    std::vector<ferolin::TrackPoint> points(count);
    double latitude = 43.6, longitude = 1.44;
    for (uint32_t i = 0; i < count; ++i) {
        ferolin::TrackPoint& p = points[i];
        const uint32_t t = i;
        p.record = static_cast<int32_t>(i + 1);
        p.day = static_cast<int8_t>(1 + t / 86400 % 28);
        p.month = static_cast<int8_t>(3 + t / (86400 * 28) % 9);
        p.year = 2007;
        p.hour = static_cast<int8_t>(t / 3600 % 24);
        p.minute = static_cast<int8_t>(t / 60 % 60);
        p.seconds = static_cast<float>(t % 60) + 0.25f;
        const double course = std::fmod(i * 0.37, 360.0);
        latitude += 1e-4 * std::cos(course * M_PI / 180);
        longitude += 1e-4 * std::sin(course * M_PI / 180);
        p.latitude = latitude;
        p.longitude = longitude;
        p.altitude = static_cast<float>(150 + 100 * std::sin(i * 1e-3));
        p.pdop = 1.0f + static_cast<float>(i % 17) / 10;
        p.hdop = 0.8f + static_cast<float>(i % 11) / 10;
        p.vdop = 1.1f + static_cast<float>(i % 13) / 10;
        p.speed = static_cast<float>(40 + 30 * std::sin(i * 1e-2));
        p.direction = static_cast<float>(course);
        p.satellites = static_cast<int8_t>(4 + i % 9);
    }
    return points;
}

std::vector<ferolin::ExportEntry> Entries(const ferolin::TrackPoint* points, uint32_t count) {
    std::vector<ferolin::ExportEntry> entries(count);
    for (uint32_t i = 0; i < count; ++i) entries[i] = {&points[i], points[i].altitude};
    return entries;
}

constexpr int kRounds = 3;

struct Case {
    double write = 0, scan = 0, read = 0, writeBack = 0;
    size_t lines = 0;
    uint32_t read_count = 0;
    long size = 0;
    bool ok = false;
};

template <typename Reader, typename Writer>
Case Run(const std::string& input, const std::string& output,
         const std::vector<ferolin::ExportEntry>& entries, Reader reader, Writer writer) {
    Case c;
    const uint32_t count = static_cast<uint32_t>(entries.size());
    auto t0 = std::chrono::steady_clock::now();
    if (writer(input, entries.data(), count) != 0) return c;
    c.write = Seconds(t0);
    c.size = FileSize(input);

    // Each timed step runs three times and keeps its best time, so that the
    // ratio compares the two passes under the same conditions.
    ferolin::TrackPointArray points;
    c.scan = c.read = c.writeBack = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        t0 = std::chrono::steady_clock::now();
        c.lines = CountLines(input);
        c.scan = std::min(c.scan, Seconds(t0));

        points.reset();
        t0 = std::chrono::steady_clock::now();
        const int status = reader(input, points, c.read_count);
        c.read = std::min(c.read, Seconds(t0));
        if (status != 0 || c.read_count != count) return c;
    }

    const auto back = Entries(points.get(), c.read_count);
    int written = 0;
    for (int round = 0; round < kRounds; ++round) {
        t0 = std::chrono::steady_clock::now();
        written |= writer(output, back.data(), c.read_count);
        c.writeBack = std::min(c.writeBack, Seconds(t0));
    }
    c.ok = written == 0;
    std::remove(input.c_str());
    std::remove(output.c_str());
    return c;
}

void Print(const char* name, const Case& c) {
    std::printf("%s file          %.1f MB, %zu lines\n", name, c.size / 1e6, c.lines);
    std::printf("%s write         %.3f s (from the generated points)\n", name, c.write);
    std::printf("%s scan lines    %.3f s (reference, best of %d)\n", name, c.scan, kRounds);
    std::printf("%s read          %.3f s (%u points, best of %d)\n", name, c.read, c.read_count,
                kRounds);
    std::printf("%s write back    %.3f s (best of %d)\n", name, c.writeBack, kRounds);
    std::printf("%s read / scan   %.2f\n", name, c.read / c.scan);
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t count = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10))
                                    : 1000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";

    const std::vector<ferolin::TrackPoint> track = MakeTrack(count);
    const auto entries = Entries(track.data(), count);
    const uint32_t sentences = ferolin::kNmeaGsa | ferolin::kNmeaGga | ferolin::kNmeaRmc;

    const Case nmea = Run(
        folder + "/ferolin_bench.nmea", folder + "/ferolin_bench_back.nmea", entries,
        ferolin::ReadNmeaLog,
        [sentences](const std::string& path, const ferolin::ExportEntry* e, uint32_t n) {
            return ferolin::WriteNmeaFile(path, e, n, sentences);
        });
    const Case magellan = Run(
        folder + "/ferolin_bench.upt", folder + "/ferolin_bench_back.upt", entries,
        ferolin::ReadMagellanLog,
        [](const std::string& path, const ferolin::ExportEntry* e, uint32_t n) {
            return ferolin::WriteMagellanLog(path, e, n, 0);
        });

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("points            %u\n", count);
    Print("nmea    ", nmea);
    Print("magellan", magellan);
    std::printf("peak memory       %.1f MiB\n", usage.ru_maxrss / 1024.0);
    if (!nmea.ok || !magellan.ok) {
        std::fprintf(stderr, "a conversion failed\n");
        return 1;
    }
    return 0;
}
