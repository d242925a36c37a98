#pragma once
// Internal helpers of the catalogue writers: an owned writable file, running a
// statement that changes rows, and the catalogue date of the current moment.
// Includes <sql.h>; not part of the public headers.

#include "dblib/odbc_handles.h"

#include <cstdint>
#include <string>

namespace kvt::writer {

//! A file opened for writing; closed by the destructor (errors of that close
//! are lost, so callers that care call Close()).
class File {
public:
    File(const std::string& path, int flags, unsigned mode = 0) noexcept;
    ~File() noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    File& operator=(File&& o) noexcept;

    bool ok() const noexcept { return fd_ >= 0; }
    //! Writes all size bytes at byte position; false on any failure (disk
    //! full, file size limit: the signal of the latter must be ignored).
    bool WriteAt(std::int64_t position, const unsigned char* data, std::size_t size) noexcept;
    //! Bytes in the file, -1 on failure.
    std::int64_t Size() const noexcept;
    //! Closes the file; false when the close reports an error.
    bool Close() noexcept;

private:
    int fd_ = -1;
};

//! Executes an insert, update or delete on st. Returns the rows changed
//! (0 when the driver says SQL_NO_DATA), or -1 when it failed.
std::int64_t ExecChange(odbc::Statement& st, const std::string& sql);

//! LDDATE text of the local time now ("YYYY-MM-DD HH:MM:SS").
std::string NowCatalogueDate();

//! Seconds since the epoch now.
double NowEpoch();

}  // namespace kvt::writer
