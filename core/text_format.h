// Number formatting and parsing for the text formats. Output matches the C
// library's printf conversions ("%f", "%.2f", "%05d", "%06.3f") byte for byte
// in the C locale, but grows its buffer instead of using fixed-size ones and
// does not depend on the process locale. Parsing follows atoi/atof.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace ferolin {

// Growable byte buffer for building output text without per-line allocations.
class TextBuffer {
public:
    TextBuffer() = default;
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    // Pointer to at least n writable bytes after the current end.
    char* Reserve(std::size_t n) {
        if (capacity_ - size_ < n) Grow(n);
        return data_.get() + size_;
    }
    void Advance(std::size_t n) { size_ += n; }

    void Append(std::string_view text) {
        char* p = Reserve(text.size());
        if (!text.empty()) std::memcpy(p, text.data(), text.size());
        size_ += text.size();
    }
    void Append(char c) {
        *Reserve(1) = c;
        ++size_;
    }

    std::string_view View() const { return {data_.get(), size_}; }
    const char* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() { size_ = 0; }
    // Keeps the last `n` bytes only (moved to the front).
    void DropFront(std::size_t n);

private:
    void Grow(std::size_t n);

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// "%.<precision>f" (precision 0-17).
void AppendFixed(TextBuffer& out, double value, int precision);
// "%0<width>.<precision>f": zero padding after the sign; blanks for inf/nan.
void AppendFixedPadded(TextBuffer& out, double value, int precision, int width);
// "%0<width>d" (width 0 gives "%d").
void AppendInt(TextBuffer& out, int64_t value, int width = 0);

// The same conversions appended to a std::string, for labels and messages.
void AppendFixed(std::string& out, double value, int precision);

// atoi: leading white space, optional sign, decimal digits, anything after
// ignored; 0 when there are no digits. Out-of-range values saturate to the
// long range and are then cut to int, as the C library does here.
int ParseInt(const char* begin, const char* end);
// atof: leading white space, then a decimal or hexadecimal real, "inf" or
// "nan"; anything after ignored; 0 when nothing converts.
double ParseReal(const char* begin, const char* end);
inline int ParseInt(std::string_view s) { return ParseInt(s.data(), s.data() + s.size()); }
inline double ParseReal(std::string_view s) { return ParseReal(s.data(), s.data() + s.size()); }

}  // namespace ferolin
