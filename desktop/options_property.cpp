#include "desktop/options_property.h"

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

COptionPage::COptionPage(const char* extension, std::span<const OptionCheck> checks,
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

void COptionPage::Load() {
    if (loaded_) return;
    loaded_ = true;
    const uint32_t word = ReadWriterOptions(extension_);
    for (std::size_t i = 0; i < checks_.size() && i < std::size(boxes_); ++i)
        boxes_[i]->setChecked((word & checks_[i].bit) != 0);
}

uint32_t COptionPage::Word() const {
    uint32_t word = 0;
    for (std::size_t i = 0; i < checks_.size() && i < std::size(boxes_); ++i)
        if (boxes_[i]->isChecked()) word |= checks_[i].bit;
    return word;
}

CGPXPage::CGPXPage(QWidget* parent) : COptionPage("gpx", kGpxChecks, parent) {}
CKMLPage::CKMLPage(QWidget* parent) : COptionPage("kml", kKmlChecks, parent) {}
CTXTPage::CTXTPage(QWidget* parent) : COptionPage("txt", kTableChecks, parent) {}
CCSVPage::CCSVPage(QWidget* parent) : COptionPage("csv", kTableChecks, parent) {}
CNMEAPage::CNMEAPage(QWidget* parent) : COptionPage("nmea", kNmeaChecks, parent) {}
CFITPage::CFITPage(QWidget* parent) : COptionPage("fit", kFitChecks, parent) {}

COptionsProperty::COptionsProperty(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("optionsSheet"));
    setWindowTitle(LoadQString(kStrOptionsCaption));
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("optionsTabs"));
    tabs_->addTab(new CGPXPage(tabs_), QStringLiteral("GPX Writer"));
    tabs_->addTab(new CKMLPage(tabs_), QStringLiteral("KML Writer"));
    tabs_->addTab(new CTXTPage(tabs_), QStringLiteral("TXT Writer"));
    tabs_->addTab(new CCSVPage(tabs_), QStringLiteral("CSV Writer"));
    tabs_->addTab(new CNMEAPage(tabs_), QStringLiteral("NMEA Writer"));
    tabs_->addTab(new CFITPage(tabs_), QStringLiteral("FIT Writer"));
    tabs_->setCurrentIndex(0);
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsProperty::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionsProperty::reject);
    // A page reads its word when it is first displayed.
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (isVisible())
            if (COptionPage* p = page(index)) p->Load();
    });
}

COptionPage* COptionsProperty::page(int index) const {
    return qobject_cast<COptionPage*>(tabs_->widget(index));
}

void COptionsProperty::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (COptionPage* p = page(tabs_->currentIndex())) p->Load();
}

void COptionsProperty::accept() {
    SettingsKey key = OpenSettingsKey();
    for (int i = 0; i < tabs_->count(); ++i)
        if (COptionPage* p = page(i); p && p->loaded())
            WriteSettingDword(WriterOptionName(p->extension()).c_str(), p->Word(), key);
    CloseSettingsKey(key);
    QDialog::accept();
}

}  // namespace ferolin
