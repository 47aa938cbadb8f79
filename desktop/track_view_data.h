// What the track view draws, shared by its three panes: the borrowed points,
// the export selection of the moment and the figures derived from both.
#pragma once

#include <cstdint>
#include <vector>

#include "core/figures.h"
#include "core/selection.h"
#include "core/track_geometry.h"
#include "core/track_point.h"

namespace ferolin {

struct TrackViewData {
    const TrackPoint* points = nullptr;
    uint32_t count = 0;
    const SensorChannels* sensors = nullptr;  // the track's channels, if any
    const SensorChannels* extras = nullptr;   // all it keeps beside the records (absent fields)

    LocalProjection projection;
    ValueRange rawAltitude;        // over every point
    std::vector<double> distance;  // metres from the first point
    std::vector<double> seconds;   // NaN for undated points
    std::vector<float> speeds;     // km/h: the points' own, or derived where none is stored
    bool speedDerived = false;
    uint32_t dated = 0;
    double firstSecond = 0, lastSecond = 0;

    std::vector<ExportEntry> exported;  // the export list of the current selection
    ValueRange exportedAltitude;
    TrackFigures figures;               // of the export list

    int64_t marked = -1;  // point index marked, -1 for none

    uint32_t IndexOf(const ExportEntry& e) const {
        return static_cast<uint32_t>(e.point - points);
    }
    // The altitude of point `i`, and the output altitude of export entry `k`;
    // NaN for a point without altitude (drawn as a gap, coloured as unknown).
    double RawAltitude(uint32_t i) const { return PointSeries(points, count, extras).Altitude(i); }
    double ExportedAltitude(uint32_t k) const {
        return PointSeries(exported.data(), static_cast<uint32_t>(exported.size()), extras).Altitude(k);
    }
    // Whether the line stops before point `i`: the point starts a new segment
    // of the track, or it comes more than kMaxMovingGapSeconds after the point
    // before it (both dated), a pause the profiles and the outline do not
    // bridge. False for the first point and out of range.
    bool BreakBefore(uint32_t i) const { return i < breaks.size() && breaks[i]; }
    // Whether the line stops anywhere after point `a` up to point `b` (a < b):
    // what joins two points of the export list, which may lie apart in the
    // track. Walks the points between them, so a pass along a list in order
    // costs one look at each point of the track.
    bool BreakBetween(uint32_t a, uint32_t b) const {
        for (uint32_t i = a + 1; i <= b && i < breaks.size(); ++i)
            if (breaks[i]) return true;
        return false;
    }
    std::vector<bool> breaks;  // BreakBefore of each point, built by SetTrack

    // Replaces the track (nullptr/0 for none) and recomputes the per-track figures.
    void SetTrack(const TrackPoint* points, uint32_t count,
                  const SensorChannels* sensors = nullptr);
    // Rebuilds the export list for the selection, and its figures with the
    // dead band of `ascentThreshold` metres.
    void SetSelection(const SelectionCriteria& criteria, double ascentThreshold);
};

}  // namespace ferolin
