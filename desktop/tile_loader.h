// The map's tiles fetched the way tile servers ask to be used: the
// program's own User-Agent with its version, HTTP caching honoured through a
// disk cache in the user's cache folder (at most 200 MB), at most two
// requests at a time, and only the tiles the view shows now. A tile that
// fails (no network, 404, 429, a server error) stays plain and is asked again
// only after a pause that doubles with each failure. Nothing here waits:
// replies come back through the event loop and `tilesChanged` asks for a
// repaint. The decoded tiles are kept in memory, the most recent 128.
#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/web_mercator.h"
#include "desktop/tile_source.h"

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace ferolin {

class TileLoader : public QObject {
    Q_OBJECT
public:
    // "Ferolin/<version>"
    static QString UserAgent();
    // $XDG_CACHE_HOME/ferolin, or ~/.cache/ferolin.
    static QString CacheFolder();

    explicit TileLoader(QObject* parent = nullptr);
    ~TileLoader() override;

    // Another source forgets every tile, request and failure of the
    // previous one; the same source keeps them.
    void SetSource(const TileSource& source);
    const TileSource& Source() const { return source_; }

    // The tiles on screen now, most wanted first: those not at hand, not on
    // their way and not waiting out a failure are asked for, two at a time.
    // Tiles of an earlier call that are no longer wanted are not asked.
    void Want(const std::vector<TileKey>& keys);
    // The tile's image when it is at hand; nullptr otherwise.
    const QImage* Tile(const TileKey& key) const;
    // The tile's last request failed (its square is left plain).
    bool Failed(const TileKey& key) const { return failures_.count(key.Id()) != 0; }

    // The last attempt to reach the source failed without an answer from it
    // (no network, no such host, refused); cleared by the next tile that comes.
    bool Offline() const { return offline_; }
    int RequestsInFlight() const { return static_cast<int>(inFlight_.size()); }
    // The pause before a failed tile is asked again the first time (doubled
    // at each further failure, at most 15 minutes); 10 s unless changed.
    void SetFirstRetryPause(int milliseconds) { firstPause_ = milliseconds; }

signals:
    // A tile arrived, or a failed tile may be asked again: worth a repaint.
    void tilesChanged();

private:
    struct Failure {
        int count = 0;
        qint64 retryAt = 0;  // ms since the epoch
    };
    void StartRequests();
    void Finished(QNetworkReply* reply, TileKey key);

    QNetworkAccessManager* manager_;
    QTimer* retryTimer_;
    TileSource source_;
    QCache<uint64_t, QImage> images_;
    std::vector<TileKey> queue_;
    std::unordered_map<uint64_t, QNetworkReply*> inFlight_;
    std::unordered_map<uint64_t, Failure> failures_;
    bool offline_ = false;
    int firstPause_ = 10000;
    uint64_t generation_ = 0;  // replies of an earlier source are dropped
};

}  // namespace ferolin
