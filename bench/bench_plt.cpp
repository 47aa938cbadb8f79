// Writes and reads a generated million-point track as a native .frn file, an
// OziExplorer PLT file and a PCX5 track, and prints the time of each step and
// the peak memory: ferolin_bench_plt [POINTS] [FOLDER]. The .frn load is set
// against copying the file's bytes into memory, the least a load must do.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/format_table.h"
#include "core/track_point.h"
#include "formats/native.h"
#include "formats/ozi_plt.h"
#include "formats/pcx5.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor time of the process (user and system), to tell the work done from
// waiting on a machine shared with other jobs.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

struct Timing {
    double wall = 1e9;
    double cpu = 1e9;
};

// Reference pass: the whole file read into one heap block, allocated the way
// the readers allocate their arrays (huge pages advised for large blocks).
size_t CopyIntoMemory(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    struct stat info;
    fstat(fd, &info);
    const size_t size = static_cast<size_t>(info.st_size);
    std::unique_ptr<char[], void (*)(char*)>
        block(static_cast<char*>(std::malloc(size ? size : 1)), [](char* p) { std::free(p); });
    if (size >= (4u << 20)) {
        const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        const uintptr_t begin = (reinterpret_cast<uintptr_t>(block.get()) + page - 1) & ~(page - 1);
        const uintptr_t end = (reinterpret_cast<uintptr_t>(block.get()) + size) & ~(page - 1);
        if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd, block.get() + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    volatile char sink = size ? block[size - 1] : 0;
    (void)sink;
    return done;
}

// A walk of one point a second with varying altitude, all fields set.
ferolin::TrackPointArray MakeTrack(uint32_t n) {
    ferolin::TrackPointArray points = ferolin::AllocateTrackPoints(n);
    for (uint32_t i = 0; i < n && points; ++i) {
        ferolin::TrackPoint& p = points[i];
        const uint32_t t = i;
        p.record = static_cast<int32_t>(i + 1);
        p.year = 2007;
        p.month = static_cast<int8_t>(1 + t / 86400 / 28 % 12);
        p.day = static_cast<int8_t>(1 + t / 86400 % 28);
        p.hour = static_cast<int8_t>(t / 3600 % 24);
        p.minute = static_cast<int8_t>(t / 60 % 60);
        p.seconds = static_cast<float>(t % 60) + 0.25f;
        p.latitude = 45.0 + i * 1e-6;
        p.longitude = -1.5 + i * 1.3e-6;
        p.altitude = static_cast<float>(200 + (i % 1000) * 0.7);
        p.pdop = 1.5f;
        p.hdop = 0.9f;
        p.vdop = 1.2f;
        p.speed = 4.5f;
        p.direction = static_cast<float>(i % 360);
        p.satellites = 8;
    }
    return points;
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t n = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10))
                                : 1000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string frn = folder + "/ferolin_bench_plt.frn";
    const std::string plt = folder + "/ferolin_bench_plt.plt";
    const std::string trk = folder + "/ferolin_bench_plt.trk";

    ferolin::TrackPointArray track = MakeTrack(n);
    if (!track) return 1;
    std::vector<ferolin::ExportEntry> entries(n);
    for (uint32_t i = 0; i < n; ++i) entries[i] = {&track[i], track[i].altitude};

    bool ok = true;
    auto timeWrite = [&](ferolin::WriterFn write, const std::string& path) {
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = CpuSeconds();
        ok = write(path, entries.data(), n, 0xFFFFFFFFu) == 0 && ok;
        return Timing{Seconds(t0), CpuSeconds() - c0};
    };
    auto timeRead = [&](ferolin::ReaderFn read, const std::string& path) {
        ferolin::TrackPointArray points;
        uint32_t count = 0;
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = CpuSeconds();
        ok = read(path, points, count) == 0 && count == n && ok;
        return Timing{Seconds(t0), CpuSeconds() - c0};
    };
    auto best = [](Timing a, Timing b) {
        return Timing{std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)};
    };

    // Every step is timed three times and the best run kept, with a warm
    // page cache.
    Timing writeFrn, writePlt, writeTrk, copy, loadFrn, readPlt, readTrk;
    size_t frnBytes = 0;
    for (int round = 0; round < 3; ++round) {
        writeFrn = best(writeFrn, timeWrite(ferolin::WriteNativeTrack, frn));
        writePlt = best(writePlt, timeWrite(ferolin::WriteOziTrack, plt));
        writeTrk = best(writeTrk, timeWrite(ferolin::WritePcx5Track, trk));
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = CpuSeconds();
        frnBytes = CopyIntoMemory(frn);
        copy = best(copy, Timing{Seconds(t0), CpuSeconds() - c0});
        loadFrn = best(loadFrn, timeRead(ferolin::ReadNativeTrack, frn));
        readPlt = best(readPlt, timeRead(ferolin::ReadOziTrack, plt));
        readTrk = best(readTrk, timeRead(ferolin::ReadPcx5Track, trk));
    }

    struct stat pltInfo{}, trkInfo{};
    stat(plt.c_str(), &pltInfo);
    stat(trk.c_str(), &trkInfo);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto line = [](const char* label, Timing t, const char* note) {
        std::printf("%-17s %.3f s  (cpu %.3f s)%s\n", label, t.wall, t.cpu, note);
    };
    std::printf("points            %u (best of 3 runs)\n", n);
    std::printf("frn size          %.1f MB\n", frnBytes / 1e6);
    line("write frn", writeFrn, "");
    line("copy frn bytes", copy, " reference");
    line("read frn", loadFrn, "");
    std::printf("read / copy       %.2f\n", loadFrn.wall / copy.wall);
    std::printf("plt size          %.1f MB\n", pltInfo.st_size / 1e6);
    line("write plt", writePlt, "");
    line("read plt", readPlt, "");
    std::printf("pcx5 size         %.1f MB\n", trkInfo.st_size / 1e6);
    line("write pcx5", writeTrk, "");
    line("read pcx5", readTrk, "");
    std::printf("peak memory       %.1f MiB\n", usage.ru_maxrss / 1024.0);
    if (std::getenv("FEROLIN_BENCH_KEEP")) return ok ? 0 : 1;
    std::remove(frn.c_str());
    std::remove(plt.c_str());
    std::remove(trk.c_str());
    if (!ok) std::fprintf(stderr, "a read or write failed\n");
    return ok ? 0 : 1;
}
