// Field helpers of the text track formats, locale-free. The scanners read
// bounded text (no terminating NUL needed) the way the scanf conversions do:
// each takes a cursor, skips white space where scanf does, and advances the
// cursor past what it consumed; on a mismatch it returns false and leaves the
// cursor where it was.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/text_format.h"

namespace ferolin {

// "%+0<width>.<precision>f": the sign always written, zeros after it up to
// `width` characters; infinities and NaN are padded with blanks in front.
void AppendSignedFixed(TextBuffer& out, double value, int precision, int width);

}  // namespace ferolin

namespace ferolin::scan {

inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

inline void SkipSpace(const char*& p, const char* end) {
    while (p < end && IsSpace(*p)) ++p;
}

// "%lf" / "%f": a decimal real (sign, digits with an optional point, optional
// exponent). Only decimal forms count as numbers.
inline bool Real(const char*& p, const char* end, double& value) {
    const char* q = p;
    SkipSpace(q, end);
    const char* start = q;
    if (q < end && (*q == '+' || *q == '-')) ++q;
    const char* digits = q;
    while (q < end && IsDigit(*q)) ++q;
    bool any = q > digits;
    if (q < end && *q == '.') {
        ++q;
        const char* fraction = q;
        while (q < end && IsDigit(*q)) ++q;
        any = any || q > fraction;
    }
    if (!any) return false;
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char* e = q + 1;
        if (e < end && (*e == '+' || *e == '-')) ++e;
        if (e < end && IsDigit(*e)) {
            while (e < end && IsDigit(*e)) ++e;
            q = e;
        }
    }
    value = ParseReal(start, q);
    p = q;
    return true;
}

// "%<width>d" (width 0: unlimited): optional sign and decimal digits, at most
// `width` characters counting the sign.
inline bool Int(const char*& p, const char* end, int& value, std::size_t width = 0) {
    const char* q = p;
    SkipSpace(q, end);
    const char* limit = (width && static_cast<std::size_t>(end - q) > width) ? q + width : end;
    const char* start = q;
    if (q < limit && (*q == '+' || *q == '-')) ++q;
    const char* digits = q;
    while (q < limit && IsDigit(*q)) ++q;
    if (q == digits) return false;
    value = ParseInt(start, q);
    p = q;
    return true;
}

// "%<width>s": up to `width` characters that are not white space, at least one.
inline bool Word(const char*& p, const char* end, std::string_view& word, std::size_t width) {
    const char* q = p;
    SkipSpace(q, end);
    const char* start = q;
    while (q < end && static_cast<std::size_t>(q - start) < width && !IsSpace(*q)) ++q;
    if (q == start) return false;
    word = std::string_view(start, static_cast<std::size_t>(q - start));
    p = q;
    return true;
}

// A literal character of the pattern: must come next, nothing skipped.
inline bool Literal(const char*& p, const char* end, char c) {
    if (p < end && *p == c) {
        ++p;
        return true;
    }
    return false;
}

}  // namespace ferolin::scan
