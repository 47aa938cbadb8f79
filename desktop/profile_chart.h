// One profile pane of the track view: a chart whose clicks pick the nearest
// point of its series.
#pragma once

#include <QChartView>

#include <cstdint>
#include <functional>

namespace ferolin {

class ProfileChart : public QChartView {
    Q_OBJECT
public:
    explicit ProfileChart(QWidget* parent);

    // The index of the nearest point to a pixel of the view; -1 when none.
    std::function<int64_t(const QPointF& value, double pixelsPerX, double pixelsPerY)> nearest;

    // The pixel of a value of the chart's series in this view.
    QPointF PixelOf(const QPointF& value) const;

    // Shows `chart`, which the view then owns, and deletes the chart it
    // showed before (the view lets go of a replaced chart without deleting it).
    void ReplaceChart(QChart* chart);

signals:
    void pointPicked(int index);
    void resized();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

}  // namespace ferolin
