// A file being written by a writer. The text goes to a temporary file in the
// target's folder, which replaces the target only when everything was written
// and closed without error: a failed export leaves the file that stood at the
// path unchanged. Write errors (disk full, device gone) are detected.
#pragma once

#include <string>
#include <string_view>

#include "core/text_format.h"

namespace ferolin {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();  // abandons an uncommitted file
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file; false when it cannot be created.
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
    std::string temporary_;  // empty when writing the target in place
    int fd_ = -1;
    bool failed_ = false;
};

}  // namespace ferolin
