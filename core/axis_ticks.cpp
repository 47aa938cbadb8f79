#include "core/axis_ticks.h"

#include <algorithm>
#include <cmath>

#include "core/text_format.h"

namespace ferolin {

namespace {

// The ticks of a step: the multiples of it around [min, max].
AxisTicks Place(double min, double max, double step) {
    AxisTicks t;
    t.step = step;
    t.first = std::floor(min / step) * step;
    t.intervals = std::max(1, static_cast<int>(std::ceil(max / step - 1e-9) - std::floor(min / step)));
    return t;
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
    t.decimals = std::clamp(static_cast<int>(-std::floor(std::log10(t.step) + 1e-9)), 0, 15);
    return t;
}

AxisTicks TimeTicks(double min, double max, int maxIntervals) {
    if (!Usable(min, max)) return AxisTicks{};
    maxIntervals = std::max(maxIntervals, 1);
    if (max - min < 1) max = min + 1;
    static constexpr double kSteps[] = {1,    2,    5,    10,    15,    30,    60,
                                        120,  300,  600,  900,   1800,  3600,  7200,
                                        10800, 21600, 43200, 86400};
    for (const double step : kSteps) {
        const AxisTicks t = Place(min, max, step);
        if (t.intervals <= maxIntervals) return t;
    }
    const double days = std::ceil((max - min) / 86400.0 / maxIntervals);
    return Place(min, max, days * 86400.0);
}

std::string ValueLabel(const AxisTicks& ticks, double value) {
    std::string text;
    // A tick that rounds to zero shows 0, not -0.
    const double rounded = std::fabs(value) < 0.5 * ticks.step ? 0.0 : value;
    AppendFixed(text, rounded, ticks.decimals);
    return text;
}

}  // namespace ferolin
