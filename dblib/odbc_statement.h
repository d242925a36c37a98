#pragma once
// A small owner of one ODBC statement for the programs' own catalogue queries.
//
// The statement is allocated on a connection handle that someone else owns
// (normally CWaveDatabase::hdbc()) and freed by the destructor. Every call
// records the result and, on failure, the message text of the first diagnostic
// record of this statement (or of the connection, when allocation failed).
//
//     kvt::OdbcStatement st(db.hdbc());
//     double sps = 0; std::int64_t ind = 0;
//     if (st.ExecDirect(sql) && st.BindDouble(1, &sps, &ind))
//         while (st.Fetch() == kvt::FetchResult::Row) { ... }
//
// Bound buffers must outlive the fetch loop. No <sql.h> is needed to use it.

#include <cstdint>
#include <string>
#include <string_view>

#include "dblib/sql_text.h"  // SqlQuote, for the values of callers' own statements

namespace kvt {

//! Length/indicator value of a NULL column (SQL_NULL_DATA).
inline constexpr std::int64_t kSqlNullData = -1;

//! Outcome of one Fetch.
enum class FetchResult {
    Row,     //!< a row was fetched (SQL_SUCCESS or SQL_SUCCESS_WITH_INFO)
    NoData,  //!< no more rows (SQL_NO_DATA)
    Error,   //!< the fetch failed; diagnostic() tells why
};

class OdbcStatement {
public:
    //! Allocates a statement on hdbc (an ODBC connection handle, not owned).
    //! A null or unusable hdbc gives a statement for which ok() is false and
    //! every call fails.
    explicit OdbcStatement(void* hdbc) noexcept;
    ~OdbcStatement() noexcept;
    OdbcStatement(const OdbcStatement&) = delete;
    OdbcStatement& operator=(const OdbcStatement&) = delete;

    //! True when the statement was allocated.
    bool ok() const noexcept { return hstmt_ != nullptr; }

    //! Executes sql (SQLExecDirect). False on failure; see diagnostic(). An
    //! update or delete that matched no row succeeds with lastReturn() 100
    //! (SQL_NO_DATA).
    bool ExecDirect(std::string_view sql);

    //! Binds result column `column` (1-based) as SQL_C_DOUBLE into *value;
    //! *indicator receives the length or kSqlNullData (may be null).
    bool BindDouble(int column, double* value, std::int64_t* indicator);
    //! Binds as SQL_C_SLONG (32-bit signed).
    bool BindInt32(int column, std::int32_t* value, std::int64_t* indicator);
    //! Binds as SQL_C_SSHORT (16-bit signed).
    bool BindInt16(int column, std::int16_t* value, std::int64_t* indicator);
    //! Binds as SQL_C_SBIGINT (64-bit signed).
    bool BindInt64(int column, std::int64_t* value, std::int64_t* indicator);
    //! Binds as SQL_C_CHAR into buffer of `size` bytes (zero-terminated, cut
    //! to size - 1 characters by the driver).
    bool BindText(int column, char* buffer, std::int64_t size, std::int64_t* indicator);

    //! Fetches the next row.
    FetchResult Fetch();
    //! Closes the cursor (SQLCloseCursor) so the statement can run again.
    bool CloseCursor();

    //! Message text of the first diagnostic record of the last failing call
    //! (empty when the last call succeeded or the driver gave no record).
    const std::string& diagnostic() const noexcept { return diagnostic_; }
    //! Raw return code of the last call (SQL_SUCCESS = 0, SQL_ERROR = -1, ...).
    int lastReturn() const noexcept { return lastReturn_; }
    //! The SQLHSTMT, for calls this class does not wrap (SQLColumns ...).
    void* handle() const noexcept { return hstmt_; }

private:
    bool Check(short rc);

    void* hstmt_ = nullptr;
    int lastReturn_ = 0;
    std::string diagnostic_;
};

}  // namespace kvt
