#include "odbc_sandbox.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <fstream>

#include "dblib/odbc_statement.h"
#include "editor/editor_connection.h"

namespace kvt::editor::test {

void EnsureApplication() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "editor_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: destroying it among the exit handlers would run after Qt's own statics
  // (input devices) are gone.
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
  QApplication::setApplicationName(QStringLiteral("inikvtview"));
}

OdbcSandbox& OdbcSandbox::Instance() {
  static OdbcSandbox sandbox;
  return sandbox;
}

std::string OdbcSandbox::UniqueName(const std::string& prefix) {
  static int counter = 0;
  return prefix + std::to_string(++counter);
}

OdbcSandbox::OdbcSandbox() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kvt_odbc_XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  dir_ = tmpl;
  if (const char* v = ::getenv("ODBCSYSINI")) { hadSysIni_ = true; oldSysIni_ = v; }
  if (const char* v = ::getenv("ODBCINI")) { hadIni_ = true; oldIni_ = v; }
  std::ofstream(dir_ + "/odbcinst.ini") << "[SQLite3]\nDescription=SQLite3 ODBC Driver\n"
                                            "Driver=libsqlite3odbc.so\nUsageCount=1\n";
  std::ofstream(dir_ + "/odbc.ini") << "";
  std::ofstream(dir_ + "/user.odbc.ini") << "";
  ::setenv("ODBCSYSINI", dir_.c_str(), 1);
  ::setenv("ODBCINI", (dir_ + "/user.odbc.ini").c_str(), 1);
}

OdbcSandbox::~OdbcSandbox() {
  if (hadSysIni_) ::setenv("ODBCSYSINI", oldSysIni_.c_str(), 1); else ::unsetenv("ODBCSYSINI");
  if (hadIni_) ::setenv("ODBCINI", oldIni_.c_str(), 1); else ::unsetenv("ODBCINI");
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void OdbcSandbox::AddSqliteDsn(const std::string& name, const std::string& dbFile, bool system) {
  std::ofstream(dir_ + (system ? "/odbc.ini" : "/user.odbc.ini"), std::ios::app)
      << "[" << name << "]\nDriver=SQLite3\nDatabase=" << dbFile << "\n";
}

void OdbcSandbox::Execute(const std::string& dsn, const std::vector<std::string>& statements) {
  EditorConnection c;
  const ConnectOutcome out = c.Connect(dsn, "", "");
  ASSERT_TRUE(out.ok) << out.diagnostic;
  for (const std::string& sql : statements) {
    OdbcStatement st(c.hdbc());
    ASSERT_TRUE(st.ExecDirect(sql)) << sql << ": " << st.diagnostic();
  }
}

}  // namespace kvt::editor::test
