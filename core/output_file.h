// A file being written by a writer. The text goes to a temporary file in the
// target's folder, which replaces the target only when everything was written
// and closed without error: a failed export leaves the file that stood at the
// path unchanged. Write errors (disk full, device gone) are detected.
//
// Only regular files are written: a target that is a folder, a FIFO, a
// device or a socket, a symbolic link to one of those or to nothing, or an
// existing file the user may not write is refused before anything is
// created. A symbolic link to a regular file has that file replaced and
// stays a link. There is no writing in place: when the temporary file cannot
// be created, the target stays as it was and the writer fails.
#pragma once

#include <string>
#include <string_view>

#include "core/text_format.h"

namespace ferolin {

// The target that stands for the process's standard output ("-o -"): written
// as it comes, with no temporary file.
inline constexpr std::string_view kStandardOutputPath = "-";

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // abandons an uncommitted file
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file; false when the target may not be written
    // or the temporary file cannot be created.
    bool Create(const std::string& requested);

    // Text is formatted into this buffer; call Flush() now and then (it only
    // writes when enough has gathered) and Commit() at the end.
    TextBuffer& Buffer() { return buffer_; }
    void Write(std::string_view text) { buffer_.Append(text); }
    void Flush() {
        if (buffer_.size() >= kFlushSize) WriteOut();
    }

    // Writes what is left, closes and moves the file into place; false on any
    // error, in which case the target is untouched.
    bool Commit();

private:
    static constexpr std::size_t kFlushSize = 1 << 18;
    void WriteOut();
    void Abandon();

    TextBuffer buffer_;
    std::string target_;
    std::string temporary_;  // empty when writing the standard output
    int fd_ = -1;
    bool failed_ = false;
};

// A key naming the file a path stands for, whatever its spelling or the
// links on the way: device and inode of an existing file, else those of its
// folder and its name, else the path itself. Two paths with one key write
// the same file.
std::string FileIdentity(const std::string& path);

// From this call on, SIGINT, SIGTERM and SIGHUP remove every temporary file
// of an unfinished output before the process ends by the signal as it would
// have without the call; an output completed before the signal stays. Call
// it before the process starts any thread (the signals are taken from every
// thread by a watcher thread of its own). Further calls do nothing.
void RemoveTemporaryFilesOnSignals();

}  // namespace ferolin
