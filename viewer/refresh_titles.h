// Window titles of the refresh cycle and the rule for the delay between redraw passes.
// Pure text and arithmetic, no GUI and no I/O.
#pragma once

#include <string>
#include <string_view>

namespace kvt::viewer {

/// Title while a redraw pass runs, for the window of the last pass: `start` epoch seconds,
/// `length` seconds. Before the first pass both are 0 and the bracket shows 1 January 1970.
std::string DrawingTitle(double start, double length);

/// Title during the countdown with `secondsLeft` seconds until the next pass.
std::string CountdownTitle(double start, double length, int secondsLeft);

/// Seconds to count down from the `DELAY` setting text: its leading integer. The value read
/// when the cycle starts is taken as it is (0 or less means no countdown); every later read
/// turns 0, negative or no digits into 30.
int DelayFromSetting(std::string_view text, bool firstRead);

}  // namespace kvt::viewer
