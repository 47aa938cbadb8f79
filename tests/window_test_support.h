// Helpers of the window tests: a main dialog whose file dialogs, message
// boxes, port question, modal runs and context menu are answered by the
// test, its controls found by name, and a recorder in place of the
// desktop's URL handler.
#pragma once

#include <QAction>
#include <QColor>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/web_mercator.h"
#include "desktop/main_dialog.h"

namespace ferolin_test {

extern std::string numericLocaleAtStart;
extern std::string ctypeLocaleAtStart;
extern bool germanLocaleAvailable;

struct Message {
    QString text;
    QMessageBox::Icon icon;
    QString details;  // under "Show Details..."
};

// What the seams of a driven dialog saw and what they answer.
struct Driver {
    QString openAnswer;
    QString saveAnswer;
    QString portAnswer;
    QString menuChoice;                     // objectName of the action to take
    std::function<void(QDialog&)> onModal;  // runs inside a modal step
    std::vector<Message> messages;
    std::vector<QString> openFolders;
    std::vector<QString> saveInitialPaths;
    std::vector<QString> saveFilters;
    int menus = 0;
};

std::unique_ptr<ferolin::MainDialog> MakeDialog(Driver& driver);

// The control named `name` under `parent`; a missing one fails the test.
template <typename T>
T* Find(const QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (!child) ADD_FAILURE() << "no control " << name;
    return child;
}
void Click(const QObject& parent, const char* button);
void Check(const QObject& parent, const char* box, bool on);
void Type(const QObject& parent, const char* edit, const QString& text);
QString Text(const QObject& parent, const char* edit);
// The texts of a bound's five edits ("start" or "stop"), space-separated.
QString BoundText(const QObject& parent, const char* bound);
QStringList Rules(const QObject& parent);

// Installs a URL recorder for the lifetime of the object.
class UrlRecorder {
public:
    explicit UrlRecorder(std::vector<QUrl>& urls);
    ~UrlRecorder();
};

// A BlueGPS datalog of the given point blocks (each "Key: value" lines).
std::string Datalog(const std::vector<std::string>& blocks);
// Three dated points, records 1 to 3 at 9/3/2007 10:01, 10:02, 10:03, climbing
// 100, 200, 300 m.
std::string ThreePoints();

// Clicks, double-clicks or right-clicks a row of the dialog's point list.
void ClickRow(ferolin::MainDialog& dialog, int row);
void DoubleClickRow(ferolin::MainDialog& dialog, int row);
void RightClickAt(ferolin::MainDialog& dialog, const QPoint& viewportPosition);
void RightClickRow(ferolin::MainDialog& dialog, int row);

// Writes map tiles z/x/y.png under `folder`, drawn from a made-up landscape
// of woods, meadows, a river, paths and contour lines laid out in metres on
// the ground, so that neighbouring tiles and zoom levels join up; or, given
// a valid `plain` colour, all of that colour.
void WriteMapTiles(const std::string& folder, const std::vector<ferolin::TileKey>& keys,
                   const QColor& plain = QColor());

}  // namespace ferolin_test
