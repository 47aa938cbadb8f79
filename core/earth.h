// The sphere the program measures on, and its angle conversions: the factors
// every written figure (statistics, KML heading lines) has always been
// computed with. They are not quite the nearest doubles of pi / 180 and
// 180 / pi; changing them would change the outputs.
#pragma once

namespace ferolin {

inline constexpr double kEarthRadiusKm = 6371.0;
inline constexpr double kInverseEarthRadius = 1.5696123057604772e-07;  // 1 / 6371000 m
inline constexpr double kDegreesToRadians = 0.017453292519943393;
inline constexpr double kRadiansToDegrees = 57.295779513082;
// Metres along a meridian per degree of latitude.
inline constexpr double kMetresPerDegree = kEarthRadiusKm * 1000.0 * kDegreesToRadians;

}  // namespace ferolin
