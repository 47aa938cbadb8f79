#include "desktop/selection_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <string>

#include "core/text_format.h"
#include "desktop/dialog_units.h"
#include "desktop/window_text.h"

namespace ferolin {

namespace {

QLineEdit* DigitEdit(QWidget* parent, int maxLength, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(maxLength);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

const char* const kBoundNames[2][SelectionPanel::kBoundFields] = {
    {"startDayEdit", "startMonthEdit", "startYearEdit", "startHourEdit", "startMinuteEdit",
     "startSecondEdit"},
    {"stopDayEdit", "stopMonthEdit", "stopYearEdit", "stopHourEdit", "stopMinuteEdit",
     "stopSecondEdit"},
};
constexpr int kBoundLengths[SelectionPanel::kBoundFields] = {2, 2, 4, 2, 2, 2};

int EditInt(const QLineEdit* edit) { return ParseInt(edit->text().toStdString()); }

// The whole seconds of a point as the selection compares them (the fractions
// cut off, as TrackPointTime does), kept to what the two-digit edit shows.
int WholeSeconds(float seconds) {
    return seconds >= 0.0f && seconds < 100.0f ? static_cast<int>(seconds) : 0;
}

}  // namespace

SelectionPanel::SelectionPanel(QWidget* parent) : QGroupBox(QStringLiteral("Options"), parent) {
    setObjectName(QStringLiteral("optionsGroup"));
    BuildControls();
    FillBound(kStart, nullptr, false);
    FillBound(kStop, nullptr, false);
    for (const DataTypeRow& row : kDataTypeTable)
        dataTypeList_->addItem(LoadQString(row.labelId), QVariant::fromValue<uint>(row.bit));
    for (const ComparatorRow& row : kComparatorTable)
        comparatorList_->addItem(LoadQString(row.labelId), QVariant::fromValue<uint>(row.code));
    dataTypeList_->setCurrentIndex(0);
    comparatorList_->setCurrentIndex(0);
    referenceEdit_->setText(QString::fromStdString(FixedText(0, 6)));

    // Whatever changes the selection the controls describe.
    for (QCheckBox* box : {boundCheck_[kStart], boundCheck_[kStop], geoidCheck_, smoothCheck_})
        connect(box, &QCheckBox::toggled, this, &SelectionPanel::changed);
    for (const auto& edits : boundEdits_)
        for (QLineEdit* edit : edits) connect(edit, &QLineEdit::textChanged, this, &SelectionPanel::changed);
    for (QLineEdit* edit : {geoidEdit_, smoothEdit_})
        connect(edit, &QLineEdit::textChanged, this, &SelectionPanel::changed);
    QAbstractItemModel* ruleModel = ruleList_->model();
    connect(ruleModel, &QAbstractItemModel::rowsInserted, this, &SelectionPanel::changed);
    connect(ruleModel, &QAbstractItemModel::rowsRemoved, this, &SelectionPanel::changed);
    connect(ruleModel, &QAbstractItemModel::modelReset, this, &SelectionPanel::changed);
}

// The rule list is deleted with the other children after this part of the
// panel is gone, and its model announces the reset on the way: the slot must
// not be reached by then.
SelectionPanel::~SelectionPanel() { ruleList_->model()->disconnect(this); }

void SelectionPanel::BuildControls() {
    const DialogUnits du(parentWidget() ? parentWidget() : this);
    auto* groupLayout = new QHBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    static const char* const kFieldLabels[kBoundFields] = {"Day",  "Month",  "Year",
                                                           "Hour", "Minute", "Second"};
    // Columns: check box, day, "/", month, "/", year, hour, ":", minute, ":",
    // second.
    static constexpr int kFieldColumns[kBoundFields] = {1, 3, 5, 6, 8, 10};
    for (int f = 0; f < kBoundFields; ++f)
        grid->addWidget(new QLabel(QString::fromLatin1(kFieldLabels[f]), this), 0,
                        kFieldColumns[f]);
    for (int b = 0; b < 2; ++b) {
        boundCheck_[b] = new QCheckBox(b == kStart ? QStringLiteral("Start time")
                                                   : QStringLiteral("Stop time"),
                                       this);
        boundCheck_[b]->setObjectName(b == kStart ? QStringLiteral("startTimeCheck")
                                                  : QStringLiteral("stopTimeCheck"));
        grid->addWidget(boundCheck_[b], b + 1, 0);
        for (int f = 0; f < kBoundFields; ++f) {
            boundEdits_[b][f] = DigitEdit(this, kBoundLengths[f], kBoundNames[b][f]);
            boundEdits_[b][f]->setFixedWidth(du.X(kBoundLengths[f] == 4 ? 28 : 18));
            grid->addWidget(boundEdits_[b][f], b + 1, kFieldColumns[f]);
        }
        grid->addWidget(new QLabel(QStringLiteral("/"), this), b + 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("/"), this), b + 1, 4);
        grid->addWidget(new QLabel(QStringLiteral(":"), this), b + 1, 7);
        grid->addWidget(new QLabel(QStringLiteral(":"), this), b + 1, 9);
        connect(boundCheck_[b], &QCheckBox::toggled, this,
                [this, b] { FollowCheck(static_cast<Bound>(b)); });
    }
    geoidCheck_ = new QCheckBox(QStringLiteral("Geoid height"), this);
    geoidCheck_->setObjectName(QStringLiteral("geoidCheck"));
    geoidEdit_ = new QLineEdit(this);
    geoidEdit_->setObjectName(QStringLiteral("geoidEdit"));
    geoidEdit_->setMaxLength(10);
    smoothCheck_ = new QCheckBox(QStringLiteral("Smooth altitude"), this);
    smoothCheck_->setObjectName(QStringLiteral("smoothCheck"));
    smoothEdit_ = DigitEdit(this, 3, "smoothEdit");
    grid->addWidget(geoidCheck_, 3, 0);
    grid->addWidget(geoidEdit_, 3, 1, 1, 5);
    grid->addWidget(new QLabel(QStringLiteral("Meters"), this), 3, 6, 1, 5);
    grid->addWidget(smoothCheck_, 4, 0);
    grid->addWidget(smoothEdit_, 4, 1, 1, 5);
    grid->addWidget(new QLabel(QStringLiteral("Points"), this), 4, 6, 1, 5);
    geoidEdit_->setEnabled(false);
    smoothEdit_->setEnabled(false);
    connect(geoidCheck_, &QCheckBox::toggled, geoidEdit_, &QWidget::setEnabled);
    connect(smoothCheck_, &QCheckBox::toggled, smoothEdit_, &QWidget::setEnabled);

    dataTypeList_ = new QComboBox(this);
    dataTypeList_->setObjectName(QStringLiteral("dataTypeList"));
    comparatorList_ = new QComboBox(this);
    comparatorList_->setObjectName(QStringLiteral("comparatorList"));
    referenceEdit_ = new QLineEdit(this);
    referenceEdit_->setObjectName(QStringLiteral("referenceEdit"));
    referenceEdit_->setMaxLength(20);
    grid->addWidget(new QLabel(QStringLiteral("Data type"), this), 5, 0);
    grid->addWidget(dataTypeList_, 5, 1, 1, 10);
    grid->addWidget(new QLabel(QStringLiteral("Comparator"), this), 6, 0);
    grid->addWidget(comparatorList_, 6, 1, 1, 10);
    grid->addWidget(new QLabel(QStringLiteral("Reference"), this), 7, 0);
    grid->addWidget(referenceEdit_, 7, 1, 1, 10);
    groupLayout->addLayout(grid);

    auto* rules = new QVBoxLayout;
    rules->addWidget(new QLabel(QStringLiteral("Exclude point if :"), this));
    ruleList_ = new QListWidget(this);
    ruleList_->setObjectName(QStringLiteral("ruleList"));
    ruleList_->setMinimumWidth(du.X(130));
    rules->addWidget(ruleList_, 1);
    auto* ruleButtons = new QHBoxLayout;
    addButton_ = DialogButton(this, QStringLiteral("Add"), "addButton");
    removeButton_ = DialogButton(this, QStringLiteral("Remove"), "removeButton");
    clearButton_ = DialogButton(this, QStringLiteral("Clear"), "clearButton");
    ruleButtons->addWidget(addButton_);
    ruleButtons->addWidget(removeButton_);
    ruleButtons->addWidget(clearButton_);
    rules->addLayout(ruleButtons);
    groupLayout->addLayout(rules, 1);

    connect(addButton_, &QPushButton::clicked, this, &SelectionPanel::OnAddRule);
    connect(removeButton_, &QPushButton::clicked, this, &SelectionPanel::OnRemoveRule);
    connect(clearButton_, &QPushButton::clicked, this, &SelectionPanel::ClearRules);
}

void SelectionPanel::Criteria(uint32_t fieldMask, SelectionCriteria& criteria) const {
    criteria = SelectionCriteria{};
    for (int b = 0; b < 2; ++b) {
        if (!boundCheck_[b]->isChecked()) continue;
        QLineEdit* const* edits = boundEdits_[b];
        TimeBound bound{};
        bound.day = static_cast<int8_t>(EditInt(edits[0]));
        bound.month = static_cast<int8_t>(EditInt(edits[1]));
        bound.year = static_cast<int16_t>(EditInt(edits[2]));
        bound.hour = static_cast<int8_t>(EditInt(edits[3]));
        bound.minute = static_cast<int8_t>(EditInt(edits[4]));
        // An empty seconds edit is 0, as a bound without seconds is in the
        // batch's --start and --stop.
        bound.second = static_cast<int8_t>(EditInt(edits[5]));
        criteria.flags |= b == kStart ? kSelectStart : kSelectStop;
        (b == kStart ? criteria.start : criteria.stop) = bound;
    }
    std::vector<const ExclusionRule*> rules;
    rules.reserve(rules_.size());
    for (const ExclusionRule& rule : rules_) rules.push_back(&rule);
    SetCriteriaRules(criteria, rules, fieldMask);
    if (geoidCheck_->isChecked()) {
        criteria.flags |= kSelectGeoid;
        criteria.geoidHeight = ToFloat(ParseReal(geoidEdit_->text().toStdString()));
    }
    if (smoothCheck_->isChecked()) {
        criteria.flags |= kSelectSmooth;
        criteria.smoothingWidth = static_cast<uint32_t>(EditInt(smoothEdit_));
    }
}

void SelectionPanel::BuildCriteria(uint32_t fieldMask, SelectionCriteria& criteria) {
    TakeValues();
    Criteria(fieldMask, criteria);
    if (geoidCheck_->isChecked()) {
        keptGeoid_ = QString::fromStdString(FixedText(criteria.geoidHeight, 2));
        geoidEdit_->setText(keptGeoid_);
    }
}

void SelectionPanel::TakeValues() {
    keptGeoid_ = geoidEdit_->text();
    keptSmooth_ = smoothEdit_->text();
}

void SelectionPanel::FillBound(Bound bound, const TrackPoint* p, bool check) {
    QCheckBox* box = boundCheck_[bound];
    if (p && p->day != 0 && p->month != 0 && p->year != 0) {
        const std::string texts[kBoundFields] = {
            IntText(p->day),  IntText(p->month),     IntText(p->year),
            IntText(p->hour), IntText(p->minute, 2), IntText(WholeSeconds(p->seconds), 2)};
        for (int f = 0; f < kBoundFields; ++f) boundEdits_[bound][f]->setText(QString::fromStdString(texts[f]));
        box->setEnabled(true);
        box->setChecked(check);
    } else {
        for (QLineEdit* edit : boundEdits_[bound]) edit->clear();
        box->setChecked(false);
        box->setEnabled(false);
    }
    FollowCheck(bound);
}

void SelectionPanel::FollowCheck(Bound bound) {
    const bool on = boundCheck_[bound]->isChecked();
    for (QLineEdit* edit : boundEdits_[bound]) edit->setEnabled(on);
}

bool SelectionPanel::AddRule(const ExclusionRule& rule) {
    std::string text;
    if (!DescribeRule(rule, text)) return false;
    rules_.push_back(rule);
    ruleList_->addItem(ToQString(text));
    return true;
}

void SelectionPanel::ClearRules() {
    rules_.clear();
    ruleList_->clear();
}

void SelectionPanel::OnAddRule() {
    TakeValues();
    const double reference = ParseReal(referenceEdit_->text().toStdString());
    referenceEdit_->setText(QString::fromStdString(FixedText(reference, 6)));
    ExclusionRule rule{};
    rule.dataType = dataTypeList_->currentData().toUInt();
    rule.comparator = comparatorList_->currentData().toUInt();
    rule.reference = reference;
    AddRule(rule);
}

void SelectionPanel::OnRemoveRule() {
    const QList<QListWidgetItem*> selected = ruleList_->selectedItems();
    if (selected.isEmpty()) return;
    const int row = ruleList_->row(selected.first());
    if (row < 0 || static_cast<std::size_t>(row) >= rules_.size()) return;
    rules_.erase(rules_.begin() + row);
    delete ruleList_->takeItem(row);
}

void SelectionPanel::Restore(QSettings* settings, uint32_t optionBits) {
    for (const ExclusionRule& rule : LoadStoredRules(settings)) AddRule(rule);
    keptGeoid_ = QString::fromStdString(FixedText(ReadStoredGeoidHeight(settings), 2));
    uint32_t smooth = kDefaultSmoothPoint;
    ReadSettingUint(kSettingSmoothPoint, smooth, kDefaultSmoothPoint, settings);
    keptSmooth_ = QString::fromStdString(IntText(static_cast<int32_t>(smooth)));
    geoidCheck_->setChecked(optionBits & kOptionGeoidChecked);
    smoothCheck_->setChecked(optionBits & kOptionSmoothChecked);
    geoidEdit_->setText(keptGeoid_);
    smoothEdit_->setText(keptSmooth_);
}

void SelectionPanel::Save(QSettings* settings) const {
    int saved = 0;
    for (const ExclusionRule& rule : rules_)
        if (rule.dataType != kDataRecord) SaveRule(saved++, rule, settings);
    WriteSettingUint(kSettingRules, static_cast<uint32_t>(saved), settings);
    WriteSettingFloat(kSettingGeoidHeight, ToFloat(ParseReal(keptGeoid_.toStdString())), settings);
    WriteSettingUint(kSettingSmoothPoint, static_cast<uint32_t>(ParseInt(keptSmooth_.toStdString())),
                     settings);
}

uint32_t SelectionPanel::OptionBits() const {
    return (geoidCheck_->isChecked() ? kOptionGeoidChecked : 0) |
           (smoothCheck_->isChecked() ? kOptionSmoothChecked : 0);
}

}  // namespace ferolin
