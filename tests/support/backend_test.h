// GoogleTest fixture for tests that run against every catalogue back end.
//
//   class IntervalTest : public kvt::test::BackendTest {};
//   TEST_P(IntervalTest, FindsOverlappingFile) {
//     kvt::test::CatalogueFile(session(), row);      // empty catalogue at start
//     ... backend().dsn, backend().user, backend().password, backend().dataDir ...
//   }
//   KVT_INSTANTIATE_BACKEND_TESTS(IntervalTest);
//
// Test names end in /SQLite, /PostgreSQL, /MariaDB. The list is fixed at
// compile time (CTest lists the tests before the servers start); a back end
// that is not available is skipped at run time, unless the test was declared
// with DATABASES and the servers failed, which fails it. Declare such tests
// with kvt_add_gtest(... DATABASES) so the servers run and the tests take
// turns on the shared catalogues.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "test_backends.h"

namespace kvt::test {

class BackendTest : public ::testing::TestWithParam<BackendKind> {
 protected:
  //! Finds the back end (skips when absent), connects and empties the catalogue.
  void SetUp() override;
  void TearDown() override;

  const Backend& backend() const { return backend_; }
  OdbcSession& session() { return *session_; }

 private:
  Backend backend_;
  std::unique_ptr<OdbcSession> session_;
};

//! How GoogleTest prints a back-end parameter in its messages.
inline void PrintTo(BackendKind kind, std::ostream* out) { *out << BackendKindName(kind); }

//! Parameter name for test names ("SQLite", "PostgreSQL", "MariaDB").
std::string BackendParamName(const ::testing::TestParamInfo<BackendKind>& info);

}  // namespace kvt::test

//! Instantiates a BackendTest-derived suite for SQLite, PostgreSQL and MariaDB.
#define KVT_INSTANTIATE_BACKEND_TESTS(Suite)                                        \
  INSTANTIATE_TEST_SUITE_P(Db, Suite, ::testing::ValuesIn(kvt::test::kAllBackendKinds), \
                           kvt::test::BackendParamName)
