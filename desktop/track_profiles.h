// The track view's profiles: altitude against distance (as recorded and as
// exported) and, against time, the speed or a sensor channel the track
// carries (heart rate, cadence, power, temperature), on axes with round
// ticks. The speed is the points' own, or derived from positions and times
// where the track stores none. No line joins two segments of the document,
// nor crosses a point without altitude. A click on a profile picks the
// nearest point.
#pragma once

#include <QList>
#include <QSplitter>
#include <QString>

#include <cstdint>
#include <vector>

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
    // The first line of each profile: the whole profile when nothing breaks it.
    QLineSeries* rawAltitudeSeries() const { return raw_.series.front(); }
    QLineSeries* exportedAltitudeSeries() const { return exported_.series.front(); }
    QLineSeries* speedSeries() const { return speed_.series.front(); }
    // Every line a profile draws, one per run between breaks, in order.
    QList<QLineSeries*> RawAltitudeLines() const { return raw_.Shown(); }
    QList<QLineSeries*> ExportedAltitudeLines() const { return exported_.Shown(); }
    QList<QLineSeries*> SpeedLines() const { return speed_.Shown(); }
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
    // The lines of one profile, all with the first one's pen and axes: a
    // line series always joins its points, so each run between two breaks
    // has its own. More are made as a track needs them; `used` are shown.
    struct ProfileLines {
        std::vector<QLineSeries*> series;
        size_t used = 0;
        ProfileLines* above = nullptr;  // lines kept drawn over these
        QList<QLineSeries*> Shown() const;
    };

    void BuildCharts();
    // Shows `line` on `lines`, run `r` from `runs[r]` to the next run's start.
    void ShowRuns(ProfileLines& lines, const QList<QPointF>& line,
                  const std::vector<qsizetype>& runs);
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
    ProfileLines raw_, exported_, speed_;
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
