#include "desktop/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QProgressBar>
#include <QTimer>
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
#include <QRegion>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <thread>

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

namespace {

// The rows the list shows at the window's default size.
constexpr int kDefaultRows = 14;

// The width a header section needs for `text`, as the header measures it.
int HeaderTextWidth(const QHeaderView& header, const QString& text) {
    QStyleOptionHeader option;
    option.initFrom(&header);
    option.text = text;
    // Measured in bold, as the header measures its sections, with room for
    // a highlighted one.
    QFont font = header.font();
    font.setBold(true);
    option.fontMetrics = QFontMetrics(font);
    return header.style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), &header)
        .width();
}

}  // namespace

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
    // The details open clear of what the user looks at: the list (the part
    // of it the track view leaves in sight) and the view's outline, its map,
    // first, then the buttons, then the rest of both windows.
    details_->SetKeepClear([this] {
        auto global = [](const QWidget* w) { return QRect(w->mapToGlobal(QPoint()), w->size()); };
        const bool view = trackView_->isVisible();
        QRegion list(global(list_));
        if (view) list -= trackView_->frameGeometry();
        std::vector<KeepClear> parts;
        for (const QRect& r : list) parts.push_back({r, 8});
        parts.insert(parts.end(), {{global(buttonColumn_), 4}, {frameGeometry(), 1}});
        if (view)
            parts.insert(parts.end(), {{global(trackView_->outline()), 8},
                                       {trackView_->frameGeometry(), 1}});
        return parts;
    });

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
    fileLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
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
    // The default width has room for the sensor columns a track may bring
    // (as TrackLoaded sizes them), so that a ride's list shows whole; the
    // default height shows kDefaultRows rows.
    int sensorColumns = 0;
    for (const SensorInfo& sensor : kSensorTable)
        sensorColumns += SensorColumnWidth(QString::fromLatin1(sensor.name));
    wantedList_ = QSize(columns + sensorColumns + chrome,
                        kDefaultRows * list_->verticalHeader()->defaultSectionSize() +
                            list_->horizontalHeader()->sizeHint().height() +
                            2 * list_->frameWidth());
    middle->addWidget(list_, 1);

    // The buttons' column keeps its size: the list takes what the window
    // gains.
    buttonColumn_ = new QWidget(this);
    buttonColumn_->setObjectName(QStringLiteral("buttonColumn"));
    buttonColumn_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* buttons = new QVBoxLayout(buttonColumn_);
    buttons->setContentsMargins(0, 0, 0, 0);
    openButton_ = DialogButton(buttonColumn_, LoadQString(kStrOpen), "openButton");
    openButton_->setDefault(true);
    optionsButton_ = DialogButton(buttonColumn_, LoadQString(kStrOptions), "optionsButton");
    downloadButton_ = DialogButton(buttonColumn_, LoadQString(kStrDownload), "downloadButton");
    auto* formatLabel = new QLabel(QStringLiteral("Output format :"), buttonColumn_);
    formatList_ = new QComboBox(buttonColumn_);
    formatList_->setObjectName(QStringLiteral("outputFormatList"));
    formatList_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    exportButton_ = DialogButton(buttonColumn_, LoadQString(kStrExport), "exportButton");
    exitButton_ = DialogButton(buttonColumn_, LoadQString(kStrExit), "exitButton");
    aboutButton_ = DialogButton(buttonColumn_, LoadQString(kStrAboutMenu), "aboutButton");
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
    middle->addWidget(buttonColumn_);
    top->addLayout(middle, 1);

    panel_ = new SelectionPanel(this);
    // The track view's button goes beside About, after the panel in the
    // order of the focus.
    trackViewButton_ = DialogButton(buttonColumn_, QStringLiteral("Track view"), "trackViewButton");
    trackViewButton_->setToolTip(QStringLiteral("The track's outline and profiles (Ctrl+T)"));
    buttons->insertWidget(buttons->indexOf(aboutButton_), trackViewButton_);
    // The panel keeps its size too, at the left under the list.
    panel_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    top->addWidget(panel_, 0, Qt::AlignLeft);

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

    // Default: the default size, centred on the primary screen. A stored
    // size is fitted to the screen the stored place lies on, between the
    // window's minimum and the screen's free area.
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect primaryArea = primary ? primary->availableGeometry() : QRect(0, 0, 1280, 1024);
    const QMargins frame = FrameMargins(*this);
    const QSize initial = DefaultSize(primaryArea);
    uint32_t width = static_cast<uint32_t>(initial.width());
    uint32_t height = static_cast<uint32_t>(initial.height());
    ReadSettingUint(kSettingMainDialogWidth, width, width, settings);
    ReadSettingUint(kSettingMainDialogHeight, height, height, settings);
    QSize size(static_cast<int>(std::min<uint32_t>(width, 16384)),
               static_cast<int>(std::min<uint32_t>(height, 16384)));
    const QPoint centred = primaryArea.center() -
                           QPoint((size.width() + frame.left() + frame.right()) / 2,
                                  (size.height() + frame.top() + frame.bottom()) / 2);
    uint32_t x = static_cast<uint32_t>(centred.x()), y = static_cast<uint32_t>(centred.y());
    ReadSettingUint(kSettingMainDialogX, x, x, settings);
    ReadSettingUint(kSettingMainDialogY, y, y, settings);
    CloseSettings(settings);
    const QPoint at(static_cast<int32_t>(x), static_cast<int32_t>(y));
    const QScreen* screen = QGuiApplication::screenAt(at);
    size = FitSize(size, minimumSizeHint(), frame,
                   screen ? screen->availableGeometry() : primaryArea);
    resize(size);
    move(KeepOnScreen(at, size.grownBy(frame)));
}

QSize MainDialog::DefaultSize(const QRect& area) const {
    // The window's minimum, with the list grown to its wanted size.
    const QSize minimum = minimumSizeHint();
    const QMargins margins = layout()->contentsMargins();
    const int spacing = std::max(0, layout()->spacing());
    const QSize wanted(
        std::max(minimum.width(), margins.left() + wantedList_.width() + spacing +
                                      buttonColumn_->minimumSizeHint().width() + margins.right()),
        minimum.height() + std::max(0, wantedList_.height() - list_->minimumHeight()));
    return FitSize(wanted, minimum, FrameMargins(*this), area);
}

int MainDialog::SensorColumnWidth(const QString& header) const {
    return std::max(HeaderTextWidth(*list_->horizontalHeader(), header), DialogUnits(this).X(36));
}

bool MainDialog::Start(const std::vector<std::string>& arguments) {
    details_->ShowPoint(nullptr, detailsWereOpen_);
    if (trackView_->WasShownAtExit()) trackView_->ShowView();
    // The window shows at once, busy while the command line's file is read.
    BeginWork();
    if (!arguments.empty()) {
        show();
        QCoreApplication::processEvents();
    }
    LoadCommandLineFile(arguments, track_, *this);
    EndWork();
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
    WriteSettingUint(kSettingMainDialogWidth, static_cast<uint32_t>(width()), settings);
    WriteSettingUint(kSettingMainDialogHeight, static_cast<uint32_t>(height()), settings);
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

void MainDialog::RunRead(const std::string& path, const std::function<void()>& read) {
    if (!progress_) {
        // Under the file's name, hidden but while a large file is read.
        progress_ = new QProgressBar(this);
        progress_->setObjectName(QStringLiteral("loadProgress"));
        progress_->setRange(0, 1000);
        progress_->hide();
        if (auto* top = qobject_cast<QBoxLayout*>(layout())) top->insertWidget(1, progress_);
    }
    const QFileInfo file(QString::fromStdString(path));
    const bool large = file.isFile() && file.size() > kProgressBarBytes;
    if (large) {
        progress_->setValue(0);
        progress_->setFormat(QStringLiteral("Reading %1: %p%").arg(file.fileName()));
        progress_->show();
    }

    // The reader runs beside the event loop, which it ends when done; the
    // bar follows what it reports. Nothing else touches its outputs meanwhile.
    ReadProgress progress;
    std::exception_ptr failure;
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(50);
    connect(&tick, &QTimer::timeout, this, [this, &progress] {
        progress_->setValue(static_cast<int>(progress.Fraction() * 1000));
    });
    if (large) tick.start();
    std::thread reader([&] {
        SetCurrentReadProgress(&progress);
        try {
            read();
        } catch (...) {
            failure = std::current_exception();
        }
        SetCurrentReadProgress(nullptr);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    reader.join();
    tick.stop();
    progress_->hide();
    if (failure) std::rethrow_exception(failure);
}

void MainDialog::closeEvent(QCloseEvent* event) {
    if (busy_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void MainDialog::TrackLoaded(const CurrentTrack& track) {
    model_->SetTrack(track.points.get(), track.count, &track.sensors);
    // The sensor columns too show their whole headers.
    QHeaderView* header = list_->horizontalHeader();
    for (int c = TrackListModel::kColumnCount; c < model_->columnCount(); ++c)
        list_->setColumnWidth(c, std::max(SensorColumnWidth(model_->headerData(c, Qt::Horizontal).toString()),
                                          header->sectionSizeHint(c)));
    WidenForColumns();
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



// A window too narrow for the list's columns grows, within its screen, rather
// than have the list scroll sideways; it moves left when the growth would
// take it past the screen's right edge.
void MainDialog::WidenForColumns() {
    layout()->activate();
    const int needed = list_->horizontalHeader()->length() + 2 * list_->frameWidth() +
                       list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list_);
    if (list_->width() >= needed) return;
    const QScreen* screen = this->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QMargins frame = FrameMargins(*this);
    const QSize size = FitSize(QSize(width() + needed - list_->width(), height()), minimumSizeHint(),
                               frame, area);
    if (size.width() <= width()) return;
    const int right = area.right() + 1 - size.width() - frame.left() - frame.right();
    move(std::max(area.left(), std::min(pos().x(), right)), pos().y());
    resize(size.width(), height());
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
