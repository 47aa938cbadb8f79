#include "desktop/profile_chart.h"

#include <QMouseEvent>

#include <cmath>

namespace ferolin {

ProfileChart::ProfileChart(QWidget* parent) : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
    setCursor(Qt::CrossCursor);
    setMinimumSize(240, 160);
}

void ProfileChart::ReplaceChart(QChart* newChart) {
    QChart* old = chart();
    setChart(newChart);
    if (old != newChart) delete old;
}

QPointF ProfileChart::PixelOf(const QPointF& value) const {
    const QList<QAbstractSeries*> series = chart()->series();
    if (series.isEmpty()) return QPointF();
    const QPointF inChart = chart()->mapToPosition(value, series.first());
    return mapFromScene(chart()->mapToScene(inChart));
}

void ProfileChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !nearest) return QChartView::mousePressEvent(event);
    const QList<QAbstractSeries*> series = chart()->series();
    if (series.isEmpty()) return;
    const QPointF inChart = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    if (!chart()->plotArea().adjusted(-8, -8, 8, 8).contains(inChart)) return;
    QAbstractSeries* s = series.first();
    const QPointF value = chart()->mapToValue(inChart, s);
    // Pixels per unit of each axis, measured where the user clicked.
    const QPointF origin = chart()->mapToPosition(value, s);
    const double perX = std::abs(chart()->mapToPosition(value + QPointF(1, 0), s).x() - origin.x());
    const double perY = std::abs(chart()->mapToPosition(value + QPointF(0, 1), s).y() - origin.y());
    const int64_t index = nearest(value, perX, perY);
    if (index >= 0) emit pointPicked(static_cast<int>(index));
}

void ProfileChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    emit resized();
}

}  // namespace ferolin
