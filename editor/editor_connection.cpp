#include "editor/editor_connection.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "dblib/odbc_statement.h"

namespace kvt::editor {
namespace {

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// Message text of diagnostic record 1 of `handle` (at most 1023 characters).
std::string DiagMessage(SQLSMALLINT type, SQLHANDLE handle) {
  std::array<SQLCHAR, 6> state{};
  std::array<SQLCHAR, 1024> text{};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  const SQLRETURN rc = SQLGetDiagRec(type, handle, 1, state.data(), &native, text.data(),
                                     static_cast<SQLSMALLINT>(text.size()), &len);
  if (!Succeeded(rc)) return {};
  return std::string(reinterpret_cast<const char*>(text.data()),
                     strnlen(reinterpret_cast<const char*>(text.data()), text.size()));
}

// An environment handle set to ODBC 3, freed on scope exit.
class Environment {
 public:
  Environment() {
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h_))) {
      h_ = SQL_NULL_HENV;
      return;
    }
    SQLSetEnvAttr(h_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  }
  ~Environment() noexcept {
    if (h_) SQLFreeHandle(SQL_HANDLE_ENV, h_);
  }
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;
  SQLHENV get() const { return h_; }
  SQLHENV release() {
    SQLHENV h = h_;
    h_ = SQL_NULL_HENV;
    return h;
  }

 private:
  SQLHENV h_ = SQL_NULL_HENV;
};

}  // namespace

EditorConnection::~EditorConnection() noexcept { Disconnect(); }

void EditorConnection::Disconnect() noexcept {
  if (hdbc_) {
    SQLDisconnect(static_cast<SQLHDBC>(hdbc_));
    SQLFreeHandle(SQL_HANDLE_DBC, static_cast<SQLHDBC>(hdbc_));
    hdbc_ = nullptr;
  }
  if (henv_) {
    SQLFreeHandle(SQL_HANDLE_ENV, static_cast<SQLHENV>(henv_));
    henv_ = nullptr;
  }
}

ConnectOutcome EditorConnection::Connect(const std::string& dsn, const std::string& user,
                                         const std::string& password) {
  Disconnect();
  ConnectOutcome out;
  Environment env;
  if (!env.get()) {
    out.allocationFailed = true;
    return out;
  }
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env.get(), &dbc))) {
    out.allocationFailed = true;
    return out;
  }
  const SQLRETURN rc = SQLConnect(
      dbc, reinterpret_cast<SQLCHAR*>(const_cast<char*>(dsn.c_str())), SQL_NTS,
      reinterpret_cast<SQLCHAR*>(const_cast<char*>(user.c_str())), SQL_NTS,
      reinterpret_cast<SQLCHAR*>(const_cast<char*>(password.c_str())), SQL_NTS);
  // Anything but an error counts as connected (SQL_SUCCESS_WITH_INFO carries warnings only).
  if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE) {
    out.diagnostic = DiagMessage(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    return out;
  }
  henv_ = env.release();
  hdbc_ = dbc;
  out.ok = true;
  return out;
}

std::optional<std::vector<std::string>> EditorConnection::ListTables() const {
  if (!hdbc_) return std::nullopt;
  OdbcStatement stmt(hdbc_);
  if (!stmt.ok()) return std::nullopt;
  SQLCHAR type[] = "'TABLE'";
  if (!Succeeded(SQLTables(static_cast<SQLHSTMT>(stmt.handle()), nullptr, 0, nullptr, 0, nullptr,
                           0, type, SQL_NTS)))
    return std::nullopt;
  std::array<char, 64> name{};
  std::int64_t ind = 0;
  if (!stmt.BindText(3, name.data(), static_cast<std::int64_t>(name.size()), &ind))
    return std::nullopt;
  std::vector<std::string> tables;
  while (stmt.Fetch() == FetchResult::Row) {
    if (ind == kSqlNullData) continue;
    tables.emplace_back(name.data(), strnlen(name.data(), name.size()));
  }
  stmt.CloseCursor();
  return tables;
}

std::optional<std::vector<std::optional<std::string>>> FetchTextColumn(void* hdbc,
                                                                        const std::string& sql,
                                                                        size_t bufferBytes) {
  if (!hdbc || bufferBytes < 2) return std::nullopt;
  OdbcStatement stmt(hdbc);
  if (!stmt.ok() || !stmt.ExecDirect(sql)) return std::nullopt;
  std::vector<char> buf(bufferBytes);
  std::int64_t ind = 0;
  if (!stmt.BindText(1, buf.data(), static_cast<std::int64_t>(buf.size()), &ind))
    return std::nullopt;
  std::vector<std::optional<std::string>> values;
  while (true) {
    std::fill(buf.begin(), buf.end(), '\0');
    if (stmt.Fetch() != FetchResult::Row) break;
    if (ind == kSqlNullData) {
      values.emplace_back(std::nullopt);
      continue;
    }
    values.emplace_back(std::string(buf.data(), strnlen(buf.data(), buf.size())));
  }
  stmt.CloseCursor();
  return values;
}

std::vector<DataSourceEntry> ListDataSources() {
  std::vector<DataSourceEntry> out;
  Environment env;
  if (!env.get()) return out;
  auto enumerate = [&](SQLUSMALLINT first, bool isSystem) {
    SQLUSMALLINT direction = first;
    while (out.size() < kMaxDataSources) {
      std::array<SQLCHAR, 512> name{};
      std::array<SQLCHAR, 512> description{};
      SQLSMALLINT nameLen = 0;
      SQLSMALLINT descLen = 0;
      const SQLRETURN rc =
          SQLDataSources(env.get(), direction, name.data(), static_cast<SQLSMALLINT>(name.size()),
                         &nameLen, description.data(),
                         static_cast<SQLSMALLINT>(description.size()), &descLen);
      if (!Succeeded(rc)) break;
      out.push_back({std::string(reinterpret_cast<const char*>(name.data()),
                                 strnlen(reinterpret_cast<const char*>(name.data()), name.size())),
                     isSystem});
      direction = SQL_FETCH_NEXT;
    }
  };
  enumerate(SQL_FETCH_FIRST_SYSTEM, true);
  enumerate(SQL_FETCH_FIRST_USER, false);
  return out;
}

}  // namespace kvt::editor
