// The one-line readout of a track point that the track view shows where the
// mouse rests on a profile or the outline: its time, its distance from the
// start, its altitude and the values of the track's sensor channels.
#pragma once

#include <QString>

#include <cstdint>

#include "desktop/track_view_data.h"

namespace ferolin {

// "12:03:15 · 4.27 km · 512 m · 143 bpm · 88 rpm · 231 W · 18 °C": the
// point's own clock (as the point list and the details show it, without the
// fraction of its seconds), the distance along the track, the altitude and
// one value for each channel the track carries. What the point lacks reads
// "-" (a time, an altitude, a channel's value), so that every readout of one
// track has its parts in the same places. "" for an index beyond the track.
QString PointReadout(const TrackViewData& data, uint32_t index);

}  // namespace ferolin
