// The handheld window on the offscreen platform, and the ferolix program's
// command line. The process runs under the German locale that Qt adopts for
// the C library (decimal comma): exports must not follow it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "pocket/ppc_window.h"
#include "pocket_test_support.h"
#include "test_support.h"

extern char** environ;

using ferolin_test::CountFiles;
using ferolin_test::FileExists;
using ferolin_test::ReadFile;
using ferolin_test::TempDir;
using ferolin_test::WriteFile;

namespace {

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
        ASSERT_TRUE(WriteFile(log, pocket_test::ThreePointDatalog()));
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

TEST_F(PocketWindow, ControlsMenuAndStartState) {
    CPPCView* view = frame.View();
    EXPECT_EQ(frame.windowTitle(), "Ferolin");
    EXPECT_EQ(Label1(), "Loading file...");
    EXPECT_EQ(Label2(), "");
    const std::vector<std::pair<QAbstractButton*, const char*>> controls = {
        {view->Pcx5Radio(), "PCX5 track (.trk)"},
        {view->PltRadio(), "OziExplorer track (.plt)"},
        {view->GpxRadio(), "GPS eXchange (.gpx)"},
        {view->TextRadio(), "Text (.txt)"},
        {view->DropCheck(), "Remove points without altitude"},
        {view->ExportButton(), "Export"}};
    const char* ids[] = {"1002", "1003", "1004", "1005", "1006", "1001"};
    for (std::size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(controls[i].first->text(), controls[i].second);
        EXPECT_EQ(frame.findChild<QAbstractButton*>(ids[i]), controls[i].first);
    }
    EXPECT_TRUE(view->Pcx5Radio()->isChecked());
    EXPECT_FALSE(view->PltRadio()->isChecked());
    EXPECT_FALSE(view->GpxRadio()->isChecked());
    EXPECT_FALSE(view->TextRadio()->isChecked());
    EXPECT_TRUE(view->DropCheck()->isChecked());
    // The radio buttons are one group: checking one clears the others.
    view->TextRadio()->click();
    EXPECT_FALSE(view->Pcx5Radio()->isChecked());

    ASSERT_NE(Action("57601"), nullptr);
    EXPECT_EQ(Action("57601")->text(), "Open...");
    EXPECT_EQ(Action("57601")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    ASSERT_NE(Action("57664"), nullptr);
    EXPECT_EQ(Action("57664")->text(), "About...");
    ASSERT_NE(Action("57665"), nullptr);
    EXPECT_EQ(Action("57665")->text(), "Exit");
    EXPECT_EQ(Action("57665")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    // No Save command, no Ctrl+S.
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

TEST_F(PocketWindow, EmptyDocumentAfterFocus) {
    ShowAndActivate();
    EXPECT_EQ(Label1(), "File : ");
    EXPECT_EQ(Label2(), "Points : 0");
}

TEST_F(PocketWindow, OpenFailuresShowTheirMessages) {
    ShowAndActivate();
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

    struct Case {
        QRadioButton* radio;
        const char* extension;
        const char* filter;
        std::string firstLine;
        std::string lineOfB;  // the point at altitude 0
    };
    CPPCView* view = frame.View();
    const std::vector<Case> cases = {
        {view->TextRadio(), "txt", "Text (*.txt)", "3 records\r\n",
         "00006\t05/03/2005\t08:07:09.500\t-12.345678\t123.456789\t0.000000\t0.000000\t0.000000\t"
         "0.000000\t4\t18.000000\t0.000000\r\n"},
        {view->GpxRadio(), "gpx", "GPS eXchange (*.gpx)",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>\r\n",
         "\t\t\t<trkpt lat=\"-12.345678\" lon=\"123.456789\">\r\n"},
        {view->Pcx5Radio(), "trk", "PCX5 track (*.trk)", "H  SOFTWARE NAME & VERSION\r\n",
         "T  S12.3456780 E123.4567890 05-MAR-05 08:07:09 00000\r\n"},
        {view->PltRadio(), "plt", "OziExplorer track (*.plt)",
         "OziExplorer Track Point File Version 2.1\r\n",
         "-12.3456780, +123.4567890, 0, 00000.0000000, 38416.338299, 05-Mar-05, 08:07:09\r\n"},
    };
    for (const Case& c : cases) {
        for (bool drop : {true, false}) {
            c.radio->click();
            view->DropCheck()->setChecked(drop);
            const std::string target = dir.File(std::string("walk-") + (drop ? "some." : "all.") + c.extension);
            save = SaveCall();
            Export(target);
            EXPECT_EQ(save.calls, 1);
            EXPECT_EQ(save.extension, c.extension);
            EXPECT_EQ(save.name, "day");
            EXPECT_EQ(save.filter, c.filter);
            const std::string written = ReadFile(target);
            SCOPED_TRACE(target);
            EXPECT_EQ(written.substr(0, c.firstLine.size()), c.firstLine);
            EXPECT_EQ(written.find(c.lineOfB) != std::string::npos, !drop);
            // The same bytes as the writer gives in the C locale.
            const std::string reference = dir.File("reference");
            const CPPCDoc& doc = frame.Document();
            const int flag = drop ? 1 : 0;
            const std::string name = std::string("walk-") + (drop ? "some" : "all");
            int status = -1;
            if (c.extension == std::string("txt")) status = PPCWriteText(reference, doc.Points(), doc.Count(), flag);
            if (c.extension == std::string("gpx")) status = PPCWriteGpx(reference, name, doc.Points(), doc.Count(), flag);
            if (c.extension == std::string("trk")) status = PPCWritePcx5(reference, doc.Points(), doc.Count(), flag);
            if (c.extension == std::string("plt")) status = PPCWritePlt(reference, name, doc.Points(), doc.Count(), flag);
            ASSERT_EQ(status, 0);
            EXPECT_EQ(written, ReadFile(reference));
        }
    }
    // The GPX and PLT track names come from the file written.
    EXPECT_NE(ReadFile(dir.File("walk-all.gpx")).find("\t\t<name>walk-all</name>\r\n"), std::string::npos);
    EXPECT_NE(ReadFile(dir.File("walk-some.plt")).find("\r\n0, 2, 65280, walk-some, 1, 0, 0, 65280\r\n 3\r\n"),
              std::string::npos);
    // Exports leave the document as it was.
    EXPECT_EQ(frame.Document().Count(), 3u);
    EXPECT_EQ(ReadFile(log), pocket_test::ThreePointDatalog());
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
    EXPECT_EQ(ReadFile(log), pocket_test::ThreePointDatalog());
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

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs ferolix with the environment minus the display variables, plus `extra`.
Outcome RunFerolix(const std::vector<std::string>& args, const std::vector<std::string>& extra,
                   const TempDir& dir, bool waitForExit = true, pid_t* running = nullptr) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("DISPLAY=", 0) == 0 || v.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
            v.rfind("QT_QPA_PLATFORM=", 0) == 0 || v.rfind("LC_", 0) == 0 || v.rfind("LANG=", 0) == 0)
            continue;
        env.push_back(v);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    std::vector<char*> envp;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv_ = {FEROLIX_BIN};
    argv_.insert(argv_.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_) argv.push_back(a.data());
    argv.push_back(nullptr);

    const std::string out = dir.File(".stdout");
    const std::string err = dir.File(".stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    Outcome o;
    const int spawned = posix_spawn(&pid, FEROLIX_BIN, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return o;
    if (!waitForExit) {
        *running = pid;
        return o;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = ReadFile(out);
    o.err = ReadFile(err);
    unlink(out.c_str());
    unlink(err.c_str());
    return o;
}

TEST(PocketProgram, HeadlessExportNeedsNoDisplayAndIgnoresTheLocale) {
    TempDir dir;
    const std::string log = dir.File("day.log");
    ASSERT_TRUE(WriteFile(log, pocket_test::ThreePointDatalog()));
    for (const char* ext : {"txt", "gpx", "trk", "plt"}) {
        const std::string c = dir.File(std::string("c.") + ext);
        const std::string de = dir.File(std::string("de.") + ext);
        Outcome o = RunFerolix({log, "-o", c}, {"LC_ALL=C"}, dir);
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
    Outcome o = RunFerolix({log, "-o", dir.File("all.trk"), "--all-points"}, {}, dir);
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(ReadFile(dir.File("all.trk")).find("T  S12.3456780 E123.4567890 05-MAR-05 08:07:09 00000\r\n"),
              std::string::npos);
}

TEST(PocketProgram, StatusAndMessages) {
    TempDir dir;
    Outcome o = RunFerolix({"--version"}, {}, dir);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "ferolix 1.2 (Ferolin for Pocket PC)\n");
    o = RunFerolix({"--help"}, {}, dir);
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find("usage: ferolix"), std::string::npos);
    o = RunFerolix({"a.log", "-o", "b.kml"}, {}, dir);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "unknown output format: kml\n");
    o = RunFerolix({"a.log", "-o"}, {}, dir);
    EXPECT_EQ(o.status, 2);
    const std::string missing = dir.File("missing.nmea");
    o = RunFerolix({missing, "-o", dir.File("x.gpx")}, {}, dir);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, missing + ": Cannot open the file.\n");
    EXPECT_FALSE(FileExists(dir.File("x.gpx")));
}

TEST(PocketProgram, WindowModeStartsOnTheOffscreenPlatform) {
    TempDir dir;
    const std::string log = dir.File("day.log");
    ASSERT_TRUE(WriteFile(log, pocket_test::ThreePointDatalog()));
    pid_t pid = 0;
    RunFerolix({log}, {"QT_QPA_PLATFORM=offscreen"}, dir, false, &pid);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "ferolix FILE ended at once";
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
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
