#include "desktop/track_view_link.h"

#include <QAbstractItemModel>
#include <QBoxLayout>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>

#include "core/text_format.h"
#include "desktop/main_dlg.h"
#include "desktop/track_model.h"
#include "desktop/track_view.h"

namespace ferolin {

namespace {

// Object names of the dialog's selection controls.
const char* const kBoundChecks[2] = {"startTimeCheck", "stopTimeCheck"};
const char* const kBoundEdits[2][5] = {
    {"startDayEdit", "startMonthEdit", "startYearEdit", "startHourEdit", "startMinuteEdit"},
    {"stopDayEdit", "stopMonthEdit", "stopYearEdit", "stopHourEdit", "stopMinuteEdit"},
};

template <class T>
T* Child(const CMainDlg& dialog, const char* name) {
    return dialog.findChild<T*>(QString::fromLatin1(name));
}

int EditInt(const CMainDlg& dialog, const char* name) {
    const QLineEdit* edit = Child<QLineEdit>(dialog, name);
    return edit ? ParseInt(edit->text().toStdString()) : 0;
}

bool Checked(const CMainDlg& dialog, const char* name) {
    const QCheckBox* box = Child<QCheckBox>(dialog, name);
    return box && box->isChecked();
}

}  // namespace

void PreviewCriteria(const CMainDlg& dialog, SelectionCriteria& criteria) {
    // The same conversions as the export's: integers cut to the fields'
    // widths, non-numeric text counting as 0.
    criteria = SelectionCriteria{};
    for (int b = 0; b < 2; ++b) {
        if (!Checked(dialog, kBoundChecks[b])) continue;
        TimeBound bound{};
        bound.day = static_cast<int8_t>(EditInt(dialog, kBoundEdits[b][0]));
        bound.month = static_cast<int8_t>(EditInt(dialog, kBoundEdits[b][1]));
        bound.year = static_cast<int16_t>(EditInt(dialog, kBoundEdits[b][2]));
        bound.hour = static_cast<int8_t>(EditInt(dialog, kBoundEdits[b][3]));
        bound.minute = static_cast<int8_t>(EditInt(dialog, kBoundEdits[b][4]));
        criteria.flags |= b == 0 ? kSelectStart : kSelectStop;
        (b == 0 ? criteria.start : criteria.stop) = bound;
    }
    std::vector<const ExclusionRule*> rules;
    for (const ExclusionRule& rule : dialog.rules()) rules.push_back(&rule);
    SetCriteriaRules(criteria, rules, dialog.track().fieldMask);
    if (Checked(dialog, "geoidCheck")) {
        criteria.flags |= kSelectGeoid;
        const QLineEdit* edit = Child<QLineEdit>(dialog, "geoidEdit");
        criteria.geoidHeight = ToFloat(ParseReal(edit ? edit->text().toStdString() : std::string()));
    }
    if (Checked(dialog, "smoothCheck")) {
        criteria.flags |= kSelectSmooth;
        criteria.smoothingWidth = static_cast<uint32_t>(EditInt(dialog, "smoothEdit"));
    }
}

CTrackViewDlg* AttachTrackView(CMainDlg& dialog) {
    auto* view = new CTrackViewDlg(&dialog);
    view->SetCriteriaSource([&dialog](SelectionCriteria& c) { PreviewCriteria(dialog, c); });

    // The track: whatever the list shows. The list lets go of a track before
    // it is released, so the view never holds a released array.
    TrackListModel* model = dialog.model();
    QObject::connect(model, &QAbstractItemModel::modelReset, view, [view, model] {
        view->SetTrack(model->PointAt(0), static_cast<uint32_t>(model->rowCount()));
    });
    view->SetTrack(model->PointAt(0), static_cast<uint32_t>(model->rowCount()));

    // List -> view: the current row is marked.
    QTableView* list = dialog.trackList();
    QObject::connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, view,
                     [view](const QModelIndex& current) {
                         view->MarkPoint(current.isValid() ? current.row() : -1);
                     });
    // View -> list: the row becomes current as after a click, which also
    // refreshes the point details.
    QObject::connect(view, &CTrackViewDlg::pointPicked, &dialog, [list, model](int index) {
        const QModelIndex row = model->index(index, 0);
        if (!row.isValid()) return;
        list->setCurrentIndex(row);
        list->scrollTo(row, QAbstractItemView::PositionAtCenter);
    });

    // Any change of the time window, the rules, the geoid height or the
    // smoothing redraws the view.
    auto changed = [view] { view->SelectionChanged(); };
    for (const char* name : {"startTimeCheck", "stopTimeCheck", "geoidCheck", "smoothCheck"})
        if (auto* box = Child<QCheckBox>(dialog, name))
            QObject::connect(box, &QCheckBox::toggled, view, changed);
    for (const auto& edits : kBoundEdits)
        for (const char* name : edits)
            if (auto* edit = Child<QLineEdit>(dialog, name))
                QObject::connect(edit, &QLineEdit::textChanged, view, changed);
    for (const char* name : {"geoidEdit", "smoothEdit"})
        if (auto* edit = Child<QLineEdit>(dialog, name))
            QObject::connect(edit, &QLineEdit::textChanged, view, changed);
    if (auto* rules = Child<QListWidget>(dialog, "ruleList")) {
        QAbstractItemModel* ruleModel = rules->model();
        QObject::connect(ruleModel, &QAbstractItemModel::rowsInserted, view, changed);
        QObject::connect(ruleModel, &QAbstractItemModel::rowsRemoved, view, changed);
        QObject::connect(ruleModel, &QAbstractItemModel::modelReset, view, changed);
    }

    // Opening: Ctrl+T, and a button beside the About button.
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), &dialog);
    shortcut->setObjectName(QStringLiteral("trackViewShortcut"));
    QObject::connect(shortcut, &QShortcut::activated, view, &CTrackViewDlg::ShowView);
    auto* viewShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), view);
    QObject::connect(viewShortcut, &QShortcut::activated, &dialog, [&dialog] {
        dialog.raise();
        dialog.activateWindow();
    });
    if (auto* about = Child<QPushButton>(dialog, "aboutButton")) {
        for (QBoxLayout* layout : dialog.findChildren<QBoxLayout*>()) {
            const int at = layout->indexOf(about);
            if (at < 0) continue;
            auto* button = new QPushButton(QStringLiteral("Track view"), about->parentWidget());
            button->setObjectName(QStringLiteral("trackViewButton"));
            button->setToolTip(QStringLiteral("The track's outline and profiles (Ctrl+T)"));
            button->setAutoDefault(false);
            layout->insertWidget(at, button);
            QObject::connect(button, &QPushButton::clicked, view, &CTrackViewDlg::ShowView);
            break;
        }
    }
    return view;
}

}  // namespace ferolin
