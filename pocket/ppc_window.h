// The handheld edition's window: a small main window holding the view (the
// two labels, the four format radio buttons, the check box and Export), the
// menu with Open, About and Exit, and the document.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QString>
#include <QWidget>
#include <functional>

#include "pocket/ppc_document.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

// Qt's filter form of a "Desc (*.x)|*.x||" filter string: "Desc (*.x)".
QString PPCQtFilter(const char* filter);

// The dialogs that ask for paths. The window calls these; tests replace them.
struct PPCPathDialogs {
    // The file to open; empty when cancelled.
    std::function<QString(QWidget* parent)> askOpenPath;
    // The file to export to, given the default extension (without "."), the
    // initial file name and the Qt filter; empty when cancelled.
    std::function<QString(QWidget* parent, const QString& extension, const QString& name,
                          const QString& filter)>
        askSavePath;
};
// The real file dialogs.
PPCPathDialogs PPCFileDialogs();

// The About box: title "About Ferolin", the program's icon, "Ferolin for
// Pocket PC", "Version 1.2".
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

class CPPCView : public QWidget {
    Q_OBJECT
public:
    CPPCView(CPPCDoc& document, PPCPathDialogs& dialogs, QWidget* parent = nullptr);

    QLabel* FileLabel() const { return fileLabel_; }
    QLabel* PointsLabel() const { return pointsLabel_; }
    QRadioButton* TextRadio() const { return text_; }
    QRadioButton* GpxRadio() const { return gpx_; }
    QRadioButton* Pcx5Radio() const { return pcx5_; }
    QRadioButton* PltRadio() const { return plt_; }
    QCheckBox* DropCheck() const { return drop_; }
    QPushButton* ExportButton() const { return export_; }

    // Shows the document's path and point count (done when the view gets
    // the focus).
    void RefreshLabels();

public slots:
    void OnExport();

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    CPPCDoc& document_;
    PPCPathDialogs& dialogs_;
    QLabel* fileLabel_;
    QLabel* pointsLabel_;
    QRadioButton* pcx5_;
    QRadioButton* plt_;
    QRadioButton* gpx_;
    QRadioButton* text_;
    QCheckBox* drop_;
    QPushButton* export_;
};

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    CPPCDoc& Document() { return document_; }
    CPPCView* View() const { return view_; }
    // Replaces the dialogs that ask for paths.
    void SetPathDialogs(PPCPathDialogs dialogs) { dialogs_ = std::move(dialogs); }

    // Opens a track file into the document; the messages appear as message
    // boxes. The view shows the result when it next gets the focus.
    bool OpenFile(const QString& path);

public slots:
    void OnFileOpen();
    void OnAppAbout();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    CPPCDoc document_;
    PPCPathDialogs dialogs_;
    CPPCView* view_;
};

// Shows a handheld message with its icon, owned by `parent`.
void PPCShowMessage(QWidget* parent, PPCMessage message);
