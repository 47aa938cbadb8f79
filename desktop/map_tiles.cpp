#include "desktop/map_tiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

#include "core/version.h"


namespace ferolin {

namespace {

constexpr int kMaxRequests = 2;
constexpr qint64 kMaxCacheBytes = 200LL * 1024 * 1024;
constexpr qint64 kLongestPause = 15LL * 60 * 1000;
constexpr int kTransferTimeout = 20000;  // ms without progress before a request fails
constexpr int kTilesKept = 128;          // decoded tiles in memory, 256 KB each

bool IsFileSource(const QString& source) {
    return source.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
}

// No answer from the other end: the network, the name lookup or the
// connection failed (not a file source, not a request this side cancelled).
bool IsNetworkFailure(QNetworkReply* reply) {
    const QNetworkReply::NetworkError e = reply->error();
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) return false;
    if (IsFileSource(reply->url().toString())) return false;
    return e != QNetworkReply::NoError && e != QNetworkReply::OperationCanceledError && e < 200;
}

}  // namespace

const QString& MapTiles::DefaultSource() {
    static const QString source = QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    return source;
}

const QString& MapTiles::DefaultAttribution() {
    static const QString text = QStringLiteral("(c) OpenStreetMap contributors");
    return text;
}

QString MapTiles::UserAgent() { return QStringLiteral("Ferolin/" FEROLIN_VERSION); }

QString MapTiles::CacheFolder() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.cache";
    return base + "/ferolin";
}

MapTiles::MapTiles(QObject* parent)
    : QObject(parent),
      manager_(new QNetworkAccessManager(this)),
      retryTimer_(new QTimer(this)),
      images_(kTilesKept) {
    auto* cache = new QNetworkDiskCache(manager_);
    cache->setCacheDirectory(CacheFolder());
    cache->setMaximumCacheSize(kMaxCacheBytes);
    manager_->setCache(cache);
    retryTimer_->setSingleShot(true);
    connect(retryTimer_, &QTimer::timeout, this, &MapTiles::tilesChanged);
    SetSource(QString());
}

MapTiles::~MapTiles() {
    for (const auto& [id, reply] : inFlight_) {
        reply->disconnect(this);
        reply->abort();
    }
}

void MapTiles::SetSource(const QString& source) {
    const QString chosen = source.trimmed().isEmpty() ? DefaultSource() : source.trimmed();
    if (chosen == source_ && !template_.isEmpty()) return;
    source_ = chosen;
    template_ = source_;
    if (IsFileSource(source_) && !source_.contains(QLatin1String("{z}"))) {
        while (template_.endsWith('/')) template_.chop(1);
        template_ += QStringLiteral("/{z}/{x}/{y}.png");
    }
    ++generation_;
    images_.clear();
    queue_.clear();
    failures_.clear();
    offline_ = false;
    retryTimer_->stop();
    // Ending the requests of the old source keeps the two-at-a-time limit.
    const auto replies = std::move(inFlight_);
    inFlight_.clear();
    for (const auto& [id, reply] : replies) reply->abort();
}

QString MapTiles::Attribution() const {
    if (source_ == DefaultSource()) return DefaultAttribution();
    const QUrl url(QString(source_).replace(QLatin1String("{"), QString()).replace('}', QString()));
    if (url.isLocalFile()) {
        QString folder = url.toLocalFile();
        while (folder.endsWith('/')) folder.chop(1);
        return QStringLiteral("Tiles: ") + QFileInfo(folder).fileName();
    }
    return QStringLiteral("Tiles: ") + url.host();
}

QString MapTiles::UrlOf(const TileKey& key) const {
    QString url = template_;
    url.replace(QLatin1String("{z}"), QString::number(key.z));
    url.replace(QLatin1String("{x}"), QString::number(key.x));
    url.replace(QLatin1String("{y}"), QString::number(key.y));
    return url;
}

const QImage* MapTiles::Tile(const TileKey& key) const { return images_.object(key.Id()); }

void MapTiles::Want(const std::vector<TileKey>& keys) {
    queue_.clear();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qint64 nextRetry = std::numeric_limits<qint64>::max();
    std::unordered_set<uint64_t> queued;
    for (const TileKey& key : keys) {
        const uint64_t id = key.Id();
        if (images_.contains(id) || inFlight_.count(id) || !queued.insert(id).second) continue;
        const auto failure = failures_.find(id);
        if (failure != failures_.end() && failure->second.retryAt > now) {
            nextRetry = std::min(nextRetry, failure->second.retryAt);
            continue;
        }
        queue_.push_back(key);
    }
    if (nextRetry != std::numeric_limits<qint64>::max())
        retryTimer_->start(static_cast<int>(std::min<qint64>(nextRetry - now + 1, kLongestPause)));
    StartRequests();
}

void MapTiles::StartRequests() {
    while (inFlight_.size() < kMaxRequests && !queue_.empty()) {
        const TileKey key = queue_.front();
        queue_.erase(queue_.begin());
        QNetworkRequest request{QUrl(UrlOf(key))};
        request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent());
        request.setTransferTimeout(kTransferTimeout);
        QNetworkReply* reply = manager_->get(request);
        inFlight_.emplace(key.Id(), reply);
        const uint64_t generation = generation_;
        connect(reply, &QNetworkReply::finished, this, [this, reply, key, generation] {
            reply->deleteLater();
            if (generation == generation_) Finished(reply, key);
        });
    }
}

void MapTiles::Finished(QNetworkReply* reply, TileKey key) {
    const uint64_t id = key.Id();
    inFlight_.erase(id);
    QImage image;
    if (reply->error() == QNetworkReply::NoError) image.loadFromData(reply->readAll());
    if (!image.isNull()) {
        offline_ = false;
        failures_.erase(id);
        images_.insert(id, new QImage(image.convertToFormat(QImage::Format_ARGB32_Premultiplied)));
    } else {
        offline_ = IsNetworkFailure(reply);
        Failure& failure = failures_[id];
        const int doublings = std::min(failure.count, 20);
        ++failure.count;
        const qint64 pause = std::min<qint64>(qint64{firstPause_} << doublings, kLongestPause);
        failure.retryAt = QDateTime::currentMSecsSinceEpoch() + pause;
    }
    StartRequests();
    emit tilesChanged();
}

void MapTiles::Paint(QPainter& painter, const MercatorView& view, int z) {
    const std::vector<PlacedTile> tiles = VisibleTiles(view, z);
    std::vector<TileKey> missing;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (const PlacedTile& t : tiles) {
        // Whole pixels, edge to edge, so that no seam shows between tiles.
        const int left = static_cast<int>(std::floor(t.left));
        const int top = static_cast<int>(std::floor(t.top));
        const QRect target(left, top, static_cast<int>(std::floor(t.left + t.size)) - left,
                           static_cast<int>(std::floor(t.top + t.size)) - top);
        if (const QImage* image = Tile(t.key)) {
            painter.drawImage(target, *image);
            continue;
        }
        missing.push_back(t.key);
        // While a tile is on its way, a coarser one at hand stands in; a
        // tile that failed leaves its square plain.
        if (failures_.count(t.key.Id())) continue;
        for (int k = 1; k <= 4 && k <= t.key.z; ++k) {
            const QImage* coarse = Tile({t.key.z - k, t.key.x >> k, t.key.y >> k});
            if (!coarse) continue;
            const double part = static_cast<double>(coarse->width()) / (1 << k);
            const int mask = (1 << k) - 1;
            painter.drawImage(QRectF(target), *coarse,
                              QRectF((t.key.x & mask) * part, (t.key.y & mask) * part, part, part));
            break;
        }
    }
    Want(missing);

    const QString text = Attribution();
    QFont font = painter.font();
    font.setPointSizeF(std::max(font.pointSizeF() * 0.8, 6.0));
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const QRect box(static_cast<int>(view.width) - metrics.horizontalAdvance(text) - 8,
                    static_cast<int>(view.height) - metrics.height() - 2,
                    metrics.horizontalAdvance(text) + 8, metrics.height() + 2);
    painter.fillRect(box, QColor(255, 255, 255, 200));
    painter.setPen(QColor(40, 40, 40));
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
}

}  // namespace ferolin
