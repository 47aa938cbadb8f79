#include "desktop/tile_loader.h"

#include <QDateTime>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
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

// No answer from the other end: the network, the name lookup or the
// connection failed (not a file source, not a request this side cancelled).
bool IsNetworkFailure(QNetworkReply* reply) {
    const QNetworkReply::NetworkError e = reply->error();
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) return false;
    if (reply->url().isLocalFile()) return false;
    return e != QNetworkReply::NoError && e != QNetworkReply::OperationCanceledError && e < 200;
}

}  // namespace

QString TileLoader::UserAgent() { return QStringLiteral("Ferolin/" FEROLIN_VERSION); }

QString TileLoader::CacheFolder() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.cache";
    return base + "/ferolin";
}

TileLoader::TileLoader(QObject* parent)
    : QObject(parent),
      manager_(new QNetworkAccessManager(this)),
      retryTimer_(new QTimer(this)),
      images_(kTilesKept) {
    auto* cache = new QNetworkDiskCache(manager_);
    cache->setCacheDirectory(CacheFolder());
    cache->setMaximumCacheSize(kMaxCacheBytes);
    manager_->setCache(cache);
    retryTimer_->setSingleShot(true);
    connect(retryTimer_, &QTimer::timeout, this, &TileLoader::tilesChanged);
}

TileLoader::~TileLoader() {
    for (const auto& [id, reply] : inFlight_) {
        reply->disconnect(this);
        reply->abort();
    }
}

void TileLoader::SetSource(const TileSource& source) {
    if (source == source_) return;
    source_ = source;
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

const QImage* TileLoader::Tile(const TileKey& key) const { return images_.object(key.Id()); }

void TileLoader::Want(const std::vector<TileKey>& keys) {
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

void TileLoader::StartRequests() {
    while (inFlight_.size() < kMaxRequests && !queue_.empty()) {
        const TileKey key = queue_.front();
        queue_.erase(queue_.begin());
        QNetworkRequest request{QUrl(source_.UrlOf(key))};
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

void TileLoader::Finished(QNetworkReply* reply, TileKey key) {
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

}  // namespace ferolin
