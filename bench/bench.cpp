// The benchmark: generates NMEA, GPX and datalog tracks of 100 thousand and 1
// million points, runs each conversion several times, each run in a child
// process of its own, and prints the best wall and processor times, the input
// throughput and the peak memory; sets the readers against the least their
// input needs (line scan, bare expat parse, copy into memory); converts a
// thousand small tracks of five formats in one batch, one file at a time and
// on every processor; and, where gpsbabel is installed, converts the same
// NMEA trace to GPX with it.
//   ferolin_bench [--runs N] [--small POINTS] [--large POINTS] [--keep] [FOLDER]
// The parent process never holds a track, so that a child's peak memory
// (which starts from a copy of its parent) is the step's own.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "convert/batch.h"
#include "convert/driver.h"
#include "formats/fit.h"
#include "formats/format_table.h"
#include "datalog_generator.h"
#include "formats/geojson.h"
#include "formats/gpx.h"
#include "formats/magellan.h"
#include "formats/native.h"
#include "formats/nmea.h"
#include "formats/nmea_sentences.h"
#include "formats/ozi_plt.h"
#include "formats/pcx5.h"
#include "formats/tcx.h"

using namespace ferolin_bench;

namespace {

struct Options {
    int runs = 3;
    uint32_t small = 100000;
    uint32_t large = 1000000;
    bool keep = false;
    std::string folder;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--runs" && hasValue) {
            options.runs = std::atoi(argv[++i]);
        } else if (a == "--small" && hasValue) {
            options.small = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (a == "--large" && hasValue) {
            options.large = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (a == "--keep") {
            options.keep = true;
        } else if (!a.empty() && a[0] != '-' && options.folder.empty()) {
            options.folder = a;
        } else {
            return false;
        }
    }
    return options.runs > 0 && options.small > 0 && options.large > 0;
}

// Loads `input` through the format table and exports it through the first
// row with a writer for `extension`, as the batch command line does.
bool Convert(const std::string& input, const std::string& output, const char* extension) {
    QuietHost host;
    ferolin::CurrentTrack track;
    if (ferolin::LoadTrack(track, input, host) != 0) return false;
    const int row = ferolin::FindWriterRow(extension);
    return row >= 0 && ferolin::ExportToFile(track, output, row, {}, ferolin::kAllOptions, host) == 0 && !host.failed;
}

// A reader of a format without sensor data, as its unit declares it.
using PlainReader = ferolin::ReadStatus (*)(const std::string&, ferolin::TrackPointArray&,
                                            uint32_t&);

// Reads `input` with one reader, without the driver.
bool Read(PlainReader reader, const std::string& input, uint32_t expected) {
    ferolin::TrackPointArray points;
    uint32_t count = 0;
    return reader(input, points, count) == ferolin::ReadStatus::kOk && count == expected;
}

// Reads `input` with a reader that fills sensor channels, as the driver
// calls it.
// The same drive cut into 100 tracks of 10 segments each: what the reader
// pays for keeping a document's structure.
const ferolin::SensorChannels& Split(uint32_t count) {
    static ferolin::SensorChannels split;
    split.Clear();
    std::vector<uint32_t> starts;
    std::vector<ferolin::TrackHead> tracks;
    for (uint32_t s = 0; s < 1000; ++s) {
        starts.push_back(static_cast<uint32_t>(uint64_t{count} * s / 1000));
        if (s % 10 == 0) tracks.push_back({"Track " + std::to_string(s / 10 + 1), s});
    }
    split.document.SetStructure(std::move(starts), std::move(tracks));
    return split;
}

// Reads and checks the number of tracks and segments kept.
bool ReadSplit(const std::string& input, uint32_t expected) {
    ferolin::TrackPointArray points;
    uint32_t count = 0;
    ferolin::SensorChannels sensors;
    return ferolin::ReadGpxTrack(input, points, count, &sensors) == ferolin::ReadStatus::kOk &&
           count == expected && sensors.document.TrackCount() == 100 && sensors.document.SegmentCount() == 1000;
}

bool ReadWithChannels(ferolin::ReaderFn reader, const std::string& input, uint32_t expected) {
    ferolin::TrackPointArray points;
    uint32_t count = 0;
    ferolin::SensorChannels sensors;
    return reader(input, points, count, &sensors) == ferolin::ReadStatus::kOk && count == expected;
}

class Bench {
public:
    explicit Bench(int runs) : runs_(runs) {}

    // Runs `work` the set number of times, each in a child, and prints a row.
    // The `output` of the previous run is removed first, outside the
    // measurement: replacing a file of half a gigabyte costs the kernel as
    // much as a third of the conversion.
    Best Step(const char* label, uint32_t points, const std::string& input,
              const std::function<bool()>& work, const std::string& output = {}) {
        const Best best = Repeat(runs_, [&] {
            if (!output.empty()) std::remove(output.c_str());
            return RunInChild(work);
        });
        PrintRow(label, points, input, best);
        return best;
    }
    Best Program(const char* label, uint32_t points, const std::string& input,
                 const std::vector<std::string>& argv, const std::string& output) {
        const Best best = Repeat(runs_, [&] {
            std::remove(output.c_str());
            return RunProgram(argv);
        });
        PrintRow(label, points, input, best);
        return best;
    }
    // The same for a step over many files of `bytes` in all.
    Best Files(const char* label, uint32_t points, uint64_t bytes,
               const std::function<bool()>& work, const std::function<void()>& before) {
        const Best best = Repeat(runs_, [&] {
            before();
            return RunInChild(work);
        });
        PrintRow(label, points, bytes, best);
        return best;
    }
    static void Header() {
        std::printf("%-40s %8s %9s %8s %8s %8s %8s\n", "step", "points", "input MB", "wall s",
                    "cpu s", "MB/s", "peak MB");
    }
    static void Ratio(const char* label, const Best& a, const Best& b) {
        std::printf("  %-38s %.2f (cpu %.2f)\n", label, a.wall / b.wall, a.cpu / b.cpu);
    }
    bool ok() const { return ok_; }

private:
    void PrintRow(const char* label, uint32_t points, const std::string& input, const Best& b) {
        PrintRow(label, points, FileBytes(input), b);
    }
    void PrintRow(const char* label, uint32_t points, uint64_t bytes, const Best& b) {
        const double mb = static_cast<double>(bytes) / 1e6;
        std::printf("%-40s %8u %9.1f %8.3f %8.3f %8.1f %8.1f%s\n", label, points, mb, b.wall,
                    b.cpu, mb / b.wall, b.peakMB, b.ok ? "" : "  FAILED");
        std::fflush(stdout);
        ok_ = ok_ && b.ok;
    }

    int runs_;
    bool ok_ = true;
};

// A time target judged by the best wall time and, apart, by the processor
// time, which is what the step costs when the machine has nothing else to do.
// A thousand small tracks, two hundred each as NMEA trace, GPX, BlueGPS
// datalog, OziExplorer track and .frn, in the folder `folder`; false when one
// cannot be written. Returns their points and bytes in all.
bool WriteSmallTracks(const std::string& folder, uint32_t pointsEach, uint32_t& points,
                      uint64_t& bytes) {
    if (mkdir(folder.c_str(), 0755) != 0) return false;
    const ferolin::TrackPointArray drive = MakeDrive(pointsEach);
    if (!drive) return false;
    const auto entries = AllEntries(drive.get(), pointsEach);
    const uint32_t sentences = ferolin::kNmeaGsa | ferolin::kNmeaGga | ferolin::kNmeaRmc;
    points = 0;
    bytes = 0;
    for (uint32_t i = 0; i < 1000; ++i) {
        char stem[32];
        std::snprintf(stem, sizeof stem, "/track%04u.", i);
        const std::string base = folder + stem;
        std::string path;
        bool ok = false;
        switch (i % 5) {
            case 0:
                ok = ferolin::WriteNmeaFile(path = base + "nmea", entries.data(), pointsEach,
                                            sentences) == 0;
                break;
            case 1:
                ok = ferolin::WriteGpxTrack(path = base + "gpx", entries.data(), pointsEach,
                                            ferolin::kAllOptions) == 0;
                break;
            case 2: ok = ferolin_tools::WriteSampleDatalog(path = base + "log", pointsEach, i); break;
            case 3:
                ok = ferolin::WriteOziTrack(path = base + "plt", entries.data(), pointsEach,
                                            ferolin::kAllOptions) == 0;
                break;
            default:
                ok = ferolin::WriteNativeTrack(path = base + "frn", entries.data(), pointsEach,
                                               ferolin::kAllOptions) == 0;
                break;
        }
        if (!ok) return false;
        points += pointsEach;
        bytes += FileBytes(path);
    }
    return true;
}

// Removes the KML files of the folder: the outputs of a batch run.
void RemoveOutputs(const std::string& folder) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        if (entry.path().extension() == ".kml") std::filesystem::remove(entry.path(), ignored);
}

// The batch command line's conversion of every file of `folder` to KML,
// `jobs` files at a time (0: the default, one per processor).
bool RunSmallBatch(const std::string& folder, uint32_t jobs) {
    ferolin::BatchOptions options;
    options.positional = {folder + "/*", "kml"};
    if (jobs) options.jobs = jobs;
    std::ostringstream messages;
    return ferolin::RunBatchConversion(options, ferolin::MatchingFiles(options.positional[0]),
                                       ferolin::FindWriterRow("kml"), messages, nullptr) == 0 &&
           messages.str().empty();
}

// How much faster `threads` threads compute than one on this machine now: the
// same loop on one thread, then on each of `threads` at once, best of `runs`.
// On a machine shared with other work it is the most a batch can gain.
double ComputeSpeedup(uint32_t threads, int runs) {
    auto spin = [] {
        volatile uint64_t sum = 0;
        for (uint64_t i = 0; i < 100000000; ++i) sum = sum + i;
    };
    auto best = [&](uint32_t n) {
        double seconds = 1e9;
        for (int r = 0; r < runs; ++r) {
            const auto start = std::chrono::steady_clock::now();
            std::vector<std::thread> pool;
            for (uint32_t k = 0; k < n; ++k) pool.emplace_back(spin);
            for (std::thread& t : pool) t.join();
            seconds = std::min(seconds, Seconds(start));
        }
        return seconds;
    };
    const double one = best(1);
    return threads * one / best(threads);
}

std::string Verdict(const Best& best, double seconds) {
    std::string text = best.wall < seconds ? "met" : "MISSED";
    text += " by wall time, ";
    text += best.cpu < seconds ? "met" : "MISSED";
    return text + " by processor time";
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: ferolin_bench [--runs N] [--small POINTS] [--large POINTS] "
                     "[--keep] [FOLDER]\n");
        return 2;
    }
    bool madeFolder = false;
    if (options.folder.empty()) {
        char pattern[] = "/tmp/ferolin_bench.XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("mkdtemp");
            return 1;
        }
        options.folder = pattern;
        madeFolder = true;
    }
    const std::string dir = options.folder + "/";
    const uint32_t sizes[2] = {options.small, options.large};
    auto name = [&](const char* stem, uint32_t points, const char* extension) {
        return dir + stem + "_" + std::to_string(points) + "." + extension;
    };

    // The tracks: the same drive as NMEA trace (GSA, GGA and RMC each second),
    // as .frn and as the GPX that Ferolin writes; a phone's GPX 1.1 track with
    // extensions; a BlueGPS datalog.
    std::printf("Ferolin benchmark: best of %d runs, each in a child process; "
                "files in %s\n",
                options.runs, options.folder.c_str());
    std::printf("generated tracks\n");
    bool generated = true;
    for (const uint32_t n : sizes) {
        const Sample drive = RunInChild([&] {
            const ferolin::TrackPointArray points = MakeDrive(n);
            if (!points) return false;
            const auto entries = AllEntries(points.get(), n);
            const uint32_t sentences = ferolin::kNmeaGsa | ferolin::kNmeaGga | ferolin::kNmeaRmc;
            return ferolin::WriteNmeaFile(name("drive", n, "nmea"), entries.data(), n,
                                          sentences) == 0 &&
                   ferolin::WriteNativeTrack(name("drive", n, "frn"), entries.data(), n,
                                             ferolin::kAllOptions) == 0 &&
                   ferolin::WriteGpxTrack(name("drive", n, "gpx"), entries.data(), n,
                                          ferolin::kAllOptions) == 0 &&
                   ferolin::WriteGpxTrack(name("split", n, "gpx"), entries.data(), n,
                                          ferolin::kAllOptions, &Split(n)) == 0;
        });
        const Sample gpx = RunInChild([&] { return WriteSampleGpx(name("phone", n, "gpx"), n); });
        const Sample log = RunInChild(
            [&] { return ferolin_tools::WriteSampleDatalog(name("hike", n, "log"), n, 1); });
        generated = generated && drive.ok && gpx.ok && log.ok;
        for (const char* file : {"drive|nmea", "drive|frn", "drive|gpx", "split|gpx", "phone|gpx", "hike|log"}) {
            const std::string f = file;
            const std::string path =
                name(f.substr(0, f.find('|')).c_str(), n, f.substr(f.find('|') + 1).c_str());
            std::printf("  %-28s %8.1f MB\n", path.substr(dir.size()).c_str(),
                        static_cast<double>(FileBytes(path)) / 1e6);
        }
    }
    const std::string rideL = name("ride", options.large, "fit");
    generated = generated && RunInChild([&] { return WriteSampleRide(rideL, options.large); }).ok;
    // The ride as TCX and GeoJSON, as Ferolin writes them (sensor values on
    // every point).
    const std::string rideTcx = name("ride", options.large, "tcx");
    const std::string rideJson = name("ride", options.large, "geojson");
    generated = generated && RunInChild([&] {
                    return Convert(rideL, rideTcx, "tcx") && Convert(rideL, rideJson, "geojson");
                }).ok;
    for (const std::string& path : {rideL, rideTcx, rideJson})
        std::printf("  %-28s %8.1f MB\n", path.substr(dir.size()).c_str(),
                    static_cast<double>(FileBytes(path)) / 1e6);
    if (!generated) {
        std::fprintf(stderr, "cannot generate the tracks in %s\n", options.folder.c_str());
        return 1;
    }

    Bench bench(options.runs);
    const uint32_t s = options.small, l = options.large;
    const std::string nmeaS = name("drive", s, "nmea"), nmeaL = name("drive", l, "nmea");
    const std::string frnL = name("drive", l, "frn");
    const std::string gpxS = name("drive", s, "gpx"), gpxL = name("drive", l, "gpx");
    const std::string phoneS = name("phone", s, "gpx"), phoneL = name("phone", l, "gpx");
    const std::string logS = name("hike", s, "log"), logL = name("hike", l, "log");
    const std::string out = dir + "out";
    const std::string outGpx = out + ".gpx", outKml = out + ".kml", outTxt = out + ".txt";
    const std::string babelGpx = out + "_gpsbabel.gpx";

    std::printf("\nconversions (as the batch command line runs them, every option on)\n");
    Bench::Header();
    const Best nmeaGpxS = bench.Step(
        "nmea -> gpx", s, nmeaS, [&] { return Convert(nmeaS, outGpx, "gpx"); }, outGpx);
    Best babel;
    const bool hasBabel = HasProgram("gpsbabel");
    if (hasBabel)
        babel = bench.Program("gpsbabel nmea -> gpx", s, nmeaS,
                              {"gpsbabel", "-i", "nmea", "-f", nmeaS, "-o", "gpx", "-F", babelGpx},
                              babelGpx);
    const Best nmeaGpxL = bench.Step(
        "nmea -> gpx", l, nmeaL, [&] { return Convert(nmeaL, outGpx, "gpx"); }, outGpx);
    bench.Step(
        "gpx -> kml", s, gpxS, [&] { return Convert(gpxS, outKml, "kml"); }, outKml);
    const Best gpxKmlL = bench.Step(
        "gpx -> kml", l, gpxL, [&] { return Convert(gpxL, outKml, "kml"); }, outKml);
    bench.Step(
        "phone gpx -> kml", s, phoneS, [&] { return Convert(phoneS, outKml, "kml"); }, outKml);
    const Best phoneKmlL = bench.Step(
        "phone gpx -> kml", l, phoneL, [&] { return Convert(phoneL, outKml, "kml"); }, outKml);
    bench.Step(
        "datalog -> txt (statistics)", s, logS, [&] { return Convert(logS, outTxt, "txt"); },
        outTxt);
    bench.Step(
        "datalog -> txt (statistics)", l, logL, [&] { return Convert(logL, outTxt, "txt"); },
        outTxt);

    std::printf("\nbatch conversion of 1000 small tracks (nmea, gpx, datalog, plt, frn) to kml\n");
    Bench::Header();
    const std::string smallFolder = dir + "small";
    uint32_t smallPoints = 0;
    uint64_t smallBytes = 0;
    std::error_code ignoredError;
    std::filesystem::remove_all(smallFolder, ignoredError);
    if (!WriteSmallTracks(smallFolder, 300, smallPoints, smallBytes)) {
        std::fprintf(stderr, "cannot write the small tracks in %s\n", smallFolder.c_str());
        return 1;
    }
    const uint32_t processors = ferolin::ProcessorCount();
    const Best batchSerial =
        bench.Files("batch -j 1", smallPoints, smallBytes,
                    [&] { return RunSmallBatch(smallFolder, 1); }, [&] { RemoveOutputs(smallFolder); });
    const std::string defaultLabel = "batch -j " + std::to_string(processors) + " (default)";
    const Best batchParallel =
        bench.Files(defaultLabel.c_str(), smallPoints, smallBytes,
                    [&] { return RunSmallBatch(smallFolder, 0); }, [&] { RemoveOutputs(smallFolder); });
    // -j 1 over the default -j, wall and processor times; then what the
    // machine gives a computation spread the same way at this moment.
    std::printf("  %-38s %.2f (cpu %.2f)\n", "speed-up of the default -j",
                batchSerial.wall / batchParallel.wall, batchSerial.cpu / batchParallel.cpu);
    std::printf("  %-38s %.2f\n", "the same for a plain loop",
                ComputeSpeedup(processors, options.runs));

    std::printf("\nreaders against the least their input needs\n");
    Bench::Header();
    const Best scan = bench.Step("line scan of the nmea (reference)", l, nmeaL,
                                 [&] { return CountLines(nmeaL) > 0; });
    const Best nmeaRead =
        bench.Step("nmea read", l, nmeaL, [&] { return Read(ferolin::ReadNmeaLog, nmeaL, l); });
    Bench::Ratio("nmea read / line scan", nmeaRead, scan);
    const Best logScan = bench.Step("line scan of the datalog (reference)", l, logL,
                                    [&] { return CountLines(logL) > 0; });
    const Best logRead = bench.Step("datalog read", l, logL, [&] {
        QuietHost host;
        ferolin::CurrentTrack track;
        return ferolin::LoadTrack(track, logL, host) == 0 && track.count == l;
    });
    Bench::Ratio("datalog read / line scan", logRead, logScan);
    for (const std::string& gpx : {gpxL, phoneL}) {
        const bool phone = gpx == phoneL;
        const Best bare = bench.Step(phone ? "bare expat parse, phone gpx (reference)"
                                           : "bare expat parse of the gpx (reference)",
                                     l, gpx, [&] {
                                         size_t elements = 0;
                                         return BareExpatParse(gpx, elements) && elements > l;
                                     });
        const Best gpxRead = bench.Step(phone ? "phone gpx read" : "gpx read", l, gpx,
                                        [&] { return ReadWithChannels(ferolin::ReadGpxTrack, gpx, l); });
        Bench::Ratio(phone ? "phone gpx read / bare expat parse" : "gpx read / bare expat parse",
                     gpxRead, bare);
        if (phone) continue;
        const std::string split = name("split", l, "gpx");
        const Best splitRead = bench.Step("gpx read, 100 tracks of 10 segments", l, split,
                                          [&] { return ReadSplit(split, l); });
        Bench::Ratio("gpx read, 100 tracks x 10 segments / one", splitRead, gpxRead);
    }
    const Best copy = bench.Step("copy of the frn into memory (reference)", l, frnL,
                                 [&] { return CopyIntoMemory(frnL) == FileBytes(frnL); });
    const Best frnRead =
        bench.Step("frn load", l, frnL, [&] { return Read(ferolin::ReadNativeTrack, frnL, l); });
    Bench::Ratio("frn load / copy", frnRead, copy);
    const Best fitScan = bench.Step("byte scan of the fit (reference)", l, rideL,
                                    [&] { return ScanBytes(rideL) > 0; });
    const Best fitRead = bench.Step("fit read (four sensor channels)", l, rideL, [&] {
        ferolin::TrackPointArray points;
        uint32_t count = 0;
        ferolin::SensorChannels sensors;
        return ferolin::ReadFitFile(rideL, points, count, &sensors) == ferolin::ReadStatus::kOk &&
               count == l &&
               sensors.Has(ferolin::Sensor::kTemperature);
    });
    Bench::Ratio("fit read / byte scan", fitRead, fitScan);
    const Best tcxBare = bench.Step("bare expat parse of the tcx (reference)", l, rideTcx, [&] {
        size_t elements = 0;
        return BareExpatParse(rideTcx, elements) && elements > l;
    });
    const Best tcxRead = bench.Step("tcx read (three sensor channels)", l, rideTcx,
                                    [&] { return ReadWithChannels(ferolin::ReadTcxFile, rideTcx, l); });
    Bench::Ratio("tcx read / bare expat parse", tcxRead, tcxBare);
    const Best jsonBare = bench.Step("bare simdjson iteration, geojson (ref.)", l, rideJson, [&] {
        size_t values = 0;
        return BareSimdjsonIteration(rideJson, values) && values > 3 * size_t{l};
    });
    const Best jsonRead = bench.Step("geojson read (four sensor channels)", l, rideJson,
                                     [&] { return ReadWithChannels(ferolin::ReadGeoJsonFile, rideJson, l); });
    Bench::Ratio("geojson read / bare simdjson iteration", jsonRead, jsonBare);

    std::printf("\nwriters and readers of the other formats (from and to the .frn)\n");
    Bench::Header();
    struct Pair {
        const char* write;
        const char* read;
        const char* extension;  // writer row
        const char* file;       // file name extension
        PlainReader reader;
    };
    const Pair pairs[] = {
        {"frn -> frn", "frn read", "frn", "frn", ferolin::ReadNativeTrack},
        {"frn -> plt", "plt read", "plt", "plt",
         [](const std::string& path, ferolin::TrackPointArray& points, uint32_t& count) {
             return ferolin::ReadOziTrack(path, points, count);
         }},
        {"frn -> pcx5", "pcx5 read", "trk", "trk", ferolin::ReadPcx5Track},
        {"frn -> magellan sd", "magellan sd read", "log", "upt", ferolin::ReadMagellanLog},
        {"frn -> nmea (five sentences)", "nmea read (five sentences)", "nmea", "nmea",
         ferolin::ReadNmeaLog},
    };
    for (const Pair& p : pairs) {
        const std::string written = out + "_frn." + p.file;
        bench.Step(
            p.write, l, frnL, [&] { return Convert(frnL, written, p.extension); }, written);
        bench.Step(p.read, l, written, [&] { return Read(p.reader, written, l); });
    }

    // The training and web writers: the FIT ride converted, its read (above)
    // taken off to leave the writer's time; throughput in output bytes.
    std::printf("\ntraining and web writers (the fit ride converted)\n");
    Bench::Header();
    struct Writer {
        const char* label;
        const char* extension;
        double mbPerSecond = 0;
    } writers[] = {{"fit -> tcx", "tcx"}, {"fit -> geojson", "geojson"}};
    for (Writer& w : writers) {
        const std::string written = out + "_ride." + w.extension;
        const Best convert = bench.Step(
            w.label, l, rideL, [&] { return Convert(rideL, written, w.extension); }, written);
        w.mbPerSecond = static_cast<double>(FileBytes(written)) / 1e6 / (convert.wall - fitRead.wall);
        std::printf("  %-38s %.1f MB of output, %.0f MB/s\n", (std::string(w.extension) + " writer").c_str(),
                    static_cast<double>(FileBytes(written)) / 1e6, w.mbPerSecond);
    }

    std::printf("\ntargets (best of %d runs)\n", options.runs);
    if (hasBabel) {
        const double ratio = babel.wall / nmeaGpxS.wall, cpuRatio = babel.cpu / nmeaGpxS.cpu;
        std::printf("  nmea -> gpx, %u points: gpsbabel %.3f s (cpu %.3f s), ferolin %.3f s "
                    "(cpu %.3f s): %.1f times faster (cpu %.1f); at least 30: %s\n",
                    s, babel.wall, babel.cpu, nmeaGpxS.wall, nmeaGpxS.cpu, ratio, cpuRatio,
                    ratio >= 30 && cpuRatio >= 30 ? "met" : "MISSED");
    } else {
        std::printf("  gpsbabel not installed: no comparison\n");
    }
    std::printf("  nmea -> gpx, %u points: %.3f s (cpu %.3f s), peak %.1f MB; under 200 MB: %s; "
                "under 1.5 s: %s\n",
                l, nmeaGpxL.wall, nmeaGpxL.cpu, nmeaGpxL.peakMB,
                nmeaGpxL.peakMB < 200 ? "met" : "MISSED", Verdict(nmeaGpxL, 1.5).c_str());
    std::printf("  gpx -> kml, %u points: %.3f s (cpu %.3f s); under 3 s: %s\n", l, gpxKmlL.wall,
                gpxKmlL.cpu, Verdict(gpxKmlL, 3).c_str());
    std::printf("  phone gpx -> kml, %u points: %.3f s (cpu %.3f s); under 3 s: %s\n", l,
                phoneKmlL.wall, phoneKmlL.cpu, Verdict(phoneKmlL, 3).c_str());

    // What the points and the four channels of the ride need, in MB.
    const double rideMB = static_cast<double>(l) * (sizeof(ferolin::TrackPoint) + 4 * sizeof(float)) / 1e6;
    std::printf("  fit read, %u points: %.3f s (cpu %.3f s); under 0.3 s: %s; peak %.1f MB for "
                "%.1f MB of points and channels; at most twice: %s\n",
                l, fitRead.wall, fitRead.cpu, Verdict(fitRead, 0.3).c_str(), fitRead.peakMB, rideMB,
                fitRead.peakMB <= 2 * rideMB ? "met" : "MISSED");

    std::printf("  tcx read, %u points: %.2f times the bare expat parse (cpu %.2f); at most 1.7: %s\n", l,
                tcxRead.wall / tcxBare.wall, tcxRead.cpu / tcxBare.cpu,
                tcxRead.cpu / tcxBare.cpu <= 1.7 ? "met" : "MISSED");
    std::printf("  geojson read, %u points: %.2f times the bare simdjson iteration (cpu %.2f); at most 1.7: %s\n",
                l, jsonRead.wall / jsonBare.wall, jsonRead.cpu / jsonBare.cpu,
                jsonRead.cpu / jsonBare.cpu <= 1.7 ? "met" : "MISSED");
    for (const Writer& w : writers)
        std::printf("  %s writer: %.0f MB/s; at least 100: %s\n", w.extension, w.mbPerSecond,
                    w.mbPerSecond >= 100 ? "met" : "MISSED");

    if (!options.keep) {
        std::error_code ignored;
        if (madeFolder) {
            std::filesystem::remove_all(options.folder, ignored);
        } else {
            for (const auto& entry : std::filesystem::directory_iterator(options.folder, ignored)) {
                const std::string file = entry.path().filename().string();
                if (file.rfind("drive_", 0) == 0 || file.rfind("phone_", 0) == 0 ||
                    file.rfind("hike_", 0) == 0 || file.rfind("ride_", 0) == 0 ||
                    file.rfind("out", 0) == 0)
                    std::filesystem::remove(entry.path(), ignored);
                if (file == "small") std::filesystem::remove_all(entry.path(), ignored);
            }
        }
    }
    if (!bench.ok()) {
        std::fprintf(stderr, "a step failed\n");
        return 1;
    }
    // A missed target is reported above, not an error: wall times depend on
    // what else the machine runs.
    return 0;
}
