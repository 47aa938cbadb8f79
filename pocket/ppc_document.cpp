#include "pocket/ppc_document.h"

#include <ostream>

namespace {

constexpr const char* kVersionText = "ferolix 1.2 (Ferolin for Pocket PC)\n";
constexpr const char* kUsageText =
    "usage: ferolix                              the window, empty document\n"
    "       ferolix FILE                         the window with FILE opened\n"
    "       ferolix FILE -o OUT [--all-points]   export FILE to OUT without a window\n"
    "       ferolix --help | --version\n"
    "FILE: BlueGPS datalog text (.log, .txt, ...) or NMEA (.nmea, .nme).\n"
    "OUT: .txt text table with statistics, .gpx GPX 1.0, .trk PCX5 track, .plt OziExplorer track.\n"
    "Points with altitude 0 are left out unless --all-points is given.\n";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return i == a.size() && b[i] == '\0';
}

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

// The file name without folder and extension (the default export name).
std::string TitleOf(const std::string& path) {
    const std::size_t slash = LastSeparator(path);
    std::string title = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = title.rfind('.');
    if (dot != std::string::npos) title.resize(dot);
    return title;
}

int FormatForOutput(const std::string& path, std::string& extension) {
    const std::size_t slash = LastSeparator(path);
    const std::size_t dot = path.rfind('.');
    extension = (dot == std::string::npos || (slash != std::string::npos && dot < slash))
                    ? std::string()
                    : path.substr(dot + 1);
    if (EqualsIgnoringCase(extension, "txt")) return kPPCText;
    if (EqualsIgnoringCase(extension, "gpx")) return kPPCGpx;
    if (EqualsIgnoringCase(extension, "trk")) return kPPCPcx5;
    if (EqualsIgnoringCase(extension, "plt")) return kPPCPlt;
    return 0;
}

}  // namespace

const char* PPCMessageText(PPCMessage message) {
    switch (message) {
        case PPCMessage::kCannotOpen: return "Cannot open the file.";
        case PPCMessage::kCannotWrite: return "Cannot write to the file.";
        case PPCMessage::kNoTrackPoint: return "No track point in the file.";
    }
    return "";
}

bool PPCMessageIsError(PPCMessage message) { return message != PPCMessage::kNoTrackPoint; }

bool PPCIsNmeaPath(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::string extension = dot == std::string::npos ? path : path.substr(dot);
    return EqualsIgnoringCase(extension, ".nmea") || EqualsIgnoringCase(extension, ".nme");
}

std::string PPCTrackNameForTarget(const std::string& target) {
    const std::size_t slash = LastSeparator(target);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    name.resize(dot == std::string::npos ? 0 : dot);
    return name;
}

bool CPPCDoc::OpenDocument(const std::string& path, const PPCMessageSink& report) {
    // The track held so far goes first; path and name stay until the new
    // file is accepted.
    points_.reset();
    count_ = 0;
    PPCTrackArray points;
    uint32_t count = 0;
    const int status = PPCIsNmeaPath(path) ? PPCReadNmea(path, points, count)
                                           : PPCReadDatalog(path, points, count);
    if (status != 0) {
        if (report) report(PPCMessage::kCannotOpen);
        return false;
    }
    if (count == 0) {
        if (report) report(PPCMessage::kNoTrackPoint);
        return false;
    }
    points_ = std::move(points);
    count_ = count;
    path_ = path;
    name_ = TitleOf(path);
    return true;
}

void CPPCDoc::CloseDocument() {
    points_.reset();
    count_ = 0;
    path_.clear();
    name_.clear();
}

int CPPCDoc::ExportTrack(const std::string& target, int format, bool dropWithoutAltitude,
                         const PPCMessageSink& report) const {
    const std::string name = PPCTrackNameForTarget(target);
    const int flag = dropWithoutAltitude ? 1 : 0;
    int status = 0;
    switch (format) {
        case kPPCText: status = PPCWriteText(target, points_.get(), count_, flag); break;
        case kPPCGpx: status = PPCWriteGpx(target, name, points_.get(), count_, flag); break;
        case kPPCPcx5: status = PPCWritePcx5(target, points_.get(), count_, flag); break;
        case kPPCPlt: status = PPCWritePlt(target, name, points_.get(), count_, flag); break;
        default: return 0;
    }
    if (status != 0 && report) report(PPCMessage::kCannotWrite);
    return 1;
}

PPCCommandLine PPCParseCommandLine(const std::vector<std::string>& args, std::ostream& out,
                                   std::ostream& err) {
    PPCCommandLine line;
    auto usageError = [&](const std::string& problem) {
        err << "ferolix: " << problem << "\n" << kUsageText;
        line.mode = PPCCommandLine::kFinished;
        line.status = 2;
        return line;
    };
    bool haveFile = false;
    bool haveOutput = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--help") {
            out << kUsageText;
            line.mode = PPCCommandLine::kFinished;
            line.status = 0;
            return line;
        }
        if (!optionsEnded && a == "--version") {
            out << kVersionText;
            line.mode = PPCCommandLine::kFinished;
            line.status = 0;
            return line;
        }
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a == "-o") {
            if (haveOutput) return usageError("-o given twice");
            if (i + 1 >= args.size()) return usageError("-o needs a file name");
            line.output = args[++i];
            haveOutput = true;
        } else if (!optionsEnded && a == "--all-points") {
            line.allPoints = true;
        } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            return usageError("unknown option: " + a);
        } else {
            if (haveFile) return usageError("more than one track file: " + a);
            line.file = a;
            haveFile = true;
        }
    }
    if (!haveOutput) {
        if (line.allPoints) return usageError("--all-points needs -o OUT");
        line.mode = PPCCommandLine::kWindow;
        return line;
    }
    if (!haveFile) return usageError("-o needs a track file to export");
    std::string extension;
    line.format = FormatForOutput(line.output, extension);
    if (line.format == 0) {
        err << "unknown output format: " << extension << "\n";
        line.mode = PPCCommandLine::kFinished;
        line.status = 2;
        return line;
    }
    line.mode = PPCCommandLine::kHeadless;
    return line;
}

int PPCRunHeadless(const PPCCommandLine& line, std::ostream& err) {
    int status = 0;
    CPPCDoc document;
    const std::string* about = &line.file;
    const PPCMessageSink report = [&](PPCMessage message) {
        err << *about << ": " << PPCMessageText(message) << "\n";
        status = 1;
    };
    if (!document.OpenDocument(line.file, report)) return 1;
    about = &line.output;
    // Without --all-points the points without altitude are left out, as the
    // window's check box is at start.
    document.ExportTrack(line.output, line.format, !line.allPoints, report);
    return status;
}
