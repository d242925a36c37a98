// The monitor table: the screen rectangles of the desktop's monitors in the platform's
// enumeration order, so that the `MONITOR` setting (1-based) picks where the window opens.
// From the first resize on, the chosen entry holds the main window's own rectangle.
#pragma once

#include <array>
#include <cstdint>

namespace kvt::viewer {

//! A screen rectangle in pixels; right and bottom are exclusive.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

class MonitorTable {
 public:
  static constexpr int kCapacity = 8;

  /// Empties the table.
  void Clear() { count_ = 0; }
  /// Appends a monitor's full rectangle; monitors past the eighth are not recorded.
  /// Returns false when the table was full.
  bool Append(const ScreenRect& rect);
  /// Number of recorded monitors (0..8).
  std::int16_t Count() const { return count_; }

  /// Zero-based entry that `MONITOR` = `monitor` uses: monitor - 1 when that monitor was
  /// recorded, else the first monitor (0). The first entry also serves an empty table.
  int IndexFor(int monitor) const;
  /// The rectangle of IndexFor(monitor); an empty rectangle when nothing is recorded.
  ScreenRect RectFor(int monitor) const;
  /// Records the main window's own rectangle in the entry of `monitor` (IndexFor rule).
  /// An empty table gets it as its first entry.
  void Store(int monitor, const ScreenRect& rect);

 private:
  std::array<ScreenRect, kCapacity> rects_{};
  std::int16_t count_ = 0;
};

/// The process-wide table, filled at start-up; used only on the user-interface thread.
MonitorTable& monitorRects();

}  // namespace kvt::viewer
