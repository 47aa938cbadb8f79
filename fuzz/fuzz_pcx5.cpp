// Fuzz target: the PCX5 track reader on arbitrary bytes.
#include "formats/pcx5.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadPcx5Track, data, size);
}
