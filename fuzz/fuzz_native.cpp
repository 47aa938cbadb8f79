// Fuzz target: the native .frn reader on arbitrary bytes.
#include "formats/native.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadNativeTrack, data, size);
}
