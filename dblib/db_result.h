#pragma once
// Result codes of the waveform database library.
//
// Every library operation returns 0 on success or one of the negative codes
// below; nothing throws across the library boundary and the library never logs.
// The programs decide what to show (ResultText gives an English description).

namespace kvt::db {

inline constexpr int kOk = 0;                   //!< success
inline constexpr int kProbeFailed = -100;       //!< liveness probe failed (connection lost)
inline constexpr int kOdbcFailed = -101;        //!< an ODBC call failed (allocation, execution, server info, fetch)
inline constexpr int kNoRow = -102;             //!< no catalogue row found where one was required
inline constexpr int kInsertFailed = -103;      //!< a catalogue row could not be inserted
inline constexpr int kUpdateFailed = -104;      //!< a catalogue row could not be updated
inline constexpr int kDeleteFailed = -105;      //!< a row could not be deleted, or the storage total not read
inline constexpr int kNoRowUpdated = -106;      //!< an update matched no row
inline constexpr int kFileOpenFailed = -107;    //!< a data file cannot be opened or created
inline constexpr int kFileWriteFailed = -108;   //!< a data file to write into is missing, or writing failed
inline constexpr int kFileReadFailed = -109;    //!< an exception while reading a data file
inline constexpr int kFileMissing = -110;       //!< a data file does not exist (existence check)
inline constexpr int kNoOverlap = -111;         //!< no overlap with the interval, or sample count mismatch
inline constexpr int kEmptyInterval = -112;     //!< timeEnd <= timeBegin
inline constexpr int kUnknownParameter = -113;  //!< parameter name not recognised
inline constexpr int kNoIntervalRow = -114;     //!< no catalogue row for the interval
//! A connection parameter (data source, user, password) longer than
//! kMaxConnectionParameter characters: refused rather than cut.
inline constexpr int kValueTooLong = -115;
//! A data file row that cannot be read as stored (unknown DATATYPE, rate <= 0,
//! negative or absurd length, times that are not numbers): the row is skipped.
inline constexpr int kBadRow = -116;

//! English text for a result code ("unknown result code" for others).
//! Returns a pointer to a static string; never null.
const char* ResultText(int code) noexcept;

}  // namespace kvt::db
