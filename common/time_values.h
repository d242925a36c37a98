#pragma once
// Epoch times: seconds since 1970-01-01 00:00:00 UTC as a double, fractions
// kept, no time zone and no leap seconds. Conversions to and from calendar
// fields, the leap-year rule, truncation of decimals, the UTC clock and the
// two text forms in which times are shown.
//
// All functions are re-entrant and may be called from any thread.

#include <string>

namespace kvt {

//! Seconds from 0001-01-01 00:00:00 to 1970-01-01 00:00:00.
inline constexpr double kSecondsFrom0001To1970 = 62135596800.0;

//! Gregorian leap year: divisible by 400, or by 4 and not by 100.
bool IsLeapYear(int year);

//! Epoch time (s) of a UTC calendar time. month 1..12, day 1..31, hour 0..23,
//! minute 0..59, seconds may carry a fraction. No range check; exact for
//! years from 1970 on.
double EpochFromCalendar(int year, int month, int day, int hour, int minute, double seconds);

//! Calendar fields of epoch time t (s). hour, minute and seconds are always
//! written; year, month and day only on success. Returns 1 on success, 0 when
//! t lies before 0001-01-01. Exact for every year from 1 on.
int CalendarFromEpoch(double t, int& year, int& month, int& day, int& hour, int& minute,
                      float& seconds);

//! x cut towards minus infinity to n decimal places: (2.999, 2) -> 2.99,
//! (-0.001, 2) -> -0.01.
double TruncateDecimals(double x, int n);

//! Current UTC time as an epoch time in whole seconds.
double UtcNow();

//! "hh:mm:ss.ss DD/MM/YYYY" ("%02d:%02d:%.02f %02d/%02d/%04d"); empty when t
//! cannot be converted.
std::string FormatTimeHundredths(double t);
//! "hh:mm:ss DD/MM/YYYY" ("%02d:%02d:%02d %02d/%02d/%04d"), seconds cut to an
//! integer; empty when t cannot be converted.
std::string FormatTimeSeconds(double t);

}  // namespace kvt
