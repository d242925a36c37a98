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
};

//! Calls sink(PathPoint) for every drawn sample of samples[0..count) in band
//! b, in order: sample k at x index j = firstIndex + k for j in
//! 0..samplesInWindow-1. Gap markers and non-finite samples lift the pen (the
//! next point is a move). Values outside [bottom, top] are clipped to the range
//! in the array itself, so that they land on the band border.
template <class Emit>
void ForEachTracePoint(float* samples, std::size_t count, long long firstIndex, long long samplesInWindow,
                       const BandLayout& layout, const Band& b, const AmplitudeScale& scale, Emit&& sink);

//! The same points collected in a list.
std::vector<PathPoint> BuildTracePath(float* samples, std::size_t count, long long firstIndex,
                                      long long samplesInWindow, const BandLayout& layout, const Band& b,
                                      const AmplitudeScale& scale);

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

}  // namespace kvt::viewer
