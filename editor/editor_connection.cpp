#include "editor/editor_connection.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <array>
#include <cstring>

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

// A statement handle on a connection, freed on scope exit.
class Statement {
 public:
  explicit Statement(SQLHDBC dbc) {
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h_))) h_ = SQL_NULL_HSTMT;
  }
  ~Statement() noexcept {
    if (h_) SQLFreeHandle(SQL_HANDLE_STMT, h_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  SQLHSTMT get() const { return h_; }

 private:
  SQLHSTMT h_ = SQL_NULL_HSTMT;
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
  Statement stmt(static_cast<SQLHDBC>(hdbc_));
  if (!stmt.get()) return std::nullopt;
  SQLCHAR type[] = "'TABLE'";
  if (!Succeeded(SQLTables(stmt.get(), nullptr, 0, nullptr, 0, nullptr, 0, type, SQL_NTS)))
    return std::nullopt;
  std::array<SQLCHAR, 64> name{};
  SQLLEN ind = 0;
  if (!Succeeded(SQLBindCol(stmt.get(), 3, SQL_C_CHAR, name.data(),
                            static_cast<SQLLEN>(name.size()), &ind)))
    return std::nullopt;
  std::vector<std::string> tables;
  while (Succeeded(SQLFetch(stmt.get()))) {
    if (ind == SQL_NULL_DATA) continue;
    tables.emplace_back(reinterpret_cast<const char*>(name.data()),
                        strnlen(reinterpret_cast<const char*>(name.data()), name.size()));
  }
  SQLCloseCursor(stmt.get());
  return tables;
}

std::optional<std::vector<std::optional<std::string>>> FetchTextColumn(void* hdbc,
                                                                        const std::string& sql,
                                                                        size_t bufferBytes) {
  if (!hdbc || bufferBytes < 2) return std::nullopt;
  Statement stmt(static_cast<SQLHDBC>(hdbc));
  if (!stmt.get()) return std::nullopt;
  if (!Succeeded(SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())),
                               SQL_NTS)))
    return std::nullopt;
  std::vector<SQLCHAR> buf(bufferBytes);
  SQLLEN ind = 0;
  if (!Succeeded(SQLBindCol(stmt.get(), 1, SQL_C_CHAR, buf.data(),
                            static_cast<SQLLEN>(buf.size()), &ind)))
    return std::nullopt;
  std::vector<std::optional<std::string>> values;
  while (true) {
    std::fill(buf.begin(), buf.end(), SQLCHAR{0});
    if (!Succeeded(SQLFetch(stmt.get()))) break;
    if (ind == SQL_NULL_DATA) {
      values.emplace_back(std::nullopt);
      continue;
    }
    const char* text = reinterpret_cast<const char*>(buf.data());
    values.emplace_back(std::string(text, strnlen(text, buf.size())));
  }
  SQLCloseCursor(stmt.get());
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
