// The serial ports a GPS logger may sit on, for the download's port choice.
#pragma once

#include <string>
#include <vector>

namespace ferolin {

// The entries of `folder` named like serial ports (ttyUSB*, ttyACM*, rfcomm*,
// ttyS*), as paths, in that order of kinds and in natural order within a kind
// (ttyS2 before ttyS10).
std::vector<std::string> ListSerialPorts(const std::string& folder = "/dev");

}  // namespace ferolin
