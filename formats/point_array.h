// Allocation of the point arrays of the readers in this folder.
#pragma once

#include <cstddef>

#include "core/track_point.h"

namespace ferolin {

// AllocateTrackPoints, with the kernel asked to back a large array with huge
// pages: a million-point array is 55 MB, and faulting it in 4 KB at a time
// costs more than reading and parsing the whole file on some machines.
TrackPointArray AllocateReaderPoints(std::size_t count);

}  // namespace ferolin
