// The map tiles against a real tile server on the loopback interface, started
// here: a QTcpServer answering HTTP/1.1 with generated PNG tiles (or with the
// status a test gives a path), a little late, so that requests overlap.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QNetworkProxy>
#include <QPainter>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "core/version.h"
#include "desktop/tile_loader.h"
#include "desktop/tile_painter.h"
#include "desktop/tile_source.h"
#include "test_support.h"

using namespace ferolin;

namespace {

QColor ColourOf(int z, int x, int y) { return QColor(40 * x % 256, 40 * y % 256, 20 * z + 15); }

QByteArray Png(int z, int x, int y) {
    QImage image(kTilePixels, kTilePixels, QImage::Format_RGB32);
    image.fill(ColourOf(z, x, y));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class TileServer {
public:
    std::map<QString, int> statusOf;  // path -> status other than 200
    std::vector<QString> paths;       // requested, in order
    std::vector<QByteArray> agents;
    std::map<QString, std::vector<qint64>> times;  // ms of each request of a path
    int open = 0, mostOpen = 0;

    TileServer() {
        clock_.start();
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) Serve(socket);
        });
    }
    QString Template() const {
        return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(server_.serverPort());
    }

private:
    void Serve(QTcpSocket* socket) {
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray& request = pending_[socket];
            request += socket->readAll();
            if (!request.contains("\r\n\r\n")) return;
            const QList<QByteArray> lines = request.split('\n');
            const QString path = QString::fromLatin1(lines[0].split(' ').value(1));
            for (const QByteArray& line : lines)
                if (line.toLower().startsWith("user-agent:")) agents.push_back(line.mid(11).trimmed());
            pending_.erase(socket);
            paths.push_back(path);
            times[path].push_back(clock_.elapsed());
            mostOpen = std::max(mostOpen, ++open);
            QTimer::singleShot(40, socket, [this, socket, path] { Answer(socket, path); });
        });
    }
    void Answer(QTcpSocket* socket, const QString& path) {
        --open;
        const auto special = statusOf.find(path);
        QByteArray body, head;
        if (special != statusOf.end()) {
            head = "HTTP/1.1 " + QByteArray::number(special->second) + " No\r\n";
        } else {
            int z, x, y;
            if (std::sscanf(path.toLatin1().constData(), "/%d/%d/%d.png", &z, &x, &y) == 3)
                body = Png(z, x, y);
            head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nCache-Control: max-age=86400\r\n";
        }
        socket->write(head + "Content-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QElapsedTimer clock_;
    std::map<QTcpSocket*, QByteArray> pending_;
};

std::vector<TileKey> Block(int z, int columns, int rows) {
    std::vector<TileKey> keys;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) keys.push_back({z, x, y});
    return keys;
}

bool AllAtHand(const TileLoader& tiles, const std::vector<TileKey>& keys) {
    for (const TileKey& k : keys)
        if (!tiles.Tile(k)) return false;
    return true;
}

// The source a text names; a refused text fails the test.
TileSource SourceOf(const QString& text) {
    QString why;
    const std::optional<TileSource> source = TileSource::Parse(text, &why);
    if (!source) throw std::runtime_error("refused " + text.toStdString() + ": " + why.toStdString());
    return *source;
}

// The tile cache of these tests lives in a folder of their own.
struct CacheHome {
    ferolin_test::TempDir dir;
    CacheHome() { qputenv("XDG_CACHE_HOME", dir.path().c_str()); }
};

}  // namespace

TEST(MapTiles, PoliteRequestsAndTheDiskCache) {
    CacheHome home;
    TileServer server;
    const std::vector<TileKey> keys = Block(3, 4, 3);
    {
        TileLoader tiles;
        tiles.SetSource(SourceOf(server.Template()));
        tiles.Want(keys);
        EXPECT_EQ(tiles.RequestsInFlight(), 2);
        ASSERT_TRUE(QTest::qWaitFor([&] { return AllAtHand(tiles, keys); }, 20000));
        EXPECT_EQ(server.paths.size(), keys.size());
        EXPECT_EQ(server.mostOpen, 2);  // two at a time, never more
        for (const QByteArray& agent : server.agents) EXPECT_EQ(agent, "Ferolin/" FEROLIN_VERSION);
        EXPECT_EQ(tiles.Tile({3, 2, 1})->pixelColor(100, 100), ColourOf(3, 2, 1));
        EXPECT_FALSE(tiles.Offline());
        tiles.Want(keys);  // at hand: nothing asked
        QTest::qWait(100);
        EXPECT_EQ(server.paths.size(), keys.size());
    }
    EXPECT_FALSE(QDir(QString::fromStdString(home.dir.File("ferolin"))).isEmpty());
    // A new view of the same area: every tile comes from the disk cache.
    TileLoader again;
    again.SetSource(SourceOf(server.Template()));
    again.Want(keys);
    ASSERT_TRUE(QTest::qWaitFor([&] { return AllAtHand(again, keys); }, 20000));
    EXPECT_EQ(server.paths.size(), keys.size());
}

TEST(MapTiles, FailedTilesStayPlainAndWaitLongerEachTime) {
    CacheHome home;
    TileServer server;
    server.statusOf = {{"/2/0/0.png", 404}, {"/2/1/0.png", 429}, {"/2/2/0.png", 503}};
    TileLoader tiles;
    tiles.SetSource(SourceOf(server.Template()));
    tiles.SetFirstRetryPause(150);
    // The view: 4 × 1 tiles of zoom 2 at their own size, repainted whenever
    // the tiles say so, as the track view does.
    MercatorView view;
    view.scale = 4 * kTilePixels;
    view.width = 4 * kTilePixels;
    view.height = kTilePixels;
    view.centreX = 0.5;
    view.centreY = 0.125;
    QImage picture(view.width, view.height, QImage::Format_RGB32);
    auto paint = [&] {
        picture.fill(Qt::white);
        QPainter painter(&picture);
        PaintTiles(painter, tiles, view, 2);
    };
    QObject::connect(&tiles, &TileLoader::tilesChanged, paint);
    paint();
    QTest::qWait(1500);
    EXPECT_EQ(picture.pixelColor(3 * 256 + 100, 100), ColourOf(2, 3, 0));
    for (int x = 0; x < 3; ++x) EXPECT_EQ(picture.pixelColor(x * 256 + 100, 100), QColor(Qt::white));
    EXPECT_FALSE(tiles.Offline());  // the server answered
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<QMessageBox*>(w), nullptr);
    // Each failed tile was asked again after 150 ms, then 300, then 600.
    for (const auto& [path, status] : server.statusOf) {
        const std::vector<qint64>& t = server.times[path];
        ASSERT_GE(t.size(), 3u) << path.toStdString();
        EXPECT_LE(t.size(), 4u) << path.toStdString();
        EXPECT_GE(t[1] - t[0], 150);
        EXPECT_GE(t[2] - t[1], 300);
    }
    EXPECT_EQ(server.times["/2/3/0.png"].size(), 1u);
    EXPECT_LE(server.mostOpen, 2);
}

TEST(MapTiles, NoNetworkAndAFolderOfTiles) {
    CacheHome home;
    // A port that nothing listens on, and every other connection through it.
    quint16 closed;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closed = probe.serverPort();
    }
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), closed));
    TileLoader tiles;
    tiles.SetSource(SourceOf(QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(closed)));
    tiles.Want({{1, 0, 0}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return tiles.Offline(); }, 20000));
    EXPECT_EQ(tiles.Tile({1, 0, 0}), nullptr);

    // The same view from a folder of tiles: no network needed.
    ferolin_test::TempDir folder;
    const std::vector<TileKey> keys = Block(1, 2, 2);
    for (const TileKey& k : keys) {
        const QString dir = QStringLiteral("%1/%2/%3").arg(folder.path().c_str()).arg(k.z).arg(k.x);
        QDir().mkpath(dir);
        QFile file(QStringLiteral("%1/%2.png").arg(dir).arg(k.y));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Png(k.z, k.x, k.y));
    }
    tiles.SetSource(SourceOf(QStringLiteral("file://") + folder.path().c_str() + QStringLiteral("/")));
    EXPECT_FALSE(tiles.Offline());
    tiles.Want(keys);
    ASSERT_TRUE(QTest::qWaitFor([&] { return AllAtHand(tiles, keys); }, 20000));
    EXPECT_EQ(tiles.Tile({1, 1, 0})->pixelColor(5, 5), ColourOf(1, 1, 0));
    EXPECT_FALSE(tiles.Offline());
    EXPECT_TRUE(tiles.Source().Attribution().startsWith(QStringLiteral("Tiles: ")));
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);

    tiles.SetSource(TileSource());
    EXPECT_EQ(tiles.Source().Attribution(), QStringLiteral("(c) OpenStreetMap contributors"));
}

TEST(MapTiles, SourcesTakenAndRefusedWithTheReason) {
    ferolin_test::TempDir folder;
    const QString dir = QString::fromStdString(folder.path());
    const QString name = QFileInfo(dir).fileName();
    struct Case {
        QString text;
        QString url;   // of tile 3/2/1 when taken; "" when refused
        QString said;  // the attribution when taken, a part of the reason when refused
    } cases[] = {
        {"", "https://tile.openstreetmap.org/3/2/1.png", "(c) OpenStreetMap contributors"},
        {"  https://tiles.example.org/{z}/{x}/{y}.png ", "https://tiles.example.org/3/2/1.png",
         "Tiles: tiles.example.org"},
        {"HTTP://127.0.0.1:8080/t/{z}-{x}-{y}", "HTTP://127.0.0.1:8080/t/3-2-1", "Tiles: 127.0.0.1"},
        {"file://" + dir + "//", "file://" + dir + "/3/2/1.png", "Tiles: " + name},
        {"file://" + dir + "/{z}/{x}_{y}.jpg", "file://" + dir + "/3/2_1.jpg", "Tiles: " + name},
        {"tiles please", "", "needs {z}, {x} and {y}, or a file:// folder"},
        {"/srv/tiles", "", "needs {z}, {x} and {y}, or a file:// folder"},
        {"ftp://tiles.example.org/{z}/{x}/{y}.png", "", "not ftp://"},
        {"https://tiles.example.org/{z}/{x}.png", "", "{y} is missing"},
        {"https://tiles.example.org/{x}.png", "", "{z} and {y} are missing"},
        {"https://{s}.tiles.example.org/{z}/{x}/{y}.png", "", "{s} is not known"},
        {"https:///{z}/{x}/{y}.png", "", "needs a host name"},
        {"file://" + dir + "/{z}/{x}.png", "", "or none for a folder"},
        {"file://tiles/", "", "a whole path"},
        {"file://" + dir + "/absent", "", "No folder at " + dir + "/absent"},
    };
    for (const Case& c : cases) {
        QString why;
        const std::optional<TileSource> source =
            TileSource::Parse(c.text, &why, TileSource::Folder::MustExist);
        ASSERT_EQ(source.has_value(), !c.url.isEmpty()) << c.text.toStdString() << ": " << why.toStdString();
        if (source) {
            EXPECT_EQ(source->UrlOf({3, 2, 1}), c.url) << c.text.toStdString();
            EXPECT_EQ(source->Attribution(), c.said) << c.text.toStdString();
            EXPECT_EQ(source->IsDefault(), c.text.isEmpty());
        } else {
            EXPECT_TRUE(why.contains(c.said)) << c.text.toStdString() << ": " << why.toStdString();
        }
    }
    // A folder missing now is still taken from the settings (a drive not mounted).
    EXPECT_TRUE(TileSource::Parse("file://" + dir + "/absent").has_value());
}
