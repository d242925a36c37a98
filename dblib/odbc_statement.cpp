#include "dblib/odbc_statement.h"

#include "dblib/odbc_handles.h"

#include <type_traits>

namespace kvt {

static_assert(sizeof(SQLLEN) == sizeof(std::int64_t), "indicators are bound as 64-bit words");
static_assert(std::is_same_v<SQLHANDLE, void*>, "handles are passed as void*");

OdbcStatement::OdbcStatement(void* hdbc) noexcept {
    if (hdbc == nullptr) {
        lastReturn_ = SQL_INVALID_HANDLE;
        diagnostic_ = "not connected";
        return;
    }
    SQLHANDLE h = nullptr;
    const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &h);
    lastReturn_ = rc;
    if (odbc::Succeeded(rc)) {
        hstmt_ = h;
    } else {
        try {
            odbc::Check(rc, SQL_HANDLE_DBC, hdbc, &diagnostic_);
        } catch (...) {
        }
    }
}

OdbcStatement::~OdbcStatement() noexcept {
    if (hstmt_ != nullptr) SQLFreeHandle(SQL_HANDLE_STMT, hstmt_);
}

bool OdbcStatement::Check(short rc) {
    lastReturn_ = rc;
    diagnostic_.clear();
    odbc::Check(rc, SQL_HANDLE_STMT, hstmt_, &diagnostic_);
    return odbc::Succeeded(rc);
}

bool OdbcStatement::ExecDirect(std::string_view sql) {
    if (!ok()) return false;
    std::string text(sql);
    const SQLRETURN rc = SQLExecDirect(hstmt_, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    // An update or delete that matched no row reports SQL_NO_DATA: it ran.
    if (rc == SQL_NO_DATA) {
        lastReturn_ = rc;
        diagnostic_.clear();
        return true;
    }
    return Check(rc);
}

bool OdbcStatement::BindDouble(int column, double* value, std::int64_t* indicator) {
    if (!ok()) return false;
    return Check(SQLBindCol(hstmt_, static_cast<SQLUSMALLINT>(column), SQL_C_DOUBLE, value,
                            sizeof *value, reinterpret_cast<SQLLEN*>(indicator)));
}

bool OdbcStatement::BindInt32(int column, std::int32_t* value, std::int64_t* indicator) {
    if (!ok()) return false;
    return Check(SQLBindCol(hstmt_, static_cast<SQLUSMALLINT>(column), SQL_C_SLONG, value,
                            sizeof *value, reinterpret_cast<SQLLEN*>(indicator)));
}

bool OdbcStatement::BindInt16(int column, std::int16_t* value, std::int64_t* indicator) {
    if (!ok()) return false;
    return Check(SQLBindCol(hstmt_, static_cast<SQLUSMALLINT>(column), SQL_C_SSHORT, value,
                            sizeof *value, reinterpret_cast<SQLLEN*>(indicator)));
}

bool OdbcStatement::BindInt64(int column, std::int64_t* value, std::int64_t* indicator) {
    if (!ok()) return false;
    return Check(SQLBindCol(hstmt_, static_cast<SQLUSMALLINT>(column), SQL_C_SBIGINT, value,
                            sizeof *value, reinterpret_cast<SQLLEN*>(indicator)));
}

bool OdbcStatement::BindText(int column, char* buffer, std::int64_t size, std::int64_t* indicator) {
    if (!ok()) return false;
    return Check(SQLBindCol(hstmt_, static_cast<SQLUSMALLINT>(column), SQL_C_CHAR, buffer, size,
                            reinterpret_cast<SQLLEN*>(indicator)));
}

FetchResult OdbcStatement::Fetch() {
    if (!ok()) return FetchResult::Error;
    const SQLRETURN rc = SQLFetch(hstmt_);
    if (rc == SQL_NO_DATA) {
        lastReturn_ = rc;
        diagnostic_.clear();
        return FetchResult::NoData;
    }
    return Check(rc) ? FetchResult::Row : FetchResult::Error;
}

bool OdbcStatement::CloseCursor() {
    if (!ok()) return false;
    return Check(SQLCloseCursor(hstmt_));
}

}  // namespace kvt
