#include "desktop/profile_chart.h"

#include <QApplication>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QLabel>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

namespace ferolin {

namespace {

// Pixels the mouse moves with the button down before a press becomes a drag.
constexpr int kDragPixels = 4;

}  // namespace

ProfileChart::ProfileChart(QWidget* parent) : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
    setCursor(Qt::CrossCursor);
    // Tall enough for the title, the legend, the time or distance axis and
    // a plot whose axis holds its title whole.
    setMinimumSize(240, 210);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    // The readout floats over the plot; a label, so that screen readers
    // read it as it changes.
    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("profileReadout"));
    readout_->setAccessibleName(QStringLiteral("Point under the mouse"));
    readout_->setAutoFillBackground(true);
    readout_->setFrameShape(QFrame::StyledPanel);
    readout_->setMargin(2);
    readout_->setAttribute(Qt::WA_TransparentForMouseEvents);
    readout_->hide();
}

void ProfileChart::ReplaceChart(QChart* newChart) {
    QChart* old = chart();
    setChart(newChart);
    if (old != newChart) delete old;
    band_ = nullptr;  // it belonged to the old chart's scene
}

QPointF ProfileChart::PixelOf(const QPointF& value) const {
    const QList<QAbstractSeries*> series = chart()->series();
    if (series.isEmpty()) return QPointF();
    const QPointF inChart = chart()->mapToPosition(value, series.first());
    return mapFromScene(chart()->mapToScene(inChart));
}

int64_t ProfileChart::NearestTo(const QPoint& pixel) const {
    const QList<QAbstractSeries*> series = chart()->series();
    if (series.isEmpty() || !nearest) return -1;
    const QPointF inChart = chart()->mapFromScene(mapToScene(pixel));
    if (!chart()->plotArea().adjusted(-8, -8, 8, 8).contains(inChart)) return -1;
    QAbstractSeries* s = series.first();
    const QPointF value = chart()->mapToValue(inChart, s);
    // Pixels per unit of each axis, measured where the mouse is.
    const QPointF origin = chart()->mapToPosition(value, s);
    const double perX = std::abs(chart()->mapToPosition(value + QPointF(1, 0), s).x() - origin.x());
    const double perY = std::abs(chart()->mapToPosition(value + QPointF(0, 1), s).y() - origin.y());
    return nearest(value, perX, perY);
}

double ProfileChart::XValueAt(const QPoint& pixel) const {
    const QList<QAbstractSeries*> series = chart()->series();
    if (series.isEmpty()) return 0;
    return chart()->mapToValue(chart()->mapFromScene(mapToScene(pixel)), series.first()).x();
}

void ProfileChart::ShowBand(int fromX, int toX) {
    if (!band_) {
        band_ = new QGraphicsRectItem(chart());
        band_->setPen(Qt::NoPen);
        QColor shade = palette().color(QPalette::Highlight);
        shade.setAlpha(60);
        band_->setBrush(shade);
        band_->setZValue(1000);
    }
    // The band spans the plot's height between the two columns, kept inside the plot.
    const QRectF plot = chart()->plotArea();
    const double a = chart()->mapFromScene(mapToScene(QPoint(fromX, 0))).x();
    const double b = chart()->mapFromScene(mapToScene(QPoint(toX, 0))).x();
    const double left = std::clamp(std::min(a, b), plot.left(), plot.right());
    const double right = std::clamp(std::max(a, b), plot.left(), plot.right());
    band_->setRect(QRectF(left, plot.top(), right - left, plot.height()));
    band_->show();
}

void ProfileChart::ShowReadout(const QString& text) {
    if (text.isEmpty()) {
        readout_->hide();
        return;
    }
    readout_->setText(text);
    readout_->adjustSize();
    // Beside the mouse at the top of the plot, on the side with room; a
    // view too narrow for the whole line gets it wrapped.
    if (readout_->width() > width() - 4) {
        readout_->setWordWrap(true);
        readout_->setFixedWidth(std::max(40, width() - 4));
        readout_->setFixedHeight(readout_->heightForWidth(readout_->width()));
    } else {
        readout_->setWordWrap(false);
        readout_->setMinimumSize(0, 0);
        readout_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        readout_->adjustSize();
    }
    const QRectF plot = chart()->plotArea();
    const QPoint top = mapFromScene(chart()->mapToScene(plot.topLeft()));
    int x = mouseAt_.x() + 12;
    if (x + readout_->width() > width() - 2) x = mouseAt_.x() - 12 - readout_->width();
    x = std::clamp(x, 2, std::max(2, width() - readout_->width() - 2));
    readout_->move(x, std::max(0, top.y()));
    readout_->show();
    readout_->raise();
}

void ProfileChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !nearest) return QChartView::mousePressEvent(event);
    pressed_ = true;
    dragging_ = false;
    pressedAt_ = event->position().toPoint();
}

void ProfileChart::mouseMoveEvent(QMouseEvent* event) {
    mouseAt_ = event->position().toPoint();
    if (pressed_) {
        if (!dragging_ && std::abs(mouseAt_.x() - pressedAt_.x()) >= kDragPixels) dragging_ = true;
        if (dragging_) ShowBand(pressedAt_.x(), mouseAt_.x());
    }
    // The nearest point, looked up once per move; the readout follows it.
    const int64_t index = NearestTo(mouseAt_);
    if (index != hovered_) {
        hovered_ = index;
        emit pointHovered(static_cast<int>(index));
    } else if (index >= 0 && readout_->isVisible()) {
        ShowReadout(readout_->text());  // keeps it beside the mouse
    }
    QChartView::mouseMoveEvent(event);
}

void ProfileChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return QChartView::mouseReleaseEvent(event);
    pressed_ = false;
    const QPoint at = event->position().toPoint();
    if (dragging_ || std::abs(at.x() - pressedAt_.x()) >= kDragPixels) {
        dragging_ = false;
        if (band_) band_->hide();
        emit spanDragged(XValueAt(pressedAt_), XValueAt(at));
        return;
    }
    const int64_t index = NearestTo(pressedAt_);
    if (index >= 0) emit pointPicked(static_cast<int>(index));
}

void ProfileChart::leaveEvent(QEvent* event) {
    if (hovered_ >= 0) {
        hovered_ = -1;
        emit pointHovered(-1);
    }
    QChartView::leaveEvent(event);
}

void ProfileChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    emit resized();
}

}  // namespace ferolin
