// `ferolin --info FILE...`: the figures of each file's export selection, as
// aligned text or, with --json, as one JSON object per file and line.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "convert/batch.h"
#include "core/figures.h"

namespace ferolin {

// One track of the file: its name (empty when the file gives none), how many
// segments it has and the figures of its own selected points.
struct TrackInfo {
    std::string name;
    uint32_t segments = 0;
    TrackFigures figures;
};

// What --info tells of one file: the figures of its whole selection, the
// counts of the parts of its document, and each track's own figures.
struct FileInfo {
    TrackFigures figures;
    uint32_t tracks = 0, segments = 0, waypoints = 0, routes = 0, laps = 0;
    std::vector<TrackInfo> perTrack;  // one per track, in the file's order
};

// The figures of `entries` (the export list of a track of `pointCount`
// points, ascending indexes) with the dead band of `ascentThreshold`, the
// counts of the document of `extras` and the figures of each of its tracks.
// A file without a track point has no track and no segment.
FileInfo ComputeFileInfo(const std::vector<ExportEntry>& entries, uint32_t pointCount,
                         const SensorChannels& extras, double ascentThreshold);

// The figures as aligned text, one line per figure, the file first; a block
// per track follows when the file has more than one.
std::string FiguresText(const std::string& file, const FileInfo& info);
// The figures as one line of JSON with its newline.
std::string FiguresJson(const std::string& file, const FileInfo& info);

// Loads each file of `options.positional`, selects its points as the batch
// conversion would and prints its figures to `out`, files in the order
// given; a file that does not load gives its message on `err`. Returns 0, or
// 1 when any file gave a message.
int RunInfo(const BatchOptions& options, std::ostream& out, std::ostream& err,
            const BatchSettings* settings);

}  // namespace ferolin
