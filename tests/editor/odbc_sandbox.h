// Test helper: a private ODBC configuration (driver list, system and user data sources) in a
// temporary directory, so tests never see or touch the machine's own data sources, and SQLite
// catalogue files reached through it.
#pragma once

#include <QString>
#include <ostream>
#include <string>
#include <vector>

namespace kvt::editor::test {

//! Creates the QApplication the widget tests need (once per process, offscreen).
void EnsureApplication();

//! The driver manager keeps the paths of its configuration files once it has read them, so
//! there is one sandbox per test process: Sandbox() makes it on first use. Tests give their
//! data sources names of their own (UniqueName) instead of resetting the files.
class OdbcSandbox {
 public:
  //! The process's sandbox.
  static OdbcSandbox& Instance();
  //! A data source name not used before in this process, starting with `prefix`.
  static std::string UniqueName(const std::string& prefix);

  //! Makes the temporary directory and points ODBCSYSINI / ODBCINI at files in it.
  OdbcSandbox();
  //! Removes the directory and restores the former environment.
  ~OdbcSandbox();
  OdbcSandbox(const OdbcSandbox&) = delete;
  OdbcSandbox& operator=(const OdbcSandbox&) = delete;

  const std::string& dir() const { return dir_; }
  //! Declares a data source for an SQLite file `dbFile` (created on first use).
  void AddSqliteDsn(const std::string& name, const std::string& dbFile, bool system);
  //! Runs each statement on a connection to data source `dsn`; fails the test on an error.
  static void Execute(const std::string& dsn, const std::vector<std::string>& statements);

 private:
  std::string dir_;
  std::string oldSysIni_, oldIni_;
  bool hadSysIni_ = false, hadIni_ = false;
};

}  // namespace kvt::editor::test

//! Lets GoogleTest print Qt strings (and lists of them) as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
