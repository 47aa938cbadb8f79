// Benchmark of the track view on a generated track (default a million
// points), on the offscreen platform: the per-track figures, the drawing of
// the opened view, each redraw after a change of the time window, and the
// nearest-point search of a click.
//   ferolin_bench_trackview [POINTS]
#include <QApplication>
#include <QChartView>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <QDeadlineTimer>
#include <QDir>
#include <QWheelEvent>

#include "core/figures.h"
#include "core/web_mercator.h"
#include "desktop/outline_map.h"
#include "desktop/tile_loader.h"
#include "desktop/settings_store.h"
#include "core/track_point.h"
#include "desktop/track_view.h"

using namespace ferolin;

namespace {

// The machine is shared: the processor time of this thread is quoted beside
// the wall-clock time.
struct Clock {
    struct time_point {
        std::chrono::steady_clock::time_point wall;
        timespec cpu;
    };
    static time_point now() {
        time_point t{std::chrono::steady_clock::now(), {}};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t.cpu);
        return t;
    }
};

struct Span {
    double wall = 0, cpu = 0;
};

Span Elapsed(Clock::time_point since) {
    const Clock::time_point now = Clock::now();
    Span s;
    s.wall = std::chrono::duration<double, std::milli>(now.wall - since.wall).count();
    s.cpu = (now.cpu.tv_sec - since.cpu.tv_sec) * 1e3 + (now.cpu.tv_nsec - since.cpu.tv_nsec) / 1e6;
    return s;
}


// A walker's day: 5 s steps, a heading that wanders, pauses, a hilly profile.
TrackPointArray MakeTrack(uint32_t count) {
    TrackPointArray points = AllocateTrackPoints(count);
    uint64_t state = 12345;
    auto next = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) * (1.0 / 9007199254740992.0);
    };
    double latitude = 45.188529, longitude = 5.724524, altitude = 212.0, heading = 40.0;
    for (uint32_t i = 0; i < count; ++i) {
        TrackPoint& p = points[i];
        const bool pause = std::fmod(i / 60.0, 7.0) > 6.3;
        const double speed = pause ? next() * 0.8 : 3.0 + 3.0 * next();
        heading = std::fmod(heading + (next() - 0.5) * 30.0 + 360.0, 360.0);
        const double metres = speed / 3.6 * 5.0;
        latitude += metres * std::cos(heading * M_PI / 180.0) / 111195.0;
        longitude += metres * std::sin(heading * M_PI / 180.0) /
                     (111195.0 * std::cos(latitude * M_PI / 180.0));
        altitude += (next() - 0.5) * 2.0 + 0.4 * std::sin(i / 5000.0);
        const long long t = 7 * 3600 + 30 * 60 + 5ll * i;  // from 2007-06-16 07:30
        p.record = static_cast<int32_t>(i + 1);
        p.year = 2007;
        p.month = 6;
        p.day = static_cast<int8_t>(16 + t / 86400);
        p.hour = static_cast<int8_t>(t / 3600 % 24);
        p.minute = static_cast<int8_t>(t / 60 % 60);
        p.seconds = static_cast<float>(t % 60);
        p.latitude = latitude;
        p.longitude = longitude;
        p.altitude = static_cast<float>(altitude);
        p.speed = static_cast<float>(speed);
        p.direction = static_cast<float>(heading);
        p.satellites = 8;
    }
    return points;
}

struct Drawing {
    Span outline, altitude, speed, total;
};

// Paints the three panes as the screen would, into one image.
Drawing DrawPanes(TrackViewWindow& view, QImage& image) {
    Drawing d;
    image.fill(Qt::white);
    QPainter painter(&image);
    auto t0 = Clock::now();
    view.outline()->render(&painter);
    d.outline = Elapsed(t0);
    painter.translate(0, view.outline()->height());
    t0 = Clock::now();
    view.altitudeChart()->render(&painter);
    d.altitude = Elapsed(t0);
    painter.translate(view.altitudeChart()->width(), 0);
    t0 = Clock::now();
    view.speedChart()->render(&painter);
    d.speed = Elapsed(t0);
    painter.end();
    d.total.wall = d.outline.wall + d.altitude.wall + d.speed.wall;
    d.total.cpu = d.outline.cpu + d.altitude.cpu + d.speed.cpu;
    return d;
}

Span Median(std::vector<Span> v) {
    Span m;
    std::sort(v.begin(), v.end(), [](const Span& a, const Span& b) { return a.wall < b.wall; });
    m.wall = v[v.size() / 2].wall;
    std::sort(v.begin(), v.end(), [](const Span& a, const Span& b) { return a.cpu < b.cpu; });
    m.cpu = v[v.size() / 2].cpu;
    return m;
}

void Print(const char* what, Span s, const char* note = "") {
    std::printf("%-34s %7.1f ms cpu %7.1f ms wall%s\n", what, s.cpu, s.wall, note);
}

struct MapRedraw {
    int tiles = 0, tilesAtHand = 0, zoom = 0;
    Span withMap, withoutMap, zoomStep;
};

// Plain tiles, a colour a tile and its edges drawn, for the view's area.
void WriteTiles(const QString& folder, const std::vector<PlacedTile>& placed) {
    for (const PlacedTile& t : placed) {
        QImage tile(kTilePixels, kTilePixels, QImage::Format_RGB32);
        tile.fill(QColor(200 + t.key.x % 5 * 10, 220 + t.key.y % 3 * 10, 200));
        QPainter p(&tile);
        p.setPen(QColor(150, 150, 150));
        p.drawRect(0, 0, kTilePixels - 1, kTilePixels - 1);
        p.end();
        const QString dir = QStringLiteral("%1/%2/%3").arg(folder).arg(t.key.z).arg(t.key.x);
        QDir().mkpath(dir);
        tile.save(QStringLiteral("%1/%2.png").arg(dir).arg(t.key.y));
    }
}

MapRedraw MeasureMap(TrackViewWindow& view, const QString& folder, QImage& image) {
    MapRedraw r;
    TrackOutline& outline = *view.outline();
    OutlineMap& map = *outline.map();
    map.SetShown(true);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        outline.render(&painter);  // fits the map to the pane
    }
    r.zoom = map.View().TileZoom();
    std::vector<PlacedTile> placed = VisibleTiles(map.View(), r.zoom);
    MercatorView closer = map.View();
    closer.ZoomAbout(1.4142135623730951, closer.width / 2, closer.height / 2);
    const std::vector<PlacedTile> more = VisibleTiles(closer, closer.TileZoom());
    placed.insert(placed.end(), more.begin(), more.end());
    WriteTiles(folder, placed);
    map.SetSource(QStringLiteral("file://") + folder + QStringLiteral("/"));  // asked anew
    const std::vector<PlacedTile> shown = VisibleTiles(map.View(), r.zoom);
    r.tiles = static_cast<int>(shown.size());
    auto atHand = [&] {
        int n = 0;
        for (const PlacedTile& t : shown) n += map.tiles().Tile(t.key) != nullptr;
        return n;
    };
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        image.fill(Qt::white);
        QPainter painter(&image);
        outline.render(&painter);  // asks for the missing tiles
        painter.end();
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if ((r.tilesAtHand = atHand()) == r.tiles) break;
    }
    auto redraws = [&] {
        std::vector<Span> spans;
        for (int k = 0; k < 8; ++k) {
            image.fill(Qt::white);
            QPainter painter(&image);
            const Clock::time_point t0 = Clock::now();
            outline.render(&painter);
            spans.push_back(Elapsed(t0));
        }
        return Median(spans);
    };
    r.withMap = redraws();
    std::vector<Span> zooms;
    for (int k = 0; k < 8; ++k) {
        QWheelEvent wheel(QPointF(outline.width() / 2.0, outline.height() / 2.0), QPointF(), {},
                          QPoint(0, k % 2 ? -120 : 120), Qt::NoButton, {}, Qt::NoScrollPhase,
                          false);
        const Clock::time_point t0 = Clock::now();
        QApplication::sendEvent(&outline, &wheel);
        image.fill(Qt::white);
        QPainter painter(&image);
        outline.render(&painter);
        zooms.push_back(Elapsed(t0));
    }
    r.zoomStep = Median(zooms);
    map.SetShown(false);
    r.withoutMap = redraws();
    map.SetShown(true);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The view stores its placement; keep the user's settings out of it.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    qputenv("XDG_CACHE_HOME", (config.path() + "/cache").toUtf8());
    QApplication app(argc, argv);
    // The map's tiles from a folder written below, never from a server.
    const QString tiles = config.path() + QStringLiteral("/tiles");
    WriteSettingString(kSettingMapTiles, ("file://" + tiles).toStdString());
    const uint32_t count = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10))
                                    : 1000000u;

    auto t0 = Clock::now();
    TrackPointArray points = MakeTrack(count);
    const Span generate = Elapsed(t0);

    TrackViewWindow view;
    view.resize(1200, 800);
    view.show();
    QApplication::processEvents();
    QImage image(view.width(), view.height(), QImage::Format_ARGB32_Premultiplied);

    // The parts of opening, measured apart on a copy of the view's figures.
    SelectionCriteria criteria;
    TrackViewData figures;
    t0 = Clock::now();
    figures.SetTrack(points.get(), count);
    const Span perTrack = Elapsed(t0);
    t0 = Clock::now();
    figures.SetSelection(criteria, kDefaultAscentThreshold);
    const Span exportList = Elapsed(t0);
    figures = TrackViewData();

    // The figures of the statistics strip and of --info over the whole track,
    // with its speeds, and once more as a file that stores none (derived).
    std::vector<Span> statsStored, statsDerived;
    {
        const std::vector<ExportEntry> entries = BuildExportList(points.get(), count, criteria);
        std::vector<float> speeds(count);
        for (uint32_t i = 0; i < count; ++i) speeds[i] = points[i].speed;
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1)
                for (uint32_t i = 0; i < count; ++i) points[i].speed = 0;
            for (int run = 0; run < 5; ++run) {
                TrackFigures f;
                t0 = Clock::now();
                ComputeFigures(entries.data(), count, kDefaultAscentThreshold, f);
                (pass ? statsDerived : statsStored).push_back(Elapsed(t0));
            }
        }
        for (uint32_t i = 0; i < count; ++i) points[i].speed = speeds[i];
    }

    // Opening: the per-track figures, the export list, the profiles' series,
    // then the drawing.
    view.SetCriteriaSource([&criteria](SelectionCriteria& c) { c = criteria; });
    t0 = Clock::now();
    view.SetTrack(points.get(), count);
    QApplication::processEvents();  // the view takes the track in on its next event
    const Span open = Elapsed(t0);
    const Drawing openDraw = DrawPanes(view, image);

    // A time window moved across the track, a geoid height, smoothing.
    std::vector<Span> rebuild, outline, altitude, speed, draw;
    for (int step = 1; step <= 8; ++step) {
        const TrackPoint& from = points[static_cast<size_t>(count) * step / 20];
        criteria.flags = kSelectStart | kSelectGeoid;
        if (step % 2) criteria.flags |= kSelectSmooth;
        criteria.start = {from.year, from.month, from.day, from.hour, from.minute, 0};
        criteria.geoidHeight = 45.0f + step;
        criteria.smoothingWidth = 5;
        t0 = Clock::now();
        view.Refresh();
        rebuild.push_back(Elapsed(t0));
        const Drawing d = DrawPanes(view, image);
        outline.push_back(d.outline);
        altitude.push_back(d.altitude);
        speed.push_back(d.speed);
        draw.push_back(d.total);
    }

    // The same, end to end as the screen gets it: rebuild, the charts'
    // layout in the event loop, and a repaint of the whole window.
    std::vector<Span> endToEnd;
    for (int step = 1; step <= 8; ++step) {
        const TrackPoint& from = points[static_cast<size_t>(count) * (20 - step) / 20];
        criteria.flags = kSelectStart;
        criteria.start = {from.year, from.month, from.day, from.hour, from.minute, 0};
        t0 = Clock::now();
        view.Refresh();
        QApplication::processEvents();
        view.repaint();
        endToEnd.push_back(Elapsed(t0));
    }

    // Clicks: the first builds the outline's grid.
    t0 = Clock::now();
    const int64_t firstPick = view.outline()->PointAt(QPointF(300, 200));
    const Span firstClick = Elapsed(t0);
    std::vector<Span> clicks;
    for (int k = 0; k < 20; ++k) {
        t0 = Clock::now();
        view.outline()->PointAt(QPointF(50 + 50 * k, 60 + 20 * k));
        clicks.push_back(Elapsed(t0));
    }

    // The map: the tiles of the view written to the folder and taken in,
    // then redraws of the outline over them, with the map and without.
    const MapRedraw map = MeasureMap(view, tiles, image);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("points %u, view %dx%d, outline %dx%d\n", count, view.width(), view.height(),
                view.outline()->width(), view.outline()->height());
    Print("generate track", generate);
    Print("open: per-track figures", perTrack, " (distance, times, extent)");
    Print("open: export list", exportList);
    Print("figures, stored speed", Median(statsStored), " (median of 5; limit 50 ms)");
    Print("figures, derived speed", Median(statsDerived), " (median of 5; limit 50 ms)");
    Print("open: all (figures, list, series)", open);
    Print("open: drawing, outline", openDraw.outline);
    Print("open: drawing, altitude profile", openDraw.altitude);
    Print("open: drawing, speed profile", openDraw.speed);
    Print("open: drawing, 3 panes", openDraw.total);
    Print("change: export list + series", Median(rebuild), " (median of 8)");
    Print("change: drawing, outline", Median(outline), " (median of 8)");
    Print("change: drawing, altitude profile", Median(altitude), " (median of 8)");
    Print("change: drawing, speed profile", Median(speed), " (median of 8)");
    Print("change: drawing, 3 panes", Median(draw), " (median of 8)");
    Print("change: rebuild + layout + repaint", Median(endToEnd), " (median of 8, end to end)");
    std::printf("outline segments drawn             %zu\n", view.outline()->LastSegmentCount());
    std::printf("map tiles at hand                  %d of %d (zoom %d)\n", map.tilesAtHand,
                map.tiles, map.zoom);
    Print("redraw, map on (tiles cached)", map.withMap, " (median of 8; limit 50 ms)");
    Print("redraw, map off", map.withoutMap, " (median of 8)");
    Print("zoom a notch: pixels + redraw", map.zoomStep, " (median of 8, map on)");
    Print("first click (builds the grid)", firstClick);
    std::printf("later clicks                       %.3f ms cpu (median of 20; point %lld)\n",
                Median(clicks).cpu, static_cast<long long>(firstPick));
    std::printf("peak memory                        %.1f MiB (points %.1f MiB)\n",
                usage.ru_maxrss / 1024.0, count * sizeof(TrackPoint) / 1048576.0);
    return 0;
}
