// The modeless window showing every value of one track point. The main
// dialog owns it, refreshes it on every click in the point list and shows it
// on a double click or "Show details"; its close box only hides it.
#pragma once

#include <QDialog>

#include <functional>
#include <vector>

#include "core/sensors.h"
#include "core/track_point.h"
#include "desktop/screen_place.h"
#include "desktop/settings_store.h"

class QLabel;
class QToolButton;

namespace ferolin {

class PointDetailsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kValueCount = 12;
    // The sensor rows after the twelve values, shown for the channels the
    // track carries.
    static constexpr int kSensorRowCount = kSensorCount;

    explicit PointDetailsDialog(QWidget* owner);

    // Fills the twelve values from the point (empties them for none) and,
    // when `show` is set, makes the window visible. The first call places the
    // window at its stored position ("InfoDlgX", "InfoDlgY"); without one
    // the window opens, the first time it shows, where it covers least of
    // the parts SetKeepClear names.
    void ShowPoint(const TrackPoint* point, bool show);
    // The track whose points ShowPoint receives, for their sensor values
    // (borrowed until the next call); nullptr when there is none.
    void SetTrack(const TrackPoint* points, uint32_t count, const SensorChannels* sensors);
    // Whether the user left the window open (set by ShowPoint, cleared by the
    // close box).
    bool IsShown() const { return shown_; }
    // The parts of the screen the window should not cover, asked when it
    // first shows without a stored position.
    void SetKeepClear(std::function<std::vector<KeepClear>()> parts) { keepClear_ = std::move(parts); }
    // Stores the window's position, when it was ever placed.
    void SavePosition(QSettings* settings);

    // The text of value `index`: the twelve values, then the sensor rows.
    QString ValueText(int index) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void PlaceClear();
    QLabel* values_[kValueCount + kSensorRowCount];
    QLabel* sensorLabels_[kSensorRowCount];
    const TrackPoint* points_ = nullptr;
    uint32_t count_ = 0;
    const SensorChannels* sensors_ = nullptr;
    QToolButton* earthButton_;
    std::function<std::vector<KeepClear>()> keepClear_;
    bool placed_ = false;     // the stored position was looked for
    bool positioned_ = false; // the window has a position: stored, or chosen when shown
    bool shown_ = false;
};

}  // namespace ferolin
