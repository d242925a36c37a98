#include "odbc_session.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "test_backends.h"

namespace kvt::test {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// All diagnostic records of the handle, "SQLSTATE: message" joined by "; ".
std::string Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::string all;
  for (SQLSMALLINT record = 1; handle != SQL_NULL_HANDLE; ++record) {
    SQLCHAR state[6] = {};
    SQLCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRec(type, handle, record, state, &native, message,
                                       sizeof message, &length);
    if (!SQL_SUCCEEDED(rc)) break;
    if (!all.empty()) all += "; ";
    all += reinterpret_cast<const char*>(state);
    all += ": ";
    all += reinterpret_cast<const char*>(message);
  }
  return all.empty() ? "no diagnostic record" : all;
}

// The one check every ODBC call of this file goes through: success (with or
// without info) passes; anything else throws with the diagnostics of `handle`.
void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const std::string& what) {
  if (SQL_SUCCEEDED(rc)) return;
  throw OdbcError(what + " failed: " + Diagnostics(type, handle));
}

// Statement handle freed on every path.
class Statement {
 public:
  explicit Statement(SQLHDBC hdbc) {
    Check(SQLAllocHandle(SQL_HANDLE_STMT, hdbc, &hstmt_), SQL_HANDLE_DBC, hdbc,
          "SQLAllocHandle(STMT)");
  }
  ~Statement() noexcept {
    if (hstmt_ != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, hstmt_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  SQLHSTMT get() const { return hstmt_; }

  // Reads the rows of the current result set, every column as text.
  std::vector<Row> Rows() {
    SQLSMALLINT columns = 0;
    Check(SQLNumResultCols(hstmt_, &columns), SQL_HANDLE_STMT, hstmt_, "SQLNumResultCols");
    std::vector<Row> rows;
    while (true) {
      const SQLRETURN rc = SQLFetch(hstmt_);
      if (rc == SQL_NO_DATA) break;
      Check(rc, SQL_HANDLE_STMT, hstmt_, "SQLFetch");
      Row row;
      for (SQLUSMALLINT c = 1; c <= columns; ++c) row.push_back(Column(c));
      rows.push_back(std::move(row));
    }
    return rows;
  }

 private:
  std::optional<std::string> Column(SQLUSMALLINT column) {
    std::string value;
    char buffer[4096];
    while (true) {
      SQLLEN indicator = 0;
      const SQLRETURN rc =
          SQLGetData(hstmt_, column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
      if (rc == SQL_NO_DATA) break;
      Check(rc, SQL_HANDLE_STMT, hstmt_, "SQLGetData");
      if (indicator == SQL_NULL_DATA) return std::nullopt;
      if (rc == SQL_SUCCESS) {
        value.append(buffer);
        break;
      }
      // SQL_SUCCESS_WITH_INFO: truncated, the buffer is full up to its terminator.
      value.append(buffer, sizeof buffer - 1);
    }
    return value;
  }

  SQLHSTMT hstmt_ = SQL_NULL_HSTMT;
};

}  // namespace

std::string Quote(const std::string& value) {
  std::string quoted;
  for (char c : value) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted;
}

std::vector<std::string> DataSourceNames() {
  PrepareOdbcEnvironment();
  SQLHENV henv = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &henv)))
    throw OdbcError("SQLAllocHandle(ENV) failed");
  std::vector<std::string> names;
  SQLSetEnvAttr(henv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
  SQLCHAR description[256];
  SQLSMALLINT nameLength = 0;
  SQLSMALLINT descriptionLength = 0;
  while (SQL_SUCCEEDED(SQLDataSources(henv, direction, name, sizeof name, &nameLength, description,
                                      sizeof description, &descriptionLength))) {
    names.emplace_back(reinterpret_cast<const char*>(name));
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, henv);
  return names;
}

OdbcSession::OdbcSession(const std::string& dsn, const std::string& user,
                         const std::string& password) {
  PrepareOdbcEnvironment();
  SQLHENV henv = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &henv)))
    throw OdbcError("SQLAllocHandle(ENV) failed");
  henv_ = henv;
  SQLHDBC hdbc = SQL_NULL_HDBC;
  try {
    Check(SQLSetEnvAttr(henv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          SQL_HANDLE_ENV, henv, "SQLSetEnvAttr");
    Check(SQLAllocHandle(SQL_HANDLE_DBC, henv, &hdbc), SQL_HANDLE_ENV, henv, "SQLAllocHandle(DBC)");
    const SQLRETURN rc = SQLConnect(
        hdbc, reinterpret_cast<SQLCHAR*>(const_cast<char*>(dsn.c_str())), SQL_NTS,
        reinterpret_cast<SQLCHAR*>(const_cast<char*>(user.c_str())), SQL_NTS,
        reinterpret_cast<SQLCHAR*>(const_cast<char*>(password.c_str())), SQL_NTS);
    Check(rc, SQL_HANDLE_DBC, hdbc, "SQLConnect to \"" + dsn + "\"");
  } catch (...) {
    if (hdbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, hdbc);
    SQLFreeHandle(SQL_HANDLE_ENV, henv);
    henv_ = nullptr;
    throw;
  }
  hdbc_ = hdbc;
}

OdbcSession::OdbcSession(OdbcSession&& other) noexcept
    : henv_(other.henv_),
      hdbc_(other.hdbc_),
      tableNames_(std::move(other.tableNames_)),
      hasColumn_(std::move(other.hasColumn_)) {
  other.henv_ = nullptr;
  other.hdbc_ = nullptr;
}

OdbcSession::~OdbcSession() noexcept {
  if (hdbc_ != nullptr) {
    SQLDisconnect(static_cast<SQLHDBC>(hdbc_));
    SQLFreeHandle(SQL_HANDLE_DBC, static_cast<SQLHDBC>(hdbc_));
  }
  if (henv_ != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, static_cast<SQLHENV>(henv_));
}

bool OdbcSession::TryExec(const std::string& sql, std::string* error) {
  try {
    Exec(sql);
    return true;
  } catch (const OdbcError& e) {
    if (error != nullptr) *error = e.what();
    return false;
  }
}

void OdbcSession::Exec(const std::string& sql) {
  // Only statements that may create, drop or alter tables invalidate the caches.
  const auto first = sql.find_first_not_of(" \t\r\n");
  const std::string verb = Upper(sql.substr(first == std::string::npos ? 0 : first, 6));
  if (verb != "INSERT" && verb != "UPDATE" && verb != "DELETE" && verb != "SELECT") ForgetNames();
  Statement stmt(static_cast<SQLHDBC>(hdbc_));
  const SQLRETURN rc = SQLExecDirect(
      stmt.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS);
  if (rc == SQL_NO_DATA) return;
  Check(rc, SQL_HANDLE_STMT, stmt.get(), "\"" + sql + "\"");
}

void OdbcSession::ExecScript(const std::string& scriptText) {
  std::istringstream lines(scriptText);
  std::string line;
  std::string statement;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, 2, "--") == 0) continue;
    statement += line;
    statement += '\n';
    const auto last = line.find_last_not_of(" \t");
    if (line[last] == ';') {
      statement.erase(statement.rfind(';'));
      Exec(statement);
      statement.clear();
    }
  }
  if (statement.find_first_not_of(" \t\n") != std::string::npos) Exec(statement);
}

std::vector<Row> OdbcSession::Query(const std::string& sql) {
  Statement stmt(static_cast<SQLHDBC>(hdbc_));
  Check(SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                      SQL_NTS),
        SQL_HANDLE_STMT, stmt.get(), "\"" + sql + "\"");
  return stmt.Rows();
}

std::optional<std::string> OdbcSession::QueryText(const std::string& sql) {
  const auto rows = Query(sql);
  if (rows.empty() || rows.front().empty()) return std::nullopt;
  return rows.front().front();
}

std::optional<double> OdbcSession::QueryDouble(const std::string& sql) {
  // Read as a double, not as text: drivers print doubles with fewer digits.
  Statement stmt(static_cast<SQLHDBC>(hdbc_));
  Check(SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                      SQL_NTS),
        SQL_HANDLE_STMT, stmt.get(), "\"" + sql + "\"");
  const SQLRETURN rc = SQLFetch(stmt.get());
  if (rc == SQL_NO_DATA) return std::nullopt;
  Check(rc, SQL_HANDLE_STMT, stmt.get(), "SQLFetch");
  double value = 0;
  SQLLEN indicator = 0;
  Check(SQLGetData(stmt.get(), 1, SQL_C_DOUBLE, &value, sizeof value, &indicator),
        SQL_HANDLE_STMT, stmt.get(), "SQLGetData");
  if (indicator == SQL_NULL_DATA) return std::nullopt;
  return value;
}

long long OdbcSession::QueryCount(const std::string& sql) {
  const auto text = QueryText(sql);
  if (!text) throw OdbcError("\"" + sql + "\" returned no count");
  return std::strtoll(text->c_str(), nullptr, 10);
}

std::vector<std::string> OdbcSession::Tables() {
  Statement stmt(static_cast<SQLHDBC>(hdbc_));
  Check(SQLTables(stmt.get(), nullptr, 0, nullptr, 0, nullptr, 0,
                  reinterpret_cast<SQLCHAR*>(const_cast<char*>("TABLE")), SQL_NTS),
        SQL_HANDLE_STMT, stmt.get(), "SQLTables");
  // Some drivers list the tables of every database the account may see; keep
  // those of the current one.
  SQLCHAR current[256] = {};
  SQLINTEGER length = 0;
  if (!SQL_SUCCEEDED(SQLGetConnectAttr(static_cast<SQLHDBC>(hdbc_), SQL_ATTR_CURRENT_CATALOG,
                                       current, sizeof current, &length)))
    current[0] = '\0';
  const std::string catalog = reinterpret_cast<const char*>(current);
  std::vector<std::string> names;
  for (const auto& row : stmt.Rows()) {
    if (row.size() < 3 || !row[2]) continue;
    if (!catalog.empty() && row[0] && !row[0]->empty() && *row[0] != catalog) continue;
    // SQLite lists its own bookkeeping tables as tables too.
    if (row[2]->rfind("sqlite_", 0) == 0) continue;
    names.push_back(*row[2]);
  }
  return names;
}

std::vector<std::string> OdbcSession::Columns(const std::string& table) {
  Statement stmt(static_cast<SQLHDBC>(hdbc_));
  Check(SQLColumns(stmt.get(), nullptr, 0, nullptr, 0,
                   reinterpret_cast<SQLCHAR*>(const_cast<char*>(table.c_str())), SQL_NTS,
                   nullptr, 0),
        SQL_HANDLE_STMT, stmt.get(), "SQLColumns(" + table + ")");
  std::vector<std::string> names;
  for (const auto& row : stmt.Rows()) {
    if (row.size() > 3 && row[3]) names.push_back(*row[3]);
  }
  return names;
}

std::string OdbcSession::TableName(const std::string& upperName) {
  if (tableNames_.empty()) {
    for (const auto& name : Tables()) tableNames_.emplace(Upper(name), name);
  }
  const auto it = tableNames_.find(Upper(upperName));
  return it == tableNames_.end() ? upperName : it->second;
}

bool OdbcSession::HasColumn(const std::string& upperTable, const std::string& upperColumn) {
  const std::string key = Upper(upperTable) + "." + Upper(upperColumn);
  if (const auto it = hasColumn_.find(key); it != hasColumn_.end()) return it->second;
  const auto columns = Columns(TableName(upperTable));
  const bool present = std::any_of(columns.begin(), columns.end(), [&](const std::string& c) {
    return Upper(c) == Upper(upperColumn);
  });
  hasColumn_[key] = present;
  return present;
}

std::string OdbcSession::DbmsName() {
  SQLCHAR name[256] = {};
  SQLSMALLINT length = 0;
  Check(SQLGetInfo(static_cast<SQLHDBC>(hdbc_), SQL_DBMS_NAME, name, sizeof name, &length),
        SQL_HANDLE_DBC, static_cast<SQLHDBC>(hdbc_), "SQLGetInfo(SQL_DBMS_NAME)");
  return reinterpret_cast<const char*>(name);
}

}  // namespace kvt::test
