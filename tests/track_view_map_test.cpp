// The track view's map, statistics strip and the fixes a look at the view
// asked for, on the offscreen platform: tiles from a folder written here (or
// from a port where nothing answers), never from the internet.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineSeries>
#include <QScatterSeries>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "desktop/figures_strip.h"
#include "desktop/map_tiles.h"
#include "desktop/outline_map.h"
#include "desktop/screen_place.h"
#include "desktop/settings_store.h"
#include "desktop/track_view.h"
#include "desktop_test_support.h"
#include "window_test_support.h"

using namespace ferolin;
using ferolin_test::Find;

namespace {

void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// A loop of `n` points a second apart around a hill, back where it began,
// with no speed stored (the view derives it), 1.3 m a step: 4.7 km/h.
std::vector<TrackPoint> Loop(int n) {
    std::vector<TrackPoint> points(n, TrackPoint{});
    for (int i = 0; i < n; ++i) {
        TrackPoint& p = points[i];
        const double a = 2 * M_PI * i / (n - 1);
        const double r = 1.3 * (n - 1) / (2 * M_PI);
        p.latitude = 45.0 + r * std::sin(a) / 111195.0;
        p.longitude = 6.0 + r * (1 - std::cos(a)) / (111195.0 * std::cos(45.0 * M_PI / 180));
        p.altitude = static_cast<float>(500 + 60 * std::sin(a));
        p.day = 1, p.month = 5, p.year = 2024;
        p.hour = static_cast<int8_t>(8 + i / 3600);
        p.minute = static_cast<int8_t>(i / 60 % 60);
        p.seconds = static_cast<float>(i % 60);
    }
    return points;
}

// Writes the tiles the view shows and gives the source anew (the tiles were
// asked before they existed), then waits for them.
void FillMap(TrackViewWindow& view) {
    const MercatorView& shown = view.outline()->map()->View();
    std::vector<TileKey> keys;
    for (const PlacedTile& t : VisibleTiles(shown, shown.TileZoom())) keys.push_back(t.key);
    ferolin_test::WriteMapTiles(ferolin_test::TileFolder(), keys);
    auto* source = Find<QLineEdit>(view, "mapSource");
    source->setText(QString::fromStdString("file://" + ferolin_test::TileFolder() + "/"));
    emit source->editingFinished();
    view.outline()->update();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(keys.begin(), keys.end(), [&](const TileKey& k) {
                return view.outline()->map()->tiles().Tile(k) != nullptr;
            });
        },
        10000));
    Settle();
}

QPointF PixelOf(TrackViewWindow& view, uint32_t i) {
    QPointF p;
    EXPECT_TRUE(view.outline()->PixelOf(i, p));
    return p;
}

void Mouse(QWidget* w, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, w->mapToGlobal(at), button, buttons, {});
    QApplication::sendEvent(w, &event);
}

// The labels of a value axis as it draws them: every one different, on a
// step of 1, 2 or 5 times a power of ten.
void ExpectRoundDistinctLabels(const QValueAxis* axis, const char* name) {
    const int ticks = axis->tickCount();
    const double step = (axis->max() - axis->min()) / (ticks - 1);
    const double mantissa = step / std::pow(10, std::floor(std::log10(step) + 1e-9));
    EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-6 || std::fabs(mantissa - 2) < 1e-6 ||
                std::fabs(mantissa - 5) < 1e-6) << name << " step " << step;
    std::set<QString> labels;
    for (int k = 0; k < ticks; ++k)
        labels.insert(QString::asprintf(axis->labelFormat().toLatin1().constData(),
                                        axis->min() + k * step));
    EXPECT_EQ(labels.size(), static_cast<size_t>(ticks)) << name;
}

}  // namespace

TEST(TrackViewMap, TilesZoomPanFitAndTheSwitch) {
    ferolin_test::ClearSettings();
    const std::vector<TrackPoint> loop = Loop(1200);
    TrackViewWindow view;
    view.ShowView();
    view.resize(900, 680);
    view.SetTrack(loop.data(), 1200);
    Settle();
    ASSERT_TRUE(view.outline()->MapOn());  // on by default
    FillMap(view);
    TrackOutline& outline = *view.outline();
    const QImage before = outline.grab().toImage();
    const QColor plain(252, 252, 250);
    const QPoint corner(12, 12);  // the map there, no line, no legend
    EXPECT_NE(before.pixelColor(corner), plain);

    // Two notches of the wheel at a point of the track: twice the scale, one
    // tile zoom more, and that point stays under the pointer.
    const QPointF at = PixelOf(view, 300), other = PixelOf(view, 900);
    const int zoom = outline.map()->View().TileZoom();
    QWheelEvent wheel(at, outline.mapToGlobal(at), {}, QPoint(0, 240), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&outline, &wheel);
    Settle();
    EXPECT_LT(QLineF(PixelOf(view, 300), at).length(), 1.0);
    EXPECT_NEAR(QLineF(PixelOf(view, 900), PixelOf(view, 300)).length(),
                2 * QLineF(other, at).length(), 1.0);
    EXPECT_EQ(outline.map()->View().TileZoom(), zoom + 1);

    // A drag moves the picture with the pointer and picks nothing.
    int picks = 0;
    QObject::connect(&view, &TrackViewWindow::pointPicked, [&picks] { ++picks; });
    const QPointF before300 = PixelOf(view, 300);
    Mouse(&outline, QEvent::MouseButtonPress, QPointF(200, 200), Qt::LeftButton);
    Mouse(&outline, QEvent::MouseMove, QPointF(230, 215), Qt::LeftButton);
    Mouse(&outline, QEvent::MouseMove, QPointF(250, 230), Qt::LeftButton);
    Mouse(&outline, QEvent::MouseButtonRelease, QPointF(250, 230), Qt::NoButton);
    EXPECT_LT(QLineF(PixelOf(view, 300), before300 + QPointF(50, 30)).length(), 0.5);
    EXPECT_EQ(picks, 0);
    // A click without a drag picks the point under it.
    QTest::mouseClick(&outline, Qt::LeftButton, {}, PixelOf(view, 700).toPoint());
    EXPECT_EQ(picks, 1);
    EXPECT_NEAR(view.MarkedPoint(), 700, 3);

    // "Fit track" shows the whole loop again, as at first.
    Find<QAction>(view, "fitTrackAction")->trigger();
    EXPECT_LT(QLineF(PixelOf(view, 300), at).length(), 0.5);

    // The switch: off, the outline in the local projection on plain ground,
    // kept in the settings; the source kept as typed, empty for the default.
    Find<QCheckBox>(view, "mapCheck")->setChecked(false);
    Settle();
    EXPECT_FALSE(outline.MapOn());
    EXPECT_EQ(outline.grab().toImage().pixelColor(corner), plain);
    uint32_t shown = 7;
    ReadSettingUint(kSettingMapShown, shown, 7);
    EXPECT_EQ(shown, 0u);
    auto* source = Find<QLineEdit>(view, "mapSource");
    source->setText(QString());
    emit source->editingFinished();
    EXPECT_EQ(ReadSettingString(kSettingMapTiles), "");
    EXPECT_EQ(outline.map()->tiles().Attribution(), MapTiles::DefaultAttribution());
    source->setText(QStringLiteral("https://tiles.example.org/{z}/{x}/{y}.png"));
    emit source->editingFinished();
    EXPECT_EQ(ReadSettingString(kSettingMapTiles), "https://tiles.example.org/{z}/{x}/{y}.png");
    view.SetTrack(nullptr, 0);
}

TEST(TrackViewMap, WithoutNetworkAQuietLine) {
    ferolin_test::ClearSettings();
    quint16 closed;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closed = probe.serverPort();
    }
    WriteSettingString(kSettingMapTiles,
                       "http://127.0.0.1:" + std::to_string(closed) + "/{z}/{x}/{y}.png");
    const std::vector<TrackPoint> loop = Loop(300);
    TrackViewWindow view;
    view.ShowView();
    view.SetTrack(loop.data(), 300);
    Settle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.outline()->map()->tiles().Offline(); }, 10000));
    EXPECT_EQ(view.outline()->map()->NoteText(), QStringLiteral("No network: the map is not shown."));
    EXPECT_FALSE(view.grab().isNull());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<QMessageBox*>(w), nullptr);
    view.SetTrack(nullptr, 0);
}

TEST(TrackViewMap, StripTicksLabelsAndColours) {
    // The strip against the figures worked out independently for the sample
    // (tests/data/info): 600 points, 181.1 m of ascent with the 5 m band,
    // 184.1 m with a 2 m band, which the spin box stores.
    ferolin_test::ClearSettings();
    ferolin_test::Driver driver;
    auto dialog = ferolin_test::MakeDialog(driver);
    dialog->Start({});
    dialog->show();
    dialog->OpenPath(QStringLiteral(FEROLIN_SAMPLES "/hike.log"));
    TrackViewWindow& view = *dialog->trackView();
    view.ShowView();
    Settle();
    const QString strip = view.figuresStrip()->Text();
    EXPECT_TRUE(strip.contains(QStringLiteral("Points: 600\n"))) << strip.toStdString();
    EXPECT_TRUE(strip.contains(QStringLiteral("Ascent: 181 m\n"))) << strip.toStdString();
    EXPECT_TRUE(strip.contains(QStringLiteral("Distance: 3.465 km\n"))) << strip.toStdString();
    Find<QSpinBox>(view, "ascentThreshold")->setValue(2);
    Settle();
    EXPECT_TRUE(view.figuresStrip()->Text().contains(QStringLiteral("Ascent: 184 m\n")));
    uint32_t band = 0;
    ReadSettingUint(kSettingAscentThreshold, band, 0);
    EXPECT_EQ(band, 2u);
    ExpectRoundDistinctLabels(qobject_cast<QValueAxis*>(view.altitudeChart()->chart()->axes(Qt::Vertical)[0]), "altitude");
    ExpectRoundDistinctLabels(qobject_cast<QValueAxis*>(view.altitudeChart()->chart()->axes(Qt::Horizontal)[0]), "distance");

    // The list's columns show their whole headers.
    QHeaderView* header = dialog->trackList()->horizontalHeader();
    for (int c = 0; c < header->count(); ++c)
        EXPECT_GE(header->sectionSize(c), header->fontMetrics().horizontalAdvance(
            header->model()->headerData(c, Qt::Horizontal).toString())) << c;

    // A slow loop with no speed stored: speeds derived, below 1 km/h on an
    // axis whose labels still differ; "Start" and "Stop" apart.
    std::vector<TrackPoint> slow = Loop(400);
    for (size_t i = 0; i < slow.size(); ++i) {
        slow[i].hour = static_cast<int8_t>(8 + i * 8 / 3600);
        slow[i].minute = static_cast<int8_t>(i * 8 / 60 % 60), slow[i].seconds = i * 8 % 60;
    }
    view.SetTrack(slow.data(), static_cast<uint32_t>(slow.size()));
    Settle();
    EXPECT_TRUE(view.data().speedDerived);
    EXPECT_NEAR(view.data().speeds[200], 1.3 / 8 * 3.6, 0.05);
    ExpectRoundDistinctLabels(qobject_cast<QValueAxis*>(view.speedChart()->chart()->axes(Qt::Vertical)[0]), "speed");
    EXPECT_TRUE(view.figuresStrip()->Text().contains(QStringLiteral("(derived)")));

    // The loop's stop moved a few pixels from its start, every way round:
    // the two labels never overlap.
    Find<QCheckBox>(view, "mapCheck")->setChecked(false);
    const double perMetre = view.outline()->Fit().pixelsPerMetre;
    const TrackPoint first = slow.front();
    for (const QPointF shift : {QPointF(0, 0), QPointF(0, -20), QPointF(0, 20), QPointF(30, -10),
                                QPointF(-40, 5), QPointF(6, -14)}) {
        slow.back().latitude = first.latitude - shift.y() / perMetre / 111195.0;
        slow.back().longitude = first.longitude + shift.x() / perMetre / (111195.0 * std::cos(M_PI / 4));
        view.SetTrack(slow.data(), static_cast<uint32_t>(slow.size()));
        Settle();
        view.outline()->grab();
        const QRectF start = view.outline()->StartLabel(), stop = view.outline()->StopLabel();
        EXPECT_FALSE(start.isEmpty());
        EXPECT_FALSE(stop.isEmpty());
        EXPECT_FALSE(start.intersects(stop)) << shift.x() << "," << shift.y();
    }

    // Two points far apart, 100 m and 1100 m: the line between them runs
    // from the low colour to the high one.
    TrackPoint two[2] = {slow[0], slow[100]};
    two[0].altitude = 100, two[1].altitude = 1100;
    view.SetTrack(two, 2);
    Settle();
    const QImage image = view.outline()->grab().toImage();
    const QPointF a = PixelOf(view, 0), b = PixelOf(view, 1);
    const QColor low = image.pixelColor((a + (b - a) * 0.2).toPoint());
    const QColor high = image.pixelColor((a + (b - a) * 0.8).toPoint());
    EXPECT_GT(low.blue(), low.red());
    EXPECT_GT(high.red(), high.blue());
    view.SetTrack(nullptr, 0);
}

TEST(TrackViewMap, SensorProfilesLinkedToTheList) {
    // The ride of tests/data/info: heart rate, cadence, power, temperature.
    ferolin_test::ClearSettings();
    ferolin_test::Driver driver;
    auto dialog = ferolin_test::MakeDialog(driver);
    dialog->Start({});
    dialog->show();
    dialog->OpenPath(QStringLiteral(FEROLIN_SOURCE_DIR "/tests/data/info/ride.fit"));
    TrackViewWindow& view = *dialog->trackView();
    view.ShowView();
    Settle();
    QComboBox* choice = Find<QComboBox>(view, "timeProfileChoice");
    ASSERT_TRUE(choice->isVisible());
    QStringList items;
    for (int i = 0; i < choice->count(); ++i) items << choice->itemText(i);
    EXPECT_EQ(items, QStringList({"Speed", "Heart rate", "Cadence", "Power", "Temperature"}));
    EXPECT_TRUE(view.figuresStrip()->Text().contains(QStringLiteral("Heart rate: avg 142, max 160 bpm\n")))
        << view.figuresStrip()->Text().toStdString();

    // Heart rate against time: the points that have one (not the second),
    // the marker and the list following each other.
    choice->setCurrentIndex(1);
    emit choice->activated(1);
    QList<qreal> beats;
    for (const QPointF& p : view.speedSeries()->points()) beats << p.y();
    EXPECT_EQ(beats, QList<qreal>({110, 131, 142, 150, 151, 149, 160}));
    ferolin_test::ClickRow(*dialog, 3);
    Settle();
    ASSERT_EQ(view.speedMarker()->count(), 1);
    EXPECT_EQ(view.speedMarker()->at(0).y(), 142);
    const QPoint at = view.speedChart()->PixelOf(view.speedSeries()->points()[5]).toPoint();
    QTest::mouseClick(view.speedChart()->viewport(), Qt::LeftButton, {}, at);
    Settle();
    EXPECT_EQ(dialog->trackList()->currentIndex().row(), 6);
    QHeaderView* header = dialog->trackList()->horizontalHeader();
    ASSERT_EQ(header->count(), 9);
    for (int c = 5; c < header->count(); ++c)
        EXPECT_GE(header->sectionSize(c), header->fontMetrics().horizontalAdvance(
            header->model()->headerData(c, Qt::Horizontal).toString())) << c;
}

TEST(TrackViewMap, OpensBesideTheMainWindow) {
    const QRect screen(0, 0, 1920, 1080);
    struct Case {
        QRect owner;
        QSize size;
        QPoint expected;
    } cases[] = {
        {QRect(100, 50, 700, 600), QSize(900, 680), QPoint(808, 50)},    // right
        {QRect(1200, 50, 700, 600), QSize(900, 680), QPoint(292, 50)},   // left
        {QRect(500, 500, 900, 600), QSize(900, 680), QPoint(1020, 400)},  // more room right, kept on screen
        {QRect(50, 50, 700, 600), QSize(2000, 680), QPoint(0, 50)},      // wider than the screen
    };
    for (const Case& c : cases) EXPECT_EQ(PlaceBeside(c.owner, c.size, screen), c.expected);
}
