#include "desktop/track_view.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "convert/driver.h"
#include "desktop/figures_strip.h"
#include "desktop/outline_map.h"
#include "desktop/screen_place.h"
#include "desktop/selection_panel.h"
#include "desktop/tile_source.h"

namespace ferolin {

TrackViewWindow::TrackViewWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
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

    outline_ = new TrackOutline(data_, this);
    profiles_ = new TrackProfiles(data_, this);
    strip_ = new FiguresStrip(this);
    auto* panes = new QSplitter(Qt::Vertical);
    panes->addWidget(outline_);
    panes->addWidget(profiles_);
    panes->setStretchFactor(0, 3);
    panes->setStretchFactor(1, 2);
    // The document's tracks, waypoints and routes, beside the panes while it
    // holds more than one track, or waypoints or routes.
    parts_ = new QListWidget;
    parts_->setObjectName(QStringLiteral("documentParts"));
    parts_->hide();
    auto* beside = new QSplitter(Qt::Horizontal);
    beside->addWidget(panes);
    beside->addWidget(parts_);
    beside->setStretchFactor(0, 4);
    beside->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(BuildMapBar());
    layout->addWidget(beside, 1);
    layout->addWidget(strip_);
    // 900 x 680 where the screen holds it, the frame included.
    resize(FitSize(QSize(900, 680), minimumSizeHint(), FrameMargins(*this), screen()->availableGeometry()));

    connect(outline_, &TrackOutline::pointPicked, this, &TrackViewWindow::Pick);
    connect(profiles_, &TrackProfiles::pointPicked, this, &TrackViewWindow::Pick);
    connect(profiles_, &TrackProfiles::spanPicked, this, &TrackViewWindow::spanPicked);
    connect(strip_, &FiguresStrip::thresholdChanged, this, &TrackViewWindow::SelectionChanged);
    connect(parts_, &QListWidget::currentRowChanged, this, &TrackViewWindow::ChoosePart);

    RestorePlacement();
    profiles_->Update();
}

TrackViewWindow::~TrackViewWindow() { SavePlacement(); }

// The map's controls above the outline: the switch, "Fit track" and the
// tile source, each kept in the settings by the outline's map.
QWidget* TrackViewWindow::BuildMapBar() {
    OutlineMap& map = *outline_->map();
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(2, 0, 2, 0);
    mapCheck_ = new QCheckBox(QStringLiteral("Map"), bar);
    mapCheck_->setObjectName(QStringLiteral("mapCheck"));
    mapCheck_->setChecked(map.Shown());
    fitTrack_ = new QAction(QStringLiteral("Fit track"), this);
    fitTrack_->setObjectName(QStringLiteral("fitTrackAction"));
    fitTrack_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    fitTrack_->setToolTip(QStringLiteral("Show the whole track again (Ctrl+0)"));
    addAction(fitTrack_);
    auto* fit = new QPushButton(fitTrack_->text(), bar);
    fit->setObjectName(QStringLiteral("fitTrackButton"));
    fit->setToolTip(fitTrack_->toolTip());
    auto* label = new QLabel(QStringLiteral("Tiles:"), bar);
    mapSource_ = new QLineEdit(map.Source(), bar);
    mapSource_->setObjectName(QStringLiteral("mapSource"));
    mapSource_->setPlaceholderText(TileSource::DefaultText());
    mapSource_->setToolTip(QStringLiteral(
        "A web map's tiles: a URL with {z}, {x} and {y}, or a file:// folder of z/x/y.png "
        "tiles; empty for OpenStreetMap"));
    label->setBuddy(mapSource_);
    // Why a typed source was refused, beside the field that still holds it.
    auto* sourceMessage = new QLabel(bar);
    sourceMessage->setObjectName(QStringLiteral("mapSourceMessage"));
    QPalette warning = sourceMessage->palette();
    warning.setColor(QPalette::WindowText, QColor(200, 30, 30));
    sourceMessage->setPalette(warning);
    sourceMessage->hide();
    row->addWidget(mapCheck_);
    row->addWidget(fit);
    row->addSpacing(12);
    row->addWidget(label);
    row->addWidget(mapSource_, 1);
    row->addWidget(sourceMessage);
    mapSource_->setEnabled(map.Shown());

    connect(mapCheck_, &QCheckBox::toggled, this, [this](bool on) {
        outline_->map()->SetShown(on);
        mapSource_->setEnabled(on);
    });
    connect(fitTrack_, &QAction::triggered, outline_->map(), &OutlineMap::FitTrack);
    connect(fit, &QPushButton::clicked, fitTrack_, &QAction::trigger);
    // A refused source leaves the map, and the settings, on the previous
    // one; the typed text stays in the field to be corrected.
    connect(mapSource_, &QLineEdit::editingFinished, this, [this, sourceMessage] {
        QString why;
        const bool taken = outline_->map()->SetSource(mapSource_->text(), &why);
        sourceMessage->setText(taken ? QString() : why);
        sourceMessage->setAccessibleName(taken ? QString() : QStringLiteral("Tile source refused: ") + why);
        sourceMessage->setVisible(!taken);
        mapSource_->setAccessibleDescription(taken ? QString() : why);
        if (taken) mapSource_->setText(outline_->map()->Source());
    });
    // What the outline is coloured by, at the end of the row: the choices
    // of the track shown, refilled with each track.
    auto* colourLabel = new QLabel(QStringLiteral("Colour:"), bar);
    auto* colour = new QComboBox(bar);
    colour->setObjectName(QStringLiteral("colourChannel"));
    colour->setToolTip(QStringLiteral("What the outline's colours show"));
    colourLabel->setBuddy(colour);
    row->addSpacing(12);
    row->addWidget(colourLabel);
    row->addWidget(colour);
    auto fillColours = [this, colour] {
        const QSignalBlocker quiet(colour);
        colour->clear();
        for (const OutlineColour c : outline_->ColourChoices())
            colour->addItem(OutlineColourName(c), static_cast<int>(c));
        colour->setCurrentIndex(colour->findData(static_cast<int>(outline_->ColourShown())));
    };
    fillColours();
    connect(outline_, &TrackOutline::colourChoicesChanged, colour, fillColours);
    connect(colour, &QComboBox::activated, this, [this, colour](int index) {
        outline_->SetColour(static_cast<OutlineColour>(colour->itemData(index).toInt()));
    });
    return bar;
}

void TrackViewWindow::SetTrack(const TrackPoint* points, uint32_t count,
                               const SensorChannels* sensors) {
    pendingPoints_ = points;
    pendingCount_ = count;
    pendingSensors_ = sensors;
    trackPending_ = true;
    requestedMark_ = -1;
    // Nothing of the previous track may be touched once it is released. The
    // new one is taken in when the events of the change are through (the main
    // dialog fills the time window for it after this call), so that its
    // export list is built once, with its own settings.
    data_.SetTrack(nullptr, 0);
    profiles_->TrackChanged();
    outline_->TrackChanged();
    refreshTimer_->start();
}

void TrackViewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    placed_ = true;
    if (trackPending_)
        ApplyTrack();
    else if (selectionPending_)
        Refresh();
}

void TrackViewWindow::ApplyTrack() {
    trackPending_ = false;
    data_.SetTrack(pendingPoints_, pendingCount_, pendingSensors_);
    data_.marked = requestedMark_ < data_.count ? requestedMark_ : -1;
    profiles_->TrackChanged();
    outline_->TrackChanged();
    ListParts();
    Refresh();
}

// One row per track (its name, or "Track N", and its points), waypoint and
// route, in that order.
void TrackViewWindow::ListParts() {
    const QSignalBlocker quiet(parts_);
    parts_->clear();
    partPoints_.clear();
    const TrackDocument* document = data_.extras ? &data_.extras->document : nullptr;
    // A single track with nothing beside it (its laps, say) leaves nothing
    // to choose: the panes keep the room.
    if (!document || (document->TrackCount() <= 1 && document->waypoints.empty() &&
                      document->routes.empty())) {
        parts_->hide();
        return;
    }
    for (uint32_t t = 0; t < document->TrackCount(); ++t) {
        const uint32_t first = document->SegmentStart(document->FirstSegment(t));
        const uint32_t end = document->SegmentEnd(document->EndSegment(t) - 1, data_.count);
        const std::string& name = document->TrackName(t);
        QString text = name.empty() ? QStringLiteral("Track %1").arg(t + 1) : QString::fromStdString(name);
        text += QStringLiteral(" (%1 points)").arg(end - first);
        parts_->addItem(text);
        partPoints_.push_back(first < data_.count ? &data_.points[first] : nullptr);
    }
    for (const Waypoint& w : document->waypoints) {
        parts_->addItem(QStringLiteral("Waypoint: ") + QString::fromStdString(w.name));
        partPoints_.push_back(&w.point);
    }
    for (const Route& r : document->routes) {
        parts_->addItem(QStringLiteral("Route: %1 (%2 points)").arg(QString::fromStdString(r.name)).arg(r.points.size()));
        partPoints_.push_back(r.points.empty() ? nullptr : &r.points.front().point);
    }
    // Wide enough for its rows, up to a third of the window; a longer name
    // shows whole in its tooltip.
    for (int row = 0; row < parts_->count(); ++row) parts_->item(row)->setToolTip(parts_->item(row)->text());
    const int wanted = parts_->sizeHintForColumn(0) + 2 * parts_->frameWidth() +
                       parts_->verticalScrollBar()->sizeHint().width() + 4;
    parts_->setMinimumWidth(std::min(wanted, width() / 3));
    parts_->show();
}

void TrackViewWindow::ChoosePart(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= partPoints_.size() || !partPoints_[row]) return;
    const TrackPoint* point = partPoints_[row];
    outline_->CentreOn(*point);
    // A track's first point is marked as a click on it would.
    if (data_.count && point >= data_.points && point < data_.points + data_.count)
        Pick(static_cast<int>(point - data_.points));
    outline_->update();
}

void TrackViewWindow::SetCriteriaSource(std::function<void(SelectionCriteria&)> source) {
    criteriaSource_ = std::move(source);
    SelectionChanged();
}

void TrackViewWindow::FollowSelection(const SelectionPanel& panel, const CurrentTrack& track) {
    SetCriteriaSource([&panel, &track](SelectionCriteria& criteria) {
        panel.Criteria(track.fieldMask, criteria);
    });
    connect(&panel, &SelectionPanel::changed, this, &TrackViewWindow::SelectionChanged);
}

void TrackViewWindow::SelectionChanged() { refreshTimer_->start(); }

void TrackViewWindow::Refresh() {
    refreshTimer_->stop();
    selectionPending_ = false;
    if (trackPending_) return ApplyTrack();
    SelectionCriteria criteria;
    if (criteriaSource_ && data_.count > 0) criteriaSource_(criteria);
    data_.SetSelection(criteria, strip_->Threshold());
    strip_->SetFigures(data_.figures);
    profiles_->SelectionChanged();
    profiles_->Update();
    outline_->update();
}

void TrackViewWindow::MarkPoint(int64_t index) {
    requestedMark_ = index;
    data_.marked = index >= 0 && index < data_.count ? index : -1;
    profiles_->UpdateMarkers();
    outline_->update();
}

void TrackViewWindow::Pick(int index) {
    MarkPoint(index);
    emit pointPicked(index);
}

void TrackViewWindow::ShowView() {
    shown_ = true;
    // The first time, beside the main window where the screen holds both
    // (the main window moved if it must), else over the side of the main
    // window that hides the least of its buttons.
    if (!placed_ && parentWidget() && parentWidget()->isVisible()) {
        QWidget* owner = parentWidget();
        if (const QScreen* screen = owner->screen()) {
            // Not shown yet, the view is taken to get a frame like its owner's.
            const QMargins frame = FrameMargins(*owner);
            const QWidget* buttons = owner->findChild<QWidget*>(QStringLiteral("buttonColumn"));
            const QRect keep = buttons ? QRect(buttons->mapToGlobal(QPoint()), buttons->size()) : QRect();
            const SidePlacement place =
                PlaceViewBeside(owner->frameGeometry(), keep, size().grownBy(frame),
                                minimumSizeHint().grownBy(frame), screen->availableGeometry());
            if (place.owner != owner->pos()) owner->move(place.owner);
            resize(place.view.size().shrunkBy(frame));
            move(place.view.topLeft());
        }
    }
    show();
    raise();
    activateWindow();
}

void TrackViewWindow::closeEvent(QCloseEvent* event) {
    shown_ = false;
    event->accept();
}

void TrackViewWindow::RestorePlacement() {
    const WindowPlacement placement = ReadTrackViewPlacement();
    shownAtExit_ = placement.shown;
    // The stored size, at least the view's minimum and at most what the
    // screen of the stored place holds.
    const QScreen* screen = placement.hasPosition ? QGuiApplication::screenAt(QPoint(placement.x, placement.y)) : nullptr;
    if (!screen) screen = this->screen();
    if (placement.hasSize)
        resize(FitSize(QSize(std::clamp(placement.width, 1, 16384), std::clamp(placement.height, 1, 16384)),
                       minimumSizeHint(), FrameMargins(*this), screen->availableGeometry()));
    if (placement.hasPosition) {
        move(KeepOnScreen(QPoint(placement.x, placement.y), frameGeometry().size()));
        placed_ = true;
    }
}

void TrackViewWindow::SavePlacement(QSettings* settings) {
    WindowPlacement placement;
    // A view never shown nor placed has no position of its own yet.
    placement.hasPosition = placement.hasSize = placed_;
    placement.x = pos().x();
    placement.y = pos().y();
    placement.width = width();
    placement.height = height();
    placement.shown = shown_;
    WriteTrackViewPlacement(placement, settings);
}

}  // namespace ferolin
