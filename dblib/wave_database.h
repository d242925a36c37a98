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
    //! Returns 0 (also with out empty when no file matches), db::kEmptyInterval,
    //! db::kProbeFailed, db::kOdbcFailed. Unreadable files and unusable rows
    //! are left out of out.
    int ReadInterval(std::string_view station, std::string_view channel,
                     std::string_view locationCode, double timeBegin, double timeEnd,
                     std::vector<DataSegment>& out);

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
    int ReadPiece(DataSegment& seg);

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
};

}  // namespace kvt
