// Fuzz target: the KML reader (expat and its content handler) on arbitrary bytes.
#include "formats/kml.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadKmlTrack, data, size);
}
