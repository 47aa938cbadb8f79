// Web-map tiles for the track view, fetched the way tile servers ask to be
// used: the program's own User-Agent with its version, HTTP caching honoured
// through a disk cache in the user's cache folder (at most 200 MB), at most
// two requests at a time, and only the tiles the view shows now. A tile that
// fails (no network, 404, 429, a server error) stays plain and is asked again
// only after a pause that doubles with each failure. Nothing here waits:
// replies come back through the event loop and `tilesChanged` asks for a
// repaint.
#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/web_mercator.h"

class QNetworkAccessManager;
class QNetworkReply;
class QPainter;
class QTimer;

namespace ferolin {

class MapTiles : public QObject {
    Q_OBJECT
public:
    // OpenStreetMap's standard tiles.
    static const QString& DefaultSource();
    // "(c) OpenStreetMap contributors"
    static const QString& DefaultAttribution();
    // "Ferolin/<version>"
    static QString UserAgent();
    // $XDG_CACHE_HOME/ferolin, or ~/.cache/ferolin.
    static QString CacheFolder();

    explicit MapTiles(QObject* parent = nullptr);
    ~MapTiles() override;

    // A URL template with {z}, {x} and {y} (http, https or file), or a
    // file:// folder holding z/x/y.png; empty means the default source.
    // Forgets every tile and failure of the previous source.
    void SetSource(const QString& source);
    const QString& Source() const { return source_; }
    // The text shown on the map: the default source's attribution, else the
    // source's host (or folder).
    QString Attribution() const;

    // The tiles on screen now, most wanted first: those not at hand, not on
    // their way and not waiting out a failure are asked for, two at a time.
    // Tiles of an earlier call that are no longer wanted are not asked.
    void Want(const std::vector<TileKey>& keys);
    // The tile's image when it is at hand; nullptr otherwise.
    const QImage* Tile(const TileKey& key) const;

    // The last attempt to reach the source failed without an answer from it
    // (no network, no such host, refused); cleared by the next tile that comes.
    bool Offline() const { return offline_; }
    int RequestsInFlight() const { return static_cast<int>(inFlight_.size()); }
    // The pause before a failed tile is asked again the first time (doubled
    // at each further failure, at most 15 minutes); 10 s unless changed.
    void SetFirstRetryPause(int milliseconds) { firstPause_ = milliseconds; }

    // Draws the view's tiles at zoom z (a tile on its way from a coarser tile
    // at hand; a failed one not at all: its square stays plain), asks for
    // the missing ones, and writes the attribution in the bottom right corner.
    void Paint(QPainter& painter, const MercatorView& view, int z);

signals:
    // A tile arrived, or a failed tile may be asked again: worth a repaint.
    void tilesChanged();

private:
    struct Failure {
        int count = 0;
        qint64 retryAt = 0;  // ms since the epoch
    };
    QString UrlOf(const TileKey& key) const;
    void StartRequests();
    void Finished(QNetworkReply* reply, TileKey key);
    void ArmRetryTimer();

    QNetworkAccessManager* manager_;
    QTimer* retryTimer_;
    QString source_;
    QString template_;
    QCache<uint64_t, QImage> images_;
    std::vector<TileKey> queue_;
    std::unordered_map<uint64_t, QNetworkReply*> inFlight_;
    std::unordered_map<uint64_t, Failure> failures_;
    bool offline_ = false;
    int firstPause_ = 10000;
    uint64_t generation_ = 0;  // replies of an earlier source are dropped
};

}  // namespace ferolin
