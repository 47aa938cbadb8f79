// Sensor channels: heart rate, cadence, power and temperature recorded beside
// the track's points. The 55-byte point record has no room for them, so each
// channel is an array of its own, index-aligned with the point array, that
// exists only when the track carries that channel: a track without sensor
// data holds four empty arrays and no memory.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace ferolin {

// The channels, in the order every table and dialog lists them.
enum class Sensor : uint8_t { kHeartRate, kCadence, kPower, kTemperature };
inline constexpr int kSensorCount = 4;

// Units: beats per minute, revolutions per minute, watts, degrees Celsius.
struct SensorInfo {
    Sensor sensor;
    const char* name;  // column header of the tables and label of the windows
    const char* unit;  // UTF-8, as the figures and the profiles show it
};
inline constexpr SensorInfo kSensorTable[kSensorCount] = {
    {Sensor::kHeartRate, "Heart rate", "bpm"},
    {Sensor::kCadence, "Cadence", "rpm"},
    {Sensor::kPower, "Power", "W"},
    {Sensor::kTemperature, "Temperature", "\u00B0C"},
};

// A value the point does not have.
inline constexpr float kNoSensorValue = std::numeric_limits<float>::quiet_NaN();
inline bool IsSensorValue(float value) { return !std::isnan(value); }

class SensorChannels {
public:
    // Whether the track carries the channel at all, or any channel.
    bool Has(Sensor sensor) const { return !values_[Index(sensor)].empty(); }
    bool Any() const {
        for (const auto& v : values_)
            if (!v.empty()) return true;
        return false;
    }

    // The value of the point at `index`; kNoSensorValue where the point has
    // none, the track lacks the channel or the index lies beyond it.
    float Value(Sensor sensor, uint32_t index) const {
        const std::vector<float>& v = values_[Index(sensor)];
        return index < v.size() ? v[index] : kNoSensorValue;
    }

    // The channel's array for `count` points, created with every value absent
    // when the track did not carry it yet (a reader calls this on the first
    // value it meets). Throws std::bad_alloc like any container.
    float* Channel(Sensor sensor, uint32_t count);

    // Keeps the first `count` values of every channel present (the point
    // count a reader ended with), giving back the memory beyond them.
    void Truncate(uint32_t count);
    // Gives every channel present exactly `count` values: cut as Truncate
    // does, or filled up with absent values (a reader whose last points had
    // no value of a channel).
    void Align(uint32_t count);

    // Drops every channel.
    void Clear() {
        for (auto& v : values_) std::vector<float>().swap(v);
    }

    // Bytes held by the channels (the memory figure of the benchmark).
    std::size_t Bytes() const {
        std::size_t bytes = 0;
        for (const auto& v : values_) bytes += v.capacity() * sizeof(float);
        return bytes;
    }

private:
    static std::size_t Index(Sensor sensor) { return static_cast<std::size_t>(sensor); }
    std::array<std::vector<float>, kSensorCount> values_;
};

// The track's channels when it carries any, else null: what a writer tests
// before it adds anything of them to its output.
inline const SensorChannels* PresentChannels(const SensorChannels* channels) {
    return channels && channels->Any() ? channels : nullptr;
}

}  // namespace ferolin
