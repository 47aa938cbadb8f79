// One profile pane of the track view: a chart whose clicks pick the nearest
// point of its series, whose drags pick a span of its x axis, and which reads
// out the point nearest to the mouse resting over it.
#pragma once

#include <QChartView>

#include <cstdint>
#include <functional>

class QGraphicsRectItem;
class QLabel;

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

    // Shows `text` as the readout beside the mouse ("" hides it).
    void ShowReadout(const QString& text);
    // The readout label: its text, or hidden while the mouse is elsewhere.
    QLabel* readout() const { return readout_; }
    // The band a drag in progress shades (hidden otherwise).
    QGraphicsRectItem* dragBand() const { return band_; }

signals:
    void pointPicked(int index);
    // The mouse rests nearest to this point (-1: it left the plot).
    void pointHovered(int index);
    // A drag across the plot from one value of the x axis to another, in
    // the order the user dragged.
    void spanDragged(double fromX, double toX);
    void resized();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The point nearest to a pixel of the view, -1 outside the plot.
    int64_t NearestTo(const QPoint& pixel) const;
    // The value of the x axis under a pixel of the view.
    double XValueAt(const QPoint& pixel) const;
    void ShowBand(int fromX, int toX);

    QLabel* readout_;
    QGraphicsRectItem* band_ = nullptr;
    QPoint pressedAt_;
    bool pressed_ = false;
    bool dragging_ = false;
    int64_t hovered_ = -1;
    QPoint mouseAt_;
};

}  // namespace ferolin
