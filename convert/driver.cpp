#include "convert/driver.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "convert/device_rows.h"
#include "core/output_file.h"
#include "core/paths.h"
#include "core/strings.h"

namespace ferolin {

void CurrentTrack::Reset() {
    points.reset();
    count = 0;
    sensors.Clear();
    report = ReadReport();
    fieldMask = 0xFFFF;
    displayName.clear();
    sourcePath.clear();
    fileTitle.clear();
    selected = nullptr;
}

namespace {

// Readers report failures as statuses; running out of memory is one too.
// The read's report starts empty.
ReadStatus CallReader(ReaderFn reader, const std::string& path, TrackPointArray& points,
                      uint32_t& count, SensorChannels& sensors) {
    CurrentReadReport() = ReadReport();
    try {
        const ReadStatus status = reader(path, points, count, &sensors);
        // Channels always match the points; a failed read leaves none.
        if (status == ReadStatus::kOk) sensors.Truncate(count);
        else sensors.Clear();
        return status;
    } catch (const std::bad_alloc&) {
        points.reset();
        count = 0;
        sensors.Clear();
        SetReadReason("out of memory");
        return ReadStatus::kNoMemory;
    }
}

// The reason of a status whose reader gave none.
std::string ReasonOf(ReadStatus status) {
    switch (status) {
        case ReadStatus::kCannotOpen: return "the file could not be opened";
        case ReadStatus::kNotThisFormat: return "not in the format of its extension";
        case ReadStatus::kNoMemory: return "out of memory";
        case ReadStatus::kXmlUnreadable: return "the file could not be read";
        case ReadStatus::kXmlMalformed: return "not well-formed XML";
        case ReadStatus::kOk: break;
    }
    return {};
}


}  // namespace

std::string LeftOutText(const ReadReport& report) {
    static constexpr const char* kWhat[kLeftOutCauses][2] = {
        {"point without a real position left out", "points without a real position left out"},
        {"impossible sensor value left out", "impossible sensor values left out"},
        {"date that does not exist, its point kept undated",
         "dates that do not exist, their points kept undated"},
    };
    std::string text;
    for (int i = 0; i < kLeftOutCauses; ++i) {
        const uint64_t n = report.leftOut[i];
        if (n == 0) continue;
        if (!text.empty()) text += "; ";
        text += std::to_string(n) + ' ' + kWhat[i][n == 1 ? 0 : 1];
    }
    return text;
}

std::string LeftOutLine(const std::string& path, const ReadReport& report) {
    const std::string text = LeftOutText(report);
    return text.empty() ? text : path + ": " + text + '\n';
}

int LoadTrack(CurrentTrack& track, const std::string& path, DriverHost& host,
              std::span<const FormatEntry> table) {
    ReadStatus status = ReadStatus::kCannotOpen;  // until a reader is tried
    std::string reason = "no reader for the extension";
    bool triedOne = false;
    host.BeginWork();

    // The file is read beside the current track, which it replaces only
    // once it has given points: a failed read leaves the track as it was.
    CurrentTrack read;
    const std::string extension = FileExtension(path);
    const FormatEntry* detected = nullptr;
    for (const FormatEntry& row : table) {
        const ReaderFn reader = ReaderOf(row);
        if (!reader || !EqualsIgnoreCase(row.extension, extension)) continue;
        TrackPointArray points;
        uint32_t count = 0;
        SensorChannels sensors;
        // The report is taken on the thread that read.
        ReadReport report;
        host.RunRead(path, [&] {
            status = CallReader(reader, path, points, count, sensors);
            report = std::move(CurrentReadReport());
        });
        if (status == ReadStatus::kOk) {
            read.points = std::move(points);
            read.count = count;
            read.sensors = std::move(sensors);
            read.sensors.device = report.device;
            read.report = std::move(report);
            detected = &row;
            break;
        }
        // The first row's reason tells what the file is not; a later row
        // (the fall-back of a shared extension) would only say that it is
        // not its format either.
        if (!triedOne) reason = report.reason.empty() ? ReasonOf(status) : report.reason;
        triedOne = true;
    }

    bool loaded = false;
    if (!detected) {
        host.ShowMessage(path, kStrCannotOpen, MessageIcon::kStop, reason);
    } else if (read.count == 0 && read.sensors.document.waypoints.empty() && read.sensors.document.routes.empty()) {
        // Why: the reader's own word, else what it left out.
        std::string why = read.report.reason;
        if (why.empty()) why = LeftOutText(read.report);
        if (why.empty()) why = "the file holds no track point";
        host.ShowMessage(path, kStrNoPointInFile, MessageIcon::kExclamation, why);
    } else {
        loaded = true;
        const bool download = std::string_view(detected->extension) == "rbt";
        read.fieldMask = detected->fieldMask;
        read.displayName = download ? std::string(LoadString(kStrDownloadedFromGps)) : path;
        read.sourcePath = download ? std::string() : path;
        read.fileTitle = FileTitle(read.displayName);
        // The previous track's points live on in `read` until the host has
        // let go of them.
        std::swap(track, read);
        host.TrackLoaded(track);
    }
    host.EndWork();
    return loaded ? 0 : 1;
}

int ExportToFile(const CurrentTrack& track, const std::string& path, int rowIndex,
                 const SelectionCriteria& criteria, uint32_t options, DriverHost& host) {
    const auto table = FormatTable();
    if (rowIndex < 0 || static_cast<std::size_t>(rowIndex) >= table.size() ||
        !HasWriter(table[rowIndex]))
        return 1;
    const FormatEntry& row = table[rowIndex];
    const WriterFn writer = WriterOf(row);
    // The file that was read is never written, whatever the spelling of the
    // path or the links on the way (a port row writes no file).
    if (row.device == DeviceRow::kNone && !track.sourcePath.empty() &&
        FileIdentity(track.sourcePath) == FileIdentity(path)) {
        host.ShowMessage(track.sourcePath, kStrOutputIsInput, MessageIcon::kStop,
                         "the output names the file that was read");
        return 1;
    }

    host.BeginWork();
    std::vector<ExportEntry> list;
    bool memory = true;
    // The time window drops the dated waypoints outside it too: the writer
    // then gets a copy of what lies beside the points with the waypoints kept.
    const SensorChannels* extras = &track.sensors;
    SensorChannels windowed;
    try {
        list = BuildExportList(track.points.get(), track.count, criteria, &track.sensors.document);
        const auto& waypoints = track.sensors.document.waypoints;
        if ((criteria.flags & (kSelectStart | kSelectStop)) && !waypoints.empty()) {
            std::vector<Waypoint> kept = WaypointsInWindow(waypoints, criteria);
            if (kept.size() != waypoints.size()) {
                windowed = track.sensors;
                windowed.document.waypoints = std::move(kept);
                extras = &windowed;
            }
        }
    } catch (const std::bad_alloc&) {
        list.clear();  // no memory for the list: nothing to write
        memory = false;
    }
    const TrackDocument& document = extras->document;
    const bool places = row.keepsPlaces && (!document.waypoints.empty() || !document.routes.empty());

    int status = 0;
    std::string reason;
    if (memory && (!list.empty() || places)) {
        // A writer that runs out of memory fails like one that cannot write;
        // its unfinished file is discarded.
        try {
            errno = 0;
            status = writer(path, list.data(), static_cast<uint32_t>(list.size()), options, extras);
            if (status != 0 && errno != 0) reason = std::strerror(errno);
        } catch (const std::bad_alloc&) {
            status = 1;
            reason = "out of memory";
        }
    } else {
        host.ShowMessage(path, kStrNoPointToWrite, MessageIcon::kStop,
                         !memory ? "out of memory"
                         : track.count ? "every point was excluded by the selection"
                                       : "the file holds no track point, and this format keeps no waypoint or route");
    }
    host.EndWork();

    if (status != 0) host.ShowMessage(path, kStrCannotWrite, MessageIcon::kStop, reason);
    return status;
}

std::vector<std::string> MatchingFiles(const std::string& pattern) {
    std::vector<std::string> files;
    if (EqualsIgnoreCase(FileExtension(pattern), "rbt")) {
        files.push_back(pattern);
        return files;
    }
    const std::string folder = FileDirectory(pattern);
    const std::string name = pattern.substr(folder.size());
    if (name.empty()) return files;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return files;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view entryName = entry->d_name;
        if (entryName == "." || entryName == "..") continue;
        if (!WildcardMatch(name, entryName)) continue;
        struct stat info;
        const std::string full = folder + std::string(entryName);
        if (stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
        names.emplace_back(entryName);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    files.reserve(names.size());
    for (const std::string& n : names) files.push_back(folder + n);
    return files;
}

void LoadCommandLineFile(const std::vector<std::string>& arguments, CurrentTrack& track,
                         DriverHost& host) {
    struct stat info;
    if (arguments.size() == 1 && stat(arguments[0].c_str(), &info) == 0)
        LoadTrack(track, arguments[0], host);
}

}  // namespace ferolin
