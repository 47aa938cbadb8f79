#include "core/sensors.h"

namespace ferolin {

float* SensorChannels::Channel(Sensor sensor, uint32_t count) {
    std::vector<float>& v = values_[Index(sensor)];
    if (v.size() < count) v.resize(count, kNoSensorValue);
    return v.data();
}

void SensorChannels::Truncate(uint32_t count) {
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
