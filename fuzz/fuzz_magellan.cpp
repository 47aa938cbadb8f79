// Fuzz target: the Magellan SD log reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/magellan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ferolin::TrackPointArray points;
    uint32_t count = 0;
    const int status = ferolin::ReadMagellanText(
        std::string_view(reinterpret_cast<const char*>(data), size), points, count);
    if (status == 0 && count > 0) {
        // Touch records across the array so that a bad count shows up as an
        // invalid read.
        // Unsigned sum: records may hold any int value.
        uint32_t sum = 0;
        for (uint32_t i = 0; i < count; i += 1 + count / 1024)
            sum += static_cast<uint32_t>(points[i].record);
        sum += static_cast<uint32_t>(points[count - 1].record);
        volatile uint32_t sink = sum;
        (void)sink;
    }
    return 0;
}
