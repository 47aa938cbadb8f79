#include "desktop/point_details_dialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QToolButton>

#include <cmath>

#include "core/strings.h"
#include "core/text_format.h"
#include "desktop/screen_place.h"
#include "desktop/window_text.h"

namespace ferolin {

namespace {

struct DetailRow {
    const char* label;
    const char* objectName;
};

constexpr DetailRow kRows[PointDetailsDialog::kValueCount] = {
    {"Record :", "recordValue"},       {"Date :", "dateValue"},
    {"Time :", "timeValue"},           {"Latitude :", "latitudeValue"},
    {"Longitude :", "longitudeValue"}, {"Altitude (Mtrs) :", "altitudeValue"},
    {"Speed (KMs/hr) :", "speedValue"}, {"Direction (Deg) :", "directionValue"},
    {"Satellite :", "satelliteValue"}, {"PDOP :", "pdopValue"},
    {"HDOP :", "hdopValue"},           {"VDOP :", "vdopValue"},
};

constexpr DetailRow kSensorRows[PointDetailsDialog::kSensorRowCount] = {
    {"Heart rate (bpm) :", "heartRateValue"},
    {"Cadence (rpm) :", "cadenceValue"},
    {"Power (W) :", "powerValue"},
    {"Temperature (\u00B0C) :", "temperatureValue"},
};

}  // namespace

PointDetailsDialog::PointDetailsDialog(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("pointDetails"));
    setWindowTitle(LoadQString(kStrShowDetails));
    setModal(false);
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    const int valueWidth = fontMetrics().horizontalAdvance(QStringLiteral("-000.000000")) + 4;
    for (int i = 0; i < kValueCount; ++i) {
        auto* label = new QLabel(QString::fromLatin1(kRows[i].label), this);
        values_[i] = new QLabel(this);
        values_[i]->setObjectName(QString::fromLatin1(kRows[i].objectName));
        values_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        values_[i]->setMinimumWidth(valueWidth);
        values_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(label, i, 0);
        grid->addWidget(values_[i], i, 1);
    }
    for (int i = 0; i < kSensorRowCount; ++i) {
        sensorLabels_[i] = new QLabel(QString::fromUtf8(kSensorRows[i].label), this);
        QLabel* value = values_[kValueCount + i] = new QLabel(this);
        value->setObjectName(QString::fromLatin1(kSensorRows[i].objectName));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(sensorLabels_[i], kValueCount + i, 0);
        grid->addWidget(value, kValueCount + i, 1);
        sensorLabels_[i]->hide();
        value->hide();
    }
    // The "Google Earth" button of the window stays hidden and does nothing;
    // the point list's context menu hands points to Google Earth.
    earthButton_ = new QToolButton(this);
    earthButton_->setObjectName(QStringLiteral("googleEarthButton"));
    earthButton_->setText(QStringLiteral("Google Earth"));
    earthButton_->hide();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void PointDetailsDialog::ShowPoint(const TrackPoint* p, bool show) {
    if (!placed_) {
        placed_ = true;
        adjustSize();
        QSettings* settings = OpenSettings();
        uint32_t x = 0, y = 0;
        positioned_ =
            ReadSettingUint(kSettingPointDetailsX, x, 0, settings) == SettingsStatus::kOk &&
            ReadSettingUint(kSettingPointDetailsY, y, 0, settings) == SettingsStatus::kOk;
        CloseSettings(settings);
        if (positioned_)
            move(KeepOnScreen(QPoint(static_cast<int32_t>(x), static_cast<int32_t>(y)),
                              frameSize()));
    }
    std::string texts[kValueCount];
    if (p) {
        TextBuffer time;
        AppendInt(time, p->hour, 2);
        time.Append(':');
        AppendInt(time, p->minute, 2);
        time.Append(':');
        AppendFixedPadded(time, p->seconds, 3, 6);
        texts[0] = IntText(p->record);
        texts[1] = IntText(p->day, 2) + "/" + IntText(p->month, 2) + "/" + IntText(p->year, 2);
        texts[2] = std::string(time.View());
        texts[3] = FixedText(p->latitude, 6);
        texts[4] = FixedText(p->longitude, 6);
        texts[5] = FixedText(p->altitude, 2);
        texts[6] = FixedText(p->speed, 2);
        texts[7] = FixedText(p->direction, 2);
        texts[8] = IntText(p->satellites);
        texts[9] = FixedText(p->pdop, 3);
        texts[10] = FixedText(p->hdop, 3);
        texts[11] = FixedText(p->vdop, 3);
    }
    for (int i = 0; i < kValueCount; ++i) values_[i]->setText(ToQString(texts[i]));
    const bool inTrack = p && sensors_ && p >= points_ && p < points_ + count_;
    for (int i = 0; i < kSensorRowCount; ++i) {
        const Sensor sensor = kSensorTable[i].sensor;
        const float v = inTrack ? sensors_->Value(sensor, static_cast<uint32_t>(p - points_))
                                : kNoSensorValue;
        values_[kValueCount + i]->setText(
            IsSensorValue(v) ? QString::number(static_cast<double>(v), 'f', v == std::round(v) ? 0 : 1)
                             : QString());
    }
    if (show) {
        shown_ = true;
        if (!positioned_) PlaceClear();
        QDialog::show();
        raise();
    }
}

// Without a stored position the window opens beside its owner where that
// covers nothing that matters, else where it covers least.
void PointDetailsDialog::PlaceClear() {
    positioned_ = true;
    adjustSize();
    const QWidget* owner = parentWidget();
    const QPoint preferred = owner ? owner->frameGeometry().topRight() + QPoint(8, 0) : pos();
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return move(preferred);
    // Not shown yet, the window's frame is taken to be its owner's.
    const QSize frame = size().grownBy(FrameMargins(isVisible() || !owner ? *this : *owner));
    move(ferolin::PlaceClear(frame, keepClear_ ? keepClear_() : std::vector<KeepClear>(), preferred,
                             screen->availableGeometry()));
}

void PointDetailsDialog::SetTrack(const TrackPoint* points, uint32_t count,
                                  const SensorChannels* sensors) {
    points_ = points;
    count_ = points ? count : 0;
    sensors_ = points ? sensors : nullptr;
    for (int i = 0; i < kSensorRowCount; ++i) {
        const bool shown = sensors_ && sensors_->Has(kSensorTable[i].sensor);
        sensorLabels_[i]->setVisible(shown);
        values_[kValueCount + i]->setVisible(shown);
    }
}

void PointDetailsDialog::SavePosition(QSettings* settings) {
    if (!positioned_) return;
    const QPoint at = pos();
    WriteSettingUint(kSettingPointDetailsX, static_cast<uint32_t>(at.x()), settings);
    WriteSettingUint(kSettingPointDetailsY, static_cast<uint32_t>(at.y()), settings);
}

QString PointDetailsDialog::ValueText(int index) const {
    return index >= 0 && index < kValueCount + kSensorRowCount ? values_[index]->text() : QString();
}

void PointDetailsDialog::closeEvent(QCloseEvent* event) {
    shown_ = false;
    hide();
    event->ignore();
}

void PointDetailsDialog::reject() {
    // Escape closes the window like its close box.
    shown_ = false;
    hide();
}

}  // namespace ferolin
