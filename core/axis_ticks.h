// Round ticks for the profile axes: values on 1, 2 or 5 times a power of ten,
// times on whole seconds, minutes or hours, and labels that never repeat.
// An axis either stretches to the ticks on either side of the data (the
// values) or spans the data alone with the ticks that fall inside it (the
// distance and the time, which start and end with the track).
#pragma once

#include <string>

namespace ferolin {

struct AxisTicks {
    double first = 0;  // the lowest tick: the axis' lower end
    double step = 1;
    int intervals = 1;  // the axis ends at first + intervals * step
    int decimals = 0;   // of a value label that tells every tick apart

    double last() const { return first + intervals * step; }
};

// At most `maxIntervals` (at least 1) steps of 1, 2 or 5 × 10^n covering
// [min, max]; a range of one value is widened around it.
AxisTicks ValueTicks(double min, double max, int maxIntervals);

// The same for times in seconds (since 1970, or of a day): steps of 1, 2, 5,
// 10, 15 or 30 seconds, of 1, 2, 5, 10, 15 or 30 minutes, of 1, 2, 3, 6 or 12
// hours, or of whole days, on multiples of the step since midnight.
AxisTicks TimeTicks(double min, double max, int maxIntervals);

// Round ticks inside [min, max] for an axis that spans the data alone: the
// smallest step of ValueTicks' or TimeTicks' kind that puts at most
// `maxTicks` (at least 1) ticks into the range. `first` is the lowest tick
// inside and `intervals` the steps to the highest: 0 for a single tick, -1
// when no tick falls inside (a range shorter than the smallest step).
AxisTicks ValueTicksWithin(double min, double max, int maxTicks);
AxisTicks TimeTicksWithin(double min, double max, int maxTicks);

// The label of a value tick: the value with the ticks' decimals.
std::string ValueLabel(const AxisTicks& ticks, double value);

}  // namespace ferolin
