// Fuzz target: the BlueGPS datalog reader on arbitrary bytes.
#include "formats/bluegps.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadBlueGpsLog, data, size);
}
