#include "viewer/refresh_titles.h"

#include <gtest/gtest.h>

namespace kvt::viewer {
namespace {

TEST(RefreshTitles, DrawingAndCountdownForms) {
  // 2024-03-05 10:20:30.75 UTC, window of 600 s: seconds are cut, not rounded.
  const double start = 1709634030.75;
  EXPECT_EQ(DrawingTitle(start, 600.0),
            "Varurod - [10:20:30 - 10:30:30 05/03/2024] - отрисовка");
  EXPECT_EQ(CountdownTitle(start, 600.0, 7),
            "Varurod - [10:20:30 - 10:30:30 05/03/2024] - 7 сек");
}

TEST(RefreshTitles, BeforeTheFirstPassShowsTheEpochOrigin) {
  EXPECT_EQ(DrawingTitle(0.0, 0.0), "Varurod - [00:00:00 - 00:00:00 01/01/1970] - отрисовка");
}

TEST(RefreshTitles, DateIsTheStartDayEvenWhenTheWindowCrossesMidnight) {
  const double start = 1709596500.0;  // 2024-03-04 23:55:00
  EXPECT_EQ(CountdownTitle(start, 600.0, 30),
            "Varurod - [23:55:00 - 00:05:00 04/03/2024] - 30 сек");
}

struct DelayCase {
  const char* reason;
  const char* text;
  bool firstRead;
  int expected;
};

TEST(DelayFromSetting, LeadingIntegerWithTheZeroRule) {
  const DelayCase cases[] = {
      {"plain value", "10", false, 10},
      {"leading integer of a longer text", "15 seconds", false, 15},
      {"zero later becomes 30", "0", false, 30},
      {"negative later becomes 30", "-5", false, 30},
      {"no digits later becomes 30", "abc", false, 30},
      {"empty later becomes 30", "", false, 30},
      {"first value is not corrected: zero", "0", true, 0},
      {"first value is not corrected: negative", "-5", true, -5},
      {"first value without digits counts as zero", "abc", true, 0},
      {"first value taken as it is", "2", true, 2},
  };
  for (const DelayCase& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(DelayFromSetting(c.text, c.firstRead), c.expected);
  }
}

}  // namespace
}  // namespace kvt::viewer
