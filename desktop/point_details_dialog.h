// The modeless window showing every value of one track point. The main
// dialog owns it, refreshes it on every click in the point list and shows it
// on a double click or "Show details"; its close box only hides it.
#pragma once

#include <QDialog>

#include "core/sensors.h"
#include "core/track_point.h"
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
    // window at its stored position ("InfoDlgX", "InfoDlgY").
    void ShowPoint(const TrackPoint* point, bool show);
    // The track whose points ShowPoint receives, for their sensor values
    // (borrowed until the next call); nullptr when there is none.
    void SetTrack(const TrackPoint* points, uint32_t count, const SensorChannels* sensors);
    // Whether the user left the window open (set by ShowPoint, cleared by the
    // close box).
    bool IsShown() const { return shown_; }
    // Stores the window's position, when it was ever placed.
    void SavePosition(QSettings* settings);

    // The text of value `index`: the twelve values, then the sensor rows.
    QString ValueText(int index) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QLabel* values_[kValueCount + kSensorRowCount];
    QLabel* sensorLabels_[kSensorRowCount];
    const TrackPoint* points_ = nullptr;
    uint32_t count_ = 0;
    const SensorChannels* sensors_ = nullptr;
    QToolButton* earthButton_;
    bool placed_ = false;
    bool shown_ = false;
};

}  // namespace ferolin
