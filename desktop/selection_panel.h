// The selection controls of the main window's "Options" group: the time
// window (a check box and day, month, year, hour, minute and second edits for
// the start and for the stop), the geoid height, the altitude smoothing, and the
// exclusion rules with the data type, comparator and reference that make a
// new one. The export and the track view both take their selection from
// here; `changed` tells the view to follow.
#pragma once

#include <QGroupBox>
#include <QString>

#include <cstdint>
#include <vector>

#include "core/selection.h"
#include "core/track_point.h"
#include "desktop/settings_store.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace ferolin {

class SelectionPanel : public QGroupBox {
    Q_OBJECT
public:
    enum Bound { kStart, kStop };
    // The edits of a bound: day, month, year, hour, minute, second.
    static constexpr int kBoundFields = 6;

    explicit SelectionPanel(QWidget* parent);
    ~SelectionPanel() override;

    // The selection the controls describe at this moment: integers cut to
    // the widths of the bounds' fields, text that is no number counting as
    // 0. The criteria borrow the panel's rules until the rule list changes.
    void Criteria(uint32_t fieldMask, SelectionCriteria& criteria) const;
    // The export's selection: the edits' texts become the values kept at
    // exit, then as Criteria; the geoid edit shows the height as read, with
    // two decimals.
    void BuildCriteria(uint32_t fieldMask, SelectionCriteria& criteria);
    // Takes the texts of the geoid and smoothing edits as the values kept
    // at exit (Exit, Add and the export do; Escape does not).
    void TakeValues();

    // Writes a point's date and time, to the whole second, into a bound,
    // checked or not; without a dated point the bound is emptied and cannot
    // be checked.
    void FillBound(Bound bound, const TrackPoint* point, bool check);
    // Adds a rule to the list; false when the list cannot show it.
    bool AddRule(const ExclusionRule& rule);
    void ClearRules();
    const std::vector<ExclusionRule>& rules() const { return rules_; }

    // The stored rules, geoid height and smoothing width, and the two check
    // boxes from the bits of "Options".
    void Restore(QSettings* settings, uint32_t optionBits);
    // Stores the rules (not those made by "Exclude": they name one record
    // of one track) and the values kept at exit.
    void Save(QSettings* settings) const;
    // The check boxes as bits of "Options".
    uint32_t OptionBits() const;

signals:
    // A check box, an edit of the time window, the geoid height, the
    // smoothing width or the rule list changed.
    void changed();

private:
    void BuildControls();
    void FollowCheck(Bound bound);
    void OnAddRule();
    void OnRemoveRule();

    std::vector<ExclusionRule> rules_;  // one per item of the rule list
    QString keptGeoid_, keptSmooth_;     // the texts saved at exit

    QCheckBox* boundCheck_[2];
    QLineEdit* boundEdits_[2][kBoundFields];
    QCheckBox* geoidCheck_;
    QLineEdit* geoidEdit_;
    QCheckBox* smoothCheck_;
    QLineEdit* smoothEdit_;
    QComboBox* dataTypeList_;
    QComboBox* comparatorList_;
    QLineEdit* referenceEdit_;
    QListWidget* ruleList_;
    QPushButton* addButton_;
    QPushButton* removeButton_;
    QPushButton* clearButton_;
};

}  // namespace ferolin
