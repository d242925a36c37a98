#include "dblib/writer_support.h"

#include "dblib/data_file.h"
#include "dblib/sql_text_writers.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvt::writer {

File::File(const std::string& path, int flags, unsigned mode) noexcept
    : fd_(::open(path.c_str(), flags | O_CLOEXEC, static_cast<mode_t>(mode))) {}

File::~File() noexcept {
    if (fd_ >= 0) ::close(fd_);
}

File& File::operator=(File&& o) noexcept {
    if (this != &o) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = o.fd_;
        o.fd_ = -1;
    }
    return *this;
}

bool File::WriteAt(std::int64_t position, const unsigned char* data, std::size_t size) noexcept {
    if (fd_ < 0) return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd_, data + done, size - done,
                                   static_cast<off_t>(position + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::int64_t File::Size() const noexcept {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool File::Close() noexcept {
    if (fd_ < 0) return false;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
}

std::int64_t ExecChange(odbc::Statement& st, const std::string& sql) {
    const SQLRETURN rc = st.Check(SQLExecDirect(
        st.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS));
    if (rc == SQL_NO_DATA) return 0;
    if (!odbc::Succeeded(rc)) return -1;
    SQLLEN rows = 0;
    if (!odbc::Succeeded(st.Check(SQLRowCount(st.get(), &rows))) || rows < 0) return 1;
    return static_cast<std::int64_t>(rows);
}

double NowEpoch() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string NowCatalogueDate() { return sql::CatalogueDate(ToLocalTime(NowEpoch())); }

}  // namespace kvt::writer
