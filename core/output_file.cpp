#include "core/output_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "core/paths.h"

namespace ferolin {

namespace {

// The temporary files being written, for the signal watcher. A file is
// created, renamed and removed with the lock held, so that the watcher sees
// every one that exists and none is renamed once it has started cleaning.
std::mutex gTemporaryLock;
std::vector<std::string>& Temporaries() {
    static std::vector<std::string>* files = new std::vector<std::string>;  // outlives every writer
    return *files;
}

void Forget(const std::string& path) {
    auto& files = Temporaries();
    const auto at = std::find(files.begin(), files.end(), path);
    if (at != files.end()) files.erase(at);
}

// Whether the user may write an existing file. The superuser may write any
// file, but a file without a write bit for anyone is still left alone.
bool MayWrite(const std::string& path, const struct stat& info) {
    if (geteuid() == 0) return (info.st_mode & 0222) != 0;
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Create(const std::string& requested) {
    Abandon();
    failed_ = false;
    buffer_.clear();
    if (requested == kStandardOutputPath) {
        target_ = requested;
        fd_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        return fd_ >= 0;
    }

    // Through a symbolic link the file it points to is replaced, not the link;
    // a link to no file, or to anything but a regular file, is refused.
    std::string path = requested;
    struct stat link;
    if (lstat(requested.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char* resolved = realpath(requested.c_str(), nullptr);
        if (!resolved) return false;
        path = resolved;
        std::free(resolved);
    }
    struct stat existing;
    const bool exists = stat(path.c_str(), &existing) == 0;
    if (exists && (!S_ISREG(existing.st_mode) || !MayWrite(path, existing))) return false;
    target_ = path;

    // A short name of our own, whatever the length of the target's name.
    const std::string folder = FileDirectory(path);
    std::random_device random;
    const std::lock_guard<std::mutex> lock(gTemporaryLock);
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".ferolin-%08x.part", static_cast<unsigned>(random()));
        temporary_ = folder + name;
        fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        temporary_.clear();
        return false;
    }
    Temporaries().push_back(temporary_);
    if (exists) {
        // The replacement keeps the permissions and, where we may, the owner.
        if (fchown(fd_, existing.st_uid, existing.st_gid) != 0) {}
        fchmod(fd_, existing.st_mode & 07777);
    }
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
    if (!failed_ && !temporary_.empty()) {
        const std::lock_guard<std::mutex> lock(gTemporaryLock);
        if (rename(temporary_.c_str(), target_.c_str()) == 0) {
            Forget(temporary_);
            temporary_.clear();
        } else {
            failed_ = true;
        }
    }
    if (failed_) {
        Abandon();
        return false;
    }
    return true;
}

void OutputFile::Abandon() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        const std::lock_guard<std::mutex> lock(gTemporaryLock);
        unlink(temporary_.c_str());
        Forget(temporary_);
        temporary_.clear();
    }
    buffer_.clear();
}

std::string FileIdentity(const std::string& path) {
    auto key = [](const struct stat& info) {
        return std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino);
    };
    struct stat info;
    if (stat(path.c_str(), &info) == 0) return key(info);
    const std::string folder = FileDirectory(path);
    if (stat(folder.empty() ? "." : folder.c_str(), &info) == 0)
        return key(info) + '/' + path.substr(folder.size());
    return path;
}

void RemoveTemporaryFilesOnSignals() {
    static std::once_flag once;
    std::call_once(once, [] {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            // A signal the process was started to ignore (nohup) stays ignored.
            struct sigaction current;
            if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
                sigaddset(&set, signal);
        }
        if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
        try {
            std::thread([set] {
                int signal = 0;
                while (sigwait(&set, &signal) != 0) {}
                // The lock is never given back: nothing is created or renamed
                // once the cleaning has begun.
                gTemporaryLock.lock();
                for (const std::string& path : Temporaries()) unlink(path.c_str());
                ::signal(signal, SIG_DFL);
                sigset_t only;
                sigemptyset(&only);
                sigaddset(&only, signal);
                pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
                raise(signal);
                _exit(128 + signal);
            }).detach();
        } catch (const std::system_error&) {
            pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
        }
    });
}

}  // namespace ferolin
