// CWaveDatabase: connection, parameters, probe and server information.
#include "dblib/wave_database.h"

#include "dblib/odbc_handles.h"
#include "dblib/sql_text.h"

#include <cstdlib>
#include <strings.h>

namespace kvt {

struct CWaveDatabase::Handles {
    // Declared environment first so that the connection is released before it.
    odbc::Handle env{SQL_HANDLE_ENV};
    odbc::Connection dbc;
};

CWaveDatabase::CWaveDatabase() : handles_(std::make_unique<Handles>()) {}

CWaveDatabase::~CWaveDatabase() { Disconnect(); }

void* CWaveDatabase::hdbc() const noexcept { return handles_->dbc.get(); }
void* CWaveDatabase::henv() const noexcept { return handles_->env.get(); }

int CWaveDatabase::SetParameter(std::string_view name, std::string_view value) {
    const std::string key(name);
    auto is = [&](const char* n) { return strcasecmp(key.c_str(), n) == 0; };
    std::string* target = is("odbc") ? &dsn_ : is("user") ? &user_ : is("password") ? &password_ : nullptr;
    if (target != nullptr) {
        // Refuse rather than cut: a cut password or data source name would
        // connect somewhere else or fail with a misleading message.
        if (value.size() > kMaxConnectionParameter) return db::kValueTooLong;
        target->assign(value);
        return db::kOk;
    }
    if (is("data")) {
        dataDir_.assign(value);
        return db::kOk;
    }
    if (is("use_tend")) {
        useTend_ = std::atoi(std::string(value).c_str()) != 0;
        if (useTend_ && hdbc() != nullptr) CheckTend();
        return db::kOk;
    }
    return db::kUnknownParameter;
}

bool CWaveDatabase::Connect() {
    // A reconnect after a lost connection must not leak the old handles.
    Disconnect();
    lastDiagnostic_.clear();
    Handles& h = *handles_;
    if (!odbc::Succeeded(h.env.Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &lastDiagnostic_))) {
        if (lastDiagnostic_.empty()) lastDiagnostic_ = "cannot allocate the ODBC environment";
        return false;
    }
    const SQLRETURN rc = odbc::Check(
        SQLSetEnvAttr(h.env.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                      SQL_IS_INTEGER),
        SQL_HANDLE_ENV, h.env.get(), &lastDiagnostic_);
    if (!odbc::Succeeded(rc) || !odbc::Succeeded(h.dbc.Allocate(h.env.get(), &lastDiagnostic_)) ||
        !odbc::Succeeded(h.dbc.Connect(dsn_, user_, password_, &lastDiagnostic_))) {
        Disconnect();
        return false;
    }
    schema_.Refresh(h.dbc.get());
    if (useTend_) CheckTend();
    return true;
}

void CWaveDatabase::Disconnect() noexcept {
    alias_.clear();
    handles_->dbc.Reset();
    handles_->env.Reset();
}

bool CWaveDatabase::CheckTend() {
    useTend_ = false;
    odbc::Statement st(hdbc(), nullptr);
    if (!st.ok()) return false;
    std::string table(schema_.fileList.name);
    std::string column(schema_.fileList.TEND);
    const SQLRETURN rc = st.Check(SQLColumns(
        st.get(), nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(table.data()), SQL_NTS,
        reinterpret_cast<SQLCHAR*>(column.data()), SQL_NTS));
    if (odbc::Succeeded(rc)) {
        useTend_ = odbc::Succeeded(st.Fetch());
        st.CloseCursor();
    }
    return useTend_;
}

bool CWaveDatabase::Probe() {
    odbc::Statement st(hdbc(), &lastDiagnostic_);
    if (!st.ok()) return false;
    return st.ExecDirect(sql::ProbeQuery(schema_));
}

int CWaveDatabase::GetServerInfo(std::string& name, std::string& version) {
    SQLHDBC dbc = hdbc();
    if (dbc == nullptr) {
        lastDiagnostic_ = "not connected";
        return db::kOdbcFailed;
    }
    char buffer[128] = {};
    SQLSMALLINT length = 0;
    if (!odbc::Succeeded(odbc::Check(SQLGetInfo(dbc, SQL_DBMS_NAME, buffer, sizeof buffer, &length),
                                     SQL_HANDLE_DBC, dbc, &lastDiagnostic_)))
        return db::kOdbcFailed;
    name = buffer;
    buffer[0] = '\0';
    if (!odbc::Succeeded(odbc::Check(SQLGetInfo(dbc, SQL_DBMS_VER, buffer, sizeof buffer, &length),
                                     SQL_HANDLE_DBC, dbc, &lastDiagnostic_)))
        return db::kOdbcFailed;
    version = buffer;
    return db::kOk;
}

int CWaveDatabase::Alias(std::string& alias) {
    // The server behind a connection does not change: ask it once per connect.
    if (!alias_.empty()) {
        alias = alias_;
        return db::kOk;
    }
    std::string name, version;
    const int rc = GetServerInfo(name, version);
    if (rc != db::kOk) return rc;
    alias = sql::DerivedTableAlias(name, version);
    alias_ = alias;
    return db::kOk;
}

}  // namespace kvt
