#include "convert/driver.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <new>

#include "convert/device_rows.h"
#include "core/paths.h"
#include "core/strings.h"

namespace ferolin {

void CurrentTrack::Reset() {
    points.reset();
    count = 0;
    sensors.Clear();
    fieldMask = 0xFFFF;
    displayName.clear();
    fileTitle.clear();
    selected = nullptr;
}

namespace {

// Readers report failures as statuses; running out of memory is one too.
int CallReader(ReaderFn reader, const std::string& path, TrackPointArray& points,
               uint32_t& count, SensorChannels& sensors) {
    try {
        const int status = reader(path, points, count, &sensors);
        // Channels always match the points; a failed read leaves none.
        if (status == 0) sensors.Truncate(count);
        else sensors.Clear();
        return status;
    } catch (const std::bad_alloc&) {
        points.reset();
        count = 0;
        sensors.Clear();
        return 1;
    }
}

}  // namespace

int LoadTrack(CurrentTrack& track, const std::string& path, DriverHost& host,
              std::span<const FormatEntry> table) {
    int status = 1;
    track.fieldMask = 0xFFFF;
    host.BeginWork();

    const std::string extension = FileExtension(path);
    const FormatEntry* detected = nullptr;
    for (const FormatEntry& row : table) {
        const ReaderFn reader = ReaderOf(row);
        if (!reader || !EqualsIgnoreCase(row.extension, extension)) continue;
        TrackPointArray points;
        uint32_t count = 0;
        SensorChannels sensors;
        status = CallReader(reader, path, points, count, sensors);
        if (status == 0) {
            track.points = std::move(points);
            track.count = count;
            track.sensors = std::move(sensors);
            detected = &row;
            break;
        }
    }

    if (!detected) {
        host.ShowMessage(path, kStrCannotOpen, MessageIcon::kStop);
        if (status == 1) host.ShowNoPoint();
        status = status ? status : 1;
    } else {
        track.fieldMask = detected->fieldMask;
        if (track.count == 0) {
            host.ShowMessage(path, kStrNoPointInFile, MessageIcon::kExclamation);
            status = 1;
            host.ShowNoPoint();
        } else {
            track.displayName = std::string_view(detected->extension) == "rbt"
                                    ? std::string(LoadString(kStrDownloadedFromGps))
                                    : path;
            track.fileTitle = FileTitle(track.displayName);
            host.TrackLoaded(track);
        }
    }
    host.EndWork();
    return status;
}

int ExportToFile(const CurrentTrack& track, const std::string& path, int rowIndex,
                 DriverHost& host) {
    const auto table = FormatTable();
    if (rowIndex < 0 || static_cast<std::size_t>(rowIndex) >= table.size() ||
        !HasWriter(table[rowIndex]))
        return 1;
    const FormatEntry& row = table[rowIndex];
    const WriterFn writer = WriterOf(row);

    host.BeginWork();
    SelectionCriteria criteria;
    host.BuildCriteria(track.fieldMask, criteria);
    const uint32_t options = host.WriterOptions(row);
    std::vector<ExportEntry> list;
    try {
        list = BuildExportList(track.points.get(), track.count, criteria);
    } catch (const std::bad_alloc&) {
        list.clear();  // no memory for the list: nothing to write
    }

    int status = 0;
    if (!list.empty()) {
        // A writer that runs out of memory fails like one that cannot write;
        // its unfinished file is discarded.
        try {
            status = writer(path, list.data(), static_cast<uint32_t>(list.size()), options,
                            PresentChannels(&track.sensors));
        } catch (const std::bad_alloc&) {
            status = 1;
        }
    } else {
        host.ShowMessage(path, kStrNoPointToWrite, MessageIcon::kStop);
    }
    host.EndWork();

    if (status != 0) host.ShowMessage(path, kStrCannotWrite, MessageIcon::kStop);
    return status;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::size_t SkipBlanks(const std::string& s, std::size_t i) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    return i;
}

// Takes the text from `i` up to and including the next `delimiter` (the whole
// rest when it is missing) and returns the position after it.
std::size_t TakeUpTo(const std::string& s, std::size_t i, char delimiter) {
    const std::size_t at = s.find(delimiter, i);
    return at == std::string::npos ? s.size() : at + 1;
}

}  // namespace

std::vector<std::string> ParseCommandLine(const std::string& line) {
    std::vector<std::string> arguments;
    std::size_t i = SkipBlanks(line, 0);
    // The program name.
    if (i < line.size() && line[i] == '"')
        i = TakeUpTo(line, i + 1, '"');
    else
        i = TakeUpTo(line, i, ' ');
    i = SkipBlanks(line, i);
    while (i < line.size()) {
        std::size_t next;
        std::size_t begin = i;
        if (line[i] == '"') {
            begin = i + 1;
            next = TakeUpTo(line, begin, '"');
        } else {
            next = TakeUpTo(line, i, ' ');
        }
        std::string piece = line.substr(begin, next - begin);
        const auto first = piece.find_first_not_of(" \"");
        const auto last = piece.find_last_not_of(" \"");
        if (first != std::string::npos) arguments.push_back(piece.substr(first, last - first + 1));
        i = SkipBlanks(line, next);
    }
    return arguments;
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

std::size_t RunBatch(CurrentTrack& track, const std::string& pattern, int rowIndex,
                     DriverHost& host) {
    const FormatEntry& row = FormatTable()[rowIndex];
    const std::vector<std::string> files = MatchingFiles(pattern);
    for (const std::string& file : files) {
        track.Reset();
        if (LoadTrack(track, file, host) == 0)
            ExportToFile(track, ChangeExtension(file, row.extension), rowIndex, host);
    }
    track.Reset();
    return files.size();
}

bool RunCommandLine(const std::vector<std::string>& arguments, CurrentTrack& track,
                    DriverHost& host) {
    if (arguments.empty()) return true;
    if (arguments.size() == 1) {
        struct stat info;
        if (stat(arguments[0].c_str(), &info) == 0) LoadTrack(track, arguments[0], host);
        return true;
    }
    const int row = FindWriterRow(arguments[1]);
    if (row < 0) return false;
    RunBatch(track, arguments[0], row, host);
    return false;
}

}  // namespace ferolin
