// What a track keeps beside its 55-byte point records: the sensor channels
// (heart rate, cadence, power and temperature), for which the record has no
// room, which of the record's own fields a point does not have (the record
// holds 0 there), and the totals the device measured over the whole track. Each is an array of its own, index-aligned with the
// point array, that exists only when the track needs it: a track without
// sensor data whose points have every value holds empty arrays and no memory.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/document.h"
#include "core/read_status.h"

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

// Whether a value is one a body or a device can give: heart rate 1-250 bpm,
// cadence 0-250 rpm, power 0-3000 W, temperature -60-70 °C. Readers keep
// other values as absent.
bool IsPossibleSensorValue(Sensor sensor, float value);

// Record fields a point may lack, as bits of one byte.
enum PointField : uint8_t {
    kFieldAltitude = 1 << 0,
    kFieldTime = 1 << 1,
    kFieldSpeed = 1 << 2,
    kFieldCourse = 1 << 3,
    kFieldSatellites = 1 << 4,
    kFieldPdop = 1 << 5,
    kFieldHdop = 1 << 6,
    kFieldVdop = 1 << 7,
};
// The fix quality a point of the XML and training formats carries only when
// its file says so: speed, course, satellites and dilutions of precision.
inline constexpr uint8_t kQualityFields =
    kFieldSpeed | kFieldCourse | kFieldSatellites | kFieldPdop | kFieldHdop | kFieldVdop;

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
    // count a reader ended with), giving back the memory beyond them, and
    // finishes the document for that many points.
    void Truncate(uint32_t count);
    // Gives every channel present exactly `count` values: cut as Truncate
    // does, or filled up with absent values (a reader whose last points had
    // no value of a channel).
    void Align(uint32_t count);

    // Drops every channel, every absent mark, the device's totals and the
    // document's parts.
    void Clear() {
        for (auto& v : values_) std::vector<float>().swap(v);
        std::vector<uint8_t>().swap(absent_);
        device = ReadReport::NoDeviceTotals();
        document.Clear();
    }

    // The totals the device measured itself over the activity (NaN where
    // the file gives none), shown beside the computed figures.
    DeviceTotals device = ReadReport::NoDeviceTotals();

    // The tracks and segments the points form, and the file's waypoints,
    // routes and laps (core/document.h). Readers build it; Truncate and
    // Align, which end every read, finish it.
    TrackDocument document;

    // Whether the point at `index` lacks any of `fields` (PointField bits).
    bool Lacks(uint32_t index, uint8_t fields) const {
        return index < absent_.size() && (absent_[index] & fields) != 0;
    }
    // Whether some point lacks a field.
    bool AnyAbsent() const { return !absent_.empty(); }
    // Marks `fields` absent at `index` (the mask grows with the points,
    // amortised like the channels). Throws std::bad_alloc like any container.
    void MarkAbsent(uint32_t index, uint8_t fields);
    // Forgets the marks and sensor values of the point at `index` (a reader
    // that drops the record it was filling and fills the slot again).
    void ForgetPoint(uint32_t index);

    // Bytes held by the channels and marks (the memory figure of the benchmark).
    std::size_t Bytes() const {
        std::size_t bytes = absent_.capacity() + document.Bytes();
        for (const auto& v : values_) bytes += v.capacity() * sizeof(float);
        return bytes;
    }

private:
    static std::size_t Index(Sensor sensor) { return static_cast<std::size_t>(sensor); }
    std::array<std::vector<float>, kSensorCount> values_;
    std::vector<uint8_t> absent_;  // PointField bits of each point, while any is absent
};

// The track's channels when it carries any, else null: what a writer tests
// before it adds anything of them to its output. A writer asks the absent
// marks of the full object (PointLacks), whether or not it has channels.
inline const SensorChannels* PresentChannels(const SensorChannels* channels) {
    return channels && channels->Any() ? channels : nullptr;
}

// Whether the point at `index` of a track lacks any of `fields`; false when
// the track keeps nothing beside its records.
inline bool PointLacks(const SensorChannels* extras, uint32_t index, uint8_t fields) {
    return extras && extras->Lacks(index, fields);
}

}  // namespace ferolin
