// The handheld window on the offscreen platform, and the ferolix program's
// command line. The process runs under the German locale that Qt adopts for
// the C library (decimal comma): exports must not follow it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <string>
#include <vector>

#include "pocket/ppc_window.h"
#include "program_runner.h"
#include "test_support.h"

using ferolin_test::CountFiles;
using ferolin_test::FileExists;
using ferolin_test::ProgramRun;
using ferolin_test::RunProgram;
using ferolin_test::ReadFile;
using ferolin_test::TempDir;
using ferolin_test::WriteFile;

namespace {

// The handheld's three-point datalog of the data cases.
std::string ThreePoints() { return ReadFile(FEROLIN_TEST_DATA "/pocket/three.log"); }

// What a modal window showed before the test closed it.
struct ModalSeen {
    bool seen = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList labels;
};

// Watches for the next modal window, records it and closes it.
void CloseNextModal(ModalSeen& seen) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, &seen] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && clock->elapsed() < 5000) return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (!modal) return;
        seen.seen = true;
        seen.title = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.text = box->text();
            seen.icon = box->icon();
        }
        for (QLabel* label : modal->findChildren<QLabel*>())
            if (!label->text().isEmpty()) seen.labels << label->text();
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    });
    timer->start(10);
}

// A call of the save dialog.
struct SaveCall {
    int calls = 0;
    QString extension;
    QString name;
    QString filter;
};

class PocketWindow : public ::testing::Test {
protected:
    void SetUp() override {
        log = dir.File("day.log");
        ASSERT_TRUE(WriteFile(log, ThreePoints()));
        PPCPathDialogs dialogs;
        dialogs.askOpenPath = [this](QWidget*) { return QString::fromStdString(openAnswer); };
        dialogs.askSavePath = [this](QWidget*, const QString& extension, const QString& name,
                                     const QString& filter) {
            ++save.calls;
            save.extension = extension;
            save.name = name;
            save.filter = filter;
            return QString::fromStdString(saveAnswer);
        };
        frame.SetPathDialogs(dialogs);
    }

    void ShowAndActivate() {
        frame.show();
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        QApplication::processEvents();
    }

    QAction* Action(const char* id) { return frame.findChild<QAction*>(QString::fromLatin1(id)); }
    QString Label1() { return frame.View()->FileLabel()->text(); }
    QString Label2() { return frame.View()->PointsLabel()->text(); }

    // Exports through the Export button to `target`.
    void Export(const std::string& target) {
        saveAnswer = target;
        frame.View()->ExportButton()->click();
    }

    TempDir dir;
    std::string log;
    std::string openAnswer;
    std::string saveAnswer;
    SaveCall save;
    CMainFrame frame;
};

TEST_F(PocketWindow, StartStateAndNoSaveCommand) {
    CPPCView* view = frame.View();
    EXPECT_EQ(Label1(), "Loading file...");
    EXPECT_TRUE(view->Pcx5Radio()->isChecked());
    EXPECT_TRUE(view->DropCheck()->isChecked());
    // The radio buttons are one group: checking one clears the others.
    view->TextRadio()->click();
    EXPECT_FALSE(view->Pcx5Radio()->isChecked());
    ASSERT_NE(Action("57665"), nullptr);
    EXPECT_EQ(Action("57665")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(Action("57601")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    for (QAction* action : frame.findChildren<QAction*>()) {
        EXPECT_NE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
        EXPECT_FALSE(action->text().contains("Save"));
    }
}

TEST_F(PocketWindow, LabelsShowTheDocumentWhenTheViewGetsTheFocus) {
    // Opened before the window shows, as "ferolix FILE" does.
    ASSERT_TRUE(frame.OpenFile(QString::fromStdString(log)));
    EXPECT_EQ(Label1(), "Loading file...");
    EXPECT_EQ(Label2(), "");
    ShowAndActivate();
    EXPECT_EQ(Label1(), QString::fromStdString("File : " + log));
    EXPECT_EQ(Label2(), "Points : 3");

    // Open through the menu.
    const std::string nmea = dir.File("card.NMEA");
    ASSERT_TRUE(WriteFile(nmea,
                          "$GPRMC,123519,A,4807.038,N,01131.000,W,022.4,084.4,230394,003.1,W*6A\r\n"
                          "$GPRMC,123520,A,4807.038,N,01131.000,W,022.4,084.4,230394,003.1,W*6A\r\n"));
    openAnswer = nmea;
    Action("57601")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(Label1(), QString::fromStdString("File : " + nmea));
    EXPECT_EQ(Label2(), "Points : 2");

    // With the focus elsewhere the labels wait for the view's focus.
    frame.View()->ExportButton()->setFocus();
    QApplication::processEvents();
    ASSERT_FALSE(frame.View()->hasFocus());
    ASSERT_TRUE(frame.Document().OpenDocument(log, nullptr));
    EXPECT_EQ(Label2(), "Points : 2");
    frame.View()->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(Label2(), "Points : 3");
}

TEST_F(PocketWindow, OpenFailuresShowTheirMessages) {
    ShowAndActivate();
    // The empty document once the view has the focus.
    EXPECT_EQ(Label1(), "File : ");
    EXPECT_EQ(Label2(), "Points : 0");
    openAnswer = log;
    Action("57601")->trigger();
    QApplication::processEvents();
    ASSERT_EQ(Label2(), "Points : 3");

    ModalSeen seen;
    CloseNextModal(seen);
    openAnswer = dir.File("missing.log");
    Action("57601")->trigger();
    QApplication::processEvents();
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, "Ferolin");
    EXPECT_EQ(seen.text, "Cannot open the file.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    // The old path stays, with no points.
    EXPECT_EQ(Label1(), QString::fromStdString("File : " + log));
    EXPECT_EQ(Label2(), "Points : 0");

    const std::string empty = dir.File("empty.txt");
    ASSERT_TRUE(WriteFile(empty, "BlueGPS Datalog\r\nAbout total Numbers: 0\r\n"));
    ModalSeen second;
    CloseNextModal(second);
    openAnswer = empty;
    Action("57601")->trigger();
    ASSERT_TRUE(second.seen);
    EXPECT_EQ(second.text, "No track point in the file.");
    EXPECT_EQ(second.icon, QMessageBox::Warning);

    // A cancelled open dialog changes nothing.
    openAnswer.clear();
    Action("57601")->trigger();
    EXPECT_EQ(Label1(), QString::fromStdString("File : " + log));
}

TEST_F(PocketWindow, ExportThroughEachRadioButtonWithAndWithoutTheCheckBox) {
    ASSERT_TRUE(frame.OpenFile(QString::fromStdString(log)));
    ShowAndActivate();
    // The German locale is in force in this process.
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 2.5);
    ASSERT_STREQ(probe, "2,5") << "the locale de_DE.UTF-8 is missing";

    // Each radio button gives the bytes of its writer with the check box's
    // flag and the track name of the file written.
    using Writer = int (*)(const std::string&, const std::string&, const PPCTrackPoint*, uint32_t, int);
    struct Case {
        QRadioButton* radio;
        const char* extension;
        const char* filter;
        Writer write;
    };
    CPPCView* view = frame.View();
    const std::vector<Case> cases = {
        {view->TextRadio(), "txt", "Text (*.txt)",
         [](const std::string& p, const std::string&, const PPCTrackPoint* t, uint32_t n, int f) {
             return PPCWriteText(p, t, n, f);
         }},
        {view->GpxRadio(), "gpx", "GPS eXchange (*.gpx)", PPCWriteGpx},
        {view->Pcx5Radio(), "trk", "PCX5 track (*.trk)",
         [](const std::string& p, const std::string&, const PPCTrackPoint* t, uint32_t n, int f) {
             return PPCWritePcx5(p, t, n, f);
         }},
        {view->PltRadio(), "plt", "OziExplorer track (*.plt)", PPCWritePlt},
    };
    const CPPCDoc& doc = frame.Document();
    for (const Case& c : cases) {
        for (bool drop : {true, false}) {
            c.radio->click();
            view->DropCheck()->setChecked(drop);
            const std::string name = std::string("walk-") + (drop ? "some" : "all");
            const std::string target = dir.File(name + "." + c.extension);
            SCOPED_TRACE(target);
            save = SaveCall();
            Export(target);
            EXPECT_EQ(save.calls, 1);
            EXPECT_EQ(save.extension, c.extension);
            EXPECT_EQ(save.name, "day");
            EXPECT_EQ(save.filter, c.filter);
            const std::string reference = dir.File("reference");
            ASSERT_EQ(c.write(reference, name, doc.Points(), doc.Count(), drop ? 1 : 0), 0);
            EXPECT_EQ(ReadFile(target), ReadFile(reference));
        }
    }
    // Exports leave the document as it was.
    EXPECT_EQ(frame.Document().Count(), 3u);
    EXPECT_EQ(ReadFile(log), ThreePoints());
}

TEST_F(PocketWindow, ExportEdgeCases) {
    ShowAndActivate();
    CPPCView* view = frame.View();
    // Before any file: an empty array, the headers only, no initial name.
    view->GpxRadio()->click();
    Export(dir.File("walk.gpx"));
    EXPECT_EQ(save.name, "");
    const std::string gpx = ReadFile(dir.File("walk.gpx"));
    EXPECT_NE(gpx.find("\t\t<name>walk</name>\r\n\t\t<trkseg>\r\n\t\t</trkseg>\r\n"), std::string::npos);

    ASSERT_TRUE(frame.OpenFile(QString::fromStdString(log)));
    // No radio button checked: PLT.
    for (QRadioButton* r : {view->TextRadio(), view->GpxRadio(), view->Pcx5Radio(), view->PltRadio()}) {
        r->setAutoExclusive(false);
        r->setChecked(false);
    }
    Export(dir.File("none.plt"));
    EXPECT_EQ(save.extension, "plt");
    EXPECT_EQ(ReadFile(dir.File("none.plt")).substr(0, 40), "OziExplorer Track Point File Version 2.1");

    // A cancelled save dialog writes nothing.
    const int files = CountFiles(dir.path());
    Export("");
    EXPECT_EQ(CountFiles(dir.path()), files);

    // A file that cannot be written.
    ModalSeen seen;
    CloseNextModal(seen);
    Export(dir.File("missing/walk.plt"));
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.text, "Cannot write to the file.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.title, "Ferolin");
}

TEST_F(PocketWindow, AboutBoxCtrlSAndExit) {
    ASSERT_TRUE(frame.OpenFile(QString::fromStdString(log)));
    ShowAndActivate();
    ModalSeen seen;
    CloseNextModal(seen);
    Action("57664")->trigger();
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, "About Ferolin");
    EXPECT_TRUE(seen.labels.contains("Ferolin for Pocket PC"));
    EXPECT_TRUE(seen.labels.contains("Version 1.2"));

    // Ctrl+S does nothing: the opened file keeps its bytes, no dialog opens.
    const int files = CountFiles(dir.path());
    QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(frame.View(), Qt::Key_S, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(save.calls, 0);
    EXPECT_EQ(ReadFile(log), ThreePoints());
    EXPECT_EQ(CountFiles(dir.path()), files);

    // Exit closes the window and the document.
    Action("57665")->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(frame.isVisible());
    EXPECT_EQ(frame.Document().Count(), 0u);
    EXPECT_EQ(frame.Document().Path(), "");
}

TEST(PocketQtFilter, DescriptionsAndPatterns) {
    EXPECT_EQ(PPCQtFilter("Text (*.txt)|*.txt||"), "Text (*.txt)");
    EXPECT_EQ(PPCQtFilter("Ferolin Files|*.log;*.txt;*.nme;*.nmea||"),
              "Ferolin Files (*.log *.txt *.nme *.nmea)");
    EXPECT_EQ(PPCQtFilter("A (*.a)|*.a|B|*.b||"), "A (*.a);;B (*.b)");
}

// ---------------------------------------------------------------------------
// The ferolix program.

// Runs ferolix without a display; QT_QPA_PLATFORM=xcb makes any attempt to
// open a window fail.
ProgramRun RunFerolix(const std::vector<std::string>& args, const std::vector<std::string>& extra,
                      const TempDir& dir) {
    std::vector<std::string> env = {"QT_QPA_PLATFORM=xcb"};
    env.insert(env.end(), extra.begin(), extra.end());
    return RunProgram(FEROLIX_BIN, args, env, dir.path());
}

TEST(PocketProgram, HeadlessExportNeedsNoDisplayAndIgnoresTheLocale) {
    TempDir dir;
    const std::string log = dir.File("day.log");
    ASSERT_TRUE(WriteFile(log, ThreePoints()));
    for (const char* ext : {"txt", "gpx", "trk", "plt"}) {
        const std::string c = dir.File(std::string("c.") + ext);
        const std::string de = dir.File(std::string("de.") + ext);
        ProgramRun o = RunFerolix({log, "-o", c}, {"LC_ALL=C"}, dir);
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.err, "");
        o = RunFerolix({log, "-o", de}, {"LC_ALL=de_DE.UTF-8"}, dir);
        EXPECT_EQ(o.status, 0) << o.err;
        const std::string a = ReadFile(c);
        std::string b = ReadFile(de);
        ASSERT_FALSE(a.empty());
        // The track name differs with the file name ("c" and "de").
        if (std::string(ext) == "gpx" || std::string(ext) == "plt") {
            const std::size_t at = b.find(std::string(std::string(ext) == "gpx" ? "<name>de<" : "65280, de,"));
            ASSERT_NE(at, std::string::npos);
            b.replace(at + (std::string(ext) == "gpx" ? 6 : 7), 2, "c");
        }
        EXPECT_EQ(a, b) << ext;
    }
    // The check box's start state: the point at altitude 0 is left out.
    EXPECT_EQ(ReadFile(dir.File("c.trk")).find("S12.3456780"), std::string::npos);
}

TEST(PocketProgram, StatusAndMessages) {
    TempDir dir;
    ProgramRun o = RunFerolix({"--version"}, {}, dir);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "ferolix 1.2 (Ferolin for Pocket PC)\n");
    o = RunFerolix({"a.log", "-o", "b.kml"}, {}, dir);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "unknown output format: kml\n");
    const std::string missing = dir.File("missing.nmea");
    o = RunFerolix({missing, "-o", dir.File("x.gpx")}, {}, dir);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, missing + ": Cannot open the file.\n");
    EXPECT_FALSE(FileExists(dir.File("x.gpx")));
}

TEST(PocketProgram, WindowModeStartsOnTheOffscreenPlatform) {
    TempDir dir;
    const std::string log = dir.File("day.log");
    ASSERT_TRUE(WriteFile(log, ThreePoints()));
    // Still running when the time limit ends it.
    const ProgramRun run = RunProgram(FEROLIX_BIN, {log}, {"QT_QPA_PLATFORM=offscreen"}, dir.path(), 0.7);
    EXPECT_FALSE(run.finished) << "ferolix FILE ended at once: " << run.err;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt adopts the environment's locale for the C library.
    qputenv("LC_ALL", "de_DE.UTF-8");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
