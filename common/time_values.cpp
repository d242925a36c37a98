#include "common/time_values.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace kvt {
namespace {

// Days of a common year before the first of each month (index 1..12).
constexpr int kDaysBeforeMonth[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
// Days of each month in a common year; February is taken from the year at
// hand by DaysIn, so no table is ever rewritten and the split is re-entrant.
constexpr int kDaysInMonth[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int DaysIn(int month, bool leap) {
    return month == 2 && leap ? 29 : kDaysInMonth[month];
}

}  // namespace

bool IsLeapYear(int year) {
    if (year % 400 == 0) return true;
    return year % 4 == 0 && year % 100 != 0;
}

double EpochFromCalendar(int year, int month, int day, int hour, int minute, double seconds) {
    // Out-of-range months are not checked by contract, but must not read
    // outside the table.
    const int m = month < 1 ? 1 : (month > 12 ? 12 : month);
    long long dayOfYear = kDaysBeforeMonth[m] + day;
    if (IsLeapYear(year) && month > 2) ++dayOfYear;
    const long long y = year - 1970;
    // Leap days between 1970 and the start of the year (truncating division).
    const long long leapDays = (y + 1) / 4 - (y + 69) / 100 + (y + 369) / 400;
    const double days = static_cast<double>(y * 365 + leapDays + dayOfYear - 1);
    return days * 86400.0 + hour * 3600.0 + minute * 60.0 + seconds;
}

int CalendarFromEpoch(double t, int& year, int& month, int& day, int& hour, int& minute,
                      float& seconds) {
    const double total = t + kSecondsFrom0001To1970;
    double whole = 0;
    const double fraction = std::modf(total, &whole);
    // Beyond this any day count overflows the arithmetic below; such times are
    // not calendar times of this system.
    if (!std::isfinite(whole) || std::fabs(whole) > 1e17) {
        hour = 0;
        minute = 0;
        seconds = 0;
        return 0;
    }
    long long days = static_cast<long long>(whole / 86400.0);
    double rem = whole - static_cast<double>(days) * 86400.0;
    hour = static_cast<int>(rem / 3600.0);
    rem -= hour * 3600.0;
    minute = static_cast<int>(rem / 60.0);
    rem -= minute * 60.0;
    seconds = static_cast<float>(rem + fraction);

    // Before 0001-01-01 there is no calendar date.
    if (total < 0) return 0;

    const long long q400 = days / 146097;
    days -= q400 * 146097;
    // The last day of a 400-year cycle belongs to the fourth century.
    const long long q100 = days == 146096 ? 3 : days / 36524;
    days -= q100 * 36524;
    const long long q4 = days / 1461;
    days -= q4 * 1461;
    long long q1 = days / 365;
    if (q1 == 4) q1 = 3;  // the last day of a leap year
    days -= q1 * 365;
    const long long y = 400 * q400 + 100 * q100 + 4 * q4 + q1 + 1;
    long long dayOfYear = days + 1;
    if (dayOfYear < 1 || y > 2147483647LL) return 0;

    const bool leap = IsLeapYear(static_cast<int>(y));
    for (int m = 1; m <= 12; ++m) {
        const long long d = dayOfYear;
        dayOfYear -= DaysIn(m, leap);
        if (dayOfYear <= 0) {
            year = static_cast<int>(y);
            month = m;
            day = static_cast<int>(d);
            return 1;
        }
    }
    return 0;
}

double TruncateDecimals(double x, int n) {
    const double scale = std::pow(10.0, n);
    return std::floor(x * scale) / scale;
}

double UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    return EpochFromCalendar(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                             utc.tm_min, utc.tm_sec);
}

std::string FormatTimeHundredths(double t) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    float seconds = 0;
    if (!CalendarFromEpoch(t, year, month, day, hour, minute, seconds)) return {};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%.02f %02d/%02d/%04d", hour, minute,
                  static_cast<double>(seconds), day, month, year);
    return buf;
}

std::string FormatTimeSeconds(double t) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    float seconds = 0;
    if (!CalendarFromEpoch(t, year, month, day, hour, minute, seconds)) return {};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d %02d/%02d/%04d", hour, minute,
                  static_cast<int>(seconds), day, month, year);
    return buf;
}

}  // namespace kvt
