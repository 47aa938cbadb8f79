// Ties the track view to the main dialog: the view follows the point list
// (the track it lists and its current row) and the selection controls, and
// a click in the view selects the point's row as a click in the list does.
#pragma once

#include "core/selection.h"

namespace ferolin {

class CMainDlg;
class CTrackViewDlg;

// Creates the view as a window of the dialog, wires it, and adds the "Track
// view" button beside the About button and the Ctrl+T shortcut.
CTrackViewDlg* AttachTrackView(CMainDlg& dialog);

// The export selection the dialog's controls describe at this moment, read
// without copying them into the dialog's values or rewriting any edit (the
// export itself does both). The rules are borrowed from the dialog.
void PreviewCriteria(const CMainDlg& dialog, SelectionCriteria& criteria);

}  // namespace ferolin
