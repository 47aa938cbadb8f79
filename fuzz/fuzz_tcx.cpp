// Fuzz target: the TCX reader (expat and its trackpoint handler) on arbitrary
// bytes, with its sensor channels.
#include "formats/tcx.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadTcxFile, data, size);
}
