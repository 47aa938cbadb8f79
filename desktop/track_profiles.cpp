#include "desktop/track_profiles.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
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

namespace ferolin {

namespace {

constexpr int kMinimumColumns = 200;  // profile columns at the least
// Lines a profile draws at the most: beyond, the last one joins the runs
// left, so that a file of thousands of segments stays quick to draw.
constexpr size_t kMostRuns = 200;

// Ticks that fit a length of `pixels`, one per `spacing` pixels at most.
int IntervalsFor(int pixels, int spacing, int most) {
    return std::clamp(pixels / spacing, 2, most);
}

void ApplyTicks(QValueAxis* axis, const AxisTicks& t) {
    axis->setRange(t.first, t.last());
    axis->setTickCount(t.intervals + 1);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(t.decimals) + QStringLiteral("f"));
}

// Round times of the points' own clock, shown by an axis that reads local
// time: `shiftMs` turns one into the other.
void ApplyTimeTicks(QDateTimeAxis* axis, const AxisTicks& t, double shiftMs) {
    const bool days = t.step >= 86400, longSpan = t.last() - t.first > 86400;
    axis->setFormat(days       ? QStringLiteral("dd/MM")
                    : longSpan ? QStringLiteral("dd/MM HH:mm")
                    : t.step < 60 ? QStringLiteral("HH:mm:ss")
                                  : QStringLiteral("HH:mm"));
    axis->setTickCount(t.intervals + 1);
    axis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(t.first * 1000.0 - shiftMs)),
                   QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(t.last() * 1000.0 - shiftMs)));
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
    chart->setMargins(QMargins(4, 4, 4, 4));
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
// `newSegment(i)` says it starts another segment (called once per point, in
// order) and, when `breakAtMissing`, around each point whose value is not
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
    timeAxis_ = new QDateTimeAxis;
    timeAxis_->setTitleText(QStringLiteral("Time"));
    speedAxis_ = new QValueAxis;
    speedAxis_->setTitleText(QStringLiteral("Speed (km/h)"));
    QChart* speed = MakeChart(QStringLiteral("Speed profile"), {speedSeries, speedMarker_},
                              timeAxis_, speedAxis_);
    speed->legend()->hide();
    speedChart_->ReplaceChart(speed);
}

void TrackProfiles::TrackChanged() {
    trackLinesStale_ = true;
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
    const TrackDocument* doc = d.extras ? &d.extras->document : nullptr;
    std::vector<uint32_t> kept;
    std::vector<qsizetype> runs;
    QList<QPointF> line;
    const double total = d.count ? d.distance.back() : 0.0;
    // Each line stops at the end of a segment and around a point without altitude.
    if (trackLines) {
        SegmentWalker walker(doc);
        BuildRuns(
            d.count, 0.0, total, columns, [&d](uint32_t i) { return d.distance[i]; },
            [&d](uint32_t i) { return d.RawAltitude(i); },
            [&d](uint32_t i) { return QPointF(d.distance[i] / 1000.0, d.RawAltitude(i)); },
            [&walker](uint32_t i) { return walker.Next(i); }, true, kept, line, runs);
        ShowRuns(raw_, line, runs);
    }
    SegmentWalker walker(doc);
    BuildRuns(
        static_cast<uint32_t>(d.exported.size()), 0.0, total, columns,
        [&d](uint32_t k) { return d.distance[d.IndexOf(d.exported[k])]; },
        [&d](uint32_t k) { return d.ExportedAltitude(k); },
        [&d](uint32_t k) {
            return QPointF(d.distance[d.IndexOf(d.exported[k])] / 1000.0, d.ExportedAltitude(k));
        },
        [&d, &walker](uint32_t k) { return walker.Next(d.IndexOf(d.exported[k])); }, true, kept,
        line, runs);
    ShowRuns(exported_, line, runs);
    ApplyTicks(distanceAxis_,
               ValueTicks(0.0, std::max(total / 1000.0, 0.001),
                          IntervalsFor(altitudeChart_->width(), 90, 10)));
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
    // The line stops at the end of a segment; a point without a value (a
    // channel recorded now and then) is passed over.
    std::vector<uint32_t> kept;
    std::vector<qsizetype> runs;
    QList<QPointF> line;
    SegmentWalker walker(d.extras ? &d.extras->document : nullptr);
    BuildRuns(
        d.count, d.firstSecond, d.lastSecond, columns, [&d](uint32_t i) { return d.seconds[i]; },
        [this](uint32_t i) { return TimeProfileValue(i); },
        [this](uint32_t i) { return QPointF(TimeValue(i), TimeProfileValue(i)); },
        [&walker](uint32_t i) { return walker.Next(i); }, false, kept, line, runs);
    // The speed from 0; a channel between its own extremes.
    double low = timeChannel_ < 0 ? 0.0 : std::numeric_limits<double>::infinity(), top = 0;
    for (qsizetype k = 0; k < line.size(); ++k) {
        const double v = line[k].y();
        low = std::min(low, v);
        top = k == 0 && timeChannel_ >= 0 ? v : std::max(top, v);
    }
    if (!std::isfinite(low)) low = 0, top = 1;
    ShowRuns(speed_, line, runs);
    const QString name = timeChannel_ < 0 ? QStringLiteral("Speed")
                                          : QString::fromUtf8(kSensorTable[timeChannel_].name);
    const QString unit = timeChannel_ < 0 ? QStringLiteral("km/h")
                                          : QString::fromUtf8(kSensorTable[timeChannel_].unit);
    speedChart_->chart()->setTitle(name + QStringLiteral(" profile"));
    speedAxis_->setTitleText(timeChannel_ < 0 && d.speedDerived
                                 ? QStringLiteral("Speed (km/h, from positions)")
                                 : name + QStringLiteral(" (") + unit + QStringLiteral(")"));
    ApplyTimeTicks(timeAxis_,
                   TimeTicks(d.firstSecond, d.lastSecond, IntervalsFor(speedChart_->width(), 100, 8)),
                   timeShiftMs_);
    if (timeChannel_ < 0 && !(top > 0)) top = 1.0;
    ApplyTicks(speedAxis_, ValueTicks(low, top, IntervalsFor(speedChart_->height(), 45, 8)));
    speedNote_->clear();
    speedStack_->setCurrentWidget(speedChart_);
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
