// Fuzz target: the handheld's BlueGPS datalog reader on arbitrary bytes; what
// it reads then goes through the four writers (to /dev/null), so that any
// value a file can hold is formatted once.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "pocket/ppc_track.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PPCTrackArray points;
    uint32_t count = 0;
    const int status =
        PPCReadDatalogText(std::string_view(reinterpret_cast<const char*>(data), size), points, count);
    if (status == 0 && count > 0) {
        // Touch records across the array so that a wrong count shows up as an
        // invalid read.
        int64_t sum = 0;
        for (uint32_t i = 0; i < count; i += 1 + count / 1024) sum += points.get()[i].record;
        sum += points.get()[count - 1].year;
        volatile int64_t sink = sum;
        (void)sink;
        PPCWriteText("/dev/null", points.get(), count, 0);
        PPCWriteGpx("/dev/null", "fuzz", points.get(), count, 1);
        PPCWritePcx5("/dev/null", points.get(), count, 0);
        PPCWritePlt("/dev/null", "fuzz", points.get(), count, 0);
    }
    return 0;
}
