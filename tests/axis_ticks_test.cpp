// Round ticks over ranges from a speed axis of walking pace to altitudes,
// times of day and several days: every step round, every label different.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "core/axis_ticks.h"

using namespace ferolin;

TEST(AxisTicks, RoundStepsAndDistinctLabels) {
    uint32_t state = 7;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / double(1 << 24);
    };
    for (int k = 0; k < 400; ++k) {
        // Spans from 1e-3 to 1e5, anywhere from -1000 to 9000; the first
        // rows are the ranges the view met: a slow walk's speeds, altitudes.
        double min = -1000 + 10000 * next(), max = min + std::pow(10, -3 + 8 * next());
        if (k == 0) min = 0, max = 0.8;
        if (k == 1) min = 212, max = 397.5;
        if (k == 2) min = max = 5;
        const int most = 3 + k % 6;
        const AxisTicks t = ValueTicks(min, max, most);
        const double mantissa = t.step / std::pow(10, std::floor(std::log10(t.step) + 1e-9));
        EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 ||
                    std::fabs(mantissa - 5) < 1e-9) << t.step;
        EXPECT_LE(t.first, min);
        EXPECT_GE(t.last() + 1e-9 * std::fabs(max), max);
        EXPECT_LE(t.intervals, most);
        std::set<std::string> labels;
        for (int i = 0; i <= t.intervals; ++i) labels.insert(ValueLabel(t, t.first + i * t.step));
        EXPECT_EQ(labels.size(), size_t(t.intervals) + 1) << min << " " << max;
    }
    EXPECT_EQ(ValueLabel(ValueTicks(0, 0.8, 4), 0.6), "0.6");

    const double day = 1181980800;  // 2007-06-16 00:00 UTC
    struct Span {
        double from, to, step;
    };
    for (const Span& s : {Span{day + 27000.985, day + 29995.186, 600},  // the sample: 07:30-08:20
                          Span{day + 10, day + 50, 10}, Span{day, day + 5 * 86400, 86400},
                          Span{day + 3600, day + 3600, 1}, Span{day + 7, day + 40000, 7200}}) {
        const AxisTicks t = TimeTicks(s.from, s.to, 6);
        EXPECT_EQ(t.step, s.step);
        EXPECT_EQ(std::fmod(t.first, t.step), 0);
        EXPECT_LE(t.first, s.from);
        EXPECT_GE(t.last(), s.to);
        EXPECT_LE(t.intervals, 6);
    }
}

// Ticks inside the data for axes that span it alone: round steps (of values,
// or of times on the clock), every tick inside the range, at most as many as
// asked and never fewer than a coarser step would give; a ride from 15:47 to
// 18:10 gets its ticks between, not 15:00 and 19:00.
TEST(AxisTicks, TicksInsideTheData) {
    const double day = 1181980800;  // 2007-06-16 00:00 UTC
    struct Case {
        bool time;
        double from, to;
        int most;
        double step;  // the step expected, 0 to check only the rules
    } cases[] = {
        {true, day + 15 * 3600 + 47 * 60, day + 18 * 3600 + 10 * 60, 5, 1800},
        {true, day + 27000.985, day + 29995.186, 6, 600},
        {true, day + 10.2, day + 10.8, 4, 0},  // within a second: no tick inside
        {true, day + 3600, day + 3 * 86400 + 100, 4, 86400},
        {false, 0, 12.3, 6, 5},
        {false, 0, 12.3, 7, 2},
        {false, 0, 0.038, 5, 0.01},
        {false, 212, 397.5, 4, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " " + std::to_string(c.to));
        const AxisTicks t = c.time ? TimeTicksWithin(c.from, c.to, c.most) : ValueTicksWithin(c.from, c.to, c.most);
        if (c.step > 0) EXPECT_NEAR(t.step, c.step, 1e-12);
        EXPECT_LE(t.intervals + 1, c.most);
        if (c.to - c.from < 1 && c.time) {
            EXPECT_EQ(t.intervals, -1);
            continue;
        }
        ASSERT_GE(t.intervals, 1);
        EXPECT_GE(t.first, c.from - 1e-9);
        EXPECT_LE(t.last(), c.to + 1e-9);
        EXPECT_LT(t.first - t.step, c.from);  // no tick left out at either end
        EXPECT_GT(t.last() + t.step, c.to);
        EXPECT_NEAR(std::remainder(t.first, t.step), 0, 1e-6 * t.step);
        std::set<std::string> labels;
        for (int i = 0; i <= t.intervals; ++i) labels.insert(ValueLabel(t, t.first + i * t.step));
        if (!c.time) EXPECT_EQ(labels.size(), size_t(t.intervals) + 1);
    }
}
