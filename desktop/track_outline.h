// The outline pane of the track view: the track drawn from above, coloured
// by altitude (or by the speed or a sensor channel, as the user chose) where
// each piece lies, broken where the track has a new segment or a pause, with
// the points an export would leave out faded, the start and stop, the point
// selected in the list, a scale bar and the colours' legend; under it,
// while the map is on, web-map tiles in Web Mercator (the outline then in the
// same projection), which the wheel zooms about the pointer and a drag pans.
// A click picks the nearest point; resting the pointer on the line shows
// that point's readout.
#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "core/track_geometry.h"
#include "core/web_mercator.h"
#include "desktop/track_view_data.h"

class QPainter;

namespace ferolin {

class OutlineMap;

// What the outline's colours show: the altitude (the default), the speed, or
// one of the sensor channels in the order of kSensorTable.
enum class OutlineColour : uint8_t { kAltitude, kSpeed, kHeartRate, kCadence, kPower, kTemperature };
inline constexpr int kOutlineColourCount = 6;

// The name the choice and the legend show, and the unit of the values.
QString OutlineColourName(OutlineColour colour);
QString OutlineColourUnit(OutlineColour colour);

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
    // The colours: the choices the track offers (the altitude always, the
    // speed and each sensor channel where the points have them), the one
    // shown, and the user's choice, kept in the settings (OutlineColour). A
    // choice the track lacks shows the altitude and stays the user's.
    std::vector<OutlineColour> ColourChoices() const;
    OutlineColour ColourShown() const { return colourShown_; }
    OutlineColour ColourWanted() const { return colourWanted_; }
    void SetColour(OutlineColour colour);
    // The legend's title and its top and bottom values as last painted, and
    // where the legend and the scale bar lay with their grounds (empty when
    // not drawn).
    QStringList LegendTexts() const { return legendTexts_; }
    QRectF LegendBox() const { return legendBox_; }
    QRectF ScaleBarBox() const { return scaleBox_; }
    // The readout of the point under the pointer ("" when the pointer is
    // not on the line).
    QString Readout() const { return readout_; }
    // The map under the outline, its view and its settings.
    OutlineMap* map() const { return map_; }
    // Whether the outline is drawn on the map (in Web Mercator) now.
    bool MapOn() const;

signals:
    void pointPicked(int index);
    // A new track: ColourChoices() may differ.
    void colourChoicesChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The line cut into runs of one style: faded (-1), or one step of the
    // colours. Each run starts with the last pixel of the one before.
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
    // Gives the map the pane's size and the track's extent.
    void PlaceMap();
    void BuildPixelCache(const ScreenFit& fit);
    // The value the colours show at point `i`, NaN where it has none.
    double ColourValue(uint32_t i) const;
    // Picks the colour shown for the track from the user's choice, and the
    // range of its values.
    void ApplyColour();
    // The pointer moved (`event`), or a drag or leaving the pane ended the
    // readout (nullptr): the readout of the point under the pointer, if any.
    void ShowReadout(QMouseEvent* event);
    // Where the scale bar and the legend go, with their grounds.
    QRectF ScaleBarPlace(const ScreenFit& fit, ScaleBar& bar) const;
    QRectF LegendPlace(QRectF& ramp, QString& title, QString& top, QString& bottom) const;
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
    void PaintMarkers(QPainter& painter, const std::vector<QRectF>& kept);
    void PaintScaleBar(QPainter& painter, const ScreenFit& fit);
    void PaintLegend(QPainter& painter);

    const TrackViewData& data_;
    std::vector<QPoint> cachePixels_;     // the line's pixels, one per change of pixel
    std::vector<uint32_t> cachePointOf_;  // the point each pixel comes from
    std::vector<uint8_t> cacheBreak_;     // 1 where the line stops before the pixel
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
    OutlineColour colourWanted_ = OutlineColour::kAltitude;
    OutlineColour colourShown_ = OutlineColour::kAltitude;
    uint8_t choices_ = 1;  // bits of the OutlineColour values the track offers
    ValueRange colourRange_;
    QStringList legendTexts_;
    QRectF legendBox_, scaleBox_;
    QString readout_;
    OutlineMap* map_;
    mutable MercatorTrack mercator_;
    mutable bool mercatorBuilt_ = false;
};

}  // namespace ferolin
