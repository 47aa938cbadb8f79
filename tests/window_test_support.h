// Helpers of the window tests: a main dialog whose file dialogs, message
// boxes, port question, modal runs and context menu are driven by the test,
// and a recorder in place of the desktop's URL handler.
#pragma once

#include <QAction>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/main_dlg.h"

namespace ferolin_test {

extern std::string numericLocaleAtStart;
extern std::string ctypeLocaleAtStart;
extern bool germanLocaleAvailable;

struct Message {
    QString text;
    QMessageBox::Icon icon;
};

// What the seams of a driven dialog saw and what they answer.
struct Driver {
    QString openAnswer;
    QString saveAnswer;
    QString portAnswer;
    QString menuChoice;                           // objectName of the action to take
    std::function<void(QDialog&)> onModal;        // runs inside a modal step
    std::vector<Message> messages;
    std::vector<QString> openFolders;
    std::vector<QString> saveInitialPaths;
    std::vector<QString> saveFilters;
    int menus = 0;
};

std::unique_ptr<ferolin::CMainDlg> MakeDialog(Driver& driver);
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
void ClickRow(ferolin::CMainDlg& dialog, int row);
void DoubleClickRow(ferolin::CMainDlg& dialog, int row);
void RightClickAt(ferolin::CMainDlg& dialog, const QPoint& viewportPosition);
void RightClickRow(ferolin::CMainDlg& dialog, int row);

}  // namespace ferolin_test
