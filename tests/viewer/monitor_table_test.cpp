#include "viewer/monitor_table.h"

#include <gtest/gtest.h>

namespace kvt::viewer {
namespace {

MonitorTable TwoMonitors() {
  MonitorTable table;
  table.Append({0, 0, 1920, 1080});
  table.Append({1920, 0, 3200, 1024});
  return table;
}

TEST(MonitorTable, MonitorSettingPicksItsEntryAndFallsBackToTheFirst) {
  const MonitorTable table = TwoMonitors();
  struct Case {
    const char* reason;
    int monitor;
    ScreenRect expected;
  } cases[] = {
      {"MONITOR=1", 1, {0, 0, 1920, 1080}},
      {"MONITOR=2 is the second in enumeration order", 2, {1920, 0, 3200, 1024}},
      {"a monitor that is not there", 3, {0, 0, 1920, 1080}},
      {"zero", 0, {0, 0, 1920, 1080}},
      {"negative", -1, {0, 0, 1920, 1080}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(table.RectFor(c.monitor), c.expected);
  }
}

TEST(MonitorTable, HoldsAtMostEightMonitors) {
  MonitorTable table;
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(table.Append({i * 100, 0, i * 100 + 100, 100}));
  EXPECT_FALSE(table.Append({900, 0, 1000, 100}));
  EXPECT_EQ(table.Count(), 8);
  EXPECT_EQ(table.RectFor(8), (ScreenRect{700, 0, 800, 100}));
  EXPECT_EQ(table.RectFor(9), (ScreenRect{0, 0, 100, 100}));
}

TEST(MonitorTable, StoreRecordsTheWindowInTheChosenEntry) {
  MonitorTable table = TwoMonitors();
  table.Store(2, {2000, 10, 2600, 500});
  EXPECT_EQ(table.RectFor(2), (ScreenRect{2000, 10, 2600, 500}));
  EXPECT_EQ(table.RectFor(1), (ScreenRect{0, 0, 1920, 1080}));
  table.Store(5, {5, 5, 50, 50});  // absent monitor: the first entry, as RectFor reads it
  EXPECT_EQ(table.RectFor(5), (ScreenRect{5, 5, 50, 50}));
}

TEST(MonitorTable, EmptyTable) {
  MonitorTable table;
  EXPECT_TRUE(table.RectFor(1).Empty());
  table.Store(1, {0, 0, 10, 10});
  EXPECT_EQ(table.Count(), 1);
  EXPECT_EQ(table.RectFor(1), (ScreenRect{0, 0, 10, 10}));
}

}  // namespace
}  // namespace kvt::viewer
