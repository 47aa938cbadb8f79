// Fuzz target: the KMZ reader (libzip, then expat and the KML handler) on
// arbitrary bytes.
#include "formats/kmz.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadKmzFile, data, size);
}
