#include "window_test_support.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <cmath>

#include "desktop/map_viewers.h"

namespace ferolin_test {

std::unique_ptr<ferolin::MainDialog> MakeDialog(Driver& d) {
    auto dialog = std::make_unique<ferolin::MainDialog>();
    auto& seams = dialog->seams();
    seams.openFileName = [&d](QWidget*, const QString& folder, const QString&) {
        d.openFolders.push_back(folder);
        return d.openAnswer;
    };
    seams.saveFileName = [&d](QWidget*, const QString& initial, const QString& filter,
                              const QString&) {
        d.saveInitialPaths.push_back(initial);
        d.saveFilters.push_back(filter);
        return d.saveAnswer;
    };
    seams.message = [&d](QWidget*, const QString& text, QMessageBox::Icon icon,
                         const QString& details) {
        d.messages.push_back({text, icon, details});
    };
    seams.choosePort = [&d](QWidget*, const QStringList&) { return d.portAnswer; };
    seams.runModal = [&d](QDialog& modal) {
        modal.show();
        if (d.onModal) d.onModal(modal);
        const int result = modal.result();
        modal.hide();
        return result;
    };
    seams.popupMenu = [&d](QMenu& menu, const QPoint&) -> QAction* {
        ++d.menus;
        QAction* action = menu.findChild<QAction*>(d.menuChoice);
        if (action) action->trigger();
        return action;
    };
    return dialog;
}

void Click(const QObject& parent, const char* button) {
    if (auto* b = Find<QPushButton>(parent, button)) QTest::mouseClick(b, Qt::LeftButton);
}

void Check(const QObject& parent, const char* box, bool on) {
    if (auto* b = Find<QCheckBox>(parent, box)) b->setChecked(on);
}

void Type(const QObject& parent, const char* edit, const QString& text) {
    if (QLineEdit* e = Find<QLineEdit>(parent, edit)) {
        e->clear();
        QTest::keyClicks(e, text);
    }
}

QString Text(const QObject& parent, const char* edit) {
    const QLineEdit* e = Find<QLineEdit>(parent, edit);
    return e ? e->text() : QStringLiteral("(none)");
}

QString BoundText(const QObject& parent, const char* bound) {
    QStringList texts;
    for (const char* field : {"Day", "Month", "Year", "Hour", "Minute"})
        texts << Text(parent, (std::string(bound) + field + "Edit").c_str());
    return texts.join(QLatin1Char(' '));
}

QStringList Rules(const QObject& parent) {
    QStringList texts;
    if (const auto* list = Find<QListWidget>(parent, "ruleList"))
        for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

UrlRecorder::UrlRecorder(std::vector<QUrl>& urls) {
    ferolin::SetUrlOpener([&urls](const QUrl& url) {
        urls.push_back(url);
        return true;
    });
}

UrlRecorder::~UrlRecorder() { ferolin::SetUrlOpener(nullptr); }

std::string Datalog(const std::vector<std::string>& blocks) {
    std::string text = "BlueGPS Datalog\r\nAbout total Numbers: " + std::to_string(blocks.size()) +
                       "\r\n=====================\r\n";
    for (const std::string& block : blocks) text += block + "=====================\r\n";
    return text;
}

std::string ThreePoints() {
    std::vector<std::string> blocks;
    for (int i = 1; i <= 3; ++i)
        blocks.push_back("Record: " + std::to_string(i) +
                         "\r\nYear: 2007\r\nMonth: 3\r\nDay: 9\r\nHour: 10\r\nMinute: " +
                         std::to_string(i) + "\r\nLatitude: 45.5\r\nLongitude: 5." +
                         std::to_string(i) + "\r\nAltitude: " + std::to_string(100 * i) +
                         "\r\nSpeed(KMs/hr): " + std::to_string(i) + ".5\r\n");
    return Datalog(blocks);
}

namespace {

QPoint RowCentre(ferolin::MainDialog& dialog, int row) {
    QTableView* view = dialog.trackList();
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    return view->visualRect(index).center();
}

}  // namespace

void ClickRow(ferolin::MainDialog& dialog, int row) {
    QTest::mouseClick(dialog.trackList()->viewport(), Qt::LeftButton, {}, RowCentre(dialog, row));
}

void DoubleClickRow(ferolin::MainDialog& dialog, int row) {
    const QPoint at = RowCentre(dialog, row);
    QWidget* viewport = dialog.trackList()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
}

void RightClickAt(ferolin::MainDialog& dialog, const QPoint& at) {
    QWidget* viewport = dialog.trackList()->viewport();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
}

void RightClickRow(ferolin::MainDialog& dialog, int row) { RightClickAt(dialog, RowCentre(dialog, row)); }

void WriteMapTiles(const std::string& folder, const std::vector<ferolin::TileKey>& keys,
                   const QColor& plain) {
    constexpr double kWorld = 40075016.686;  // metres across the square at the equator
    for (const ferolin::TileKey& key : keys) {
        QImage tile(ferolin::kTilePixels, ferolin::kTilePixels, QImage::Format_RGB32);
        const double n = std::ldexp(1.0, key.z);
        for (int py = 0; py < tile.height(); ++py) {
            QRgb* row = reinterpret_cast<QRgb*>(tile.scanLine(py));
            for (int px = 0; px < tile.width(); ++px) {
                if (plain.isValid()) {
                    row[px] = plain.rgb();
                    continue;
                }
                const double x = (key.x + (px + 0.5) / tile.width()) / n * kWorld;
                const double y = (key.y + (py + 0.5) / tile.height()) / n * kWorld;
                const double wood = std::sin(x / 310 + std::sin(y / 470)) * std::cos(y / 260 - 0.7 * std::sin(x / 390));
                const double height = 40 * std::sin(x / 900) + 30 * std::cos(y / 700 + x / 2000);
                const double river = std::fabs(std::fmod(y, 3000.0) - 1500 - 220 * std::sin(x / 650)) - 18;
                const double path = std::fabs(std::fmod(x + 60 * std::sin(y / 300), 1400.0) - 700);
                QColor c(242, 239, 233);                               // open land
                if (wood > 0.35) c = QColor(173, 209, 158);            // woods
                else if (wood < -0.6) c = QColor(205, 235, 176);       // meadows
                if (std::fabs(std::fmod(height + 1000, 10.0) - 5) > 4.6) c = c.darker(112);  // contours
                if (river < 0) c = QColor(170, 211, 223);
                if (path < 3) c = QColor(250, 250, 250);
                row[px] = c.rgb();
            }
        }
        const QString dir = QStringLiteral("%1/%2/%3").arg(QString::fromStdString(folder)).arg(key.z).arg(key.x);
        QDir().mkpath(dir);
        tile.save(QStringLiteral("%1/%2.png").arg(dir).arg(key.y));
    }
}

}  // namespace ferolin_test
