#include "core/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "core/paths.h"

namespace ferolin {

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Create(const std::string& requested) {
    Abandon();
    // Through a symbolic link the file it points to is replaced, not the link.
    std::string path = requested;
    struct stat link;
    if (lstat(requested.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = realpath(requested.c_str(), nullptr)) {
            path = resolved;
            std::free(resolved);
        }
    }
    target_ = path;
    failed_ = false;
    buffer_.clear();

    struct stat existing;
    const bool exists = stat(path.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // Folders and devices are not replaced through a temporary file.
        fd_ = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        return fd_ >= 0;
    }

    const std::string folder = FileDirectory(path);
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        temporary_ = folder + "." + path.substr(folder.size()) + "." + suffix + ".part";
        fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) break;
        if (errno != EEXIST) break;
    }
    if (fd_ < 0) {
        // A folder we may not create files in can still hold a writable file:
        // write that one in place.
        temporary_.clear();
        fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        return fd_ >= 0;
    }
    if (exists) fchmod(fd_, existing.st_mode & 07777);
    return true;
}

void OutputFile::WriteOut() {
    const char* p = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0 && !failed_) {
        const ssize_t n = write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

bool OutputFile::Commit() {
    if (fd_ < 0) return false;
    WriteOut();
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) failed_ = true;
    if (!failed_ && !temporary_.empty() && rename(temporary_.c_str(), target_.c_str()) != 0)
        failed_ = true;
    if (failed_) {
        Abandon();
        return false;
    }
    temporary_.clear();
    return true;
}

void OutputFile::Abandon() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
    buffer_.clear();
}

}  // namespace ferolin
