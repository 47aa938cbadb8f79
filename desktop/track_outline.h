// The outline pane of the track view: the track drawn from above, coloured
// by altitude where each piece lies, with the points an export would leave
// out faded, the start and stop, the point selected in the list, a scale bar
// and the altitude legend; under it, while the map is on, web-map tiles in
// Web Mercator (the outline then in the same projection), which the wheel
// zooms about the pointer and a drag pans. A click picks the nearest point.
#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "core/track_geometry.h"
#include "core/web_mercator.h"
#include "desktop/track_view_data.h"

class QPainter;

namespace ferolin {

class OutlineMap;

class TrackOutline : public QWidget {
    Q_OBJECT
public:
    TrackOutline(const TrackViewData& viewData, QWidget* parent);

    // Placement of the track in the pane as last painted (or as it would be).
    ScreenFit Fit() const;
    // Pixel of a point in the pane; false when it has no position.
    bool PixelOf(uint32_t index, QPointF& pixel) const;
    // The nearest point to a pixel, -1 when no point has a position.
    int64_t PointAt(const QPointF& pixel);
    void TrackChanged();
    // Centres the map (when it is on) on a place: a waypoint, the first
    // point of a track or route.
    void CentreOn(const TrackPoint& point);

    // Lines drawn in the last paint (after the per-pixel merge), for tests.
    size_t LastSegmentCount() const { return lastSegments_; }
    // Where the last paint wrote "Start" and "Stop" (empty when not drawn).
    QRectF StartLabel() const { return labels_[0]; }
    QRectF StopLabel() const { return labels_[1]; }
    QString NoteText() const;
    // The map under the outline, its view and its settings.
    OutlineMap* map() const { return map_; }
    // Whether the outline is drawn on the map (in Web Mercator) now.
    bool MapOn() const;

signals:
    void pointPicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // The line cut into runs of one style: faded (-1), or one step of the
    // altitude colours. Each run starts with the last pixel of the one before.
    struct StyledLine {
        struct Run {
            int style;
            int start;  // first pixel
        };
        std::vector<Run> runs;
        std::vector<QPoint> pixels;
        int End(size_t run) const;
    };

    // A point's position in the pane's projection: metres of the local one,
    // or (x, -y) of Web Mercator while the map is on.
    bool Position(uint32_t index, double& x, double& y) const;
    const MercatorTrack& Mercator() const;
    void BuildPixelCache(const ScreenFit& fit);
    StyledLine CutIntoRuns() const;
    // Where a place that is not a track point lies in the pane (a waypoint);
    // false without a position.
    bool PlacePixel(const TrackPoint& point, QPointF& pixel) const;
    // Its Web Mercator world position, beside the track's.
    bool WorldOf(const TrackPoint& point, double& x, double& y) const;
    template <class Place>
    void PaintWaypoints(QPainter& painter, Place& place);

    // The painting, in the order of the layers.
    bool PaintBackground(QPainter& painter);
    void PaintFadedPart(QPainter& painter, const StyledLine& line) const;
    void PaintOutline(QPainter& painter, const StyledLine& line) const;
    void PaintMarkers(QPainter& painter);
    void PaintScaleBar(QPainter& painter, const ScreenFit& fit) const;
    void PaintLegend(QPainter& painter) const;

    const TrackViewData& data_;
    std::vector<QPoint> cachePixels_;     // the line's pixels, one per change of pixel
    std::vector<uint32_t> cachePointOf_;  // the point each pixel comes from
    int64_t cacheFirst_ = -1, cacheLast_ = -1;  // first and last point with a position
    QSize cacheSize_;
    bool cacheValid_ = false;
    bool cacheOnMap_ = false;
    MercatorView cacheView_;  // of a cache built on the map
    NearestPointIndex grid_;
    bool gridBuilt_ = false;
    bool gridOnMap_ = false;
    size_t lastSegments_ = 0;
    QRectF labels_[2];
    OutlineMap* map_;
    mutable MercatorTrack mercator_;
    mutable bool mercatorBuilt_ = false;
};

}  // namespace ferolin
