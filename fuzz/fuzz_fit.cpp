// Fuzz target: the Garmin FIT reader on arbitrary bytes (as an in-memory file
// opened by name), with its sensor channels; every channel present is read
// at both ends of the points returned.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <string>

#include "formats/fit.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memfd_create("fuzz_fit", MFD_CLOEXEC);
    if (fd < 0) return 0;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ferolin::TrackPointArray points;
    uint32_t count = 0;
    ferolin::SensorChannels sensors;
    const ferolin::ReadStatus status =
        ferolin::ReadFitFile("/proc/self/fd/" + std::to_string(fd), points, count, &sensors);
    close(fd);
    if (status != ferolin::ReadStatus::kOk) return 0;
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
