#include "desktop/track_view_link.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>

#include <utility>

#include "desktop/main_dialog.h"
#include "desktop/selection_panel.h"
#include "desktop/track_model.h"
#include "desktop/track_view.h"

namespace ferolin {

TrackViewWindow* AttachTrackView(MainDialog& dialog) {
    auto* view = new TrackViewWindow(&dialog);
    // The selection: what the panel describes at the moment, without
    // rewriting any edit (the export does that).
    view->FollowSelection(*dialog.selectionPanel(), dialog.track());

    // The track: whatever the list shows. The list lets go of a track before
    // it is released, so the view never holds a released array.
    TrackListModel* model = dialog.model();
    QObject::connect(model, &QAbstractItemModel::modelReset, view, [view, model] {
        view->SetTrack(model->PointAt(0), static_cast<uint32_t>(model->rowCount()),
                       model->Sensors());
    });
    view->SetTrack(model->PointAt(0), static_cast<uint32_t>(model->rowCount()), model->Sensors());

    // List -> view: the current row is marked.
    QTableView* list = dialog.trackList();
    QObject::connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, view,
                     [view](const QModelIndex& current) {
                         view->MarkPoint(current.isValid() ? current.row() : -1);
                     });
    // View -> list: the row becomes current as after a click, which also
    // refreshes the point details.
    QObject::connect(view, &TrackViewWindow::pointPicked, &dialog, [list, model](int index) {
        const QModelIndex row = model->index(index, 0);
        if (!row.isValid()) return;
        list->setCurrentIndex(row);
        list->scrollTo(row, QAbstractItemView::PositionAtCenter);
    });

    // View -> panel: a span dragged across a profile becomes the time
    // window, its first and last points filling the start and stop bounds
    // (to the second) with both boxes checked, as "Set start time" and "Set
    // stop time" would on those rows.
    SelectionPanel* panel = dialog.selectionPanel();
    QObject::connect(view, &TrackViewWindow::spanPicked, panel,
                     [panel, model](int firstIndex, int lastIndex) {
                         if (firstIndex > lastIndex) std::swap(firstIndex, lastIndex);
                         const TrackPoint* first = model->PointAt(firstIndex);
                         const TrackPoint* last = model->PointAt(lastIndex);
                         if (!first || !last) return;
                         panel->FillBound(SelectionPanel::kStart, first, true);
                         panel->FillBound(SelectionPanel::kStop, last, true);
                     });

    // Opening: Ctrl+T, and a button beside the About button.
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), &dialog);
    shortcut->setObjectName(QStringLiteral("trackViewShortcut"));
    QObject::connect(shortcut, &QShortcut::activated, view, &TrackViewWindow::ShowView);
    auto* viewShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), view);
    QObject::connect(viewShortcut, &QShortcut::activated, &dialog, [&dialog] {
        dialog.raise();
        dialog.activateWindow();
    });
    QObject::connect(dialog.trackViewButton(), &QPushButton::clicked, view,
                     &TrackViewWindow::ShowView);
    return view;
}

}  // namespace ferolin
