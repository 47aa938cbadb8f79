// Opens a generated datalog in the main window on the offscreen platform and
// prints the time until the list is ready at its last row, the time to
// repaint the list at scattered places (scrolling), and the peak memory;
// then a phone's GPX of as many points, read alone as the batch reads it and
// opened in the window, with the track view closed and open:
// ferolin_bench_window [POINTS] [FOLDER].
#include <sys/resource.h>

#include <QApplication>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_support.h"
#include "convert/driver.h"
#include "datalog_generator.h"
#include "desktop/converter_app.h"
#include "desktop/main_dialog.h"
#include "desktop/outline_map.h"
#include "desktop/track_model.h"
#include "desktop/track_outline.h"
#include "desktop/track_view.h"

using ferolin_bench::CountLines;
using ferolin_bench::CpuSeconds;
using ferolin_bench::Seconds;

namespace {

// The time to read the file as the batch reads it.
double BatchRead(const std::string& input) {
    ferolin_bench::QuietHost host;
    ferolin::CurrentTrack track;
    const auto t0 = std::chrono::steady_clock::now();
    const int status = ferolin::LoadTrack(track, input, host);
    const double seconds = Seconds(t0);
    return status == 0 && !host.failed ? seconds : -1;
}

// Opens the file in a new main window (the track view open, its map off, when
// `view`) and gives the time until the list stands painted at its last row,
// and in `drawn` the time until the view has drawn the track too; -1 when the
// load failed.
double OpenInWindow(const std::string& input, bool view, int& rows, double& drawn) {
    ferolin::MainDialog dialog;
    int failures = 0;
    dialog.seams().message = [&failures](QWidget*, const QString&, QMessageBox::Icon,
                                         const QString&) { ++failures; };
    dialog.show();
    ferolin::TrackViewWindow* trackView = dialog.trackView();
    if (view) {
        trackView->outline()->map()->SetShown(false);
        trackView->ShowView();
    }
    QCoreApplication::processEvents();
    const auto t0 = std::chrono::steady_clock::now();
    dialog.OpenPath(QString::fromStdString(input));
    QTableView* list = dialog.trackList();
    list->scrollToBottom();
    list->setCurrentIndex(list->model()->index(list->model()->rowCount() - 1, 0));
    list->viewport()->repaint();
    const double seconds = Seconds(t0);
    QCoreApplication::processEvents();
    if (view) trackView->repaint();
    drawn = Seconds(t0);
    rows = list->model()->rowCount();
    if (view && trackView->data().count != static_cast<uint32_t>(rows)) ++failures;
    trackView->close();
    dialog.reject();
    return failures == 0 ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t points = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10))
                                     : 1000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string input = folder + "/ferolin_bench_window.log";
    // The window saves its settings when it closes: keep them away from the
    // user's own.
    const std::string config = folder + "/ferolin_bench_config";
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

    auto t0 = std::chrono::steady_clock::now();
    if (!ferolin_tools::WriteSampleDatalog(input, points, 1)) {
        std::fprintf(stderr, "cannot write %s\n", input.c_str());
        return 1;
    }
    const double generate = Seconds(t0);
    t0 = std::chrono::steady_clock::now();
    const size_t lines = CountLines(input);
    const double scan = Seconds(t0);

    // The reader alone, for comparison with the whole opening in the window.
    double read = 0, readCpu = 0;
    {
        ferolin_bench::QuietHost host;
        ferolin::CurrentTrack track;
        t0 = std::chrono::steady_clock::now();
        const double c0 = CpuSeconds();
        const int status = ferolin::LoadTrack(track, input, host);
        read = Seconds(t0);
        readCpu = CpuSeconds() - c0;
        if (status != 0 || host.failed) {
            std::fprintf(stderr, "reading %s failed\n", input.c_str());
            return 1;
        }
    }

    ferolin::ConverterApp app(argc, argv);
    int failures = 0;
    double open = 0, ready = 0, readyCpu = 0, frame = 0;
    int rows = 0;
    {
        ferolin::MainDialog dialog;
        dialog.seams().message = [&failures](QWidget*, const QString& text, QMessageBox::Icon,
                                             const QString&) {
            std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
            ++failures;
        };
        dialog.show();
        QCoreApplication::processEvents();

        t0 = std::chrono::steady_clock::now();
        const double c0 = CpuSeconds();
        dialog.OpenPath(QString::fromStdString(input));
        open = Seconds(t0);
        QTableView* list = dialog.trackList();
        list->scrollToBottom();
        list->setCurrentIndex(list->model()->index(list->model()->rowCount() - 1, 0));
        list->viewport()->repaint();
        QCoreApplication::processEvents();
        ready = Seconds(t0);
        readyCpu = CpuSeconds() - c0;
        rows = list->model()->rowCount();

        // Scrolling: jump to scattered places and repaint the list there.
        QScrollBar* bar = list->verticalScrollBar();
        constexpr int kFrames = 200;
        uint32_t seed = 12345;
        t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < kFrames; ++i) {
            seed = seed * 1103515245u + 12345u;
            bar->setValue(static_cast<int>(seed % static_cast<uint32_t>(bar->maximum() + 1)));
            list->viewport()->repaint();
        }
        frame = Seconds(t0) / kFrames;
        dialog.reject();
    }

    // A phone's GPX: the batch's read against the window's opening.
    const std::string gpx = folder + "/ferolin_bench_window.gpx";
    if (!ferolin_bench::WriteSampleGpx(gpx, points)) {
        std::fprintf(stderr, "cannot write %s\n", gpx.c_str());
        return 1;
    }
    // The better of two reads: the first also warms the file's pages.
    const double firstRead = BatchRead(gpx), secondRead = BatchRead(gpx);
    const double gpxRead = firstRead < 0 || secondRead < 0 ? -1 : std::min(firstRead, secondRead);
    int gpxRows = 0, gpxViewRows = 0;
    double listDrawn = 0, viewDrawn = 0;
    const double gpxList = OpenInWindow(gpx, false, gpxRows, listDrawn);
    const double gpxView = OpenInWindow(gpx, true, gpxViewRows, viewDrawn);
    std::remove(gpx.c_str());
    if (gpxRead < 0 || gpxList < 0 || gpxView < 0 || gpxRows != static_cast<int>(points) ||
        gpxViewRows != static_cast<int>(points))
        ++failures;

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("points                 %u (%d rows listed)\n", points, rows);
    std::printf("generate datalog       %.3f s\n", generate);
    std::printf("scan lines             %.3f s (%zu lines; reference)\n", scan, lines);
    std::printf("read datalog alone     %.3f s (processor %.3f s)\n", read, readCpu);
    std::printf("open (load + list)     %.3f s\n", open);
    std::printf("ready at the last row  %.3f s (processor %.3f s; limit 2 s)\n", ready, readyCpu);
    std::printf("open / scan            %.2f\n", open / scan);
    std::printf("scroll and repaint     %.2f ms per frame\n", frame * 1000);
    std::printf("gpx read alone (batch) %.3f s\n", gpxRead);
    std::printf("gpx in the list        %.3f s (%.2f of the batch read; limit 1.3)\n", gpxList,
                gpxList / gpxRead);
    std::printf("gpx in the list, view  %.3f s (%.2f of the batch read; limit 1.3; the view open)\n",
                gpxView, gpxView / gpxRead);
    std::printf("gpx drawn in the view  %.3f s (%.2f of the batch read)\n", viewDrawn,
                viewDrawn / gpxRead);
    std::printf("peak memory            %.1f MiB\n", usage.ru_maxrss / 1024.0);
    std::remove(input.c_str());
    std::filesystem::remove_all(config);
    return failures == 0 && rows == static_cast<int>(points) ? 0 : 1;
}
