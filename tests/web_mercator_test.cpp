// Web Mercator and the view over it: known points of the projection, a zoom
// that keeps the point under the pointer, a fit that shows the whole box, and
// the tiles that cover the window, wrapped around the world.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "core/web_mercator.h"

using namespace ferolin;

TEST(WebMercator, ProjectionAndView) {
    struct Known {
        double latitude, longitude, x, y;
    };
    // Tile corners of zoom 1 and the edges of the square.
    for (const Known& k : {Known{0, 0, 0.5, 0.5}, Known{85.05112877980659, -180, 0, 0},
                           Known{-85.05112877980659, 180, 1, 1}, Known{89.9, 90, 0.75, 0},
                           Known{66.51326044311186, -90, 0.25, 0.25}}) {
        EXPECT_NEAR(MercatorX(k.longitude), k.x, 1e-12);
        EXPECT_NEAR(MercatorY(k.latitude), k.y, 1e-12);
        if (k.y > 0 && k.y < 1) {
            EXPECT_NEAR(LatitudeOfMercatorY(k.y), k.latitude, 1e-9);
        }
    }

    MercatorView view = FitMercator(0.3, 0.31, 0.4, 0.402, 800, 600, 20);
    EXPECT_NEAR(view.ScreenX(0.3), 20, 1e-6);  // the wider side fills the width
    EXPECT_NEAR(view.ScreenX(0.31), 780, 1e-6);
    EXPECT_NEAR(view.ScreenY(0.401), 300, 1e-6);
    const double x = view.WorldX(123), y = view.WorldY(456);
    view.ZoomAbout(1.7, 123, 456);
    EXPECT_NEAR(view.ScreenX(x), 123, 1e-6);
    EXPECT_NEAR(view.ScreenY(y), 456, 1e-6);
    view.Pan(10, -5);
    EXPECT_NEAR(view.ScreenX(x), 133, 1e-6);
    EXPECT_NEAR(view.ScreenY(y), 451, 1e-6);
    // A lone point is shown at zoom 18, not at the largest scale there is.
    EXPECT_EQ(FitMercator(0.3, 0.3, 0.4, 0.4, 800, 600, 20).TileZoom(), 18);

    // A track across the 180th meridian stays in one piece; a point without
    // position has none.
    std::vector<TrackPoint> points(3, TrackPoint{});
    points[0].latitude = 10, points[0].longitude = 179.9;
    points[1].latitude = NAN;
    points[2].latitude = 10.1, points[2].longitude = -179.9;
    const MercatorTrack track = ProjectMercator(PointSeries(points.data(), 3));
    double x0, y0, x2, y2;
    ASSERT_TRUE(track.Position(0, x0, y0) && track.Position(2, x2, y2));
    EXPECT_FALSE(track.Position(1, x2, y2) || track.Position(3, x2, y2));
    ASSERT_TRUE(track.Position(2, x2, y2));
    EXPECT_EQ(track.positioned, 2u);
    EXPECT_NEAR(x2 - x0, 0.2 / 360, 1e-9);
    EXPECT_NEAR(x0, MercatorX(179.9), 1e-9);
    EXPECT_NEAR(y2, MercatorY(10.1), 1e-9);

    // The tiles cover every pixel once, across the 180th meridian too.
    for (const double centreX : {0.5, 0.999, 0.0}) {
        MercatorView v;
        v.scale = 256 * 8.6;  // zoom 3.1: tiles of 275 px
        v.width = 700, v.height = 500, v.centreX = centreX, v.centreY = 0.3;
        const int z = v.TileZoom();
        ASSERT_EQ(z, 3);
        const std::vector<PlacedTile> tiles = VisibleTiles(v, z);
        std::set<std::pair<int, int>> covered;
        for (int sy = 0; sy < 500; sy += 7)
            for (int sx = 0; sx < 700; sx += 7) {
                int hits = 0;
                for (const PlacedTile& t : tiles)
                    if (sx >= t.left && sx < t.left + t.size && sy >= t.top && sy < t.top + t.size) {
                        ++hits;
                        EXPECT_GE(t.key.x, 0);
                        EXPECT_LT(t.key.x, 8);
                        covered.insert({t.key.x, t.key.y});
                    }
                EXPECT_EQ(hits, 1) << sx << "," << sy;
            }
        EXPECT_EQ(covered.size(), tiles.size());
        // The first tile asked is the one in the middle of the window.
        EXPECT_LE(std::abs(tiles[0].left + tiles[0].size / 2 - 350), tiles[0].size / 2);
    }
}
