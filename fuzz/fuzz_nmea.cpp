// Fuzz target: the NMEA trace reader on arbitrary bytes.
#include "formats/nmea.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadNmeaLog, data, size);
}
