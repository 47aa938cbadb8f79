// Fuzz target: the IGN Rando reader (expat and its content handler) on arbitrary bytes.
#include "formats/rando.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadRandoHike, data, size);
}
