#include "desktop/track_outline.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/sensors.h"
#include "desktop/outline_map.h"
#include "desktop/point_readout.h"
#include "desktop/settings_store.h"

namespace ferolin {

namespace {

constexpr int kBuckets = 32;               // steps of the colours
constexpr double kOutlineMargin = 30;      // pixels around the outline
constexpr size_t kSmoothSegments = 20000;  // outline lines drawn antialiased at most
constexpr int kPiecePixels = 6;            // a longer line is coloured piece by piece
constexpr double kFarPixels = 4e6;         // pixels beyond this are as far as this
constexpr double kReadoutPixels = 6;       // the pointer this near the line shows a readout
constexpr double kBoxPadding = 5;          // around the legend and the scale bar
const QColor kBoxGround(255, 255, 255, 205);  // their ground, light over any tile

// The sides of the pane a pixel lies beyond (Cohen-Sutherland): a line between
// two pixels beyond a common side never crosses the pane.
int Outside(const QPoint& p, const QSize& size) {
    constexpr int kRoom = 16;  // the pen's width and the antialiasing
    return (p.x() < -kRoom) | (p.x() > size.width() + kRoom) << 1 | (p.y() < -kRoom) << 2 |
           (p.y() > size.height() + kRoom) << 3;
}

QColor ToQColor(Rgb c, int alpha = 255) { return QColor(c.r, c.g, c.b, alpha); }

// The sensor of a colour choice that shows one.
Sensor SensorOf(OutlineColour colour) {
    return static_cast<Sensor>(static_cast<int>(colour) - static_cast<int>(OutlineColour::kHeartRate));
}

bool IsSensor(OutlineColour colour) { return colour >= OutlineColour::kHeartRate; }

// A value of the legend: whole units, tenths for the speed and temperature.
QString LegendValue(OutlineColour colour, double value) {
    const int decimals = colour == OutlineColour::kSpeed || colour == OutlineColour::kTemperature;
    return QString::number(value, 'f', decimals) + QLatin1Char(' ') + OutlineColourUnit(colour);
}

}  // namespace

QString OutlineColourName(OutlineColour colour) {
    if (colour == OutlineColour::kAltitude) return QStringLiteral("Altitude");
    if (colour == OutlineColour::kSpeed) return QStringLiteral("Speed");
    return QString::fromUtf8(kSensorTable[static_cast<int>(SensorOf(colour))].name);
}

QString OutlineColourUnit(OutlineColour colour) {
    if (colour == OutlineColour::kAltitude) return QStringLiteral("m");
    if (colour == OutlineColour::kSpeed) return QStringLiteral("km/h");
    return QString::fromUtf8(kSensorTable[static_cast<int>(SensorOf(colour))].unit);
}

TrackOutline::TrackOutline(const TrackViewData& viewData, QWidget* parent)
    : QWidget(parent), data_(viewData), map_(new OutlineMap(this)) {
    setObjectName(QStringLiteral("trackOutline"));
    setMinimumSize(240, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);  // the readout follows the pointer
    connect(map_, &OutlineMap::changed, this, qOverload<>(&QWidget::update));
    connect(map_, &OutlineMap::shownChanged, this, &TrackOutline::PlaceMap);
    const QString stored = QString::fromStdString(ReadSettingString(kSettingOutlineColour));
    for (int c = 0; c < kOutlineColourCount; ++c)
        if (stored == OutlineColourName(static_cast<OutlineColour>(c)))
            colourWanted_ = static_cast<OutlineColour>(c);
    ApplyColour();
}

void TrackOutline::TrackChanged() {
    gridBuilt_ = false;
    cacheValid_ = false;
    cachePixels_ = {};
    cachePointOf_ = {};
    cacheBreak_ = {};
    grid_ = NearestPointIndex();
    mercator_ = MercatorTrack();
    mercatorBuilt_ = false;
    map_->ForgetExtent();
    PlaceMap();
    readout_.clear();
    // The choices this track offers: a channel counts when one point has a value.
    const TrackViewData& d = data_;
    choices_ = 1u << static_cast<int>(OutlineColour::kAltitude);
    if (std::any_of(d.speeds.begin(), d.speeds.end(), [](float v) { return std::isfinite(v); }))
        choices_ |= 1u << static_cast<int>(OutlineColour::kSpeed);
    for (int c = 0; c < kSensorCount; ++c)
        if (d.sensors && d.sensors->Has(kSensorTable[c].sensor))
            choices_ |= 1u << (static_cast<int>(OutlineColour::kHeartRate) + c);
    ApplyColour();
    update();
    emit colourChoicesChanged();
}

std::vector<OutlineColour> TrackOutline::ColourChoices() const {
    std::vector<OutlineColour> choices;
    for (int c = 0; c < kOutlineColourCount; ++c)
        if (choices_ & 1u << c) choices.push_back(static_cast<OutlineColour>(c));
    return choices;
}

void TrackOutline::SetColour(OutlineColour colour) {
    if (colour == colourWanted_) return;
    colourWanted_ = colour;
    WriteSettingString(kSettingOutlineColour, OutlineColourName(colour).toStdString());
    ApplyColour();
    update();
}

void TrackOutline::ApplyColour() {
    const TrackViewData& d = data_;
    colourShown_ = choices_ & 1u << static_cast<int>(colourWanted_) ? colourWanted_
                                                                   : OutlineColour::kAltitude;
    if (colourShown_ == OutlineColour::kAltitude) {
        colourRange_ = d.rawAltitude;
        return;
    }
    // Worked out once per track and choice: the lowest and highest value.
    colourRange_ = ValueRange{};
    for (uint32_t i = 0; i < d.count; ++i) {
        const double v = ColourValue(i);
        if (!std::isfinite(v)) continue;
        if (!colourRange_.valid) colourRange_ = ValueRange{true, v, v};
        colourRange_.min = std::min(colourRange_.min, v);
        colourRange_.max = std::max(colourRange_.max, v);
    }
}

double TrackOutline::ColourValue(uint32_t i) const {
    switch (colourShown_) {
        case OutlineColour::kAltitude:
            return data_.RawAltitude(i);
        case OutlineColour::kSpeed:
            return data_.speeds[i];
        default: {
            const float v = data_.sensors ? data_.sensors->Value(SensorOf(colourShown_), i)
                                          : kNoSensorValue;
            return IsSensorValue(v) ? v : std::numeric_limits<double>::quiet_NaN();
        }
    }
}

bool TrackOutline::MapOn() const { return map_->Shown() && data_.projection.positioned > 0; }

const MercatorTrack& TrackOutline::Mercator() const {
    if (!mercatorBuilt_) {
        // Worked out once per track, the first time the map needs it.
        mercator_ = ProjectMercator(PointSeries(data_.points, data_.count));
        mercatorBuilt_ = true;
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
    return map_->Fit();
}

// The map's view follows the pane: its size, and once per track the track's
// extent (worked out only while the map is on). Called where the pane, the
// track or the map switch changes, so that Fit() and the other const
// functions only read the view.
void TrackOutline::PlaceMap() {
    map_->Resize(width(), height());
    if (MapOn() && !map_->HasExtent()) map_->SetExtent(Mercator());
}

void TrackOutline::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceMap();
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
    cacheBreak_.clear();
    cacheFirst_ = cacheLast_ = -1;
    // The pixel a position falls in; lines are drawn through pixel centres.
    auto pixelOf = [](double v) {
        v = std::clamp(v, -kFarPixels, kFarPixels);
        const int whole = static_cast<int>(v);
        return whole > v ? whole - 1 : whole;
    };
    const QSize pane = size();
    // Runs of pixels beyond one side of the pane keep their ends only. The
    // first point after a break (a new segment, a pause) keeps its pixel,
    // so that the line stops there even where the point before lies on the
    // same pixel.
    bool broken = false;
    auto add = [&](const QPoint& here, uint32_t i) {
        if (cacheFirst_ < 0) cacheFirst_ = i;
        cacheLast_ = i;
        const size_t n = cachePixels_.size();
        const bool cut = broken && n > 0;
        broken = false;
        if (!cut && n && here == cachePixels_[n - 1]) return;
        if (!cut && n >= 2 &&
            (Outside(cachePixels_[n - 2], pane) & Outside(cachePixels_[n - 1], pane) &
             Outside(here, pane))) {
            cachePixels_[n - 1] = here;
            cachePointOf_[n - 1] = i;
            return;
        }
        cachePixels_.push_back(here);
        cachePointOf_.push_back(i);
        cacheBreak_.push_back(cut);
    };
    if (MapOn()) {
        // Pixel = offset × scale + the corner's pixel: one multiply-add an axis.
        const MercatorTrack& m = Mercator();
        const double s = fit.pixelsPerMetre;
        const double bx = fit.originX + m.minX * s, by = fit.originY + m.minY * s;
        for (uint32_t i = 0; i < d.count; ++i) {
            broken = broken || d.BreakBefore(i);
            if (m.dx[i] == m.dx[i]) add(QPoint(pixelOf(m.dx[i] * s + bx), pixelOf(m.dy[i] * s + by)), i);
        }
        cacheView_ = map_->View();
    } else {
        // Pixel = metres × scale + origin, folded into one affine map of degrees.
        const LocalProjection& pr = d.projection;
        const double ax = pr.eastScale * fit.pixelsPerMetre, bx = fit.originX;
        const double ay = -kMetresPerDegree * fit.pixelsPerMetre;
        const double by = fit.originY - pr.referenceLatitude * ay;
        for (uint32_t i = 0; i < d.count; ++i) {
            broken = broken || d.BreakBefore(i);
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
    if (MapOn() && map_->Move(event)) return ShowReadout(nullptr);  // dragging: no readout
    ShowReadout(event);
    QWidget::mouseMoveEvent(event);
}

void TrackOutline::leaveEvent(QEvent* event) {
    ShowReadout(nullptr);
    QWidget::leaveEvent(event);
}

// The nearest point by the lookup that picks points, shown while the pointer
// lies within a few pixels of it and no button is held.
void TrackOutline::ShowReadout(QMouseEvent* event) {
    QString text;
    QPointF at;
    int64_t index = -1;
    if (event && event->buttons() == Qt::NoButton && NoteText().isEmpty()) {
        index = PointAt(event->position());
        if (index >= 0 && PixelOf(static_cast<uint32_t>(index), at) &&
            QLineF(at, event->position()).length() <= kReadoutPixels)
            text = PointReadout(data_, static_cast<uint32_t>(index));
    }
    if (text == readout_) return;
    readout_ = text;
    if (text.isEmpty()) {
        QToolTip::hideText();
        return;
    }
    // A tooltip, which screen readers announce, kept while the pointer stays
    // near the point.
    const QRect near(at.toPoint() - QPoint(8, 8), QSize(17, 17));
    QToolTip::showText(event->globalPosition().toPoint(), text, this, near);
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
    legendBox_ = scaleBox_ = QRectF();
    legendTexts_.clear();
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
    // The labels keep off the scale bar and the legend, drawn over them.
    ScaleBar bar;
    QRectF ramp;
    QString title, top, bottom;
    std::vector<QRectF> kept{ScaleBarPlace(fit, bar), LegendPlace(ramp, title, top, bottom)};
    PaintMarkers(painter, kept);
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
    const double low = colourRange_.min, high = colourRange_.max;
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
    for (size_t v = 1; v < cachePixels_.size(); ++v) {
        const TrackPoint* p = d.points + cachePointOf_[v];
        while (entry != end && entry->point < p) ++entry;
        // No line across the gap between two segments or across a pause:
        // the next piece starts a run of its own.
        if (cacheBreak_[v]) {
            style = -2;
            continue;
        }
        const bool kept = entry != end && entry->point == p;
        // A point without the value takes the middle colour, as an unknown one.
        const double a1 = ColourValue(cachePointOf_[v]);
        const int s = kept ? AltitudeBucket(a1, low, high, kBuckets) : -1;
        const QPoint from = cachePixels_[v - 1], to = cachePixels_[v];
        const QPoint step = to - from;
        const int length = std::max(std::abs(step.x()), std::abs(step.y()));
        const double a0 = ColourValue(cachePointOf_[v - 1]);
        if (s < 0 || length <= kPiecePixels || length > 1 << 16 ||
            AltitudeBucket(a0, low, high, kBuckets) == s) {
            extend(s, from, to);
            continue;
        }
        // A long line between two points of different values: each piece in
        // the colour of the value at its middle.
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
            PlaceMap();  // a pane rendered without being shown had no resize event
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

// The points an export keeps, each run in the colour of its step.
void TrackOutline::PaintOutline(QPainter& painter, const StyledLine& line) const {
    const double low = colourRange_.min, high = colourRange_.max;
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
// nor the other label, so that a loop's "Start" and "Stop" never overlap, nor
// the places in `kept` (the scale bar, the legend). A mark off the pane (the
// map zoomed or panned away from it) is not drawn, nor its label.
void TrackOutline::PaintMarkers(QPainter& painter, const std::vector<QRectF>& kept) {
    const QRectF pane = QRectF(rect());
    QPointF start, stop;
    const bool hasStart = cacheFirst_ >= 0 &&
                          PixelOf(static_cast<uint32_t>(cacheFirst_), start) && pane.contains(start);
    const bool hasStop = cacheLast_ >= 0 && PixelOf(static_cast<uint32_t>(cacheLast_), stop) &&
                         pane.contains(stop);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    std::vector<QRectF> taken;
    for (const QRectF& r : kept)
        if (!r.isEmpty()) taken.push_back(r);
    if (hasStart) taken.push_back(QRectF(start.x() - 7, start.y() - 7, 14, 14));
    if (hasStop) taken.push_back(QRectF(stop.x() - 6, stop.y() - 6, 12, 12));
    auto place = [&](QPointF mark, const QString& text) {
        const double w = metrics.horizontalAdvance(text), h = metrics.height();
        const QRectF inside = pane.adjusted(2, 2, -2, -2);
        QRectF chosen;
        for (int row = 0; row < 6 && chosen.isNull(); ++row) {
            const double dy = (row % 2 ? 6 : -6 - h) + (row / 2) * (row % 2 ? h : -h);
            for (const double dx : {9.0, -9.0 - w}) {
                const QRectF r(mark.x() + dx, mark.y() + dy, w, h);
                if (!inside.contains(r)) continue;
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
    if (data_.marked >= 0 && PixelOf(static_cast<uint32_t>(data_.marked), at) &&
        pane.adjusted(-13, -13, 13, 13).contains(at)) {
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

// Where the scale bar goes, bottom left, with its ground; `bar` gets its
// length (no pixels when it has none).
QRectF TrackOutline::ScaleBarPlace(const ScreenFit& fit, ScaleBar& bar) const {
    // On the map, metres a pixel at the middle of the pane.
    const MercatorView& view = map_->View();
    const double perMetre =
        MapOn() ? 1.0 / view.MetresPerPixel(view.WorldY(height() / 2.0)) : fit.pixelsPerMetre;
    bar = ChooseScaleBar(perMetre, width() / 4.0);
    if (bar.pixels <= 0) return QRectF();
    const QFontMetrics metrics(font());
    const double x0 = 14, y0 = height() - 14.0;
    const double w = std::max<double>(bar.pixels,
                                      metrics.horizontalAdvance(QString::fromStdString(bar.label)));
    return QRectF(x0, y0 - 8 - metrics.ascent(), w, 8 + metrics.ascent() + 1)
        .adjusted(-kBoxPadding, -kBoxPadding, kBoxPadding, kBoxPadding);
}

// A bar of a round length, bottom left, on a light ground.
void TrackOutline::PaintScaleBar(QPainter& painter, const ScreenFit& fit) {
    ScaleBar bar;
    const QRectF box = ScaleBarPlace(fit, bar);
    if (box.isEmpty()) return;
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBoxGround);
    painter.drawRoundedRect(box, 4, 4);
    const double x0 = 14, y0 = height() - 14.0, x1 = x0 + bar.pixels;
    painter.setPen(QPen(QColor(40, 40, 40), 2, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(x0, y0), QPointF(x1, y0));
    painter.drawLine(QPointF(x0, y0 - 5), QPointF(x0, y0));
    painter.drawLine(QPointF(x1, y0 - 5), QPointF(x1, y0));
    painter.drawText(QPointF(x0, y0 - 8), QString::fromStdString(bar.label));
    scaleBox_ = box;
}

// Where the legend goes, top right: its ramp, its texts and the box of all
// with their ground; empty without values to show.
QRectF TrackOutline::LegendPlace(QRectF& ramp, QString& title, QString& top,
                                 QString& bottom) const {
    if (!colourRange_.valid) return QRectF();
    const QFontMetrics metrics(font());
    ramp = QRectF(width() - 26.0, 32.0, 12.0, std::clamp(height() / 3.0, 40.0, 140.0));
    title = OutlineColourName(colourShown_);
    top = LegendValue(colourShown_, colourRange_.max);
    bottom = LegendValue(colourShown_, colourRange_.min);
    const double values = std::max(metrics.horizontalAdvance(top), metrics.horizontalAdvance(bottom));
    const double left = std::min(ramp.left() - 4 - values,
                                 ramp.right() - metrics.horizontalAdvance(title));
    const double upper = ramp.top() - 8 - metrics.ascent();
    const double lower = std::max(ramp.bottom(), ramp.bottom() + metrics.ascent() / 2.0 + metrics.descent());
    return QRectF(left, upper, ramp.right() - left, lower - upper)
        .adjusted(-kBoxPadding, -kBoxPadding, kBoxPadding, kBoxPadding);
}

// The colours from the lowest to the highest value, top right, on a light
// ground, titled with what they show.
void TrackOutline::PaintLegend(QPainter& painter) {
    QRectF ramp;
    QString title, top, bottom;
    const QRectF box = LegendPlace(ramp, title, top, bottom);
    if (box.isEmpty()) return;
    const double low = colourRange_.min, high = colourRange_.max;
    const QFontMetrics metrics(font());
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBoxGround);
    painter.drawRoundedRect(box, 4, 4);
    QLinearGradient gradient(ramp.bottomLeft(), ramp.topLeft());
    for (int k = 0; k <= 4; ++k) {
        const double f = k / 4.0;
        gradient.setColorAt(f, ToQColor(AltitudeColour(low + (high - low) * f, low, high)));
    }
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    painter.setBrush(gradient);
    painter.drawRect(ramp);
    painter.setPen(QColor(40, 40, 40));
    painter.drawText(QPointF(ramp.left() - 4 - metrics.horizontalAdvance(top),
                             ramp.top() + metrics.ascent() / 2.0),
                     top);
    painter.drawText(QPointF(ramp.left() - 4 - metrics.horizontalAdvance(bottom),
                             ramp.bottom() + metrics.ascent() / 2.0),
                     bottom);
    painter.drawText(QPointF(ramp.right() - metrics.horizontalAdvance(title), ramp.top() - 8), title);
    legendBox_ = box;
    legendTexts_ = {title, top, bottom};
}

}  // namespace ferolin
