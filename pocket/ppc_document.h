// The handheld's document: the opened track with its path and name, the open,
// close and export steps, and the headless command line. No Qt: the window
// shows the messages that the document reports through a callback.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "pocket/ppc_track.h"

// The handheld's three messages.
enum class PPCMessage { kCannotOpen, kCannotWrite, kNoTrackPoint };
// "Cannot open the file.", "Cannot write to the file.", "No track point in the file."
const char* PPCMessageText(PPCMessage message);
// The error icon for the two failures, the exclamation icon for an empty track.
bool PPCMessageIsError(PPCMessage message);

using PPCMessageSink = std::function<void(PPCMessage)>;

// True when the path's extension (from its last "." to the end) is ".nmea"
// or ".nme" in any letter case: such files are read as NMEA, all others as
// BlueGPS datalog text.
bool PPCIsNmeaPath(const std::string& path);
// The track name a writer gets for the file it writes: the text after the
// last folder separator ("/" or "\") and before the last "." after it; empty
// when no "." remains.
std::string PPCTrackNameForTarget(const std::string& target);

class CPPCDoc {
public:
    CPPCDoc() = default;
    CPPCDoc(const CPPCDoc&) = delete;
    CPPCDoc& operator=(const CPPCDoc&) = delete;

    // Reads the file with the reader its extension selects. On success the
    // track, path and name are replaced and true is returned. On failure the
    // message is reported, no points stay (count 0) and the previous path and
    // name are kept.
    bool OpenDocument(const std::string& path, const PPCMessageSink& report);
    // Frees the track and empties path and name.
    void CloseDocument();
    // Writes the track with the format's writer (codes of PPCExportFormat);
    // a writer failure reports "Cannot write to the file.". Returns 1 for a
    // known format code, 0 otherwise.
    int ExportTrack(const std::string& target, int format, bool dropWithoutAltitude,
                    const PPCMessageSink& report) const;

    const std::string& Path() const { return path_; }
    const std::string& Name() const { return name_; }
    const PPCTrackPoint* Points() const { return points_.get(); }
    uint32_t Count() const { return count_; }

private:
    std::string name_;
    std::string path_;
    PPCTrackArray points_;
    uint32_t count_ = 0;
};

// The command line of ferolix.
struct PPCCommandLine {
    enum Mode { kWindow, kHeadless, kFinished } mode = kWindow;
    int status = 0;       // exit status when kFinished
    std::string file;     // the track file; empty for none
    std::string output;   // headless: the file to write
    int format = 0;       // headless: the export format code
    bool allPoints = false;
};

// Parses the arguments (without the program name). --help and --version
// print to `out` and finish with 0; usage errors print to `err` and finish
// with 2.
PPCCommandLine PPCParseCommandLine(const std::vector<std::string>& args, std::ostream& out,
                                   std::ostream& err);
// The headless export: 0 when written, 1 after a message on `err`
// ("PATH: TEXT").
int PPCRunHeadless(const PPCCommandLine& line, std::ostream& err);
