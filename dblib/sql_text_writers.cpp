#include "dblib/sql_text_writers.h"

#include "dblib/db_schema.h"
#include "dblib/odbc_statement.h"
#include "dblib/sql_text.h"

#include <cinttypes>

namespace kvt::sql {

namespace {

// A value ready to stand between single quotes.
struct Quoted {
    explicit Quoted(std::string_view v) : text(SqlQuote(v)) {}
    const char* c() const { return text.c_str(); }
    std::string text;
};

// The channel's three conditions, "STA='x' and CH='y' and <lcode condition>".
std::string ChannelCondition(const FileListNames& f, const ChannelKey& key) {
    const Quoted sta(key.station), ch(key.channel);
    const std::string lc = LocationCodeCondition(f.LCODE, key.locationCode);
    return Format("%s='%s' and %s='%s' and %s", f.STA, sta.c(), f.CH, ch.c(), lc.c_str());
}

// Text of the row end: TEND, or "TBEGIN+TQTY" for catalogues without TEND.
std::string RowEnd(const FileListNames& f, bool useTend) {
    return useTend ? std::string(f.TEND) : Format("%s+%s", f.TBEGIN, f.TQTY);
}

}  // namespace

std::string CatalogueDate(const LocalTime& t) {
    return Format("%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
}

std::string InsertRowStatement(const CDbSchema& s, const NewRow& r, bool useTend) {
    const auto& f = s.fileList;
    const Quoted sta(r.key.station), ch(r.key.channel), lc(r.key.locationCode), path(r.cpath),
        creator(r.creator), date(r.ldDate);
    // The location code is written whenever one is given, "??" included.
    const bool withLcode = !r.key.locationCode.empty();
    if (useTend && !withLcode)
        return Format(
            "insert into %s(%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s) "
            "values('%s',%0.4f,%0.2f,%0.3f,1,'%s',3,'%s','%s',{ts '%s'},%" PRId64
            ",%0.2f,%0.2f,%0.4f)",
            f.name, f.STA, f.TBEGIN, f.TQTY, f.SPS, f.GAIN, f.CPATH, f.DATATYPE, f.CH, f.CREATER,
            f.LDDATE, f.FOFF, f.CALIB, f.CALPER, f.TEND, sta.c(), r.tBegin, r.tQty, r.sps,
            path.c(), ch.c(), creator.c(), date.c(), r.fileOffset, r.calib, r.calper,
            r.tBegin + r.tQty);
    if (useTend)
        return Format(
            "insert into %s(%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s) "
            "values('%s',%0.4f,%0.2f,%0.3f,1,'%s',3,'%s','%s',{ts '%s'},%" PRId64
            ",%0.2f,%0.2f,%0.4f,'%s')",
            f.name, f.STA, f.TBEGIN, f.TQTY, f.SPS, f.GAIN, f.CPATH, f.DATATYPE, f.CH, f.CREATER,
            f.LDDATE, f.FOFF, f.CALIB, f.CALPER, f.TEND, f.LCODE, sta.c(), r.tBegin, r.tQty, r.sps,
            path.c(), ch.c(), creator.c(), date.c(), r.fileOffset, r.calib, r.calper,
            r.tBegin + r.tQty, lc.c());
    if (!withLcode)
        return Format(
            "insert into %s(%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s) "
            "values('%s',%0.4f,%0.2f,%0.3f,1,'%s',3,'%s','%s',{ts '%s'},%" PRId64 ",%0.2f,%0.2f)",
            f.name, f.STA, f.TBEGIN, f.TQTY, f.SPS, f.GAIN, f.CPATH, f.DATATYPE, f.CH, f.CREATER,
            f.LDDATE, f.FOFF, f.CALIB, f.CALPER, sta.c(), r.tBegin, r.tQty, r.sps, path.c(), ch.c(),
            creator.c(), date.c(), r.fileOffset, r.calib, r.calper);
    return Format(
        "insert into %s(%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s) "
        "values('%s',%0.4f,%0.2f,%0.3f,1,'%s',3,'%s','%s',{ts '%s'},%" PRId64 ",%0.2f,%0.2f,'%s')",
        f.name, f.STA, f.TBEGIN, f.TQTY, f.SPS, f.GAIN, f.CPATH, f.DATATYPE, f.CH, f.CREATER,
        f.LDDATE, f.FOFF, f.CALIB, f.CALPER, f.LCODE, sta.c(), r.tBegin, r.tQty, r.sps, path.c(),
        ch.c(), creator.c(), date.c(), r.fileOffset, r.calib, r.calper, lc.c());
}

std::string ExtendRowStatement(const CDbSchema& s, const ChannelKey& key, double newQty,
                               std::string_view ldDate, double newEnd, double oldBegin,
                               double oldQty, bool withTend) {
    const auto& f = s.fileList;
    const Quoted sta(key.station), ch(key.channel), date(ldDate);
    // This statement keeps the location-code equality in parentheses.
    const std::string lc = NoLocationCode(key.locationCode)
                               ? LocationCodeCondition(f.LCODE, key.locationCode)
                               : "(" + LocationCodeCondition(f.LCODE, key.locationCode) + ")";
    const std::string tend = withTend ? Format(",%s=%0.4f", f.TEND, newEnd) : std::string();
    return Format("update %s set %s=%0.2f,%s={ts '%s'}%s where %s='%s' and %s='%s' and %s "
                  "and %s=%0.4f and %s=%0.2f",
                  f.name, f.TQTY, newQty, f.LDDATE, date.c(), tend.c_str(), f.STA, sta.c(), f.CH,
                  ch.c(), lc.c_str(), f.TBEGIN, oldBegin, f.TQTY, oldQty);
}

std::string DeleteRowsInRangeStatement(const CDbSchema& s, const ChannelKey& key,
                                       std::string_view cpath, std::int64_t from,
                                       std::int64_t to) {
    const auto& f = s.fileList;
    const Quoted path(cpath);
    return Format("delete from %s where %s and %s='%s' and %s>=%" PRId64 " and %s<%" PRId64,
                  f.name, ChannelCondition(f, key).c_str(), f.CPATH, path.c(), f.FOFF, from,
                  f.FOFF, to);
}

std::string Header512Query(const CDbSchema& s, const ChannelKey& key, std::string_view creator,
                           std::string_view cpath, bool useTend) {
    const auto& f = s.fileList;
    const Quoted who(creator), path(cpath);
    return Format("select %s,%s,%s,%s from %s where %s and %s='%s' and %s='%s'", f.SPS, f.FOFF,
                  f.TBEGIN, useTend ? f.TEND : f.TQTY, f.name, ChannelCondition(f, key).c_str(),
                  f.CREATER, who.c(), f.CPATH, path.c());
}

std::string Header1024Query(const CDbSchema& s, const ChannelKey& key, std::string_view creator,
                            std::string_view cpath, bool useTend) {
    const auto& f = s.fileList;
    const Quoted who(creator), path(cpath);
    return Format("select min(%s) as minT,max(%s) as maxT from %s where %s and %s='%s' and %s='%s'",
                  f.TBEGIN, RowEnd(f, useTend).c_str(), f.name, ChannelCondition(f, key).c_str(),
                  f.CREATER, who.c(), f.CPATH, path.c());
}

std::string StorageTotalQuery(const CDbSchema& s, const ChannelKey& key, std::string_view creator) {
    const auto& f = s.fileList;
    const Quoted who(creator);
    return Format("select sum(%s+%s*%s*4) as SIZE from %s where %s and %s='%s' and %s=%d", f.FOFF,
                  f.TQTY, f.SPS, f.name, ChannelCondition(f, key).c_str(), f.CREATER, who.c(),
                  f.FOFF, 512);
}

std::string OldestFilesQuery(const CDbSchema& s, const ChannelKey& key, std::string_view creator) {
    const auto& f = s.fileList;
    const Quoted who(creator);
    return Format("select %s,%s,%s,%s from %s where %s and %s='%s' and %s=%d order by %s,%s",
                  f.FOFF, f.TQTY, f.SPS, f.CPATH, f.name, ChannelCondition(f, key).c_str(),
                  f.CREATER, who.c(), f.FOFF, 512, f.LDDATE, f.TBEGIN);
}

std::string RowsOfPathQuery(const CDbSchema& s, std::string_view cpath) {
    const auto& f = s.fileList;
    const Quoted path(cpath);
    return Format("select count(*) from %s where %s='%s'", f.name, f.CPATH, path.c());
}

std::string DeleteByPathStatement(const CDbSchema& s, std::string_view cpath) {
    const auto& f = s.fileList;
    const Quoted path(cpath);
    return Format("delete from %s where %s='%s'", f.name, f.CPATH, path.c());
}

std::string CutInsideQuery(const CDbSchema& s, const ChannelKey& key, double timeBegin,
                           double timeEnd, std::string_view creator, bool useTend) {
    const auto& f = s.fileList;
    const Quoted who(creator);
    return Format("select %s,%s,%s from %s where %s and %s>%.4f and %s<%.4f and %s='%s'", f.CPATH,
                  f.TBEGIN, useTend ? f.TEND : f.TQTY, f.name, ChannelCondition(f, key).c_str(),
                  f.TBEGIN, timeBegin, RowEnd(f, useTend).c_str(), timeEnd, f.CREATER, who.c());
}

std::string CutStraddleQuery(const CDbSchema& s, const ChannelKey& key, double timeBegin,
                             std::string_view creator, bool useTend) {
    const auto& f = s.fileList;
    const Quoted who(creator);
    return Format("select %s,%s,%s from %s where %s and %s<%.4f and %s>%.4f and %s='%s'", f.CPATH,
                  f.TBEGIN, useTend ? f.TEND : f.TQTY, f.name, ChannelCondition(f, key).c_str(),
                  f.TBEGIN, timeBegin, RowEnd(f, useTend).c_str(), timeBegin, f.CREATER, who.c());
}

std::string CutDeleteRowStatement(const CDbSchema& s, const ChannelKey& key, double tBegin,
                                  double endOrQty, std::string_view cpath,
                                  std::string_view creator, bool useTend) {
    const auto& f = s.fileList;
    const Quoted path(cpath), who(creator);
    const std::string match = useTend ? Format("%s=%.4f", f.TEND, endOrQty)
                                      : Format("%s=%.2f", f.TQTY, endOrQty);
    return Format("delete from %s where %s and %s=%.4f and %s and %s='%s' and %s='%s'", f.name,
                  ChannelCondition(f, key).c_str(), f.TBEGIN, tBegin, match.c_str(), f.CPATH,
                  path.c(), f.CREATER, who.c());
}

std::string CutShortenStatement(const CDbSchema& s, const ChannelKey& key, double timeBegin,
                                double rowBegin, double endOrQty, std::string_view creator,
                                bool useTend) {
    const auto& f = s.fileList;
    const Quoted who(creator);
    if (useTend)
        return Format("update %s set %s=%.2f,%s=%.4f where %s and %s=%.4f and %s=%.4f and %s='%s'",
                      f.name, f.TQTY, timeBegin - rowBegin, f.TEND, timeBegin,
                      ChannelCondition(f, key).c_str(), f.TBEGIN, rowBegin, f.TEND, endOrQty,
                      f.CREATER, who.c());
    return Format("update %s set %s=%.2f where %s and %s=%.4f and %s=%.2f and %s='%s'", f.name,
                  f.TQTY, timeBegin - rowBegin, ChannelCondition(f, key).c_str(), f.TBEGIN,
                  rowBegin, f.TQTY, endOrQty, f.CREATER, who.c());
}

std::string CutRingDeleteInsideStatement(const CDbSchema& s, const ChannelKey& key,
                                         double timeBegin, double timeEnd,
                                         std::string_view creator, bool useTend) {
    const auto& f = s.fileList;
    const Quoted who(creator);
    return Format("delete from %s where %s and %s>%.4f and %s<%.4f and %s='%s'", f.name,
                  ChannelCondition(f, key).c_str(), f.TBEGIN, timeBegin,
                  RowEnd(f, useTend).c_str(), timeEnd, f.CREATER, who.c());
}

std::string CutRingOverlapQuery(const CDbSchema& s, const ChannelKey& key, double timeBegin,
                                double timeEnd, std::string_view creator, bool useTend) {
    const auto& f = s.fileList;
    const Quoted who(creator);
    const std::string end = RowEnd(f, useTend);
    return Format("select %s,%s,%s,%s,%s,%s,%s,%s,%s from %s where %s and %s<%.4f and %s>%.4f and "
                  "%s='%s'",
                  f.TBEGIN, end.c_str(), f.CPATH, f.FOFF, f.SPS, f.GAIN, f.DATATYPE, f.CALIB,
                  f.CALPER, f.name, ChannelCondition(f, key).c_str(), f.TBEGIN, timeEnd,
                  end.c_str(), timeBegin, f.CREATER, who.c());
}

namespace {

// A ring row is one block of a file: its file and byte offset name it.
std::string RingRowMatch(const FileListNames& f, const ChannelKey& key, const RingRow& old,
                         std::string_view creator) {
    const Quoted path(old.cpath), who(creator);
    return Format("%s and %s='%s' and %s=%" PRId64 " and %s=%.4f and %s='%s'",
                  ChannelCondition(f, key).c_str(), f.CPATH, path.c(), f.FOFF, old.fileOffset,
                  f.TBEGIN, old.tBegin, f.CREATER, who.c());
}

}  // namespace

std::string CutRingUpdateStatement(const CDbSchema& s, const ChannelKey& key, const RingRow& old,
                                   double newBegin, double newQty, std::int64_t newOffset,
                                   std::string_view creator, bool useTend) {
    const auto& f = s.fileList;
    const std::string where = RingRowMatch(f, key, old, creator);
    if (useTend)
        return Format("update %s set %s=%.4f,%s=%.2f,%s=%" PRId64 ",%s=%.4f where %s", f.name,
                      f.TBEGIN, newBegin, f.TQTY, newQty, f.FOFF, newOffset, f.TEND,
                      newBegin + newQty, where.c_str());
    return Format("update %s set %s=%.4f,%s=%.2f,%s=%" PRId64 " where %s", f.name, f.TBEGIN,
                  newBegin, f.TQTY, newQty, f.FOFF, newOffset, where.c_str());
}

std::string CutRingDeleteRowStatement(const CDbSchema& s, const ChannelKey& key, const RingRow& old,
                                      std::string_view creator) {
    const auto& f = s.fileList;
    return Format("delete from %s where %s", f.name, RingRowMatch(f, key, old, creator).c_str());
}

std::string CutRingInsertStatement(const CDbSchema& s, const ChannelKey& key, const RingRow& old,
                                   double newBegin, double newQty, std::int64_t newOffset,
                                   std::string_view creator, std::string_view ldDate,
                                   bool useTend) {
    const auto& f = s.fileList;
    const Quoted sta(key.station), ch(key.channel), path(old.cpath), who(creator), date(ldDate);
    std::string columns = Format("%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s", f.STA, f.TBEGIN, f.TQTY,
                                 f.SPS, f.GAIN, f.CPATH, f.DATATYPE, f.CH, f.CREATER, f.LDDATE,
                                 f.FOFF, f.CALIB, f.CALPER);
    std::string values =
        Format("'%s',%.4f,%.2f,%.3f,%g,'%s',%d,'%s','%s',{ts '%s'},%" PRId64 ",%.2f,%.2f", sta.c(),
               newBegin, newQty, old.sps, old.gain, path.c(), old.dataType, ch.c(), who.c(),
               date.c(), newOffset, old.calib, old.calper);
    if (useTend) {
        columns += Format(",%s", f.TEND);
        values += Format(",%.4f", newBegin + newQty);
    }
    if (!key.locationCode.empty()) {
        columns += Format(",%s", f.LCODE);
        values += Format(",'%s'", Quoted(key.locationCode).c());
    }
    return Format("insert into %s(%s) values(%s)", f.name, columns.c_str(), values.c_str());
}

std::string AlterColumnStatement(std::string_view table, std::string_view column,
                                 std::string_view type) {
    const std::string t(table), c(column), ty(type);
    return Format("alter table %s alter column %s %s", t.c_str(), c.c_str(), ty.c_str());
}

}  // namespace kvt::sql
