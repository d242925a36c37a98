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

#include <cstddef>
#include <cstdlib>
#include <vector>

namespace kvt::viewer {

struct PathPoint {
    int x = 0;          //!< image column
    int y = 0;          //!< image row
    bool move = false;  //!< starts a stroke (pen lifted before it)
};

//! Builds the pixel path of samples[0..count) in band b: sample k at x index
//! j = firstIndex + k for j in 0..samplesInWindow-1. Gap markers and
//! non-finite samples lift the pen. Values outside [bottom, top] are clipped
//! to the range in the array itself, so that they land on the band border.
std::vector<PathPoint> BuildTracePath(float* samples, std::size_t count, long long firstIndex,
                                      long long samplesInWindow, const BandLayout& layout, const Band& b,
                                      const AmplitudeScale& scale);

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

//! Draws a path: every point that continues a stroke gets a line from the
//! previous point (end point excluded).
template <class Plot>
void RasterisePath(const std::vector<PathPoint>& path, Plot&& plot) {
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i].move) continue;
        RasteriseLine(path[i - 1].x, path[i - 1].y, path[i].x, path[i].y, plot);
    }
}

}  // namespace kvt::viewer
