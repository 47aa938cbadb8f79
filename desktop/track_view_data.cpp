#include "desktop/track_view_data.h"

#include <algorithm>
#include <cmath>

namespace ferolin {

void TrackViewData::SetTrack(const TrackPoint* newPoints, uint32_t newCount,
                             const SensorChannels* newSensors) {
    points = newCount ? newPoints : nullptr;
    count = points ? newCount : 0;
    sensors = points ? PresentChannels(newSensors) : nullptr;
    extras = points ? newSensors : nullptr;
    const PointSeries series(points, count, extras);
    projection = MakeLocalProjection(series);
    rawAltitude = AltitudeRange(series);
    distance = CumulativeDistance(series);
    speedDerived = SpeedsOf(series, speeds);
    seconds.assign(count, 0.0);
    dated = 0;
    firstSecond = lastSecond = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const double s = PointSeconds(points[i]);
        seconds[i] = s;
        if (std::isnan(s)) continue;
        if (dated == 0) firstSecond = lastSecond = s;
        firstSecond = std::min(firstSecond, s);
        lastSecond = std::max(lastSecond, s);
        ++dated;
    }
    breaks.assign(count, false);
    if (extras) {
        for (const uint32_t start : extras->document.SegmentStarts())
            if (start > 0 && start < count) breaks[start] = true;
    }
    for (uint32_t i = 1; i < count; ++i) {
        // NaN (an undated point on either side) fails the comparison.
        if (seconds[i] - seconds[i - 1] > kMaxMovingGapSeconds) breaks[i] = true;
    }
    exported.clear();
    exported.shrink_to_fit();
    exportedAltitude = ValueRange{};
    figures = TrackFigures{};
    marked = -1;
}

void TrackViewData::SetSelection(const SelectionCriteria& criteria, double ascentThreshold) {
    exported = BuildExportList(points, count, criteria, extras ? &extras->document : nullptr);
    const auto n = static_cast<uint32_t>(exported.size());
    exportedAltitude = AltitudeRange(PointSeries(exported.data(), n, extras));
    ComputeFigures(exported.data(), n, ascentThreshold, figures, extras);
    AddSensorFigures(exported.data(), n, extras, figures);
}

}  // namespace ferolin
