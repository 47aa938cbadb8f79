// Fuzz target: the Garmin FIT reader on arbitrary bytes, with its sensor
// channels; every channel present is walked across the points returned.
#include <cmath>

#include "formats/fit.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ferolin::TrackPointArray points;
    uint32_t count = 0;
    ferolin::SensorChannels sensors;
    if (ferolin::ReadFitBytes(ferolin_fuzz::Text(data, size), points, count, &sensors) != 0)
        return 0;
    ferolin_fuzz::TouchPoints(points, count);
    float sum = 0;
    for (const ferolin::SensorInfo& info : ferolin::kSensorTable) {
        if (!sensors.Has(info.sensor) || count == 0) continue;
        sum += sensors.Value(info.sensor, 0) + sensors.Value(info.sensor, count - 1);
    }
    volatile bool sink = std::isnan(sum);
    (void)sink;
    return 0;
}
