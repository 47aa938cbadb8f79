// Fuzz target: the GeoJSON reader (simdjson On-Demand and the walk over
// features, geometries and per-point properties) on arbitrary bytes, with its
// sensor channels.
#include "formats/geojson.h"
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return ferolin_fuzz::FuzzFileReader(ferolin::ReadGeoJsonFile, data, size);
}
