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
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <QToolTip>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "desktop/figures_strip.h"
#include "desktop/tile_loader.h"
#include "desktop/outline_map.h"
#include "desktop/point_readout.h"
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

// Writes the tiles the view shows (all of one colour, in a folder of their
// own, given a `plain` colour) and gives the source anew (the tiles were
// asked before they existed), then waits for them.
void FillMap(TrackViewWindow& view, const QColor& plain = QColor()) {
    const MercatorView& shown = view.outline()->map()->View();
    std::vector<TileKey> keys;
    for (const PlacedTile& t : VisibleTiles(shown, shown.TileZoom())) keys.push_back(t.key);
    const std::string folder =
        ferolin_test::TileFolder() + (plain.isValid() ? "/plain-" + plain.name().mid(1).toStdString() : "");
    ferolin_test::WriteMapTiles(folder, keys, plain);
    auto* source = Find<QLineEdit>(view, "mapSource");
    source->setText(QString::fromStdString("file://" + folder + "/"));
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
    // An axis that spans its data alone has its ticks from an anchor inside.
    const bool inside = axis->tickType() == QValueAxis::TicksDynamic;
    const double first = inside ? axis->tickAnchor() : axis->min();
    const double step = inside ? axis->tickInterval() : (axis->max() - axis->min()) / (axis->tickCount() - 1);
    const int ticks = inside ? static_cast<int>(std::floor((axis->max() - first) / step + 1e-9)) + 1
                             : axis->tickCount();
    const double mantissa = step / std::pow(10, std::floor(std::log10(step) + 1e-9));
    EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-6 || std::fabs(mantissa - 2) < 1e-6 ||
                std::fabs(mantissa - 5) < 1e-6) << name << " step " << step;
    std::set<QString> labels;
    for (int k = 0; k < ticks; ++k)
        labels.insert(QString::asprintf(axis->labelFormat().toLatin1().constData(),
                                        first + k * step));
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
    EXPECT_EQ(outline.map()->tiles().Source().Attribution(), TileSource::DefaultAttribution());
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
    // A minute apart: no pause between them.
    TrackPoint two[2] = {slow[0], slow[100]};
    two[0].altitude = 100, two[1].altitude = 1100;
    two[1].hour = two[0].hour, two[1].minute = static_cast<int8_t>(two[0].minute + 1);
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

TEST(TrackViewMap, RefusedTileSourceKeepsThePrevious) {
    ferolin_test::ClearSettings();
    TrackViewWindow view;
    view.ShowView();
    Settle();
    auto* field = Find<QLineEdit>(view, "mapSource");
    auto* message = Find<QLabel>(view, "mapSourceMessage");
    OutlineMap& map = *view.outline()->map();
    const QString folder = QString::fromStdString("file://" + ferolin_test::TileFolder());
    const struct Case {
        QString typed;
        QString reason;  // a part of the message; "" when the source is taken
    } cases[] = {
        {"tiles please", "{z}, {x} and {y}"},
        {folder + "/", ""},
        {"https://tiles.example.org/{z}/{x}.png", "{y}"},
        {folder + "/no-such-folder", "No folder"},
        {" https://tiles.example.org/{z}/{x}/{y}.png ", ""},
    };
    for (const Case& c : cases) {
        const QString before = map.Source();
        const std::string stored = ReadSettingString(kSettingMapTiles);
        field->setText(c.typed);
        emit field->editingFinished();
        Settle();
        const std::string typed = c.typed.toStdString();
        if (c.reason.isEmpty()) {
            EXPECT_FALSE(message->isVisible()) << typed;
            EXPECT_EQ(map.Source(), c.typed.trimmed());
            EXPECT_EQ(ReadSettingString(kSettingMapTiles), c.typed.trimmed().toStdString());
            EXPECT_EQ(field->text(), c.typed.trimmed());
            continue;
        }
        // The refused text stays in the field, the message beside it whole,
        // in a warning colour; the map and the settings keep the previous one.
        EXPECT_TRUE(message->isVisible()) << typed;
        EXPECT_TRUE(message->text().contains(c.reason)) << message->text().toStdString();
        EXPECT_TRUE(message->accessibleName().contains(message->text()));
        EXPECT_GE(message->width(), message->fontMetrics().horizontalAdvance(message->text()));
        const QColor colour = message->palette().color(QPalette::WindowText);
        EXPECT_GT(colour.red(), 2 * colour.green()) << typed;
        EXPECT_EQ(field->text(), c.typed);
        EXPECT_EQ(map.Source(), before);
        EXPECT_EQ(ReadSettingString(kSettingMapTiles), stored);
    }
}

TEST(TrackViewMap, FitOnlyReadsTheMapsView) {
    // The outline hidden and resized: its size changes without a resize
    // event. Fit() and the pixels of the points read the map's view as it
    // is; showing the pane again gives the map its new size.
    ferolin_test::ClearSettings();
    const std::vector<TrackPoint> loop = Loop(300);
    TrackViewWindow view;
    view.ShowView();
    view.SetTrack(loop.data(), 300);
    Settle();
    TrackOutline& outline = *view.outline();
    ASSERT_TRUE(outline.MapOn());
    const OutlineMap& map = *outline.map();
    auto same = [](const MercatorView& a, const MercatorView& b) {
        return a.centreX == b.centreX && a.centreY == b.centreY && a.scale == b.scale &&
               a.width == b.width && a.height == b.height;
    };
    const MercatorView shown = map.View();
    EXPECT_EQ(shown.width, outline.width());
    const ScreenFit fit = static_cast<const TrackOutline&>(outline).Fit();
    outline.hide();
    outline.resize(outline.width() + 120, outline.height() - 40);
    ASSERT_NE(outline.width(), shown.width);
    const TrackOutline& reader = outline;
    EXPECT_EQ(reader.Fit().pixelsPerMetre, fit.pixelsPerMetre);
    QPointF pixel;
    EXPECT_TRUE(reader.PixelOf(100, pixel));
    EXPECT_TRUE(same(map.View(), shown));
    outline.show();
    Settle();
    EXPECT_EQ(map.View().width, outline.width());
    EXPECT_EQ(map.View().height, outline.height());

    // A track taken while the map is off, far from the first: switching the
    // map on fits it at once, before any paint.
    std::vector<TrackPoint> far = loop;
    for (TrackPoint& p : far) p.longitude += 20;
    auto* check = Find<QCheckBox>(view, "mapCheck");
    check->setChecked(false);
    view.SetTrack(far.data(), 300);
    Settle();
    check->setChecked(true);
    ASSERT_TRUE(reader.PixelOf(150, pixel));
    EXPECT_TRUE(QRectF(outline.rect()).contains(pixel)) << pixel.x() << "," << pixel.y();
    view.SetTrack(nullptr, 0);
}

TEST(TrackViewMap, OffPaneLabelsAndLightGrounds) {
    // The loop on dark tiles: the legend and the scale bar read on a light
    // ground; "Start" keeps off the scale bar when the start lies beside it,
    // and is not drawn once the map is dragged away from the start.
    ferolin_test::ClearSettings();
    const std::vector<TrackPoint> loop = Loop(1200);
    TrackViewWindow view;
    view.ShowView();
    view.resize(900, 680);
    view.SetTrack(loop.data(), 1200);
    Settle();
    const QColor dark(30, 40, 50);
    FillMap(view, dark);
    TrackOutline& outline = *view.outline();
    const QImage image = outline.grab().toImage();
    const QRectF legend = outline.LegendBox(), scale = outline.ScaleBarBox();
    for (const QRectF& box : {legend, scale}) {
        ASSERT_FALSE(box.isEmpty());
        // Inside the box's corner, clear of its texts: light; just left of
        // it, the dark tile.
        EXPECT_GT(image.pixelColor((box.topLeft() + QPointF(3, 3)).toPoint()).lightness(), 190);
        const QPoint outside(box.left() - 3, box.center().y());
        ASSERT_TRUE(image.rect().contains(outside));
        EXPECT_LT(image.pixelColor(outside).lightness(), 60);
    }
    const QSize pane = outline.size();
    struct Case {
        QPointF startAt;  // where a drag brings the start
        bool labelled;
    } cases[] = {
        {PixelOf(view, 0), true},
        {QPointF(scale.right() - 10, scale.top() + 12), true},
        {QPointF(legend.left() - 4, legend.center().y()), true},
        {QPointF(-150, pane.height() / 2.0), false},
        {QPointF(pane.width() / 2.0, pane.height() + 90.0), false},
    };
    for (const Case& c : cases) {
        const QPointF from(pane.width() / 2.0, pane.height() / 2.0);
        const QPointF to = from + c.startAt - PixelOf(view, 0);
        if (QLineF(from, to).length() > 1) {
            Mouse(&outline, QEvent::MouseButtonPress, from, Qt::LeftButton);
            Mouse(&outline, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
            Mouse(&outline, QEvent::MouseMove, to, Qt::LeftButton);
            Mouse(&outline, QEvent::MouseButtonRelease, to, Qt::NoButton);
        }
        Settle();
        outline.grab();
        EXPECT_EQ(!outline.StartLabel().isEmpty(), c.labelled) << c.startAt.x() << "," << c.startAt.y();
        EXPECT_EQ(!outline.StopLabel().isEmpty(), c.labelled);
        for (const QRectF& box : {outline.LegendBox(), outline.ScaleBarBox()})
            for (const QRectF& label : {outline.StartLabel(), outline.StopLabel()})
                EXPECT_FALSE(box.intersects(label)) << c.startAt.x() << "," << c.startAt.y();
    }
    view.SetTrack(nullptr, 0);
}

TEST(TrackViewMap, APauseBreaksTheLine) {
    // The same loop with the clock stopped between two points whose pixels
    // differ: a pause beyond kMaxMovingGapSeconds drops the line across it,
    // a shorter stop keeps it.
    ferolin_test::ClearSettings();
    WriteSettingUint(kSettingMapShown, 0);
    std::vector<TrackPoint> loop = Loop(600);
    TrackViewWindow view;
    view.ShowView();
    view.SetTrack(loop.data(), 600);
    Settle();
    auto floorOf = [](QPointF p) { return QPoint(std::floor(p.x()), std::floor(p.y())); };
    uint32_t k = 300;
    while (floorOf(PixelOf(view, k - 1)) == floorOf(PixelOf(view, k))) ++k;
    view.outline()->grab();
    const size_t steady = view.outline()->LastSegmentCount();
    ASSERT_GT(steady, 100u);
    const struct {
        double pause;
        size_t fewer;
    } cases[] = {{kMaxMovingGapSeconds - 60, 0}, {kMaxMovingGapSeconds + 60, 1}, {3600, 1}};
    for (const auto& c : cases) {
        std::vector<TrackPoint> paused = Loop(600);
        for (uint32_t i = k; i < paused.size(); ++i) {
            const int s = static_cast<int>(i + c.pause);
            paused[i].hour = static_cast<int8_t>(8 + s / 3600);
            paused[i].minute = static_cast<int8_t>(s / 60 % 60);
            paused[i].seconds = static_cast<float>(s % 60);
        }
        view.SetTrack(paused.data(), 600);
        Settle();
        view.outline()->grab();
        EXPECT_EQ(view.outline()->LastSegmentCount() + c.fewer, steady) << c.pause;
    }
    view.SetTrack(nullptr, 0);
}

TEST(TrackViewMap, ColoursByAChannel) {
    // The ride of tests/data/info (heart rate, cadence, power, temperature)
    // and a plain walk: each offers what its points carry; the choice
    // recolours the line and the legend, outlives the window and waits
    // through a track that lacks it.
    ferolin_test::ClearSettings();
    WriteSettingUint(kSettingMapShown, 0);
    ferolin_test::Driver driver;
    auto dialog = ferolin_test::MakeDialog(driver);
    dialog->Start({});
    dialog->show();
    TrackViewWindow& view = *dialog->trackView();
    view.ShowView();
    auto* colour = Find<QComboBox>(view, "colourChannel");
    auto items = [](QComboBox* box) {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i) texts << box->itemText(i);
        return texts;
    };
    const QString ride = QStringLiteral(FEROLIN_SOURCE_DIR "/tests/data/info/ride.fit");
    const QString walk = QStringLiteral(FEROLIN_SOURCE_DIR "/tests/data/info/walk.gpx");
    const struct {
        QString path;
        QStringList choices;
        QString shown;
    } cases[] = {
        {ride, {"Altitude", "Speed", "Heart rate", "Cadence", "Power", "Temperature"}, "Altitude"},
        {walk, {"Altitude", "Speed"}, "Altitude"},
    };
    for (const auto& c : cases) {
        dialog->OpenPath(c.path);
        Settle();
        EXPECT_EQ(items(colour), c.choices) << c.path.toStdString();
        EXPECT_EQ(colour->currentText(), c.shown);
    }

    // Power on the ride: the legend in watts, the line in other colours.
    dialog->OpenPath(ride);
    Settle();
    TrackOutline& outline = *view.outline();
    const QImage byAltitude = outline.grab().toImage();
    ASSERT_EQ(outline.LegendTexts().size(), 3);
    EXPECT_TRUE(outline.LegendTexts()[1].endsWith(QStringLiteral(" m")));
    const int power = colour->findText(QStringLiteral("Power"));
    colour->setCurrentIndex(power);
    emit colour->activated(power);
    const QImage byPower = outline.grab().toImage();
    EXPECT_EQ(outline.LegendTexts()[0], QStringLiteral("Power"));
    EXPECT_TRUE(outline.LegendTexts()[1].endsWith(QStringLiteral(" W")));
    int recoloured = 0;
    for (uint32_t i = 1; i < view.data().count; ++i) {
        const QPoint middle = ((PixelOf(view, i - 1) + PixelOf(view, i)) / 2).toPoint();
        recoloured += byAltitude.pixelColor(middle) != byPower.pixelColor(middle);
    }
    EXPECT_GT(recoloured, 0);

    // The walk has no power: coloured by altitude, power still wanted, and
    // back on the ride, in a new window as well.
    dialog->OpenPath(walk);
    Settle();
    EXPECT_EQ(colour->currentText(), QStringLiteral("Altitude"));
    outline.grab();
    EXPECT_EQ(outline.LegendTexts().value(0), QStringLiteral("Altitude"));
    dialog->OpenPath(ride);
    Settle();
    EXPECT_EQ(colour->currentText(), QStringLiteral("Power"));
    TrackViewWindow fresh;
    fresh.ShowView();
    fresh.SetTrack(view.data().points, view.data().count, view.data().extras);
    Settle();
    EXPECT_EQ(Find<QComboBox>(fresh, "colourChannel")->currentText(), QStringLiteral("Power"));
    fresh.SetTrack(nullptr, 0);
}

TEST(TrackViewMap, ReadoutUnderThePointer) {
    // Resting on a point of the line shows its readout; off the line, or
    // while a button is held, nothing.
    ferolin_test::ClearSettings();
    WriteSettingUint(kSettingMapShown, 0);
    const std::vector<TrackPoint> loop = Loop(300);
    TrackViewWindow view;
    view.ShowView();
    view.SetTrack(loop.data(), 300);
    Settle();
    TrackOutline& outline = *view.outline();
    outline.grab();
    const QPointF centre = (PixelOf(view, 0) + PixelOf(view, 149)) / 2;
    const struct {
        QPointF at;
        Qt::MouseButtons buttons;
        int64_t point;  // -1: no readout
    } cases[] = {
        {PixelOf(view, 40), Qt::NoButton, 40},
        {PixelOf(view, 150), Qt::NoButton, 150},
        {centre, Qt::NoButton, -1},
        {PixelOf(view, 220), Qt::NoButton, 220},
        {PixelOf(view, 90), Qt::LeftButton, -1},
    };
    for (const auto& c : cases) {
        Mouse(&outline, QEvent::MouseMove, c.at, c.buttons);
        const QString expected = c.point < 0 ? QString() : PointReadout(view.data(), c.point);
        EXPECT_EQ(outline.Readout(), expected) << c.point;
        if (c.point >= 0) {
            EXPECT_FALSE(expected.isEmpty());
            EXPECT_EQ(QToolTip::text(), expected);
        }
    }
    view.SetTrack(nullptr, 0);
}
