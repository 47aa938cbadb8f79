#include "desktop/options_sheet.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/paths.h"
#include "core/strings.h"
#include "desktop/settings_store.h"
#include "desktop/window_text.h"
#include "formats/format_table.h"
#include "formats/writer_options.h"

namespace ferolin {

namespace {

// The writers with a page, in the sheet's order; each page is captioned
// with its upper-case extension and " Writer".
constexpr const char* kPageExtensions[] = {"gpx", "kml", "txt", "csv", "nmea", "fit"};

}  // namespace

OptionPage::OptionPage(const char* extension, QWidget* parent)
    : QWidget(parent), extension_(extension) {
    auto* grid = new QGridLayout(this);
    grid->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    grid->setHorizontalSpacing(24);
    const int row = FindWriterRow(extension);
    if (row < 0) return;
    for (const WriterOption& option : FormatTable()[row].options) {
        if (option.kind != kOptionCheck || option.labelId == 0) continue;
        auto* box = new QCheckBox(LoadQString(option.labelId), this);
        box->setObjectName(QString::fromLatin1(option.objectName));
        grid->addWidget(box, option.row, option.column);
        boxes_.push_back({option.bits, box});
    }
}

void OptionPage::Load() {
    if (loaded_) return;
    loaded_ = true;
    const uint32_t word = ReadWriterOptions(extension_);
    for (const Box& b : boxes_) b.box->setChecked((word & b.bit) != 0);
}

uint32_t OptionPage::Word() const {
    uint32_t word = 0;
    for (const Box& b : boxes_)
        if (b.box->isChecked()) word |= b.bit;
    return word;
}

OptionsSheet::OptionsSheet(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("optionsSheet"));
    setWindowTitle(LoadQString(kStrOptionsCaption));
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("optionsTabs"));
    for (const char* extension : kPageExtensions)
        tabs_->addTab(new OptionPage(extension, tabs_),
                      QString::fromStdString(ToUpper(extension)) + QStringLiteral(" Writer"));
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
