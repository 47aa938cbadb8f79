#include "desktop/figures_strip.h"

#include <QLabel>
#include <QStringList>
#include <QSpinBox>

#include <algorithm>
#include <cmath>

#include "desktop/settings_store.h"

namespace ferolin {

namespace {

constexpr const char* kCaptions[] = {"Points",      "Date",         "Start",        "End",
                                     "Duration",    "Distance",     "Moving time",  "Moving speed",
                                     "Max. speed",  "Ascent",       "Descent",      "Lowest",
                                     "Highest"};
constexpr int kCaptionSpacing = 4;  // between a caption and its value
constexpr int kColumnSpacing = 12;  // between one figure and the next
constexpr int kRowSpacing = 1;
constexpr QMargins kMargins(6, 2, 6, 2);

QString Number(double value, int decimals, const char* unit) {
    return QString::number(value, 'f', decimals) + QLatin1Char(' ') + QString::fromUtf8(unit);
}

// "2007-06-16T07:30:00" of a time, without its milliseconds.
QString Utc(double seconds) {
    return QString::fromStdString(UtcText(std::floor(seconds))).left(19);
}

}  // namespace

FiguresStrip::FiguresStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("figuresStrip"));
    // The strip's height follows its width: narrower, it wraps onto more rows.
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    for (int f = 0; f < kFieldCount; ++f) {
        values_[f] = Value(QString::fromLatin1(kCaptions[f]), captions_[f]);
        if (f == kDescent) {
            // The dead band beside the ascent and descent: changing it recounts at once.
            threshold_ = new QSpinBox(this);
            threshold_->setObjectName(QStringLiteral("ascentThreshold"));
            threshold_->setRange(0, 100);
            threshold_->setSuffix(QStringLiteral(" m band"));
            threshold_->setToolTip(QStringLiteral(
                "Ascent and descent count a change of altitude only once it leaves this band"));
            cells_.push_back({nullptr, threshold_});
        }
    }
    for (int c = 0; c < kSensorCount; ++c) {
        sensorValues_[c] = Value(QString::fromLatin1(kSensorTable[c].name), sensorCaptions_[c]);
        sensorValues_[c]->hide();
        sensorCaptions_[c]->hide();
    }
    // The device's own totals span the strip's width, under the figures.
    deviceCaption_ = new QLabel(QStringLiteral("Device:"), this);
    deviceCaption_->setStyleSheet(QStringLiteral("color: palette(mid)"));
    deviceValue_ = new QLabel(this);
    deviceValue_->setObjectName(QStringLiteral("deviceTotals"));
    deviceValue_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    deviceValue_->setWordWrap(true);
    deviceValue_->setToolTip(QStringLiteral(
        "What the device measured itself (its barometer's ascent and descent, its distance "
        "and timer), beside the figures computed from the points"));
    uint32_t stored = 0;
    ReadSettingUint(kSettingAscentThreshold, stored, static_cast<uint32_t>(kDefaultAscentThreshold));
    threshold_->setValue(static_cast<int>(std::min<uint32_t>(stored, 100)));
    connect(threshold_, &QSpinBox::valueChanged, this, [this](int metres) {
        WriteSettingUint(kSettingAscentThreshold, static_cast<uint32_t>(metres));
        emit thresholdChanged();
    });
    SetFigures(TrackFigures{});
}

QLabel* FiguresStrip::Value(const QString& caption, QLabel*& name) {
    name = new QLabel(caption + QLatin1Char(':'), this);
    name->setStyleSheet(QStringLiteral("color: palette(mid)"));
    auto* value = new QLabel(this);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cells_.push_back({name, value});
    return value;
}

int FiguresStrip::CellWidth(const Cell& cell) {
    const int value = cell.value->sizeHint().width();
    return cell.caption ? cell.caption->sizeHint().width() + kCaptionSpacing + value : value;
}

FiguresStrip::Arrangement FiguresStrip::Arrange(int width) const {
    Arrangement a;
    // The figures flow in their order, as many on a row as its width holds
    // (one at the least).
    const int right = std::max(width, 1) - kMargins.right();
    int x = right;  // no row yet
    for (const Cell& cell : cells_) {
        if (cell.value->isHidden()) continue;
        const int cellWidth = CellWidth(cell);
        if (x > kMargins.left() && x + cellWidth > right) {
            a.rowHeights.push_back(0);
            a.rowStarts.push_back(static_cast<int>(&cell - cells_.data()));
            x = kMargins.left();
        }
        int height = cell.value->sizeHint().height();
        if (cell.caption) height = std::max(height, cell.caption->sizeHint().height());
        a.rowHeights.back() = std::max(a.rowHeights.back(), height);
        a.widest = std::max(a.widest, cellWidth);
        x += cellWidth + kColumnSpacing;
    }
    a.height = kMargins.top() + kMargins.bottom();
    for (size_t r = 0; r < a.rowHeights.size(); ++r) a.height += a.rowHeights[r] + (r ? kRowSpacing : 0);
    if (!deviceValue_->isHidden()) {
        // The device's row wraps its words within the strip.
        const int room = std::max(1, width - kMargins.left() - kMargins.right() -
                                         deviceCaption_->sizeHint().width() - kCaptionSpacing);
        a.height += kRowSpacing + std::max(deviceCaption_->sizeHint().height(),
                                           deviceValue_->heightForWidth(room));
    }
    return a;
}

QSize FiguresStrip::sizeHint() const {
    // As wide as all figures on one row would be, at the height of that row.
    int width = kMargins.left() + kMargins.right();
    for (const Cell& cell : cells_)
        if (!cell.value->isHidden()) width += CellWidth(cell) + kColumnSpacing;
    return QSize(width, heightForWidth(width));
}

QSize FiguresStrip::minimumSizeHint() const {
    // Room for the two widest figures side by side, and the height the
    // strip takes there: a window narrowed that far still shows them all.
    const int widest = Arrange(QWIDGETSIZE_MAX).widest;
    const int width = kMargins.left() + kMargins.right() + 2 * widest + kColumnSpacing;
    return QSize(width, heightForWidth(width));
}

int FiguresStrip::heightForWidth(int width) const { return Arrange(width).height; }

void FiguresStrip::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Place();
}

void FiguresStrip::Place() {
    const Arrangement a = Arrange(width());
    rows_ = static_cast<int>(a.rowHeights.size());
    int row = -1, x = 0, y = kMargins.top();
    for (const Cell& cell : cells_) {
        if (cell.value->isHidden()) continue;
        const int index = static_cast<int>(&cell - cells_.data());
        if (row + 1 < rows_ && a.rowStarts[row + 1] == index) {
            if (row >= 0) y += a.rowHeights[row] + kRowSpacing;
            ++row;
            x = kMargins.left();
        }
        const int height = a.rowHeights[row];
        if (cell.caption) {
            const QSize caption = cell.caption->sizeHint();
            cell.caption->setGeometry(x, y + (height - caption.height()) / 2, caption.width(),
                                      caption.height());
            x += caption.width() + kCaptionSpacing;
        }
        const QSize value = cell.value->sizeHint();
        cell.value->setGeometry(x, y + (height - value.height()) / 2, value.width(), value.height());
        x += value.width() + kColumnSpacing;
    }
    if (row >= 0) y += a.rowHeights[row] + kRowSpacing;
    if (!deviceValue_->isHidden()) {
        const QSize caption = deviceCaption_->sizeHint();
        const int valueX = kMargins.left() + caption.width() + kCaptionSpacing;
        const int room = std::max(1, width() - kMargins.right() - valueX);
        deviceCaption_->setGeometry(kMargins.left(), y, caption.width(), caption.height());
        deviceValue_->setGeometry(valueX, y, room, deviceValue_->heightForWidth(room));
    }
}

double FiguresStrip::Threshold() const { return threshold_->value(); }

void FiguresStrip::SetFigures(const TrackFigures& f) {
    const bool timed = f.dated > 0;
    const QString none = QStringLiteral("-");
    auto duration = [&](double s) { return timed ? QString::fromStdString(DurationText(s)) : none; };
    values_[kPoints]->setText(QString::number(f.points));
    // The points' own clock (UTC); the date once, unless the track spans days.
    const QString start = Utc(f.start), end = Utc(f.end);
    const bool oneDay = start.left(10) == end.left(10);
    values_[kDate]->setText(timed ? start.left(10) : none);
    values_[kStart]->setText(timed ? (oneDay ? start.mid(11) : QString(start).replace('T', ' ')) : none);
    values_[kEnd]->setText(timed ? (oneDay ? end.mid(11) : QString(end).replace('T', ' ')) : none);
    values_[kDuration]->setText(duration(f.durationSeconds));
    values_[kDistance]->setText(Number(f.distanceMetres / 1000.0, 3, "km"));
    values_[kMoving]->setText(duration(f.movingSeconds));
    values_[kMovingSpeed]->setText(timed ? Number(f.movingSpeedKmh, 2, "km/h") : none);
    values_[kMaxSpeed]->setText(!f.hasSpeed ? none
                                : Number(f.maxSpeedKmh, 2, "km/h") +
                                      (f.speedDerived ? QStringLiteral(" (derived)") : QString()));
    values_[kMaxSpeed]->setToolTip(f.speedDerived
                                       ? QStringLiteral("The file stores no speed: speeds come "
                                                        "from positions and times")
                                       : QString());
    values_[kAscent]->setText(f.hasAltitude ? Number(f.ascentMetres, 0, "m") : none);
    values_[kDescent]->setText(f.hasAltitude ? Number(f.descentMetres, 0, "m") : none);
    values_[kLowest]->setText(f.hasAltitude ? Number(f.minAltitude, 0, "m") : none);
    values_[kHighest]->setText(f.hasAltitude ? Number(f.maxAltitude, 0, "m") : none);
    for (int c = 0; c < kSensorCount; ++c) {
        const ChannelFigures& s = f.sensors[c];
        sensorValues_[c]->setVisible(s.samples > 0);
        sensorCaptions_[c]->setVisible(s.samples > 0);
        sensorValues_[c]->setText(QStringLiteral("avg %1, max %2")
                                      .arg(s.average, 0, 'f', 0)
                                      .arg(Number(s.maximum, 0, kSensorTable[c].unit)));
    }
    // The totals the device measured itself, on a row of their own under the
    // computed figures they compare with.
    const DeviceTotals& d = f.device;
    QStringList device;
    if (!std::isnan(d.ascentMetres)) device << QStringLiteral("ascent ") + Number(d.ascentMetres, 0, "m");
    if (!std::isnan(d.descentMetres)) device << QStringLiteral("descent ") + Number(d.descentMetres, 0, "m");
    if (!std::isnan(d.distanceMetres))
        device << QStringLiteral("distance ") + Number(d.distanceMetres / 1000.0, 3, "km");
    if (!std::isnan(d.timerSeconds))
        device << QStringLiteral("timer ") + QString::fromStdString(DurationText(d.timerSeconds));
    deviceValue_->setText(device.join(QStringLiteral(", ")));
    deviceValue_->setVisible(!device.isEmpty());
    deviceCaption_->setVisible(!device.isEmpty());
    // New texts take new widths: the rows and the height follow.
    updateGeometry();
    Place();
}

QString FiguresStrip::Text() const {
    QString text;
    for (int f = 0; f < kFieldCount; ++f)
        text += captions_[f]->text() + QLatin1Char(' ') + values_[f]->text() + QLatin1Char('\n');
    for (int c = 0; c < kSensorCount; ++c)
        if (!sensorValues_[c]->isHidden())
            text += sensorCaptions_[c]->text() + QLatin1Char(' ') + sensorValues_[c]->text() +
                    QLatin1Char('\n');
    if (!deviceValue_->isHidden())
        text += deviceCaption_->text() + QLatin1Char(' ') + deviceValue_->text() + QLatin1Char('\n');
    return text;
}

}  // namespace ferolin
