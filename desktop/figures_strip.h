// The track view's statistics strip: the figures of the exported selection
// (core/figures.h states how each is computed), with the dead band of ascent
// and descent as a spin box kept in the settings as AscentThreshold.
#pragma once

#include <QString>
#include <QWidget>

#include "core/figures.h"

class QGridLayout;
class QLabel;
class QSpinBox;

namespace ferolin {

class FiguresStrip : public QWidget {
    Q_OBJECT
public:
    explicit FiguresStrip(QWidget* parent = nullptr);

    // Shows `figures`; the rows of sensor channels come and go with them.
    void SetFigures(const TrackFigures& figures);
    // The dead band in metres, as the spin box holds it.
    double Threshold() const;
    // Every caption and value, "Caption: value" a line, for tests and tools.
    QString Text() const;

signals:
    // The user changed the dead band (already stored in the settings).
    void thresholdChanged();

private:
    QLabel* Value(int row, int column, const QString& caption, QLabel*& name);

    QGridLayout* grid_;
    QSpinBox* threshold_;
    enum Field {
        kPoints, kDate, kStart, kEnd, kDuration, kDistance, kMoving, kMovingSpeed, kMaxSpeed,
        kAscent, kDescent, kLowest, kHighest, kFieldCount
    };
    QLabel* values_[kFieldCount];
    QLabel* captions_[kFieldCount];
    QLabel* sensorValues_[kSensorCount];
    QLabel* sensorCaptions_[kSensorCount];
    QLabel* deviceValue_;
    QLabel* deviceCaption_;
};

}  // namespace ferolin
