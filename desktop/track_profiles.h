// The track view's profiles: altitude against distance (as recorded and as
// exported) and, against time, the speed or a sensor channel the track
// carries (heart rate, cadence, power, temperature), on axes with round
// ticks. The speed is the points' own, or derived from positions and times
// where the track stores none. A click on a profile picks the nearest point.
#pragma once

#include <QSplitter>
#include <QString>

#include <cstdint>

#include "core/track_geometry.h"
#include "desktop/profile_chart.h"
#include "desktop/track_view_data.h"

class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QStackedWidget;
class QValueAxis;

namespace ferolin {

class TrackProfiles : public QSplitter {
    Q_OBJECT
public:
    TrackProfiles(const TrackViewData& viewData, QWidget* parent);

    // A new track (or none): every line is rebuilt by the next Update.
    void TrackChanged();
    // The export list changed: the exported altitude is rebuilt.
    void SelectionChanged();
    // Rebuilds what changed and the markers.
    void Update();
    // Moves the markers to the marked point.
    void UpdateMarkers();

    ProfileChart* altitudeChart() const { return altitudeChart_; }
    ProfileChart* speedChart() const { return speedChart_; }
    QLineSeries* rawAltitudeSeries() const { return rawSeries_; }
    QLineSeries* exportedAltitudeSeries() const { return exportedSeries_; }
    QLineSeries* speedSeries() const { return speedSeries_; }
    QScatterSeries* altitudeMarker() const { return altitudeMarker_; }
    QScatterSeries* speedMarker() const { return speedMarker_; }
    QString SpeedNote() const;
    bool SpeedChartShown() const;
    // What the time profile shows: "Speed", then the channels the track
    // carries; hidden when it carries none.
    QComboBox* timeProfileChoice() const { return timeChoice_; }

signals:
    void pointPicked(int index);

private:
    void BuildCharts();
    void UpdateAltitude(uint32_t columns, bool trackLines);
    void UpdateSpeed(uint32_t columns);
    double TimeValue(uint32_t i) const { return data_.seconds[i] * 1000.0 - timeShiftMs_; }
    // The value the time profile shows for point i: its speed or the chosen
    // channel's value (NaN where the point has none).
    double TimeProfileValue(uint32_t i) const;
    void ChooseTimeProfile(int index);

    const TrackViewData& data_;
    ProfileChart* altitudeChart_;
    ProfileChart* speedChart_;
    QStackedWidget* speedStack_;
    QLabel* speedNote_;
    QComboBox* timeChoice_;
    int timeChannel_ = -1;  // index into kSensorTable, -1 for the speed
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
