#pragma once
// SQL texts of the catalogue writers: inserting, lengthening and deleting
// FILELIST rows, the header rewrite queries, the storage quota queries, the
// interval cut and the two schema utilities.
//
// Names come from a CDbSchema; values are pasted between single quotes with
// their quotes doubled; for values without quotes the texts are exactly the
// templates' output. Every statement that names a channel comes in two forms
// chosen by the location code: "(LCODE='??' or LCODE is null)" for none
// (empty or "??"), else "LCODE='value'". Pure functions: no database, no I/O.

#include "dblib/data_file.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kvt {
class CDbSchema;
}

namespace kvt::sql {

//! The channel a statement is limited to.
struct ChannelKey {
    std::string_view station;
    std::string_view channel;
    std::string_view locationCode;  //!< empty or "??": no location code
};

//! LDDATE text of a local calendar time: "YYYY-MM-DD HH:MM:SS".
std::string CatalogueDate(const LocalTime& t);

//! Values of one new FILELIST row.
struct NewRow {
    ChannelKey key;
    double tBegin = 0;            //!< epoch s
    double tQty = 0;              //!< s
    double sps = 0;               //!< samples/s
    std::string_view cpath;       //!< relative to the data directory, "/" separated
    std::string_view creator;     //!< CREATER
    std::string_view ldDate;      //!< CatalogueDate text
    std::int64_t fileOffset = 0;  //!< FOFF, bytes
    double calib = 0;
    double calper = 0;
};

//! Insert of a new row (GAIN 1, DATATYPE 3). With useTend TEND = tBegin + tQty
//! is written as well. The location code is written whenever it is not empty
//! ("??" counts as a value here).
std::string InsertRowStatement(const CDbSchema& s, const NewRow& row, bool useTend);

//! Lengthens the row (oldBegin, oldQty) of a channel: TQTY = newQty, LDDATE,
//! TEND = newEnd (left out with withTend false, for catalogues without TEND).
std::string ExtendRowStatement(const CDbSchema& s, const ChannelKey& key, double newQty,
                               std::string_view ldDate, double newEnd, double oldBegin,
                               double oldQty, bool withTend = true);

//! Deletes the channel's rows of file cpath whose FOFF lies in [from, to).
std::string DeleteRowsInRangeStatement(const CDbSchema& s, const ChannelKey& key,
                                       std::string_view cpath, std::int64_t from,
                                       std::int64_t to);

//! SPS, FOFF, TBEGIN and TEND (useTend) or TQTY of the creator's rows of cpath.
std::string Header512Query(const CDbSchema& s, const ChannelKey& key, std::string_view creator,
                           std::string_view cpath, bool useTend);

//! minT = min(TBEGIN), maxT = max(TEND) (useTend) or max(TBEGIN+TQTY) of the
//! creator's rows of cpath.
std::string Header1024Query(const CDbSchema& s, const ChannelKey& key, std::string_view creator,
                            std::string_view cpath, bool useTend);

//! SIZE = sum(FOFF + TQTY * SPS * 4) of the creator's whole files (FOFF 512).
std::string StorageTotalQuery(const CDbSchema& s, const ChannelKey& key, std::string_view creator);

//! FOFF, TQTY, SPS, CPATH of the creator's whole files, oldest first (LDDATE, TBEGIN).
std::string OldestFilesQuery(const CDbSchema& s, const ChannelKey& key, std::string_view creator);

//! Number of rows of file cpath, of any channel: "select count(*) from FILELIST where CPATH='...'".
std::string RowsOfPathQuery(const CDbSchema& s, std::string_view cpath);

//! Deletes every row of file cpath.
std::string DeleteByPathStatement(const CDbSchema& s, std::string_view cpath);

// ---- Interval cut. "end" is TEND with useTend, else TBEGIN+TQTY. ----

//! CPATH, TBEGIN, TEND (or TQTY) of the creator's rows with TBEGIN > timeBegin
//! and end < timeEnd.
std::string CutInsideQuery(const CDbSchema& s, const ChannelKey& key, double timeBegin,
                           double timeEnd, std::string_view creator, bool useTend);

//! CPATH, TBEGIN, TEND (or TQTY) of the creator's rows with TBEGIN < timeBegin
//! and end > timeBegin.
std::string CutStraddleQuery(const CDbSchema& s, const ChannelKey& key, double timeBegin,
                             std::string_view creator, bool useTend);

//! Deletes one row of a file: TBEGIN = tBegin and TEND = endOrQty ("%.4f") with
//! useTend, else TQTY = endOrQty ("%.2f"), and CPATH, CREATER.
std::string CutDeleteRowStatement(const CDbSchema& s, const ChannelKey& key, double tBegin,
                                  double endOrQty, std::string_view cpath,
                                  std::string_view creator, bool useTend);

//! Shortens a row to end at timeBegin. With useTend it sets TQTY and TEND and
//! matches TBEGIN and TEND (= endOrQty); without, it sets TQTY and matches
//! TBEGIN and TQTY (= endOrQty).
std::string CutShortenStatement(const CDbSchema& s, const ChannelKey& key, double timeBegin,
                                double rowBegin, double endOrQty, std::string_view creator,
                                bool useTend);

//! Ring files: deletes the creator's rows with TBEGIN > timeBegin and end < timeEnd.
std::string CutRingDeleteInsideStatement(const CDbSchema& s, const ChannelKey& key,
                                         double timeBegin, double timeEnd,
                                         std::string_view creator, bool useTend);

//! Ring files: TBEGIN, end, CPATH, FOFF, SPS, GAIN, DATATYPE, CALIB, CALPER of
//! the creator's rows with TBEGIN < timeEnd and end > timeBegin.
std::string CutRingOverlapQuery(const CDbSchema& s, const ChannelKey& key, double timeBegin,
                                double timeEnd, std::string_view creator, bool useTend);

//! One ring row as the overlap query read it.
struct RingRow {
    double tBegin = 0;            //!< epoch s
    double tEnd = 0;              //!< epoch s (TEND or TBEGIN + TQTY)
    std::string cpath;
    std::int64_t fileOffset = 0;  //!< FOFF, bytes
    double sps = 0;
    double gain = 1;
    int dataType = 3;
    double calib = 0;
    double calper = 0;
};

//! Ring files: sets a row's TBEGIN, TQTY, FOFF (and TEND with useTend) to the
//! given values; the row is matched by channel, CPATH, its old FOFF and
//! TBEGIN, and CREATER.
std::string CutRingUpdateStatement(const CDbSchema& s, const ChannelKey& key, const RingRow& old,
                                   double newBegin, double newQty, std::int64_t newOffset,
                                   std::string_view creator, bool useTend);

//! Ring files: deletes one row matched as in CutRingUpdateStatement.
std::string CutRingDeleteRowStatement(const CDbSchema& s, const ChannelKey& key, const RingRow& old,
                                      std::string_view creator);

//! Ring files: inserts the part of a split row after the cut, copying the
//! old row's CPATH, SPS, GAIN, DATATYPE, CALIB and CALPER.
std::string CutRingInsertStatement(const CDbSchema& s, const ChannelKey& key, const RingRow& old,
                                   double newBegin, double newQty, std::int64_t newOffset,
                                   std::string_view creator, std::string_view ldDate,
                                   bool useTend);

//! "alter table T alter column C TYPE" (names and type as given).
std::string AlterColumnStatement(std::string_view table, std::string_view column,
                                 std::string_view type);

}  // namespace kvt::sql
