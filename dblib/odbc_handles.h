#pragma once
// Internal: owners of ODBC handles and the one helper every ODBC call of the
// library goes through. Includes <sql.h>; not part of the public headers.

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <utility>

namespace kvt::odbc {

//! SQL_SUCCESS or SQL_SUCCESS_WITH_INFO.
inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

//! Message text of diagnostic record 1 of handle h of type `type` (empty when
//! there is none).
std::string FirstDiagnostic(SQLSMALLINT type, SQLHANDLE h);

//! Runs the outcome of one ODBC call made on handle h: on failure (anything
//! but success and SQL_NO_DATA) the first diagnostic record of h is read into
//! *diag (when diag is not null). Returns rc unchanged.
SQLRETURN Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h, std::string* diag);

//! One owned ODBC handle of a given type; freed by the destructor.
class Handle {
public:
    explicit Handle(SQLSMALLINT type) noexcept : type_(type) {}
    ~Handle() noexcept { Reset(); }
    Handle(Handle&& o) noexcept : type_(o.type_), h_(std::exchange(o.h_, nullptr)) {}
    Handle& operator=(Handle&& o) noexcept {
        if (this != &o) {
            Reset();
            type_ = o.type_;
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    //! Allocates the handle under parent (SQL_NULL_HANDLE for an environment).
    //! Diagnostics of a failure are read from the parent.
    SQLRETURN Allocate(SQLSMALLINT parentType, SQLHANDLE parent, std::string* diag);
    //! Frees the handle (no-op when null).
    void Reset() noexcept;

    SQLHANDLE get() const noexcept { return h_; }
    SQLSMALLINT type() const noexcept { return type_; }
    explicit operator bool() const noexcept { return h_ != nullptr; }

private:
    SQLSMALLINT type_;
    SQLHANDLE h_ = nullptr;
};

//! A connection handle that disconnects before it is freed.
class Connection {
public:
    Connection() noexcept = default;
    ~Connection() noexcept { Reset(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    SQLRETURN Allocate(SQLHENV env, std::string* diag) {
        return handle_.Allocate(SQL_HANDLE_ENV, env, diag);
    }
    //! SQLConnect with data source, user and password (zero-terminated).
    SQLRETURN Connect(const std::string& dsn, const std::string& user,
                      const std::string& password, std::string* diag);
    //! Disconnects when connected, then frees the handle.
    void Reset() noexcept;

    SQLHDBC get() const noexcept { return handle_.get(); }

private:
    Handle handle_{SQL_HANDLE_DBC};
    bool connected_ = false;
};

//! A statement handle with the calls the library makes on it.
class Statement {
public:
    //! Allocates a statement on hdbc; ok() tells whether that worked.
    Statement(SQLHDBC hdbc, std::string* diag);
    bool ok() const noexcept { return static_cast<bool>(handle_); }
    SQLHSTMT get() const noexcept { return handle_.get(); }

    //! Runs rc of a call on this statement through Check with this statement's diagnostics.
    SQLRETURN Check(SQLRETURN rc) { return odbc::Check(rc, SQL_HANDLE_STMT, handle_.get(), diag_); }

    bool ExecDirect(const std::string& sql);
    bool Bind(SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER target, SQLLEN size, SQLLEN* ind);
    //! SQL_SUCCESS/WITH_INFO, SQL_NO_DATA or the failure's code.
    SQLRETURN Fetch();
    void CloseCursor();

private:
    Handle handle_{SQL_HANDLE_STMT};
    std::string* diag_;
};

}  // namespace kvt::odbc
