// Web Mercator, the projection of web-map tiles: the world as a unit square,
// x growing east from 180° W, y growing south from 85.0511° N, and at zoom z
// a grid of 2^z × 2^z tiles of 256 pixels. The view over it: a centre, a
// scale, fitting, zooming about a pixel, panning, and the tiles it shows.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/track_geometry.h"

namespace ferolin {

inline constexpr double kMercatorMaxLatitude = 85.05112877980659;
inline constexpr int kTilePixels = 256;
inline constexpr int kMaxTileZoom = 19;

// x of a longitude, with no wrapping: 540° E is 1.5 (the world repeats east).
inline double MercatorX(double longitude) { return (longitude + 180.0) / 360.0; }
// y of a latitude, clamped to the square's edges.
double MercatorY(double latitude);
double LongitudeOfMercatorX(double x);
double LatitudeOfMercatorY(double y);

struct TileKey {
    int z = 0, x = 0, y = 0;
    bool operator==(const TileKey&) const = default;
    // One number per tile, for hashing.
    uint64_t Id() const {
        return uint64_t(uint32_t(z)) << 58 | uint64_t(uint32_t(x)) << 29 | uint32_t(y);
    }
};

// A window onto the unit square.
struct MercatorView {
    double centreX = 0.5, centreY = 0.5;
    double scale = kTilePixels;  // pixels per unit: 256 × 2^zoom
    double width = 1, height = 1;  // pixels

    double ScreenX(double x) const { return 0.5 * width + (x - centreX) * scale; }
    double ScreenY(double y) const { return 0.5 * height + (y - centreY) * scale; }
    double WorldX(double sx) const { return centreX + (sx - 0.5 * width) / scale; }
    double WorldY(double sy) const { return centreY + (sy - 0.5 * height) / scale; }

    // Multiplies the scale by `factor` (kept within zoom 0 to 22) while the
    // world point under the pixel (sx, sy) stays under it.
    void ZoomAbout(double factor, double sx, double sy);
    // Moves the picture by (dx, dy) pixels.
    void Pan(double dx, double dy);
    // The tile zoom whose pixels are nearest to the screen's: log2(scale/256)
    // rounded, within 0 .. maxZoom.
    int TileZoom(int maxZoom = kMaxTileZoom) const;
    // The metres one pixel spans at world y (the scale bar's measure).
    double MetresPerPixel(double y) const;
};

// The view that shows the box [minX, maxX] × [minY, maxY] whole and centred in
// a width × height window less `margin` pixels on every side, at most at zoom
// 18, so that a point alone does not fill the window.
MercatorView FitMercator(double minX, double maxX, double minY, double maxY, double width,
                         double height, double margin);

// A track's positions in Web Mercator, worked out once per track (a logarithm
// and a sine a point) so that panning and zooming cost a multiplication: as
// float offsets from the extent's corner (a millimetre at the scale of a
// country). Longitudes follow on from the first point's across the 180th
// meridian, so a track crossing it stays in one piece.
struct MercatorTrack {
    uint32_t positioned = 0;  // points with a position
    double minX = 0, maxX = 0, minY = 0, maxY = 0;  // extent, world units
    std::vector<float> dx, dy;  // offsets from (minX, minY); NaN without position

    bool Position(uint32_t i, double& x, double& y) const {
        if (i >= dx.size() || !(dx[i] == dx[i])) return false;
        x = minX + dx[i];
        y = minY + dy[i];
        return true;
    }
};
MercatorTrack ProjectMercator(const PointSeries& series);

// Where a tile of the view lies on screen, and which one it is: x wrapped
// into 0 .. 2^z-1 (the world repeats east and west), rows beyond the poles
// left out. Ordered from the centre of the window outwards, so that the tiles
// in sight first are asked first.
struct PlacedTile {
    TileKey key;
    double left, top, size;  // pixels
};
std::vector<PlacedTile> VisibleTiles(const MercatorView& view, int z);

}  // namespace ferolin
