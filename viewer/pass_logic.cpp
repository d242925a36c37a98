#include "viewer/pass_logic.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "dblib/sql_text.h"

namespace kvt::viewer {
namespace {

// Reads one number the way the C scanner's %f does (leading blanks skipped,
// optional sign), but independent of the process locale: a Qt program runs
// with the user's locale, in which the decimal separator may be a comma.
bool ScanFloat(std::string_view text, size_t& pos, float& out) {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    if (pos < text.size() && text[pos] == '+') ++pos;
    const char* first = text.data() + pos;
    const char* last = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(first, last, out, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // %f accepts out-of-range values as +-inf or 0; such a corner is never valid anyway.
        out = INFINITY;
    } else if (ec != std::errc()) {
        return false;
    }
    pos += static_cast<size_t>(ptr - first);
    return true;
}

std::string Format(const char* fmt, auto... args) {
    int n = std::snprintf(nullptr, 0, fmt, args...);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) std::snprintf(s.data(), s.size() + 1, fmt, args...);
    return s;
}

std::string Str(std::string_view v) { return std::string(v); }

}  // namespace

FilterSetting ParseFilter(std::string_view text, double rate) {
    FilterSetting f;
    if (text.empty()) return f;
    size_t pos = 0;
    if (!ScanFloat(text, pos, f.low)) return f;
    size_t commas = 0;
    while (pos < text.size() && text[pos] == ',') { ++pos; ++commas; }
    if (commas == 0 || !ScanFloat(text, pos, f.high)) return f;
    f.on = f.low >= 0 && f.high >= 0 && f.low < f.high && f.low <= rate / 2 &&
           f.high <= rate / 2;
    return f;
}

std::string ChannelCondition(const ChannelColumns& c, std::string_view name, std::string_view ch,
                             std::string_view lcode) {
    std::string s = c.station + "='" + SqlQuote(name) + "' and " + c.channel + "='" +
                    SqlQuote(ch) + "' and ";
    if (sql::NoLocationCode(lcode))
        s += "(" + c.location + " is null or " + c.location + "='?\?')";
    else
        s += c.location + "='" + SqlQuote(lcode) + "'";
    return s;
}

std::string ChannelSelectText(std::string_view selected, const ChannelColumns& cols,
                              std::string_view name, std::string_view ch,
                              std::string_view lcode) {
    return "select " + Str(selected) + " from " + cols.table + " where " +
           ChannelCondition(cols, name, ch, lcode);
}

std::string LatestTimeText(bool useTend, std::string_view tendCol, std::string_view tbeginCol,
                           std::string_view tqtyCol, const ChannelColumns& cols,
                           std::string_view name, std::string_view ch,
                           std::string_view lcode) {
    std::string selected = useTend ? "max(" + Str(tendCol) + ") as maxt"
                                   : "max(" + Str(tbeginCol) + "+" + Str(tqtyCol) + ") as maxt";
    return ChannelSelectText(selected, cols, name, ch, lcode);
}

std::string EventMarksText(std::string_view tbeginCol, std::string_view eventTable,
                           std::string_view staCol, double start, double end,
                           std::string_view name) {
    // The window's times as "%.4f" writes them.
    return "select " + Str(tbeginCol) + " from " + Str(eventTable) + " where (" + Str(tbeginCol) +
           " between " + sql::Fixed4(start) + " and " + sql::Fixed4(end) + ") and " +
           Str(staCol) + "='" + SqlQuote(name) + "' order by " + Str(tbeginCol);
}

PassWindow ComputeWindow(double latestMax, double utcNow, int mode, int tShift, int nsec) {
    PassWindow w;
    w.end = std::floor(mode == 1 ? utcNow : latestMax);
    w.end -= tShift;
    w.start = w.end - nsec;
    return w;
}

std::string LagText(double windowEnd, double latestTime, bool noCatalogueData,
                    std::string_view name, std::string_view ch, std::string_view lcode) {
    const long long lag = static_cast<long long>(windowEnd - latestTime);
    const long long days = lag / 86400;
    long long rem = lag % 86400;
    const int hours = static_cast<int>(rem / 3600);
    rem %= 3600;
    const int minutes = static_cast<int>(rem / 60);
    const int seconds = static_cast<int>(rem % 60);
    if (days == 0) return Format("Отставание данных %02d:%02d:%02d", hours, minutes, seconds);
    if (days == 1)
        return Format("Отставание данных %d сутки - %02d:%02d:%02d", 1, hours, minutes, seconds);
    if (noCatalogueData) return NoDataText(name, ch, lcode);
    return Format("Отставание данных %lld суток - %02d:%02d:%02d", days, hours, minutes, seconds);
}

std::string NoDataText(std::string_view name, std::string_view ch, std::string_view lcode) {
    return "В базе нет данных для станции - \"" + Str(name) + "\", канала - \"" + Str(ch) +
           "\" и LCODE - \"" + Str(lcode) + "\"";
}

std::string NotDescribedText(std::string_view name, std::string_view ch, std::string_view lcode) {
    return "В базе нет описания для станции - \"" + Str(name) + "\" , канала - \"" + Str(ch) +
           "\" и LCODE - \"" + Str(lcode) + "\"";
}

std::string FutureText(std::string_view name, std::string_view ch, std::string_view lcode,
                       const CalendarFields& t) {
    return " Data in future (" + Str(name) + " :: " + Str(ch) + " :: " + Str(lcode) + ")" +
           Format(" - %02d:%02d:%02d %02d/%02d/%04d ", t.hour, t.minute,
                  static_cast<int>(t.seconds), t.day, t.month, t.year);
}

bool SegmentsJoinable(const std::vector<SegmentSpan>& spans, double rate) {
    const double tolerance = 1.5 / rate;
    for (size_t a = 0; a < spans.size(); ++a)
        for (size_t b = a + 1; b < spans.size(); ++b)
            if (std::fabs(spans[a].end - spans[b].begin) > tolerance) return false;
    return true;
}

long long WindowOffset(double segmentBegin, double windowStart, double rate) {
    return static_cast<long long>((segmentBegin - windowStart) * rate);
}

}  // namespace kvt::viewer
