// The conversion driver: load a file into the current track and export the
// current track through a writer. It talks to its user only through a
// DriverHost, so that the same code serves the batch command line and the
// window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/read_status.h"
#include "core/selection.h"
#include "formats/format_table.h"
#include "core/sensors.h"
#include "core/track_point.h"

namespace ferolin {

// The loaded track, as the main window (or the batch loop) holds it.
struct CurrentTrack {
    TrackPointArray points;
    uint32_t count = 0;
    SensorChannels sensors;           // heart rate, cadence, power, temperature; absent fields
    ReadReport report;                // what the reader left out, the device's totals
    uint32_t fieldMask = 0xFFFF;      // mask of the row whose reader loaded it
    std::string displayName;          // path, or "Downloaded from GPS"
    std::string sourcePath;           // the file read; empty for a download
    std::string fileTitle;            // FileTitle of the display name
    const TrackPoint* selected = nullptr;

    // Releases the points and returns every field to its reset value.
    void Reset();
};

enum class MessageIcon { kStop, kExclamation };

class DriverHost {
public:
    virtual ~DriverHost() = default;

    // A message of the string table about the file at `path`, with the reason
    // behind it when one is known (empty otherwise): the verbose line of the
    // batch, the details of the window's message box.
    virtual void ShowMessage(const std::string& path, int stringId, MessageIcon icon,
                             const std::string& reason) = 0;

    // Loading and exporting run between these two calls (the window disables
    // itself and shows the wait cursor).
    virtual void BeginWork() {}
    virtual void EndWork() {}

    // Runs `read`, one reader's whole pass over the file at `path` that
    // touches nothing but its own outputs, here and now unless the host does
    // better: the window runs it on a thread of its own and keeps its events
    // (a progress bar, repaints) going until it is done.
    virtual void RunRead(const std::string& /*path*/, const std::function<void()>& read) { read(); }

    // A track with at least one point was loaded and replaced the current
    // one: fill the point list, the file label and the time bounds, show the
    // first point. A load that fails leaves the current track and the window
    // as they are.
    virtual void TrackLoaded(const CurrentTrack& /*track*/) {}
};

// What a read left out, one clause per cause ("3 points without a real
// position left out; 1 impossible sensor value left out"); empty when the
// read kept everything.
std::string LeftOutText(const ReadReport& report);
// "PATH: " and that text with its newline; empty when the read kept everything.
std::string LeftOutLine(const std::string& path, const ReadReport& report);

// Walks the format rows of the file's extension, in table order, until a
// reader succeeds; a later row of the same extension is the fall-back for an
// earlier one. Returns 0 when a track with at least one point was loaded
// into `track`, else 1 with `track` as it was.
int LoadTrack(CurrentTrack& track, const std::string& path, DriverHost& host,
              std::span<const FormatEntry> table = FormatTable());

// Selects the points of the current track by `criteria` (its rules borrowed)
// and writes them through the row's writer with the option word `options`.
// A path that names the file the track was read from is refused with a
// message, before anything is written. Returns 0 unless nothing was written.
int ExportToFile(const CurrentTrack& track, const std::string& path, int rowIndex,
                 const SelectionCriteria& criteria, uint32_t options, DriverHost& host);

// The files a batch pattern names, sorted by name: the pattern's folder listed
// and the names matched with `*` and `?`. A pattern whose extension is "rbt"
// names a logger port and stands for itself.
std::vector<std::string> MatchingFiles(const std::string& pattern);

// Loads the one FILE of a window's command line when it exists; nothing
// else does anything.
void LoadCommandLineFile(const std::vector<std::string>& arguments, CurrentTrack& track,
                         DriverHost& host);

}  // namespace ferolin
