// The track view's profiles: altitude against distance (as recorded and as
// exported) and, against time, the speed or a sensor channel the track
// carries (heart rate, cadence, power, temperature), on axes with round
// ticks; the distance and time axes span the track alone. The speed is the points' own, or derived from positions and times
// where the track stores none. No line joins two segments of the document,
// nor bridges a pause of more than kMaxMovingGapSeconds, nor crosses a point
// without altitude. A click on a profile picks the nearest point, a drag
// across it picks the span, and the mouse resting over it reads out the
// nearest point.
#pragma once

#include <QFont>
#include <QList>
#include <QSplitter>
#include <QString>

#include <cstdint>
#include <vector>

#include "core/track_geometry.h"
#include "desktop/profile_chart.h"
#include "desktop/track_view_data.h"

class QComboBox;
class QCategoryAxis;
class QAbstractAxis;
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

    // The title an axis would show in full (the chart may show less where
    // the axis is short; FitTitles picks what it shows).
    QString FullTitle(const QAbstractAxis* axis) const;

signals:
    void pointPicked(int index);
    // A drag across a profile: the first and last points inside the span, by
    // distance on the altitude profile and by time on the time profile.
    void spanPicked(int firstIndex, int lastIndex);

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
    // The time axis counts milliseconds of the points' own clock since 1970.
    double TimeValue(uint32_t i) const { return data_.seconds[i] * 1000.0; }
    // The value the time profile shows for point i: its speed or the chosen
    // channel's value (NaN where the point has none).
    double TimeProfileValue(uint32_t i) const;
    void ChooseTimeProfile(int index);
    // Shows on each axis the longest form of its title that the axis' length
    // holds, and in the chart's title the note a shortened one leaves out.
    void FitTitles();
    // The points inside a span of a profile's x axis, as spanPicked gives them.
    void PickSpan(bool altitude, double fromX, double toX);

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
    QCategoryAxis* timeAxis_;
    QValueAxis* speedAxis_;
    QString speedAxisNote_;  // the note of the speed's axis title ("from positions"; "" for none)
    QFont titleFont_;         // the axes' own title font, before any fit shrinks it
    NearestPointIndex altitudeGrid_, speedGrid_;
    bool altitudeGridBuilt_ = false, speedGridBuilt_ = false;
    bool trackLinesStale_ = true;  // raw altitude and speed to rebuild
};

}  // namespace ferolin
