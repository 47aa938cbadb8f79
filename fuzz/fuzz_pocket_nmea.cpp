// Fuzz target: the handheld's NMEA reader on arbitrary bytes, its records
// then written by the PLT writer's day number and whole-second conversions.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pocket/ppc_track.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PPCTrackArray points;
    uint32_t count = 0;
    const int status =
        PPCReadNmeaText(std::string_view(reinterpret_cast<const char*>(data), size), points, count);
    if (status == 0 && count > 0) {
        double sum = 0;
        for (uint32_t i = 0; i < count; ++i) {
            const PPCTrackPoint& p = points.get()[i];
            sum += PPCDayNumber(p.day, p.month, p.year, p.hour, p.minute, PPCWholeSeconds(p.seconds));
        }
        volatile double sink = sum;
        (void)sink;
    }
    return 0;
}
