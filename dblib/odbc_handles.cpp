#include "dblib/odbc_handles.h"

#include <cstring>

namespace kvt::odbc {

std::string FirstDiagnostic(SQLSMALLINT type, SQLHANDLE h) {
    if (h == nullptr) return {};
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        SQLGetDiagRec(type, h, 1, state, &native, message, sizeof message, &length);
    if (!Succeeded(rc)) return {};
    return std::string(reinterpret_cast<const char*>(message),
                       strnlen(reinterpret_cast<const char*>(message), sizeof message));
}

SQLRETURN Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h, std::string* diag) {
    if (!Succeeded(rc) && rc != SQL_NO_DATA && diag != nullptr) {
        *diag = FirstDiagnostic(type, h);
        if (diag->empty()) *diag = "ODBC call failed with result " + std::to_string(rc);
    }
    return rc;
}

SQLRETURN Handle::Allocate(SQLSMALLINT parentType, SQLHANDLE parent, std::string* diag) {
    Reset();
    SQLHANDLE h = nullptr;
    const SQLRETURN rc = SQLAllocHandle(type_, parent, &h);
    if (!Succeeded(rc)) {
        // Allocation failures are recorded on the parent handle.
        Check(rc, parentType, parent, diag);
        // Some driver managers hand out an environment even on failure, for
        // its diagnostics; it is ours to free.
        if (h != nullptr) SQLFreeHandle(type_, h);
        return rc;
    }
    h_ = h;
    return rc;
}

void Handle::Reset() noexcept {
    if (h_ != nullptr) {
        SQLFreeHandle(type_, h_);
        h_ = nullptr;
    }
}

SQLRETURN Connection::Connect(const std::string& dsn, const std::string& user,
                              const std::string& password, std::string* diag) {
    auto text = [](const std::string& s) {
        return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.c_str()));
    };
    const SQLRETURN rc = Check(SQLConnect(handle_.get(), text(dsn), SQL_NTS, text(user), SQL_NTS,
                                          text(password), SQL_NTS),
                               SQL_HANDLE_DBC, handle_.get(), diag);
    connected_ = Succeeded(rc);
    return rc;
}

void Connection::Reset() noexcept {
    if (connected_ && handle_) SQLDisconnect(handle_.get());
    connected_ = false;
    handle_.Reset();
}

Statement::Statement(SQLHDBC hdbc, std::string* diag) : diag_(diag) {
    if (hdbc == nullptr) {
        if (diag_) *diag_ = "not connected";
        return;
    }
    handle_.Allocate(SQL_HANDLE_DBC, hdbc, diag_);
}

bool Statement::ExecDirect(const std::string& sql) {
    return Succeeded(Check(SQLExecDirect(
        handle_.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS)));
}

bool Statement::Bind(SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER target, SQLLEN size,
                     SQLLEN* ind) {
    return Succeeded(Check(SQLBindCol(handle_.get(), column, cType, target, size, ind)));
}

SQLRETURN Statement::Fetch() { return Check(SQLFetch(handle_.get())); }

void Statement::CloseCursor() {
    // Closing a statement without an open cursor reports 24000; nothing to keep.
    odbc::Check(SQLCloseCursor(handle_.get()), SQL_HANDLE_STMT, handle_.get(), nullptr);
}

}  // namespace kvt::odbc
