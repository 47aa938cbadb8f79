#include "desktop/outline_map.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>
#include <optional>

#include "desktop/settings_store.h"
#include "desktop/tile_loader.h"
#include "desktop/tile_painter.h"
#include "desktop/tile_source.h"

namespace ferolin {

namespace {

constexpr double kMargin = 30;       // pixels around the fitted track
constexpr double kDragPixels = 4;    // a press that moves less is a click
constexpr double kZoomPerNotch = 1.4142135623730951;  // half a tile zoom level

}  // namespace

OutlineMap::OutlineMap(QObject* parent) : QObject(parent), tiles_(new TileLoader(this)) {
    uint32_t shown = 1;
    ReadSettingUint(kSettingMapShown, shown, 1);
    shown_ = shown != 0;
    // A stored source whose folder is missing now (a drive not mounted) is
    // still the user's choice; one that names no source gives the default.
    const QString stored = QString::fromStdString(ReadSettingString(kSettingMapTiles));
    tiles_->SetSource(TileSource::Parse(stored).value_or(TileSource()));
    connect(tiles_, &TileLoader::tilesChanged, this, &OutlineMap::changed);
}

void OutlineMap::SetShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    WriteSettingUint(kSettingMapShown, shown ? 1 : 0);
    emit shownChanged(shown);
    emit changed();
}

QString OutlineMap::Source() const { return tiles_->Source().Text(); }

bool OutlineMap::SetSource(const QString& text, QString* why) {
    const std::optional<TileSource> source = TileSource::Parse(text, why, TileSource::Folder::MustExist);
    if (!source) return false;
    const bool other = *source != tiles_->Source();
    tiles_->SetSource(*source);
    WriteSettingString(kSettingMapTiles, source->IsDefault() ? std::string() : source->Text().toStdString());
    if (other) emit changed();
    return true;
}

void OutlineMap::SetExtent(const MercatorTrack& track) {
    hasExtent_ = true;
    if (track.positioned > 0) {
        minX_ = track.minX, maxX_ = track.maxX;
        minY_ = track.minY, maxY_ = track.maxY;
    }
    FitTrack();
}

void OutlineMap::Resize(double width, double height) {
    if (width == view_.width && height == view_.height) return;
    if (fitted_) {
        view_ = FitMercator(minX_, maxX_, minY_, maxY_, width, height, kMargin);
    } else {
        view_.width = width;
        view_.height = height;
    }
}

void OutlineMap::FitTrack() {
    fitted_ = true;
    view_ = FitMercator(minX_, maxX_, minY_, maxY_, view_.width, view_.height, kMargin);
    emit changed();
}

void OutlineMap::CentreOn(double x, double y) {
    fitted_ = false;
    view_.centreX = x;
    view_.centreY = y;
    emit changed();
}

ScreenFit OutlineMap::Fit() const {
    ScreenFit fit;
    fit.pixelsPerMetre = view_.scale;
    fit.originX = 0.5 * view_.width - view_.centreX * view_.scale;
    fit.originY = 0.5 * view_.height - view_.centreY * view_.scale;
    return fit;
}

QString OutlineMap::NoteText() const {
    return tiles_->Offline() ? QStringLiteral("No network: the map is not shown.") : QString();
}

void OutlineMap::Paint(QPainter& painter) {
    PaintTiles(painter, *tiles_, view_, view_.TileZoom());
    const QString note = NoteText();
    if (note.isEmpty()) return;
    painter.save();
    painter.setPen(QColor(110, 110, 110));
    painter.drawText(QRectF(8, 6, view_.width - 16, 20), Qt::AlignLeft | Qt::AlignTop, note);
    painter.restore();
}

bool OutlineMap::Wheel(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) return false;
    view_.ZoomAbout(std::pow(kZoomPerNotch, notches), event->position().x(), event->position().y());
    fitted_ = false;
    emit changed();
    return true;
}

void OutlineMap::Press(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    dragging_ = false;
    pressAt_ = lastAt_ = event->position();
}

bool OutlineMap::Move(QMouseEvent* event) {
    if (!pressed_ || !(event->buttons() & Qt::LeftButton)) return false;
    const QPointF at = event->position();
    if (!dragging_ && (at - pressAt_).manhattanLength() < kDragPixels) return false;
    dragging_ = true;
    view_.Pan(at.x() - lastAt_.x(), at.y() - lastAt_.y());
    lastAt_ = at;
    fitted_ = false;
    emit changed();
    return true;
}

bool OutlineMap::Release(QMouseEvent* event) {
    const bool click = pressed_ && !dragging_ && event->button() == Qt::LeftButton;
    pressed_ = dragging_ = false;
    return click;
}

}  // namespace ferolin
