// The track view's statistics strip: the figures of the exported selection
// (core/figures.h states how each is computed), with the dead band of ascent
// and descent as a spin box kept in the settings as AscentThreshold.
// The figures flow in their order (times, distances and speeds, altitudes,
// sensor channels) as many to a row as the strip's width holds, the
// device's totals on a row of their own: a narrower strip wraps onto more
// rows, so that no value is ever cut.
#pragma once

#include <QString>
#include <QWidget>

#include <vector>

#include "core/figures.h"

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
    // The rows of figures the strip shows at its present width.
    int Rows() const { return rows_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    // The user changed the dead band (already stored in the settings).
    void thresholdChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // A figure: its caption and its value (the dead band's spin box stands
    // as a value without caption).
    struct Cell {
        QLabel* caption;
        QWidget* value;
    };
    // Where the figures stand at a width.
    struct Arrangement {
        std::vector<int> rowStarts;   // the cell that starts each row
        std::vector<int> rowHeights;  // of each row of figures
        int widest = 0;               // the widest figure
        int height = 0;               // all rows, the device's included
    };
    QLabel* Value(const QString& caption, QLabel*& name);
    static int CellWidth(const Cell& cell);
    Arrangement Arrange(int width) const;
    void Place();

    std::vector<Cell> cells_;
    int rows_ = 0;
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
