#include "desktop/track_view.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScatterSeries>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "desktop/screen_place.h"

namespace ferolin {

namespace {

constexpr int kBuckets = 32;         // steps of the altitude colours
constexpr double kOutlineMargin = 30;  // pixels around the outline
constexpr int kMinimumColumns = 200;   // profile columns at the least
constexpr size_t kSmoothSegments = 20000;  // outline lines drawn antialiased at most

QColor ToQColor(Rgb c, int alpha = 255) { return QColor(c.r, c.g, c.b, alpha); }

QString Metres(double value) { return QString::number(value, 'f', 0) + QStringLiteral(" m"); }

// Axis range around [low, high] with a little room; a flat range opens up.
void SetPaddedRange(QValueAxis* axis, double low, double high, double flatRoom) {
    if (!std::isfinite(low) || !std::isfinite(high)) low = 0, high = 1;
    if (high - low <= 0) {
        low -= flatRoom;
        high += flatRoom;
    } else {
        const double room = (high - low) * 0.05;
        low -= room;
        high += room;
    }
    axis->setRange(low, high);
}

}  // namespace

// ---------------------------------------------------------------------------

void TrackViewData::SetTrack(const TrackPoint* newPoints, uint32_t newCount) {
    points = newCount ? newPoints : nullptr;
    count = points ? newCount : 0;
    const PointSeries series(points, count);
    projection = MakeLocalProjection(series);
    rawAltitude = AltitudeRange(series);
    distance = CumulativeDistance(series);
    seconds.assign(count, 0.0);
    dated = 0;
    firstSecond = lastSecond = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const double s = PointSeconds(points[i]);
        seconds[i] = s;
        if (std::isnan(s)) continue;
        if (dated == 0) firstSecond = lastSecond = s;
        firstSecond = std::min(firstSecond, s);
        lastSecond = std::max(lastSecond, s);
        ++dated;
    }
    exported.clear();
    exported.shrink_to_fit();
    exportedAltitude = ValueRange{};
    marked = -1;
}

void TrackViewData::SetSelection(const SelectionCriteria& criteria) {
    exported = BuildExportList(points, count, criteria);
    exportedAltitude =
        AltitudeRange(PointSeries(exported.data(), static_cast<uint32_t>(exported.size())));
}

// ---------------------------------------------------------------------------

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
    painter.fillRect(rect(), QColor(252, 252, 250));
    lastSegments_ = 0;
    const QString note = NoteText();
    if (!note.isEmpty()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter, note);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const ScreenFit fit = Fit();
    const TrackViewData& d = data_;
    const double low = d.rawAltitude.min, high = d.rawAltitude.max;

    // The line as pixels, merged where consecutive points fall on one pixel;
    // kept until the pane's size or the track changes.
    if (cacheSize_ != size() || !cacheValid_) BuildPixelCache(fit);

    // Cut the line into runs of one style (faded, or one step of the
    // altitude colours), walking the export list beside it: both are in
    // array order, so the walk is one pass.
    struct Run {
        int style;  // -1 faded, else the colour step
        int start;
    };
    std::vector<Run> runs;
    std::vector<QPoint> pixels;
    pixels.reserve(cachePixels_.size() + 1024);
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
            runs.push_back({s, static_cast<int>(pixels.size())});
            pixels.push_back(cachePixels_[v - 1]);
            style = s;
        }
        pixels.push_back(cachePixels_[v]);
    }
    lastSegments_ = pixels.size() - runs.size();
    const int64_t first = cacheFirst_, last = cacheLast_;

    auto drawRuns = [&](bool faded) {
        for (size_t r = 0; r < runs.size(); ++r) {
            if ((runs[r].style < 0) != faded) continue;
            const int from = runs[r].start;
            const int to = r + 1 < runs.size() ? runs[r + 1].start : static_cast<int>(pixels.size());
            if (faded) {
                painter.setPen(QPen(QColor(160, 160, 160, 120), 1.5, Qt::SolidLine, Qt::FlatCap,
                                    Qt::BevelJoin));
            } else {
                const double mid = low + (high - low) * (runs[r].style + 0.5) / kBuckets;
                painter.setPen(QPen(ToQColor(AltitudeColour(mid, low, high)), 2.5, Qt::SolidLine,
                                    Qt::FlatCap, Qt::BevelJoin));
            }
            painter.drawPolyline(pixels.data() + from, to - from);
        }
    };
    // A dense tangle of lines looks the same without smoothing, at a
    // fraction of the cost.
    painter.setRenderHint(QPainter::Antialiasing, lastSegments_ <= kSmoothSegments);
    painter.translate(0.5, 0.5);
    drawRuns(true);
    drawRuns(false);
    painter.translate(-0.5, -0.5);
    painter.setRenderHint(QPainter::Antialiasing);

    // Start and stop, labelled on the side where the label fits.
    QPointF at;
    painter.setFont(font());
    const QFontMetrics labelMetrics(font());
    auto label = [&](QPointF mark, double dy, const QString& text) {
        const double w = labelMetrics.horizontalAdvance(text);
        const double x = mark.x() + 8 + w > width() - 4 ? mark.x() - 8 - w : mark.x() + 8;
        const double y = std::clamp(mark.y() + dy, labelMetrics.ascent() + 2.0, height() - 4.0);
        painter.drawText(QPointF(x, y), text);
    };
    if (last >= 0 && PixelOf(static_cast<uint32_t>(last), at)) {
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(QColor(200, 30, 30));
        painter.drawRect(QRectF(at.x() - 5, at.y() - 5, 10, 10));
        painter.setPen(QColor(120, 20, 20));
        label(at, 14, QStringLiteral("Stop"));
    }
    if (first >= 0 && PixelOf(static_cast<uint32_t>(first), at)) {
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(QColor(30, 150, 50));
        painter.drawEllipse(at, 6, 6);
        painter.setPen(QColor(20, 100, 30));
        label(at, -6, QStringLiteral("Start"));
    }
    // The point selected in the list.
    if (d.marked >= 0 && PixelOf(static_cast<uint32_t>(d.marked), at)) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::black, 2));
        painter.drawEllipse(at, 8, 8);
        painter.drawLine(at + QPointF(-13, 0), at + QPointF(-5, 0));
        painter.drawLine(at + QPointF(5, 0), at + QPointF(13, 0));
        painter.drawLine(at + QPointF(0, -13), at + QPointF(0, -5));
        painter.drawLine(at + QPointF(0, 5), at + QPointF(0, 13));
    }

    // Scale bar, bottom left.
    const ScaleBar bar = ChooseScaleBar(fit.pixelsPerMetre, width() / 4.0);
    if (bar.pixels > 0) {
        const double x0 = 14, y0 = height() - 14.0, x1 = x0 + bar.pixels;
        painter.setPen(QPen(QColor(40, 40, 40), 2, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(QPointF(x0, y0), QPointF(x1, y0));
        painter.drawLine(QPointF(x0, y0 - 5), QPointF(x0, y0));
        painter.drawLine(QPointF(x1, y0 - 5), QPointF(x1, y0));
        painter.drawText(QPointF(x0, y0 - 8), QString::fromStdString(bar.label));
    }

    // Altitude legend, top right: the ramp from the lowest to the highest.
    if (d.rawAltitude.valid) {
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
}

// ---------------------------------------------------------------------------

CProfileChart::CProfileChart(QWidget* parent) : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
    setCursor(Qt::CrossCursor);
    setMinimumSize(240, 160);
}

void CProfileChart::ReplaceChart(QChart* newChart) {
    QChart* old = chart();
    setChart(newChart);
    if (old != newChart) delete old;
}

QPointF CProfileChart::PixelOf(const QPointF& value) const {
    const QList<QAbstractSeries*> series = chart()->series();
    if (series.isEmpty()) return QPointF();
    const QPointF inChart = chart()->mapToPosition(value, series.first());
    return mapFromScene(chart()->mapToScene(inChart));
}

void CProfileChart::mousePressEvent(QMouseEvent* event) {
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

void CProfileChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    emit resized();
}

// ---------------------------------------------------------------------------

CTrackViewDlg::CTrackViewDlg(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("trackView"));
    setWindowTitle(QStringLiteral("Track view"));
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(0);
    // A hidden view only notes the change and rebuilds when it is shown.
    connect(refreshTimer_, &QTimer::timeout, this, [this] {
        if (isVisible())
            Refresh();
        else
            selectionPending_ = true;
    });

    outline_ = new CTrackOutline(data_, this);
    altitudeChart_ = new CProfileChart(this);
    altitudeChart_->setObjectName(QStringLiteral("altitudeProfile"));
    speedChart_ = new CProfileChart(this);
    speedChart_->setObjectName(QStringLiteral("speedProfile"));
    speedNote_ = new QLabel(this);
    speedNote_->setObjectName(QStringLiteral("speedNote"));
    speedNote_->setAlignment(Qt::AlignCenter);
    speedNote_->setWordWrap(true);
    speedStack_ = new QStackedWidget(this);
    speedStack_->addWidget(speedChart_);
    speedStack_->addWidget(speedNote_);
    BuildProfiles();

    auto* profiles = new QSplitter(Qt::Horizontal);
    profiles->addWidget(altitudeChart_);
    profiles->addWidget(speedStack_);
    auto* panes = new QSplitter(Qt::Vertical);
    panes->addWidget(outline_);
    panes->addWidget(profiles);
    panes->setStretchFactor(0, 3);
    panes->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(panes);
    resize(900, 680);

    connect(outline_, &CTrackOutline::pointPicked, this, &CTrackViewDlg::Pick);
    connect(altitudeChart_, &CProfileChart::pointPicked, this, &CTrackViewDlg::Pick);
    connect(speedChart_, &CProfileChart::pointPicked, this, &CTrackViewDlg::Pick);
    // Narrower or wider profiles take fewer or more columns.
    connect(altitudeChart_, &CProfileChart::resized, this, [this] {
        trackSeriesStale_ = true;
        UpdateProfiles();
    });

    altitudeChart_->nearest = [this](const QPointF& value, double perX, double perY) -> int64_t {
        const TrackViewData& d = data_;
        if (!altitudeGridBuilt_) {
            // Raw points first, then the export entries, so that a click on
            // either line finds its point.
            const uint32_t n = d.count, m = static_cast<uint32_t>(d.exported.size());
            altitudeGrid_.Build(n + m, [&d, n](uint32_t i, double& x, double& y) {
                const uint32_t point = i < n ? i : d.IndexOf(d.exported[i - n]);
                x = d.distance[point] / 1000.0;
                y = i < n ? d.points[i].altitude : d.exported[i - n].altitude;
                return true;
            });
            altitudeGridBuilt_ = true;
        }
        const int64_t k = altitudeGrid_.Nearest(value.x(), value.y(), perX, perY);
        if (k < 0) return -1;
        return k < d.count ? k : d.IndexOf(d.exported[static_cast<size_t>(k - d.count)]);
    };
    speedChart_->nearest = [this](const QPointF& value, double perX, double perY) -> int64_t {
        const TrackViewData& d = data_;
        if (!speedGridBuilt_) {
            speedGrid_.Build(d.count, [this, &d](uint32_t i, double& x, double& y) {
                x = d.seconds[i] * 1000.0 - timeShiftMs_;
                y = d.points[i].speed;
                return !std::isnan(d.seconds[i]);
            });
            speedGridBuilt_ = true;
        }
        return speedGrid_.Nearest(value.x(), value.y(), perX, perY);
    };

    RestorePlacement();
    UpdateProfiles();
}

CTrackViewDlg::~CTrackViewDlg() { SavePlacement(); }

void CTrackViewDlg::BuildProfiles() {
    // The black dot that marks the selected point on a profile.
    auto makeMarker = [] {
        auto* marker = new QScatterSeries;
        marker->setMarkerSize(10);
        marker->setColor(Qt::black);
        marker->setBorderColor(Qt::white);
        return marker;
    };
    auto attachAxes = [](QChart* chart, QAbstractAxis* x, QAbstractAxis* y) {
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        for (QAbstractSeries* s : chart->series()) {
            s->attachAxis(x);
            s->attachAxis(y);
        }
    };

    auto* altitude = new QChart;
    altitude->setTitle(QStringLiteral("Altitude profile"));
    altitude->setMargins(QMargins(4, 4, 4, 4));
    rawSeries_ = new QLineSeries;
    rawSeries_->setName(QStringLiteral("Raw altitude"));
    rawSeries_->setPen(QPen(QColor(150, 150, 150), 1.5));
    exportedSeries_ = new QLineSeries;
    exportedSeries_->setName(QStringLiteral("Exported altitude"));
    exportedSeries_->setPen(QPen(QColor(30, 90, 200), 2));
    altitudeMarker_ = makeMarker();
    altitude->addSeries(rawSeries_);
    altitude->addSeries(exportedSeries_);
    altitude->addSeries(altitudeMarker_);
    distanceAxis_ = new QValueAxis;
    distanceAxis_->setTitleText(QStringLiteral("Distance (km)"));
    distanceAxis_->setLabelFormat(QStringLiteral("%.1f"));
    altitudeAxis_ = new QValueAxis;
    altitudeAxis_->setTitleText(QStringLiteral("Altitude (m)"));
    altitudeAxis_->setLabelFormat(QStringLiteral("%.0f"));
    attachAxes(altitude, distanceAxis_, altitudeAxis_);
    for (QLegendMarker* marker : altitude->legend()->markers(altitudeMarker_))
        marker->setVisible(false);
    altitudeChart_->ReplaceChart(altitude);

    auto* speed = new QChart;
    speed->setTitle(QStringLiteral("Speed profile"));
    speed->setMargins(QMargins(4, 4, 4, 4));
    speedSeries_ = new QLineSeries;
    speedSeries_->setName(QStringLiteral("Speed"));
    speedSeries_->setPen(QPen(QColor(200, 100, 20), 1.5));
    speedMarker_ = makeMarker();
    speed->addSeries(speedSeries_);
    speed->addSeries(speedMarker_);
    timeAxis_ = new QDateTimeAxis;
    timeAxis_->setTitleText(QStringLiteral("Time"));
    timeAxis_->setFormat(QStringLiteral("HH:mm"));
    speedAxis_ = new QValueAxis;
    speedAxis_->setTitleText(QStringLiteral("Speed (km/h)"));
    speedAxis_->setLabelFormat(QStringLiteral("%.0f"));
    attachAxes(speed, timeAxis_, speedAxis_);
    speed->legend()->hide();
    speedChart_->ReplaceChart(speed);
}

void CTrackViewDlg::SetTrack(const TrackPoint* points, uint32_t count) {
    pendingPoints_ = points;
    pendingCount_ = count;
    trackPending_ = true;
    requestedMark_ = -1;
    // Nothing of the previous track may be touched once it is released. The
    // new one is taken in when the events of the change are through (the main
    // dialog fills the time window for it after this call), so that its
    // export list is built once, with its own settings.
    data_.SetTrack(nullptr, 0);
    altitudeGridBuilt_ = speedGridBuilt_ = false;
    outline_->TrackChanged();
    refreshTimer_->start();
}

void CTrackViewDlg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    placed_ = true;
    if (trackPending_)
        ApplyTrack();
    else if (selectionPending_)
        Refresh();
}

void CTrackViewDlg::ApplyTrack() {
    trackPending_ = false;
    trackSeriesStale_ = true;
    data_.SetTrack(pendingPoints_, pendingCount_);
    data_.marked = requestedMark_ < data_.count ? requestedMark_ : -1;
    altitudeGridBuilt_ = speedGridBuilt_ = false;
    altitudeGrid_ = NearestPointIndex();
    speedGrid_ = NearestPointIndex();
    timeShiftMs_ = 0;
    if (data_.dated > 0) {
        // The time axis shows local time; shift it so that it reads the
        // points' own clock, as the list and the details show it.
        const auto first = static_cast<qint64>(data_.firstSecond * 1000.0);
        timeShiftMs_ = QDateTime::fromMSecsSinceEpoch(first).offsetFromUtc() * 1000.0;
    }
    outline_->TrackChanged();
    Refresh();
}

void CTrackViewDlg::SetCriteriaSource(std::function<void(SelectionCriteria&)> source) {
    criteriaSource_ = std::move(source);
    SelectionChanged();
}

void CTrackViewDlg::SelectionChanged() { refreshTimer_->start(); }

void CTrackViewDlg::Refresh() {
    refreshTimer_->stop();
    selectionPending_ = false;
    if (trackPending_) return ApplyTrack();
    SelectionCriteria criteria;
    if (criteriaSource_ && data_.count > 0) criteriaSource_(criteria);
    data_.SetSelection(criteria);
    altitudeGridBuilt_ = false;
    UpdateProfiles();
    outline_->update();
}

void CTrackViewDlg::UpdateProfiles() {
    const TrackViewData& d = data_;
    const uint32_t columns =
        static_cast<uint32_t>(std::max(kMinimumColumns, altitudeChart_->width()));
    std::vector<uint32_t> kept;
    QList<QPointF> line;
    // The raw altitude and the speed depend on the track alone; a change of
    // the selection redraws only the exported altitude.
    const bool trackSeries = trackSeriesStale_;
    trackSeriesStale_ = false;

    // Altitude against distance: the points' own altitude, and the exported one.
    const double total = d.count ? d.distance.back() : 0.0;
    if (trackSeries) {
        DecimateByColumn(
            d.count, 0.0, total, columns, [&d](uint32_t i) { return d.distance[i]; },
            [&d](uint32_t i) { return static_cast<double>(d.points[i].altitude); }, kept);
        line.reserve(static_cast<qsizetype>(kept.size()));
        for (uint32_t i : kept) line.append(QPointF(d.distance[i] / 1000.0, d.points[i].altitude));
        rawSeries_->replace(line);
    }
    DecimateByColumn(
        static_cast<uint32_t>(d.exported.size()), 0.0, total, columns,
        [&d](uint32_t k) { return d.distance[d.IndexOf(d.exported[k])]; },
        [&d](uint32_t k) { return static_cast<double>(d.exported[k].altitude); }, kept);
    line.clear();
    for (uint32_t k : kept)
        line.append(QPointF(d.distance[d.IndexOf(d.exported[k])] / 1000.0, d.exported[k].altitude));
    exportedSeries_->replace(line);
    distanceAxis_->setRange(0.0, std::max(total / 1000.0, 0.001));
    double low = 0, high = 0;
    if (d.rawAltitude.valid) low = d.rawAltitude.min, high = d.rawAltitude.max;
    if (d.exportedAltitude.valid) {
        low = d.rawAltitude.valid ? std::min(low, d.exportedAltitude.min) : d.exportedAltitude.min;
        high = d.rawAltitude.valid ? std::max(high, d.exportedAltitude.max) : d.exportedAltitude.max;
    }
    SetPaddedRange(altitudeAxis_, low, high, 10.0);

    // Speed against time, for the dated points.
    line.clear();
    if (!trackSeries) {
        // unchanged
    } else if (d.dated == 0) {
        speedSeries_->clear();
        speedNote_->setText(d.count == 0 ? QStringLiteral("No track loaded.")
                                         : QStringLiteral("The points carry no date: the speed "
                                                          "profile has no time axis."));
        speedStack_->setCurrentWidget(speedNote_);
    } else {
        DecimateByColumn(
            d.count, d.firstSecond, d.lastSecond, columns, [&d](uint32_t i) { return d.seconds[i]; },
            [&d](uint32_t i) { return static_cast<double>(d.points[i].speed); }, kept);
        double top = 0;
        for (uint32_t i : kept) {
            line.append(QPointF(d.seconds[i] * 1000.0 - timeShiftMs_, d.points[i].speed));
            top = std::max(top, static_cast<double>(d.points[i].speed));
        }
        speedSeries_->replace(line);
        double from = d.firstSecond * 1000.0 - timeShiftMs_, to = d.lastSecond * 1000.0 - timeShiftMs_;
        if (to - from < 60000.0) from -= 30000.0, to += 30000.0;
        timeAxis_->setFormat(to - from > 2 * 86400000.0 ? QStringLiteral("dd/MM HH:mm")
                                                         : QStringLiteral("HH:mm"));
        timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(from)),
                            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(to)));
        speedAxis_->setRange(0.0, top > 0 ? top * 1.05 : 1.0);
        speedNote_->clear();
        speedStack_->setCurrentWidget(speedChart_);
    }
    UpdateMarkers();
}

void CTrackViewDlg::UpdateMarkers() {
    const TrackViewData& d = data_;
    QList<QPointF> altitude, speed;
    if (d.marked >= 0 && d.marked < d.count) {
        const auto i = static_cast<uint32_t>(d.marked);
        const double km = d.distance[i] / 1000.0;
        if (std::isfinite(d.points[i].altitude)) altitude.append(QPointF(km, d.points[i].altitude));
        const auto hit = std::lower_bound(
            d.exported.begin(), d.exported.end(), &d.points[i],
            [](const ExportEntry& e, const TrackPoint* p) { return e.point < p; });
        if (hit != d.exported.end() && hit->point == &d.points[i] && std::isfinite(hit->altitude))
            altitude.append(QPointF(km, hit->altitude));
        if (!std::isnan(d.seconds[i]) && std::isfinite(d.points[i].speed))
            speed.append(QPointF(d.seconds[i] * 1000.0 - timeShiftMs_, d.points[i].speed));
    }
    altitudeMarker_->replace(altitude);
    speedMarker_->replace(speed);
}

void CTrackViewDlg::MarkPoint(int64_t index) {
    requestedMark_ = index;
    data_.marked = index >= 0 && index < data_.count ? index : -1;
    UpdateMarkers();
    outline_->update();
}

void CTrackViewDlg::Pick(int index) {
    MarkPoint(index);
    emit pointPicked(index);
}

QString CTrackViewDlg::SpeedNote() const { return speedNote_->text(); }

bool CTrackViewDlg::SpeedChartShown() const { return speedStack_->currentWidget() == speedChart_; }

void CTrackViewDlg::ShowView() {
    shown_ = true;
    show();
    raise();
    activateWindow();
}

void CTrackViewDlg::closeEvent(QCloseEvent* event) {
    shown_ = false;
    event->accept();
}

void CTrackViewDlg::RestorePlacement() {
    const WindowPlacement placement = ReadTrackViewPlacement();
    shownAtExit_ = placement.shown;
    if (placement.hasSize)
        resize(std::clamp(placement.width, minimumSizeHint().width(), 16384),
               std::clamp(placement.height, minimumSizeHint().height(), 16384));
    if (placement.hasPosition) {
        move(KeepOnScreen(QPoint(placement.x, placement.y), frameGeometry().size()));
        placed_ = true;
    }
}

void CTrackViewDlg::SavePlacement(SettingsKey key) {
    WindowPlacement placement;
    // A view never shown nor placed has no position of its own yet.
    placement.hasPosition = placement.hasSize = placed_;
    placement.x = pos().x();
    placement.y = pos().y();
    placement.width = width();
    placement.height = height();
    placement.shown = shown_;
    WriteTrackViewPlacement(placement, key);
}

}  // namespace ferolin
