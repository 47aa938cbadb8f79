// Fuzz target: the OziExplorer PLT reader on arbitrary bytes.
#include "formats/ozi_plt.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadOziTrack, data, size);
}
