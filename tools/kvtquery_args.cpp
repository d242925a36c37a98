#include "kvtquery_args.h"

#include "common/time_values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace kvt::tools {

namespace {

bool HasPrefix(const std::string& s, const char* prefix) {
    return strncasecmp(s.c_str(), prefix, std::char_traits<char>::length(prefix)) == 0;
}

}  // namespace

bool IsConnectionArgument(const std::string& a) {
    return HasPrefix(a, "ODBC=") || HasPrefix(a, "USER=") || HasPrefix(a, "PASSWORD=") ||
           HasPrefix(a, "DATA=") || HasPrefix(a, "/use_tend") || HasPrefix(a, "-use_tend");
}

const char* QueryUsage() {
    return "usage: kvtquery [ODBC=dsn] [USER=name] [PASSWORD=secret] [DATA=dir] [/use_tend]\n"
           "                [--settings FILE] STATION CHANNEL LCODE BEGIN END\n"
           "       kvtquery [connection as above] --latest STATION CHANNEL [LCODE]\n"
           "Prints the segments the interval reader returns for the channel, or with\n"
           "--latest the channel's newest data time. LCODE \"\", \"??\" or \"-\": none.\n"
           "Times: epoch seconds or UTC YYYY-MM-DD[T ]hh:mm[:ss[.fff]].\n"
           "Connection values not given come from the settings file (kvtview.ini beside\n"
           "the program unless --settings names one) and then from kvt.ini.\n";
}

std::string FormatUtc(double t) {
    if (!std::isfinite(t) || std::fabs(t) > 1e15) return "invalid time";
    const long long hundredths = std::llround(t * 100);
    long long whole = hundredths / 100;
    long long rest = hundredths % 100;
    if (rest < 0) {
        rest += 100;
        whole -= 1;
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    float seconds = 0;
    if (!CalendarFromEpoch(static_cast<double>(whole), year, month, day, hour, minute, seconds))
        return "invalid time";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%02lld", year, month, day,
                  hour, minute, static_cast<int>(seconds), rest);
    return text;
}

std::optional<double> ParseTimeArgument(std::string_view text) {
    const std::string s(text);
    if (s.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(s.c_str(), &end);
    if (end != nullptr && *end == '\0' && std::isfinite(value) &&
        s.find_first_of("-:", 1) == std::string::npos)
        return value;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, used = 0;
    double seconds = 0;
    char sep = 0;
    const int n = std::sscanf(s.c_str(), "%4d-%2d-%2d%c%2d:%2d%n", &year, &month, &day, &sep,
                              &hour, &minute, &used);
    if (n < 6 || (sep != 'T' && sep != ' ')) return std::nullopt;
    std::string rest = s.substr(static_cast<std::size_t>(used));
    if (!rest.empty()) {
        if (rest[0] != ':') return std::nullopt;
        char* tail = nullptr;
        seconds = std::strtod(rest.c_str() + 1, &tail);
        if (tail == rest.c_str() + 1 || *tail != '\0') return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        !(seconds >= 0 && seconds < 61) || year < 1970)
        return std::nullopt;
    return EpochFromCalendar(year, month, day, hour, minute, seconds);
}

std::optional<QueryArgs> ParseQueryArgs(const std::vector<std::string>& args, std::string& error) {
    QueryArgs q;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            q.help = true;
            return q;
        }
        if (a == "--latest") {
            q.latest = true;
        } else if (a == "--settings") {
            if (i + 1 >= args.size()) {
                error = "--settings needs a file name";
                return std::nullopt;
            }
            q.settingsFile = args[++i];
        } else if (IsConnectionArgument(a)) {
            q.connection.push_back(a);
        } else if (a.size() > 1 && a[0] == '-' && a != "-" &&
                   !ParseTimeArgument(a).has_value()) {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            positional.push_back(a);
        }
    }
    const std::size_t want = q.latest ? 2 : 5;
    if (positional.size() < want || positional.size() > (q.latest ? 3 : 5)) {
        error = q.latest ? "--latest needs STATION CHANNEL [LCODE]"
                         : "expected STATION CHANNEL LCODE BEGIN END";
        return std::nullopt;
    }
    q.station = positional[0];
    q.channel = positional[1];
    if (positional.size() > 2) q.locationCode = positional[2] == "-" ? "" : positional[2];
    if (q.station.empty() || q.channel.empty()) {
        error = "station and channel must not be empty";
        return std::nullopt;
    }
    if (q.latest) return q;
    const auto begin = ParseTimeArgument(positional[3]);
    const auto end = ParseTimeArgument(positional[4]);
    if (!begin || !end) {
        error = "cannot read the time " + (!begin ? positional[3] : positional[4]);
        return std::nullopt;
    }
    q.timeBegin = *begin;
    q.timeEnd = *end;
    if (!(q.timeEnd > q.timeBegin)) {
        error = "the interval is empty: END must come after BEGIN";
        return std::nullopt;
    }
    return q;
}

}  // namespace kvt::tools
