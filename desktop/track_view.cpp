#include "desktop/track_view.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScatterSeries>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "convert/driver.h"
#include "desktop/screen_place.h"
#include "desktop/selection_panel.h"

namespace ferolin {

namespace {

constexpr int kMinimumColumns = 200;  // profile columns at the least

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

void CTrackViewDlg::FollowSelection(const SelectionPanel& panel, const CurrentTrack& track) {
    SetCriteriaSource([&panel, &track](SelectionCriteria& criteria) {
        panel.Criteria(track.fieldMask, criteria);
    });
    connect(&panel, &SelectionPanel::changed, this, &CTrackViewDlg::SelectionChanged);
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
