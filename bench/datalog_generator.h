// Writes a synthetic BlueGPS datalog: a hike of `count` points, one every five
// seconds, with plausible positions, altitudes, speeds and dilutions.
#pragma once

#include <cstdint>
#include <string>

namespace ferolin_tools {

// Returns false when the file cannot be written.
bool WriteSampleDatalog(const std::string& path, uint32_t count, uint32_t seed);

}  // namespace ferolin_tools
