#include "pocket/ppc_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QVBoxLayout>

namespace {

constexpr const char* kTitle = "Ferolin";
constexpr const char* kOpenFilter = "Ferolin Files|*.log;*.txt;*.nme;*.nmea||";

// The save filters of the four formats.
constexpr const char* kTextFilter = "Text (*.txt)|*.txt||";
constexpr const char* kGpxFilter = "GPS eXchange (*.gpx)|*.gpx||";
constexpr const char* kPcx5Filter = "PCX5 track (*.trk)|*.trk||";
constexpr const char* kPltFilter = "OziExplorer track (*.plt)|*.plt||";

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

QString PPCQtFilter(const char* filter) {
    // "Desc|pattern|Desc|pattern||": each description, with its patterns in
    // parentheses unless it names them already.
    const QStringList parts = QString::fromUtf8(filter).split(QLatin1Char('|'));
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
        if (description.isEmpty()) break;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.contains(QLatin1Char('(')))
            result << description;
        else
            result << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return result.join(QStringLiteral(";;"));
}

PPCPathDialogs PPCFileDialogs() {
    PPCPathDialogs dialogs;
    dialogs.askOpenPath = [](QWidget* parent) {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), PPCQtFilter(kOpenFilter));
    };
    dialogs.askSavePath = [](QWidget* parent, const QString& extension, const QString& name,
                             const QString& filter) {
        // Asks before replacing a file; the folder must exist.
        QFileDialog dialog(parent, QString(), name, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(extension);
        if (dialog.exec() != QDialog::Accepted) return QString();
        return dialog.selectedFiles().value(0);
    };
    return dialogs;
}

void PPCShowMessage(QWidget* parent, PPCMessage message) {
    const QString text = QString::fromUtf8(PPCMessageText(message));
    if (PPCMessageIsError(message))
        QMessageBox::critical(parent, QString::fromUtf8(kTitle), text);
    else
        QMessageBox::warning(parent, QString::fromUtf8(kTitle), text);
}

// ---------------------------------------------------------------------------

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("100"));
    setWindowTitle(QStringLiteral("About Ferolin"));
    auto* layout = new QHBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    const QIcon programIcon = QApplication::windowIcon().isNull()
                                  ? style()->standardIcon(QStyle::SP_ComputerIcon)
                                  : QApplication::windowIcon();
    icon->setPixmap(programIcon.pixmap(32, 32));
    layout->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->addWidget(new QLabel(QStringLiteral("Ferolin for Pocket PC"), this));
    texts->addWidget(new QLabel(QStringLiteral("Version 1.2"), this));
    layout->addLayout(texts);
}

// ---------------------------------------------------------------------------

CPPCView::CPPCView(CPPCDoc& document, PPCPathDialogs& dialogs, QWidget* parent)
    : QWidget(parent), document_(document), dialogs_(dialogs) {
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    fileLabel_ = new QLabel(QStringLiteral("Loading file..."), this);
    fileLabel_->setObjectName(QStringLiteral("label1"));
    pointsLabel_ = new QLabel(QString(), this);
    pointsLabel_->setObjectName(QStringLiteral("label2"));
    pcx5_ = new QRadioButton(QStringLiteral("PCX5 track (.trk)"), this);
    pcx5_->setObjectName(QStringLiteral("1002"));
    plt_ = new QRadioButton(QStringLiteral("OziExplorer track (.plt)"), this);
    plt_->setObjectName(QStringLiteral("1003"));
    gpx_ = new QRadioButton(QStringLiteral("GPS eXchange (.gpx)"), this);
    gpx_->setObjectName(QStringLiteral("1004"));
    text_ = new QRadioButton(QStringLiteral("Text (.txt)"), this);
    text_->setObjectName(QStringLiteral("1005"));
    drop_ = new QCheckBox(QStringLiteral("Remove points without altitude"), this);
    drop_->setObjectName(QStringLiteral("1006"));
    export_ = new QPushButton(QStringLiteral("Export"), this);
    export_->setObjectName(QStringLiteral("1001"));

    layout->addWidget(fileLabel_);
    layout->addWidget(pointsLabel_);
    layout->addSpacing(10);
    for (QWidget* w : {static_cast<QWidget*>(pcx5_), static_cast<QWidget*>(plt_),
                       static_cast<QWidget*>(gpx_), static_cast<QWidget*>(text_),
                       static_cast<QWidget*>(drop_)})
        layout->addWidget(w);
    layout->addSpacing(20);
    layout->addWidget(export_);
    layout->addStretch(1);

    pcx5_->setChecked(true);
    drop_->setChecked(true);
    connect(export_, &QPushButton::clicked, this, &CPPCView::OnExport);
}

void CPPCView::RefreshLabels() {
    fileLabel_->setText(QStringLiteral("File : ") + QFile::decodeName(document_.Path().c_str()));
    pointsLabel_->setText(QStringLiteral("Points : ") + QString::number(document_.Count()));
}

void CPPCView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    RefreshLabels();
}

void CPPCView::OnExport() {
    // The first checked of text, GPX and PCX5; PLT otherwise.
    int format = kPPCPlt;
    QString extension = QStringLiteral("plt");
    const char* filter = kPltFilter;
    if (text_->isChecked()) {
        format = kPPCText;
        extension = QStringLiteral("txt");
        filter = kTextFilter;
    } else if (gpx_->isChecked()) {
        format = kPPCGpx;
        extension = QStringLiteral("gpx");
        filter = kGpxFilter;
    } else if (pcx5_->isChecked()) {
        format = kPPCPcx5;
        extension = QStringLiteral("trk");
        filter = kPcx5Filter;
    }
    if (!dialogs_.askSavePath) return;
    const QString target = dialogs_.askSavePath(this, extension,
                                                QFile::decodeName(document_.Name().c_str()),
                                                PPCQtFilter(filter));
    if (target.isEmpty()) return;
    document_.ExportTrack(LocalPath(target), format, drop_->isChecked(),
                          [this](PPCMessage message) { PPCShowMessage(this, message); });
}

// ---------------------------------------------------------------------------

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), dialogs_(PPCFileDialogs()) {
    setWindowTitle(QString::fromUtf8(kTitle));
    view_ = new CPPCView(document_, dialogs_, this);
    setCentralWidget(view_);

    // No Save command: the document has nothing to save, and saving must
    // never replace the opened track file.
    QMenu* menu = menuBar()->addMenu(QStringLiteral("Menu"));
    QAction* open = menu->addAction(QStringLiteral("Open..."), this, &CMainFrame::OnFileOpen);
    open->setObjectName(QStringLiteral("57601"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QAction* about = menu->addAction(QStringLiteral("About..."), this, &CMainFrame::OnAppAbout);
    about->setObjectName(QStringLiteral("57664"));
    menu->addSeparator();
    QAction* exit = menu->addAction(QStringLiteral("Exit"), this, &QWidget::close);
    exit->setObjectName(QStringLiteral("57665"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    resize(240, 320);
}

bool CMainFrame::OpenFile(const QString& path) {
    const bool opened = document_.OpenDocument(
        LocalPath(path), [this](PPCMessage message) { PPCShowMessage(this, message); });
    // Opened from the shown window, the view takes the focus back from the
    // dialogs and shows the result at once; opened before the window shows
    // (the command line), the labels wait for the view's first focus.
    if (isVisible()) {
        view_->RefreshLabels();
        view_->setFocus(Qt::OtherFocusReason);
    }
    return opened;
}

void CMainFrame::OnFileOpen() {
    if (!dialogs_.askOpenPath) return;
    const QString path = dialogs_.askOpenPath(this);
    if (!path.isEmpty()) OpenFile(path);
}

void CMainFrame::OnAppAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // An activated frame hands the focus to its view.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        view_->setFocus(Qt::ActiveWindowFocusReason);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    document_.CloseDocument();
    QMainWindow::closeEvent(event);
}
