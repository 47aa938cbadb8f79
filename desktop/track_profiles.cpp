#include "desktop/track_profiles.h"

#include <QComboBox>
#include <QFontInfo>
#include <QGraphicsLayout>
#include <QDateTime>
#include <QCategoryAxis>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QStackedWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "core/axis_ticks.h"
#include "desktop/point_readout.h"

namespace ferolin {

namespace {

constexpr int kMinimumColumns = 200;  // profile columns at the least
// Lines a profile draws at the most: beyond, the last one joins the runs
// left, so that a file of thousands of segments stays quick to draw.
constexpr size_t kMostRuns = 200;
// Room an axis keeps around its title's text (the chart's text margins).
constexpr double kTitleRoom = 12;
// The smallest point size a title shrinks to on a short axis.
constexpr double kSmallestTitlePoints = 6.5;

// Ticks that fit a length of `pixels`, one per `spacing` pixels at most.
int IntervalsFor(int pixels, int spacing, int most) {
    return std::clamp(pixels / spacing, 2, most);
}

void ApplyTicks(QValueAxis* axis, const AxisTicks& t) {
    axis->setRange(t.first, t.last());
    axis->setTickCount(t.intervals + 1);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(t.decimals) + QStringLiteral("f"));
}

// A distance axis from the track's start to its end, with round ticks
// inside: no padding beyond the data.
void ApplyTicksWithin(QValueAxis* axis, double min, double max, int maxTicks) {
    const AxisTicks t = ValueTicksWithin(min, max, maxTicks);
    // The axis makes an item for every tick of the range it holds: the ticks
    // are fixed while the range and the step change, so that no moment pairs
    // a new range with an old step (a hundred thousand ticks), and dynamic
    // only once both agree.
    axis->setTickType(QValueAxis::TicksFixed);
    axis->setTickCount(2);
    axis->setRange(min, max);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(t.decimals) + QStringLiteral("f"));
    if (!(t.step > 0) || (max - min) / t.step > 4.0 * maxTicks + 4) return;
    axis->setTickAnchor(t.first);
    axis->setTickInterval(t.step);
    axis->setTickType(QValueAxis::TicksDynamic);
}

// A time axis from the first dated point to the last, its labels on the
// round times inside (the points' own clock, read as UTC): a category axis
// whose boundaries are those times, so that the axis does not have to start
// or end on one.
void ApplyTimeTicks(QCategoryAxis* axis, double first, double last, int maxTicks) {
    if (!(last > first)) last = first + 1;
    const AxisTicks t = TimeTicksWithin(first, last, maxTicks);
    const bool longSpan = last - first > 86400;
    const QString format = t.step >= 86400 ? QStringLiteral("dd/MM")
                           : longSpan      ? QStringLiteral("dd/MM HH:mm")
                           : t.step < 60   ? QStringLiteral("HH:mm:ss")
                                           : QStringLiteral("HH:mm");
    for (const QString& label : axis->categoriesLabels()) axis->remove(label);
    axis->setStartValue(first * 1000.0);
    axis->setRange(first * 1000.0, last * 1000.0);
    for (int i = 0; i <= t.intervals; ++i) {
        const double tick = t.first + i * t.step;
        const QDateTime at =
            QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(tick * 1000.0)), Qt::UTC);
        axis->append(at.toString(format), tick * 1000.0);
    }
}

// The black dot that marks the selected point on a profile.
QScatterSeries* MakeMarker() {
    auto* marker = new QScatterSeries;
    marker->setMarkerSize(10);
    marker->setColor(Qt::black);
    marker->setBorderColor(Qt::white);
    return marker;
}

QChart* MakeChart(const QString& title, std::initializer_list<QAbstractSeries*> series,
                  QAbstractAxis* x, QAbstractAxis* y) {
    auto* chart = new QChart;
    chart->setTitle(title);
    // Thin margins leave the plot what a short pane has.
    chart->setMargins(QMargins(2, 2, 4, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setBackgroundRoundness(0);
    for (QAbstractSeries* s : series) chart->addSeries(s);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : series) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    return chart;
}

// Fills `line` with the points of a profile drawn run by run, and `runs` with
// the index in `line` where each run starts. A run ends before point i where
// `newSegment(i)` says the line breaks there, a new segment or a pause
// (called once per point, in order) and, when `breakAtMissing`, around each point whose value is not
// finite. Each run is thinned by column over the whole profile's span, as
// the profile was in one piece: `xOf` is the position that picks the column,
// `pointOf` the point drawn.
template <class XOf, class YOf, class PointOf, class NewSegment>
void BuildRuns(uint32_t count, double xMin, double xMax, uint32_t columns, XOf xOf, YOf yOf,
               PointOf pointOf, NewSegment newSegment, bool breakAtMissing,
               std::vector<uint32_t>& kept, QList<QPointF>& line, std::vector<qsizetype>& runs) {
    line.clear();
    runs.clear();
    uint32_t start = 0;
    auto close = [&](uint32_t end) {
        if (end <= start) return;
        const uint32_t first = start;
        DecimateByColumn(
            end - first, xMin, xMax, columns, [&](uint32_t j) { return xOf(first + j); },
            [&](uint32_t j) { return yOf(first + j); }, kept);
        if (kept.empty()) return;
        runs.push_back(line.size());
        for (uint32_t j : kept) line.append(pointOf(first + j));
    };
    for (uint32_t i = 0; i < count; ++i) {
        const bool apart = newSegment(i);
        const bool missing = breakAtMissing && !std::isfinite(yOf(i));
        if (!apart && !missing) continue;
        close(i);
        start = missing ? i + 1 : i;
    }
    close(count);
}

}  // namespace

QList<QLineSeries*> TrackProfiles::ProfileLines::Shown() const {
    return QList<QLineSeries*>(series.begin(), series.begin() + static_cast<qsizetype>(used));
}

void TrackProfiles::ShowRuns(ProfileLines& lines, const QList<QPointF>& line,
                             const std::vector<qsizetype>& runs) {
    const size_t n = std::min(runs.size(), kMostRuns);
    if (n > lines.series.size()) {
        // New lines copy the first one; its legend entry stands for them all.
        QLineSeries* first = lines.series.front();
        QChart* chart = first->chart();
        const QList<QAbstractAxis*> axes = first->attachedAxes();
        while (lines.series.size() < n) {
            auto* s = new QLineSeries;
            s->setName(first->name());
            s->setPen(first->pen());
            chart->addSeries(s);
            for (QAbstractAxis* axis : axes) s->attachAxis(axis);
            for (QLegendMarker* marker : chart->legend()->markers(s)) marker->setVisible(false);
            lines.series.push_back(s);
        }
        // A line added later is drawn over the ones before: put the lines
        // meant to lie above back on top.
        if (lines.above) {
            for (size_t k = 0; k < lines.above->series.size(); ++k) {
                QLineSeries* s = lines.above->series[k];
                chart->removeSeries(s);
                chart->addSeries(s);
                for (QAbstractAxis* axis : axes) s->attachAxis(axis);
                if (k > 0)
                    for (QLegendMarker* marker : chart->legend()->markers(s))
                        marker->setVisible(false);
            }
        }
    }
    if (n == 1) {
        lines.series.front()->replace(line);
    } else {
        for (size_t r = 0; r < n; ++r) {
            const qsizetype from = runs[r], to = r + 1 < n ? runs[r + 1] : line.size();
            lines.series[r]->replace(line.mid(from, to - from));
        }
    }
    for (size_t r = n; r < std::max<size_t>(lines.used, 1); ++r) lines.series[r]->clear();
    lines.used = n;
}

TrackProfiles::TrackProfiles(const TrackViewData& viewData, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), data_(viewData) {
    altitudeChart_ = new ProfileChart(this);
    altitudeChart_->setObjectName(QStringLiteral("altitudeProfile"));
    speedChart_ = new ProfileChart(this);
    speedChart_->setObjectName(QStringLiteral("speedProfile"));
    speedNote_ = new QLabel(this);
    speedNote_->setObjectName(QStringLiteral("speedNote"));
    speedNote_->setAlignment(Qt::AlignCenter);
    speedNote_->setWordWrap(true);
    speedStack_ = new QStackedWidget(this);
    speedStack_->addWidget(speedChart_);
    speedStack_->addWidget(speedNote_);
    BuildCharts();
    auto* timePane = new QWidget(this);
    auto* column = new QVBoxLayout(timePane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    timeChoice_ = new QComboBox(timePane);
    timeChoice_->setObjectName(QStringLiteral("timeProfileChoice"));
    timeChoice_->hide();
    column->addWidget(timeChoice_, 0, Qt::AlignRight);
    column->addWidget(speedStack_, 1);
    addWidget(altitudeChart_);
    addWidget(timePane);
    connect(timeChoice_, &QComboBox::activated, this, &TrackProfiles::ChooseTimeProfile);

    connect(altitudeChart_, &ProfileChart::pointPicked, this, &TrackProfiles::pointPicked);
    connect(speedChart_, &ProfileChart::pointPicked, this, &TrackProfiles::pointPicked);
    connect(altitudeChart_, &ProfileChart::spanDragged, this,
            [this](double from, double to) { PickSpan(true, from, to); });
    connect(speedChart_, &ProfileChart::spanDragged, this,
            [this](double from, double to) { PickSpan(false, from, to); });
    // The readout of the point under the mouse, written where the outline's
    // is written.
    for (ProfileChart* chart : {altitudeChart_, speedChart_})
        connect(chart, &ProfileChart::pointHovered, this, [this, chart](int index) {
            chart->ShowReadout(index >= 0 ? PointReadout(data_, static_cast<uint32_t>(index)) : QString());
        });
    // Narrower or wider profiles take fewer or more columns and ticks.
    for (ProfileChart* chart : {altitudeChart_, speedChart_})
        connect(chart, &ProfileChart::resized, this, [this] {
            trackLinesStale_ = true;
            Update();
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
                y = i < n ? d.RawAltitude(i) : d.ExportedAltitude(i - n);
                return std::isfinite(y);  // a point without altitude is not on the line
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
                x = TimeValue(i);
                y = TimeProfileValue(i);
                return !std::isnan(d.seconds[i]);
            });
            speedGridBuilt_ = true;
        }
        return speedGrid_.Nearest(value.x(), value.y(), perX, perY);
    };
}

void TrackProfiles::BuildCharts() {
    auto* rawSeries = new QLineSeries;
    rawSeries->setName(QStringLiteral("Raw altitude"));
    rawSeries->setPen(QPen(QColor(150, 150, 150), 1.5));
    raw_.series = {rawSeries};
    raw_.above = &exported_;
    auto* exportedSeries = new QLineSeries;
    exportedSeries->setName(QStringLiteral("Exported altitude"));
    exportedSeries->setPen(QPen(QColor(30, 90, 200), 2));
    exported_.series = {exportedSeries};
    altitudeMarker_ = MakeMarker();
    distanceAxis_ = new QValueAxis;
    distanceAxis_->setTitleText(QStringLiteral("Distance (km)"));
    altitudeAxis_ = new QValueAxis;
    altitudeAxis_->setTitleText(QStringLiteral("Altitude (m)"));
    QChart* altitude = MakeChart(QStringLiteral("Altitude profile"),
                                 {rawSeries, exportedSeries, altitudeMarker_}, distanceAxis_,
                                 altitudeAxis_);
    for (QLegendMarker* marker : altitude->legend()->markers(altitudeMarker_))
        marker->setVisible(false);
    altitudeChart_->ReplaceChart(altitude);

    auto* speedSeries = new QLineSeries;
    speedSeries->setName(QStringLiteral("Speed"));
    speedSeries->setPen(QPen(QColor(200, 100, 20), 1.5));
    speed_.series = {speedSeries};
    speedMarker_ = MakeMarker();
    timeAxis_ = new QCategoryAxis;
    timeAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    timeAxis_->setTitleText(QStringLiteral("Time"));
    speedAxis_ = new QValueAxis;
    speedAxis_->setTitleText(QStringLiteral("Speed (km/h)"));
    QChart* speed = MakeChart(QStringLiteral("Speed profile"), {speedSeries, speedMarker_},
                              timeAxis_, speedAxis_);
    speed->legend()->hide();
    speedChart_->ReplaceChart(speed);
    titleFont_ = speedAxis_->titleFont();
    // Titles are fitted once the chart has laid out its plot.
    for (QChart* chart : {altitude, speed})
        connect(chart, &QChart::plotAreaChanged, this, &TrackProfiles::FitTitles);
}

QString TrackProfiles::FullTitle(const QAbstractAxis* axis) const {
    if (axis == distanceAxis_) return QStringLiteral("Distance (km)");
    if (axis == altitudeAxis_) return QStringLiteral("Altitude (m)");
    if (axis == timeAxis_) return QStringLiteral("Time");
    if (axis != speedAxis_) return QString();
    const QString name = timeChannel_ < 0 ? QStringLiteral("Speed")
                                          : QString::fromUtf8(kSensorTable[timeChannel_].name);
    const QString unit = timeChannel_ < 0 ? QStringLiteral("km/h")
                                          : QString::fromUtf8(kSensorTable[timeChannel_].unit);
    return name + QStringLiteral(" (") + unit +
           (speedAxisNote_.isEmpty() ? QString() : QStringLiteral(", ") + speedAxisNote_) +
           QLatin1Char(')');
}

void TrackProfiles::FitTitles() {
    struct Fit {
        QChart* chart;
        QAbstractAxis* axis;
        double length;
    };
    const QRectF altitudePlot = altitudeChart_->chart()->plotArea();
    const QRectF speedPlot = speedChart_->chart()->plotArea();
    bool noteDropped = false;
    for (const Fit& f : {Fit{altitudeChart_->chart(), distanceAxis_, altitudePlot.width()},
                         Fit{altitudeChart_->chart(), altitudeAxis_, altitudePlot.height()},
                         Fit{speedChart_->chart(), timeAxis_, speedPlot.width()},
                         Fit{speedChart_->chart(), speedAxis_, speedPlot.height()}}) {
        if (f.length <= 0) continue;  // not laid out yet
        const QString full = FullTitle(f.axis);
        // The note of the speed's title goes first, into the chart's title.
        QString brief = full;
        if (f.axis == speedAxis_ && !speedAxisNote_.isEmpty())
            brief = full.left(full.indexOf(QStringLiteral(", "))) + QLatin1Char(')');
        auto fits = [&](const QFont& font, const QString& text) {
            return QFontMetricsF(font).horizontalAdvance(text) + kTitleRoom <= f.length;
        };
        QFont font = titleFont_;
        if (font.pointSizeF() <= 0)  // a font sized in pixels
            font.setPointSizeF(QFontInfo(font).pointSizeF());
        QString shown = fits(font, full) ? full : brief;
        // A title that does not fit even so shrinks, never cut.
        while (!fits(font, shown) && font.pointSizeF() > kSmallestTitlePoints)
            font.setPointSizeF(std::max(kSmallestTitlePoints, font.pointSizeF() - 0.5));
        if (f.axis->titleFont() != font) f.axis->setTitleFont(font);
        if (f.axis->titleText() != shown) f.axis->setTitleText(shown);
        if (f.axis == speedAxis_ && shown != full) noteDropped = true;
    }
    const QString name = timeChannel_ < 0 ? QStringLiteral("Speed")
                                          : QString::fromUtf8(kSensorTable[timeChannel_].name);
    const QString title = name + QStringLiteral(" profile") +
                          (noteDropped ? QStringLiteral(" (") + speedAxisNote_ + QLatin1Char(')')
                                       : QString());
    if (speedChart_->chart()->title() != title) speedChart_->chart()->setTitle(title);
}

void TrackProfiles::PickSpan(bool altitude, double fromX, double toX) {
    const TrackViewData& d = data_;
    const double low = std::min(fromX, toX), high = std::max(fromX, toX);
    int64_t first = -1, last = -1;
    if (altitude) {
        // The distance never falls along the track: the span is a run of points.
        const auto begin = std::lower_bound(d.distance.begin(), d.distance.end(), low * 1000.0);
        const auto end = std::upper_bound(d.distance.begin(), d.distance.end(), high * 1000.0);
        if (begin < end) {
            first = begin - d.distance.begin();
            last = end - d.distance.begin() - 1;
        }
    } else {
        // Times may step back (a clock set anew): the first and last points
        // whose time lies inside.
        for (uint32_t i = 0; i < d.count; ++i) {
            const double t = TimeValue(i);
            if (!(t >= low && t <= high)) continue;
            if (first < 0) first = i;
            last = i;
        }
    }
    if (first >= 0) emit spanPicked(static_cast<int>(first), static_cast<int>(last));
}

void TrackProfiles::TrackChanged() {
    trackLinesStale_ = true;
    altitudeGridBuilt_ = speedGridBuilt_ = false;
    altitudeGrid_ = NearestPointIndex();
    speedGrid_ = NearestPointIndex();
    // The speed first, then each channel the track carries.
    timeChannel_ = -1;
    timeChoice_->clear();
    timeChoice_->addItem(QStringLiteral("Speed"), -1);
    for (int c = 0; c < kSensorCount; ++c)
        if (data_.sensors && data_.sensors->Has(kSensorTable[c].sensor))
            timeChoice_->addItem(QString::fromUtf8(kSensorTable[c].name), c);
    timeChoice_->setVisible(timeChoice_->count() > 1);
}

double TrackProfiles::TimeProfileValue(uint32_t i) const {
    if (timeChannel_ < 0) return data_.speeds[i];
    const float v = data_.sensors->Value(kSensorTable[timeChannel_].sensor, i);
    return IsSensorValue(v) ? v : std::numeric_limits<double>::quiet_NaN();
}

void TrackProfiles::ChooseTimeProfile(int index) {
    timeChannel_ = timeChoice_->itemData(index).toInt();
    speedGridBuilt_ = false;
    speedGrid_ = NearestPointIndex();
    UpdateSpeed(static_cast<uint32_t>(std::max(kMinimumColumns, altitudeChart_->width())));
    UpdateMarkers();
}

void TrackProfiles::SelectionChanged() { altitudeGridBuilt_ = false; }

void TrackProfiles::Update() {
    const uint32_t columns =
        static_cast<uint32_t>(std::max(kMinimumColumns, altitudeChart_->width()));
    // The raw altitude and the speed depend on the track alone; a change of
    // the selection redraws only the exported altitude.
    const bool trackLines = trackLinesStale_;
    trackLinesStale_ = false;
    UpdateAltitude(columns, trackLines);
    if (trackLines) UpdateSpeed(columns);
    UpdateMarkers();
}

void TrackProfiles::UpdateAltitude(uint32_t columns, bool trackLines) {
    const TrackViewData& d = data_;
    std::vector<uint32_t> kept;
    std::vector<qsizetype> runs;
    QList<QPointF> line;
    const double total = d.count ? d.distance.back() : 0.0;
    // Each line stops at the end of a segment, at a pause and around a point
    // without altitude.
    if (trackLines) {
        BuildRuns(
            d.count, 0.0, total, columns, [&d](uint32_t i) { return d.distance[i]; },
            [&d](uint32_t i) { return d.RawAltitude(i); },
            [&d](uint32_t i) { return QPointF(d.distance[i] / 1000.0, d.RawAltitude(i)); },
            [&d](uint32_t i) { return d.BreakBefore(i); }, true, kept, line, runs);
        ShowRuns(raw_, line, runs);
    }
    // The export list breaks wherever the track breaks between two of its
    // entries, even when the entry that starts the segment was left out.
    uint32_t before = 0;
    auto exportBreak = [&d, &before](uint32_t k) {
        const uint32_t index = d.IndexOf(d.exported[k]);
        const bool apart = k > 0 && d.BreakBetween(before, index);
        before = index;
        return apart;
    };
    BuildRuns(
        static_cast<uint32_t>(d.exported.size()), 0.0, total, columns,
        [&d](uint32_t k) { return d.distance[d.IndexOf(d.exported[k])]; },
        [&d](uint32_t k) { return d.ExportedAltitude(k); },
        [&d](uint32_t k) {
            return QPointF(d.distance[d.IndexOf(d.exported[k])] / 1000.0, d.ExportedAltitude(k));
        },
        exportBreak, true, kept, line, runs);
    ShowRuns(exported_, line, runs);
    ApplyTicksWithin(distanceAxis_, 0.0, std::max(total / 1000.0, 0.001),
                     IntervalsFor(altitudeChart_->width(), 90, 10) + 1);
    double low = 0, high = 0;
    if (d.rawAltitude.valid) low = d.rawAltitude.min, high = d.rawAltitude.max;
    if (d.exportedAltitude.valid) {
        low = d.rawAltitude.valid ? std::min(low, d.exportedAltitude.min) : d.exportedAltitude.min;
        high = d.rawAltitude.valid ? std::max(high, d.exportedAltitude.max) : d.exportedAltitude.max;
    }
    ApplyTicks(altitudeAxis_, ValueTicks(low, high, IntervalsFor(altitudeChart_->height(), 45, 8)));
}

void TrackProfiles::UpdateSpeed(uint32_t columns) {
    const TrackViewData& d = data_;
    if (d.dated == 0) {
        ShowRuns(speed_, {}, {});
        speedNote_->setText(d.count == 0 ? QStringLiteral("No track loaded.")
                                         : QStringLiteral("The points carry no date: the speed "
                                                          "profile has no time axis."));
        speedStack_->setCurrentWidget(speedNote_);
        return;
    }
    // The line stops at the end of a segment and at a pause; a point without
    // a value (a channel recorded now and then) is passed over.
    std::vector<uint32_t> kept;
    std::vector<qsizetype> runs;
    QList<QPointF> line;
    BuildRuns(
        d.count, d.firstSecond, d.lastSecond, columns, [&d](uint32_t i) { return d.seconds[i]; },
        [this](uint32_t i) { return TimeProfileValue(i); },
        [this](uint32_t i) { return QPointF(TimeValue(i), TimeProfileValue(i)); },
        [&d](uint32_t i) { return d.BreakBefore(i); }, false, kept, line, runs);
    // The speed from 0; a channel between its own extremes.
    double low = timeChannel_ < 0 ? 0.0 : std::numeric_limits<double>::infinity(), top = 0;
    for (qsizetype k = 0; k < line.size(); ++k) {
        const double v = line[k].y();
        low = std::min(low, v);
        top = k == 0 && timeChannel_ >= 0 ? v : std::max(top, v);
    }
    if (!std::isfinite(low)) low = 0, top = 1;
    ShowRuns(speed_, line, runs);
    speedAxisNote_ = timeChannel_ < 0 && d.speedDerived ? QStringLiteral("from positions") : QString();
    ApplyTimeTicks(timeAxis_, d.firstSecond, d.lastSecond,
                   IntervalsFor(speedChart_->width(), 100, 8) + 1);
    if (timeChannel_ < 0 && !(top > 0)) top = 1.0;
    ApplyTicks(speedAxis_, ValueTicks(low, top, IntervalsFor(speedChart_->height(), 45, 8)));
    speedNote_->clear();
    speedStack_->setCurrentWidget(speedChart_);
    FitTitles();
}

void TrackProfiles::UpdateMarkers() {
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
        if (!std::isnan(d.seconds[i]) && std::isfinite(TimeProfileValue(i)))
            speed.append(QPointF(TimeValue(i), TimeProfileValue(i)));
    }
    altitudeMarker_->replace(altitude);
    speedMarker_->replace(speed);
}

QString TrackProfiles::SpeedNote() const { return speedNote_->text(); }

bool TrackProfiles::SpeedChartShown() const { return speedStack_->currentWidget() == speedChart_; }

}  // namespace ferolin
