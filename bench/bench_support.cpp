#include "bench_support.h"

#include <expat.h>
#include <fcntl.h>
#include <simdjson.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/output_file.h"
#include "formats/fit.h"
#include "core/text_format.h"

extern char** environ;

namespace ferolin_bench {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

uint64_t FileBytes(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

size_t CountLines(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    constexpr size_t kBlock = 1 << 16;
    std::unique_ptr<char[]> block(new char[kBlock]);
    size_t lines = 0;
    ssize_t n;
    while ((n = read(fd, block.get(), kBlock)) > 0) {
        const char* end = block.get() + n;
        for (const char* p = block.get();
             (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p))));
             ++p)
            ++lines;
    }
    close(fd);
    return lines;
}

uint64_t ScanBytes(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    std::unique_ptr<unsigned char[]> block(new unsigned char[1 << 20]);
    uint64_t sum = 0;
    for (;;) {
        const ssize_t n = read(fd, block.get(), 1 << 20);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i) sum += block[i];
    }
    close(fd);
    return sum;
}

bool WriteSampleRide(const std::string& path, uint32_t count) {
    const ferolin::TrackPointArray points = MakeDrive(count);
    if (!points) return false;
    ferolin::SensorChannels sensors;
    float* channels[] = {sensors.Channel(ferolin::Sensor::kHeartRate, count),
                         sensors.Channel(ferolin::Sensor::kCadence, count),
                         sensors.Channel(ferolin::Sensor::kPower, count),
                         sensors.Channel(ferolin::Sensor::kTemperature, count)};
    for (uint32_t i = 0; i < count; ++i) {
        channels[0][i] = static_cast<float>(100 + i % 80);
        channels[1][i] = static_cast<float>(70 + i % 30);
        channels[2][i] = static_cast<float>(120 + i % 250);
        channels[3][i] = static_cast<float>(12 + i % 15);
    }
    const auto entries = AllEntries(points.get(), count);
    return ferolin::WriteFitFile(path, entries.data(), count, ferolin::kAllOptions, &sensors) == 0;
}

size_t CopyIntoMemory(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    const size_t size = FileBytes(path);
    // A point array of the file's size: zeroed, huge pages advised.
    ferolin::TrackPointArray block =
        ferolin::AllocateTrackPoints(size / sizeof(ferolin::TrackPoint) + 1);
    char* bytes = reinterpret_cast<char*>(block.get());
    size_t done = 0;
    while (bytes && done < size) {
        const ssize_t n = read(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    if (done) {
        volatile char sink = bytes[done - 1];
        (void)sink;
    }
    return done;
}

namespace {

void XMLCALL CountElement(void* data, const XML_Char*, const XML_Char**) {
    ++*static_cast<size_t*>(data);
}

}  // namespace

bool BareExpatParse(const std::string& path, size_t& elements) {
    elements = 0;
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

namespace {

// Visits a value and everything inside it.
simdjson::error_code Visit(simdjson::ondemand::value value, size_t& values, double& sum) {
    namespace od = simdjson::ondemand;
    od::json_type type;
    if (simdjson::error_code e = value.type().get(type)) return e;
    ++values;
    switch (type) {
        case od::json_type::array: {
            od::array array;
            if (simdjson::error_code e = value.get_array().get(array)) return e;
            for (auto item : array) {
                od::value v;
                if (simdjson::error_code e = item.get(v)) return e;
                if (simdjson::error_code e = Visit(v, values, sum)) return e;
            }
            return simdjson::SUCCESS;
        }
        case od::json_type::object: {
            od::object object;
            if (simdjson::error_code e = value.get_object().get(object)) return e;
            for (auto field : object) {
                std::string_view key;
                od::value v;
                if (simdjson::error_code e = field.unescaped_key().get(key)) return e;
                if (simdjson::error_code e = field.value().get(v)) return e;
                if (simdjson::error_code e = Visit(v, values, sum)) return e;
            }
            return simdjson::SUCCESS;
        }
        case od::json_type::number: {
            double d = 0;
            simdjson::error_code e = value.get_double().get(d);
            sum += d;
            return e;
        }
        case od::json_type::string: {
            std::string_view text;
            simdjson::error_code e = value.get_string().get(text);
            sum += static_cast<double>(text.size());
            return e;
        }
        case od::json_type::boolean: {
            bool b;
            return value.get_bool().get(b);
        }
        default: {
            bool null;
            return value.is_null().get(null);
        }
    }
}

}  // namespace

bool BareSimdjsonIteration(const std::string& path, size_t& values) {
    values = 0;
    simdjson::padded_string json;
    if (simdjson::padded_string::load(path).get(json)) return false;
    simdjson::ondemand::parser parser;
    simdjson::ondemand::document doc;
    simdjson::ondemand::value root;
    if (parser.iterate(json).get(doc) || doc.get_value().get(root)) return false;
    double sum = 0;
    const bool ok = Visit(root, values, sum) == simdjson::SUCCESS;
    volatile double sink = sum;
    (void)sink;
    return ok;
}

void QuietHost::ShowMessage(const std::string& path, int id, ferolin::MessageIcon,
                            const std::string& /*reason*/) {
    std::fprintf(stderr, "%s: message %d\n", path.c_str(), id);
    failed = true;
}

ferolin::TrackPointArray MakeDrive(uint32_t count) {
    ferolin::TrackPointArray points = ferolin::AllocateTrackPoints(count);
    double latitude = 43.6, longitude = 1.44;
    for (uint32_t i = 0; i < count && points; ++i) {
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

std::vector<ferolin::ExportEntry> AllEntries(const ferolin::TrackPoint* points, uint32_t count) {
    std::vector<ferolin::ExportEntry> entries(count);
    for (uint32_t i = 0; i < count; ++i) entries[i] = {&points[i], points[i].altitude, i};
    return entries;
}

bool WriteSampleGpx(const std::string& path, uint32_t count) {
    ferolin::OutputFile file;
    if (!file.Create(path)) return false;
    ferolin::TextBuffer& out = file.Buffer();
    out.Append(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"ferolin_bench\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n"
        " <trk>\n  <name>Bench</name>\n  <trkseg>\n");
    double lat = 45.0, lon = 6.0;
    for (uint32_t i = 0; i < count; ++i) {
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

namespace {

// Waits for the child and turns its resource usage into a sample.
Sample Collect(pid_t pid, std::chrono::steady_clock::time_point start) {
    Sample sample;
    int status = 0;
    rusage usage{};
    pid_t done;
    while ((done = wait4(pid, &status, 0, &usage)) < 0 && errno == EINTR) {
    }
    sample.wall = Seconds(start);
    if (done != pid) return sample;
    sample.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    sample.peakMB = static_cast<double>(usage.ru_maxrss) * 1024.0 / 1e6;  // KiB on Linux
    sample.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return sample;
}

}  // namespace

Sample RunInChild(const std::function<bool()>& work) {
    // Nothing buffered may be written twice, by the parent and by the child.
    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return Sample{};
    if (pid == 0) {
        const bool ok = work();
        std::fflush(nullptr);
        _exit(ok ? 0 : 1);
    }
    return Collect(pid, start);
}

Sample RunProgram(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return Sample{};
    return Collect(pid, start);
}

bool HasProgram(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t begin = 0;
    while (begin <= folders.size()) {
        size_t end = folders.find(':', begin);
        if (end == std::string::npos) end = folders.size();
        const std::string folder = end > begin ? folders.substr(begin, end - begin) : ".";
        if (access((folder + "/" + program).c_str(), X_OK) == 0) return true;
        begin = end + 1;
    }
    return false;
}

void Best::Add(const Sample& sample) {
    if (runs == 0 || sample.wall < wall) wall = sample.wall;
    if (runs == 0 || sample.cpu < cpu) cpu = sample.cpu;
    peakMB = std::max(peakMB, sample.peakMB);
    ok = ok && sample.ok;
    ++runs;
}

Best Repeat(int runs, const std::function<Sample()>& step) {
    Best best;
    for (int i = 0; i < runs; ++i) best.Add(step());
    return best;
}

}  // namespace ferolin_bench
