// Time under the mouse: maps a pixel column of the picture to an epoch time and lays out the
// status bar panes that show it. Pure arithmetic, no GUI.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace kvt::viewer {

//! The time window the last redraw pass drew, as the readout sees it.
struct ReadoutWindow {
  double start = 0.0;  //!< epoch seconds at picture column 1; 0 before the first pass
  double end = 0.0;    //!< epoch seconds at picture column width - 1; 0 before the first pass
  int width = 0;       //!< drawing width in pixels
};

/// Epoch time (seconds) under picture column `x`: column 1 is the window start, column width - 1
/// the window end, the columns between are linear. Returns nothing while no window is known
/// (start or end not positive) or when the width leaves no span to map onto (width < 3).
std::optional<double> CursorTime(const ReadoutWindow& window, int x);

/// The cursor time as shown in the status bar and the tip ("%02d:%02d:%.02f %02d/%02d/%04d"),
/// or nothing when CursorTime gives nothing.
std::optional<std::string> CursorTimeText(const ReadoutWindow& window, int x);

/// Widths in pixels of the three status bar panes for a status bar `width` pixels wide:
/// width*3/7, width*3/7 and width/7 (integer division).
std::array<int, 3> StatusPaneWidths(int width);

}  // namespace kvt::viewer
