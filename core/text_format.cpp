#include "core/text_format.h"

#include <locale.h>  // newlocale, strtod_l
#include <stdlib.h>

#include <bit>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/clock.h"

namespace ferolin {

void TextBuffer::Grow(std::size_t n) {
    std::size_t capacity = capacity_ ? capacity_ : 256;
    while (capacity - size_ < n) capacity *= 2;
    std::unique_ptr<char[]> data(new char[capacity]);
    if (size_) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
}

namespace {

// Upper bound of "%.<precision>f" for any double: 309 integer digits, sign,
// point and the decimals.
constexpr std::size_t kFixedMax = 320 + 20;

constexpr uint64_t kPower[] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000,
    10000000000, 100000000000, 1000000000000, 10000000000000, 100000000000000,
    1000000000000000, 10000000000000000};

// Two decimal digits at a time: the writers format millions of numbers.
constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// `digits` (below 10^16) as a number with `Precision` decimals: the integer
// part (at least one digit), the point and the decimals, written from the
// right straight into `out`.
template <int Precision>
std::size_t WriteDigits(char* out, uint64_t digits, bool negative) {
    uint64_t whole = digits / kPower[Precision];
    uint64_t decimals = digits % kPower[Precision];
    int wholeDigits = 1;
    while (wholeDigits < 16 && whole >= kPower[wholeDigits]) ++wholeDigits;
    const std::size_t n = (negative ? 1u : 0u) + static_cast<std::size_t>(wholeDigits) +
                          (Precision ? 1u + static_cast<std::size_t>(Precision) : 0u);
    char* p = out + n;
    for (int left = Precision; left >= 2; left -= 2) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * (decimals % 100), 2);
        decimals /= 100;
    }
    if (Precision % 2) *--p = static_cast<char>('0' + decimals);
    if (Precision) *--p = '.';
    for (; whole >= 100; whole /= 100) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * (whole % 100), 2);
    }
    if (whole >= 10) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * whole, 2);
    } else {
        *--p = static_cast<char>('0' + whole);
    }
    if (negative) *--p = '-';
    return n;
}

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
    const uint64_t truncated = static_cast<uint64_t>(scaled);  // floor: scaled >= 0
    const double fraction = scaled - static_cast<double>(truncated);  // exact below 2^52
    const double unit =
        std::bit_cast<double>(std::bit_cast<uint64_t>(scaled) + 1) - scaled;  // next double up
    if (std::fabs(fraction - 0.5) <= unit) return 0;
    const uint64_t digits = truncated + (fraction > 0.5 ? 1 : 0);
    const bool negative = std::signbit(value);
    // One instance per precision, so that every division is by a constant.
    switch (precision) {
        case 0: return WriteDigits<0>(out, digits, negative);
        case 1: return WriteDigits<1>(out, digits, negative);
        case 2: return WriteDigits<2>(out, digits, negative);
        case 3: return WriteDigits<3>(out, digits, negative);
        case 4: return WriteDigits<4>(out, digits, negative);
        case 5: return WriteDigits<5>(out, digits, negative);
        case 6: return WriteDigits<6>(out, digits, negative);
        case 7: return WriteDigits<7>(out, digits, negative);
        case 8: return WriteDigits<8>(out, digits, negative);
        default: return WriteDigits<9>(out, digits, negative);
    }
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

void AppendHourMinute(TextBuffer& out, int64_t hour, int64_t minute) {
    AppendInt(out, hour, 2);
    out.Append(':');
    AppendInt(out, minute, 2);
    out.Append(':');
}

void AppendClockTime(TextBuffer& out, int64_t hour, int64_t minute, int64_t second) {
    AppendHourMinute(out, hour, minute);
    AppendInt(out, second, 2);
}

void AppendIsoDate(TextBuffer& out, int64_t year, int64_t month, int64_t day) {
    AppendInt(out, year, 4);
    out.Append('-');
    AppendInt(out, month, 2);
    out.Append('-');
    AppendInt(out, day, 2);
    out.Append('T');
}

void AppendIsoTime(TextBuffer& out, int64_t milliseconds) {
    const UtcDateTime t = UtcFromTime(milliseconds / 1000);
    AppendIsoDate(out, t.year, t.month, t.day);
    AppendClockTime(out, t.hour, t.minute, t.second);
    if (const int64_t rest = milliseconds % 1000) {
        out.Append('.');
        AppendInt(out, rest, 3);
    }
    out.Append('Z');
}

void AppendDuration(TextBuffer& out, int32_t seconds) {
    AppendClockTime(out, seconds / 3600, (seconds / 60) % 60, seconds % 60);
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

// The short decimals that track files are made of ("43.600100", "150",
// ".5"): at most 15 digits, no exponent. Their digits are exact as an integer
// below 2^53 and 10^decimals is exact too, so one division, correctly
// rounded, gives the correctly rounded value, as the general conversion
// does. False when the text is not of that form.
bool ParseShortDecimal(const char* p, const char* end, double& value) {
    static constexpr double kExact[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    bool point = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9') {
            if (++digits > 15) return false;
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
            decimals += point;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0 || (p < end && (*p == 'e' || *p == 'E'))) return false;
    value = static_cast<double>(mantissa) / kExact[decimals];
    return true;
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
    if (ParseShortDecimal(p, end, value)) return negative ? -value : value;
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
