#include "scratch_catalogue.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "catalogue_rows.h"
#include "test_backends.h"

namespace {

using kvt::test::ScratchCatalogue;

TEST(ScratchCatalogue, SetsUpThePrivateOdbcFilesBeforeTheFirstConnection) {
  const std::string& dir = kvt::test::PrepareOdbcEnvironment();
  EXPECT_EQ(dir, std::getenv("ODBCSYSINI"));
  EXPECT_EQ(dir + "/odbc.ini", std::getenv("ODBCINI"));
  EXPECT_TRUE(std::filesystem::exists(dir + "/odbcinst.ini"));
  EXPECT_EQ(&dir, &kvt::test::PrepareOdbcEnvironment()) << "prepared once per process";
}

TEST(ScratchCatalogue, CreatesAllTablesInItsOwnFile) {
  ScratchCatalogue catalogue;
  EXPECT_TRUE(std::filesystem::exists(catalogue.file()));
  EXPECT_TRUE(std::filesystem::is_directory(catalogue.backend().dataDir));
  auto session = catalogue.backend().Connect();
  EXPECT_EQ(14u, session.Tables().size());
  EXPECT_TRUE(session.HasColumn("FILELIST", "TEND"));
  kvt::test::OdbcSession moved(std::move(session));  // the connection goes along
  EXPECT_EQ(nullptr, session.handle());
  EXPECT_EQ("SQLite", moved.DbmsName());
}

TEST(ScratchCatalogue, KeepsSimultaneousCataloguesApartAndRemovesThemAfterUse) {
  std::string firstFile;
  {
    ScratchCatalogue first;
    ScratchCatalogue second;
    firstFile = first.file();
    EXPECT_NE(first.backend().dsn, second.backend().dsn);
    EXPECT_NE(first.file(), second.file());
    auto a = first.backend().Connect();
    kvt::test::AddEvent(a, "ABC", 100.0);
    auto b = second.backend().Connect();
    EXPECT_EQ(1, a.QueryCount("select count(*) from EVENTLIST"));
    EXPECT_EQ(0, b.QueryCount("select count(*) from EVENTLIST"));
  }
  EXPECT_FALSE(std::filesystem::exists(firstFile));
  ScratchCatalogue reused;  // takes the freed slot again, empty
  auto session = reused.backend().Connect();
  EXPECT_EQ(0, session.QueryCount("select count(*) from EVENTLIST"));
}

TEST(ScratchCatalogue, RunsOutOfSlotsWithAClearError) {
  std::vector<std::unique_ptr<ScratchCatalogue>> all;
  for (int i = 0; i < ScratchCatalogue::kSlots; ++i) all.push_back(std::make_unique<ScratchCatalogue>());
  EXPECT_THROW(ScratchCatalogue(), std::runtime_error);
}

TEST(ScratchCatalogue, ResetRestoresADroppedTendColumn) {
  ScratchCatalogue catalogue;
  auto session = catalogue.backend().Connect();
  kvt::test::DropTendColumn(session);
  EXPECT_FALSE(session.HasColumn("FILELIST", "TEND"));
  kvt::test::FileRow row;
  row.sta = "ABC";
  row.ch = "BHZ";
  row.tBegin = 1000;
  row.tQty = 60;
  kvt::test::CatalogueFile(session, row);  // leaves TEND out by itself
  EXPECT_EQ(1, session.QueryCount("select count(*) from FILELIST"));
  kvt::test::ResetCatalogue(catalogue.backend(), session);
  EXPECT_TRUE(session.HasColumn("FILELIST", "TEND"));
  EXPECT_EQ(0, session.QueryCount("select count(*) from FILELIST"));
}

TEST(OdbcSession, ReportsTheDriversMessage) {
  ScratchCatalogue catalogue;
  auto session = catalogue.backend().Connect();
  std::string error;
  EXPECT_FALSE(session.TryExec("select NOSUCH from FILELIST", &error));
  EXPECT_NE(std::string::npos, error.find("NOSUCH")) << error;
  EXPECT_THROW(kvt::test::OdbcSession("kvt_no_such_dsn", "", ""), kvt::test::OdbcError);
}

TEST(OdbcSession, QuotesValuesWithApostrophes) {
  EXPECT_EQ("O''Brien''s", kvt::test::Quote("O'Brien's"));
  ScratchCatalogue catalogue;
  auto session = catalogue.backend().Connect();
  kvt::test::AddEvent(session, "A'B", std::nullopt);
  EXPECT_EQ("A'B", session.QueryText("select STA from EVENTLIST"));
  EXPECT_EQ(std::nullopt, session.QueryText("select TBEGIN from EVENTLIST"));
}

}  // namespace

namespace {

TEST(AddDataFile, WritesTheFileUnderTheDataDirectoryAndCataloguesIt) {
  ScratchCatalogue catalogue;
  auto session = catalogue.backend().Connect();
  kvt::test::FileRow row;
  row.sta = "ABC";
  row.ch = "BHZ";
  row.tBegin = 1000.5;
  row.sps = 2;
  row.dataType = 1;
  row.fOff = 1024;
  const auto written = kvt::test::AddDataFile(session, catalogue.backend().dataDir, row, {1, 2, 3});
  EXPECT_EQ("ABC/BHZ-1000.kvt", written.cPath);
  EXPECT_EQ(1.5, written.tQty) << "three samples at 2 per second";
  const std::string bytes =
      kvt::test::ReadTextFile(catalogue.backend().dataDir + "/" + written.cPath);
  ASSERT_EQ(1024u + 6u, bytes.size());
  EXPECT_EQ(0u, bytes.find("[KVT5.x]\r\nData offset=1024\r\n"));
  EXPECT_EQ(std::string("\x01\x00\x02\x00\x03\x00", 6), bytes.substr(1024));
  EXPECT_EQ(1, session.QueryCount("select count(*) from FILELIST where CPATH='ABC/BHZ-1000.kvt'"
                                  " and FOFF=1024 and TQTY=1.5 and TEND=1002 and DATATYPE=1"));
}

}  // namespace
