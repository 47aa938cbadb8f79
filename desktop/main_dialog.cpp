#include "desktop/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "core/strings.h"
#include "desktop/about_box.h"
#include "desktop/dialog_units.h"
#include "desktop/map_viewers.h"
#include "desktop/options_sheet.h"
#include "desktop/point_details_dialog.h"
#include "desktop/screen_place.h"
#include "desktop/selection_panel.h"
#include "desktop/settings_store.h"
#include "desktop/track_model.h"
#include "desktop/track_view.h"
#include "desktop/track_view_link.h"
#include "desktop/window_text.h"
#include "devices/port_list.h"
#include "formats/format_table.h"

namespace ferolin {

MainDialog::MainDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("mainDialog"));
    InstallDefaultSeams();
    setWindowIcon(ApplicationIcon());
    setWindowTitle(QStringLiteral("Ferolin v") + LoadQString(kStrVersion));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    model_ = new TrackListModel(this);
    BuildControls();
    BuildContextMenu();
    details_ = new PointDetailsDialog(this);
    trackView_ = AttachTrackView(*this);

    exportButton_->setEnabled(false);
    fileLabel_->clear();
    FillFormatList();
    RestoreSettings();
    lastFolder_ = QDir::currentPath();
}

MainDialog::~MainDialog() { Shutdown(); }

void MainDialog::FillFormatList() {
    // Every row with a writer and a save-dialog filter.
    const auto table = FormatTable();
    int pcx5Item = -1;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!HasWriter(table[i]) || table[i].filterId == 0) continue;
        const std::string filter = LoadString(table[i].filterId);
        if (std::string_view(table[i].extension) == "trk" && pcx5Item < 0)
            pcx5Item = formatList_->count();
        formatList_->addItem(ToQString(filter.substr(0, filter.find('|'))),
                             static_cast<int>(i));
    }
    // "Garmin PCX5 track (*.trk)" is the format chosen at start; the first
    // one while that row has no writer.
    formatList_->setCurrentIndex(pcx5Item >= 0 ? pcx5Item : 0);
}

void MainDialog::InstallDefaultSeams() {
    seams_.openFileName = [](QWidget* parent, const QString& folder, const QString& filter) {
        QFileDialog dialog(parent, QString(), folder, filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    };
    seams_.saveFileName = [](QWidget* parent, const QString& initialPath, const QString& filter,
                             const QString& suffix) {
        QFileDialog dialog(parent, QString(), initialPath, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(suffix);
        dialog.selectFile(initialPath);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().first();
    };
    seams_.message = [](QWidget* parent, const QString& text, QMessageBox::Icon icon,
                        const QString& details) {
        QMessageBox box(icon, QStringLiteral("Ferolin"), text, QMessageBox::Ok, parent);
        if (!details.isEmpty()) box.setDetailedText(details);
        box.exec();
    };
    seams_.choosePort = [](QWidget* parent, const QStringList& ports) {
        bool ok = false;
        const QString port =
            QInputDialog::getItem(parent, LoadQString(kStrDownload),
                                  QStringLiteral("Serial port of the GPS logger :"), ports, 0,
                                  true, &ok);
        return ok ? port.trimmed() : QString();
    };
    seams_.runModal = [](QDialog& dialog) { return dialog.exec(); };
    seams_.popupMenu = [](QMenu& menu, const QPoint& at) { return menu.exec(at); };
}

void MainDialog::BuildControls() {
    const DialogUnits du(this);
    auto* top = new QVBoxLayout(this);

    auto* header = new QHBoxLayout;
    fileLabel_ = new QLabel(this);
    fileLabel_->setObjectName(QStringLiteral("fileLabel"));
    fileLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    fileLabel_->setTextFormat(Qt::PlainText);
    header->addWidget(fileLabel_, 1);
    donateIcon_ = new QToolButton(this);
    donateIcon_->setObjectName(QStringLiteral("donateIcon"));
    donateIcon_->setIcon(DonationIcon());
    donateIcon_->setAutoRaise(true);
    header->addWidget(donateIcon_);
    top->addLayout(header);

    auto* middle = new QHBoxLayout;
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("trackList"));
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setShowGrid(false);
    list_->setWordWrap(false);
    list_->setCornerButtonEnabled(false);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setSectionsClickable(false);
    static constexpr int kColumnWidths[TrackListModel::kColumnCount] = {50, 63, 63, 50, 85};
    // Each column at least as wide as its header's text, and the list wide
    // enough for them all.
    int columns = 0;
    for (int c = 0; c < TrackListModel::kColumnCount; ++c) {
        list_->setColumnWidth(c, std::max(du.X(kColumnWidths[c]),
                                          list_->horizontalHeader()->sectionSizeHint(c)));
        columns += list_->columnWidth(c);
    }
    const int chrome = 2 * list_->frameWidth() +
                       list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list_);
    list_->setMinimumSize(std::max(du.X(222), columns + chrome), du.Y(128));
    middle->addWidget(list_, 1);

    auto* buttons = new QVBoxLayout;
    openButton_ = DialogButton(this, LoadQString(kStrOpen), "openButton");
    openButton_->setDefault(true);
    optionsButton_ = DialogButton(this, LoadQString(kStrOptions), "optionsButton");
    downloadButton_ = DialogButton(this, LoadQString(kStrDownload), "downloadButton");
    auto* formatLabel = new QLabel(QStringLiteral("Output format :"), this);
    formatList_ = new QComboBox(this);
    formatList_->setObjectName(QStringLiteral("outputFormatList"));
    formatList_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    exportButton_ = DialogButton(this, LoadQString(kStrExport), "exportButton");
    exitButton_ = DialogButton(this, LoadQString(kStrExit), "exitButton");
    aboutButton_ = DialogButton(this, LoadQString(kStrAboutMenu), "aboutButton");
    for (QPushButton* b : {openButton_, optionsButton_, downloadButton_, exportButton_,
                           exitButton_})
        b->setMinimumWidth(du.X(80));
    buttons->addWidget(openButton_);
    buttons->addWidget(optionsButton_);
    buttons->addWidget(downloadButton_);
    buttons->addSpacing(du.Y(4));
    buttons->addWidget(formatLabel);
    buttons->addWidget(formatList_);
    buttons->addWidget(exportButton_);
    buttons->addSpacing(du.Y(8));
    buttons->addWidget(exitButton_);
    buttons->addStretch(1);
    buttons->addWidget(aboutButton_);
    middle->addLayout(buttons);
    top->addLayout(middle, 1);

    panel_ = new SelectionPanel(this);
    // The track view's button goes beside About, after the panel in the
    // order of the focus.
    trackViewButton_ = DialogButton(this, QStringLiteral("Track view"), "trackViewButton");
    trackViewButton_->setToolTip(QStringLiteral("The track's outline and profiles (Ctrl+T)"));
    buttons->insertWidget(buttons->indexOf(aboutButton_), trackViewButton_);
    top->addWidget(panel_);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(openButton_, &QPushButton::clicked, this, &MainDialog::OnOpen);
    connect(optionsButton_, &QPushButton::clicked, this, &MainDialog::OnOptions);
    connect(downloadButton_, &QPushButton::clicked, this, &MainDialog::OnDownload);
    connect(exportButton_, &QPushButton::clicked, this, &MainDialog::OnExport);
    connect(exitButton_, &QPushButton::clicked, this, &MainDialog::OnExit);
    connect(aboutButton_, &QPushButton::clicked, this, &MainDialog::OnAbout);
    connect(donateIcon_, &QToolButton::clicked, this, [] { OpenWebPage(kStrDonationPage); });
    connect(list_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { OnRowClicked(index.row(), false); });
    connect(list_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { OnRowClicked(index.row(), true); });
    connect(list_, &QWidget::customContextMenuRequested, this, &MainDialog::OnContextMenu);
    // Moving through the list with the keyboard selects like a click.
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && !busy_) OnRowClicked(current.row(), false);
            });
}

void MainDialog::BuildContextMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("pointMenu"));
    auto add = [this](int textId, const char* name, auto slot) {
        QAction* action = menu_->addAction(LoadQString(textId));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
    };
    add(kStrShowDetails, "showDetailsAction", [this] { OnShowDetails(); });
    menu_->addSeparator();
    auto setBound = [this](SelectionPanel::Bound bound) {
        if (track_.selected) panel_->FillBound(bound, track_.selected, true);
    };
    add(kStrSetStartTime, "setStartTimeAction", [setBound] { setBound(SelectionPanel::kStart); });
    add(kStrSetStopTime, "setStopTimeAction", [setBound] { setBound(SelectionPanel::kStop); });
    menu_->addSeparator();
    add(kStrExclude, "excludeAction", [this] { OnExclude(); });
    menu_->addSeparator();
    add(kStrViewGoogleEarth, "googleEarthAction", [this] { OnGoogleEarth(); });
    add(kStrViewGoogleMaps, "googleMapsAction", [this] { OnGoogleMaps(); });
    add(kStrViewVirtualEarth, "virtualEarthAction", [this] { OnVirtualEarth(); });
}

void MainDialog::RestoreSettings() {
    QSettings* settings = OpenSettings();
    uint32_t bits = 0;
    ReadSettingUint(kSettingOptions, bits, 0, settings);
    panel_->Restore(settings, bits);
    detailsWereOpen_ = bits & kOptionDetailsOpen;

    // Default: centred on the primary screen.
    adjustSize();
    QPoint at = pos();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        at = screen->availableGeometry().center() - QPoint(width() / 2, height() / 2);
    uint32_t x = static_cast<uint32_t>(at.x()), y = static_cast<uint32_t>(at.y());
    ReadSettingUint(kSettingMainDialogX, x, x, settings);
    ReadSettingUint(kSettingMainDialogY, y, y, settings);
    CloseSettings(settings);
    move(KeepOnScreen(QPoint(static_cast<int32_t>(x), static_cast<int32_t>(y)), frameSize()));
}

bool MainDialog::Start(const std::vector<std::string>& arguments) {
    details_->ShowPoint(nullptr, detailsWereOpen_);
    if (trackView_->WasShownAtExit()) trackView_->ShowView();
    LoadCommandLineFile(arguments, track_, *this);
    return true;
}

void MainDialog::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    model_->SetTrack(nullptr, 0);
    track_.Reset();
    QSettings* settings = OpenSettings();
    panel_->Save(settings);
    uint32_t bits = panel_->OptionBits();
    if (details_->IsShown()) bits |= kOptionDetailsOpen;
    WriteSettingUint(kSettingOptions, bits, settings);
    const QPoint at = pos();
    WriteSettingUint(kSettingMainDialogX, static_cast<uint32_t>(at.x()), settings);
    WriteSettingUint(kSettingMainDialogY, static_cast<uint32_t>(at.y()), settings);
    details_->SavePosition(settings);
    CloseSettings(settings);
    panel_->ClearRules();
    DeleteTempKmlFiles();
}

void MainDialog::RememberFolder(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!folder.isEmpty()) lastFolder_ = folder;
}

void MainDialog::Message(int stringId, QMessageBox::Icon icon, const std::string& reason) {
    // A message during a load or an export is answered with the window usable
    // and the normal cursor.
    const bool working = busy_ > 0;
    if (working) {
        QApplication::restoreOverrideCursor();
        setEnabled(true);
    }
    seams_.message(this, LoadQString(stringId), icon, QString::fromStdString(reason));
    if (working) {
        setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

void MainDialog::ShowMessage(const std::string& /*path*/, int stringId, MessageIcon icon,
                             const std::string& reason) {
    Message(stringId, icon == MessageIcon::kStop ? QMessageBox::Critical : QMessageBox::Warning,
            reason);
}

void MainDialog::BeginWork() {
    if (busy_++ == 0) {
        setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

void MainDialog::EndWork() {
    if (busy_ > 0 && --busy_ == 0) {
        QApplication::restoreOverrideCursor();
        setEnabled(true);
    }
}

void MainDialog::TrackLoaded(const CurrentTrack& track) {
    model_->SetTrack(track.points.get(), track.count, &track.sensors);
    // The sensor columns too show their whole headers.
    for (int c = TrackListModel::kColumnCount; c < model_->columnCount(); ++c)
        list_->setColumnWidth(c, std::max(list_->columnWidth(c),
                                          list_->horizontalHeader()->sectionSizeHint(c)));
    details_->SetTrack(track.points.get(), track.count, &track.sensors);
    exportButton_->setEnabled(true);
    fileLabel_->setText(ToQString(track.displayName));
    // Only the time bounds are rewritten: what the user typed in the other
    // edits stays.
    // A file of waypoints or routes alone has no point to bound or show.
    const TrackPoint* first = track.count ? &track.points[0] : nullptr;
    panel_->FillBound(SelectionPanel::kStart, first, false);
    panel_->FillBound(SelectionPanel::kStop, track.count ? &track.points[track.count - 1] : nullptr, false);
    if (first) details_->ShowPoint(first, false);
}



// A file or a download that gives no track leaves the loaded one, and the
// window, as they were.
void MainDialog::OpenPath(const QString& path) {
    RememberFolder(path);
    LoadTrack(track_, path.toStdString(), *this);
}

int MainDialog::ExportPath(const QString& path, int row) {
    RememberFolder(path);
    const auto table = FormatTable();
    if (row < 0 || static_cast<std::size_t>(row) >= table.size()) return 1;
    SelectionCriteria criteria;
    panel_->BuildCriteria(track_.fieldMask, criteria);
    return ExportToFile(track_, path.toStdString(), row, criteria,
                        ReadWriterOptions(table[row].extension), *this);
}

void MainDialog::OnOpen() {
    const QString filter = QtFileFilter(std::string(LoadString(kStrFilterOpen)) +
                                        LoadString(kStrFilterAllFiles));
    const QString path = seams_.openFileName(this, lastFolder_, filter);
    if (!path.isEmpty()) OpenPath(path);
}

void MainDialog::OnExport() {
    const int row = formatList_->currentData().toInt();
    const auto table = FormatTable();
    if (row < 0 || static_cast<std::size_t>(row) >= table.size()) return;
    const FormatEntry& entry = table[row];
    const QString filter = QtFileFilter(std::string(LoadString(entry.filterId)) +
                                        LoadString(kStrFilterAllFiles));
    QString initial = lastFolder_;
    if (!track_.fileTitle.empty())
        initial = QDir(lastFolder_).filePath(ToQString(track_.fileTitle) + QLatin1Char('.') +
                                             QString::fromLatin1(entry.extension));
    const QString path =
        seams_.saveFileName(this, initial, filter, QString::fromLatin1(entry.extension));
    if (!path.isEmpty()) ExportPath(path, row);
}

void MainDialog::OnOptions() {
    OptionsSheet sheet(this);
    seams_.runModal(sheet);
}

void MainDialog::OnDownload() {
    QStringList ports;
    for (const std::string& name : ListSerialPorts()) ports << QString::fromStdString(name);
    const QString port = seams_.choosePort(this, ports);
    if (port.isEmpty()) return;
    LoadTrack(track_, port.toStdString() + ".rbt", *this);
}

void MainDialog::OnExit() {
    panel_->TakeValues();
    accept();
}

void MainDialog::OnAbout() {
    AboutBox about(this);
    seams_.runModal(about);
}

void MainDialog::OnRowClicked(int row, bool show) {
    const TrackPoint* p = model_->PointAt(row);
    if (!p) return;
    track_.selected = p;
    details_->ShowPoint(p, show);
}

void MainDialog::OnContextMenu(const QPoint& at) {
    const QModelIndex index = list_->indexAt(at);
    if (!index.isValid()) return;
    list_->setCurrentIndex(index);
    OnRowClicked(index.row(), false);
    seams_.popupMenu(*menu_, list_->viewport()->mapToGlobal(at));
}

void MainDialog::OnShowDetails() {
    if (track_.selected) details_->ShowPoint(track_.selected, true);
}

void MainDialog::OnExclude() {
    if (!track_.selected) return;
    ExclusionRule rule{};
    rule.dataType = kDataRecord;
    rule.comparator = kCompareEqual;
    rule.reference = track_.selected->record;
    panel_->AddRule(rule);
}

void MainDialog::OnGoogleEarth() {
    if (!track_.selected) return;
    if (ShowPointInGoogleEarth(track_.fileTitle, track_.selected) != 0)
        Message(kStrCannotWrite, QMessageBox::Critical);
}

void MainDialog::OnGoogleMaps() {
    if (track_.selected) OpenUrl(QUrl(ToQString(GoogleMapsAddress(*track_.selected))));
}

void MainDialog::OnVirtualEarth() {
    if (track_.selected) OpenUrl(QUrl(ToQString(VirtualEarthAddress(*track_.selected))));
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile()) event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile() || busy_) return;
    event->acceptProposedAction();
    OpenPath(urls.first().toLocalFile());
}

}  // namespace ferolin
