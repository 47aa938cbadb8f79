// Fuzz target: the Garmin FIT reader on arbitrary bytes (as an in-memory file
// opened by name), with its sensor channels.
#include "formats/fit.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadFitFile, data, size);
}
