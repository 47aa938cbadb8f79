// The track view: a modeless window beside the main dialog with the track's
// outline (coloured by altitude, the points an export would leave out faded)
// and two profiles, altitude against distance and speed against time.
// Clicking any of them picks the nearest point; the main dialog's list marks
// its selected point in all three. The view reads the current track where it
// lies and keeps only indices, distances and times beside it.
#pragma once

#include <QChartView>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/selection.h"
#include "core/track_point.h"
#include "desktop/settings_store.h"
#include "core/track_geometry.h"

class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QDateTimeAxis;
class QStackedWidget;
class QTimer;

namespace ferolin {

// What the view draws, shared by its three panes: the borrowed points, the
// export selection of the moment and the figures derived from both.
struct TrackViewData {
    const TrackPoint* points = nullptr;
    uint32_t count = 0;

    LocalProjection projection;
    ValueRange rawAltitude;        // over every point
    std::vector<double> distance;  // metres from the first point
    std::vector<double> seconds;   // NaN for undated points
    uint32_t dated = 0;
    double firstSecond = 0, lastSecond = 0;

    std::vector<ExportEntry> exported;  // the export list of the current selection
    ValueRange exportedAltitude;

    int64_t marked = -1;  // point index marked, -1 for none

    uint32_t IndexOf(const ExportEntry& e) const {
        return static_cast<uint32_t>(e.point - points);
    }
    // Replaces the track (nullptr/0 for none) and recomputes the per-track figures.
    void SetTrack(const TrackPoint* points, uint32_t count);
    // Rebuilds the export list for the selection.
    void SetSelection(const SelectionCriteria& criteria);
};

// The outline pane: a plain painted widget.
class CTrackOutline : public QWidget {
    Q_OBJECT
public:
    CTrackOutline(const TrackViewData& viewData, QWidget* parent);

    // Placement of the track in the pane as last painted (or as it would be).
    ScreenFit Fit() const;
    // Pixel of a point in the pane; false when it has no position.
    bool PixelOf(uint32_t index, QPointF& pixel) const;
    // The nearest point to a pixel, -1 when no point has a position.
    int64_t PointAt(const QPointF& pixel);
    void TrackChanged();

    // Lines drawn in the last paint (after the per-pixel merge), for tests.
    size_t LastSegmentCount() const { return lastSegments_; }
    QString NoteText() const;

signals:
    void pointPicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void BuildPixelCache(const ScreenFit& fit);

    const TrackViewData& data_;
    std::vector<QPoint> cachePixels_;     // the line's pixels, one per change of pixel
    std::vector<uint32_t> cachePointOf_;  // the point each pixel comes from
    int64_t cacheFirst_ = -1, cacheLast_ = -1;  // first and last point with a position
    QSize cacheSize_;
    bool cacheValid_ = false;
    NearestPointIndex grid_;
    bool gridBuilt_ = false;
    size_t lastSegments_ = 0;
};

// One profile pane: a chart whose clicks pick the nearest point of its series.
class CProfileChart : public QChartView {
    Q_OBJECT
public:
    explicit CProfileChart(QWidget* parent);

    // The index of the nearest point to a pixel of the view; -1 when none.
    std::function<int64_t(const QPointF& value, double pixelsPerX, double pixelsPerY)> nearest;

    // The pixel of a value of the chart's series in this view.
    QPointF PixelOf(const QPointF& value) const;

    // Shows `chart`, which the view then owns, and deletes the chart it
    // showed before (the view lets go of a replaced chart without deleting it).
    void ReplaceChart(QChart* chart);

signals:
    void pointPicked(int index);
    void resized();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

class CTrackViewDlg : public QWidget {
    Q_OBJECT
public:
    explicit CTrackViewDlg(QWidget* owner = nullptr);
    ~CTrackViewDlg() override;

    // The track to show, borrowed until the next call (nullptr/0: none). A
    // hidden view takes it up when it is shown.
    void SetTrack(const TrackPoint* points, uint32_t count);
    // Where the view takes the export selection from; without one every
    // point is kept. The criteria only borrow their rules for the call.
    void SetCriteriaSource(std::function<void(SelectionCriteria&)> source);
    // The time window, the rules, the geoid height or the smoothing changed:
    // the view rebuilds once the current event is handled.
    void SelectionChanged();
    // Rebuilds the selection and the panes now (a pending track too).
    void Refresh();
    // Marks a point (list click); -1 clears the mark.
    void MarkPoint(int64_t index);
    int64_t MarkedPoint() const { return data_.marked; }

    // Shows and raises the window (Ctrl+T, the menu entry).
    void ShowView();
    // Whether the user left the window open (the close box clears it).
    bool IsShown() const { return shown_; }
    // Whether the window was open when the program last ended.
    bool WasShownAtExit() const { return shownAtExit_; }
    // Stores position, size and visibility (also done when the view is destroyed).
    void SavePlacement(SettingsKey key = nullptr);

    const TrackViewData& data() const { return data_; }
    CTrackOutline* outline() const { return outline_; }
    CProfileChart* altitudeChart() const { return altitudeChart_; }
    CProfileChart* speedChart() const { return speedChart_; }
    QLineSeries* rawAltitudeSeries() const { return rawSeries_; }
    QLineSeries* exportedAltitudeSeries() const { return exportedSeries_; }
    QLineSeries* speedSeries() const { return speedSeries_; }
    QScatterSeries* altitudeMarker() const { return altitudeMarker_; }
    QScatterSeries* speedMarker() const { return speedMarker_; }
    // The note shown instead of the speed profile ("" while the chart shows).
    QString SpeedNote() const;
    bool SpeedChartShown() const;

signals:
    // A click on the outline or a profile picked this point.
    void pointPicked(int index);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ApplyTrack();
    void BuildProfiles();
    void UpdateProfiles();
    void UpdateMarkers();
    void Pick(int index);
    void RestorePlacement();

    TrackViewData data_;
    std::function<void(SelectionCriteria&)> criteriaSource_;
    QTimer* refreshTimer_;
    CTrackOutline* outline_;
    CProfileChart* altitudeChart_;
    CProfileChart* speedChart_;
    QStackedWidget* speedStack_;
    QLabel* speedNote_;
    QLineSeries* rawSeries_;
    QLineSeries* exportedSeries_;
    QLineSeries* speedSeries_;
    QScatterSeries* altitudeMarker_;
    QScatterSeries* speedMarker_;
    QValueAxis* distanceAxis_;
    QValueAxis* altitudeAxis_;
    QDateTimeAxis* timeAxis_;
    QValueAxis* speedAxis_;
    NearestPointIndex altitudeGrid_, speedGrid_;
    bool altitudeGridBuilt_ = false, speedGridBuilt_ = false;
    double timeShiftMs_ = 0;  // shows the points' own clock on the time axis
    bool shown_ = false;
    bool shownAtExit_ = false;
    bool placed_ = false;
    const TrackPoint* pendingPoints_ = nullptr;
    uint32_t pendingCount_ = 0;
    bool trackPending_ = false;
    bool trackSeriesStale_ = true;  // raw altitude and speed series to rebuild
    int64_t requestedMark_ = -1;
    bool selectionPending_ = false;
};

}  // namespace ferolin
