#include "common/time_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace {

struct Calendar {
    int year, month, day, hour, minute;
    float seconds;
};

Calendar Split(double t, int* ok = nullptr) {
    Calendar c{-1, -1, -1, -1, -1, -1.0f};
    const int r = kvt::CalendarFromEpoch(t, c.year, c.month, c.day, c.hour, c.minute, c.seconds);
    if (ok) *ok = r;
    return c;
}

TEST(LeapYear, GregorianRule) {
    struct Row {
        int year;
        bool leap;
        const char* why;
    } rows[] = {
        {2000, true, "divisible by 400"},   {2012, true, "divisible by 4"},
        {1900, false, "century, not 400"},  {2100, false, "century, not 400"},
        {2023, false, "not divisible by 4"}, {1600, true, "divisible by 400"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(kvt::IsLeapYear(r.year), r.leap) << r.year;
    }
}

TEST(EpochConversion, EpochOriginBothWays) {
    EXPECT_EQ(kvt::EpochFromCalendar(1970, 1, 1, 0, 0, 0), 0.0);
    int ok = 0;
    const Calendar c = Split(0, &ok);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(c.year, 1970);
    EXPECT_EQ(c.month, 1);
    EXPECT_EQ(c.day, 1);
    EXPECT_EQ(c.hour, 0);
    EXPECT_EQ(c.minute, 0);
    EXPECT_EQ(c.seconds, 0.0f);
}

TEST(EpochConversion, FractionOfSecondSurvives) {
    EXPECT_EQ(Split(1.75).seconds, 1.75f);
    const double t = kvt::EpochFromCalendar(2026, 12, 8, 13, 45, 12.25);
    const Calendar c = Split(t);
    EXPECT_EQ(c.hour, 13);
    EXPECT_EQ(c.minute, 45);
    EXPECT_NEAR(c.seconds, 12.25f, 1e-3f);
}

TEST(EpochConversion, NamedDays) {
    struct Row {
        int year, month, day;
        double epoch;
        const char* why;
    } rows[] = {
        {2000, 2, 29, 951782400.0, "leap day of a 400-year leap year"},
        {2000, 12, 31, 978220800.0, "last day of a 400-year cycle"},
        {2100, 3, 1, 4107542400.0, "March after a century without leap day"},
        {1972, 12, 31, 94608000.0, "last day of the first leap year after the epoch"},
        {2026, 12, 8, 1796688000.0, "an ordinary day"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(kvt::EpochFromCalendar(r.year, r.month, r.day, 0, 0, 0), r.epoch);
        int ok = 0;
        const Calendar c = Split(r.epoch, &ok);
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(c.year, r.year);
        EXPECT_EQ(c.month, r.month);
        EXPECT_EQ(c.day, r.day);
    }
}

// Every day of the years the system works in, both ways, with a time of day
// that differs from day to day.
TEST(EpochConversion, EveryDayFrom1970To2299) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    double expected = 0;
    int failures = 0;
    for (int year = 1970; year <= 2299; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const int days = kDays[month - 1] + (month == 2 && kvt::IsLeapYear(year) ? 1 : 0);
            for (int day = 1; day <= days; ++day) {
                const int hour = day % 24, minute = (day * 7) % 60, second = (day * 13) % 60;
                const double t = kvt::EpochFromCalendar(year, month, day, hour, minute, second);
                const double want = expected + hour * 3600.0 + minute * 60.0 + second;
                const Calendar c = Split(t);
                if (t != want || c.year != year || c.month != month || c.day != day ||
                    c.hour != hour || c.minute != minute || c.seconds != second) {
                    ADD_FAILURE() << year << "-" << month << "-" << day << " gives " << t
                                  << " -> " << c.year << "-" << c.month << "-" << c.day;
                    if (++failures > 5) return;
                }
                expected += 86400.0;
            }
        }
    }
    EXPECT_EQ(expected, kvt::EpochFromCalendar(2300, 1, 1, 0, 0, 0));
}

// Every day from 0001-01-01 up to the epoch, counted forward one day at a time.
TEST(EpochConversion, EveryDayFromYearOneTo1970) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int year = 1, month = 1, day = 1;
    int failures = 0;
    for (double t = -kvt::kSecondsFrom0001To1970; t < 0; t += 86400.0) {
        const Calendar c = Split(t + 43200.5);
        if (c.year != year || c.month != month || c.day != day || c.hour != 12) {
            ADD_FAILURE() << "expected " << year << "-" << month << "-" << day << " got " << c.year
                          << "-" << c.month << "-" << c.day;
            if (++failures > 5) return;
        }
        const int days = kDays[month - 1] + (month == 2 && kvt::IsLeapYear(year) ? 1 : 0);
        if (++day > days) {
            day = 1;
            if (++month > 12) {
                month = 1;
                ++year;
            }
        }
    }
    EXPECT_EQ(year, 1970);
    EXPECT_EQ(month, 1);
    EXPECT_EQ(day, 1);
}

TEST(EpochConversion, DaysBefore1970BackToYearOne) {
    struct Row {
        double epoch;
        int year, month, day;
        const char* why;
    } rows[] = {
        {-86400.0, 1969, 12, 31, "the day before the epoch"},
        {-2208988800.0, 1900, 1, 1, "1900, a century without leap day"},
        {-62135596800.0, 1, 1, 1, "first day of the calendar"},
        {-62135596800.0 + 365 * 86400.0, 2, 1, 1, "second year"},
        {-12219292800.0, 1582, 10, 15, "proleptic Gregorian date"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        int ok = 0;
        const Calendar c = Split(r.epoch, &ok);
        EXPECT_EQ(ok, 1);
        EXPECT_EQ(c.year, r.year);
        EXPECT_EQ(c.month, r.month);
        EXPECT_EQ(c.day, r.day);
    }
}

TEST(EpochConversion, BeforeYearOneFails) {
    int ok = 1;
    const Calendar c = Split(-62135596800.0 - 3600.5, &ok);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(c.year, -1);  // untouched
    EXPECT_EQ(c.month, -1);
    EXPECT_EQ(c.day, -1);
    Split(NAN, &ok);
    EXPECT_EQ(ok, 0);
    Split(1e300, &ok);
    EXPECT_EQ(ok, 0);
}

// Two threads splitting different years at once must each get their own
// February: nothing is shared between calls.
TEST(EpochConversion, ReentrantAcrossThreads) {
    const double leapDay = kvt::EpochFromCalendar(2000, 2, 29, 12, 0, 0);
    const double march1 = kvt::EpochFromCalendar(2001, 3, 1, 12, 0, 0);
    int wrong[2] = {0, 0};
    auto run = [&](double t, int month, int day, int& bad) {
        for (int i = 0; i < 20000; ++i) {
            const Calendar c = Split(t);
            if (c.month != month || c.day != day) ++bad;
        }
    };
    std::thread a(run, leapDay, 2, 29, std::ref(wrong[0]));
    std::thread b(run, march1, 3, 1, std::ref(wrong[1]));
    a.join();
    b.join();
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
}

TEST(TruncateDecimals, CutsTowardsMinusInfinity) {
    struct Row {
        double x;
        int n;
        double want;
        const char* why;
    } rows[] = {
        {2.999, 2, 2.99, "never rounded up"},
        {-0.001, 2, -0.01, "negative values go down"},
        {100.123456, 4, 100.1234, "catalogue times keep four decimals"},
        {19.999, 2, 19.99, "sample rate keeps two decimals"},
        {5.0, 2, 5.0, "whole numbers stay"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_DOUBLE_EQ(kvt::TruncateDecimals(r.x, r.n), r.want);
    }
}

TEST(UtcNow, WholeSecondsNearSystemClock) {
    const double now = kvt::UtcNow();
    EXPECT_EQ(now, std::floor(now));
    const double system = static_cast<double>(std::time(nullptr));
    EXPECT_NEAR(now, system, 2.0);
}

TEST(TimeText, BothForms) {
    const double t = kvt::EpochFromCalendar(2026, 12, 8, 9, 5, 7.25);
    EXPECT_EQ(kvt::FormatTimeHundredths(t), "09:05:7.25 08/12/2026");
    EXPECT_EQ(kvt::FormatTimeSeconds(t), "09:05:07 08/12/2026");
    EXPECT_EQ(kvt::FormatTimeSeconds(0), "00:00:00 01/01/1970");
    EXPECT_EQ(kvt::FormatTimeSeconds(-62135596800.0 - 10), "");
}

}  // namespace
