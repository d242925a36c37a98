// Second and minute marks along a band, and event-mark columns.
#include "viewer/time_marks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kvt::viewer {
namespace {

// W = 1202 over 600 s: two pixels per second, which is not more than two,
// so only whole minutes get (long) marks.
TEST(TimeMarks, TwoPixelsPerSecondGivesMinuteMarksOnly) {
    const double start = 1700000010.0;  // 10 s past a whole minute
    const std::vector<TimeMark> marks = TimeMarkPositions(1, 1201, start, 600.0);
    ASSERT_EQ(marks.size(), 10u);
    for (std::size_t k = 0; k < marks.size(); ++k) {
        SCOPED_TRACE(k);
        const double s = 1700000040.0 + 60.0 * static_cast<double>(k);
        EXPECT_EQ(marks[k].x, static_cast<int>(std::floor(1 + (s - start) * 2.0 + 0.5)));
        EXPECT_EQ(marks[k].length, kMinuteMarkLength);
    }
    EXPECT_EQ(marks.front().x, 61);
}

TEST(TimeMarks, MoreThanTwoPixelsPerSecondMarksEverySecond) {
    const double start = 1699999980.5;  // half a second past a whole minute
    const std::vector<TimeMark> marks = TimeMarkPositions(1, 1201, start, 300.0);  // q = 4
    // From the second the window starts in up to the last second before its end.
    ASSERT_EQ(marks.size(), 301u);
    EXPECT_EQ(marks[0].x, -1);  // floor(1 - 0.5 * 4 + 0.5): left of the picture, clipped when drawn
    EXPECT_EQ(marks[0].length, kMinuteMarkLength);
    EXPECT_EQ(marks[1].x, 3);
    EXPECT_EQ(marks[1].length, kSecondMarkLength);
    int minutes = 0;
    for (const TimeMark& m : marks) minutes += m.length == kMinuteMarkLength;
    EXPECT_EQ(minutes, 6);
}

TEST(TimeMarks, LongWindowsAreCheap) {
    struct Case {
        const char* reason;
        double length;
        std::size_t marks;
    };
    const Case cases[] = {
        {"q * 120 below 1: no mark at all", 1e9, 0},
        {"a week on 1200 pixels: no mark", 7 * 86400.0, 0},
        {"ten hours: one long mark per minute", 36000.0, 600},
        {"zero length: nothing", 0.0, 0},
        {"negative length: nothing", -60.0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(TimeMarkPositions(1, 1201, 1700000040.0, c.length).size(), c.marks);
    }
    // A start so large that adding a second changes nothing must not hang.
    EXPECT_TRUE(TimeMarkPositions(1, 1201, 1e300, 60.0).empty());
    EXPECT_TRUE(TimeMarkPositions(1, 1201, -1e17, 60.0).empty());
    EXPECT_TRUE(TimeMarkPositions(1, 1201, NAN, 60.0).empty());
}

TEST(EventMarks, ColumnsAcrossTheWindow) {
    struct Case {
        const char* reason;
        double t;
        int column;
    };
    const double start = 1700000000.0;
    const double end = start + 600.0;
    const Case cases[] = {
        {"window start on the first trace column", start, 1},
        {"window end on the last trace column", end, 1201},
        {"middle", start + 300.0, 601},
        {"integer part, not rounding", start + 0.99, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(EventMarkColumn(c.t, start, end, 1, 1201), c.column);
    }
    // 0.85715 s would map to 1.0000083 columns past x0; cut to 0.8571 s it stays on x0.
    EXPECT_EQ(EventMarkColumn(start + 0.85715, start, end, 1, 701), 1);
    EXPECT_EQ(EventMarkColumn(start + 0.8572, start, end, 1, 701), 2);
    EXPECT_EQ(EventMarkColumn(start, start, start, 1, 1201), 1);
    EXPECT_EQ(EventMarkColumn(1e300, start, end, 1, 1201), 1000000000);
    EXPECT_EQ(EventMarkColumn(NAN, start, end, 1, 1201), -1000000000);
}

}  // namespace
}  // namespace kvt::viewer
