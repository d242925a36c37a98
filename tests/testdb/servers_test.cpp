// The catalogues of every back end: reachable, complete, and faithful to the
// column types the library relies on (exact doubles, 64-bit offsets, NULLs).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "backend_test.h"
#include "catalogue_rows.h"
#include "test_backends.h"

namespace {

using kvt::test::BackendKind;
using kvt::test::FileRow;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

class CatalogueSchema : public kvt::test::BackendTest {};

TEST_P(CatalogueSchema, HasTheFourteenTables) {
  std::vector<std::string> names;
  for (const auto& t : session().Tables()) names.push_back(Upper(t));
  std::sort(names.begin(), names.end());
  const std::vector<std::string> expected = {
      "ARRIVAL",  "CALIBRATION",       "CONTREG", "EARTHQUAKE", "EVENTLIST", "FILELIST", "GEOGRAPHIC_REGION",
      "ID_FREQ", "ID_SENS", "LASTID", "NETWORKS", "ORIGIN", "SITE", "SITECHAN"};
  EXPECT_EQ(expected, names);
  EXPECT_EQ(17u, session().Columns(session().TableName("FILELIST")).size());
}

TEST_P(CatalogueSchema, StoresFileRowsExactly) {
  FileRow row;
  row.sta = "ABC";
  row.ch = "BHZ";
  row.tBegin = 1709618828.123456789;   // needs a double's full precision
  row.tQty = 3600;
  row.sps = 19.999;
  row.dataType = 5;
  row.fOff = 6000000000;               // beyond 32 bits
  row.cPath = "ABC/06/05032024-060708-BHZ.ABC";
  row.ldDate = "2024-03-05 06:07:08";
  kvt::test::CatalogueFile(session(), row);
  const std::string table = session().TableName("FILELIST");
  const auto rows = session().Query("select DATATYPE,FOFF,LCODE,CPATH,LDDATE from " + table);
  ASSERT_EQ(1u, rows.size());
  const auto& r = rows[0];
  EXPECT_EQ("5", r[0]);
  EXPECT_EQ("6000000000", r[1]);
  EXPECT_EQ(std::nullopt, r[2]) << "no location code is NULL";
  EXPECT_EQ(row.cPath, r[3]);
  EXPECT_EQ(0u, r[4]->rfind("2024-03-05 06:07:08", 0)) << *r[4];
  // Compared by the server: the SQLite driver hands doubles to the client with
  // 15 significant digits only, though the file keeps them exactly.
  using kvt::test::SqlNumber;
  EXPECT_EQ(1, session().QueryCount("select count(*) from " + table + " where TBEGIN=" +
                                    SqlNumber(row.tBegin) + " and SPS=" + SqlNumber(row.sps) +
                                    " and TEND=" + SqlNumber(row.tBegin + row.tQty)));
  EXPECT_NEAR(row.tBegin, *session().QueryDouble("select TBEGIN from " + table), 1e-5);
}

TEST_P(CatalogueSchema, ResetEmptiesTheTablesAndRestoresTend) {
  kvt::test::DescribeChannel(session(), "ABC", "BHZ", "00", 20.0);
  kvt::test::AddEvent(session(), "ABC", 5.0);
  kvt::test::DropTendColumn(session());
  EXPECT_FALSE(session().HasColumn("FILELIST", "TEND"));
  kvt::test::ResetCatalogue(backend(), session());
  EXPECT_TRUE(session().HasColumn("FILELIST", "TEND"));
  EXPECT_EQ(0, session().QueryCount("select count(*) from " + session().TableName("SITECHAN")));
  EXPECT_EQ(0, session().QueryCount("select count(*) from " + session().TableName("EVENTLIST")));
}

KVT_INSTANTIATE_BACKEND_TESTS(CatalogueSchema);

TEST(TestDatabases, ServersRunWhenRequested) {
  if (!kvt::test::FixtureRequested()) GTEST_SKIP() << "not run through CTest";
  const auto backends = kvt::test::AvailableBackends(true);
  ASSERT_EQ(4u, backends.size());
  EXPECT_EQ(BackendKind::SQLite, backends[0].kind);
  for (const auto& b : backends) {
    SCOPED_TRACE(b.dsn);
    auto session = b.Connect();
    kvt::test::AddEvent(session, "ABC", 1.0);  // other tests leave rows behind too
    kvt::test::ResetCatalogue(b, session);
    EXPECT_EQ(0, session.QueryCount("select count(*) from " + session.TableName("EVENTLIST")));
  }
}

TEST(TestDatabases, ListsEachDataSourceOnce) {
  if (!kvt::test::FixtureRequested()) GTEST_SKIP() << "not run through CTest";
  const auto names = kvt::test::DataSourceNames();
  for (const char* dsn : {"kvt_sqlite", "kvt_pg", "kvt_maria", "kvt_maria_mixed", "kvt_scratch0"}) {
    SCOPED_TRACE(dsn);
    EXPECT_EQ(1, std::count(names.begin(), names.end(), dsn));
  }
}

TEST(TestDatabases, MixedCaseCatalogueKeepsItsSpelling) {
  const auto backend = kvt::test::FindBackend(BackendKind::MariaDBMixedCase);
  if (!backend) GTEST_SKIP() << "not run through CTest";
  auto session = backend->Connect();
  kvt::test::ResetCatalogue(*backend, session);
  EXPECT_EQ("FileList", session.TableName("FILELIST"));
  EXPECT_EQ("SiteChan", session.TableName("SITECHAN"));
  const auto columns = session.Columns("FileList");
  EXPECT_NE(columns.end(), std::find(columns.begin(), columns.end(), "tBegin"));
  EXPECT_FALSE(session.TryExec("select count(*) from FILELIST")) << "names are case-sensitive";
  FileRow row;
  row.sta = "ABC";
  row.ch = "BHZ";
  row.lcode = "00";
  kvt::test::CatalogueFile(session, row);
  EXPECT_EQ("00", session.QueryText("select LCode from FileList"));
}

// Tests of a lost connection stop a server and start it again.
TEST(TestDatabases, ServersCanBeStoppedAndStartedAgain) {
  struct Case {
    BackendKind kind;
    const char* stop;
    const char* start;
  };
  for (const Case& c : {Case{BackendKind::PostgreSQL, "KVT_PG_STOP", "KVT_PG_START"},
                        Case{BackendKind::MariaDB, "KVT_MARIA_STOP", "KVT_MARIA_START"}}) {
    SCOPED_TRACE(kvt::test::BackendKindName(c.kind));
    const auto backend = kvt::test::FindBackend(c.kind);
    if (!backend) GTEST_SKIP() << "not run through CTest";
    auto session = backend->Connect();
    ASSERT_TRUE(session.TryExec("select 1"));
    ASSERT_EQ(0, std::system(kvt::test::FixtureValue(c.stop)->c_str()));
    EXPECT_FALSE(session.TryExec("select 1")) << "the connection is gone";
    EXPECT_THROW(backend->Connect(), kvt::test::OdbcError);
    ASSERT_EQ(0, std::system(kvt::test::FixtureValue(c.start)->c_str()));
    auto again = backend->Connect();
    EXPECT_TRUE(again.TryExec("select 1"));
  }
}

}  // namespace
