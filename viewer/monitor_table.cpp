#include "monitor_table.h"

namespace kvt::viewer {

bool MonitorTable::Append(const ScreenRect& rect) {
  if (count_ >= kCapacity) return false;
  rects_[static_cast<std::size_t>(count_++)] = rect;
  return true;
}

int MonitorTable::IndexFor(int monitor) const {
  // A setting naming a monitor that is not there (unplugged, or a typing error) still opens
  // the window where the user can see it: on the first monitor.
  if (monitor >= 1 && monitor <= count_) return monitor - 1;
  return 0;
}

ScreenRect MonitorTable::RectFor(int monitor) const {
  if (count_ == 0) return {};
  return rects_[static_cast<std::size_t>(IndexFor(monitor))];
}

void MonitorTable::Store(int monitor, const ScreenRect& rect) {
  if (count_ == 0) count_ = 1;
  rects_[static_cast<std::size_t>(IndexFor(monitor))] = rect;
}

MonitorTable& monitorRects() {
  static MonitorTable table;
  return table;
}

}  // namespace kvt::viewer
