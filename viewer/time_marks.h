#pragma once
// Marks of whole seconds and minutes along the bottom edge of a band, and the
// columns of event marks. Pure arithmetic.

#include <vector>

namespace kvt::viewer {

//! One engraved tick: a frame-pen line of length pixels up from the band's
//! bottom border at column x and a highlight line at column x + 1.
struct TimeMark {
    int x = 0;       //!< image column
    int length = 0; //!< pixels: 6 for a whole minute, 3 for a second
};

inline constexpr int kMinuteMarkLength = 6;
inline constexpr int kSecondMarkLength = 3;

//! Marks for a window of windowLength s starting at windowStart (epoch s) over
//! trace columns x0..x1. q = (x1 - x0) / length pixels per second; a whole
//! minute gets a long mark when q * 120 > 1, any other second a short mark when
//! q > 2. Seconds without a mark are not visited, so a very long window costs
//! no more than its marks. An empty list for a length that is not positive.
std::vector<TimeMark> TimeMarkPositions(int x0, int x1, double windowStart, double windowLength);

//! Column of an event at epoch time t in the window [windowStart, windowEnd]
//! over trace columns x0..x1: integer part of (t' - start) * (x1 - x0) /
//! (end - start) + x0, with t' = t cut to 4 decimals (towards minus infinity). Returns x0
//! for an empty window.
int EventMarkColumn(double t, double windowStart, double windowEnd, int x0, int x1) noexcept;

}  // namespace kvt::viewer
