// OziExplorer track point file (.plt, "OziExplorer Track Point File Version
// 2.1"): read and written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/read_status.h"
#include "core/sensors.h"
#include "core/track_point.h"

namespace ferolin {

// Reads the point lines after the six header lines. A line that gives no
// altitude, or the altitude -777 feet (OziExplorer's "no altitude"), leaves
// its point without one (marked in `sensors`, when not null). A point whose
// break flag (the third field) is 1 begins a new segment of the track in
// `sensors->document`, except the first point, which begins the first.
ReadStatus ReadOziTrack(const std::string& path, TrackPointArray& points, uint32_t& count,
                        SensorChannels* sensors = nullptr);

// Writes the export list as one track, named after the track of its first
// point when that has a name (commas and line ends made blanks), else after
// the output file's title; a point without altitude gets -777. The break flag
// is 1 on the first point of every segment after the first (a new track's
// too: the format holds one), 0 elsewhere. The option word is not used.
int WriteOziTrack(const std::string& path, const ExportEntry* entries, uint32_t count,
                  uint32_t options, const SensorChannels* sensors = nullptr);

}  // namespace ferolin
