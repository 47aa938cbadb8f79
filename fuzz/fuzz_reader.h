// What the fuzz targets of the desktop program's readers share: the input
// bytes as an in-memory file that the reader opens by name, as it opens any
// track, and a walk over the points it returns, so that a count larger than
// the array shows up as an invalid read.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "core/read_status.h"
#include "core/sensors.h"
#include "core/track_point.h"

namespace ferolin_fuzz {

// Reads points across the whole array and all of the last one. The sum is
// unsigned: record numbers may hold any int value.
inline void TouchPoints(const ferolin::TrackPointArray& points, uint32_t count) {
    if (count == 0) return;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < count; i += 1 + count / 1024)
        sum += static_cast<uint32_t>(points[i].record);
    const ferolin::TrackPoint& last = points[count - 1];
    sum += static_cast<uint32_t>(last.record) + static_cast<uint8_t>(last.day) +
           static_cast<uint8_t>(last.satellites);
    volatile uint32_t sink = sum;
    (void)sink;
}

// Reads the last value of every sensor channel present, which must reach as
// far as the points.
inline void TouchChannels(ferolin::SensorChannels& sensors, uint32_t count) {
    if (count == 0) return;
    float sum = 0;
    for (int s = 0; s < ferolin::kSensorCount; ++s) {
        const auto sensor = static_cast<ferolin::Sensor>(s);
        if (sensors.Has(sensor)) sum += sensors.Channel(sensor, 0)[count - 1];
    }
    volatile float sink = sum;
    (void)sink;
}

// Checks what a reader says of the structure against the points it gave:
// segments start in ascending order within the array, tracks by ascending
// segments, laps at points that exist. A broken promise stops the run.
inline void CheckDocument(const ferolin::TrackDocument& document, uint32_t count) {
    const auto& starts = document.SegmentStarts();
    for (std::size_t i = 0; i < starts.size(); ++i)
        if (starts[i] >= count || (i == 0 ? starts[i] != 0 : starts[i] <= starts[i - 1])) __builtin_trap();
    const auto& tracks = document.Tracks();
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i].firstSegment >= document.SegmentCount() ||
            (i == 0 ? tracks[i].firstSegment != 0 : tracks[i].firstSegment <= tracks[i - 1].firstSegment))
            __builtin_trap();
    for (const ferolin::Lap& lap : document.laps)
        if (lap.firstPoint >= count) __builtin_trap();
    std::size_t letters = 0;
    for (const ferolin::Waypoint& w : document.waypoints) letters += w.name.size() + w.description.size();
    for (const ferolin::Route& r : document.routes) letters += r.name.size() + r.points.size();
    volatile std::size_t sink = letters;
    (void)sink;
}

// Runs a reader on the input, written to a memory file named through
// /proc/self/fd, and walks what it returns, with the sensor channels of the
// readers that fill them.
template <typename Reader>
int FuzzFileReader(Reader read, const uint8_t* data, size_t size) {
    const int fd = memfd_create("fuzz_input", MFD_CLOEXEC);
    if (fd < 0) return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ferolin::TrackPointArray points;
    uint32_t count = 0;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if constexpr (std::is_invocable_v<Reader, const std::string&, ferolin::TrackPointArray&, uint32_t&,
                                      ferolin::SensorChannels*>) {
        ferolin::SensorChannels sensors;
        if (read(path, points, count, &sensors) == ferolin::ReadStatus::kOk) {
            TouchPoints(points, count);
            TouchChannels(sensors, count);
            CheckDocument(sensors.document, count);
        }
    } else if (read(path, points, count) == ferolin::ReadStatus::kOk) {
        TouchPoints(points, count);
    }
    close(fd);
    return 0;
}

}  // namespace ferolin_fuzz
