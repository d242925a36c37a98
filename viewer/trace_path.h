#pragma once
// A trace as a pixel path, and the 1-pixel line rasteriser that draws it.
//
// A path is a list of pixel points; each either starts a stroke (move, after
// the start or a lifted pen) or continues it with a line from the previous
// point. Lines follow the device-context convention: the start point is
// drawn, the end point is not, so a polyline draws each joint exactly once
// and a stroke's very last point stays empty.

#include "amplitude_scale.h"
#include "band_geometry.h"
#include "bandpass_filter.h"
#include "sample_range.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <utility>
#include <vector>

namespace kvt::viewer {

struct PathPoint {
    int x = 0;          //!< image column
    int y = 0;          //!< image row
    bool move = false;  //!< starts a stroke (pen lifted before it)

    bool operator==(const PathPoint&) const = default;
};

//! A vertical run of trace pixels in one image column.
struct PixelRun {
    int x = 0;   //!< image column
    int y0 = 0;  //!< first image row (y0 <= y1)
    int y1 = 0;  //!< last image row, included

    bool operator==(const PixelRun&) const = default;
};

//! Calls sink(PathPoint) for every drawn sample of samples[0..count) in band
//! b, in order: sample k at x index j = firstIndex + k for j in
//! 0..samplesInWindow-1. Gap markers and non-finite samples lift the pen (the
//! next point is a move). Values outside [bottom, top] are clipped to the range
//! in the array itself, so that they land on the band border.
template <class Emit>
void ForEachTracePoint(float* samples, std::size_t count, long long firstIndex, long long samplesInWindow,
                       const BandLayout& layout, const Band& b, const AmplitudeScale& scale, Emit&& sink);

//! The points of the same trace reduced per pixel column in the sample
//! domain: every run of samples between gap markers is walked once, keeping
//! per column the first, lowest, highest and last value; only those are
//! mapped to rows. Draws exactly the pixels of ForEachTracePoint's path and
//! clips the array the same way, with at most four points per column.
template <class Emit>
void ForEachReducedTracePoint(float* samples, std::size_t count, long long firstIndex, long long samplesInWindow,
                              const BandLayout& layout, const Band& b, const AmplitudeScale& scale,
                              Emit&& sink);

//! The same points collected in a list.
std::vector<PathPoint> BuildTracePath(float* samples, std::size_t count, long long firstIndex,
                                      long long samplesInWindow, const BandLayout& layout, const Band& b,
                                      const AmplitudeScale& scale);

//! The pixels of the reduced trace (the points of ForEachReducedTracePoint,
//! rasterised with PathRasteriser) as vertical runs, in drawing order. Filling the runs sets exactly the pixels drawing the path sets;
//! most columns of a dense trace are one run. Clips samples like DrawTrace.
std::vector<PixelRun> BuildReducedTraceRuns(float* samples, std::size_t count, long long firstIndex,
                                            long long samplesInWindow, const BandLayout& layout, const Band& b,
                                            const AmplitudeScale& scale);

//! Collects plotted pixels into vertical runs: a pixel in the column of the
//! current run that touches or lies in it extends the run; any other pixel
//! starts a new run. Pixels may be plotted more than once.
class RunCollector {
public:
    explicit RunCollector(std::vector<PixelRun>& runs) : runs_(runs) {}
    void operator()(int x, int y) { Column(x, y, y); }
    //! The pixels of column x from row ya to row yb, both included, in that
    //! order: the same runs as plotting them one by one.
    void Column(int x, int ya, int yb) {
        const int lo = ya < yb ? ya : yb;
        const int hi = ya < yb ? yb : ya;
        if (!runs_.empty()) {
            PixelRun& r = runs_.back();
            // Plotted one by one from ya, the first pixel decides whether the
            // current run goes on; the rest follow it row by row.
            if (r.x == x && ya >= r.y0 - 1 && ya <= r.y1 + 1) {
                if (lo < r.y0) r.y0 = lo;
                if (hi > r.y1) r.y1 = hi;
                return;
            }
        }
        runs_.push_back(PixelRun{x, lo, hi});
    }

private:
    std::vector<PixelRun>& runs_;
};

//! Streaming reduction of a path to at most four points per pixel column and
//! stroke, drawing exactly the same pixels as the full path: the column's
//! first and last point stay (they fix the lines to the neighbouring columns)
//! and the points between are replaced by the turns needed to cover the same
//! vertical run, including whether the last point itself gets drawn.
//! Feed points with Add, then call Finish; reduced points go to sink.
class ColumnReducer {
public:
    template <class Emit>
    void Add(const PathPoint& p, Emit&& sink) {
        if (active_ && (p.move || p.x != x_)) Flush(sink);
        if (!active_) {
            active_ = true;
            x_ = p.x;
            move_ = p.move;
            first_ = last_ = min_ = max_ = p.y;
            minLeft_ = maxLeft_ = false;
            return;
        }
        // Leaving an extreme draws it (a line's start point is drawn).
        if (last_ == max_ && p.y != max_) maxLeft_ = true;
        if (last_ == min_ && p.y != min_) minLeft_ = true;
        if (p.y > max_) {
            max_ = p.y;
            maxLeft_ = false;
        }
        if (p.y < min_) {
            min_ = p.y;
            minLeft_ = false;
        }
        last_ = p.y;
    }

    template <class Emit>
    void Finish(Emit&& sink) {
        if (active_) Flush(sink);
    }

private:
    template <class Emit>
    void Flush(Emit&& sink) {
        active_ = false;
        int ys[4];
        int n = 0;
        const bool lastCovered = (last_ > min_ && last_ < max_) || (last_ == max_ && maxLeft_) ||
                                 (last_ == min_ && minLeft_);
        if (min_ == max_) {
            ys[n++] = last_;
        } else if (last_ == max_) {
            // Ends on the top of the run: cover up to it, and it too if it was left before.
            if (lastCovered) {
                ys[n++] = max_;
                ys[n++] = min_;
                ys[n++] = max_;
            } else {
                ys[n++] = min_;
                ys[n++] = max_;
            }
        } else if (last_ == min_) {
            if (lastCovered) {
                ys[n++] = min_;
                ys[n++] = max_;
                ys[n++] = min_;
            } else {
                ys[n++] = max_;
                ys[n++] = min_;
            }
        } else {
            ys[n++] = min_;
            ys[n++] = max_;
            ys[n++] = last_;
        }
        sink(PathPoint{x_, first_, move_});
        int prev = first_;
        for (int k = 0; k < n; ++k) {
            if (ys[k] == prev) continue;  // a zero-length line draws nothing
            sink(PathPoint{x_, ys[k], false});
            prev = ys[k];
        }
    }

    bool active_ = false;
    bool move_ = false;
    bool minLeft_ = false;  //!< a line has started from the lowest value (drawing it)
    bool maxLeft_ = false;  //!< a line has started from the highest value
    int x_ = 0;
    int first_ = 0, last_ = 0, min_ = 0, max_ = 0;  //!< image rows
};

//! Calls plot(x, y) for every pixel of the line from (xa, ya) to (xb, yb),
//! start point included, end point excluded (nothing for a zero-length line).
//! Bresenham's walk along the major axis, from the start point.
template <class Plot>
void RasteriseLine(int xa, int ya, int xb, int yb, Plot&& plot) {
    const long long dx = std::llabs(static_cast<long long>(xb) - xa);
    const long long dy = std::llabs(static_cast<long long>(yb) - ya);
    const int sx = xb > xa ? 1 : -1;
    const int sy = yb > ya ? 1 : -1;
    int x = xa;
    int y = ya;
    if (dx >= dy) {
        long long err = 2 * dy - dx;
        for (long long i = 0; i < dx; ++i) {
            plot(x, y);
            if (err > 0) {
                y += sy;
                err -= 2 * dx;
            }
            err += 2 * dy;
            x += sx;
        }
    } else {
        long long err = 2 * dx - dy;
        for (long long i = 0; i < dy; ++i) {
            plot(x, y);
            if (err > 0) {
                x += sx;
                err -= 2 * dy;
            }
            err += 2 * dx;
            y += sy;
        }
    }
}

//! Streaming line drawing of a path: every point that continues a stroke
//! gets a line from the previous point (end point excluded).
template <class Plot>
class PathRasteriser {
public:
    explicit PathRasteriser(Plot plot) : plot_(std::forward<Plot>(plot)) {}
    void Add(const PathPoint& p) {
        if (have_ && !p.move) RasteriseLine(prev_.x, prev_.y, p.x, p.y, plot_);
        prev_ = p;
        have_ = true;
    }

private:
    Plot plot_;
    PathPoint prev_;
    bool have_ = false;
};

//! Draws a whole path with a PathRasteriser.
template <class Plot>
void RasterisePath(const std::vector<PathPoint>& path, Plot&& plot) {
    PathRasteriser<Plot&> r(plot);
    for (const PathPoint& p : path) r.Add(p);
}

template <class Emit>
void ForEachTracePoint(float* samples, std::size_t count, long long firstIndex, long long samplesInWindow,
                       const BandLayout& layout, const Band& b, const AmplitudeScale& scale, Emit&& sink) {
    if (samples == nullptr || samplesInWindow < 1 || firstIndex >= samplesInWindow) return;
    const double p = PixelsPerSample(layout.width, samplesInWindow);
    // Positions left of the window (a negative first index) are not drawn.
    const std::size_t kBegin = firstIndex < 0 ? static_cast<std::size_t>(-firstIndex) : 0;
    const std::size_t inWindow = static_cast<std::size_t>(samplesInWindow - firstIndex);
    const std::size_t kEnd = count < inWindow ? count : inWindow;
    bool penDown = false;
    for (std::size_t k = kBegin; k < kEnd; ++k) {
        float& v = samples[k];
        if (IsGapMarker(v) || !std::isfinite(v)) {
            penDown = false;
            continue;
        }
        if (v > scale.top) v = scale.top;
        if (v < scale.bottom) v = scale.bottom;
        const long long j = firstIndex + static_cast<long long>(k);
        sink(PathPoint{SampleColumn(j, p), SampleRow(layout, b, v, scale.top, scale.bottom), !penDown});
        penDown = true;
    }
}

namespace detail {

//! First x index after j whose column lies right of column c (the column of
//! j), found with the drawing's own formula: an estimate from c / p, moved
//! until SampleColumn agrees; limit (> j) when no index below limit is. p
//! must be positive.
inline long long NextColumnStart(long long j, int c, double p, long long limit) noexcept {
    const double estimate = std::ceil(static_cast<double>(c) / p);
    long long n = limit;
    if (estimate <= static_cast<double>(j)) n = j + 1;
    else if (estimate < static_cast<double>(limit)) n = static_cast<long long>(estimate);
    while (n > j + 1 && SampleColumn(n - 1, p) > c) --n;
    while (n < limit && SampleColumn(n, p) <= c) ++n;
    return n;
}

}  // namespace detail

template <class Emit>
void ForEachReducedTracePoint(float* samples, std::size_t count, long long firstIndex, long long samplesInWindow,
                              const BandLayout& layout, const Band& b, const AmplitudeScale& scale,
                              Emit&& sink) {
    if (samples == nullptr || samplesInWindow < 1 || firstIndex >= samplesInWindow) return;
    const double p = PixelsPerSample(layout.width, samplesInWindow);
    if (!(p > 0.0) || !std::isfinite(p)) {
        // A picture too narrow for a trace: columns do not advance, so the
        // column buckets do not apply; reduce the plain path instead.
        ColumnReducer reducer;
        ForEachTracePoint(samples, count, firstIndex, samplesInWindow, layout, b, scale,
                          [&](const PathPoint& q) { reducer.Add(q, sink); });
        reducer.Finish(sink);
        return;
    }
    const std::size_t kBegin = firstIndex < 0 ? static_cast<std::size_t>(-firstIndex) : 0;
    const std::size_t inWindow = static_cast<std::size_t>(samplesInWindow - firstIndex);
    const std::size_t kEnd = count < inWindow ? count : inWindow;
    if (kBegin >= kEnd) return;
    const float top = scale.top;
    const float bottom = scale.bottom;
    auto row = [&](float v) { return SampleRow(layout, b, v, top, bottom); };

    bool penDown = false;
    std::size_t k = kBegin;
    while (k < kEnd) {
        if (!IsDrawnSample(samples[k])) {
            penDown = false;
            ++k;
            continue;
        }
        // The samples of one column up to the next gap: k .. kk-1.
        const long long j = firstIndex + static_cast<long long>(k);
        const int x = SampleColumn(j, p);
        const long long jEnd = firstIndex + static_cast<long long>(kEnd);
        const std::size_t columnEnd = static_cast<std::size_t>(detail::NextColumnStart(j, x, p, jEnd) - firstIndex);
        // Clipping is monotonic, so the extremes of the clipped values are
        // the clipped extremes; a sample past a gap is clipped here and again
        // (to the same value) when its own column comes.
        const DrawnRange range = ClipDrawnSamples(samples + k, columnEnd - k, top, bottom);
        std::size_t kk = columnEnd;
        if (!range.allDrawn) {
            kk = k + 1;
            while (IsDrawnSample(samples[kk])) ++kk;  // stops inside the column
        }
        const bool move = !penDown;
        const bool strokeEnds = kk >= kEnd || !IsDrawnSample(samples[kk]);
        if (strokeEnds) {
            // The last column of a stroke: whether its last point gets drawn
            // depends on the order of the rows in it, so reduce its rows one by one.
            ColumnReducer reducer;
            for (std::size_t q = k; q < kk; ++q)
                reducer.Add(PathPoint{x, row(samples[q]), move && q == k}, sink);
            reducer.Finish(sink);
        } else {
            // The line to the next column draws the last point, so whatever
            // the order of the samples, the column covers exactly the rows
            // from the lowest to the highest value, joined to its neighbours
            // by the lines from and to its first and last sample.
            const int yFirst = row(samples[k]);
            const int ys[3] = {row(range.lo), row(range.hi), row(samples[kk - 1])};
            sink(PathPoint{x, yFirst, move});
            int prev = yFirst;
            for (const int y : ys) {
                if (y == prev) continue;  // a zero-length line draws nothing
                sink(PathPoint{x, y, false});
                prev = y;
            }
        }
        penDown = true;
        k = kk;
    }
}

}  // namespace kvt::viewer
