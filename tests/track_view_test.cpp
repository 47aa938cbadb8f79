// The track view on the offscreen platform: with the real main dialog and
// the bundled sample, and on its own with degenerate tracks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGraphicsRectItem>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "desktop/figures_strip.h"
#include "desktop/point_readout.h"
#include "desktop/tile_loader.h"
#include "desktop/outline_map.h"
#include "desktop/point_details_dialog.h"
#include "desktop/track_model.h"
#include "desktop/track_view.h"
#include "desktop_test_support.h"
#include "window_test_support.h"

using namespace ferolin;
using ferolin_test::Check;
using ferolin_test::Find;

namespace {

const QString kSample = QStringLiteral(FEROLIN_SAMPLES "/hike.log");

void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// A main dialog that answers its modal steps without blocking.
struct Window {
    ferolin_test::Driver driver;
    std::unique_ptr<MainDialog> owner = ferolin_test::MakeDialog(driver);
    MainDialog& dialog = *owner;
    Window() {
        dialog.Start({});
        dialog.show();
        Settle();
    }
    TrackViewWindow& view() { return *dialog.trackView(); }
    QTableView& list() { return *dialog.trackList(); }
    const TrackPoint& point(int i) { return dialog.track().points[i]; }
    // Starts the time window at the minute of `p`.
    void SetStart(const TrackPoint& p) {
        const int fields[] = {p.day, p.month, p.year, p.hour, p.minute};
        const char* names[] = {"startDayEdit", "startMonthEdit", "startYearEdit", "startHourEdit",
                               "startMinuteEdit"};
        for (int f = 0; f < 5; ++f)
            Find<QLineEdit>(dialog, names[f])->setText(QString::number(fields[f]));
        Check(dialog, "startTimeCheck", true);
        Settle();
    }
};

double Distance(QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); }

int Saturation(QColor c) {
    return std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
}

// A point dated 16/6/2007 8:00 plus `minute` minutes; undated for a negative minute.
TrackPoint Point(double latitude, double longitude, float altitude, int minute) {
    TrackPoint p{};
    p.record = minute + 1;
    p.latitude = latitude;
    p.longitude = longitude;
    p.altitude = altitude;
    p.speed = 4.0f + minute % 3;
    if (minute >= 0) {
        p.day = 16, p.month = 6, p.year = 2007;
        p.hour = static_cast<int8_t>(8 + minute / 60);
        p.minute = static_cast<int8_t>(minute % 60);
    }
    return p;
}

}  // namespace

TEST(TrackView, ListAndViewSelectEachOther) {
    ferolin_test::ClearSettings();
    Window w;
    TrackViewWindow& view = w.view();
    EXPECT_FALSE(view.isVisible());
    w.dialog.OpenPath(kSample);
    ASSERT_TRUE(w.driver.messages.empty()) << w.driver.messages[0].text.toStdString();
    const CurrentTrack& track = w.dialog.track();
    ASSERT_EQ(track.count, 600u);

    // Ctrl+T opens the view; so does the button beside About.
    QApplication::setActiveWindow(&w.dialog);
    QTest::keyClick(&w.dialog, Qt::Key_T, Qt::ControlModifier);
    Settle();
    EXPECT_TRUE(view.IsShown());
    view.close();
    EXPECT_FALSE(view.IsShown());
    ferolin_test::Click(w.dialog, "trackViewButton");
    Settle();
    ASSERT_TRUE(view.isVisible());
    EXPECT_EQ(view.data().points, track.points.get());
    EXPECT_EQ(view.data().count, 600u);

    // A click in the list marks the point in the outline and both profiles.
    QTableView& list = w.list();
    list.scrollTo(w.dialog.model()->index(25, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualRect(w.dialog.model()->index(25, 1)).center());
    Settle();
    EXPECT_EQ(view.MarkedPoint(), 25);
    ASSERT_GE(view.altitudeMarker()->count(), 1);
    EXPECT_EQ(view.altitudeMarker()->at(0), QPointF(view.data().distance[25] / 1000.0,
                                                    w.point(25).altitude));
    ASSERT_EQ(view.speedMarker()->count(), 1);
    EXPECT_DOUBLE_EQ(view.speedMarker()->at(0).y(), w.point(25).speed);

    // A click on the outline selects the row of a point drawn under the
    // pointer, scrolled into view, and shows that point in the details window.
    TrackOutline& outline = *view.outline();
    QPointF target, hit;
    ASSERT_TRUE(outline.PixelOf(480, target));
    QTest::mouseClick(&outline, Qt::LeftButton, {}, target.toPoint());
    Settle();
    const int picked = list.currentIndex().row();
    ASSERT_TRUE(outline.PixelOf(picked, hit));
    EXPECT_LT(Distance(hit, target), 2.0);
    EXPECT_EQ(view.MarkedPoint(), picked);
    EXPECT_TRUE(list.viewport()->rect().intersects(list.visualRect(list.currentIndex())));
    EXPECT_EQ(w.dialog.details()->ValueText(0), QString::number(w.point(picked).record));
    EXPECT_EQ(w.dialog.track().selected, &w.point(picked));

    // A click on each profile picks the point drawn under it.
    const double shift = view.speedSeries()->at(0).x() - view.data().seconds[0] * 1000.0;
    struct Profile {
        ProfileChart* chart;
        int aimedAt;
        std::function<QPointF(int)> value;
    } profiles[] = {
        {view.altitudeChart(), 150,
         [&](int i) { return QPointF(view.data().distance[i] / 1000.0, w.point(i).altitude); }},
        {view.speedChart(), 400,
         [&](int i) { return QPointF(view.data().seconds[i] * 1000.0 + shift, w.point(i).speed); }},
    };
    for (const Profile& p : profiles) {
        const QPoint at = p.chart->PixelOf(p.value(p.aimedAt)).toPoint();
        QTest::mouseClick(p.chart->viewport(), Qt::LeftButton, {}, at);
        Settle();
        const int row = list.currentIndex().row();
        EXPECT_LT(Distance(p.chart->PixelOf(p.value(row)), at), 3.0) << p.aimedAt << " " << row;
        EXPECT_EQ(view.MarkedPoint(), row);
        EXPECT_EQ(w.dialog.details()->ValueText(0), QString::number(w.point(row).record));
    }
}

TEST(TrackView, FadedPartFollowsTheSelectionPanel) {
    ferolin_test::ClearSettings();
    Window w;
    w.dialog.OpenPath(kSample);
    TrackViewWindow& view = w.view();
    view.ShowView();
    view.resize(900, 700);
    Settle();
    const uint32_t count = w.dialog.track().count;
    ASSERT_EQ(count, 600u);
    EXPECT_EQ(view.data().exported.size(), 600u);

    // Start at the minute of point 300: the points before it are faded.
    w.SetStart(w.point(300));
    const auto& exported = view.data().exported;
    ASSERT_FALSE(exported.empty());
    const uint32_t firstKept = view.data().IndexOf(exported.front());
    EXPECT_LE(firstKept, 300u);
    EXPECT_GT(firstKept, 280u);
    EXPECT_EQ(exported.size(), 600u - firstKept);

    // In the picture, a point far from every point of the other kind is
    // grey when left out, coloured when kept (away from the start and stop
    // marks, the legend and the scale bar).
    const QImage image = view.outline()->grab().toImage();
    const double ratio = image.devicePixelRatio(), width = image.width() / ratio,
                 height = image.height() / ratio;
    std::vector<QPointF> pixels(count);
    for (uint32_t i = 0; i < count; ++i) ASSERT_TRUE(view.outline()->PixelOf(i, pixels[i]));
    auto clearOf = [&](uint32_t i, bool kept) {
        for (uint32_t j = 0; j < count; ++j)
            if ((j >= firstKept) == kept && Distance(pixels[i], pixels[j]) < 8) return false;
        const QPointF p = pixels[i];
        return Distance(p, pixels[0]) > 60 && Distance(p, pixels[599]) > 60 &&
               !(p.x() > width - 130 && p.y() < 220) && !(p.x() < width / 4 + 40 && p.y() > height - 45);
    };
    int grey = 0, coloured = 0;
    for (uint32_t i = 5; i < count - 5; ++i) {
        const bool kept = i >= firstKept;
        if (!clearOf(i, !kept)) continue;
        const QPointF at = pixels[i] * ratio;
        const QColor c = image.pixelColor(static_cast<int>(std::floor(at.x())),
                                          static_cast<int>(std::floor(at.y())));
        EXPECT_FALSE(std::abs(c.red() - 252) < 8 && std::abs(c.green() - 252) < 8 &&
                     std::abs(c.blue() - 250) < 8)
            << i << ": background";
        if (kept) {
            EXPECT_GT(Saturation(c), 40) << i;
            ++coloured;
        } else {
            EXPECT_LT(Saturation(c), 12) << i;
            ++grey;
        }
    }
    EXPECT_GT(grey, 20);
    EXPECT_GT(coloured, 20);

    // The geoid height lowers the exported altitude, not the raw one; the
    // edit keeps what the user typed.
    Find<QLineEdit>(w.dialog, "geoidEdit")->setText(QStringLiteral("45"));
    Check(w.dialog, "geoidCheck", true);
    Settle();
    ASSERT_FALSE(view.data().exported.empty());
    EXPECT_FLOAT_EQ(view.data().exported.back().altitude, w.point(599).altitude - 45.0f);
    ASSERT_GT(view.exportedAltitudeSeries()->count(), 0);
    EXPECT_DOUBLE_EQ(view.exportedAltitudeSeries()->points().back().y(),
                     w.point(599).altitude - 45.0f);
    EXPECT_DOUBLE_EQ(view.rawAltitudeSeries()->points().back().y(), w.point(599).altitude);
    EXPECT_EQ(ferolin_test::Text(w.dialog, "geoidEdit"), QStringLiteral("45"));

    // Moving the window's start moves the faded part; switching it off keeps all.
    w.SetStart(w.point(100));
    EXPECT_LT(view.data().IndexOf(view.data().exported.front()), 101u);
    EXPECT_GT(view.data().exported.size(), 490u);
    Check(w.dialog, "startTimeCheck", false);
    Settle();
    EXPECT_EQ(view.data().exported.size(), 600u);

    // A rule made by "Exclude" on the selected point leaves that point out.
    w.list().setCurrentIndex(w.dialog.model()->index(42, 0));
    Find<QAction>(*w.dialog.contextMenu(), "excludeAction")->trigger();
    Settle();
    EXPECT_EQ(view.data().exported.size(), 599u);
}

TEST(TrackView, DegenerateTracksShowANoteOrAFlatLine) {
    ferolin_test::ClearSettings();
    TrackViewWindow view;
    view.ShowView();
    const TrackPoint one[] = {Point(45.2, 5.7, 250, 0)};
    const std::vector<TrackPoint> still(500, Point(-33.9, 18.4, 0, -1));  // undated, altitude 0
    TrackPoint damaged[] = {Point(45, 6, 300, 0), Point(45.001, 6.001, 310, 1),
                            Point(45.002, 6.002, 320, 2), Point(45.003, 6.003, 330, 3)};
    damaged[1].latitude = std::numeric_limits<double>::quiet_NaN();
    damaged[2].altitude = std::numeric_limits<float>::infinity();
    damaged[3].speed = std::numeric_limits<float>::quiet_NaN();
    const TrackPoint mixed[] = {Point(45, 6, 300, 0), Point(45.001, 6, 300, -1),
                                Point(45.002, 6, 300, 2)};
    const QString noDate = "The points carry no date: the speed profile has no time axis.";
    const struct {
        const char* name;
        const TrackPoint* points;
        uint32_t count;
        QString outlineNote, speedNote;
        uint32_t positioned;
        int speedPoints;
        int64_t pickedAtCentre;  // -2: not checked
    } cases[] = {
        {"none", nullptr, 0, "No track loaded.", "No track loaded.", 0, 0, -1},
        {"one point", one, 1, "", "", 1, 1, 0},
        {"one place, undated", still.data(), 500, "", noDate, 500, 0, 0},
        {"damaged values", damaged, 4, "", "", 3, 3, -2},
        {"partly dated", mixed, 3, "", "", 3, 2, -2},
    };
    for (const auto& c : cases) {
        view.SetTrack(c.points, c.count);
        Settle();
        EXPECT_FALSE(view.grab().toImage().isNull()) << c.name;
        EXPECT_EQ(view.outline()->NoteText(), c.outlineNote) << c.name;
        EXPECT_EQ(view.SpeedNote(), c.speedNote) << c.name;
        EXPECT_EQ(view.SpeedChartShown(), c.speedNote.isEmpty()) << c.name;
        EXPECT_EQ(view.data().projection.positioned, c.positioned) << c.name;
        EXPECT_EQ(view.speedSeries()->count(), c.speedPoints) << c.name;
        EXPECT_EQ(view.rawAltitudeSeries()->count() > 0, c.count > 0) << c.name;
        if (c.pickedAtCentre != -2) {
            EXPECT_EQ(view.outline()->PointAt(QPointF(400, 300)), c.pickedAtCentre) << c.name;
        }
        view.outline()->PointAt(QPointF(-1e6, 1e9));  // far off: any point, no fault
    }
    // On one place, no line to draw, and a flat altitude profile.
    view.SetTrack(still.data(), 500);
    Settle();
    view.grab();
    EXPECT_EQ(view.outline()->LastSegmentCount(), 0u);
    for (const QPointF& p : view.rawAltitudeSeries()->points()) EXPECT_EQ(p.y(), 0.0);
    // Points without altitude (the record holds 0) are gaps: neither the
    // profile, nor the colour scale, nor the figures take their 0; a device's
    // own totals stand beside the computed ones.
    const TrackPoint ride[] = {Point(45, 6, 0, 0), Point(45.001, 6, 812, 1),
                               Point(45.002, 6, 824, 2), Point(45.003, 6, 0, 3),
                               Point(45.004, 6, 839, 4), Point(45.005, 6, 0, 5)};
    SensorChannels extras;
    for (const uint32_t i : {0u, 3u, 5u}) extras.MarkAbsent(i, kFieldAltitude);
    extras.device.ascentMetres = 35;
    view.SetTrack(ride, 6, &extras);
    view.Refresh();
    Settle();
    view.grab();
    // The profile breaks around them: 812-824, then 839 alone.
    const QList<QLineSeries*> runs = view.profiles()->RawAltitudeLines();
    ASSERT_EQ(runs.size(), 2);
    ASSERT_EQ(runs[0]->count(), 2);
    EXPECT_EQ(runs[0]->at(0).y(), 812.0);
    EXPECT_EQ(runs[0]->at(1).y(), 824.0);
    ASSERT_EQ(runs[1]->count(), 1);
    EXPECT_EQ(runs[1]->at(0).y(), 839.0);
    EXPECT_EQ(view.data().rawAltitude.min, 812.0);
    EXPECT_EQ(view.data().exportedAltitude.min, 812.0);
    const QString figures = view.figuresStrip()->Text();
    EXPECT_TRUE(figures.contains("Lowest: 812 m")) << figures.toStdString();
    EXPECT_TRUE(figures.contains("Ascent: 22 m")) << figures.toStdString();
    EXPECT_TRUE(figures.contains("Device: ascent 35 m\n")) << figures.toStdString();
    // A mark beyond the track is no mark.
    view.SetTrack(one, 1);
    Settle();
    view.MarkPoint(0);
    EXPECT_EQ(view.speedMarker()->count(), 1);
    view.MarkPoint(5);
    EXPECT_EQ(view.MarkedPoint(), -1);
    EXPECT_EQ(view.speedMarker()->count(), 0);
    view.SetTrack(nullptr, 0);
}

TEST(TrackView, PlacementSurvivesARestart) {
    ferolin_test::ClearSettings();
    {
        TrackViewWindow view;
        EXPECT_FALSE(view.WasShownAtExit());
        view.ShowView();
        view.move(140, 90);
        view.resize(720, 560);
        Settle();
    }
    {
        TrackViewWindow view;
        EXPECT_TRUE(view.WasShownAtExit());
        EXPECT_EQ(view.size(), QSize(720, 560));
        EXPECT_EQ(view.pos(), QPoint(140, 90));
        view.ShowView();  // left open again
    }
    {
        // The main dialog opens the view at start when it was open at exit;
        // closed with its close box, it stays closed at the next start.
        Window w;
        EXPECT_TRUE(w.view().isVisible());
        EXPECT_EQ(w.view().size(), QSize(720, 560));
        w.view().close();
    }
    {
        Window w;
        EXPECT_FALSE(w.view().isVisible());
        EXPECT_FALSE(w.view().WasShownAtExit());
    }
    {
        // Damaged values: no size, a position off every screen.
        QSettings stored(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ferolix"));
        stored.setValue(QStringLiteral("TrackViewX"), 4000000000u);
        stored.setValue(QStringLiteral("TrackViewY"), QStringLiteral("-90000"));
        stored.setValue(QStringLiteral("TrackViewWidth"), 0);
        stored.setValue(QStringLiteral("TrackViewHeight"), QStringLiteral("lots"));
    }
    TrackViewWindow view;
    // The default 900 x 680, narrowed to the screen (800 wide offscreen).
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(view.height(), 680);
    EXPECT_EQ(view.width(), std::min(900, screen.width() - 8));
    EXPECT_TRUE(screen.contains(view.pos())) << view.pos().x() << "," << view.pos().y();
}

TEST(TrackView, ScreenshotBesideTheMainWindow) {
    // Writes the README's picture when FEROLIN_SCREENSHOT_DIR names a folder.
    const QString folder = qEnvironmentVariable("FEROLIN_SCREENSHOT_DIR");
    ferolin_test::ClearSettings();
    Window w;
    // Opened by its name from its folder, so that the picture shows no build path.
    const QString folder0 = QDir::currentPath();
    QDir::setCurrent(QStringLiteral(FEROLIN_SAMPLES));
    // The ride with its sensors, its outline coloured by power.
    w.dialog.OpenPath(QStringLiteral("ride.fit"));
    QDir::setCurrent(folder0);
    TrackViewWindow& view = w.view();
    view.ShowView();
    view.resize(900, 680);
    w.SetStart(w.point(40));
    w.list().setCurrentIndex(w.dialog.model()->index(200, 0));
    w.list().scrollTo(w.dialog.model()->index(200, 0), QAbstractItemView::PositionAtCenter);
    auto* colour = Find<QComboBox>(view, "colourChannel");
    colour->setCurrentIndex(colour->findText(QStringLiteral("Power"), Qt::MatchStartsWith));
    emit colour->activated(colour->currentIndex());
    Settle();
    EXPECT_EQ(view.MarkedPoint(), 200);
    // The map from a folder of the test's own tiles: those the view shows,
    // written now, and asked again as the source is given anew.
    const MercatorView& map = view.outline()->map()->View();
    std::vector<TileKey> keys;
    for (const PlacedTile& t : VisibleTiles(map, map.TileZoom())) keys.push_back(t.key);
    ferolin_test::WriteMapTiles(ferolin_test::TileFolder(), keys);
    auto* source = Find<QLineEdit>(view, "mapSource");
    source->setText(QString::fromStdString("file://" + ferolin_test::TileFolder() + "/"));
    emit source->editingFinished();
    view.outline()->update();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(keys.begin(), keys.end(), [&](const TileKey& k) {
                return view.outline()->map()->tiles().Tile(k) != nullptr;
            });
        },
        10000));
    // The readout of a point of the speed profile under the pointer.
    ProfileChart& speed = *view.speedChart();
    const QLineSeries& line = *view.speedSeries();
    ASSERT_GT(line.count(), 2);
    const QPoint at = speed.PixelOf(line.at(line.count() * 2 / 3)).toPoint() + QPoint(1, -2);
    QMouseEvent move(QEvent::MouseMove, at, speed.viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(speed.viewport(), &move);
    EXPECT_TRUE(speed.readout()->isVisible());
    const QPixmap main = w.dialog.grab();
    const QPixmap side = view.grab();
    ASSERT_FALSE(main.isNull());
    ASSERT_FALSE(side.isNull());
    if (folder.isEmpty()) return;
    QImage picture(main.width() + side.width() + 24, std::max(main.height(), side.height()) + 16,
                   QImage::Format_RGB32);
    picture.fill(QColor(214, 219, 226));
    QPainter painter(&picture);
    painter.drawPixmap(8, 8, main);
    painter.drawPixmap(main.width() + 16, 8, side);
    painter.end();
    EXPECT_TRUE(picture.save(folder + QStringLiteral("/track-view.png")));
}

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace {

// A track view on settings cleared first, its map off, shown at a size.
std::unique_ptr<TrackViewWindow> PlainView(int width, int height) {
    ferolin_test::ClearSettings();
    auto view = std::make_unique<TrackViewWindow>();
    view->outline()->map()->SetShown(false);
    view->resize(width, height);
    view->show();
    return view;
}

}  // namespace

// A document of two tracks, the first of two segments, and two waypoints: the
// outline draws no line across a gap, the list beside the panes names the
// tracks and waypoints and centres the map on the one chosen, and the point
// list numbers each point's track and segment. One track of one segment
// shows neither.
TEST(TrackView, DocumentPartsAreDrawnApartAndListed) {
    const auto shown = PlainView(800, 600);
    TrackViewWindow& view = *shown;
    std::vector<TrackPoint> points;
    for (int i = 0; i < 6; ++i) points.push_back(Point(45 + 0.001 * i, 6 + (i >= 2 ? 0.01 : 0), 500, i));
    SensorChannels extras;
    extras.document.SetStructure({0, 2, 4}, {{"Morning", 0}, {"", 2}});
    Waypoint summit;
    summit.point = Point(45.0025, 6.005, 0, -1);
    summit.name = "Summit";
    extras.document.waypoints = {summit, summit};
    TrackListModel model;
    for (const bool split : {false, true}) {
        SCOPED_TRACE(split ? "three segments" : "one line");
        SensorChannels plain;
        view.SetTrack(points.data(), 6, split ? &extras : &plain);
        view.Refresh();
        Settle();
        view.grab();
        // Six points: five lines as one, three (two per segment) apart.
        EXPECT_EQ(view.outline()->LastSegmentCount(), split ? 3u : 5u);
        EXPECT_EQ(view.partsList()->isVisible(), split);
        model.SetTrack(points.data(), 6, split ? &extras : &plain);
        EXPECT_EQ(model.columnCount(), TrackListModel::kColumnCount + (split ? 2 : 0));
        // Each profile draws one line per segment, so none joins point 1 to
        // point 2 or point 3 to point 4; one line of six points as one.
        const TrackProfiles& profiles = *view.profiles();
        const QList<QLineSeries*> profileLines[] = {
            profiles.RawAltitudeLines(), profiles.ExportedAltitudeLines(), profiles.SpeedLines()};
        for (int p = 0; p < 3; ++p) {
            const QList<QLineSeries*>& lines = profileLines[p];
            ASSERT_EQ(lines.size(), split ? 3 : 1) << p;
            for (qsizetype r = 0; r < lines.size(); ++r) {
                ASSERT_EQ(lines[r]->count(), split ? 2 : 6) << p;
                if (p == 2) continue;  // the time profile: no distance
                EXPECT_EQ(lines[r]->at(0).x(), view.data().distance[2 * r] / 1000.0);
                EXPECT_EQ(lines[r]->points().back().x(),
                          view.data().distance[2 * r + lines[r]->count() - 1] / 1000.0);
            }
        }
    }
    ASSERT_EQ(view.partsList()->count(), 4);
    EXPECT_EQ(view.partsList()->item(0)->text(), "Morning (4 points)");
    EXPECT_EQ(view.partsList()->item(1)->text(), "Track 2 (2 points)");
    EXPECT_EQ(view.partsList()->item(2)->text(), "Waypoint: Summit");
    // Rows 0-5: tracks 1 1 1 1 2 2, segments 1 1 2 2 1 1.
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(model.data(model.index(row, TrackListModel::kColumnCount)).toInt(), row < 4 ? 1 : 2);
        EXPECT_EQ(model.data(model.index(row, TrackListModel::kColumnCount + 1)).toInt(), row % 4 < 2 ? 1 : 2);
    }
    // Choosing a track marks its first point; a waypoint centres the map on it.
    view.partsList()->setCurrentRow(1);
    EXPECT_EQ(view.MarkedPoint(), 4);
    view.outline()->map()->SetShown(true);
    view.partsList()->setCurrentRow(2);
    const MercatorView& centre = view.outline()->map()->View();
    EXPECT_NEAR(centre.centreX, MercatorX(6.005), 1e-9);
    EXPECT_NEAR(centre.centreY, MercatorY(45.0025), 1e-9);
    view.SetTrack(nullptr, 0);
}

namespace {

// A ride from 15:47 to 18:09 on 16/6/2007, a point every two minutes and,
// with `stop`, an hour's stop after 16:51, with no speed stored (the
// profile derives it) and heart rate on every point.
struct PausedRide {
    static constexpr uint32_t kCount = 43, kResumed = 33;  // the first point after the stop
    std::vector<TrackPoint> points;
    SensorChannels extras;
    explicit PausedRide(bool stop = true) {
        for (uint32_t i = 0; i < kCount; ++i) {
            const int minute = 467 + 2 * static_cast<int>(i) + (stop && i >= kResumed ? 58 : 0);
            points.push_back(Point(45 + 0.0004 * i, 6, 500.0f + i, minute));
            points.back().speed = 0;
        }
        float* beats = extras.Channel(Sensor::kHeartRate, kCount);
        for (uint32_t i = 0; i < kCount; ++i) beats[i] = 120.0f + i;
    }
};

// What an axis shows of its title and of the chart's, word by word: every
// word of the full title must be among them.
bool TitleReadable(const QString& full, const QAbstractAxis& axis, const QChart& chart) {
    const QString shown = axis.titleText() + QLatin1Char(' ') + chart.title();
    for (QString word : full.split(QLatin1Char(' '))) {
        word.remove(QRegularExpression(QStringLiteral("[(),]")));
        if (!shown.contains(word)) return false;
    }
    return true;
}

// Gives the view the ride and lets it settle.
void ShowRide(TrackViewWindow& view, PausedRide& ride) {
    view.SetTrack(ride.points.data(), PausedRide::kCount, &ride.extras);
    view.Refresh();
    Settle();
}

}  // namespace

// At the view's default size and at its minimum, for a ride with every
// channel and for a ride whose speed is derived: every label of the strip
// shows its whole text inside the strip and the window, every axis title is
// drawn whole (its note, if left out, in the chart's title), the time and
// distance axes span the data alone, and the minimum fits a 768 px screen.
TEST(TrackView, NothingIsCutAndTheAxesSpanTheData) {
    ferolin_test::ClearSettings();
    Window w;
    w.dialog.OpenPath(QStringLiteral(FEROLIN_SOURCE_DIR "/tests/data/info/ride.fit"));
    ASSERT_TRUE(w.driver.messages.empty());
    TrackViewWindow& view = w.view();
    view.outline()->map()->SetShown(false);
    view.ShowView();
    PausedRide paused;
    for (const bool ride : {true, false}) {
        if (!ride) view.SetTrack(paused.points.data(), PausedRide::kCount, &paused.extras);
        view.Refresh();
        for (const QSize size : {QSize(900, 680), view.minimumSizeHint()}) {
            SCOPED_TRACE((ride ? "ride " : "paused ") + std::to_string(size.width()) + "x" +
                         std::to_string(size.height()));
            view.resize(size);
            Settle();
            EXPECT_LE(view.minimumSizeHint().height(), 660);
            const FiguresStrip& strip = *view.figuresStrip();
            EXPECT_LE(strip.geometry().bottom(), view.height());
            EXPECT_LE(strip.geometry().right(), view.width());
            int labels = 0;
            for (const QLabel* label : strip.findChildren<QLabel*>()) {
                if (!label->isVisible()) continue;
                ++labels;
                const QRect box = label->geometry();
                EXPECT_TRUE(strip.rect().contains(box)) << label->text().toStdString();
                if (label->wordWrap()) continue;  // the device's totals wrap within the strip
                EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), box.width())
                    << label->text().toStdString();
            }
            EXPECT_GE(labels, ride ? 2 * 13 + 2 * 4 + 2 : 2 * 13 + 2);
            for (const ProfileChart* chart : {view.altitudeChart(), view.speedChart()}) {
                const QRectF plot = chart->chart()->plotArea();
                for (const QAbstractAxis* axis : chart->chart()->axes()) {
                    const bool across = axis->orientation() == Qt::Horizontal;
                    const QString full = view.profiles()->FullTitle(axis);
                    EXPECT_LE(QFontMetricsF(axis->titleFont()).horizontalAdvance(axis->titleText()),
                              across ? plot.width() : plot.height())
                        << axis->titleText().toStdString();
                    EXPECT_TRUE(TitleReadable(full, *axis, *chart->chart())) << full.toStdString();
                    if (!across) continue;
                    // The data fills the axis: it starts and ends with the track.
                    const auto* values = static_cast<const QValueAxis*>(axis);
                    const TrackViewData& d = view.data();
                    const double span = chart == view.speedChart()
                                            ? (d.lastSecond - d.firstSecond) * 1000.0
                                            : d.distance.back() / 1000.0;
                    EXPECT_GE(span, 0.75 * (values->max() - values->min())) << full.toStdString();
                }
            }
        }
    }
    EXPECT_TRUE(view.speedChart()->chart()->title().contains("from positions") ||
                view.speedChart()->chart()->axes(Qt::Vertical)[0]->titleText().contains("from positions"));
    view.SetTrack(nullptr, 0);
}

// A stop of an hour between two dated points breaks every profile's line
// there, as the gap between two segments does; the export list breaks there
// too.
TEST(TrackView, ProfilesBreakAtAPause) {
    const auto shown = PlainView(800, 600);
    TrackViewWindow& view = *shown;
    for (const bool paused : {true, false}) {
        SCOPED_TRACE(paused ? "paused" : "steady");
        PausedRide ride(paused);
        const uint32_t n = PausedRide::kCount, resumed = PausedRide::kResumed;
        ShowRide(view, ride);
        for (uint32_t i = 0; i < n; ++i)
            EXPECT_EQ(view.data().BreakBefore(i), paused && i == resumed) << i;
        const TrackProfiles& profiles = *view.profiles();
        for (const QList<QLineSeries*>& lines :
             {profiles.RawAltitudeLines(), profiles.ExportedAltitudeLines(), profiles.SpeedLines()}) {
            ASSERT_EQ(lines.size(), paused ? 2 : 1);
            EXPECT_EQ(lines[0]->count(), static_cast<int>(paused ? resumed : n));
            if (paused) EXPECT_EQ(lines[1]->count(), static_cast<int>(n - resumed));
        }
    }
    view.SetTrack(nullptr, 0);
}

// The mouse resting over a profile reads out the point nearest to it, in the
// text PointReadout gives; that text for points with and without altitude,
// time and channel values.
TEST(TrackView, HoverReadsOutTheNearestPoint) {
    const auto shown = PlainView(900, 680);
    TrackViewWindow& view = *shown;
    PausedRide ride;
    ShowRide(view, ride);
    // Over each profile, beside a drawn point: the readout of that point.
    for (ProfileChart* chart : {view.altitudeChart(), view.speedChart()}) {
        const QLineSeries* line = chart == view.altitudeChart() ? view.rawAltitudeSeries() : view.speedSeries();
        for (const int k : {1, 12, 20}) {
            QTest::mouseMove(chart->viewport(), chart->PixelOf(line->at(k)).toPoint() + QPoint(1, -2));
            EXPECT_TRUE(chart->readout()->isVisible()) << k;
            EXPECT_EQ(chart->readout()->text(), PointReadout(view.data(), k)) << k;
            EXPECT_FALSE(chart->readout()->accessibleName().isEmpty());
        }
    }
    view.SetTrack(nullptr, 0);
    // The text of points without altitude, without a heart rate, undated.
    ride.extras.MarkAbsent(3, kFieldAltitude);
    ride.extras.Channel(Sensor::kHeartRate, PausedRide::kCount)[4] = kNoSensorValue;
    ride.points[5].day = ride.points[5].month = 0, ride.points[5].year = 0;
    TrackViewData d;
    d.SetTrack(ride.points.data(), PausedRide::kCount, &ride.extras);
    struct Case {
        uint32_t point;
        const char* text;
    } cases[] = {
        {0, "15:47:00 \u00B7 0.00 km \u00B7 500 m \u00B7 120 bpm"},
        {3, "15:53:00 \u00B7 0.13 km \u00B7 - \u00B7 123 bpm"},
        {4, "15:55:00 \u00B7 0.18 km \u00B7 504 m \u00B7 -"},
        {5, "- \u00B7 0.22 km \u00B7 505 m \u00B7 125 bpm"},
        {PausedRide::kCount, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(PointReadout(d, c.point), QString::fromUtf8(c.text)) << c.point;
}

// A drag across a profile picks the points inside the span, by distance on
// the altitude profile and by time on the other, shading it while the mouse
// moves; a click picks one point as before.
TEST(TrackView, DraggingAcrossAProfilePicksASpan) {
    const auto shown = PlainView(900, 680);
    TrackViewWindow& view = *shown;
    PausedRide ride;
    ShowRide(view, ride);
    std::vector<std::pair<int, int>> spans;
    std::vector<int> picks;
    QObject::connect(view.profiles(), &TrackProfiles::spanPicked,
                     [&](int first, int last) { spans.emplace_back(first, last); });
    QObject::connect(view.profiles(), &TrackProfiles::pointPicked, [&](int i) { picks.push_back(i); });
    struct Case {
        bool altitude;
        int from, to;  // the drag starts between points from-1 and from, ends between to and to+1
    } cases[] = {{true, 5, 12}, {true, 20, 9}, {false, 3, 30}, {false, 25, 2}, {true, 7, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to));
        ProfileChart* chart = c.altitude ? view.altitudeChart() : view.speedChart();
        const QLineSeries* line = c.altitude ? view.rawAltitudeSeries() : view.speedSeries();
        const int first = std::min(c.from, c.to), last = std::max(c.from, c.to);
        auto between = [&](int a, int b) {
            return ((chart->PixelOf(line->at(a)) + chart->PixelOf(line->at(b))) / 2).toPoint();
        };
        const QPoint start = c.from <= c.to ? between(first - 1, first) : between(last, last + 1);
        const QPoint end = c.from <= c.to ? between(last, last + 1) : between(first - 1, first);
        spans.clear();
        picks.clear();
        if (c.from == c.to) {
            // A click: no span, the point under the mouse.
            const QPoint at = chart->PixelOf(line->at(c.from)).toPoint();
            QTest::mouseClick(chart->viewport(), Qt::LeftButton, {}, at);
            EXPECT_TRUE(spans.empty());
            EXPECT_EQ(picks, std::vector<int>{c.from});
            continue;
        }
        QTest::mousePress(chart->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(chart->viewport(), (start + end) / 2);
        ASSERT_NE(chart->dragBand(), nullptr);
        EXPECT_TRUE(chart->dragBand()->isVisible());
        EXPECT_GT(chart->dragBand()->rect().width(), 2);
        QTest::mouseMove(chart->viewport(), end);
        QTest::mouseRelease(chart->viewport(), Qt::LeftButton, {}, end);
        EXPECT_FALSE(chart->dragBand()->isVisible());
        EXPECT_TRUE(picks.empty());
        ASSERT_EQ(spans.size(), 1u);
        EXPECT_EQ(spans[0], std::make_pair(first, last));
    }
    view.SetTrack(nullptr, 0);
}
