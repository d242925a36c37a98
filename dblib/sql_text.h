#pragma once
// SQL texts of the catalogue queries, built from fixed templates.
//
// Table and column names come from a CDbSchema (the database's own spelling);
// values are pasted between single quotes with their quotes doubled, times are
// written with "%.4f". For values without quotes the texts are exactly the
// templates' output. Pure functions: no database, no I/O.

#include <string>
#include <string_view>

namespace kvt {
class CDbSchema;

//! Doubles every single quote, so that a value pasted between single quotes
//! into SQL text stays one literal: O'Brien -> O''Brien. Values without quotes
//! come back unchanged.
std::string SqlQuote(std::string_view value);
}

namespace kvt::sql {

//! True when a location code stands for "no location code": empty or "??".
bool NoLocationCode(std::string_view locationCode);

//! The location-code condition on column lcodeColumn: "(C='??' or C is null)"
//! for no location code, else "C='value'" (value quoted).
std::string LocationCodeCondition(std::string_view lcodeColumn, std::string_view locationCode);

//! Alias of the derived table of the interval query for a server, from its
//! SQL_DBMS_NAME and SQL_DBMS_VER texts: " " for a "mysql..." server below
//! major version 5 and for "oracle..." servers, else "as tmp_filelist".
std::string DerivedTableAlias(std::string_view dbmsName, std::string_view dbmsVersion);

//! Liveness probe: "select TBEGIN from FILELIST where 1=0".
std::string ProbeQuery(const CDbSchema& s);

//! Interval query: the files of a channel overlapping (timeBegin, timeEnd),
//! selecting TBEGIN, SPS, TQTY, DATATYPE, FOFF, CPATH ordered by TBEGIN; the
//! end test uses TEND when useTend, else TBEGIN+TQTY. Times in epoch s.
std::string IntervalQuery(const CDbSchema& s, std::string_view station, std::string_view channel,
                          std::string_view locationCode, double timeBegin, double timeEnd,
                          bool useTend, std::string_view alias);

//! Latest file of a channel: FOFF, TBEGIN, TQTY, CPATH ordered by LDDATE desc, TBEGIN desc.
std::string LatestFileQuery(const CDbSchema& s, std::string_view station,
                            std::string_view channel, std::string_view locationCode);

//! Data end of a file by offset: FOFF, SPS, TBEGIN, TQTY, DATATYPE of the rows
//! of path (relative, forward slashes) ordered by FOFF desc.
std::string DataEndByOffsetQuery(const CDbSchema& s, std::string_view station,
                                 std::string_view channel, std::string_view locationCode,
                                 std::string_view path);

//! Data end of a file by date: as DataEndByOffsetQuery, ordered by LDDATE desc, TBEGIN desc.
std::string DataEndByDateQuery(const CDbSchema& s, std::string_view station,
                               std::string_view channel, std::string_view locationCode,
                               std::string_view path);

//! Newest data time of a channel, as the viewer asks for it: max(TEND) when
//! useTend, else max(TBEGIN+TQTY), aliased maxt; the location-code condition
//! in the viewer's form "(C is null or C='??')".
std::string LatestTimeQuery(const CDbSchema& s, std::string_view station,
                            std::string_view channel, std::string_view locationCode,
                            bool useTend);

//! printf-style formatting into a string of any length (never cut).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

//! value as "%.4f" writes it in the "C" locale (times in statement texts),
//! at a fraction of the C formatter's cost.
std::string Fixed4(double value);

}  // namespace kvt::sql
