// Converts a generated datalog to a text table with statistics and prints the
// time of each step and the peak memory: ferolin_bench [POINTS] [FOLDER].
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "core/driver.h"
#include "core/format_table.h"
#include "datalog_generator.h"

namespace {

class QuietHost : public ferolin::DriverHost {
public:
    void ShowMessage(const std::string& path, int id, ferolin::MessageIcon) override {
        std::fprintf(stderr, "%s: message %d\n", path.c_str(), id);
        failed = true;
    }
    bool failed = false;
};

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

}  // namespace

int main(int argc, char** argv) {
    const uint32_t points = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10))
                                     : 1000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string input = folder + "/ferolin_bench.log";
    const std::string output = folder + "/ferolin_bench.txt";

    auto t0 = std::chrono::steady_clock::now();
    if (!ferolin_tools::WriteSampleDatalog(input, points, 1)) {
        std::fprintf(stderr, "cannot write %s\n", input.c_str());
        return 1;
    }
    const double generate = Seconds(t0);

    t0 = std::chrono::steady_clock::now();
    const size_t lines = CountLines(input);
    const double scan = Seconds(t0);

    QuietHost host;
    ferolin::CurrentTrack track;
    t0 = std::chrono::steady_clock::now();
    const int loaded = ferolin::LoadTrack(track, input, host);
    const double load = Seconds(t0);

    t0 = std::chrono::steady_clock::now();
    const int exported =
        loaded == 0 ? ferolin::ExportToFile(track, output, ferolin::FindWriterRow("txt"), host) : 1;
    const double write = Seconds(t0);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("points            %u\n", track.count);
    std::printf("generate datalog  %.3f s\n", generate);
    std::printf("scan lines        %.3f s (%zu lines; reference)\n", scan, lines);
    std::printf("read datalog      %.3f s\n", load);
    std::printf("write txt         %.3f s\n", write);
    std::printf("read + write      %.3f s\n", load + write);
    std::printf("read / scan       %.2f\n", load / scan);
    std::printf("peak memory       %.1f MiB\n", usage.ru_maxrss / 1024.0);
    std::printf("record size       %zu bytes, array %.1f MiB\n", sizeof(ferolin::TrackPoint),
                track.count * sizeof(ferolin::TrackPoint) / 1048576.0);
    std::remove(input.c_str());
    std::remove(output.c_str());
    return (loaded == 0 && exported == 0 && !host.failed) ? 0 : 1;
}
