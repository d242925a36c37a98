#include "time_readout.h"

#include "common/time_values.h"

namespace kvt::viewer {

std::optional<double> CursorTime(const ReadoutWindow& window, int x) {
  if (!(window.start > 0.0) || !(window.end > 0.0) || window.width < 3) return std::nullopt;
  // Traces run from column 1 to column width - 1, so those two columns carry the window ends.
  return window.start + (window.end - window.start) * static_cast<double>(x - 1) /
                            static_cast<double>(window.width - 2);
}

std::optional<std::string> CursorTimeText(const ReadoutWindow& window, int x) {
  const std::optional<double> t = CursorTime(window, x);
  if (!t) return std::nullopt;
  return FormatTimeHundredths(*t);
}

std::array<int, 3> StatusPaneWidths(int width) {
  return {width * 3 / 7, width * 3 / 7, width / 7};
}

}  // namespace kvt::viewer
