// The point list's model: the rows are the points of the current track array,
// read where they lie (nothing is copied), and the five columns, followed by
// one per sensor channel the track carries and, for a document of several
// tracks or segments, the track and segment of each point (1-based, the
// segment counted within its track), are formatted only for the rows on
// screen, so a million points list at once.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>

#include "core/sensors.h"
#include "core/track_point.h"

namespace ferolin {

class TrackListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kRecord, kLongitude, kLatitude, kAltitude, kSpeed, kColumnCount };

    explicit TrackListModel(QObject* parent = nullptr);

    // Shows the `count` points at `points` and the channels of `sensors`
    // (borrowed: the caller keeps them alive until the next call); nullptr
    // and 0 empty the list.
    void SetTrack(const TrackPoint* points, uint32_t count,
                  const SensorChannels* sensors = nullptr);
    const TrackPoint* PointAt(int row) const;
    // The channels of the track shown; nullptr when none was given.
    const SensorChannels* Sensors() const { return sensors_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The text of a cell: "%05d" record, "%f" longitude and latitude, "%.2f"
    // altitude and speed.
    static QString CellText(const TrackPoint& point, int column);

private:
    const TrackPoint* points_ = nullptr;
    int count_ = 0;
    const SensorChannels* sensors_ = nullptr;
    Sensor sensorColumns_[kSensorCount] = {};
    int sensorCount_ = 0;
    int trackColumn_ = -1;    // -1: one track, no column
    int segmentColumn_ = -1;  // -1: one segment a track, no column
};

}  // namespace ferolin
