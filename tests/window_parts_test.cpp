// The options sheet, the point details window, the map viewers, the point
// list and the window's text helpers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegion>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <cstdlib>

#include "core/strings.h"
#include "desktop/map_viewers.h"
#include "desktop/options_sheet.h"
#include "desktop/point_details_dialog.h"
#include "desktop/selection_panel.h"
#include "desktop/screen_place.h"
#include "desktop/settings_store.h"
#include "desktop/track_model.h"
#include "desktop/track_view.h"
#include "desktop/window_text.h"
#include "formats/format_table.h"
#include "desktop_test_support.h"
#include "reader_test_support.h"
#include "test_support.h"
#include "window_test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

uint32_t Stored(const char* name) {
    uint32_t value = 0;
    return ReadSettingUint(name, value, 0) == SettingsStatus::kOk ? value : 0xDEADu;
}

// Checks or clears every box of a page; true when all were checked before.
bool SetAll(QWidget* page, bool checked) {
    bool all = true;
    for (QCheckBox* box : page->findChildren<QCheckBox*>()) {
        all = all && box->isChecked();
        box->setChecked(checked);
    }
    return all;
}

}  // namespace

TEST(OptionsSheet, PagesStoreExactlyTheBitsOfTheBoxesShown) {
    ClearSettings();
    {
        // First use: every box checked; OK at once stores the GPX page only.
        OptionsSheet sheet;
        sheet.show();
        EXPECT_EQ(sheet.tabs()->currentIndex(), 0);
        EXPECT_TRUE(SetAll(sheet.page(0), true));
        EXPECT_FALSE(sheet.page(1)->loaded());
        sheet.accept();
    }
    EXPECT_EQ(Stored("WRT_GPX"), 0x3F9u);
    EXPECT_EQ(Stored("WRT_KML"), 0xDEADu);
    {
        OptionsSheet sheet;
        sheet.show();
        sheet.tabs()->setCurrentIndex(1);
        Check(*sheet.page(1), "tessellateCheck", false);
        sheet.tabs()->setCurrentIndex(3);
        SetAll(sheet.page(3), false);
        sheet.tabs()->setCurrentIndex(4);
        sheet.tabs()->setCurrentIndex(5);
        EXPECT_TRUE(SetAll(sheet.page(5), true));
        Check(*sheet.page(5), "activityCheck", false);
        sheet.accept();
    }
    EXPECT_EQ(Stored("WRT_FIT"), 0u);  // a course file
    EXPECT_EQ(Stored("WRT_KML"), 0x710000u);  // the heading-lines bit is gone
    EXPECT_EQ(Stored("WRT_CSV"), 0u);
    EXPECT_EQ(Stored("WRT_NMEA"), 0x1F000000u);
    EXPECT_EQ(Stored("WRT_TXT"), 0xDEADu);  // never shown
    EXPECT_EQ(Stored("WRT_GPX"), 0x3F9u);

    WriteSettingUint("WRT_TXT", 0x8008);
    {
        OptionsSheet sheet;
        sheet.show();
        sheet.tabs()->setCurrentIndex(2);
        QWidget* txt = sheet.page(2);
        for (const auto& [box, on] : {std::pair{"recordCheck", true}, {"altitudeCheck", true},
                                      {"statCheck", false}, {"timeCheck", false}})
            EXPECT_EQ(Find<QCheckBox>(*txt, box)->isChecked(), on) << box;
        Check(*txt, "statCheck", true);
        sheet.reject();  // Cancel stores nothing
    }
    EXPECT_EQ(Stored("WRT_TXT"), 0x8008u);

    // The window's Options button runs the sheet modally.
    Driver driver;
    auto dialog = MakeDialog(driver);
    driver.onModal = [](QDialog& d) {
        auto* sheet = qobject_cast<OptionsSheet*>(&d);
        ASSERT_NE(sheet, nullptr);
        sheet->tabs()->setCurrentIndex(2);
        Check(*sheet->page(2), "timeCheck", true);
        sheet->accept();
    };
    Click(*dialog, "optionsButton");
    EXPECT_EQ(Stored("WRT_TXT"), 0x9008u);
}

// Every page against the options its writer declares: no control shows an
// empty text or a file filter (as a box once did whose string id was a
// filter's), each declared box is there, no other control is, and a click
// on a box changes exactly its declared bit of the page's word.
TEST(OptionsSheet, EveryPageShowsItsDeclaredBoxesAndTheirBits) {
    ClearSettings();
    OptionsSheet sheet;
    sheet.show();
    for (int i = 0; i < sheet.tabs()->count(); ++i) {
        sheet.tabs()->setCurrentIndex(i);
        OptionPage* page = sheet.page(i);
        ASSERT_NE(page, nullptr);
        const std::string caption = sheet.tabs()->tabText(i).toStdString();
        QStringList texts{sheet.tabs()->tabText(i)};
        for (auto* button : page->findChildren<QAbstractButton*>()) texts << button->text();
        for (auto* label : page->findChildren<QLabel*>()) texts << label->text();
        for (auto* group : page->findChildren<QGroupBox*>()) texts << group->title();
        for (const QString& text : texts)
            EXPECT_TRUE(!text.isEmpty() && !text.contains("*.") && !text.contains('|'))
                << caption << ": \"" << text.toStdString() << '"';
        const int row = FindWriterRow(page->extension());
        ASSERT_GE(row, 0) << caption;
        qsizetype boxes = 0;
        for (const WriterOption& option : FormatTable()[row].options) {
            if (!option.labelId) continue;
            ++boxes;
            auto* box = Find<QAbstractButton>(*page, option.objectName);
            if (!box) continue;
            const uint32_t before = page->Word();
            box->click();
            EXPECT_EQ(before ^ page->Word(), option.bits) << caption << ": " << option.objectName;
        }
        EXPECT_EQ(page->findChildren<QAbstractButton*>().size(), boxes) << caption;
    }
}

// The track view opens beside the main window when the screen holds both at
// their minimum widths, the main window moved only when it must, else over
// the side of the main window that leaves its buttons in sight; the point
// details open clear of the list in sight and of the outline, and where
// nothing is free, over what matters least.
TEST(ScreenPlace, TheViewAndTheDetailsOpenClearOfWhatMatters) {
    const QSize main(1000, 620), wanted(908, 712), minimum(520, 420), details(260, 340);
    for (const QSize screen : {QSize(1366, 768), QSize(1600, 1000), QSize(1920, 1080)}) {
        const QRect area(0, 0, screen.width(), screen.height() - 28);  // a task bar below
        for (const int x : {(screen.width() - main.width()) / 2, 0, screen.width() - main.width()}) {
            SCOPED_TRACE(testing::Message() << screen.width() << 'x' << screen.height() << " at " << x);
            const QRect owner(QPoint(x, 40), main);
            // The buttons' column at the right in the frame, the list left of it.
            const QRect keep(owner.right() - 220, owner.top() + 50, 210, 380);
            const SidePlacement place = PlaceViewBeside(owner, keep, wanted, minimum, area);
            const QPoint moved = place.owner - owner.topLeft();
            const QRect ownerThen(place.owner, main), view = place.view;
            EXPECT_TRUE(area.contains(view));
            EXPECT_TRUE(area.contains(ownerThen));
            EXPECT_FALSE(view.intersects(keep.translated(moved)));
            EXPECT_GE(view.width(), minimum.width());
            EXPECT_LE(view.width(), wanted.width());
            EXPECT_LE(view.height(), area.height());
            const int room = area.width() - main.width() - 8;
            if (room >= minimum.width()) {
                EXPECT_FALSE(view.intersects(ownerThen));
                EXPECT_EQ(view.width(), std::min(wanted.width(), room));
                const int roomRight = area.right() - owner.right() - 8;
                const int roomLeft = owner.left() - 8 - area.left();
                if (std::max(roomRight, roomLeft) >= view.width()) EXPECT_EQ(moved, QPoint());
            }

            // The details: off the list in sight and the outline wherever
            // some place is (a search of the whole screen in 8-pixel steps
            // tells), else covering no more of them than that search finds.
            const QRegion list = QRegion(ownerThen.left() + 12, ownerThen.top() + 50, 765, 380) - view;
            const QRect outline(view.left() + 4, view.top() + 60, view.width() - 8, view.height() / 2);
            std::vector<KeepClear> avoid = {{outline, 8}, {keep.translated(moved), 4}, {ownerThen, 1}, {view, 1}};
            for (const QRect& r : list) avoid.push_back({r, 8});
            auto covered = [&](const QRect& r) {
                int64_t sum = 0;
                for (const QRect& part : (list + outline).intersected(r)) sum += int64_t{part.width()} * part.height();
                return sum;
            };
            int64_t least = covered(QRect(area.topLeft(), details));
            for (int y = area.top(); y + details.height() <= area.bottom() + 1; y += 8)
                for (int x = area.left(); x + details.width() <= area.right() + 1; x += 8)
                    least = std::min(least, covered(QRect(QPoint(x, y), details)));
            const QRect opened(PlaceClear(details, avoid, ownerThen.topRight(), area), details);
            EXPECT_TRUE(area.contains(opened));
            EXPECT_LE(covered(opened), least);
        }
    }
    // Nothing free: over the part that matters least, nearest the place asked.
    const QRect area(0, 0, 800, 600);
    const std::vector<KeepClear> full = {{QRect(0, 0, 400, 600), 8}, {QRect(400, 0, 400, 300), 2},
                                         {QRect(400, 300, 400, 300), 1}};
    EXPECT_EQ(PlaceClear(QSize(200, 250), full, QPoint(300, 100), area), QPoint(400, 300));
}

TEST(PointDetails, TwelveValuesRefreshedAndShownOnRequest) {
    ClearSettings();
    QWidget owner;
    PointDetailsDialog details(&owner);
    TrackPoint p = WithFix(DatedPoint(45.188587, -5.5, 2007, 3, 5, 7, 30, 7.25f),
                           {.record = 42, .altitude = 211.4f, .speed = 5.87f, .direction = 37.5f,
                            .satellites = 11, .pdop = 1.9f, .hdop = 1.25f, .vdop = 2.5f});
    auto values = [&details] {
        QStringList texts;
        for (int i = 0; i < PointDetailsDialog::kValueCount; ++i) texts << details.ValueText(i);
        return texts.join('|');
    };
    details.ShowPoint(&p, false);
    EXPECT_FALSE(details.isVisible());
    EXPECT_EQ(values(), "42|05/03/2007|07:30:07.250|45.188587|-5.500000|211.40|5.87|37.50|11|"
                        "1.900|1.250|2.500");
    details.ShowPoint(nullptr, true);
    EXPECT_TRUE(details.isVisible());
    EXPECT_TRUE(details.IsShown());
    EXPECT_EQ(values(), "|||||||||||");

    details.close();  // the close box hides the window
    EXPECT_FALSE(details.IsShown());
    details.ShowPoint(&p, false);  // refreshed while hidden
    EXPECT_FALSE(details.isVisible());
    EXPECT_EQ(details.ValueText(0), "42");
    details.ShowPoint(&p, true);
    EXPECT_TRUE(details.isVisible());
}

namespace {

class MapViewers : public ::testing::Test {
protected:
    void SetUp() override {
        ClearSettings();
        const char* previous = std::getenv("TMPDIR");
        hadTmp = previous != nullptr;
        if (previous) savedTmp = previous;
        setenv("TMPDIR", tmp.path().c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp) setenv("TMPDIR", savedTmp.c_str(), 1);
        else unsetenv("TMPDIR");
    }
    // The one-point file handed to Google Earth.
    static std::string Kml(const std::string& name) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
               "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n<Placemark>\r\n"
               "<name>" + name + "</name>\r\n"
               "<description><![CDATA[05/03/2007 07:30:07<br>Altitude 211.50 Meters<br>"
               "Speed 3.50 KMs/hr]]></description>\r\n"
               "<Style><IconStyle><Icon><href>root://icons/palette-3.png</href><x>160</x>"
               "<w>32</w><h>32</h></Icon></IconStyle></Style>\r\n"
               "<Point>\r\n<altitudeMode>absolute</altitudeMode>\r\n<extrude>1</extrude>\r\n"
               "<coordinates>5.250000,45.500000,211.500000</coordinates></Point>\r\n"
               "</Placemark>\r\n</kml>\r\n";
    }

    TempDir tmp;
    std::string savedTmp;
    bool hadTmp = false;
    std::vector<QUrl> urls;
};

}  // namespace

TEST_F(MapViewers, OnePointKmlIsCreatedAfreshInTheTemporaryFolder) {
    UrlRecorder recorder(urls);
    const TrackPoint p = WithFix(DatedPoint(45.5, 5.25, 2007, 3, 5, 7, 30, 7.75f),
                                 {.record = 42, .altitude = 211.5f, .speed = 3.5f});
    const std::string path = tmp.File("frn_walk_00042.kml");
    ASSERT_EQ(ShowPointInGoogleEarth("walk", &p), 0);
    EXPECT_EQ(ReadFile(path), Kml("walk - 00042"));
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0], QUrl::fromLocalFile(QString::fromStdString(path)));

    // Names are escaped in the file; "#" and "%" survive the hand-over.
    const std::string odd = tmp.File("frn_r&d <1> #2 100%_00042.kml");
    ASSERT_EQ(ShowPointInGoogleEarth("r&d <1> #2 100%", &p), 0);
    EXPECT_EQ(ReadFile(odd), Kml("r&amp;d &lt;1&gt; #2 100% - 00042"));
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(urls[1].toLocalFile().toStdString(), odd);

    // A link planted at the name is replaced, its target left alone.
    const std::string victim = tmp.File("victim.txt");
    WriteFile(victim, "keep");
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
    ASSERT_EQ(ShowPointInGoogleEarth("walk", &p), 0);
    struct stat info;
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(ReadFile(path), Kml("walk - 00042"));

    // What cannot be removed makes the hand-over fail and opens nothing.
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
    EXPECT_EQ(ShowPointInGoogleEarth("walk", &p), 1);
    EXPECT_EQ(ShowPointInGoogleEarth("walk", nullptr), 1);
    EXPECT_EQ(urls.size(), 3u);
    ASSERT_EQ(rmdir(path.c_str()), 0);

    // Only the program's frn_*.kml files go at exit.
    ASSERT_EQ(ShowPointInGoogleEarth("walk", &p), 0);
    for (const char* name : {"frn_other_00001.kml", "other.kml", "frnotes.txt", "frnotes.kml",
                             "Frn_upper.kml"})
        WriteFile(tmp.File(name), "x");
    DeleteTempKmlFiles();
    for (const std::string& gone : {path, odd, tmp.File("frn_other_00001.kml")})
        EXPECT_FALSE(FileExists(gone)) << gone;
    for (const char* kept : {"other.kml", "frnotes.txt", "frnotes.kml", "Frn_upper.kml"})
        EXPECT_TRUE(FileExists(tmp.File(kept))) << kept;
    EXPECT_EQ(ReadFile(victim), "keep");
}

TEST_F(MapViewers, TheContextMenuHandsThePointOver) {
    UrlRecorder recorder(urls);
    TempDir data;
    const std::string input = data.File("walk.log");
    WriteFile(input, Datalog({"Record: 7\r\nLatitude: 48.5\r\nLongitude: 2.25\r\nAltitude: 30\r\n",
                              "Record: 8\r\nLatitude: -33.9\r\nLongitude: -70.125\r\n"}));
    const std::string kml = tmp.File("frn_walk_00007.kml");
    {
        Driver driver;
        auto dialog = MakeDialog(driver);
        dialog->show();
        dialog->OpenPath(QString::fromStdString(input));
        for (const auto& [action, row] : {std::pair{"virtualEarthAction", 0},
                                          {"googleMapsAction", 1}, {"googleEarthAction", 0}}) {
            driver.menuChoice = action;
            RightClickRow(*dialog, row);
        }
        ASSERT_EQ(urls.size(), 3u);
        EXPECT_EQ(urls[0].toString().toStdString(),
                  "https://www.bing.com/maps/default.aspx?cp=48.500000~2.250000&style=r&lvl=10&v=2"
                  "&sp=an.48.500000_2.250000_00007_");
        EXPECT_EQ(urls[1].toString().toStdString(),
                  "https://www.google.com/maps/search/?api=1&query=-33.900000,-70.125000#8~");
        EXPECT_EQ(urls[2], QUrl::fromLocalFile(QString::fromStdString(kml)));
        EXPECT_TRUE(FileExists(kml));

        // A name that cannot be replaced: the message, nothing opened.
        ASSERT_EQ(mkdir(tmp.File("frn_walk_00008.kml").c_str(), 0700), 0);
        RightClickRow(*dialog, 1);
        EXPECT_EQ(urls.size(), 3u);
        ASSERT_EQ(driver.messages.size(), 1u);
        EXPECT_EQ(driver.messages[0].text, "Cannot write to the file.");
        EXPECT_EQ(driver.messages[0].icon, QMessageBox::Critical);

        // The links to the maker's pages, from the window and its About box.
        QTest::mouseClick(Find<QToolButton>(*dialog, "donateIcon"), Qt::LeftButton);
        driver.onModal = [](QDialog& about) {
            EXPECT_EQ(Find<QLabel>(about, "versionLabel")->text(), "Ferolin v1.51");
            Click(about, "webLinkButton");
        };
        Click(*dialog, "aboutButton");
        ASSERT_EQ(urls.size(), 5u);
        EXPECT_EQ(urls[3].toString(), LoadQString(kStrDonationPage));
        EXPECT_EQ(urls[4].toString(), LoadQString(kStrMakerPage));
        EXPECT_TRUE(FileExists(kml));
    }
    // Closing the window removes the file.
    EXPECT_FALSE(FileExists(kml));
    rmdir(tmp.File("frn_walk_00008.kml").c_str());
}

// The time window to the second: a bound filled from a point takes the
// point's whole seconds, an empty seconds edit counts as 0 (a stop typed to
// the minute keeps only the points at :00 of it, as the batch's bounds
// without seconds do), and the criteria keep exactly the points inside.
TEST(SelectionPanel, TheTimeWindowGoesToTheSecond) {
    // 9/3/2007 at 10:01:00, :19.9, :20.5, :30, :31 and 10:02:00.
    const std::pair<int, float> times[] = {{1, 0}, {1, 19.9f}, {1, 20.5f}, {1, 30}, {1, 31}, {2, 0}};
    std::vector<TrackPoint> points;
    for (const auto& [minute, seconds] : times) {
        TrackPoint p{};
        p.day = 9, p.month = 3, p.year = 2007, p.hour = 10;
        p.minute = static_cast<int8_t>(minute), p.seconds = seconds;
        points.push_back(p);
    }
    struct Row {
        int from[2];           // the point each bound is filled from; -1: typed
        const char* typed[2];  // day month year hour minute [second]
        const char* seconds;   // the two seconds edits afterwards
        std::vector<uint32_t> kept;
    };
    const Row rows[] = {
        {{2, 3}, {}, "20 30", {2, 3}},
        {{1, 4}, {}, "19 31", {1, 2, 3, 4}},
        {{-1, -1}, {"9 3 2007 10 01", "9 3 2007 10 01"}, " ", {0}},
        {{-1, -1}, {"9 3 2007 10 01 20", "9 3 2007 10 01 30"}, "20 30", {2, 3}},
        {{-1, 5}, {"9 3 2007 10 01 21", nullptr}, "21 00", {3, 4, 5}},
    };
    SelectionPanel panel(nullptr);
    panel.show();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.seconds);
        for (int b = 0; b < 2; ++b) {
            const auto bound = static_cast<SelectionPanel::Bound>(b);
            panel.FillBound(bound, &points[std::max(row.from[b], 0)], true);
            if (row.from[b] >= 0) continue;
            const QStringList fields = QString::fromLatin1(row.typed[b]).split(QLatin1Char(' '));
            for (int f = 0; f < SelectionPanel::kBoundFields; ++f) {
                static const char* const kNames[] = {"Day", "Month", "Year", "Hour", "Minute", "Second"};
                const std::string name = (b ? "stop" : "start") + std::string(kNames[f]) + "Edit";
                Type(panel, name.c_str(), f < fields.size() ? fields[f] : QString());
            }
        }
        EXPECT_EQ(Text(panel, "startSecondEdit") + ' ' + Text(panel, "stopSecondEdit"), row.seconds);
        SelectionCriteria criteria;
        panel.BuildCriteria(0, criteria);
        std::vector<uint32_t> kept;
        for (const ExportEntry& e : BuildExportList(points.data(), 6, criteria)) kept.push_back(e.index);
        EXPECT_EQ(kept, row.kept);
    }
    // The seconds sit after the minutes, as wide, and hold two digits.
    const auto* minute = Find<QLineEdit>(panel, "stopMinuteEdit");
    const auto* second = Find<QLineEdit>(panel, "stopSecondEdit");
    EXPECT_EQ(second->y(), minute->y());
    EXPECT_GT(second->x(), minute->geometry().right());
    EXPECT_EQ(second->width(), minute->width());
    EXPECT_EQ(second->maxLength(), 2);
    EXPECT_LT(second->fontMetrics().horizontalAdvance(QStringLiteral("59")), second->width() - 4);
    // An undated point empties the bound, seconds included.
    TrackPoint undated{};
    panel.FillBound(SelectionPanel::kStop, &undated, true);
    EXPECT_EQ(Text(panel, "stopSecondEdit"), "");
    EXPECT_FALSE(Find<QCheckBox>(panel, "stopTimeCheck")->isEnabled());

    // A span dragged across a profile of the track view fills both bounds of
    // the window's panel, checked, from its two points (in either order).
    ClearSettings();
    Driver driver;
    auto dialog = MakeDialog(driver);
    dialog->show();
    dialog->OpenPath(QStringLiteral(FEROLIN_SOURCE_DIR "/tests/data/batch/seconds.log"));
    emit dialog->trackView()->spanPicked(2, 1);
    EXPECT_EQ(BoundText(*dialog, "start") + ' ' + Text(*dialog, "startSecondEdit"), "9 3 2007 10 01 20");
    EXPECT_EQ(BoundText(*dialog, "stop") + ' ' + Text(*dialog, "stopSecondEdit"), "9 3 2007 10 01 30");
    for (const char* box : {"startTimeCheck", "stopTimeCheck"})
        EXPECT_TRUE(Find<QCheckBox>(*dialog, box)->isChecked()) << box;
}

TEST(TrackList, AMillionPointsListedWhereTheyLie) {
    constexpr uint32_t kCount = 1000000;
    TrackPointArray points = AllocateTrackPoints(kCount);
    ASSERT_TRUE(points);
    TrackPoint& last = points[kCount - 1];
    last.record = 1000000;
    last.longitude = -0.5;
    last.altitude = -12.345f;
    last.speed = 99.999f;
    TrackListModel model;
    model.SetTrack(points.get(), kCount);
    ASSERT_EQ(model.rowCount(), static_cast<int>(kCount));
    EXPECT_EQ(model.PointAt(kCount - 1), &last);
    EXPECT_EQ(model.PointAt(kCount), nullptr);
    QStringList cells;
    for (int c = 0; c < model.columnCount(); ++c) cells << model.index(kCount - 1, c).data().toString();
    EXPECT_EQ(cells.join(' '), "1000000 -0.500000 0.000000 -12.35 100.00");

    QTableView view;
    view.setModel(&model);
    view.show();
    view.scrollToBottom();
    EXPECT_GE(view.rowAt(view.viewport()->height() - 2), static_cast<int>(kCount) - 50);
    model.SetTrack(nullptr, 0);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(WindowText, FiltersAndAddressTemplates) {
    // Qt matches names against the parenthesised patterns, so they are
    // rewritten from the patterns after the description; "*.*" lists all.
    EXPECT_EQ(QtFileFilter("Text (*.txt)|*.txt|"), "Text (*.txt)");
    EXPECT_EQ(QtFileFilter("Logs (*.log, *.txt)|*.log;*.txt|All (*.*)|*.*|"),
              "Logs (*.log *.txt);;All (*)");

    const TemplateArgument arguments[] = {TemplateArgument::Int(7), TemplateArgument::Real(-0.5),
                                          TemplateArgument::Text("x")};
    EXPECT_EQ(FormatTemplate("%05d|%f|%.2f|%s|%%|%3$s%1$d", arguments, 3),
              "00007|-0.500000|0.00||%|x7");  // a missing argument prints nothing
    EXPECT_EQ(FormatTemplate("%d %d %d", arguments, 3), "7 0 0");  // wrong kinds print 0
    EXPECT_EQ(FormatTemplate("100%", arguments, 3), "100%");
}
