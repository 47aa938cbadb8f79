#include "core/paths.h"

#include "core/read_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace ferolin {

namespace {

std::string_view::size_type LastSeparator(std::string_view path) {
    return path.find_last_of("/\\");
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string FileExtension(std::string_view path) {
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos) return std::string(path);
    return std::string(path.substr(dot + 1));
}

std::string FileDirectory(std::string_view path) {
    const auto sep = LastSeparator(path);
    if (sep == std::string_view::npos) return std::string();
    return std::string(path.substr(0, sep + 1));
}

std::string FileTitle(std::string_view path) {
    const auto sep = LastSeparator(path);
    std::string_view name = sep == std::string_view::npos ? path : path.substr(sep + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

std::string ChangeExtension(std::string_view path, std::string_view extension) {
    const auto dot = path.rfind('.');
    std::string result;
    if (dot != std::string_view::npos) result.assign(path.substr(0, dot + 1));
    result.append(extension);
    return result;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

std::string ToUpper(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = Upper(c);
    return result;
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    // Iterative matcher with one backtrack point for the last '*'.
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

int OpenRegularFile(const std::string& path, std::size_t& size, std::string& reason) {
    size = 0;
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; it
    // changes nothing for a regular file.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = "not a regular file";
        close(fd);
        return -1;
    }
    size = static_cast<std::size_t>(info.st_size);
    // A new read of the file begins: the progress starts again from 0.
    ReportReadTotal(size);
    return fd;
}

int OpenTrackFile(const std::string& path, std::size_t& size) {
    std::string reason;
    const int fd = OpenRegularFile(path, size, reason);
    if (fd < 0) SetReadReason(std::move(reason));
    return fd;
}

}  // namespace ferolin
