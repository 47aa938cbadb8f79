// The track view's profiles: altitude against distance (as recorded and as
// exported) and speed against time, on axes with round ticks. The speed is
// the points' own, or derived from positions and times where the track
// stores none. A click on a profile picks the nearest point of its lines.
#pragma once

#include <QSplitter>
#include <QString>

#include <cstdint>

#include "core/track_geometry.h"
#include "desktop/profile_chart.h"
#include "desktop/track_view_data.h"

class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QStackedWidget;
class QValueAxis;

namespace ferolin {

class CTrackProfiles : public QSplitter {
    Q_OBJECT
public:
    CTrackProfiles(const TrackViewData& viewData, QWidget* parent);

    // A new track (or none): every line is rebuilt by the next Update.
    void TrackChanged();
    // The export list changed: the exported altitude is rebuilt.
    void SelectionChanged();
    // Rebuilds what changed and the markers.
    void Update();
    // Moves the markers to the marked point.
    void UpdateMarkers();

    CProfileChart* altitudeChart() const { return altitudeChart_; }
    CProfileChart* speedChart() const { return speedChart_; }
    QLineSeries* rawAltitudeSeries() const { return rawSeries_; }
    QLineSeries* exportedAltitudeSeries() const { return exportedSeries_; }
    QLineSeries* speedSeries() const { return speedSeries_; }
    QScatterSeries* altitudeMarker() const { return altitudeMarker_; }
    QScatterSeries* speedMarker() const { return speedMarker_; }
    QString SpeedNote() const;
    bool SpeedChartShown() const;

signals:
    void pointPicked(int index);

private:
    void BuildCharts();
    void UpdateAltitude(uint32_t columns, bool trackLines);
    void UpdateSpeed(uint32_t columns);
    double TimeValue(uint32_t i) const { return data_.seconds[i] * 1000.0 - timeShiftMs_; }

    const TrackViewData& data_;
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
    bool trackLinesStale_ = true;  // raw altitude and speed to rebuild
    double timeShiftMs_ = 0;       // shows the points' own clock on the time axis
};

}  // namespace ferolin
