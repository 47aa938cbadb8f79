#include "core/axis_ticks.h"

#include <algorithm>
#include <cmath>

#include "core/text_format.h"

namespace ferolin {

namespace {

// The steps of a time axis up to a day, in seconds.
constexpr double kTimeSteps[] = {1,    2,    5,    10,    15,    30,    60,
                                 120,  300,  600,  900,   1800,  3600,  7200,
                                 10800, 21600, 43200, 86400};

// The ticks of a step: the multiples of it around [min, max].
AxisTicks Place(double min, double max, double step) {
    AxisTicks t;
    t.step = step;
    t.first = std::floor(min / step) * step;
    t.intervals = std::max(1, static_cast<int>(std::ceil(max / step - 1e-9) - std::floor(min / step)));
    return t;
}

// The multiples of `step` inside [min, max], with a little room for the
// rounding of a range that starts or ends on a tick.
AxisTicks Inside(double min, double max, double step) {
    AxisTicks t;
    t.step = step;
    const double low = std::ceil(min / step - 1e-9), high = std::floor(max / step + 1e-9);
    t.first = low * step;
    t.intervals = static_cast<int>(std::max(-1.0, high - low));
    return t;
}

int Decimals(double step) {
    return std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 15);
}

bool Usable(double& min, double& max) {
    if (!std::isfinite(min) || !std::isfinite(max)) return false;
    if (min > max) std::swap(min, max);
    return true;
}

}  // namespace

AxisTicks ValueTicks(double min, double max, int maxIntervals) {
    if (!Usable(min, max)) return AxisTicks{};
    maxIntervals = std::max(maxIntervals, 1);
    if (max - min < 1e-9 * std::max(1.0, std::fabs(min))) {  // one value: a unit around it
        const double half = std::max(std::fabs(min) * 0.05, 0.5);
        min -= half;
        max += half;
    }
    const double rough = (max - min) / maxIntervals;
    double power = std::pow(10.0, std::floor(std::log10(rough)));
    AxisTicks t;
    for (;; power *= 10) {
        bool found = false;
        for (const double m : {1.0, 2.0, 5.0}) {
            t = Place(min, max, m * power);
            if (t.intervals <= maxIntervals) {
                found = true;
                break;
            }
        }
        if (found) break;
    }
    t.decimals = Decimals(t.step);
    return t;
}

AxisTicks ValueTicksWithin(double min, double max, int maxTicks) {
    if (!Usable(min, max)) return AxisTicks{};
    maxTicks = std::max(maxTicks, 1);
    // A step a tenth of the range's share of each tick is too small for any
    // range; from there up, the first that leaves few enough ticks.
    const double rough = std::max(max - min, 1e-12 * std::max(1.0, std::fabs(min))) / maxTicks;
    AxisTicks t;
    for (double power = std::pow(10.0, std::floor(std::log10(rough)) - 1);; power *= 10) {
        for (const double m : {1.0, 2.0, 5.0}) {
            t = Inside(min, max, m * power);
            if (t.intervals + 1 <= maxTicks) {
                t.decimals = Decimals(t.step);
                return t;
            }
        }
    }
}

AxisTicks TimeTicks(double min, double max, int maxIntervals) {
    if (!Usable(min, max)) return AxisTicks{};
    maxIntervals = std::max(maxIntervals, 1);
    if (max - min < 1) max = min + 1;
    for (const double step : kTimeSteps) {
        const AxisTicks t = Place(min, max, step);
        if (t.intervals <= maxIntervals) return t;
    }
    const double days = std::ceil((max - min) / 86400.0 / maxIntervals);
    return Place(min, max, days * 86400.0);
}

AxisTicks TimeTicksWithin(double min, double max, int maxTicks) {
    if (!Usable(min, max)) return AxisTicks{};
    maxTicks = std::max(maxTicks, 1);
    for (const double step : kTimeSteps) {
        const AxisTicks t = Inside(min, max, step);
        if (t.intervals + 1 <= maxTicks) return t;
    }
    const double days = std::max(1.0, std::floor((max - min) / 86400.0 / maxTicks));
    for (double d = days;; ++d) {
        const AxisTicks t = Inside(min, max, d * 86400.0);
        if (t.intervals + 1 <= maxTicks) return t;
    }
}

std::string ValueLabel(const AxisTicks& ticks, double value) {
    std::string text;
    // A tick that rounds to zero shows 0, not -0.
    const double rounded = std::fabs(value) < 0.5 * ticks.step ? 0.0 : value;
    AppendFixed(text, rounded, ticks.decimals);
    return text;
}

}  // namespace ferolin
