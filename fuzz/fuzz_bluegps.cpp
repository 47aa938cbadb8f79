// Fuzz target: the BlueGPS datalog reader on arbitrary bytes.
#include "core/line_reader.h"
#include "formats/bluegps.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto read = [](std::string_view text, ferolin::TrackPointArray& points,
                         uint32_t& count) {
        ferolin::LineReader lines(1023);
        lines.OpenMemory(text);
        return ferolin::ReadBlueGpsLines(lines, points, count);
    };
    return ferolin_fuzz::FuzzTextReader(read, data, size);
}
