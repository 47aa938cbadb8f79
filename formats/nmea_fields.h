// In-place field access for the NMEA-style line readers (NMEA traces and
// Magellan SD logs): no copy and no allocation per line or field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/text_format.h"
#include "core/track_point.h"

namespace ferolin {

// Longest piece of a line the NMEA-style readers take at once; a longer line
// goes on in the next piece, which counts as a line of its own.
constexpr std::size_t kNmeaPiece = 99;

// The comma-separated fields of one line piece. Field 0 is the sentence name.
// The count follows the rules of SplitFields applied to the piece as it was
// read with its line end: a piece shorter than kNmeaPiece ended with its line
// end, which forms a last field of its own after a trailing comma; a full
// piece was cut from a longer line, and a comma at its very end makes no empty
// trailing field.
class LineFields {
public:
    // Fields beyond this index are counted but not located.
    static constexpr std::size_t kLocated = 18;

    explicit LineFields(std::string_view line) : line_(line) {
        const char* p = line.data();
        const std::size_t n = line.size();
        std::size_t field = 0;
        std::size_t start = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (p[i] != ',') continue;
            if (field < kLocated) {
                begin_[field] = static_cast<uint16_t>(start);
                end_[field] = static_cast<uint16_t>(i);
            }
            ++field;
            start = i + 1;
        }
        if (field < kLocated) {
            begin_[field] = static_cast<uint16_t>(start);
            end_[field] = static_cast<uint16_t>(n);
        }
        count_ = field + 1;
        if (n >= kNmeaPiece && p[n - 1] == ',') --count_;
    }

    std::size_t Count() const { return count_; }

    // Field k, empty when the piece has no such field (or k is not located).
    std::string_view operator[](std::size_t k) const {
        if (k >= count_ || k >= kLocated) return {};
        return line_.substr(begin_[k], end_[k] - begin_[k]);
    }

private:
    std::string_view line_;
    std::size_t count_ = 0;
    uint16_t begin_[kLocated] = {};
    uint16_t end_[kLocated] = {};
};

// Characters first .. first + length - 1 (0-based) of a field; a group that
// starts beyond the end of its field is empty, one that runs past it is cut.
inline std::string_view DigitGroup(std::string_view field, std::size_t first,
                                   std::size_t length = std::string_view::npos) {
    if (first >= field.size()) return {};
    return field.substr(first, length);
}

// Reals as the C library's atof reads them. Plain decimals of up to 15 digits
// ("4807.0380", "-12.5") are converted here directly: the digits form an exact
// integer and one division by an exact power of ten rounds correctly, so the
// result is the one the full conversion gives. Everything else goes to it.
inline double FieldReal(std::string_view field) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* p = field.data();
    const char* end = p + field.size();
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    uint64_t mantissa = 0;
    int digits = 0;
    int decimals = 0;
    bool point = false;
    const char* q = p;
    for (; q < end; ++q) {
        const char c = *q;
        if (c >= '0' && c <= '9') {
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
            ++digits;
            decimals += point;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    // The number must end at a character that cannot continue it.
    const bool plain = digits > 0 && digits <= 15 &&
                       (q == end || (*q != 'e' && *q != 'E' && *q != '.'));
    if (!plain) return ParseReal(field);
    const double value = static_cast<double>(mantissa) / kPowers[decimals];
    return negative ? -value : value;
}

inline int FieldInt(std::string_view field) { return ParseInt(field); }

// UTC time hhmmss.sss: hour from characters 1-2, minute from 3-4, seconds
// from character 5 on.
inline void ReadNmeaTimeField(std::string_view field, TrackPoint& p) {
    p.hour = static_cast<int8_t>(FieldInt(DigitGroup(field, 0, 2)));
    p.minute = static_cast<int8_t>(FieldInt(DigitGroup(field, 2, 2)));
    p.seconds = ToFloat(FieldReal(DigitGroup(field, 4)));
}

// A calendar year kept within the record's 16 bits.
inline int16_t ClampYear(int year) {
    return static_cast<int16_t>(year < -32768 ? -32768 : year > 32767 ? 32767 : year);
}

}  // namespace ferolin
