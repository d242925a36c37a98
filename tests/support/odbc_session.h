// A raw ODBC connection for tests: connects by data source name, runs set-up
// SQL and reads single values back. Independent of the product's database
// library, so tests can prepare and examine a catalogue the way an outside
// program would.
//
// Every failure throws OdbcError with the driver's diagnostic text; inside a
// GoogleTest body that fails the test with the message.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvt::test {

//! Failure of an ODBC call made by the test support code.
class OdbcError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

//! Doubles every single quote so a value can stand between quotes in SQL.
std::string Quote(const std::string& value);

//! Names of the data sources the driver manager lists (SQLDataSources), in its order.
std::vector<std::string> DataSourceNames();

//! One row of a query result: one text per column, nullopt for NULL.
using Row = std::vector<std::optional<std::string>>;

class OdbcSession {
 public:
  //! Connects to `dsn` with SQLConnect. Throws OdbcError on failure.
  OdbcSession(const std::string& dsn, const std::string& user, const std::string& password);
  ~OdbcSession() noexcept;
  OdbcSession(const OdbcSession&) = delete;
  OdbcSession& operator=(const OdbcSession&) = delete;
  //! Takes over the connection; `other` is left without one.
  OdbcSession(OdbcSession&& other) noexcept;

  //! Executes one statement; throws OdbcError with the diagnostic text on failure.
  //! SQL_NO_DATA (an update or delete that matched nothing) counts as success.
  void Exec(const std::string& sql);
  //! Executes one statement; returns false (and the diagnostic in `error`) on failure.
  bool TryExec(const std::string& sql, std::string* error = nullptr);
  //! Runs a script: statements end with ';' at the end of a line, lines
  //! starting with "--" are comments.
  void ExecScript(const std::string& scriptText);

  //! All rows of a query, values as text.
  std::vector<Row> Query(const std::string& sql);
  //! First column of the first row; nullopt when there is no row or it is NULL.
  std::optional<std::string> QueryText(const std::string& sql);
  //! First column of the first row read as a double (exact, unlike the text).
  std::optional<double> QueryDouble(const std::string& sql);
  //! Row count of a table or any "select count(*) ..." text.
  long long QueryCount(const std::string& sql);

  //! The table's name as this database spells it (looked up with SQLTables,
  //! compared without regard to case); `upperName` itself when it is missing.
  std::string TableName(const std::string& upperName);
  //! Whether the table has the column (SQLColumns, case ignored).
  bool HasColumn(const std::string& upperTable, const std::string& upperColumn);
  //! Names of all tables as the database spells them.
  std::vector<std::string> Tables();
  //! Column names of a table as the database spells them, in table order.
  std::vector<std::string> Columns(const std::string& table);
  //! SQL_DBMS_NAME of the server, e.g. "PostgreSQL", "MariaDB", "SQLite".
  std::string DbmsName();

  //! The raw connection handle (SQLHDBC), owned by this session.
  void* handle() const { return hdbc_; }

 private:
  void ForgetNames() {
    tableNames_.clear();
    hasColumn_.clear();
  }
  void* henv_ = nullptr;  //!< SQLHENV
  void* hdbc_ = nullptr;  //!< SQLHDBC, connected while the session lives
  // Caches of the catalogue functions, dropped by any statement that may change tables.
  std::map<std::string, std::string> tableNames_;  //!< upper-case name -> spelling
  std::map<std::string, bool> hasColumn_;          //!< "TABLE.COLUMN" -> present
};

}  // namespace kvt::test
