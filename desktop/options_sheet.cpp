#include "desktop/options_sheet.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QTabWidget>
#include <QVBoxLayout>

#include "formats/format_table.h"
#include "core/selection.h"
#include "core/strings.h"
#include "desktop/settings_store.h"
#include "desktop/window_text.h"
#include "formats/fit.h"
#include "formats/gpx.h"
#include "formats/kml.h"
#include "formats/nmea_sentences.h"
#include "formats/text_table.h"

namespace ferolin {

namespace {

// The boxes of each page, in the page's order; column 0 is the left one.
constexpr OptionCheck kGpxChecks[] = {
    {kStrSatelliteNo, kGpxSatellites, 1, 0, "satCheck"},
    {kStrAltitude, kGpxAltitude, 0, 0, "altitudeCheck"},
    {kStrPdop, kGpxPdop, 1, 1, "dopCheck"},
    {kStrHdop, kGpxHdop, 1, 2, "hdopCheck"},
    {kStrVdop, kGpxVdop, 1, 3, "vdopCheck"},
    {kStrSpeed, kGpxSpeed, 0, 1, "speedCheck"},
    {kStrDirection, kGpxCourse, 0, 2, "directionCheck"},
    {kStrDateTime, kGpxTime, 0, 3, "dateTimeCheck"},
};

constexpr OptionCheck kKmlChecks[] = {
    {kStrStatistics, kKmlStatistics, 0, 0, "statCheck"},
    {kStrWaypointsList, kKmlWaypoints, 0, 1, "waypointCheck"},
    {kStrAbsoluteAltitude, kKmlAbsoluteAltitude, 1, 1, "altitudeCheck"},
    {kStrVerticalExtrusion, kKmlExtrude, 0, 2, "extrudeCheck"},
    {kStrTessellation, kKmlTessellate, 1, 2, "tessellateCheck"},
};

// The text and CSV tables share their boxes.
constexpr OptionCheck kTableChecks[] = {
    {kStrStatistics, kOptionStatistics, 0, 0, "statCheck"},
    {kStrLatitude, kDataLatitude, 0, 4, "latitudeCheck"},
    {kStrLongitude, kDataLongitude, 0, 5, "longitudeCheck"},
    {kStrSatelliteNo, kDataSatellites, 1, 1, "satCheck"},
    {kStrAltitude, kDataAltitude, 0, 6, "altitudeCheck"},
    {kStrPdop, kDataPdop, 1, 4, "dopCheck"},
    {kStrHdop, kDataHdop, 1, 5, "hdopCheck"},
    {kStrVdop, kDataVdop, 1, 6, "vdopCheck"},
    {kStrSpeed, kDataSpeed, 1, 2, "speedCheck"},
    {kStrDirection, kDataDirection, 1, 3, "directionCheck"},
    {kStrDate, kTableDate, 0, 2, "dateCheck"},
    {kStrTime, kTableTime, 0, 3, "timeCheck"},
    {kStrRecord, kDataRecord, 0, 1, "recordCheck"},
};

constexpr OptionCheck kNmeaChecks[] = {
    {kStrGsa, kNmeaGsa, 0, 0, "gsaCheck"},
    {kStrCga, kNmeaGga, 1, 0, "cgaCheck"},
    {kStrRmc, kNmeaRmc, 0, 1, "rmcCheck"},
    {kStrGll, kNmeaGll, 1, 1, "gllCheck"},
    {kStrVtg, kNmeaVtg, 0, 2, "vtgCheck"},
};

// One box: checked, an activity file; cleared, a course file.
constexpr OptionCheck kFitChecks[] = {
    {kStrFitActivity, kFitActivity, 0, 0, "activityCheck"},
};

}  // namespace

OptionPage::OptionPage(const char* extension, std::span<const OptionCheck> checks,
                       QWidget* parent)
    : QWidget(parent), extension_(extension), checks_(checks) {
    auto* grid = new QGridLayout(this);
    grid->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    grid->setHorizontalSpacing(24);
    for (std::size_t i = 0; i < checks_.size() && i < std::size(boxes_); ++i) {
        const OptionCheck& check = checks_[i];
        boxes_[i] = new QCheckBox(LoadQString(check.labelId), this);
        boxes_[i]->setObjectName(QString::fromLatin1(check.objectName));
        grid->addWidget(boxes_[i], check.row, check.column);
    }
}

void OptionPage::Load() {
    if (loaded_) return;
    loaded_ = true;
    const uint32_t word = ReadWriterOptions(extension_);
    for (std::size_t i = 0; i < checks_.size() && i < std::size(boxes_); ++i)
        boxes_[i]->setChecked((word & checks_[i].bit) != 0);
}

uint32_t OptionPage::Word() const {
    uint32_t word = 0;
    for (std::size_t i = 0; i < checks_.size() && i < std::size(boxes_); ++i)
        if (boxes_[i]->isChecked()) word |= checks_[i].bit;
    return word;
}

GpxPage::GpxPage(QWidget* parent) : OptionPage("gpx", kGpxChecks, parent) {}
KmlPage::KmlPage(QWidget* parent) : OptionPage("kml", kKmlChecks, parent) {}
TxtPage::TxtPage(QWidget* parent) : OptionPage("txt", kTableChecks, parent) {}
CsvPage::CsvPage(QWidget* parent) : OptionPage("csv", kTableChecks, parent) {}
NmeaPage::NmeaPage(QWidget* parent) : OptionPage("nmea", kNmeaChecks, parent) {}
FitPage::FitPage(QWidget* parent) : OptionPage("fit", kFitChecks, parent) {}

OptionsSheet::OptionsSheet(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("optionsSheet"));
    setWindowTitle(LoadQString(kStrOptionsCaption));
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("optionsTabs"));
    tabs_->addTab(new GpxPage(tabs_), QStringLiteral("GPX Writer"));
    tabs_->addTab(new KmlPage(tabs_), QStringLiteral("KML Writer"));
    tabs_->addTab(new TxtPage(tabs_), QStringLiteral("TXT Writer"));
    tabs_->addTab(new CsvPage(tabs_), QStringLiteral("CSV Writer"));
    tabs_->addTab(new NmeaPage(tabs_), QStringLiteral("NMEA Writer"));
    tabs_->addTab(new FitPage(tabs_), QStringLiteral("FIT Writer"));
    tabs_->setCurrentIndex(0);
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &OptionsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OptionsSheet::reject);
    // A page reads its word when it is first displayed.
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (isVisible())
            if (OptionPage* p = page(index)) p->Load();
    });
}

OptionPage* OptionsSheet::page(int index) const {
    return qobject_cast<OptionPage*>(tabs_->widget(index));
}

void OptionsSheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (OptionPage* p = page(tabs_->currentIndex())) p->Load();
}

void OptionsSheet::accept() {
    QSettings* settings = OpenSettings();
    for (int i = 0; i < tabs_->count(); ++i)
        if (OptionPage* p = page(i); p && p->loaded())
            WriteSettingUint(WriterOptionName(p->extension()).c_str(), p->Word(), settings);
    CloseSettings(settings);
    QDialog::accept();
}

}  // namespace ferolin
