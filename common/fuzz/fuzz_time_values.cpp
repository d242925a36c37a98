// Fuzzer of the time conversions: any double splits without a fault, and a
// time that splits comes back from its calendar fields.

#include "common/time_values.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < sizeof(double)) return 0;
    double t = 0;
    std::memcpy(&t, data, sizeof t);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    float seconds = 0;
    const int ok = kvt::CalendarFromEpoch(t, year, month, day, hour, minute, seconds);
    (void)kvt::FormatTimeHundredths(t);
    (void)kvt::FormatTimeSeconds(t);
    (void)kvt::TruncateDecimals(t, static_cast<int>(size % 8));
    if (!ok) return 0;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59)
        std::abort();
    // Whole seconds of the years the system converts both ways come back exactly.
    if (year >= 1970 && year < 10000) {
        const double whole = std::floor(t);
        kvt::CalendarFromEpoch(whole, year, month, day, hour, minute, seconds);
        if (kvt::EpochFromCalendar(year, month, day, hour, minute, std::floor(seconds)) != whole)
            std::abort();
    }
    return 0;
}
