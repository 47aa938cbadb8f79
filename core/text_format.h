// Number formatting and parsing for the text formats. Output matches the C
// library's printf conversions ("%f", "%.2f", "%05d", "%06.3f") byte for byte
// in the C locale, but grows its buffer instead of using fixed-size ones and
// does not depend on the process locale. Parsing follows atoi/atof.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
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
    // Keeps the first `n` bytes (no change when there are fewer).
    void Truncate(std::size_t n) {
        if (n < size_) size_ = n;
    }

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
// "%02d:%02d:": the hours and minutes of a time, ready for its seconds.
void AppendHourMinute(TextBuffer& out, int64_t hour, int64_t minute);
// "%02d:%02d:%02d": a time in whole seconds.
void AppendClockTime(TextBuffer& out, int64_t hour, int64_t minute, int64_t second);
// "%04d-%02d-%02dT": the date of an ISO 8601 date-time, up to its hours.
void AppendIsoDate(TextBuffer& out, int64_t year, int64_t month, int64_t day);
// "YYYY-MM-DDTHH:MM:SSZ" of milliseconds since 1970 (0 or more), with ".mmm"
// before the Z when the milliseconds are not 0.
void AppendIsoTime(TextBuffer& out, int64_t milliseconds);
// A duration as "%02d:%02d:%02d" of hours, minutes and seconds. Hours are not
// reduced modulo 24; a negative duration keeps C's signs in each part.
void AppendDuration(TextBuffer& out, int32_t seconds);

// The same conversions appended to a std::string, for labels and messages.
void AppendFixed(std::string& out, double value, int precision);

// atoi: leading white space, optional sign, decimal digits, anything after
// ignored; 0 when there are no digits. Out-of-range values saturate to the
// long range and are then cut to int, as the C library does here.
int ParseInt(const char* begin, const char* end);
// atof for decimal reals: leading white space, optional sign, digits with an
// optional point and exponent; anything after ignored; 0 when nothing
// converts. "nan", "inf", "infinity" and hexadecimal forms read as 0; a
// decimal number beyond the double range gives an infinity, as atof does.
double ParseReal(const char* begin, const char* end);
inline int ParseInt(std::string_view s) { return ParseInt(s.data(), s.data() + s.size()); }
inline double ParseReal(std::string_view s) { return ParseReal(s.data(), s.data() + s.size()); }

// Truncation of a real toward zero into an integer type, saturating at the
// type's limits; NaN gives 0. Every real-to-integer conversion of a reader or
// writer goes through it, so that no value is undefined behaviour.
template <typename Int>
Int TruncateTo(double value) {
    if (!(value == value)) return 0;
    constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<Int>::max());
    if (value <= lo) return std::numeric_limits<Int>::min();
    if (value >= hi) return std::numeric_limits<Int>::max();
    return static_cast<Int>(value);
}
inline int TruncateToInt(double value) { return TruncateTo<int>(value); }

// A double narrowed to float; values beyond the float range become infinite
// rather than undefined.
inline float ToFloat(double value) {
    if (value > 3.4028234663852886e38) return std::numeric_limits<float>::infinity();
    if (value < -3.4028234663852886e38) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

}  // namespace ferolin
