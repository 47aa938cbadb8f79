// The desktop program's window: the point list of the current track, the
// Open, Options, Download, Export and Exit buttons with the output-format
// list, and the selection panel (the "Options" group). It is the driver's
// host: the driver fills the list through it, takes the selection (from the
// panel) and the writers' option words from it and shows its messages
// through it.
#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

#include "convert/driver.h"
#include "core/selection.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;
class QToolButton;

namespace ferolin {

class PointDetailsDialog;
class TrackViewWindow;
class SelectionPanel;
class TrackListModel;

class MainDialog : public QDialog, public DriverHost {
    Q_OBJECT
public:
    // The modal steps the window takes, replaceable so that tests can drive
    // the window without blocking; each defaults to the real Qt dialog.
    struct Seams {
        // The chosen file, or empty when the user cancels.
        std::function<QString(QWidget* parent, const QString& folder, const QString& filter)>
            openFileName;
        std::function<QString(QWidget* parent, const QString& initialPath, const QString& filter,
                              const QString& defaultSuffix)>
            saveFileName;
        // `details`: the reason behind the message, under "Show Details..."
        // (empty: no details).
        std::function<void(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                           const QString& details)>
            message;
        // The serial port to download from, or empty.
        std::function<QString(QWidget* parent, const QStringList& ports)> choosePort;
        // Runs a modal dialog (the options sheet, the About box).
        std::function<int(QDialog& dialog)> runModal;
        // Opens the context menu at a screen position; returns the chosen action.
        std::function<QAction*(QMenu& menu, const QPoint& at)> popupMenu;
    };

    explicit MainDialog(QWidget* parent = nullptr);
    ~MainDialog() override;

    Seams& seams() { return seams_; }

    // The end of the start-up: the point details window (shown when it was
    // open at the last exit), then the command line (nothing, or one file to
    // load). False when the program is to end (a batch command line).
    bool Start(const std::vector<std::string>& arguments);

    // Saves the settings, releases the track and removes the temporary KML
    // files; runs once, at the latest when the window is destroyed.
    void Shutdown();

    // Open as the button does after its dialog: reset, then load `path`.
    void OpenPath(const QString& path);
    // Export of the current track to `path` through the writer row `row`.
    int ExportPath(const QString& path, int row);

    const CurrentTrack& track() const { return track_; }
    TrackListModel* model() const { return model_; }
    QTableView* trackList() const { return list_; }
    PointDetailsDialog* details() const { return details_; }
    TrackViewWindow* trackView() const { return trackView_; }
    SelectionPanel* selectionPanel() const { return panel_; }
    QPushButton* trackViewButton() const { return trackViewButton_; }
    // The right-hand column of buttons, Open to About.
    QWidget* buttonColumn() const { return buttonColumn_; }
    // The window's size at first start on a screen whose free area is
    // `area`: the list shows every column a track with all four sensor
    // channels has, within the area (the frame included).
    QSize DefaultSize(const QRect& area) const;
    QMenu* contextMenu() const { return menu_; }
    QString lastFolder() const { return lastFolder_; }

    // DriverHost.
    void ShowMessage(const std::string& path, int stringId, MessageIcon icon,
                     const std::string& reason) override;
    void BeginWork() override;
    void EndWork() override;
    // The read runs on a thread of its own while the window keeps painting,
    // with a progress bar for a file of more than kProgressBarBytes.
    void RunRead(const std::string& path, const std::function<void()>& read) override;
    static constexpr qint64 kProgressBarBytes = 20 * 1000 * 1000;
    QProgressBar* loadProgress() const { return progress_; }
    void TrackLoaded(const CurrentTrack& track) override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The window stays while a file is being read.
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildContextMenu();
    void FillFormatList();
    void InstallDefaultSeams();
    void RestoreSettings();
    int SensorColumnWidth(const QString& header) const;
    void WidenForColumns();
    void RememberFolder(const QString& path);
    void Message(int stringId, QMessageBox::Icon icon, const std::string& reason = {});

    void OnOpen();
    void OnOptions();
    void OnDownload();
    void OnExport();
    void OnExit();
    void OnAbout();
    void OnRowClicked(int row, bool show);
    void OnContextMenu(const QPoint& at);
    void OnShowDetails();
    void OnExclude();
    void OnGoogleEarth();
    void OnGoogleMaps();
    void OnVirtualEarth();

    Seams seams_;
    CurrentTrack track_;
    bool detailsWereOpen_ = false;
    bool shutDown_ = false;
    int busy_ = 0;
    QProgressBar* progress_ = nullptr;  // shown while a large file is read
    QString lastFolder_;

    TrackListModel* model_;
    PointDetailsDialog* details_;
    TrackViewWindow* trackView_;
    QMenu* menu_;
    QLabel* fileLabel_;
    QToolButton* donateIcon_;
    QTableView* list_;
    QPushButton* openButton_;
    QPushButton* optionsButton_;
    QPushButton* downloadButton_;
    QComboBox* formatList_;
    QPushButton* exportButton_;
    QPushButton* exitButton_;
    QPushButton* aboutButton_;
    QPushButton* trackViewButton_;
    QWidget* buttonColumn_;
    QSize wantedList_;  // the list's size at the window's default size
    SelectionPanel* panel_;
};

}  // namespace ferolin
