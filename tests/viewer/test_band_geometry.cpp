// Band layout of the picture and the sample-to-pixel mapping.
#include "viewer/band_geometry.h"

#include <gtest/gtest.h>

namespace kvt::viewer {
namespace {

TEST(BandLayout, BandsOfFourChannelsOnThreeHundredRows) {
    const BandLayout l = BandLayout::Make(1202, 300, 4);
    EXPECT_EQ(l.bandHeight, 73);
    EXPECT_EQ(l.x0, 1);
    EXPECT_EQ(l.x1, 1201);
    struct Row {
        int i, lo, hi, topRow, bottomRow;
    };
    const Row rows[] = {
        {0, 1, 74, 225, 298},   // lowest band, just above the picture's last row
        {1, 75, 148, 151, 224}, // touches band 0: its bottom border is the row above band 0's top
        {2, 149, 222, 77, 150},
        {3, 223, 296, 3, 76},   // highest band: top border on row 3
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.i);
        const Band b = l.BandOf(r.i);
        EXPECT_EQ(b.index, r.i);
        EXPECT_EQ(b.lo, r.lo);
        EXPECT_EQ(b.hi, r.hi);
        EXPECT_EQ(b.topRow, r.topRow);
        EXPECT_EQ(b.bottomRow, r.bottomRow);
    }
}

TEST(BandLayout, DegenerateSizesDoNotDivideByZero) {
    EXPECT_EQ(BandLayout::Make(100, 100, 0).bandHeight, 0);
    EXPECT_EQ(BandLayout::Make(100, 100, -3).bandHeight, 0);
    EXPECT_EQ(BandLayout::Make(100, 5, 4).bandHeight, 0);  // (5 - 5) / 4
    EXPECT_EQ(BandLayout::Make(100, 1, 1).bandHeight, -1);  // too small: the arithmetic result
}

TEST(SampleMapping, ColumnIsIntegerPartPlusOne) {
    struct Case {
        const char* reason;
        int width;
        long long n;
        long long j;
        int column;
    };
    const Case cases[] = {
        {"first sample on column 1", 1202, 12000, 0, 1},
        {"ten samples per pixel, ninth sample", 1202, 12000, 9, 1},
        {"ten samples per pixel, tenth sample", 1202, 12000, 10, 2},
        {"last sample", 1202, 12000, 11999, 1200},
        {"two pixels per sample", 1202, 600, 1, 3},
        {"fractional pixels per sample", 102, 300, 299, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(SampleColumn(c.j, PixelsPerSample(c.width, c.n)), c.column);
    }
    EXPECT_EQ(PixelsPerSample(1202, 0), 0.0);
}

TEST(SampleMapping, RowRoundsWithinTheBand) {
    const BandLayout l = BandLayout::Make(1202, 300, 4);
    const Band b = l.BandOf(0);  // lo 1, hi 74, R 73
    struct Case {
        const char* reason;
        float value, top, bottom;
        int row;
    };
    const Case cases[] = {
        {"bottom of the range on the bottom border", -1.5f, 1.5f, -1.5f, 298},
        {"top of the range on the top border", 1.5f, 1.5f, -1.5f, 225},
        {"middle: 1 + 36.5 + 0.5 = 38", 0.0f, 1.5f, -1.5f, 261},
        {"one unit per pixel: 0.6 above the bottom rounds up one row", 0.6f, 73.0f, 0.0f, 297},
        {"empty range puts everything on the bottom border", 7.0f, 5.0f, 5.0f, 298},
        {"value beyond the range held on the border", 100.0f, 1.5f, -1.5f, 225},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(SampleRow(l, b, c.value, c.top, c.bottom), c.row);
    }
}

}  // namespace
}  // namespace kvt::viewer
