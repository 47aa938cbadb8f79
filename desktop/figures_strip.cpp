#include "desktop/figures_strip.h"

#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

#include <cmath>

#include "desktop/settings_store.h"

namespace ferolin {

namespace {

constexpr const char* kCaptions[] = {"Points",       "Start",         "End",
                                     "Duration",     "Distance",      "Moving time",
                                     "Moving speed", "Maximum speed", "Ascent",
                                     "Descent",      "Lowest",        "Highest"};
constexpr const char* kSensorCaptions[kSensorChannelCount] = {"Heart rate", "Cadence", "Power",
                                                              "Temperature"};
constexpr const char* kSensorUnits[kSensorChannelCount] = {"bpm", "rpm", "W", "\u00B0C"};
constexpr int kColumns = 4;  // figures a row

QString Number(double value, int decimals, const char* unit) {
    return QString::number(value, 'f', decimals) + QLatin1Char(' ') + QString::fromUtf8(unit);
}

// "2007-06-16 07:30:00": the UTC time without its milliseconds.
QString Time(double seconds) {
    const QString text = QString::fromStdString(UtcText(std::floor(seconds)));
    return text.isEmpty() ? QStringLiteral("-") : text.left(19).replace('T', ' ');
}

}  // namespace

CFiguresStrip::CFiguresStrip(QWidget* parent) : QWidget(parent), grid_(new QGridLayout(this)) {
    setObjectName(QStringLiteral("figuresStrip"));
    // A narrow window cuts the strip rather than growing for it.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    grid_->setContentsMargins(6, 2, 6, 2);
    grid_->setHorizontalSpacing(6);
    grid_->setVerticalSpacing(1);
    for (int f = 0; f < kFieldCount; ++f) {
        values_[f] = Value(f / kColumns, f % kColumns, QString::fromLatin1(kCaptions[f]),
                           captions_[f]);
    }
    for (int c = 0; c < kSensorChannelCount; ++c) {
        sensorValues_[c] = Value(kFieldCount / kColumns, c,
                                 QString::fromLatin1(kSensorCaptions[c]), sensorCaptions_[c]);
        sensorValues_[c]->hide();
        sensorCaptions_[c]->hide();
    }
    // The dead band beside the ascent: changing it recounts at once.
    threshold_ = new QSpinBox(this);
    threshold_->setObjectName(QStringLiteral("ascentThreshold"));
    threshold_->setRange(0, 100);
    threshold_->setSuffix(QStringLiteral(" m band"));
    threshold_->setToolTip(QStringLiteral(
        "Ascent and descent count a change of altitude only once it leaves this band"));
    uint32_t stored = 0;
    ReadSettingDword(kSettingAscentThreshold, stored, static_cast<uint32_t>(kDefaultAscentThreshold));
    threshold_->setValue(static_cast<int>(std::min<uint32_t>(stored, 100)));
    grid_->addWidget(threshold_, 2, 2 * kColumns, Qt::AlignVCenter);
    grid_->setColumnStretch(2 * kColumns + 1, 1);
    connect(threshold_, &QSpinBox::valueChanged, this, [this](int metres) {
        WriteSettingDword(kSettingAscentThreshold, static_cast<uint32_t>(metres));
        emit thresholdChanged();
    });
    SetFigures(TrackFigures{});
}

QLabel* CFiguresStrip::Value(int row, int column, const QString& caption, QLabel*& name) {
    name = new QLabel(caption + QLatin1Char(':'), this);
    name->setStyleSheet(QStringLiteral("color: palette(mid)"));
    auto* value = new QLabel(this);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid_->addWidget(name, row, 2 * column, Qt::AlignRight);
    grid_->addWidget(value, row, 2 * column + 1, Qt::AlignLeft);
    return value;
}

double CFiguresStrip::Threshold() const { return threshold_->value(); }

void CFiguresStrip::SetFigures(const TrackFigures& f) {
    const bool timed = f.dated > 0;
    const QString none = QStringLiteral("-");
    auto duration = [&](double s) { return timed ? QString::fromStdString(DurationText(s)) : none; };
    values_[kPoints]->setText(QString::number(f.points));
    values_[kStart]->setText(timed ? Time(f.start) : none);
    values_[kEnd]->setText(timed ? Time(f.end) : none);
    values_[kDuration]->setText(duration(f.durationSeconds));
    values_[kDistance]->setText(Number(f.distanceMetres / 1000.0, 3, "km"));
    values_[kMoving]->setText(duration(f.movingSeconds));
    values_[kMovingSpeed]->setText(timed ? Number(f.movingSpeedKmh, 2, "km/h") : none);
    values_[kMaxSpeed]->setText(Number(f.maxSpeedKmh, 2, "km/h") +
                                (f.speedDerived ? QStringLiteral(" (derived)") : QString()));
    values_[kMaxSpeed]->setToolTip(f.speedDerived
                                       ? QStringLiteral("The file stores no speed: speeds come "
                                                        "from positions and times")
                                       : QString());
    values_[kAscent]->setText(Number(f.ascentMetres, 0, "m"));
    values_[kDescent]->setText(Number(f.descentMetres, 0, "m"));
    values_[kLowest]->setText(f.hasAltitude ? Number(f.minAltitude, 0, "m") : none);
    values_[kHighest]->setText(f.hasAltitude ? Number(f.maxAltitude, 0, "m") : none);
    for (int c = 0; c < kSensorChannelCount; ++c) {
        const ChannelFigures& s = f.sensors[c];
        sensorValues_[c]->setVisible(s.samples > 0);
        sensorCaptions_[c]->setVisible(s.samples > 0);
        sensorValues_[c]->setText(QStringLiteral("avg %1, max %2")
                                      .arg(s.average, 0, 'f', 0)
                                      .arg(Number(s.maximum, 0, kSensorUnits[c])));
    }
}

QString CFiguresStrip::Text() const {
    QString text;
    for (int f = 0; f < kFieldCount; ++f)
        text += captions_[f]->text() + QLatin1Char(' ') + values_[f]->text() + QLatin1Char('\n');
    for (int c = 0; c < kSensorChannelCount; ++c)
        if (!sensorValues_[c]->isHidden())
            text += sensorCaptions_[c]->text() + QLatin1Char(' ') + sensorValues_[c]->text() +
                    QLatin1Char('\n');
    return text;
}

}  // namespace ferolin
