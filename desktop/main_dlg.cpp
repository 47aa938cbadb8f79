#include "desktop/main_dlg.h"



#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTableView>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "formats/format_table.h"
#include "core/paths.h"
#include "devices/port_list.h"
#include "core/strings.h"
#include "core/text_format.h"
#include "desktop/map_viewers.h"
#include "desktop/options_property.h"
#include "desktop/point_details_dlg.h"
#include "desktop/screen_place.h"
#include "desktop/settings_store.h"
#include "desktop/track_model.h"
#include "desktop/track_view.h"
#include "desktop/track_view_link.h"
#include "desktop/window_text.h"

namespace ferolin {

namespace {

// Dialog units: a quarter of the average character width across, an eighth
// of the character height down.
struct DialogUnits {
    explicit DialogUnits(const QWidget* w) {
        const QFontMetrics fm = w->fontMetrics();
        x = std::max(1, fm.averageCharWidth());
        y = std::max(1, fm.height());
    }
    int X(int units) const { return (units * x + 2) / 4; }
    int Y(int units) const { return (units * y + 4) / 8; }
    int x, y;
};

// The program's icon: a track over a blue map tile.
QIcon ApplicationIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x2e, 0x6d, 0xb4));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(1, 1, 30, 30, 6, 6);
    QPainterPath track;
    track.moveTo(6, 25);
    track.cubicTo(12, 8, 18, 30, 26, 7);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(track);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0x3a, 0x2f));
    p.drawEllipse(QPointF(26, 7), 3.5, 3.5);
    return QIcon(pixmap);
}

// The icon of the donation link.
QIcon DonationIcon() {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath heart;
    heart.moveTo(12, 21);
    heart.cubicTo(2, 14, 1, 6, 7, 4);
    heart.cubicTo(10, 3, 12, 6, 12, 7);
    heart.cubicTo(12, 6, 14, 3, 17, 4);
    heart.cubicTo(23, 6, 22, 14, 12, 21);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd9, 0x30, 0x4f));
    p.drawPath(heart);
    return QIcon(pixmap);
}

QLineEdit* DigitEdit(QWidget* parent, int maxLength, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maxLength);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

QPushButton* Button(QWidget* parent, const QString& text, const char* name) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

const char* const kBoundNames[2][5] = {
    {"startDayEdit", "startMonthEdit", "startYearEdit", "startHourEdit", "startMinuteEdit"},
    {"stopDayEdit", "stopMonthEdit", "stopYearEdit", "stopHourEdit", "stopMinuteEdit"},
};
constexpr int kBoundLengths[5] = {2, 2, 4, 2, 2};

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("About Ferolin"));
    auto* grid = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    auto* version = new QLabel(QStringLiteral("Ferolin v") + LoadQString(kStrVersion), this);
    version->setObjectName(QStringLiteral("versionLabel"));
    grid->addWidget(version, 0, 1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    grid->addWidget(ok, 0, 2);
    auto* link = new QPushButton(LoadQString(kStrMakerAddress), this);
    link->setObjectName(QStringLiteral("webLinkButton"));
    link->setAutoDefault(false);
    grid->addWidget(link, 2, 0, 1, 2);
    auto* donate = new QToolButton(this);
    donate->setObjectName(QStringLiteral("donateIcon"));
    donate->setIcon(DonationIcon());
    donate->setAutoRaise(true);
    grid->addWidget(donate, 2, 2);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(link, &QPushButton::clicked, this, [] { OpenWebPage(kStrMakerPage); });
    connect(donate, &QToolButton::clicked, this, [] { OpenWebPage(kStrDonationPage); });
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

CMainDlg::CMainDlg(QWidget* parent) : QDialog(parent) {
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
    details_ = new CPointDetailsDlg(this);
    trackView_ = AttachTrackView(*this);

    exportButton_->setEnabled(false);
    fileLabel_->clear();
    FillBound(kStart, nullptr, false);
    FillBound(kStop, nullptr, false);
    for (const DataTypeRow& row : kDataTypeTable)
        dataTypeList_->addItem(LoadQString(row.labelId), QVariant::fromValue<uint>(row.bit));
    for (const ComparatorRow& row : kComparatorTable)
        comparatorList_->addItem(LoadQString(row.labelId), QVariant::fromValue<uint>(row.code));
    dataTypeList_->setCurrentIndex(0);
    comparatorList_->setCurrentIndex(0);
    values_.reference = QString::fromStdString(FixedText(0, 6));

    // The output formats: every row with a writer and a save-dialog filter.
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

    RestoreSettings();
    CopyValuesToControls();
    lastFolder_ = QDir::currentPath();
}

CMainDlg::~CMainDlg() { Shutdown(); }

void CMainDlg::InstallDefaultSeams() {
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
    seams_.message = [](QWidget* parent, const QString& text, QMessageBox::Icon icon) {
        QMessageBox box(icon, QStringLiteral("Ferolin"), text, QMessageBox::Ok, parent);
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

void CMainDlg::BuildControls() {
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
    for (int c = 0; c < TrackListModel::kColumnCount; ++c)
        list_->setColumnWidth(c, du.X(kColumnWidths[c]));
    list_->setMinimumSize(du.X(222), du.Y(128));
    middle->addWidget(list_, 1);

    auto* buttons = new QVBoxLayout;
    openButton_ = Button(this, LoadQString(kStrOpen), "openButton");
    openButton_->setDefault(true);
    optionsButton_ = Button(this, LoadQString(kStrOptions), "optionsButton");
    downloadButton_ = Button(this, LoadQString(kStrDownload), "downloadButton");
    auto* formatLabel = new QLabel(QStringLiteral("Output format :"), this);
    formatList_ = new QComboBox(this);
    formatList_->setObjectName(QStringLiteral("outputFormatList"));
    formatList_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    exportButton_ = Button(this, LoadQString(kStrExport), "exportButton");
    exitButton_ = Button(this, LoadQString(kStrExit), "exitButton");
    aboutButton_ = Button(this, LoadQString(kStrAboutMenu), "aboutButton");
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

    auto* group = new QGroupBox(QStringLiteral("Options"), this);
    group->setObjectName(QStringLiteral("optionsGroup"));
    auto* groupLayout = new QHBoxLayout(group);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    static const char* const kFieldLabels[5] = {"Day", "Month", "Year", "Hour", "Minute"};
    // Columns: check box, day, "/", month, "/", year, hour, ":", minute.
    static constexpr int kFieldColumns[5] = {1, 3, 5, 6, 8};
    for (int f = 0; f < 5; ++f)
        grid->addWidget(new QLabel(QString::fromLatin1(kFieldLabels[f]), group), 0,
                        kFieldColumns[f]);
    for (int b = 0; b < 2; ++b) {
        boundCheck_[b] = new QCheckBox(b == kStart ? QStringLiteral("Start time")
                                                   : QStringLiteral("Stop time"),
                                       group);
        boundCheck_[b]->setObjectName(b == kStart ? QStringLiteral("startTimeCheck")
                                                  : QStringLiteral("stopTimeCheck"));
        grid->addWidget(boundCheck_[b], b + 1, 0);
        for (int f = 0; f < 5; ++f) {
            boundEdits_[b][f] = DigitEdit(group, kBoundLengths[f], kBoundNames[b][f]);
            boundEdits_[b][f]->setFixedWidth(du.X(kBoundLengths[f] == 4 ? 28 : 18));
            grid->addWidget(boundEdits_[b][f], b + 1, kFieldColumns[f]);
        }
        grid->addWidget(new QLabel(QStringLiteral("/"), group), b + 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("/"), group), b + 1, 4);
        grid->addWidget(new QLabel(QStringLiteral(":"), group), b + 1, 7);
        connect(boundCheck_[b], &QCheckBox::toggled, this,
                [this, b] { FollowCheck(static_cast<Bound>(b)); });
    }
    geoidCheck_ = new QCheckBox(QStringLiteral("Geoid height"), group);
    geoidCheck_->setObjectName(QStringLiteral("geoidCheck"));
    geoidEdit_ = new QLineEdit(group);
    geoidEdit_->setObjectName(QStringLiteral("geoidEdit"));
    geoidEdit_->setMaxLength(10);
    smoothCheck_ = new QCheckBox(QStringLiteral("Smooth altitude"), group);
    smoothCheck_->setObjectName(QStringLiteral("smoothCheck"));
    smoothEdit_ = DigitEdit(group, 3, "smoothEdit");
    grid->addWidget(geoidCheck_, 3, 0);
    grid->addWidget(geoidEdit_, 3, 1, 1, 5);
    grid->addWidget(new QLabel(QStringLiteral("Meters"), group), 3, 6, 1, 3);
    grid->addWidget(smoothCheck_, 4, 0);
    grid->addWidget(smoothEdit_, 4, 1, 1, 5);
    grid->addWidget(new QLabel(QStringLiteral("Points"), group), 4, 6, 1, 3);
    geoidEdit_->setEnabled(false);
    smoothEdit_->setEnabled(false);
    connect(geoidCheck_, &QCheckBox::toggled, geoidEdit_, &QWidget::setEnabled);
    connect(smoothCheck_, &QCheckBox::toggled, smoothEdit_, &QWidget::setEnabled);

    dataTypeList_ = new QComboBox(group);
    dataTypeList_->setObjectName(QStringLiteral("dataTypeList"));
    comparatorList_ = new QComboBox(group);
    comparatorList_->setObjectName(QStringLiteral("comparatorList"));
    referenceEdit_ = new QLineEdit(group);
    referenceEdit_->setObjectName(QStringLiteral("referenceEdit"));
    referenceEdit_->setMaxLength(20);
    grid->addWidget(new QLabel(QStringLiteral("Data type"), group), 5, 0);
    grid->addWidget(dataTypeList_, 5, 1, 1, 8);
    grid->addWidget(new QLabel(QStringLiteral("Comparator"), group), 6, 0);
    grid->addWidget(comparatorList_, 6, 1, 1, 8);
    grid->addWidget(new QLabel(QStringLiteral("Reference"), group), 7, 0);
    grid->addWidget(referenceEdit_, 7, 1, 1, 8);
    groupLayout->addLayout(grid);

    auto* rules = new QVBoxLayout;
    rules->addWidget(new QLabel(QStringLiteral("Exclude point if :"), group));
    ruleList_ = new QListWidget(group);
    ruleList_->setObjectName(QStringLiteral("ruleList"));
    ruleList_->setMinimumWidth(du.X(130));
    rules->addWidget(ruleList_, 1);
    auto* ruleButtons = new QHBoxLayout;
    addButton_ = Button(group, QStringLiteral("Add"), "addButton");
    removeButton_ = Button(group, QStringLiteral("Remove"), "removeButton");
    clearButton_ = Button(group, QStringLiteral("Clear"), "clearButton");
    ruleButtons->addWidget(addButton_);
    ruleButtons->addWidget(removeButton_);
    ruleButtons->addWidget(clearButton_);
    rules->addLayout(ruleButtons);
    groupLayout->addLayout(rules, 1);
    top->addWidget(group);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(openButton_, &QPushButton::clicked, this, &CMainDlg::OnOpen);
    connect(optionsButton_, &QPushButton::clicked, this, &CMainDlg::OnOptions);
    connect(downloadButton_, &QPushButton::clicked, this, &CMainDlg::OnDownload);
    connect(exportButton_, &QPushButton::clicked, this, &CMainDlg::OnExport);
    connect(exitButton_, &QPushButton::clicked, this, &CMainDlg::OnExit);
    connect(aboutButton_, &QPushButton::clicked, this, &CMainDlg::OnAbout);
    connect(addButton_, &QPushButton::clicked, this, &CMainDlg::OnAddRule);
    connect(removeButton_, &QPushButton::clicked, this, &CMainDlg::OnRemoveRule);
    connect(clearButton_, &QPushButton::clicked, this, &CMainDlg::OnClearRules);
    connect(donateIcon_, &QToolButton::clicked, this, [] { OpenWebPage(kStrDonationPage); });
    connect(list_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { OnRowClicked(index.row(), false); });
    connect(list_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { OnRowClicked(index.row(), true); });
    connect(list_, &QWidget::customContextMenuRequested, this, &CMainDlg::OnContextMenu);
    // Moving through the list with the keyboard selects like a click.
    connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && !busy_) OnRowClicked(current.row(), false);
            });
}

void CMainDlg::BuildContextMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("pointMenu"));
    auto add = [this](int textId, const char* name, auto slot) {
        QAction* action = menu_->addAction(LoadQString(textId));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
    };
    add(kStrShowDetails, "showDetailsAction", [this] { OnShowDetails(); });
    menu_->addSeparator();
    add(kStrSetStartTime, "setStartTimeAction", [this] { OnSetBound(kStart); });
    add(kStrSetStopTime, "setStopTimeAction", [this] { OnSetBound(kStop); });
    menu_->addSeparator();
    add(kStrExclude, "excludeAction", [this] { OnExclude(); });
    menu_->addSeparator();
    add(kStrViewGoogleEarth, "googleEarthAction", [this] { OnGoogleEarth(); });
    add(kStrViewGoogleMaps, "googleMapsAction", [this] { OnGoogleMaps(); });
    add(kStrViewVirtualEarth, "virtualEarthAction", [this] { OnVirtualEarth(); });
}

void CMainDlg::RestoreSettings() {
    SettingsKey key = OpenSettingsKey();
    for (const ExclusionRule& rule : LoadStoredRules(key)) AddRuleToList(rule);
    values_.geoid = QString::fromStdString(FixedText(ReadStoredGeoidHeight(key), 2));
    uint32_t smooth = kDefaultSmoothPoint;
    ReadSettingDword(kSettingSmoothPoint, smooth, kDefaultSmoothPoint, key);
    values_.smooth = QString::fromStdString(IntText(static_cast<int32_t>(smooth)));
    uint32_t bits = 0;
    ReadSettingDword(kSettingOptions, bits, 0, key);
    geoidCheck_->setChecked(bits & kOptionGeoidChecked);
    smoothCheck_->setChecked(bits & kOptionSmoothChecked);
    detailsWereOpen_ = bits & kOptionDetailsOpen;

    // Default: centred on the primary screen.
    adjustSize();
    QPoint at = pos();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        at = screen->availableGeometry().center() - QPoint(width() / 2, height() / 2);
    uint32_t x = static_cast<uint32_t>(at.x()), y = static_cast<uint32_t>(at.y());
    ReadSettingDword(kSettingMainDlgX, x, x, key);
    ReadSettingDword(kSettingMainDlgY, y, y, key);
    CloseSettingsKey(key);
    move(KeepOnScreen(QPoint(static_cast<int32_t>(x), static_cast<int32_t>(y)), frameSize()));
}

bool CMainDlg::Start(const std::vector<std::string>& arguments) {
    details_->ShowPoint(nullptr, detailsWereOpen_);
    if (trackView_->WasShownAtExit()) trackView_->ShowView();
    return RunCommandLine(arguments, track_, *this);
}

void CMainDlg::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    model_->SetTrack(nullptr, 0);
    track_.Reset();
    SettingsKey key = OpenSettingsKey();
    int saved = 0;
    for (const ExclusionRule& rule : rules_)
        if (rule.dataType != kDataRecord) SaveRule(saved++, rule, key);
    WriteSettingDword(kSettingRules, static_cast<uint32_t>(saved), key);
    WriteSettingFloat(kSettingGeoidHeight, ToFloat(ParseReal(values_.geoid.toStdString())), key);
    uint32_t bits = 0;
    if (smoothCheck_->isChecked()) bits |= kOptionSmoothChecked;
    if (geoidCheck_->isChecked()) bits |= kOptionGeoidChecked;
    if (details_->IsShown()) bits |= kOptionDetailsOpen;
    WriteSettingDword(kSettingOptions, bits, key);
    WriteSettingDword(kSettingSmoothPoint,
                      static_cast<uint32_t>(ParseInt(values_.smooth.toStdString())), key);
    const QPoint at = pos();
    WriteSettingDword(kSettingMainDlgX, static_cast<uint32_t>(at.x()), key);
    WriteSettingDword(kSettingMainDlgY, static_cast<uint32_t>(at.y()), key);
    details_->SavePosition(key);
    CloseSettingsKey(key);
    rules_.clear();
    ruleList_->clear();
    DeleteTempKmlFiles();
}

void CMainDlg::CopyControlsToValues() {
    for (int b = 0; b < 2; ++b)
        for (int f = 0; f < 5; ++f)
            (b == kStart ? values_.start : values_.stop)[f] = boundEdits_[b][f]->text();
    values_.geoid = geoidEdit_->text();
    values_.smooth = smoothEdit_->text();
    values_.reference = referenceEdit_->text();
}

void CMainDlg::CopyValuesToControls() {
    for (int b = 0; b < 2; ++b)
        for (int f = 0; f < 5; ++f)
            boundEdits_[b][f]->setText((b == kStart ? values_.start : values_.stop)[f]);
    geoidEdit_->setText(values_.geoid);
    smoothEdit_->setText(values_.smooth);
    referenceEdit_->setText(values_.reference);
}

void CMainDlg::FillBound(Bound bound, const TrackPoint* p, bool check) {
    QString* values = bound == kStart ? values_.start : values_.stop;
    QCheckBox* box = boundCheck_[bound];
    if (p && p->day != 0 && p->month != 0 && p->year != 0) {
        const std::string texts[5] = {IntText(p->day), IntText(p->month), IntText(p->year),
                                      IntText(p->hour), IntText(p->minute, 2)};
        for (int f = 0; f < 5; ++f) {
            values[f] = QString::fromStdString(texts[f]);
            boundEdits_[bound][f]->setText(values[f]);
        }
        box->setEnabled(true);
        box->setChecked(check);
    } else {
        for (int f = 0; f < 5; ++f) {
            values[f].clear();
            boundEdits_[bound][f]->clear();
        }
        box->setChecked(false);
        box->setEnabled(false);
    }
    FollowCheck(bound);
}

void CMainDlg::FollowCheck(Bound bound) {
    const bool on = boundCheck_[bound]->isChecked();
    for (QLineEdit* edit : boundEdits_[bound]) edit->setEnabled(on);
}

bool CMainDlg::AddRuleToList(const ExclusionRule& rule) {
    std::string text;
    if (!DescribeRule(rule, text)) return false;
    rules_.push_back(rule);
    ruleList_->addItem(ToQString(text));
    return true;
}

void CMainDlg::ResetTrack() {
    model_->SetTrack(nullptr, 0);
    details_->SetTrack(nullptr, 0, nullptr);
    track_.Reset();
    fileLabel_->clear();
    exportButton_->setEnabled(false);
}

void CMainDlg::RememberFolder(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!folder.isEmpty()) lastFolder_ = folder;
}

void CMainDlg::Message(int stringId, QMessageBox::Icon icon) {
    // A message during a load or an export is answered with the window usable
    // and the normal cursor.
    const bool working = busy_ > 0;
    if (working) {
        QApplication::restoreOverrideCursor();
        setEnabled(true);
    }
    seams_.message(this, LoadQString(stringId), icon);
    if (working) {
        setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

void CMainDlg::ShowMessage(const std::string& /*path*/, int stringId, MessageIcon icon) {
    Message(stringId, icon == MessageIcon::kStop ? QMessageBox::Critical : QMessageBox::Warning);
}

void CMainDlg::BeginWork() {
    if (busy_++ == 0) {
        setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

void CMainDlg::EndWork() {
    if (busy_ > 0 && --busy_ == 0) {
        QApplication::restoreOverrideCursor();
        setEnabled(true);
    }
}

void CMainDlg::TrackLoaded(const CurrentTrack& track) {
    model_->SetTrack(track.points.get(), track.count, &track.sensors);
    details_->SetTrack(track.points.get(), track.count, &track.sensors);
    exportButton_->setEnabled(true);
    fileLabel_->setText(ToQString(track.displayName));
    // Only the time bounds are rewritten: what the user typed in the other
    // edits stays.
    FillBound(kStart, &track.points[0], false);
    FillBound(kStop, &track.points[track.count - 1], false);
    details_->ShowPoint(&track.points[0], false);
}

void CMainDlg::ShowNoPoint() { details_->ShowPoint(nullptr, true); }

void CMainDlg::BuildCriteria(uint32_t fieldMask, SelectionCriteria& criteria) {
    CopyControlsToValues();
    criteria = SelectionCriteria{};
    for (int b = 0; b < 2; ++b) {
        if (!boundCheck_[b]->isChecked()) continue;
        const QString* v = b == kStart ? values_.start : values_.stop;
        TimeBound bound{};
        // Integers are cut to the widths of the bound's fields.
        bound.day = static_cast<int8_t>(ParseInt(v[0].toStdString()));
        bound.month = static_cast<int8_t>(ParseInt(v[1].toStdString()));
        bound.year = static_cast<int16_t>(ParseInt(v[2].toStdString()));
        bound.hour = static_cast<int8_t>(ParseInt(v[3].toStdString()));
        bound.minute = static_cast<int8_t>(ParseInt(v[4].toStdString()));
        bound.second = 0;
        criteria.flags |= b == kStart ? kSelectStart : kSelectStop;
        (b == kStart ? criteria.start : criteria.stop) = bound;
    }
    std::vector<const ExclusionRule*> rules;
    rules.reserve(rules_.size());
    for (const ExclusionRule& rule : rules_) rules.push_back(&rule);
    SetCriteriaRules(criteria, rules, fieldMask);
    if (geoidCheck_->isChecked()) {
        criteria.flags |= kSelectGeoid;
        criteria.geoidHeight = ToFloat(ParseReal(values_.geoid.toStdString()));
        values_.geoid = QString::fromStdString(FixedText(criteria.geoidHeight, 2));
        geoidEdit_->setText(values_.geoid);
    }
    if (smoothCheck_->isChecked()) {
        criteria.flags |= kSelectSmooth;
        criteria.smoothingWidth = static_cast<uint32_t>(ParseInt(values_.smooth.toStdString()));
    }
}

uint32_t CMainDlg::WriterOptions(const FormatEntry& row) { return ReadWriterOptions(row.extension); }

void CMainDlg::OpenPath(const QString& path) {
    RememberFolder(path);
    ResetTrack();
    LoadTrack(track_, path.toStdString(), *this);
}

int CMainDlg::ExportPath(const QString& path, int row) {
    RememberFolder(path);
    return ExportToFile(track_, path.toStdString(), row, *this);
}

void CMainDlg::OnOpen() {
    const QString filter = QtFileFilter(std::string(LoadString(kStrFilterOpen)) +
                                        LoadString(kStrFilterAllFiles));
    const QString path = seams_.openFileName(this, lastFolder_, filter);
    if (!path.isEmpty()) OpenPath(path);
}

void CMainDlg::OnExport() {
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

void CMainDlg::OnOptions() {
    COptionsProperty sheet(this);
    seams_.runModal(sheet);
}

void CMainDlg::OnDownload() {
    QStringList ports;
    for (const std::string& name : ListSerialPorts()) ports << QString::fromStdString(name);
    const QString port = seams_.choosePort(this, ports);
    if (port.isEmpty()) return;
    ResetTrack();
    LoadTrack(track_, port.toStdString() + ".rbt", *this);
}

void CMainDlg::OnExit() {
    CopyControlsToValues();
    accept();
}

void CMainDlg::OnAbout() {
    CAboutDlg about(this);
    seams_.runModal(about);
}

void CMainDlg::OnAddRule() {
    CopyControlsToValues();
    const double reference = ParseReal(values_.reference.toStdString());
    values_.reference = QString::fromStdString(FixedText(reference, 6));
    referenceEdit_->setText(values_.reference);
    ExclusionRule rule{};
    rule.dataType = dataTypeList_->currentData().toUInt();
    rule.comparator = comparatorList_->currentData().toUInt();
    rule.reference = reference;
    AddRuleToList(rule);
}

void CMainDlg::OnRemoveRule() {
    const QList<QListWidgetItem*> selected = ruleList_->selectedItems();
    if (selected.isEmpty()) return;
    const int row = ruleList_->row(selected.first());
    if (row < 0 || static_cast<std::size_t>(row) >= rules_.size()) return;
    rules_.erase(rules_.begin() + row);
    delete ruleList_->takeItem(row);
}

void CMainDlg::OnClearRules() {
    rules_.clear();
    ruleList_->clear();
}

void CMainDlg::OnRowClicked(int row, bool show) {
    const TrackPoint* p = model_->PointAt(row);
    if (!p) return;
    track_.selected = p;
    details_->ShowPoint(p, show);
}

void CMainDlg::OnContextMenu(const QPoint& at) {
    const QModelIndex index = list_->indexAt(at);
    if (!index.isValid()) return;
    list_->setCurrentIndex(index);
    OnRowClicked(index.row(), false);
    seams_.popupMenu(*menu_, list_->viewport()->mapToGlobal(at));
}

void CMainDlg::OnShowDetails() {
    if (track_.selected) details_->ShowPoint(track_.selected, true);
}

void CMainDlg::OnSetBound(Bound bound) {
    if (track_.selected) FillBound(bound, track_.selected, true);
}

void CMainDlg::OnExclude() {
    if (!track_.selected) return;
    ExclusionRule rule{};
    rule.dataType = kDataRecord;
    rule.comparator = kCompareEqual;
    rule.reference = track_.selected->record;
    AddRuleToList(rule);
}

void CMainDlg::OnGoogleEarth() {
    if (!track_.selected) return;
    if (ShowPointInGoogleEarth(track_.fileTitle, track_.selected) != 0)
        Message(kStrCannotWrite, QMessageBox::Critical);
}

void CMainDlg::OnGoogleMaps() {
    if (track_.selected) OpenUrl(QUrl(ToQString(GoogleMapsAddress(*track_.selected))));
}

void CMainDlg::OnVirtualEarth() {
    if (track_.selected) OpenUrl(QUrl(ToQString(VirtualEarthAddress(*track_.selected))));
}

void CMainDlg::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.first().isLocalFile()) event->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile() || busy_) return;
    event->acceptProposedAction();
    OpenPath(urls.first().toLocalFile());
}

}  // namespace ferolin
