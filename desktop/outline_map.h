// The map under the track view's outline: the Web Mercator view of the pane
// (fitted to the track until the user zooms or pans), the tiles drawn under
// the outline with their attribution, the quiet line shown without network,
// and the mouse: the wheel zooms about the pointer, a drag pans, a click
// without a drag is left to the outline (it picks a point).
#pragma once

#include <QObject>
#include <QPointF>
#include <QString>

#include "core/track_geometry.h"
#include "core/web_mercator.h"

class QMouseEvent;
class QPainter;
class QWheelEvent;

namespace ferolin {

class TileLoader;

class OutlineMap : public QObject {
    Q_OBJECT
public:
    explicit OutlineMap(QObject* parent = nullptr);

    // The map switch and the tile source as the settings hold them
    // (MapShown, MapTiles), read at construction and written on change.
    bool Shown() const { return shown_; }
    void SetShown(bool shown);
    // The source's text; the default's template for the default.
    QString Source() const;
    // Takes the source a text names (empty for the default). A text that
    // names none, or a file:// folder that is not there, is refused: the
    // previous source stays, in the settings too, and `why` says why.
    bool SetSource(const QString& text, QString* why = nullptr);
    TileLoader& tiles() { return *tiles_; }

    // The track's extent in world units; the view fits it until the user
    // moves the map.
    void SetExtent(const MercatorTrack& track);
    // Whether the extent of the track shown was given; a new track forgets it.
    bool HasExtent() const { return hasExtent_; }
    void ForgetExtent() { hasExtent_ = false; }
    // The pane's size; a fitted view fits again.
    void Resize(double width, double height);
    // Back to the whole track.
    void FitTrack();
    // Moves the view's centre to a world point, at the scale it has.
    void CentreOn(double x, double y);
    const MercatorView& View() const { return view_; }
    // The view as a screen placement of (x, -y) world coordinates, for the
    // outline's pixel arithmetic.
    ScreenFit Fit() const;

    // Tiles, attribution and the note without network.
    void Paint(QPainter& painter);
    // The line shown while the tile source cannot be reached; "" otherwise.
    QString NoteText() const;

    // Mouse handling: true when the event moved the map.
    bool Wheel(QWheelEvent* event);
    void Press(QMouseEvent* event);
    bool Move(QMouseEvent* event);
    // True when the press and release were a click (no drag).
    bool Release(QMouseEvent* event);

signals:
    // Repaint: the view moved, or tiles arrived.
    void changed();
    // The map was switched on or off.
    void shownChanged(bool shown);

private:
    TileLoader* tiles_;
    MercatorView view_;
    double minX_ = 0.5, maxX_ = 0.5, minY_ = 0.5, maxY_ = 0.5;
    bool hasExtent_ = false;
    bool fitted_ = true;  // follows the track until the user moves the map
    bool shown_ = true;
    QPointF pressAt_, lastAt_;
    bool dragging_ = false, pressed_ = false;
};

}  // namespace ferolin
