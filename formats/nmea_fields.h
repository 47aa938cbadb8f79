// In-place field access for the NMEA-style line readers (NMEA traces and
// Magellan SD logs): no copy and no allocation per line or field.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/text_format.h"
#include "core/track_point.h"

namespace ferolin {

// Longest piece of a line the NMEA-style readers take at once; a longer line
// goes on in the next piece, which counts as a line of its own.
constexpr std::size_t kNmeaPiece = 99;

// The comma-separated fields of one line piece, located in place. Field 0 is
// the sentence name. The piece counts as read with its line end: a piece
// shorter than kNmeaPiece ended with its line end, which forms a last field of
// its own after a trailing comma; a full piece was cut from a longer line, and
// a comma at its very end makes no empty trailing field.
class LineFields {
public:
    static constexpr std::size_t kLocated = 18;

    // Locates fields `first` to `last` (last below kLocated); the scan
    // stops at the end of field `last`, so nothing is known of the fields
    // after it, and the fields before `first` are only counted.
    LineFields(std::string_view line, std::size_t first, std::size_t last)
        : line_(line), first_(first), last_(last < kLocated ? last : kLocated - 1) {
        last = last_;
        const char* p = line.data();
        std::size_t n = line.size();
        if (n >= kNmeaPiece && p[n - 1] == ',') --n;
        // Field k ends at comma k; the first one located is comma first - 1.
        const std::size_t skip = first > 0 ? first - 1 : 0;
        std::size_t i = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // Eight characters at a time: a 0x80 bit marks each comma.
            constexpr uint64_t kOnes = 0x0101010101010101ull;
            constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
            for (; i + 8 <= n; i += 8) {
                uint64_t word;
                std::memcpy(&word, p + i, 8);
                const uint64_t x = word ^ (kOnes * ',');
                uint64_t marks = ~(((x & kLow7) + kLow7) | x | kLow7);
                if (skip > 0) {
                    // Commas in the word: the marks summed byte by byte.
                    const std::size_t here = static_cast<std::size_t>(((marks >> 7) * kOnes) >> 56);
                    if (commas_ + here <= skip) {
                        commas_ += here;  // only counted
                        continue;
                    }
                }
                while (marks) {
                    ends_[commas_++] =
                        static_cast<uint32_t>(i + (static_cast<unsigned>(std::countr_zero(marks)) >> 3));
                    if (commas_ > last) return;
                    marks &= marks - 1;
                }
            }
        }
        for (; i < n; ++i) {
            if (p[i] != ',') continue;
            ends_[commas_++] = static_cast<uint32_t>(i);
            if (commas_ > last) return;
        }
        ends_[commas_] = static_cast<uint32_t>(n);  // the last field runs to the end
    }
    LineFields(std::string_view line, std::size_t last) : LineFields(line, 0, last) {}

    // Whether field k (up to `last`) exists.
    bool Has(std::size_t k) const { return k <= commas_; }

    // Field k (from `first` up to `last`), empty when the piece has no such field.
    std::string_view operator[](std::size_t k) const {
        if (k > commas_ || k > last_ || k < first_) return {};
        const std::size_t begin = k ? ends_[k - 1] + 1 : 0;
        return std::string_view(line_.data() + begin, ends_[k] - begin);
    }

private:
    std::string_view line_;
    std::size_t first_;
    std::size_t last_;
    std::size_t commas_ = 0;   // commas found, at most last + 1
    uint32_t ends_[kLocated];  // where field k ends (its comma, or the end); those
                               // before the located ones are not set
};

// Characters first .. first + length - 1 (0-based) of a field; a group that
// starts beyond the end of its field is empty, one that runs past it is cut.
inline std::string_view DigitGroup(std::string_view field, std::size_t first,
                                   std::size_t length = std::string_view::npos) {
    if (first >= field.size()) return {};
    const std::size_t rest = field.size() - first;
    return std::string_view(field.data() + first, length < rest ? length : rest);
}

// Reals as the C library's atof reads them. Plain decimals of up to 15 digits
// ("4807.0380", "-12.5") are converted here directly: the digits form an exact
// integer and one division by an exact power of ten rounds correctly, so the
// result is the one the full conversion gives. Everything else goes to it.
inline double FieldReal(std::string_view field) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* p = field.data();
    const char* const end = p + field.size();
    const bool negative = p < end && *p == '-';
    p += negative;
    uint64_t mantissa = 0;
    const char* const integer = p;
    while (p < end && static_cast<unsigned char>(*p - '0') < 10)
        mantissa = mantissa * 10 + static_cast<unsigned char>(*p++ - '0');
    std::size_t digits = static_cast<std::size_t>(p - integer);
    std::size_t decimals = 0;
    if (p < end && *p == '.') {
        const char* const fraction = ++p;
        while (p < end && static_cast<unsigned char>(*p - '0') < 10)
            mantissa = mantissa * 10 + static_cast<unsigned char>(*p++ - '0');
        decimals = static_cast<std::size_t>(p - fraction);
        digits += decimals;
    }
    // The number must end at a character that cannot continue it.
    if (digits == 0 || digits > 15 || (p < end && (*p == 'e' || *p == 'E' || *p == '.')))
        return ParseReal(field);
    const double value = static_cast<double>(mantissa) / kPowers[decimals];
    return negative ? -value : value;
}

// Integers as atoi reads them; short runs of plain digits directly.
inline int FieldInt(std::string_view field) {
    const char* p = field.data();
    const std::size_t n = field.size() < 9 ? field.size() : 9;
    int value = 0;
    std::size_t i = 0;
    for (; i < n && static_cast<unsigned char>(p[i] - '0') < 10; ++i) value = value * 10 + (p[i] - '0');
    if (i > 0 && (i == field.size() || static_cast<unsigned char>(p[i] - '0') >= 10)) return value;
    return ParseInt(field);
}

// The integer of characters first .. first + length - 1 (0-based) of a field,
// as atoi reads them: 0 for a group that starts beyond the end of the field.
inline int GroupInt(std::string_view field, std::size_t first, std::size_t length) {
    if (first + length <= field.size()) {
        int value = 0;
        std::size_t i = 0;
        for (; i < length && static_cast<unsigned char>(field[first + i] - '0') < 10; ++i)
            value = value * 10 + (field[first + i] - '0');
        if (i == length) return value;
    }
    return FieldInt(DigitGroup(field, first, length));
}

// A time or date field without the blanks some receivers pad it with
// (" 222519", "222521.0 "): its digits are counted from the first one.
inline std::string_view TrimFieldBlanks(std::string_view field) {
    while (!field.empty() && (field.front() == ' ' || field.front() == '\t')) field.remove_prefix(1);
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.remove_suffix(1);
    return field;
}

// UTC time hhmmss.sss: hour from characters 1-2, minute from 3-4, seconds
// from character 5 on, blanks around them left out.
inline void ReadNmeaTimeField(std::string_view field, TrackPoint& p) {
    field = TrimFieldBlanks(field);
    p.hour = static_cast<int8_t>(GroupInt(field, 0, 2));
    p.minute = static_cast<int8_t>(GroupInt(field, 2, 2));
    p.seconds = ToFloat(FieldReal(DigitGroup(field, 4)));
}

// A calendar year kept within the record's 16 bits.
inline int16_t ClampYear(int year) {
    return static_cast<int16_t>(year < -32768 ? -32768 : year > 32767 ? 32767 : year);
}

}  // namespace ferolin
