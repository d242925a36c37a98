#include "refresh_titles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/profile.h"
#include "common/time_values.h"

namespace kvt::viewer {
namespace {

constexpr int kDefaultDelaySeconds = 30;

struct Clock {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// Calendar fields of an epoch time with the seconds cut to whole seconds toward zero.
Clock ClockOf(double t) {
  Clock c;
  float seconds = 0.0f;
  if (CalendarFromEpoch(t, c.year, c.month, c.day, c.hour, c.minute, seconds)) {
    // Single precision can round 59.9999 up to 60; the title never shows a 60th second.
    c.second = std::min(59, static_cast<int>(std::trunc(seconds)));
  } else {
    c = Clock{};
  }
  return c;
}

std::string Bracket(double start, double length) {
  const Clock s = ClockOf(start);
  const Clock e = ClockOf(start + length);
  char text[128];
  std::snprintf(text, sizeof text, "Varurod - [%02d:%02d:%02d - %02d:%02d:%02d %02d/%02d/%04d]",
                s.hour, s.minute, s.second, e.hour, e.minute, e.second, s.day, s.month, s.year);
  return text;
}

}  // namespace

std::string DrawingTitle(double start, double length) {
  return Bracket(start, length) + " - отрисовка";
}

std::string CountdownTitle(double start, double length, int secondsLeft) {
  return Bracket(start, length) + " - " + std::to_string(secondsLeft) + " сек";
}

int DelayFromSetting(std::string_view text, bool firstRead) {
  const int delay = LeadingInt(text, 0);
  if (firstRead) return delay;
  return delay > 0 ? delay : kDefaultDelaySeconds;
}

}  // namespace kvt::viewer
