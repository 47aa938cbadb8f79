// Fuzz target: the handheld's BlueGPS datalog reader on arbitrary bytes.
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
    }
    return 0;
}
