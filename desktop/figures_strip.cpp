#include "desktop/figures_strip.h"

#include <QGridLayout>
#include <QLabel>
#include <QStringList>
#include <QSpinBox>

#include <cmath>

#include "desktop/settings_store.h"

namespace ferolin {

namespace {

constexpr const char* kCaptions[] = {"Points",      "Date",         "Start",        "End",
                                     "Duration",    "Distance",     "Moving time",  "Moving speed",
                                     "Max. speed",  "Ascent",       "Descent",      "Lowest",
                                     "Highest"};
// Where each figure stands: row and column of the strip.
constexpr int kPlace[][2] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 0}, {1, 1},
                             {1, 2}, {1, 3}, {2, 0}, {2, 1}, {2, 3}, {2, 4}};
constexpr int kBandColumn = 2;  // the dead band's spin box, in the row of the ascent

QString Number(double value, int decimals, const char* unit) {
    return QString::number(value, 'f', decimals) + QLatin1Char(' ') + QString::fromUtf8(unit);
}

// "2007-06-16T07:30:00" of a time, without its milliseconds.
QString Utc(double seconds) {
    return QString::fromStdString(UtcText(std::floor(seconds))).left(19);
}

}  // namespace

FiguresStrip::FiguresStrip(QWidget* parent) : QWidget(parent), grid_(new QGridLayout(this)) {
    setObjectName(QStringLiteral("figuresStrip"));
    // A narrow window cuts the strip rather than growing for it.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    grid_->setContentsMargins(6, 2, 6, 2);
    grid_->setHorizontalSpacing(6);
    grid_->setVerticalSpacing(1);
    for (int f = 0; f < kFieldCount; ++f) {
        values_[f] = Value(kPlace[f][0], kPlace[f][1], QString::fromLatin1(kCaptions[f]),
                           captions_[f]);
    }
    for (int c = 0; c < kSensorCount; ++c) {
        sensorValues_[c] = Value(3, c,
                                 QString::fromLatin1(kSensorTable[c].name), sensorCaptions_[c]);
        sensorValues_[c]->hide();
        sensorCaptions_[c]->hide();
    }
    // The device's own totals span the strip's width.
    deviceCaption_ = new QLabel(QStringLiteral("Device:"), this);
    deviceCaption_->setStyleSheet(QStringLiteral("color: palette(mid)"));
    deviceValue_ = new QLabel(this);
    deviceValue_->setObjectName(QStringLiteral("deviceTotals"));
    deviceValue_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    deviceValue_->setToolTip(QStringLiteral(
        "What the device measured itself (its barometer's ascent and descent, its distance "
        "and timer), beside the figures computed from the points"));
    grid_->addWidget(deviceCaption_, 4, 0, Qt::AlignRight);
    grid_->addWidget(deviceValue_, 4, 1, 1, 9, Qt::AlignLeft);
    // The dead band beside the ascent: changing it recounts at once.
    threshold_ = new QSpinBox(this);
    threshold_->setObjectName(QStringLiteral("ascentThreshold"));
    threshold_->setRange(0, 100);
    threshold_->setSuffix(QStringLiteral(" m band"));
    threshold_->setToolTip(QStringLiteral(
        "Ascent and descent count a change of altitude only once it leaves this band"));
    uint32_t stored = 0;
    ReadSettingUint(kSettingAscentThreshold, stored, static_cast<uint32_t>(kDefaultAscentThreshold));
    threshold_->setValue(static_cast<int>(std::min<uint32_t>(stored, 100)));
    grid_->addWidget(threshold_, kPlace[kAscent][0], 2 * kBandColumn, 1, 2, Qt::AlignLeft);
    grid_->setColumnStretch(10, 1);
    connect(threshold_, &QSpinBox::valueChanged, this, [this](int metres) {
        WriteSettingUint(kSettingAscentThreshold, static_cast<uint32_t>(metres));
        emit thresholdChanged();
    });
    SetFigures(TrackFigures{});
}

QLabel* FiguresStrip::Value(int row, int column, const QString& caption, QLabel*& name) {
    name = new QLabel(caption + QLatin1Char(':'), this);
    name->setStyleSheet(QStringLiteral("color: palette(mid)"));
    auto* value = new QLabel(this);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid_->addWidget(name, row, 2 * column, Qt::AlignRight);
    grid_->addWidget(value, row, 2 * column + 1, Qt::AlignLeft);
    return value;
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
