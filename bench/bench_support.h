// What the benchmark programs share: clocks, the reference passes a reader is
// set against (line scan, copy into memory, bare expat parse), the generated
// tracks, and the measurement of one step in a child process of its own, so
// that its peak memory is its own and not the whole benchmark's.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/driver.h"
#include "core/track_point.h"

namespace ferolin_bench {

// Wall seconds since `since`.
double Seconds(std::chrono::steady_clock::time_point since);
// Processor time (user + system) of this process so far: on a machine shared
// with other work it shows the cost of a step apart from the waiting.
double CpuSeconds();

// Size of a file in bytes, 0 when it cannot be read.
uint64_t FileBytes(const std::string& path);

// Reference pass of the line-oriented readers: the file read in large blocks
// and its lines counted, the least such a reader has to do.
size_t CountLines(const std::string& path);
// Reference pass of the binary readers: the file read in large blocks and
// every byte added up, the least a reader of every byte has to do.
uint64_t ScanBytes(const std::string& path);
// Reference pass of the .frn load: the file's bytes read into one heap block,
// allocated the way the point arrays are.
size_t CopyIntoMemory(const std::string& path);
// Reference pass of the XML readers: expat over the file with the same
// namespace processing and chunking, an element counter as its only handler.
bool BareExpatParse(const std::string& path, size_t& elements);
// Reference pass of the GeoJSON reader: the file read into a padded buffer and
// every value of the document visited with simdjson's On-Demand API (numbers
// parsed, strings unescaped), counting them.
bool BareSimdjsonIteration(const std::string& path, size_t& values);

// A host that keeps the driver's messages as a failure flag (and prints them).
class QuietHost : public ferolin::DriverHost {
public:
    void ShowMessage(const std::string& path, int id, ferolin::MessageIcon,
                     const std::string& reason) override;
    bool failed = false;
};

// A drive of `count` points, one a second from 1 March 2007 on, over southern
// France, every field set and changing (speed, course, dilutions, altitude).
ferolin::TrackPointArray MakeDrive(uint32_t count);
// The export list of every point with its own altitude.
std::vector<ferolin::ExportEntry> AllEntries(const ferolin::TrackPoint* points, uint32_t count);
// A GPX 1.1 track as phones and sports watches write it: indented, with the
// speed and course in a namespaced extension block (about 350 bytes a point).
bool WriteSampleGpx(const std::string& path, uint32_t count);
// The drive as a bike computer's FIT activity: heart rate, cadence, power and
// temperature on every record (about 42 bytes a record).
bool WriteSampleRide(const std::string& path, uint32_t count);

// One measured step: wall time seen by the parent, processor time and peak
// resident memory of the child that ran it.
struct Sample {
    double wall = 0;
    double cpu = 0;
    double peakMB = 0;
    bool ok = false;
};

// Runs `work` in a forked child and waits for it (wait4 gives the child's own
// processor time and peak memory). The step succeeds when `work` returns true.
Sample RunInChild(const std::function<bool()>& work);
// Runs a program (argv[0] looked up in PATH) in a child with its standard
// output and error discarded; succeeds on exit status 0.
Sample RunProgram(const std::vector<std::string>& argv);
// True when `program` is found in PATH.
bool HasProgram(const std::string& program);

// Best of several samples: the shortest wall and processor times, the highest
// peak memory; failed when any run failed.
struct Best {
    double wall = 0;
    double cpu = 0;
    double peakMB = 0;
    bool ok = true;
    int runs = 0;
    void Add(const Sample& sample);
};
Best Repeat(int runs, const std::function<Sample()>& step);

}  // namespace ferolin_bench
