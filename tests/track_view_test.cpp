// The track view on the offscreen platform: with the real main dialog and
// the bundled sample, and on its own with degenerate tracks.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QSettings>
#include <QTableView>
#include <QTest>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/track_point.h"
#include "desktop/main_dlg.h"
#include "desktop/point_details_dlg.h"
#include "desktop/settings_store.h"
#include "desktop/track_model.h"
#include "desktop/track_view.h"
#include "desktop_test_support.h"
#include "window_test_support.h"

using namespace ferolin;

namespace {

const QString kSample = QStringLiteral(FEROLIN_SAMPLES "/hike.log");

void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// A main dialog that answers its modal steps without blocking.
struct Window {
    ferolin_test::Driver driver;
    std::unique_ptr<CMainDlg> owner = ferolin_test::MakeDialog(driver);
    CMainDlg& dialog = *owner;
    Window() {
        dialog.Start({});
        dialog.show();
        Settle();
    }
    CTrackViewDlg& view() { return *dialog.trackView(); }
    QTableView& list() { return *dialog.trackList(); }
    template <class T>
    T& Child(const char* name) {
        T* child = dialog.findChild<T*>(QString::fromLatin1(name));
        if (!child) throw std::runtime_error(name);
        return *child;
    }
    void SetStart(const TrackPoint& p) {
        Child<QLineEdit>("startDayEdit").setText(QString::number(p.day));
        Child<QLineEdit>("startMonthEdit").setText(QString::number(p.month));
        Child<QLineEdit>("startYearEdit").setText(QString::number(p.year));
        Child<QLineEdit>("startHourEdit").setText(QString::number(p.hour));
        Child<QLineEdit>("startMinuteEdit").setText(QString::number(p.minute));
        Child<QCheckBox>("startTimeCheck").setChecked(true);
        Settle();
    }
};

double Distance(QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); }

// True when the pixel is close to the outline's background.
bool IsBackground(QColor c) {
    return std::abs(c.red() - 252) < 8 && std::abs(c.green() - 252) < 8 && std::abs(c.blue() - 250) < 8;
}
int Saturation(QColor c) {
    return std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()});
}

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
    CTrackViewDlg& view = w.view();
    EXPECT_FALSE(view.isVisible());
    w.dialog.OpenPath(kSample);
    ASSERT_TRUE(w.driver.messages.empty()) << w.driver.messages[0].text.toStdString();
    const CurrentTrack& track = w.dialog.track();
    ASSERT_EQ(track.count, 600u);

    // Ctrl+T opens the view; so does the button beside About.
    QApplication::setActiveWindow(&w.dialog);
    QTest::keyClick(&w.dialog, Qt::Key_T, Qt::ControlModifier);
    Settle();
    EXPECT_TRUE(view.isVisible());
    EXPECT_TRUE(view.IsShown());
    view.close();
    EXPECT_FALSE(view.IsShown());
    w.Child<QPushButton>("trackViewButton").click();
    Settle();
    ASSERT_TRUE(view.isVisible());
    EXPECT_EQ(view.data().count, 600u);
    EXPECT_EQ(view.data().points, track.points.get());
    // The main dialog's context menu is untouched.
    EXPECT_EQ(w.dialog.contextMenu()->actions().size(), 10);

    // A click in the list marks the point in the outline and both profiles.
    QTableView& list = w.list();
    list.scrollTo(w.dialog.model()->index(25, 0));
    const QRect row = list.visualRect(w.dialog.model()->index(25, 1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row.center());
    Settle();
    EXPECT_EQ(view.MarkedPoint(), 25);
    ASSERT_GE(view.altitudeMarker()->count(), 1);
    EXPECT_DOUBLE_EQ(view.altitudeMarker()->at(0).x(), view.data().distance[25] / 1000.0);
    EXPECT_DOUBLE_EQ(view.altitudeMarker()->at(0).y(), track.points[25].altitude);
    ASSERT_EQ(view.speedMarker()->count(), 1);
    EXPECT_DOUBLE_EQ(view.speedMarker()->at(0).y(), track.points[25].speed);

    // A click on the outline selects the row of the nearest point, scrolled
    // into view, and shows that point in the details window.
    CTrackOutline& outline = *view.outline();
    QPointF target;
    ASSERT_TRUE(outline.PixelOf(480, target));
    const QPoint click = target.toPoint();
    QTest::mouseClick(&outline, Qt::LeftButton, {}, click);
    Settle();
    const int picked = list.currentIndex().row();
    ASSERT_GE(picked, 0);
    double best = std::numeric_limits<double>::infinity();
    for (uint32_t i = 0; i < track.count; ++i) {
        QPointF p;
        ASSERT_TRUE(outline.PixelOf(i, p));
        best = std::min(best, Distance(p, click));
    }
    QPointF pickedPixel;
    ASSERT_TRUE(outline.PixelOf(static_cast<uint32_t>(picked), pickedPixel));
    EXPECT_NEAR(Distance(pickedPixel, click), best, 1e-6);
    EXPECT_LT(Distance(pickedPixel, target), 2.0);
    EXPECT_EQ(view.MarkedPoint(), picked);
    EXPECT_TRUE(list.viewport()->rect().intersects(list.visualRect(list.currentIndex())));
    EXPECT_EQ(w.dialog.details()->ValueText(0), QString::number(track.points[picked].record));
    EXPECT_EQ(w.dialog.track().selected, &track.points[picked]);

    // A click on the altitude profile, then on the speed profile.
    CProfileChart& altitude = *view.altitudeChart();
    const QPointF onAltitude =
        altitude.PixelOf(QPointF(view.data().distance[150] / 1000.0, track.points[150].altitude));
    QTest::mouseClick(altitude.viewport(), Qt::LeftButton, {}, onAltitude.toPoint());
    Settle();
    const int byAltitude = list.currentIndex().row();
    const QPointF hit = altitude.PixelOf(
        QPointF(view.data().distance[byAltitude] / 1000.0, track.points[byAltitude].altitude));
    EXPECT_LT(Distance(hit, onAltitude.toPoint()), 3.0) << byAltitude;
    EXPECT_EQ(w.dialog.details()->ValueText(0), QString::number(track.points[byAltitude].record));

    CProfileChart& speed = *view.speedChart();
    const double shift = view.speedSeries()->at(0).x() - view.data().seconds[0] * 1000.0;
    const QPointF onSpeed =
        speed.PixelOf(QPointF(view.data().seconds[400] * 1000.0 + shift, track.points[400].speed));
    QTest::mouseClick(speed.viewport(), Qt::LeftButton, {}, onSpeed.toPoint());
    Settle();
    const int bySpeed = list.currentIndex().row();
    const QPointF speedHit = speed.PixelOf(
        QPointF(view.data().seconds[bySpeed] * 1000.0 + shift, track.points[bySpeed].speed));
    EXPECT_LT(Distance(speedHit, onSpeed.toPoint()), 3.0) << bySpeed;
    EXPECT_EQ(view.MarkedPoint(), bySpeed);
}

TEST(TrackView, FadedPartFollowsTheTimeWindow) {
    ferolin_test::ClearSettings();
    Window w;
    w.dialog.OpenPath(kSample);
    CTrackViewDlg& view = w.view();
    view.ShowView();
    view.resize(900, 700);
    Settle();
    const CurrentTrack& track = w.dialog.track();
    ASSERT_EQ(track.count, 600u);
    EXPECT_EQ(view.data().exported.size(), 600u);

    // Start at the minute of point 300: the points before it are faded.
    w.SetStart(track.points[300]);
    const auto& exported = view.data().exported;
    ASSERT_FALSE(exported.empty());
    const uint32_t firstKept = view.data().IndexOf(exported.front());
    EXPECT_LE(firstKept, 300u);
    EXPECT_GT(firstKept, 280u);
    EXPECT_EQ(exported.size(), 600u - firstKept);

    // In the picture, a point far from every kept point is grey, a point far
    // from every faded one coloured.
    const QImage image = view.outline()->grab().toImage();
    const double ratio = image.devicePixelRatio();
    std::vector<QPointF> pixels(track.count);
    for (uint32_t i = 0; i < track.count; ++i) ASSERT_TRUE(view.outline()->PixelOf(i, pixels[i]));
    auto clearOf = [&](uint32_t i, bool kept) {
        for (uint32_t j = 0; j < track.count; ++j)
            if ((j >= firstKept) == kept && Distance(pixels[i], pixels[j]) < 8) return false;
        // Away from the start and stop marks, the legend and the scale bar.
        const double width = image.width() / ratio, height = image.height() / ratio;
        const QPointF p = pixels[i];
        return Distance(p, pixels[0]) > 60 && Distance(p, pixels[599]) > 60 &&
               !(p.x() > width - 130 && p.y() < 220) && !(p.x() < width / 4 + 40 && p.y() > height - 45);
    };
    int grey = 0, coloured = 0;
    for (uint32_t i = 5; i < track.count - 5; ++i) {
        const bool kept = i >= firstKept;
        if (!clearOf(i, !kept)) continue;
        const QPointF at = pixels[i] * ratio;
        const QColor c = image.pixelColor(static_cast<int>(std::floor(at.x())),
                                          static_cast<int>(std::floor(at.y())));
        EXPECT_FALSE(IsBackground(c)) << i;
        if (kept) {
            EXPECT_GT(Saturation(c), 40) << i << " " << c.red() << "," << c.green() << "," << c.blue() << " at " << pixels[i].x() << "," << pixels[i].y() << " alt " << track.points[i].altitude;
            ++coloured;
        } else {
            EXPECT_LT(Saturation(c), 12) << i;
            ++grey;
        }
    }
    EXPECT_GT(grey, 20);
    EXPECT_GT(coloured, 20);

    // The geoid height lowers the exported altitude, not the raw one.
    w.Child<QLineEdit>("geoidEdit").setText(QStringLiteral("45"));
    w.Child<QCheckBox>("geoidCheck").setChecked(true);
    Settle();
    ASSERT_FALSE(view.data().exported.empty());
    EXPECT_FLOAT_EQ(view.data().exported.back().altitude, track.points[599].altitude - 45.0f);
    ASSERT_GT(view.exportedAltitudeSeries()->count(), 0);
    EXPECT_DOUBLE_EQ(view.exportedAltitudeSeries()->at(view.exportedAltitudeSeries()->count() - 1).y(),
                     track.points[599].altitude - 45.0f);
    EXPECT_DOUBLE_EQ(view.rawAltitudeSeries()->at(view.rawAltitudeSeries()->count() - 1).y(),
                     track.points[599].altitude);
    // The edit keeps what the user typed: the view does not rewrite it.
    EXPECT_EQ(w.Child<QLineEdit>("geoidEdit").text(), QStringLiteral("45"));

    // Moving the window's start moves the faded part; switching it off keeps all.
    w.SetStart(track.points[100]);
    EXPECT_LT(view.data().IndexOf(view.data().exported.front()), 101u);
    EXPECT_GT(view.data().exported.size(), 490u);
    w.Child<QCheckBox>("startTimeCheck").setChecked(false);
    Settle();
    EXPECT_EQ(view.data().exported.size(), 600u);

    // A rule made by "Exclude" on the selected point leaves that point out.
    w.list().setCurrentIndex(w.dialog.model()->index(42, 0));
    for (QAction* action : w.dialog.contextMenu()->actions())
        if (action->objectName() == QStringLiteral("excludeAction")) action->trigger();
    Settle();
    EXPECT_EQ(view.data().exported.size(), 599u);
}

TEST(TrackView, DegenerateTracksShowANoteOrAFlatLine) {
    ferolin_test::ClearSettings();
    CTrackViewDlg view;
    view.ShowView();
    Settle();
    auto render = [&view] {
        Settle();
        const QImage image = view.grab().toImage();
        EXPECT_FALSE(image.isNull());
        view.outline()->PointAt(QPointF(10, 10));
        view.outline()->PointAt(QPointF(-1e6, 1e9));
    };

    // No track.
    view.SetTrack(nullptr, 0);
    render();
    EXPECT_EQ(view.outline()->NoteText(), QStringLiteral("No track loaded."));
    EXPECT_EQ(view.SpeedNote(), QStringLiteral("No track loaded."));
    EXPECT_EQ(view.rawAltitudeSeries()->count(), 0);
    EXPECT_EQ(view.outline()->PointAt(QPointF(5, 5)), -1);

    // One point: drawn, picked from anywhere.
    std::vector<TrackPoint> one = {Point(45.2, 5.7, 250, 0)};
    view.SetTrack(one.data(), 1);
    render();
    EXPECT_TRUE(view.outline()->NoteText().isEmpty());
    EXPECT_EQ(view.rawAltitudeSeries()->count(), 1);
    EXPECT_TRUE(view.SpeedChartShown());
    EXPECT_EQ(view.outline()->PointAt(QPointF(3, 3)), 0);
    view.MarkPoint(0);
    EXPECT_EQ(view.speedMarker()->count(), 1);
    view.MarkPoint(5);  // beyond the track: no mark
    EXPECT_EQ(view.MarkedPoint(), -1);

    // Many points in one place, undated, altitudes all 0.
    std::vector<TrackPoint> still(500, Point(-33.9, 18.4, 0, -1));
    view.SetTrack(still.data(), 500);
    render();
    EXPECT_TRUE(view.outline()->NoteText().isEmpty());
    EXPECT_EQ(view.outline()->LastSegmentCount(), 0u);
    EXPECT_FALSE(view.SpeedChartShown());
    EXPECT_EQ(view.SpeedNote(),
              QStringLiteral("The points carry no date: the speed profile has no time axis."));
    EXPECT_EQ(view.outline()->PointAt(QPointF(400, 300)), 0);
    ASSERT_GT(view.rawAltitudeSeries()->count(), 0);
    for (const QPointF& p : view.rawAltitudeSeries()->points()) EXPECT_EQ(p.y(), 0.0);

    // Damaged values beside good ones: not a position, not an altitude.
    std::vector<TrackPoint> damaged = {Point(45, 6, 300, 0), Point(45.001, 6.001, 310, 1),
                                       Point(45.002, 6.002, 320, 2), Point(45.003, 6.003, 330, 3)};
    damaged[1].latitude = std::numeric_limits<double>::quiet_NaN();
    damaged[2].altitude = std::numeric_limits<float>::infinity();
    damaged[3].speed = std::numeric_limits<float>::quiet_NaN();
    view.SetTrack(damaged.data(), 4);
    render();
    EXPECT_EQ(view.data().projection.positioned, 3u);
    EXPECT_EQ(view.speedSeries()->count(), 3);

    // A track with dated and undated points: the undated ones stay off the time axis.
    std::vector<TrackPoint> mixed = {Point(45, 6, 300, 0), Point(45.001, 6, 300, -1),
                                     Point(45.002, 6, 300, 2)};
    view.SetTrack(mixed.data(), 3);
    render();
    EXPECT_TRUE(view.SpeedChartShown());
    EXPECT_EQ(view.speedSeries()->count(), 2);
    view.SetTrack(nullptr, 0);
    render();
}

TEST(TrackView, PlacementSurvivesARestart) {
    ferolin_test::ClearSettings();
    {
        CTrackViewDlg view;
        EXPECT_FALSE(view.WasShownAtExit());
        view.ShowView();
        view.move(140, 90);
        view.resize(720, 480);
        Settle();
    }
    {
        QSettings stored(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ferolix"));
        EXPECT_EQ(stored.value(QStringLiteral("TrackViewWidth")).toInt(), 720);
        EXPECT_EQ(stored.value(QStringLiteral("TrackViewShown")).toInt(), 1);
    }
    {
        CTrackViewDlg view;
        EXPECT_TRUE(view.WasShownAtExit());
        EXPECT_EQ(view.size(), QSize(720, 480));
        EXPECT_EQ(view.pos(), QPoint(140, 90));
        view.ShowView();  // left open again
    }
    {
        // The main dialog opens the view at start when it was open at exit;
        // closed with its close box, it stays closed at the next start.
        Window w;
        EXPECT_TRUE(w.view().isVisible());
        EXPECT_EQ(w.view().size(), QSize(720, 480));
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
    {
        CTrackViewDlg view;
        EXPECT_EQ(view.size(), QSize(900, 680));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_TRUE(screen.contains(view.pos())) << view.pos().x() << "," << view.pos().y();
    }
}

TEST(TrackView, ScreenshotBesideTheMainWindow) {
    // Writes the README's picture when FEROLIN_SCREENSHOT_DIR names a folder.
    const QString folder = qEnvironmentVariable("FEROLIN_SCREENSHOT_DIR");
    ferolin_test::ClearSettings();
    Window w;
    // Opened by its name from its folder, so that the picture shows no build path.
    const QString folder0 = QDir::currentPath();
    QDir::setCurrent(QFileInfo(kSample).absolutePath());
    w.dialog.OpenPath(QStringLiteral("hike.log"));
    QDir::setCurrent(folder0);
    CTrackViewDlg& view = w.view();
    view.ShowView();
    view.resize(860, 640);
    const CurrentTrack& track = w.dialog.track();
    w.SetStart(track.points[90]);
    w.list().setCurrentIndex(w.dialog.model()->index(380, 0));
    w.list().scrollTo(w.dialog.model()->index(380, 0), QAbstractItemView::PositionAtCenter);
    Settle();
    EXPECT_EQ(view.MarkedPoint(), 380);
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
