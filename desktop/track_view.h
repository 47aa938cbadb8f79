// The track view: a modeless window beside the main dialog with the track's
// outline (coloured by altitude, the points an export would leave out faded)
// on a web map, two profiles, altitude against distance and speed against
// time, and the figures of the exported selection.
// Clicking any of them picks the nearest point; the main dialog's list marks
// its selected point in all three. The view reads the current track where it
// lies and keeps only indices, distances and times beside it.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

#include "core/selection.h"
#include "core/track_geometry.h"
#include "core/track_point.h"
#include "desktop/profile_chart.h"
#include "desktop/settings_store.h"
#include "desktop/track_outline.h"
#include "desktop/track_profiles.h"
#include "desktop/track_view_data.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QLineSeries;
class QListWidget;
class QScatterSeries;
class QTimer;

namespace ferolin {

struct CurrentTrack;
class FiguresStrip;
class SelectionPanel;

class TrackViewWindow : public QWidget {
    Q_OBJECT
public:
    explicit TrackViewWindow(QWidget* owner = nullptr);
    ~TrackViewWindow() override;

    // The track to show, with its sensor channels if any, borrowed until the
    // next call (nullptr/0: none). A hidden view takes it up when it is shown.
    void SetTrack(const TrackPoint* points, uint32_t count,
                  const SensorChannels* sensors = nullptr);
    // Where the view takes the export selection from; without one every
    // point is kept. The criteria only borrow their rules for the call.
    void SetCriteriaSource(std::function<void(SelectionCriteria&)> source);
    // Takes the export selection from the panel (for the fields `track`
    // holds) and rebuilds whenever it changes.
    void FollowSelection(const SelectionPanel& panel, const CurrentTrack& track);
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
    void SavePlacement(QSettings* settings = nullptr);

    const TrackViewData& data() const { return data_; }
    TrackOutline* outline() const { return outline_; }
    TrackProfiles* profiles() const { return profiles_; }
    FiguresStrip* figuresStrip() const { return strip_; }
    QListWidget* partsList() const { return parts_; }
    ProfileChart* altitudeChart() const { return profiles_->altitudeChart(); }
    ProfileChart* speedChart() const { return profiles_->speedChart(); }
    QLineSeries* rawAltitudeSeries() const { return profiles_->rawAltitudeSeries(); }
    QLineSeries* exportedAltitudeSeries() const { return profiles_->exportedAltitudeSeries(); }
    QLineSeries* speedSeries() const { return profiles_->speedSeries(); }
    QScatterSeries* altitudeMarker() const { return profiles_->altitudeMarker(); }
    QScatterSeries* speedMarker() const { return profiles_->speedMarker(); }
    // The note shown instead of the speed profile ("" while the chart shows).
    QString SpeedNote() const { return profiles_->SpeedNote(); }
    bool SpeedChartShown() const { return profiles_->SpeedChartShown(); }

signals:
    // A click on the outline or a profile picked this point.
    void pointPicked(int index);
    // A drag across a profile chose the span from one point to another
    // (indices into the track, first <= last) as the time window.
    void spanPicked(int firstIndex, int lastIndex);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* BuildMapBar();
    void ApplyTrack();
    void Pick(int index);
    void RestorePlacement();
    void ListParts();
    void ChoosePart(int row);

    TrackViewData data_;
    std::function<void(SelectionCriteria&)> criteriaSource_;
    QTimer* refreshTimer_;
    TrackOutline* outline_;
    TrackProfiles* profiles_;
    FiguresStrip* strip_;
    QListWidget* parts_;
    std::vector<const TrackPoint*> partPoints_;  // the place each row of the list centres on
    QCheckBox* mapCheck_;
    QLineEdit* mapSource_;
    QAction* fitTrack_;
    bool shown_ = false;
    bool shownAtExit_ = false;
    bool placed_ = false;
    const TrackPoint* pendingPoints_ = nullptr;
    uint32_t pendingCount_ = 0;
    const SensorChannels* pendingSensors_ = nullptr;
    bool trackPending_ = false;
    int64_t requestedMark_ = -1;
    bool selectionPending_ = false;
};

}  // namespace ferolin
