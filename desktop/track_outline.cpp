#include "desktop/track_outline.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ferolin {

namespace {

constexpr int kBuckets = 32;               // steps of the altitude colours
constexpr double kOutlineMargin = 30;      // pixels around the outline
constexpr size_t kSmoothSegments = 20000;  // outline lines drawn antialiased at most

QColor ToQColor(Rgb c, int alpha = 255) { return QColor(c.r, c.g, c.b, alpha); }

QString Metres(double value) { return QString::number(value, 'f', 0) + QStringLiteral(" m"); }

}  // namespace

CTrackOutline::CTrackOutline(const TrackViewData& viewData, QWidget* parent)
    : QWidget(parent), data_(viewData) {
    setObjectName(QStringLiteral("trackOutline"));
    setMinimumSize(240, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
}

void CTrackOutline::TrackChanged() {
    gridBuilt_ = false;
    cacheValid_ = false;
    cachePixels_ = {};
    cachePointOf_ = {};
    grid_ = NearestPointIndex();
    update();
}

ScreenFit CTrackOutline::Fit() const {
    return FitToRectangle(data_.projection, width(), height(), kOutlineMargin);
}

bool CTrackOutline::PixelOf(uint32_t index, QPointF& pixel) const {
    if (index >= data_.count) return false;
    double x, y;
    if (!data_.projection.Project(data_.points[index], x, y)) return false;
    const ScreenFit fit = Fit();
    pixel = QPointF(fit.ScreenX(x), fit.ScreenY(y));
    return true;
}

int64_t CTrackOutline::PointAt(const QPointF& pixel) {
    if (!gridBuilt_) {
        grid_.Build(data_.count, [this](uint32_t i, double& x, double& y) {
            return data_.projection.Project(data_.points[i], x, y);
        });
        gridBuilt_ = true;
    }
    const ScreenFit fit = Fit();
    return grid_.Nearest(fit.MetreX(pixel.x()), fit.MetreY(pixel.y()));
}

void CTrackOutline::BuildPixelCache(const ScreenFit& fit) {
    const TrackViewData& d = data_;
    cachePixels_.clear();
    cachePointOf_.clear();
    cacheFirst_ = cacheLast_ = -1;
    // Pixel = metres × scale + origin, folded into one affine map of degrees.
    const LocalProjection& pr = d.projection;
    const double ax = pr.eastScale * fit.pixelsPerMetre, bx = fit.originX;
    const double ay = -kMetresPerDegree * fit.pixelsPerMetre;
    const double by = fit.originY - pr.referenceLatitude * ay;
    // The pixel a position falls in; lines are drawn through pixel centres.
    auto pixelOf = [](double v) {
        const int whole = static_cast<int>(v);
        return whole > v ? whole - 1 : whole;
    };
    QPoint previous;
    for (uint32_t i = 0; i < d.count; ++i) {
        const TrackPoint& p = d.points[i];
        if (!HasPosition(p)) continue;
        const QPoint here(pixelOf(RelativeLongitude(p.longitude, pr.referenceLongitude) * ax + bx),
                          pixelOf(p.latitude * ay + by));
        if (cacheFirst_ < 0) cacheFirst_ = i;
        cacheLast_ = i;
        if (!cachePixels_.empty() && here == previous) continue;
        cachePixels_.push_back(here);
        cachePointOf_.push_back(i);
        previous = here;
    }
    cacheSize_ = size();
    cacheValid_ = true;
}

QString CTrackOutline::NoteText() const {
    if (data_.count == 0) return QStringLiteral("No track loaded.");
    if (data_.projection.positioned == 0)
        return QStringLiteral("No point of the track has a position.");
    return QString();
}

void CTrackOutline::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    const int64_t index = PointAt(event->position());
    if (index >= 0) emit pointPicked(static_cast<int>(index));
}

void CTrackOutline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    lastSegments_ = 0;
    if (!PaintBackground(painter)) return;
    painter.setRenderHint(QPainter::Antialiasing);
    const ScreenFit fit = Fit();
    // The line as pixels, merged where consecutive points fall on one pixel;
    // kept until the pane's size or the track changes.
    if (cacheSize_ != size() || !cacheValid_) BuildPixelCache(fit);
    const StyledLine line = CutIntoRuns();
    lastSegments_ = line.pixels.size() - line.runs.size();
    // A dense tangle of lines looks the same without smoothing, at a
    // fraction of the cost.
    painter.setRenderHint(QPainter::Antialiasing, lastSegments_ <= kSmoothSegments);
    painter.translate(0.5, 0.5);
    PaintFadedPart(painter, line);
    PaintOutline(painter, line);
    painter.translate(-0.5, -0.5);
    painter.setRenderHint(QPainter::Antialiasing);
    PaintMarkers(painter);
    PaintScaleBar(painter, fit);
    PaintLegend(painter);
}

int CTrackOutline::StyledLine::End(size_t run) const {
    return run + 1 < runs.size() ? runs[run + 1].start : static_cast<int>(pixels.size());
}

CTrackOutline::StyledLine CTrackOutline::CutIntoRuns() const {
    // Walks the export list beside the line: both are in array order, so
    // the walk is one pass.
    const TrackViewData& d = data_;
    const double low = d.rawAltitude.min, high = d.rawAltitude.max;
    StyledLine line;
    line.pixels.reserve(cachePixels_.size() + 1024);
    const ExportEntry* entry = d.exported.data();
    const ExportEntry* const end = entry + d.exported.size();
    int style = -2;
    for (size_t v = 1; v < cachePixels_.size(); ++v) {
        const TrackPoint* p = d.points + cachePointOf_[v];
        while (entry != end && entry->point < p) ++entry;
        const int s = entry != end && entry->point == p
                          ? AltitudeBucket(p->altitude, low, high, kBuckets)
                          : -1;
        if (s != style) {
            line.runs.push_back({s, static_cast<int>(line.pixels.size())});
            line.pixels.push_back(cachePixels_[v - 1]);
            style = s;
        }
        line.pixels.push_back(cachePixels_[v]);
    }
    return line;
}

// The pane's ground; with nothing to draw, the note that says why (false).
bool CTrackOutline::PaintBackground(QPainter& painter) {
    painter.fillRect(rect(), QColor(252, 252, 250));
    const QString note = NoteText();
    if (note.isEmpty()) return true;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter, note);
    return false;
}

// The points an export leaves out: thin and grey, under the rest.
void CTrackOutline::PaintFadedPart(QPainter& painter, const StyledLine& line) const {
    painter.setPen(
        QPen(QColor(160, 160, 160, 120), 1.5, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
    for (size_t r = 0; r < line.runs.size(); ++r)
        if (line.runs[r].style < 0)
            painter.drawPolyline(line.pixels.data() + line.runs[r].start,
                                 line.End(r) - line.runs[r].start);
}

// The points an export keeps, each run in the colour of its altitude step.
void CTrackOutline::PaintOutline(QPainter& painter, const StyledLine& line) const {
    const double low = data_.rawAltitude.min, high = data_.rawAltitude.max;
    for (size_t r = 0; r < line.runs.size(); ++r) {
        if (line.runs[r].style < 0) continue;
        const double mid = low + (high - low) * (line.runs[r].style + 0.5) / kBuckets;
        painter.setPen(QPen(ToQColor(AltitudeColour(mid, low, high)), 2.5, Qt::SolidLine,
                            Qt::FlatCap, Qt::BevelJoin));
        painter.drawPolyline(line.pixels.data() + line.runs[r].start,
                             line.End(r) - line.runs[r].start);
    }
}

// Start and stop, labelled on the side where the label fits, and the point
// selected in the list.
void CTrackOutline::PaintMarkers(QPainter& painter) const {
    QPointF at;
    painter.setFont(font());
    const QFontMetrics labelMetrics(font());
    auto label = [&](QPointF mark, double dy, const QString& text) {
        const double w = labelMetrics.horizontalAdvance(text);
        const double x = mark.x() + 8 + w > width() - 4 ? mark.x() - 8 - w : mark.x() + 8;
        const double y = std::clamp(mark.y() + dy, labelMetrics.ascent() + 2.0, height() - 4.0);
        painter.drawText(QPointF(x, y), text);
    };
    if (cacheLast_ >= 0 && PixelOf(static_cast<uint32_t>(cacheLast_), at)) {
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(QColor(200, 30, 30));
        painter.drawRect(QRectF(at.x() - 5, at.y() - 5, 10, 10));
        painter.setPen(QColor(120, 20, 20));
        label(at, 14, QStringLiteral("Stop"));
    }
    if (cacheFirst_ >= 0 && PixelOf(static_cast<uint32_t>(cacheFirst_), at)) {
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(QColor(30, 150, 50));
        painter.drawEllipse(at, 6, 6);
        painter.setPen(QColor(20, 100, 30));
        label(at, -6, QStringLiteral("Start"));
    }
    if (data_.marked >= 0 && PixelOf(static_cast<uint32_t>(data_.marked), at)) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::black, 2));
        painter.drawEllipse(at, 8, 8);
        painter.drawLine(at + QPointF(-13, 0), at + QPointF(-5, 0));
        painter.drawLine(at + QPointF(5, 0), at + QPointF(13, 0));
        painter.drawLine(at + QPointF(0, -13), at + QPointF(0, -5));
        painter.drawLine(at + QPointF(0, 5), at + QPointF(0, 13));
    }
}

// A bar of a round length, bottom left.
void CTrackOutline::PaintScaleBar(QPainter& painter, const ScreenFit& fit) const {
    const ScaleBar bar = ChooseScaleBar(fit.pixelsPerMetre, width() / 4.0);
    if (bar.pixels <= 0) return;
    const double x0 = 14, y0 = height() - 14.0, x1 = x0 + bar.pixels;
    painter.setPen(QPen(QColor(40, 40, 40), 2, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(x0, y0), QPointF(x1, y0));
    painter.drawLine(QPointF(x0, y0 - 5), QPointF(x0, y0));
    painter.drawLine(QPointF(x1, y0 - 5), QPointF(x1, y0));
    painter.drawText(QPointF(x0, y0 - 8), QString::fromStdString(bar.label));
}

// The altitude colours from the lowest to the highest point, top right.
void CTrackOutline::PaintLegend(QPainter& painter) const {
    const TrackViewData& d = data_;
    if (!d.rawAltitude.valid) return;
    const double low = d.rawAltitude.min, high = d.rawAltitude.max;
    const QFontMetrics metrics(font());
    const QRectF ramp(width() - 26.0, 26.0, 12.0, std::clamp(height() / 3.0, 40.0, 140.0));
    QLinearGradient gradient(ramp.bottomLeft(), ramp.topLeft());
    for (int k = 0; k <= 4; ++k) {
        const double f = k / 4.0;
        gradient.setColorAt(f, ToQColor(AltitudeColour(low + (high - low) * f, low, high)));
    }
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    painter.setBrush(gradient);
    painter.drawRect(ramp);
    const QString top = Metres(high), bottom = Metres(low);
    painter.setPen(QColor(40, 40, 40));
    painter.drawText(QPointF(ramp.left() - 4 - metrics.horizontalAdvance(top),
                             ramp.top() + metrics.ascent() / 2.0),
                     top);
    painter.drawText(QPointF(ramp.left() - 4 - metrics.horizontalAdvance(bottom),
                             ramp.bottom() + metrics.ascent() / 2.0),
                     bottom);
    painter.drawText(QPointF(ramp.right() - metrics.horizontalAdvance(QStringLiteral("Altitude")),
                             ramp.top() - 8),
                     QStringLiteral("Altitude"));
}

}  // namespace ferolin
