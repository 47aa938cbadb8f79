#include "desktop/track_outline.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "desktop/outline_map.h"

namespace ferolin {

namespace {

constexpr int kBuckets = 32;               // steps of the altitude colours
constexpr double kOutlineMargin = 30;      // pixels around the outline
constexpr size_t kSmoothSegments = 20000;  // outline lines drawn antialiased at most
constexpr int kPiecePixels = 6;            // a longer line is coloured piece by piece
constexpr double kFarPixels = 4e6;         // pixels beyond this are as far as this

// The sides of the pane a pixel lies beyond (Cohen-Sutherland): a line between
// two pixels beyond a common side never crosses the pane.
int Outside(const QPoint& p, const QSize& size) {
    constexpr int kRoom = 16;  // the pen's width and the antialiasing
    return (p.x() < -kRoom) | (p.x() > size.width() + kRoom) << 1 | (p.y() < -kRoom) << 2 |
           (p.y() > size.height() + kRoom) << 3;
}

QColor ToQColor(Rgb c, int alpha = 255) { return QColor(c.r, c.g, c.b, alpha); }

QString Metres(double value) { return QString::number(value, 'f', 0) + QStringLiteral(" m"); }

}  // namespace

TrackOutline::TrackOutline(const TrackViewData& viewData, QWidget* parent)
    : QWidget(parent), data_(viewData), map_(new OutlineMap(this)) {
    setObjectName(QStringLiteral("trackOutline"));
    setMinimumSize(240, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    connect(map_, &OutlineMap::changed, this, qOverload<>(&QWidget::update));
}

void TrackOutline::TrackChanged() {
    gridBuilt_ = false;
    cacheValid_ = false;
    cachePixels_ = {};
    cachePointOf_ = {};
    grid_ = NearestPointIndex();
    mercator_ = MercatorTrack();
    mercatorBuilt_ = false;
    update();
}

bool TrackOutline::MapOn() const { return map_->Shown() && data_.projection.positioned > 0; }

const MercatorTrack& TrackOutline::Mercator() const {
    if (!mercatorBuilt_) {
        // Worked out once per track, the first time the map needs it.
        mercator_ = ProjectMercator(PointSeries(data_.points, data_.count));
        mercatorBuilt_ = true;
        map_->SetExtent(mercator_);
    }
    return mercator_;
}

bool TrackOutline::Position(uint32_t index, double& x, double& y) const {
    if (!MapOn()) return data_.projection.Project(data_.points[index], x, y);
    if (!Mercator().Position(index, x, y)) return false;
    y = -y;
    return true;
}

ScreenFit TrackOutline::Fit() const {
    if (!MapOn()) return FitToRectangle(data_.projection, width(), height(), kOutlineMargin);
    Mercator();
    map_->Resize(width(), height());
    return map_->Fit();
}

bool TrackOutline::PixelOf(uint32_t index, QPointF& pixel) const {
    double x, y;
    if (index >= data_.count || !Position(index, x, y)) return false;
    const ScreenFit fit = Fit();
    pixel = QPointF(fit.ScreenX(x), fit.ScreenY(y));
    return true;
}

int64_t TrackOutline::PointAt(const QPointF& pixel) {
    if (!gridBuilt_ || gridOnMap_ != MapOn()) {
        grid_.Build(data_.count,
                    [this](uint32_t i, double& x, double& y) { return Position(i, x, y); });
        gridBuilt_ = true;
        gridOnMap_ = MapOn();
    }
    const ScreenFit fit = Fit();
    return grid_.Nearest(fit.MetreX(pixel.x()), fit.MetreY(pixel.y()));
}

void TrackOutline::BuildPixelCache(const ScreenFit& fit) {
    const TrackViewData& d = data_;
    cachePixels_.clear();
    cachePointOf_.clear();
    cacheFirst_ = cacheLast_ = -1;
    // The pixel a position falls in; lines are drawn through pixel centres.
    auto pixelOf = [](double v) {
        v = std::clamp(v, -kFarPixels, kFarPixels);
        const int whole = static_cast<int>(v);
        return whole > v ? whole - 1 : whole;
    };
    const QSize pane = size();
    // Runs of pixels beyond one side of the pane keep their ends only.
    auto add = [&](const QPoint& here, uint32_t i) {
        if (cacheFirst_ < 0) cacheFirst_ = i;
        cacheLast_ = i;
        const size_t n = cachePixels_.size();
        if (n && here == cachePixels_[n - 1]) return;
        if (n >= 2 && (Outside(cachePixels_[n - 2], pane) & Outside(cachePixels_[n - 1], pane) &
                       Outside(here, pane))) {
            cachePixels_[n - 1] = here;
            cachePointOf_[n - 1] = i;
            return;
        }
        cachePixels_.push_back(here);
        cachePointOf_.push_back(i);
    };
    if (MapOn()) {
        // Pixel = offset × scale + the corner's pixel: one multiply-add an axis.
        const MercatorTrack& m = Mercator();
        const double s = fit.pixelsPerMetre;
        const double bx = fit.originX + m.minX * s, by = fit.originY + m.minY * s;
        for (uint32_t i = 0; i < d.count; ++i)
            if (m.dx[i] == m.dx[i]) add(QPoint(pixelOf(m.dx[i] * s + bx), pixelOf(m.dy[i] * s + by)), i);
        cacheView_ = map_->View();
    } else {
        // Pixel = metres × scale + origin, folded into one affine map of degrees.
        const LocalProjection& pr = d.projection;
        const double ax = pr.eastScale * fit.pixelsPerMetre, bx = fit.originX;
        const double ay = -kMetresPerDegree * fit.pixelsPerMetre;
        const double by = fit.originY - pr.referenceLatitude * ay;
        for (uint32_t i = 0; i < d.count; ++i) {
            const TrackPoint& p = d.points[i];
            if (!HasPosition(p)) continue;
            add(QPoint(pixelOf(RelativeLongitude(p.longitude, pr.referenceLongitude) * ax + bx),
                       pixelOf(p.latitude * ay + by)),
                i);
        }
    }
    cacheSize_ = size();
    cacheOnMap_ = MapOn();
    cacheValid_ = true;
}

QString TrackOutline::NoteText() const {
    if (data_.count == 0) return QStringLiteral("No track loaded.");
    if (data_.projection.positioned == 0)
        return QStringLiteral("No point of the track has a position.");
    return QString();
}

// A press and release without a drag picks the nearest point; on the map a
// drag pans and the wheel zooms about the pointer.
void TrackOutline::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    map_->Press(event);
}

void TrackOutline::mouseMoveEvent(QMouseEvent* event) {
    if (!MapOn() || !map_->Move(event)) QWidget::mouseMoveEvent(event);
}

void TrackOutline::mouseReleaseEvent(QMouseEvent* event) {
    if (!map_->Release(event)) return QWidget::mouseReleaseEvent(event);
    const int64_t index = PointAt(event->position());
    if (index >= 0) emit pointPicked(static_cast<int>(index));
}

void TrackOutline::wheelEvent(QWheelEvent* event) {
    if (!MapOn() || !map_->Wheel(event)) QWidget::wheelEvent(event);
}

void TrackOutline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    lastSegments_ = 0;
    labels_[0] = labels_[1] = QRectF();
    if (!PaintBackground(painter)) return;
    painter.setRenderHint(QPainter::Antialiasing);
    const ScreenFit fit = Fit();
    // The line as pixels, merged where consecutive points fall on one pixel;
    // kept until the pane's size, the track or the map's view changes.
    const MercatorView& view = map_->View();
    const bool moved = MapOn() && (view.centreX != cacheView_.centreX ||
                                   view.centreY != cacheView_.centreY || view.scale != cacheView_.scale);
    if (cacheSize_ != size() || !cacheValid_ || cacheOnMap_ != MapOn() || moved)
        BuildPixelCache(fit);
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

int TrackOutline::StyledLine::End(size_t run) const {
    return run + 1 < runs.size() ? runs[run + 1].start : static_cast<int>(pixels.size());
}

TrackOutline::StyledLine TrackOutline::CutIntoRuns() const {
    // Walks the export list beside the line: both are in array order, so
    // the walk is one pass.
    const TrackViewData& d = data_;
    const double low = d.rawAltitude.min, high = d.rawAltitude.max;
    StyledLine line;
    line.pixels.reserve(cachePixels_.size() + 1024);
    const ExportEntry* entry = d.exported.data();
    const ExportEntry* const end = entry + d.exported.size();
    int style = -2;
    auto extend = [&](int s, const QPoint& from, const QPoint& to) {
        if (s != style) {
            line.runs.push_back({s, static_cast<int>(line.pixels.size())});
            line.pixels.push_back(from);
            style = s;
        }
        line.pixels.push_back(to);
    };
    const TrackDocument* document = d.extras ? &d.extras->document : nullptr;
    for (size_t v = 1; v < cachePixels_.size(); ++v) {
        const TrackPoint* p = d.points + cachePointOf_[v];
        while (entry != end && entry->point < p) ++entry;
        // No line across the gap between two segments: the next one starts
        // a run of its own.
        if (document && document->Gap(cachePointOf_[v - 1], cachePointOf_[v])) {
            style = -2;
            continue;
        }
        const bool kept = entry != end && entry->point == p;
        // A point without altitude takes the middle colour, as an unknown one.
        const double a1 = d.RawAltitude(cachePointOf_[v]);
        const int s = kept ? AltitudeBucket(a1, low, high, kBuckets) : -1;
        const QPoint from = cachePixels_[v - 1], to = cachePixels_[v];
        const QPoint step = to - from;
        const int length = std::max(std::abs(step.x()), std::abs(step.y()));
        const double a0 = d.RawAltitude(cachePointOf_[v - 1]);
        if (s < 0 || length <= kPiecePixels || length > 1 << 16 ||
            AltitudeBucket(a0, low, high, kBuckets) == s) {
            extend(s, from, to);
            continue;
        }
        // A long line between two points of different altitudes: each piece
        // in the colour of the altitude at its middle.
        const int pieces = std::min(length / kPiecePixels + 1, 64);
        QPoint previous = from;
        for (int k = 1; k <= pieces; ++k) {
            const QPoint at = from + step * k / pieces;
            const double middle = a0 + (a1 - a0) * (k - 0.5) / pieces;
            extend(AltitudeBucket(middle, low, high, kBuckets), previous, at);
            previous = at;
        }
    }
    return line;
}

// The pane's ground; with nothing to draw, the note that says why (false).
bool TrackOutline::PaintBackground(QPainter& painter) {
    painter.fillRect(rect(), QColor(252, 252, 250));
    const QString note = NoteText();
    if (note.isEmpty()) {
        if (MapOn()) {
            Fit();  // the map's view at the pane's size
            map_->Paint(painter);
        }
        return true;
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter, note);
    return false;
}

// The points an export leaves out: thin and grey, under the rest.
void TrackOutline::PaintFadedPart(QPainter& painter, const StyledLine& line) const {
    painter.setPen(
        QPen(QColor(160, 160, 160, 120), 1.5, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
    for (size_t r = 0; r < line.runs.size(); ++r)
        if (line.runs[r].style < 0)
            painter.drawPolyline(line.pixels.data() + line.runs[r].start,
                                 line.End(r) - line.runs[r].start);
}

// The points an export keeps, each run in the colour of its altitude step.
void TrackOutline::PaintOutline(QPainter& painter, const StyledLine& line) const {
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

// Start and stop, and the point selected in the list. Each label takes the
// first place beside its mark that stays in the pane and covers neither mark
// nor the other label, so that a loop's "Start" and "Stop" never overlap.
void TrackOutline::PaintMarkers(QPainter& painter) {
    QPointF start, stop;
    const bool hasStart = cacheFirst_ >= 0 && PixelOf(static_cast<uint32_t>(cacheFirst_), start);
    const bool hasStop = cacheLast_ >= 0 && PixelOf(static_cast<uint32_t>(cacheLast_), stop);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    std::vector<QRectF> taken;
    if (hasStart) taken.push_back(QRectF(start.x() - 7, start.y() - 7, 14, 14));
    if (hasStop) taken.push_back(QRectF(stop.x() - 6, stop.y() - 6, 12, 12));
    auto place = [&](QPointF mark, const QString& text) {
        const double w = metrics.horizontalAdvance(text), h = metrics.height();
        const QRectF pane = QRectF(rect()).adjusted(2, 2, -2, -2);
        QRectF chosen;
        for (int row = 0; row < 6 && chosen.isNull(); ++row) {
            const double dy = (row % 2 ? 6 : -6 - h) + (row / 2) * (row % 2 ? h : -h);
            for (const double dx : {9.0, -9.0 - w}) {
                const QRectF r(mark.x() + dx, mark.y() + dy, w, h);
                if (!pane.contains(r)) continue;
                if (std::none_of(taken.begin(), taken.end(),
                                 [&](const QRectF& t) { return t.intersects(r); })) {
                    chosen = r;
                    break;
                }
            }
        }
        if (chosen.isNull())  // nowhere free: beside the mark, inside the pane
            chosen = QRectF(std::clamp(mark.x() + 9, 2.0, width() - 2 - w),
                            std::clamp(mark.y() - 6 - h, 2.0, height() - 2 - h), w, h);
        taken.push_back(chosen);
        painter.drawText(QPointF(chosen.left(), chosen.top() + metrics.ascent()), text);
        return chosen;
    };
    if (hasStop) {
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(QColor(200, 30, 30));
        painter.drawRect(QRectF(stop.x() - 5, stop.y() - 5, 10, 10));
    }
    if (hasStart) {
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(QColor(30, 150, 50));
        painter.drawEllipse(start, 6, 6);
        painter.setPen(QColor(20, 100, 30));
        labels_[0] = place(start, QStringLiteral("Start"));
    }
    if (hasStop) {
        painter.setPen(QColor(120, 20, 20));
        labels_[1] = place(stop, QStringLiteral("Stop"));
    }
    PaintWaypoints(painter, place);
    QPointF at;
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

bool TrackOutline::WorldOf(const TrackPoint& point, double& x, double& y) const {
    if (!HasPosition(point)) return false;
    // Longitudes taken from the track's first position, as the track's own
    // are, so that both stay together across the 180th meridian.
    uint32_t first = 0;
    while (first < data_.count && !HasPosition(data_.points[first])) ++first;
    const double reference = first < data_.count ? data_.points[first].longitude : 0.0;
    x = MercatorX(RelativeLongitude(reference, 0)) + RelativeLongitude(point.longitude, reference) / 360.0;
    y = MercatorY(point.latitude);
    return true;
}

void TrackOutline::CentreOn(const TrackPoint& point) {
    double x, y;
    if (MapOn() && WorldOf(point, x, y)) map_->CentreOn(x, y);
}

bool TrackOutline::PlacePixel(const TrackPoint& point, QPointF& pixel) const {
    double x, y;
    if (!MapOn()) {
        if (!data_.projection.Project(point, x, y)) return false;
    } else {
        if (!WorldOf(point, x, y)) return false;
        y = -y;
    }
    const ScreenFit fit = Fit();
    pixel = QPointF(fit.ScreenX(x), fit.ScreenY(y));
    return true;
}

// The document's waypoints: a blue diamond each, named beside it where a
// free place is left. Beyond a few hundred on screen the names would only
// cover each other and the track.
template <class Place>
void TrackOutline::PaintWaypoints(QPainter& painter, Place& place) {
    if (!data_.extras) return;
    constexpr int kMostNamed = 300;
    int named = 0;
    const QRectF pane = QRectF(rect());
    for (const Waypoint& w : data_.extras->document.waypoints) {
        QPointF at;
        if (!PlacePixel(w.point, at) || !pane.contains(at)) continue;
        painter.setPen(QPen(Qt::white, 1.2));
        painter.setBrush(QColor(30, 80, 200));
        const QPointF diamond[4] = {at + QPointF(0, -6), at + QPointF(6, 0), at + QPointF(0, 6),
                                    at + QPointF(-6, 0)};
        painter.drawPolygon(diamond, 4);
        if (w.name.empty() || named++ >= kMostNamed) continue;
        painter.setPen(QColor(20, 50, 140));
        place(at, QString::fromStdString(w.name));
    }
}

// A bar of a round length, bottom left.
void TrackOutline::PaintScaleBar(QPainter& painter, const ScreenFit& fit) const {
    // On the map, metres a pixel at the middle of the pane.
    const MercatorView& view = map_->View();
    const double perMetre =
        MapOn() ? 1.0 / view.MetresPerPixel(view.WorldY(height() / 2.0)) : fit.pixelsPerMetre;
    const ScaleBar bar = ChooseScaleBar(perMetre, width() / 4.0);
    if (bar.pixels <= 0) return;
    const double x0 = 14, y0 = height() - 14.0, x1 = x0 + bar.pixels;
    painter.setPen(QPen(QColor(40, 40, 40), 2, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(x0, y0), QPointF(x1, y0));
    painter.drawLine(QPointF(x0, y0 - 5), QPointF(x0, y0));
    painter.drawLine(QPointF(x1, y0 - 5), QPointF(x1, y0));
    painter.drawText(QPointF(x0, y0 - 8), QString::fromStdString(bar.label));
}

// The altitude colours from the lowest to the highest point, top right.
void TrackOutline::PaintLegend(QPainter& painter) const {
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
