// Rows of the catalogue for tests: a FILELIST row per data file, SITECHAN rows
// describing channels, EVENTLIST rows. Table names are taken in the spelling
// the database reports, so the same calls fill every back end, including the
// mixed-case one. Values are quoted safely. Each call throws OdbcError when
// the insert fails.
//
//   kvt::test::FileRow row;
//   row.sta = "ABC"; row.ch = "BHZ"; row.tBegin = 1.7e9; row.tQty = 3600; row.sps = 20;
//   row.cPath = "ABC/00/file.ABC";
//   kvt::test::CatalogueFile(session, row);
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "odbc_session.h"

namespace kvt::test {

//! One FILELIST row. Optional fields left empty are written as NULL, except
//! TEND, which defaults to TBEGIN + TQTY (see `nullTend`).
struct FileRow {
  std::string sta;                    //!< station code
  std::string ch;                     //!< channel code
  std::optional<std::string> lcode;   //!< location code; nullopt writes NULL
  double tBegin = 0;                  //!< first sample, epoch seconds
  double tQty = 0;                    //!< seconds of data
  double sps = 20;                    //!< samples per second
  int dataType = 3;                   //!< sample type code (3 = float32)
  std::optional<std::int64_t> fOff;   //!< byte offset of the first sample; nullopt writes NULL
  std::string cPath;                  //!< path, absolute or relative to the data directory
  std::optional<double> tEnd;         //!< end of data, epoch seconds; nullopt: tBegin + tQty
  bool nullTend = false;              //!< write TEND as NULL (ignores tEnd)
  std::string creater = "kvt_test";   //!< program that wrote the file
  std::optional<std::string> ldDate;  //!< "YYYY-MM-DD HH:MM:SS"; nullopt: the current local time
  std::optional<double> gain;         //!< GAIN; nullopt writes NULL
};

//! Inserts the FILELIST row. When the table has no TEND column (see
//! DropTendColumn) the TEND value is left out.
void CatalogueFile(OdbcSession& session, const FileRow& row);

//! Writes a data file for `row` and catalogues it, the usual way to give a
//! test some samples:
//! - an empty cPath becomes "<sta>/<ch>-<whole seconds of tBegin>.kvt";
//! - tQty 0 becomes samples.size() / sps;
//! - the file is dataDir/cPath (cPath as given when absolute) with the
//!   recorder's header, padded to fOff bytes (512 when fOff is empty or 0),
//!   then the samples in row.dataType.
//! Returns the row as catalogued. Throws on a write or insert failure.
FileRow AddDataFile(OdbcSession& session, const std::string& dataDir, FileRow row,
                    const std::vector<double>& samples);

//! Inserts a SITECHAN row: STA, CHAN, LCODE (nullopt writes NULL), SPS
//! (nullopt writes NULL) and LDDATE = now.
void DescribeChannel(OdbcSession& session, const std::string& sta, const std::string& chan,
                     const std::optional<std::string>& lcode, std::optional<double> sps);

//! Inserts an EVENTLIST row with STA and TBEGIN (epoch seconds; nullopt writes NULL).
void AddEvent(OdbcSession& session, const std::string& sta, std::optional<double> tBegin);

//! SQL literal of a double that reads back to the same value ("%.17g").
std::string SqlNumber(double value);

}  // namespace kvt::test
