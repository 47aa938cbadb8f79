#include "desktop/track_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/strings.h"
#include "core/text_format.h"
#include "desktop/window_text.h"

namespace ferolin {

TrackListModel::TrackListModel(QObject* parent) : QAbstractTableModel(parent) {}

void TrackListModel::SetTrack(const TrackPoint* points, uint32_t count,
                              const SensorChannels* sensors) {
    beginResetModel();
    points_ = count ? points : nullptr;
    sensors_ = points_ ? sensors : nullptr;
    sensorCount_ = 0;
    for (const SensorInfo& info : kSensorTable)
        if (sensors_ && sensors_->Has(info.sensor)) sensorColumns_[sensorCount_++] = info.sensor;
    // A view counts its rows in int; more points than that cannot be listed.
    count_ = points_ ? static_cast<int>(std::min<uint32_t>(
                           count, static_cast<uint32_t>(std::numeric_limits<int>::max())))
                     : 0;
    const TrackDocument* document = sensors_ ? &sensors_->document : nullptr;
    int column = kColumnCount + sensorCount_;
    trackColumn_ = document && document->TrackCount() > 1 ? column++ : -1;
    segmentColumn_ = document && document->SegmentCount() > document->TrackCount() ? column++ : -1;
    endResetModel();
}

const TrackPoint* TrackListModel::PointAt(int row) const {
    return row >= 0 && row < count_ ? points_ + row : nullptr;
}

int TrackListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count_;
}

int TrackListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount + sensorCount_ + (trackColumn_ >= 0) + (segmentColumn_ >= 0);
}

QString TrackListModel::CellText(const TrackPoint& p, int column) {
    // Called for every cell on screen at every repaint: the buffer is kept
    // between calls so that only the QString allocates.
    thread_local TextBuffer text;
    text.clear();
    switch (column) {
        case kRecord: AppendInt(text, p.record, 5); break;
        case kLongitude: AppendFixed(text, p.longitude, 6); break;
        case kLatitude: AppendFixed(text, p.latitude, 6); break;
        case kAltitude: AppendFixed(text, p.altitude, 2); break;
        case kSpeed: AppendFixed(text, p.speed, 2); break;
        default: break;
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant TrackListModel::data(const QModelIndex& index, int role) const {
    const TrackPoint* p = index.isValid() ? PointAt(index.row()) : nullptr;
    if (!p) return {};
    if (role == Qt::DisplayRole) {
        const int channel = index.column() - kColumnCount;
        if (channel < 0) return CellText(*p, index.column());
        if (index.column() == trackColumn_ || index.column() == segmentColumn_) {
            const TrackDocument& document = sensors_->document;
            const uint32_t segment = document.SegmentOf(static_cast<uint32_t>(index.row()));
            const uint32_t track = document.TrackOfSegment(segment);
            return QString::number(index.column() == trackColumn_ ? track + 1
                                                                  : segment - document.FirstSegment(track) + 1);
        }
        if (channel >= sensorCount_) return {};
        // Whole numbers without decimals, others with one: as the tables show them.
        const float v = sensors_->Value(sensorColumns_[channel], static_cast<uint32_t>(index.row()));
        if (!IsSensorValue(v)) return QString();
        return v == std::round(v) ? QString::number(static_cast<double>(v), 'f', 0)
                                  : QString::number(static_cast<double>(v), 'f', 1);
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    return {};
}

QVariant TrackListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    if (role != Qt::DisplayRole) return {};
    static constexpr int kHeaders[kColumnCount] = {kStrRecord, kStrLongitude, kStrLatitude,
                                                   kStrAltitude, kStrSpeedColumn};
    if (section >= 0 && section == trackColumn_) return QStringLiteral("Track");
    if (section >= 0 && section == segmentColumn_) return QStringLiteral("Segment");
    if (section >= kColumnCount && section < kColumnCount + sensorCount_)
        return QString::fromLatin1(
            kSensorTable[static_cast<int>(sensorColumns_[section - kColumnCount])].name);
    return section >= 0 && section < kColumnCount ? LoadQString(kHeaders[section]) : QVariant();
}

}  // namespace ferolin
