#include "core/text_format.h"

#include <locale.h>  // newlocale, strtod_l
#include <stdlib.h>

#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace ferolin {

void TextBuffer::Grow(std::size_t n) {
    std::size_t capacity = capacity_ ? capacity_ : 256;
    while (capacity - size_ < n) capacity *= 2;
    std::unique_ptr<char[]> data(new char[capacity]);
    if (size_) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
}

void TextBuffer::DropFront(std::size_t n) {
    if (n >= size_) return;
    std::memmove(data_.get(), data_.get() + (size_ - n), n);
    size_ = n;
}

namespace {

// Upper bound of "%.<precision>f" for any double: 309 integer digits, sign,
// point and the decimals.
constexpr std::size_t kFixedMax = 320 + 20;

// The common case of the track formats (a modest value, up to 9 decimals)
// without the general conversion: the value scaled by 10^precision is one
// correctly rounded product, off from the exact one by at most half a unit in
// its last place; when its fraction is farther than a whole unit from one
// half, the exact product rounds to the same integer, which is printf's
// result. Ties and near-ties are left to the general conversion. Returns 0
// when it does not apply.
std::size_t WriteFixedFast(char* out, double value, int precision) {
    static constexpr double kScale[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    if (precision < 0 || precision > 9) return 0;
    const double magnitude = std::fabs(value);
    const double scaled = magnitude * kScale[precision];
    if (!(scaled < 4e15)) return 0;  // also NaN and infinities
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;  // exact below 2^52
    const double unit =
        std::bit_cast<double>(std::bit_cast<uint64_t>(scaled) + 1) - scaled;  // next double up
    if (std::fabs(fraction - 0.5) <= unit) return 0;
    uint64_t digits = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
    // Digits from the right, the point after `precision` of them, at least
    // one digit before the point.
    char text[32];
    char* end = text + sizeof text;
    char* p = end;
    int written = 0;
    do {
        *--p = static_cast<char>('0' + digits % 10);
        digits /= 10;
        if (++written == precision) *--p = '.';
    } while (digits != 0 || written < precision);
    if (written == precision) *--p = '0';
    if (std::signbit(value)) *--p = '-';
    const std::size_t n = static_cast<std::size_t>(end - p);
    std::memcpy(out, p, n);
    return n;
}

std::size_t WriteFixed(char* out, double value, int precision) {
    if (std::isnan(value)) {
        // printf spells NaN "nan" or "-nan" after its sign bit.
        const char* text = std::signbit(value) ? "-nan" : "nan";
        std::size_t n = std::strlen(text);
        std::memcpy(out, text, n);
        return n;
    }
    if (const std::size_t n = WriteFixedFast(out, value, precision)) return n;
    // Short values take the first attempt; huge ones fit in kFixedMax.
    auto result = std::to_chars(out, out + kFixedMax, value, std::chars_format::fixed, precision);
    return static_cast<std::size_t>(result.ptr - out);
}

}  // namespace

void AppendFixed(TextBuffer& out, double value, int precision) {
    char* p = out.Reserve(kFixedMax);
    out.Advance(WriteFixed(p, value, precision));
}

void AppendFixedPadded(TextBuffer& out, double value, int precision, int width) {
    const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
    char* p = out.Reserve(kFixedMax + w);
    std::size_t n = WriteFixed(p, value, precision);
    if (n < w) {
        const std::size_t pad = w - n;
        const bool finite = std::isfinite(value);
        const std::size_t sign = (finite && (p[0] == '-')) ? 1 : 0;
        // Blanks go before everything for inf/nan; zeros after the sign.
        const std::size_t at = finite ? sign : 0;
        std::memmove(p + at + pad, p + at, n - at);
        std::memset(p + at, finite ? '0' : ' ', pad);
        n = w;
    }
    out.Advance(n);
}

void AppendInt(TextBuffer& out, int64_t value, int width) {
    const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
    char* p = out.Reserve(24 + w);
    auto result = std::to_chars(p, p + 24, value);
    std::size_t n = static_cast<std::size_t>(result.ptr - p);
    if (n < w) {
        const std::size_t pad = w - n;
        const std::size_t sign = value < 0 ? 1 : 0;
        std::memmove(p + sign + pad, p + sign, n - sign);
        std::memset(p + sign, '0', pad);
        n = w;
    }
    out.Advance(n);
}

void AppendFixed(std::string& out, double value, int precision) {
    char buffer[kFixedMax];
    out.append(buffer, WriteFixed(buffer, value, precision));
}

namespace {

inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int ParseInt(const char* p, const char* end) {
    while (p < end && IsSpace(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    // Accumulate as the C library's strtol does, saturating at the long range.
    unsigned long long magnitude = 0;
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(LONG_MAX) + 1 : LONG_MAX;
    bool overflow = false;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        if (overflow) continue;
        magnitude = magnitude * 10 + static_cast<unsigned>(*p - '0');
        if (magnitude > limit) overflow = true;
    }
    long value;
    if (overflow)
        value = negative ? LONG_MIN : LONG_MAX;
    else
        value = negative ? static_cast<long>(0 - magnitude) : static_cast<long>(magnitude);
    return static_cast<int>(static_cast<unsigned long>(value));  // cut to int, modulo 2^32
}

double ParseReal(const char* p, const char* end) {
    while (p < end && IsSpace(*p)) ++p;
    const char* start = p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    // Only decimal numbers count: "nan", "inf" and hexadecimal forms are not
    // numbers in a track file and read as 0 ("0x10" stops after its "0").
    if (p == end || !((*p >= '0' && *p <= '9') || *p == '.')) return 0.0;
    if (*p == '0' && end - p >= 2 && (p[1] == 'x' || p[1] == 'X')) return negative ? -0.0 : 0.0;
    double value = 0;
    auto result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec == std::errc()) return negative ? -value : value;
    if (result.ec == std::errc::invalid_argument) return 0.0;
    // Out of range: strtod on a bounded, zero-terminated copy gives the
    // C library's infinity or zero; in the C locale, whatever the process's.
    const char* q = p;
    while (q < end && ((*q >= '0' && *q <= '9') || *q == '.' || *q == 'e' || *q == 'E' ||
                       *q == '+' || *q == '-'))
        ++q;
    std::string copy(start, q);
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return cLocale ? strtod_l(copy.c_str(), nullptr, cLocale) : std::strtod(copy.c_str(), nullptr);
}

}  // namespace ferolin
