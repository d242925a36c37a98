// Trace paths: sample-to-point mapping, the line rasteriser, and the
// per-column reduction that must draw exactly the same pixels.
#include "viewer/trace_path.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>
#include <vector>

namespace kvt::viewer {
namespace {

using Pixels = std::vector<std::pair<int, int>>;

Pixels Line(int xa, int ya, int xb, int yb) {
    Pixels out;
    RasteriseLine(xa, ya, xb, yb, [&](int x, int y) { out.emplace_back(x, y); });
    return out;
}

TEST(RasteriseLine, StartDrawnEndNot) {
    struct Case {
        const char* reason;
        int xa, ya, xb, yb;
        Pixels expected;
    };
    const Case cases[] = {
        {"horizontal", 0, 0, 4, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
        {"horizontal leftwards", 3, 2, 0, 2, {{3, 2}, {2, 2}, {1, 2}}},
        {"vertical upwards", 5, 5, 5, 2, {{5, 5}, {5, 4}, {5, 3}}},
        {"zero length draws nothing", 7, 7, 7, 7, {}},
        {"diagonal", 0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
        {"steep: one pixel per row, a tie stays on the current column", 0, 0, 1, 4, {{0, 0}, {0, 1}, {0, 2}, {1, 3}}},
        {"neighbour column", 0, 0, 1, 0, {{0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(Line(c.xa, c.ya, c.xb, c.yb), c.expected);
    }
}

TEST(RasteriseLine, EightConnectedAndEndingNextToTheEndPoint) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-40, 40);
    for (int n = 0; n < 300; ++n) {
        const int xa = coord(rng), ya = coord(rng), xb = coord(rng), yb = coord(rng);
        SCOPED_TRACE(testing::Message() << xa << "," << ya << " -> " << xb << "," << yb);
        const Pixels p = Line(xa, ya, xb, yb);
        ASSERT_EQ(p.size(), static_cast<std::size_t>(std::max(std::abs(xb - xa), std::abs(yb - ya))));
        if (p.empty()) continue;
        EXPECT_EQ(p.front(), std::make_pair(xa, ya));
        std::pair<int, int> prev = p.front();
        for (std::size_t k = 1; k < p.size(); ++k) {
            ASSERT_LE(std::abs(p[k].first - prev.first), 1);
            ASSERT_LE(std::abs(p[k].second - prev.second), 1);
            prev = p[k];
        }
        EXPECT_LE(std::abs(xb - prev.first), 1);
        EXPECT_LE(std::abs(yb - prev.second), 1);
    }
}

class TracePath : public ::testing::Test {
protected:
    BandLayout layout = BandLayout::Make(102, 300, 4);  // 100 columns for the trace
    Band band = layout.BandOf(0);                      // rows 225 (top) .. 298 (bottom)
    AmplitudeScale scale{10.0f, -10.0f, true};
};

TEST_F(TracePath, GapMarkerLiftsThePen) {
    std::vector<float> v = {0, 0, kGapMarker, kGapMarker, 0, 0};
    const std::vector<PathPoint> path = BuildTracePath(v.data(), v.size(), 0, 100, layout, band, scale);
    ASSERT_EQ(path.size(), 4u);
    EXPECT_TRUE(path[0].move);
    EXPECT_FALSE(path[1].move);
    EXPECT_TRUE(path[2].move);  // first sample after the gap
    EXPECT_EQ(path[2].x, 5);
    EXPECT_FALSE(path[3].move);
    EXPECT_EQ(v[2], kGapMarker);
}

TEST_F(TracePath, ClippedValuesAreWrittenBackAndLandOnTheBorders) {
    std::vector<float> v = {1e9f, -1e9f, 5.0f};
    const std::vector<PathPoint> path = BuildTracePath(v.data(), v.size(), 0, 100, layout, band, scale);
    EXPECT_EQ(v, (std::vector<float>{10.0f, -10.0f, 5.0f}));
    ASSERT_EQ(path.size(), 3u);
    EXPECT_EQ(path[0].y, band.topRow);
    EXPECT_EQ(path[1].y, band.bottomRow);
}

TEST_F(TracePath, FirstIndexAndWindowEnd) {
    std::vector<float> v(20, 0.0f);
    v[19] = 1e9f;  // beyond the window: neither drawn nor clipped
    const std::vector<PathPoint> path = BuildTracePath(v.data(), v.size(), 90, 100, layout, band, scale);
    ASSERT_EQ(path.size(), 10u);
    EXPECT_EQ(path.front().x, 91);
    EXPECT_EQ(path.back().x, 100);
    EXPECT_EQ(v[19], 1e9f);
    EXPECT_TRUE(BuildTracePath(v.data(), v.size(), 100, 100, layout, band, scale).empty());
    EXPECT_TRUE(BuildTracePath(v.data(), v.size(), 0, 0, layout, band, scale).empty());
    // Positions left of the window are skipped.
    const std::vector<PathPoint> left = BuildTracePath(v.data(), v.size(), -5, 100, layout, band, scale);
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(left.front().x, 1);
}

TEST_F(TracePath, NonFiniteSamplesLiftThePen) {
    std::vector<float> v = {0, NAN, 0, INFINITY, 0};
    const std::vector<PathPoint> path = BuildTracePath(v.data(), v.size(), 0, 100, layout, band, scale);
    ASSERT_EQ(path.size(), 3u);
    EXPECT_TRUE(path[1].move);
    EXPECT_TRUE(path[2].move);
}

std::set<std::pair<int, int>> Draw(const std::vector<PathPoint>& path) {
    std::set<std::pair<int, int>> pixels;
    RasterisePath(path, [&](int x, int y) { pixels.emplace(x, y); });
    return pixels;
}

std::vector<PathPoint> Reduce(const std::vector<PathPoint>& path) {
    std::vector<PathPoint> out;
    ColumnReducer r;
    auto sink = [&](const PathPoint& p) { out.push_back(p); };
    for (const PathPoint& p : path) r.Add(p, sink);
    r.Finish(sink);
    return out;
}

// Hand-made columns where the end point of the column's last line decides.
TEST(ColumnReducer, SamePixelsForTrickyColumns) {
    struct Case {
        const char* reason;
        std::vector<int> ys;  // one column, then one point in the next column
        bool continues;
    };
    const Case cases[] = {
        {"ends on a new maximum: not drawn", {5, 0, 10}, false},
        {"returns to a maximum it left: drawn", {0, 10, 5, 10}, false},
        {"returns to a minimum it left", {10, 0, 5, 0}, false},
        {"ends on a new minimum", {5, 10, 0}, false},
        {"constant column", {4, 4, 4}, false},
        {"stays on its maximum", {0, 10, 10, 10}, false},
        {"ends between the extremes", {3, 9, 1, 5}, false},
        {"line goes on to the next column", {0, 10, 5, 10}, true},
        {"single point", {6}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<PathPoint> path;
        for (const int y : c.ys) path.push_back({3, y, path.empty()});
        if (c.continues) path.push_back({4, 20, false});
        const std::vector<PathPoint> reduced = Reduce(path);
        EXPECT_EQ(Draw(reduced), Draw(path));
        EXPECT_LE(reduced.size(), 4u + (c.continues ? 1u : 0u));
    }
}

// Dense random traces with gaps: drawing every sample and drawing the reduced
// path must give identical pixels.
TEST(ColumnReducer, SamePixelsAsEverySampleOnDenseTraces) {
    const BandLayout layout = BandLayout::Make(202, 120, 1);
    const Band band = layout.BandOf(0);
    std::mt19937 rng(12345);
    for (int trial = 0; trial < 40; ++trial) {
        SCOPED_TRACE(trial);
        const long long n = 200 + trial * 97;  // from about 1 to 20 samples per column
        std::vector<float> v(static_cast<std::size_t>(n));
        std::normal_distribution<float> noise(0.0f, 1.0f + static_cast<float>(trial % 5));
        float walk = 0.0f;
        for (float& s : v) {
            walk += noise(rng);
            s = (rng() % 50 == 0) ? kGapMarker : walk;
            if (trial % 3 == 0) s = std::round(s);  // many equal rows
        }
        AmplitudeScale scale;
        scale.top = 20.0f;  // part of the walk is clipped onto the borders
        scale.bottom = -20.0f;
        const std::vector<PathPoint> full = BuildTracePath(v.data(), v.size(), 0, n, layout, band, scale);
        const std::vector<PathPoint> reduced = Reduce(full);
        EXPECT_EQ(Draw(reduced), Draw(full));
        EXPECT_LE(reduced.size(), 4u * 200u + 1000u);
        if (n > 2000) {
            EXPECT_LT(reduced.size() * 2, full.size());
        }
    }
}

TEST(RunCollector, MergesTouchingPixelsOfOneColumnOnly) {
    struct Case {
        const char* reason;
        Pixels plots;
        std::vector<PixelRun> runs;
    };
    const Case cases[] = {
        {"down then back up inside the run", {{5, 3}, {5, 4}, {5, 5}, {5, 4}, {5, 2}}, {{5, 2, 5}}},
        {"a row skipped starts a new run", {{5, 3}, {5, 5}}, {{5, 3, 3}, {5, 5, 5}}},
        {"the next column starts a new run", {{5, 3}, {6, 3}, {6, 4}}, {{5, 3, 3}, {6, 3, 4}}},
        {"back in an earlier column is a new run", {{5, 3}, {6, 3}, {5, 4}}, {{5, 3, 3}, {6, 3, 3}, {5, 4, 4}}},
        {"one pixel plotted twice", {{7, 1}, {7, 1}}, {{7, 1, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<PixelRun> runs;
        RunCollector collect(runs);
        for (const auto& [x, y] : c.plots) collect(x, y);
        EXPECT_EQ(runs, c.runs);
    }
}

// A whole column stretch at once gives the runs of plotting its pixels one by one.
TEST(RunCollector, ColumnStretchEqualsItsPixelsOneByOne) {
    std::mt19937 rng(99);
    for (int trial = 0; trial < 200; ++trial) {
        SCOPED_TRACE(trial);
        std::vector<PixelRun> byColumn, byPixel;
        RunCollector column(byColumn), pixel(byPixel);
        for (int step = 0; step < 6; ++step) {
            const int x = static_cast<int>(rng() % 3);
            const int ya = static_cast<int>(rng() % 12), yb = static_cast<int>(rng() % 12);
            column.Column(x, ya, yb);
            for (int y = ya;; y += yb > ya ? 1 : -1) {
                pixel(x, y);
                if (y == yb) break;
            }
        }
        EXPECT_EQ(byColumn, byPixel);
    }
}

// The runs of a reduced trace cover exactly the pixels of every sample's
// lines, on dense traces with gaps and clipping.
TEST(ReducedTraceRuns, SamePixelsAsEverySample) {
    const BandLayout layout = BandLayout::Make(202, 120, 1);
    const Band band = layout.BandOf(0);
    std::mt19937 rng(777);
    for (int trial = 0; trial < 30; ++trial) {
        SCOPED_TRACE(trial);
        const long long n = 150 + trial * 131;
        std::vector<float> v(static_cast<std::size_t>(n));
        std::normal_distribution<float> noise(0.0f, 2.0f);
        float walk = 0.0f;
        for (float& s : v) {
            walk += noise(rng);
            s = (rng() % 70 == 0) ? kGapMarker : walk;
        }
        AmplitudeScale scale;
        scale.top = 25.0f;
        scale.bottom = -25.0f;
        std::vector<float> copy = v;
        const std::set<std::pair<int, int>> every = Draw(BuildTracePath(v.data(), v.size(), 0, n, layout, band, scale));
        std::set<std::pair<int, int>> fromRuns;
        for (const PixelRun& r : BuildReducedTraceRuns(copy.data(), copy.size(), 0, n, layout, band, scale))
            for (int y = r.y0; y <= r.y1; ++y) fromRuns.emplace(r.x, y);
        EXPECT_EQ(fromRuns, every);
        EXPECT_EQ(copy, v);  // both clip the samples alike
    }
}

}  // namespace
}  // namespace kvt::viewer
