// Ties the track view to the main dialog: the view follows the point list
// (the track it lists and its current row) and the selection panel, and a
// click in the view selects the point's row as a click in the list does.
#pragma once

namespace ferolin {

class MainDialog;
class TrackViewWindow;

// Creates the view as a window of the dialog and wires it to the list, the
// panel, the "Track view" button and the Ctrl+T shortcut.
TrackViewWindow* AttachTrackView(MainDialog& dialog);

}  // namespace ferolin
