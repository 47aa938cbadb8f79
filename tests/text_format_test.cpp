// The formatters must print exactly what the C library's printf prints, and the
// parsers must read what atoi/atof read; the C library is the reference here.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "core/text_format.h"
#include "test_support.h"

using namespace ferolin;

namespace {

std::string Printf(const char* format, double v) {
    const ferolin_test::CNumbers cNumbers;
    const int n = std::snprintf(nullptr, 0, format, v);
    std::string s(static_cast<size_t>(n), '\0');
    std::snprintf(s.data(), s.size() + 1, format, v);
    return s;
}

std::string Fixed(double v, int precision) {
    TextBuffer out;
    AppendFixed(out, v, precision);
    return std::string(out.View());
}

std::vector<double> InterestingValues() {
    std::vector<double> values = {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 0.0000005, 0.0000015,
                                  45.5, -3.25, 48.1173, 11.516667, 1e15, 1e22, -1e300, 1e308,
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  -std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> coordinate(-180.0, 180.0);
    std::uniform_int_distribution<int> exponent(-12, 40);
    for (int i = 0; i < 3000; ++i) {
        values.push_back(coordinate(random));
        values.push_back(static_cast<float>(coordinate(random) * 50));
        values.push_back(coordinate(random) * std::pow(10.0, exponent(random)));
    }
    return values;
}

}  // namespace

TEST(TextFormat, FixedMatchesPrintfForEveryPrecisionUsed) {
    for (double v : InterestingValues()) {
        for (int precision : {0, 1, 2, 3, 4, 6, 9})
            EXPECT_EQ(Fixed(v, precision), Printf(("%." + std::to_string(precision) + "f").c_str(), v))
                << v;
        TextBuffer out;
        AppendFixedPadded(out, v, 3, 6);
        EXPECT_EQ(out.View(), Printf("%06.3f", v)) << v;
    }
}

TEST(TextFormat, FixedMatchesPrintfNearDecimalTies) {
    // Values on and next to the halfway points of every precision the
    // writers use, where a scaled product could round the wrong way.
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int64_t> whole(0, 99999999);
    for (int precision = 0; precision <= 9; ++precision) {
        const std::string format = "%." + std::to_string(precision) + "f";
        const double scale = std::pow(10.0, precision);
        for (int i = 0; i < 4000; ++i) {
            const double tie = (static_cast<double>(whole(random)) + 0.5) / scale;
            for (double v : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e300), -tie,
                             static_cast<double>(static_cast<float>(tie))})
                ASSERT_EQ(Fixed(v, precision), Printf(format.c_str(), v)) << v;
        }
    }
}

TEST(TextFormat, IntegersMatchPrintfWithPadding) {
    const long long values[] = {0, 1, -1, 7, -12, 99999, 100000, -99999, 2147483647, -2147483648LL};
    for (long long v : values) {
        for (int width : {5, 2, 0}) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%0*lld", width, v);
            TextBuffer out;
            if (width) AppendInt(out, v, width);
            else AppendInt(out, v);
            EXPECT_EQ(out.View(), expected) << width;
        }
    }
}

TEST(TextFormat, BufferGrowsPastAnyInitialSizeWithoutLosingText) {
    TextBuffer out;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        AppendFixed(out, 1e300 * (i % 3 - 1), 6);  // 300-digit cells
        expected += Printf("%f", 1e300 * (i % 3 - 1));
    }
    EXPECT_EQ(out.View(), expected);
}

TEST(TextFormat, ParseIntReadsLikeAtoi) {
    const char* inputs[] = {"12", "  -34xyz", "+7", "", "abc", " \t\r\n 5", "0012", "-0",
                            "2147483647", "-2147483648", "4294967295", "2147483648",
                            "99999999999999999999", "-99999999999999999999", "12 34", "- 5",
                            "1e3", "0x10"};
    for (const char* s : inputs) EXPECT_EQ(ParseInt(s), std::atoi(s)) << '"' << s << '"';
}

TEST(TextFormat, ParseRealReadsDecimalNumbersLikeAtof) {
    const char* inputs[] = {"1.5", "  -45.5 N", "+3.25", "", "abc", ".5", "-.5e1", "1e", "1e+",
                            "12,5", "1e999", "-1e999", "1e-400", "  \t7", "5.", "+-3",
                            "00012.250", "4916.45,N", "-0"};
    for (const char* s : inputs) {
        double expected;
        {
            const ferolin_test::CNumbers cNumbers;
            expected = std::atof(s);
        }
        EXPECT_EQ(ParseReal(s), expected) << '"' << s << '"';
    }
}

TEST(TextFormat, ParseRealReadsNonDecimalFormsAsZero) {
    // The C library would read these as infinities, NaN or hexadecimal reals.
    for (const char* s : {"inf", "-Infinity", "INF", "nan", "-nan", "NaN(123)", "0x1p4",
                          "-0x10", " 0X1A"})
        EXPECT_EQ(ParseReal(s), 0.0) << '"' << s << '"';
}

TEST(TextFormat, TruncationSaturatesAndMapsNanToZero) {
    EXPECT_EQ(TruncateToInt(12.9), 12);
    EXPECT_EQ(TruncateToInt(-12.9), -12);
    EXPECT_EQ(TruncateToInt(1e300), INT_MAX);
    EXPECT_EQ(TruncateToInt(-1e300), INT_MIN);
    EXPECT_EQ(TruncateToInt(std::numeric_limits<double>::infinity()), INT_MAX);
    EXPECT_EQ(TruncateToInt(std::nan("")), 0);
    EXPECT_EQ(TruncateTo<int8_t>(300.0), 127);
    EXPECT_EQ(TruncateTo<int16_t>(-40000.5), -32768);
    EXPECT_EQ(TruncateTo<uint8_t>(-3.0), 0);
    EXPECT_TRUE(std::isinf(ToFloat(1e300)));
    EXPECT_EQ(ToFloat(0.5), 0.5f);
}

TEST(TextFormat, ParsersStopAtTheEndOfTheirRange) {
    // The parsers never read past the given end, even without a terminator.
    const std::string text = "123456";
    EXPECT_EQ(ParseInt(text.data(), text.data() + 3), 123);
    EXPECT_EQ(ParseReal(std::string_view(text.data(), 2)), 12.0);
}
