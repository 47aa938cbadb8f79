// Fuzz target: the GPX reader (expat and its content handler) on arbitrary bytes.
#include "formats/gpx.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadGpxTrack, data, size);
}
