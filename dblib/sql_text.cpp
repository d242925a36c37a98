#include "dblib/sql_text.h"

#include "dblib/db_schema.h"
#include "dblib/odbc_statement.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

namespace kvt {

std::string SqlQuote(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

}  // namespace kvt

namespace kvt::sql {

std::string Format(const char* format, ...) {
    // Statement texts nearly always fit the buffer: one formatting run; only
    // a longer text is formatted a second time, into a string of its length.
    char buffer[1024];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0 && static_cast<std::size_t>(n) < sizeof buffer) {
        out.assign(buffer, static_cast<std::size_t>(n));
    } else if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    return out;
}

std::string Fixed4(double value) {
    // The C formatter works through multi-precision arithmetic for every
    // "%.4f"; std::to_chars gives the same, correctly rounded digits (it is
    // defined as printf's output in the "C" locale) in a fraction of the time.
    // The largest double needs 309 digits before the point.
    char buffer[400];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    if (r.ec != std::errc()) return Format("%.4f", value);
    return std::string(buffer, r.ptr);
}

bool NoLocationCode(std::string_view locationCode) {
    return locationCode.empty() || locationCode == "??";
}

std::string LocationCodeCondition(std::string_view lcodeColumn, std::string_view locationCode) {
    const std::string column(lcodeColumn);
    if (NoLocationCode(locationCode))
        return Format("(%s='?\?' or %s is null)", column.c_str(), column.c_str());
    return Format("%s='%s'", column.c_str(), SqlQuote(locationCode).c_str());
}

std::string DerivedTableAlias(std::string_view dbmsName, std::string_view dbmsVersion) {
    const std::string name(dbmsName);
    const std::string version(dbmsVersion);
    // Old MySQL servers and Oracle reject "as" before a derived table's alias.
    const bool oldMySql = name.size() >= 5 && strncasecmp(name.c_str(), "mysql", 5) == 0 &&
                          std::atoi(version.c_str()) < 5;
    const bool oracle = name.size() >= 6 && strncasecmp(name.c_str(), "oracle", 6) == 0;
    return (oldMySql || oracle) ? " " : "as tmp_filelist";
}

std::string ProbeQuery(const CDbSchema& s) {
    return Format("select %s from %s where 1=0", s.fileList.TBEGIN, s.fileList.name);
}

std::string IntervalQuery(const CDbSchema& s, std::string_view station, std::string_view channel,
                          std::string_view locationCode, double timeBegin, double timeEnd,
                          bool useTend, std::string_view alias) {
    const auto& f = s.fileList;
    const std::string sta = SqlQuote(station);
    const std::string ch = SqlQuote(channel);
    const std::string lc = SqlQuote(locationCode);
    const std::string as(alias);
    // Inner query: the channel's files starting within a day either side of
    // timeBegin; outer query: the overlap test on the derived table. The four
    // times are the templates' "%.4f" values, written by Fixed4 and pasted as
    // text.
    const std::string lo = Fixed4(timeBegin - 86400);
    const std::string hi = Fixed4(timeBegin + 86400);
    const std::string from = Fixed4(timeBegin);
    const std::string to = Fixed4(timeEnd);
    const bool none = NoLocationCode(locationCode);
    if (useTend && none)
        return Format(
            "select %s,%s,%s,%s,%s,%s from (select * from %s where %s='%s' and %s='%s' and "
            "(%s='?\?' or %s is null) and (%s>%s) and (%s<%s)) %s where (%s>%s and "
            "%s<%s) order by %s",
            f.TBEGIN, f.SPS, f.TQTY, f.DATATYPE, f.FOFF, f.CPATH, f.name, f.STA, sta.c_str(), f.CH,
            ch.c_str(), f.LCODE, f.LCODE, f.TBEGIN, lo.c_str(), f.TBEGIN, hi.c_str(), as.c_str(),
            f.TEND, from.c_str(), f.TBEGIN, to.c_str(), f.TBEGIN);
    if (useTend)
        return Format(
            "select %s,%s,%s,%s,%s,%s from (select * from %s where %s='%s' and %s='%s' and "
            "%s='%s' and (%s>%s) and (%s<%s)) %s where (%s>%s and %s<%s) order by %s",
            f.TBEGIN, f.SPS, f.TQTY, f.DATATYPE, f.FOFF, f.CPATH, f.name, f.STA, sta.c_str(), f.CH,
            ch.c_str(), f.LCODE, lc.c_str(), f.TBEGIN, lo.c_str(), f.TBEGIN, hi.c_str(), as.c_str(),
            f.TEND, from.c_str(), f.TBEGIN, to.c_str(), f.TBEGIN);
    if (none)
        return Format(
            "select %s,%s,%s,%s,%s,%s from (select * from %s where %s='%s' and %s='%s' and "
            "(%s='?\?' or %s is null) and (%s>%s) and (%s<%s)) %s where (%s+%s>%s and "
            "%s<%s) order by %s",
            f.TBEGIN, f.SPS, f.TQTY, f.DATATYPE, f.FOFF, f.CPATH, f.name, f.STA, sta.c_str(), f.CH,
            ch.c_str(), f.LCODE, f.LCODE, f.TBEGIN, lo.c_str(), f.TBEGIN, hi.c_str(), as.c_str(),
            f.TBEGIN, f.TQTY, from.c_str(), f.TBEGIN, to.c_str(), f.TBEGIN);
    return Format(
        "select %s,%s,%s,%s,%s,%s from (select * from %s where %s='%s' and %s='%s' and "
        "%s='%s' and (%s>%s) and (%s<%s)) %s where (%s+%s>%s and %s<%s) order by %s",
        f.TBEGIN, f.SPS, f.TQTY, f.DATATYPE, f.FOFF, f.CPATH, f.name, f.STA, sta.c_str(), f.CH,
        ch.c_str(), f.LCODE, lc.c_str(), f.TBEGIN, lo.c_str(), f.TBEGIN, hi.c_str(), as.c_str(),
        f.TBEGIN, f.TQTY, from.c_str(), f.TBEGIN, to.c_str(), f.TBEGIN);
}

std::string LatestFileQuery(const CDbSchema& s, std::string_view station,
                            std::string_view channel, std::string_view locationCode) {
    const auto& f = s.fileList;
    const std::string sta = SqlQuote(station);
    const std::string ch = SqlQuote(channel);
    if (NoLocationCode(locationCode))
        return Format(
            "select %s,%s,%s,%s from %s where %s='%s' and %s='%s' and (%s='?\?' or %s is null) "
            "order by %s desc,%s desc",
            f.FOFF, f.TBEGIN, f.TQTY, f.CPATH, f.name, f.STA, sta.c_str(), f.CH, ch.c_str(),
            f.LCODE, f.LCODE, f.LDDATE, f.TBEGIN);
    const std::string lc = SqlQuote(locationCode);
    return Format(
        "select %s,%s,%s,%s from %s where %s='%s' and %s='%s' and %s='%s' order by %s desc,%s "
        "desc",
        f.FOFF, f.TBEGIN, f.TQTY, f.CPATH, f.name, f.STA, sta.c_str(), f.CH, ch.c_str(), f.LCODE,
        lc.c_str(), f.LDDATE, f.TBEGIN);
}

std::string LatestTimeQuery(const CDbSchema& s, std::string_view station,
                            std::string_view channel, std::string_view locationCode,
                            bool useTend) {
    const auto& f = s.fileList;
    const std::string sta = SqlQuote(station);
    const std::string ch = SqlQuote(channel);
    const std::string lc = SqlQuote(locationCode);
    const std::string end =
        useTend ? std::string(f.TEND) : Format("%s+%s", f.TBEGIN, f.TQTY);
    if (NoLocationCode(locationCode))
        return Format("select max(%s) as maxt from %s where %s='%s' and %s='%s' and (%s is null "
                      "or %s='?\?')",
                      end.c_str(), f.name, f.STA, sta.c_str(), f.CH, ch.c_str(), f.LCODE, f.LCODE);
    return Format("select max(%s) as maxt from %s where %s='%s' and %s='%s' and %s='%s'",
                  end.c_str(), f.name, f.STA, sta.c_str(), f.CH, ch.c_str(), f.LCODE, lc.c_str());
}

namespace {

std::string DataEndQuery(const CDbSchema& s, std::string_view station, std::string_view channel,
                         std::string_view locationCode, std::string_view path, bool byDate) {
    const auto& f = s.fileList;
    const std::string sta = SqlQuote(station);
    const std::string ch = SqlQuote(channel);
    const std::string p = SqlQuote(path);
    const std::string lc = SqlQuote(locationCode);
    const bool none = NoLocationCode(locationCode);
    if (!byDate && none)
        return Format(
            "select %s,%s,%s,%s,%s from %s where %s='%s' and %s='%s' and (%s='?\?' or %s is null) "
            "and %s='%s' order by %s desc",
            f.FOFF, f.SPS, f.TBEGIN, f.TQTY, f.DATATYPE, f.name, f.STA, sta.c_str(), f.CH,
            ch.c_str(), f.LCODE, f.LCODE, f.CPATH, p.c_str(), f.FOFF);
    if (!byDate)
        return Format(
            "select %s,%s,%s,%s,%s from %s where %s='%s' and %s='%s' and %s='%s' and %s='%s' "
            "order by %s desc",
            f.FOFF, f.SPS, f.TBEGIN, f.TQTY, f.DATATYPE, f.name, f.STA, sta.c_str(), f.CH,
            ch.c_str(), f.LCODE, lc.c_str(), f.CPATH, p.c_str(), f.FOFF);
    if (none)
        return Format(
            "select %s,%s,%s,%s,%s from %s where %s='%s' and %s='%s' and (%s='?\?' or %s is null) "
            "and %s='%s' order by %s desc,%s desc",
            f.FOFF, f.SPS, f.TBEGIN, f.TQTY, f.DATATYPE, f.name, f.STA, sta.c_str(), f.CH,
            ch.c_str(), f.LCODE, f.LCODE, f.CPATH, p.c_str(), f.LDDATE, f.TBEGIN);
    return Format(
        "select %s,%s,%s,%s,%s from %s where %s='%s' and %s='%s' and %s='%s' and %s='%s' order "
        "by %s desc,%s desc",
        f.FOFF, f.SPS, f.TBEGIN, f.TQTY, f.DATATYPE, f.name, f.STA, sta.c_str(), f.CH, ch.c_str(),
        f.LCODE, lc.c_str(), f.CPATH, p.c_str(), f.LDDATE, f.TBEGIN);
}

}  // namespace

std::string DataEndByOffsetQuery(const CDbSchema& s, std::string_view station,
                                 std::string_view channel, std::string_view locationCode,
                                 std::string_view path) {
    return DataEndQuery(s, station, channel, locationCode, path, false);
}

std::string DataEndByDateQuery(const CDbSchema& s, std::string_view station,
                               std::string_view channel, std::string_view locationCode,
                               std::string_view path) {
    return DataEndQuery(s, station, channel, locationCode, path, true);
}

}  // namespace kvt::sql
