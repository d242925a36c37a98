#include "viewer/time_readout.h"

#include <gtest/gtest.h>

namespace kvt::viewer {
namespace {

struct ColumnCase {
  const char* reason;
  ReadoutWindow window;
  int x;
  std::optional<double> expected;
};

TEST(CursorTime, MapsColumnsOntoTheWindow) {
  const ReadoutWindow w{1000.0, 1600.0, 602};
  const ColumnCase cases[] = {
      {"column 1 is the window start", w, 1, 1000.0},
      {"the middle column", w, 301, 1300.0},
      {"column W-1 is the window end", w, 601, 1600.0},
      {"column 0 lies left of the trace", w, 0, 999.0},
      {"the last pixel column lies past the end", w, 601 + 1, 1601.0},
      {"no pass yet: start and end 0", {0.0, 0.0, 602}, 301, std::nullopt},
      {"start unknown", {0.0, 1600.0, 602}, 301, std::nullopt},
      {"end unknown", {1000.0, 0.0, 602}, 301, std::nullopt},
      {"a width of 2 leaves no span (would divide by zero)", {1000.0, 1600.0, 2}, 1, std::nullopt},
  };
  for (const ColumnCase& c : cases) {
    SCOPED_TRACE(c.reason);
    const std::optional<double> t = CursorTime(c.window, c.x);
    ASSERT_EQ(t.has_value(), c.expected.has_value());
    if (t) {
      EXPECT_DOUBLE_EQ(*t, *c.expected);
    }
  }
}

TEST(CursorTime, TextHasHundredths) {
  const ReadoutWindow w{1000.0, 1600.0, 602};
  EXPECT_EQ(CursorTimeText(w, 301), "00:21:40.00 01/01/1970");
  EXPECT_EQ(CursorTimeText(w, 2), "00:16:41.00 01/01/1970");
  EXPECT_EQ(CursorTimeText({0.0, 0.0, 602}, 301), std::nullopt);
}

TEST(StatusPaneWidths, ThreeSeventhsThreeSeventhsOneSeventh) {
  EXPECT_EQ(StatusPaneWidths(700), (std::array<int, 3>{300, 300, 100}));
  EXPECT_EQ(StatusPaneWidths(1000), (std::array<int, 3>{428, 428, 142}));  // integer division
  EXPECT_EQ(StatusPaneWidths(0), (std::array<int, 3>{0, 0, 0}));
}

}  // namespace
}  // namespace kvt::viewer
