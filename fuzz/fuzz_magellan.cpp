// Fuzz target: the Magellan SD log reader on arbitrary bytes.
#include "formats/magellan.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadMagellanLog, data, size);
}
