#pragma once
// CWaveDatabase: the one object through which a program reaches the waveform
// catalogue over one ODBC connection.
//
// It owns the environment and connection handles, the connection parameters,
// the request fields every catalogue operation reads, and the schema registry.
// Operations return 0 or a negative code of db_result.h and never throw or log.
// The object is not locked: use it from one thread at a time.

#include "dblib/data_segment.h"
#include "dblib/db_result.h"
#include "dblib/db_schema.h"
#include "dblib/removal_log.h"
#include "dblib/segment_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

//! Longest data source name, user or password SetParameter accepts.
inline constexpr std::size_t kMaxConnectionParameter = 31;

//! What the "latest file of the channel" query found.
struct LatestFile {
    double tBegin = 0;  //!< epoch s of the newest file with FOFF 512 (0 when none)
    double tQty = 0;    //!< its length in s (0 when none)
    std::string path;   //!< its CPATH (or that of the last row read; empty without rows)
};

//! What a "data end of a file" query found.
struct DataEnd {
    std::int64_t fileOffset = 0;  //!< FOFF of the first row
    std::int64_t endPosition = 0; //!< byte position of the end of the file's data
    double tBegin = 0;            //!< epoch s (by-date form only)
    double tQty = 0;              //!< s (by-date form only)
};

class CWaveDatabase {
public:
    CWaveDatabase();
    virtual ~CWaveDatabase();
    CWaveDatabase(const CWaveDatabase&) = delete;
    CWaveDatabase& operator=(const CWaveDatabase&) = delete;

    // Request fields read by the catalogue operations.
    std::string station;        //!< value for the STA column
    std::string channel;        //!< value for the CH column
    std::string locationCode;   //!< LCODE value; empty or "??" = no location code
    std::string filePath;       //!< CPATH of the file being read or written
    std::string creator;        //!< value for the CREATER column (writers)
    double timeBegin = 0;       //!< interval start, epoch s
    double duration = 0;        //!< timeEnd - timeBegin, s
    double timeEnd = 0;         //!< interval end, epoch s
    double sampleRate = 20.0;   //!< samples per second (writers)
    double calib = 0;           //!< value for CALIB (writers)
    double calper = 0;          //!< value for CALPER (writers)

    //! Sets a connection parameter by name (case ignored): "odbc" (data source),
    //! "user", "password", "data" (data directory), "use_tend" (atoi != 0; when
    //! it becomes true on a live connection the TEND column is checked at once).
    //! Returns 0; db::kUnknownParameter for another name; db::kValueTooLong for
    //! an odbc/user/password value over kMaxConnectionParameter characters.
    //! A refused call changes nothing.
    int SetParameter(std::string_view name, std::string_view value);

    //! Connects with the stored parameters: fresh environment and connection
    //! handles (handles still held from an earlier connect are released first),
    //! schema refresh, TEND check when useTend is set. False on failure, with
    //! both handles null; lastDiagnostic() then says why.
    bool Connect();
    //! Disconnects and frees both handles (no-op when not connected).
    void Disconnect() noexcept;
    //! Liveness probe: a query on FILELIST that returns no row. True when the
    //! connection answers and FILELIST exists.
    bool Probe();
    //! DBMS name and version text of the server. 0, or db::kOdbcFailed.
    int GetServerInfo(std::string& name, std::string& version);

    //! Reads the samples of (timeBegin, timeEnd) (epoch s) of one channel into
    //! out, one segment per file, in ascending file start. out is emptied
    //! first; its arrays belong to the caller. Sets the request fields.
    //! Returns 0 (also with out empty when no file matches), db::kEmptyInterval
    //! (also for times that are not finite), db::kProbeFailed, db::kOdbcFailed
    //! (when a fetch fails midway, out still holds the files read until then).
    //! Unreadable files and unusable rows (unknown DATATYPE, rate not above 0,
    //! negative or absurd length, NULL values) are left out of out; no array
    //! is larger than the interval needs.
    int ReadInterval(std::string_view station, std::string_view channel,
                     std::string_view locationCode, double timeBegin, double timeEnd,
                     std::vector<DataSegment>& out);

    //! The catalogue half of ReadInterval: the same request fields, checks,
    //! query and return codes, but the segments come back planned and
    //! unread: tBegin, tQty, count and filePosition describe the part of
    //! each file inside the interval, samples stays empty. Rows that cannot
    //! describe a file piece are left out.
    int QueryInterval(std::string_view station, std::string_view channel,
                      std::string_view locationCode, double timeBegin, double timeEnd,
                      std::vector<DataSegment>& out);

    //! The file half: reads the first min(seg.count, capacity) samples of a
    //! planned segment (from QueryInterval) into dest, converted to float;
    //! samples past the end of a short file are 0. Uses only the data
    //! directory, no request field and no connection, so segments can be
    //! read on any thread while the object is not being changed. Returns 0,
    //! db::kFileOpenFailed or db::kFileReadFailed (dest then holds part of
    //! the samples).
    int ReadSegmentSamples(const DataSegment& seg, float* dest, std::size_t capacity) const noexcept;
    //! The same in two steps: opens the file of a planned segment into file
    //! (0 or db::kFileOpenFailed), to be read later with SegmentFile::Read,
    //! on any thread.
    int OpenSegment(const DataSegment& seg, SegmentFile& file) const noexcept;

    //! Reads the interval of the request fields (station, channel,
    //! locationCode, timeBegin, timeEnd) into one buffer starting at timeBegin;
    //! later files overwrite earlier ones where they overlap, gaps keep what
    //! buffer held, samples past buffer's end are dropped. 0,
    //! db::kEmptyInterval, db::kProbeFailed, db::kOdbcFailed, db::kNoIntervalRow.
    int ReadIntervalContiguous(std::span<float> buffer);

    //! Newest file of the request channel with FOFF 512. 0 or db::kOdbcFailed.
    int QueryLatestFile(LatestFile& out);
    //! Data end of the request channel's file `path` (relative CPATH), by
    //! offset (byDate false) or by date. 0, db::kNoRow, db::kOdbcFailed.
    int QueryDataEnd(std::string_view path, bool byDate, DataEnd& out);

    // ---- Writers: store samples and catalogue them (wave_database_write.cpp). ----
    // They change timeBegin, duration, filePath and sampleRate as they go; set
    // the request fields again before each call. Samples are 32-bit floats.

    //! Stores count samples covering [timeBegin, timeEnd) (epoch s) of one
    //! channel at sampleRate samples/s. writeMode 0: into files of at most
    //! fileLength s below dataDir (path unused), appending to the channel's
    //! newest file while the data continue; other writeMode: into the existing
    //! ring file `path` (1024-byte header). Returns 0; 1 when stored but a file
    //! that MakeRoom removed could not be deleted; db::kNoOverlap (count does
    //! not match the interval), db::kEmptyInterval, db::kProbeFailed, or the
    //! code of the failing step. A failed step leaves neither a new file nor
    //! samples past the catalogued end of an appended file behind.
    int WriteSamples(const float* samples, std::int32_t count, std::string_view station,
                     std::string_view channel, std::string_view locationCode,
                     std::string_view path, double timeBegin, double timeEnd,
                     std::string_view creator, double sampleRate, double calib, double calper);
    //! WriteSamples in the ring regime with the byte position of the first
    //! block: > 0 used as it is, 0 the data end by offset, < 0 the data end by
    //! date. Later blocks take the data end by date.
    int WriteSamplesAt(const float* samples, std::int32_t count, std::string_view station,
                       std::string_view channel, std::string_view locationCode,
                       std::string_view path, double timeBegin, double timeEnd,
                       std::string_view creator, double sampleRate, double calib, double calper,
                       std::int64_t offset);
    //! Removes (timeBegin, timeEnd) (epoch s) from the creator's rows of one
    //! channel in one transaction; with writeMode 0 the files wholly inside are
    //! deleted after the commit (and logged). 0; 1 when a file could not be
    //! deleted; db::kEmptyInterval, db::kProbeFailed, db::kOdbcFailed,
    //! db::kUpdateFailed, db::kDeleteFailed, db::kInsertFailed. On failure the
    //! catalogue is as before and no file is touched. Autocommit is on again
    //! afterwards in every case.
    int CutInterval(std::string_view station, std::string_view channel,
                    std::string_view locationCode, double timeBegin, double timeEnd,
                    std::string_view creator);
    //! Removes the request channel's (and creator's) oldest files until their
    //! total plus `seconds` of samples stays under maxFileSize and the data
    //! directory's disk keeps more than 10 MiB free. Each removal is logged.
    //! 0; 1 when a file could not be deleted; db::kOdbcFailed; db::kDeleteFailed.
    int MakeRoom(double seconds);
    //! Inserts the row of the current piece (timeBegin, min(duration,
    //! fileLength) s, filePath) with FOFF fileOffset (bytes); advances
    //! timeBegin and shrinks duration by a whole file length when duration
    //! holds one. 0, db::kOdbcFailed, db::kInsertFailed.
    int InsertRow(std::int64_t fileOffset);
    //! Lengthens the row (oldBegin, oldQty) (epoch s, s) of the request
    //! channel by the current piece (min(duration, fileLength) s). 0,
    //! db::kOdbcFailed, db::kUpdateFailed, db::kNoRowUpdated.
    int ExtendRow(double oldBegin, double oldQty);
    //! Deletes the request channel's rows of filePath with FOFF in [from, to)
    //! (bytes). 0, db::kOdbcFailed, db::kDeleteFailed.
    int DeleteRowsInRange(std::int64_t from, std::int64_t to);
    //! Writes count samples into a data file. writeMode != 0: into filePath at
    //! byte `position`; writeMode 0 and position != 0: a new file named after
    //! timeBegin below dataDir (filePath set to it); writeMode 0 and position
    //! 0: appended to existingPath. A new file whose name is taken by a
    //! catalogued file is refused (db::kFileOpenFailed), never overwritten.
    //! 0, db::kFileOpenFailed,
    //! db::kFileWriteFailed (file missing, or the write failed: a new file is
    //! then removed and an appended file cut back to its old size).
    int WriteDataFile(const float* samples, std::int32_t count, std::int64_t position,
                      std::string_view existingPath);
    //! Rewrites the 1024-byte header of filePath from the creator's rows of
    //! it. 0 (also without rows), db::kOdbcFailed, db::kFileOpenFailed.
    int RewriteHeader1024();
    //! Rewrites the 512-byte header of filePath from its row. 0 (nothing
    //! written without a row), db::kOdbcFailed, db::kFileOpenFailed.
    int RewriteHeader512();

    // ---- Schema utilities (wave_database_maintenance.cpp). ----

    //! True when SQLColumns(table, column) lists the column with the type
    //! name typeName (case ignored).
    bool ColumnTypeIs(std::string_view table, std::string_view column, std::string_view typeName);
    //! Executes "alter table T alter column C TYPE". True on success.
    bool AlterColumn(std::string_view table, std::string_view column, std::string_view type);

    //! Takes the newest record out of the removal log into out. Returns how
    //! many records remain, or -1 (out untouched) when the log is empty.
    int TakeRemovalRecord(RemovalRecord& out) { return removalLog_.TakeNewest(out); }
    //! Records in the removal log.
    std::size_t removalLogSize() const noexcept { return removalLog_.size(); }

    //! Free bytes of the file system holding a directory; false when unknown.
    using FreeSpaceFunction = bool (*)(const std::string& directory, std::uint64_t& freeBytes);
    //! Replaces how MakeRoom reads free disk space (tests); null restores the default.
    void setFreeSpaceFunction(FreeSpaceFunction f) noexcept { freeSpace_ = f; }

    // Connection parameters.
    const std::string& dsn() const { return dsn_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    const std::string& dataDir() const { return dataDir_; }
    //! True when the catalogue's FILELIST has a usable TEND column (after the check).
    bool useTend() const { return useTend_; }

    // Writer settings.
    std::int32_t writeMode() const { return writeMode_; }
    void setWriteMode(std::int32_t mode) { writeMode_ = mode; }
    std::int64_t maxFileSize() const { return maxFileSize_; }  //!< bytes
    void setMaxFileSize(std::int64_t bytes) { maxFileSize_ = bytes; }
    std::int32_t fileLength() const { return fileLength_; }   //!< s per data file
    void setFileLength(std::int32_t seconds) { fileLength_ = seconds; }

    //! The library's schema registry (refreshed at every connect).
    const CDbSchema& schema() const { return schema_; }
    //! The ODBC connection handle (SQLHDBC), null when not connected. Owned by
    //! this object; valid until the next Connect or Disconnect.
    void* hdbc() const noexcept;
    //! The ODBC environment handle (SQLHENV), null when not connected.
    void* henv() const noexcept;
    //! Text of the first diagnostic record of the last ODBC failure (empty
    //! when the last operation succeeded or the driver gave no text).
    const std::string& lastDiagnostic() const { return lastDiagnostic_; }

private:
    struct Handles;  // RAII owners of the ODBC handles (odbc_handles.h)
    bool CheckTend();
    int Alias(std::string& alias);
    int WriteBlocks(const float* samples, std::int32_t count, bool ringOffsetGiven,
                    std::int64_t offset);
    int WritePieceAppendRegime(const float* samples, std::int32_t count, bool& removalFailed);
    int WritePieceRing(const float* samples, std::int32_t count, std::int64_t position);
    bool PathIsCatalogued(const std::string& cpath);
    int CutOneFilePerRow(std::vector<std::string>& filesToDelete);
    int CutRing();

    std::unique_ptr<Handles> handles_;
    CDbSchema schema_;
    bool useTend_ = true;
    std::int32_t fileLength_ = 3600;
    std::int32_t writeMode_ = 1;
    std::int64_t maxFileSize_ = 100;
    std::string dsn_ = "kvt";
    std::string user_ = "kvt";
    std::string password_ = "qmz";
    std::string dataDir_ = "D:\\Data";
    std::string lastDiagnostic_;
    RemovalLog removalLog_;                 //!< files removed by MakeRoom and CutInterval
    FreeSpaceFunction freeSpace_ = nullptr; //!< null: std::filesystem::space
    std::string alias_;  //!< derived-table alias of the connected server (empty: not yet asked)
};

}  // namespace kvt
