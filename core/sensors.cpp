#include "core/sensors.h"

#include <algorithm>

namespace ferolin {

float* SensorChannels::Channel(Sensor sensor, uint32_t count) {
    std::vector<float>& v = values_[Index(sensor)];
    if (v.size() < count) v.resize(count, kNoSensorValue);
    return v.data();
}

bool IsPossibleSensorValue(Sensor sensor, float value) {
    switch (sensor) {
        case Sensor::kHeartRate: return value >= 1 && value <= 250;
        case Sensor::kCadence: return value >= 0 && value <= 250;
        case Sensor::kPower: return value >= 0 && value <= 3000;
        case Sensor::kTemperature: return value >= -60 && value <= 70;
    }
    return false;
}

void SensorChannels::MarkAbsent(uint32_t index, uint8_t fields) {
    if (absent_.size() <= index) {
        if (absent_.capacity() <= index) absent_.reserve(std::max<std::size_t>(2 * absent_.capacity(), index + 1u));
        absent_.resize(static_cast<std::size_t>(index) + 1, 0);
    }
    absent_[index] |= fields;
}

void SensorChannels::ForgetPoint(uint32_t index) {
    if (index < absent_.size()) absent_[index] = 0;
    for (auto& v : values_)
        if (index < v.size()) v[index] = kNoSensorValue;
}

void SensorChannels::Truncate(uint32_t count) {
    document.Finish(count);
    if (absent_.size() > count) {
        if (count == 0) std::vector<uint8_t>().swap(absent_);
        else {
            absent_.resize(count);
            absent_.shrink_to_fit();
        }
    }
    for (auto& v : values_) {
        if (v.size() <= count) continue;
        if (count == 0) {
            std::vector<float>().swap(v);
            continue;
        }
        v.resize(count);
        v.shrink_to_fit();
    }
}

void SensorChannels::Align(uint32_t count) {
    Truncate(count);
    for (auto& v : values_)
        if (!v.empty() && v.size() < count) v.resize(count, kNoSensorValue);
}

}  // namespace ferolin
