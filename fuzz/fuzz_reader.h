// What the fuzz targets of the desktop program's readers share: the input
// bytes as text, and a walk over the points a reader returns, so that a
// count larger than the array shows up as an invalid read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "core/sensors.h"
#include "core/track_point.h"

namespace ferolin_fuzz {

inline std::string_view Text(const uint8_t* data, size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

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

// Runs a reader's text entry point on the input and walks what it returns,
// with the sensor channels of readers that fill them.
template <typename ReadText>
int FuzzTextReader(ReadText read, const uint8_t* data, size_t size) {
    ferolin::TrackPointArray points;
    uint32_t count = 0;
    if constexpr (std::is_invocable_v<ReadText, std::string_view, ferolin::TrackPointArray&, uint32_t&,
                                      ferolin::SensorChannels*>) {
        ferolin::SensorChannels sensors;
        if (read(Text(data, size), points, count, &sensors) == 0) {
            TouchPoints(points, count);
            TouchChannels(sensors, count);
        }
    } else {
        if (read(Text(data, size), points, count) == 0) TouchPoints(points, count);
    }
    return 0;
}

}  // namespace ferolin_fuzz
