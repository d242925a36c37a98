// Where the editor's starting connection values come from, and the texts of the data source
// list and of the connection reports.
#include "editor/data_source_resolution.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace kvt::editor {
namespace {

DataSourceFields Fields(const char* dsn, const char* user, const char* pw, const char* data) {
  DataSourceFields f;
  f.dsn = dsn;
  f.user = user;
  f.password = pw;
  f.dataPath = data;
  return f;
}

void ExpectFields(const DataSourceFields& expected, const DataSourceFields& actual) {
  EXPECT_EQ(expected.dsn, actual.dsn);
  EXPECT_EQ(expected.user, actual.user);
  EXPECT_EQ(expected.password, actual.password);
  EXPECT_EQ(expected.dataPath, actual.dataPath);
}

TEST(CommandLineOverridesTest, TokensInOrder) {
  struct Case {
    const char* line;
    int taken;
    DataSourceFields expected;
    const char* why;
  } cases[] = {
      {"inikvtview odbc=main user=op password=pw data=/srv/d", 4,
       Fields("MAIN", "OP", "PW", "/SRV/D"), "lower case tokens, values upper-cased"},
      {"inikvtview ODBC=main DATA=/d", 1, Fields("MAIN", "old", "old", "old"),
       "DATA= out of order ends the parse"},
      {"inikvtview ODBC=A  USER=B", 2, Fields("A", "B", "old", "old"), "several blanks"},
      {"inikvtview ODBC=A USER=B PASSWORD=C DATA=D EXTRA=E", 4, Fields("A", "B", "C", "D"),
       "a fifth token is ignored"},
      {"inikvtview kvtview.ini", 0, Fields("old", "old", "old", "old"), "no ODBC="},
      {"inikvtview x USER=B ODBC=A", 1, Fields("A", "old", "old", "old"),
       "parse starts at ODBC="},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    DataSourceFields f = Fields("old", "old", "old", "old");
    EXPECT_EQ(c.taken, ApplyCommandLineOverrides(c.line, f));
    ExpectFields(c.expected, f);
  }
}

class ResolveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvt_editor_XXXXXX").string();
    ASSERT_NE(nullptr, ::mkdtemp(tmpl.data()));
    dir = tmpl;
    settings = dir + "/kvtview.ini";
    system = dir + "/kvt.ini";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string dir, settings, system;
};

TEST_F(ResolveTest, CommandLineWins) {
  Write(settings, "[DATABASE]\nODBC=FILE\n");
  DataSourceFields f;
  ResolveDataSource("inikvtview ODBC=cmd DATA=/x", settings, system, f);
  ExpectFields(Fields("CMD", "", "", ""), f);
}

TEST_F(ResolveTest, EmptyOdbcOnTheCommandLineLeavesItToTheFiles) {
  Write(settings, "[DATABASE]\nODBC=FILE\nUSER=u\n");
  DataSourceFields f;
  ResolveDataSource("inikvtview ODBC= USER=x", settings, system, f);
  ExpectFields(Fields("FILE", "u", "", ""), f);
}

TEST_F(ResolveTest, SettingsFileThenSystemFileThenDefaults) {
  Write(settings, "[DATABASE]\nODBC=\nUSER=su\n[DATA]\nDIR=/sd\n");
  Write(system, "[DATABASE]\nODBC=SYS\nUSER=yu\nPASSWORD=yp\n[DATA]\nDIR=/yd\n");
  DataSourceFields f;
  ResolveDataSource("inikvtview", settings, system, f);
  ExpectFields(Fields("SYS", "yu", "yp", "/yd"), f);

  Write(settings, "[DATABASE]\nODBC=Mine\nUSER=su\n");
  ResolveDataSource("inikvtview", settings, system, f);
  ExpectFields(Fields("Mine", "su", "", ""), f);

  DataSourceFields d;
  ResolveDataSource("inikvtview", dir + "/none.ini", dir + "/none2.ini", d);
  ExpectFields(Fields("KVT", "KVT", "QMZ", "D:\\Data"), d);
}

TEST(EditorSystemFileTest, WindirElseEtc) {
  auto env = [](std::optional<std::string> windir) {
    return [windir](const char* name) -> std::optional<std::string> {
      return std::string(name) == "WINDIR" ? windir : std::nullopt;
    };
  };
  EXPECT_EQ("/etc/kvt.ini", EditorSystemFile(env(std::nullopt)));
  EXPECT_EQ("/opt/win/kvt.ini", EditorSystemFile(env("/opt/win")));
  EXPECT_EQ("/opt/win/kvt.ini", EditorSystemFile(env("/opt/win/")));
}

TEST(DsnEntryTest, SuffixesOnAndOff) {
  EXPECT_EQ("A (System DSN)", DsnEntryText("A", true));
  EXPECT_EQ("My DB (User DSN)", DsnEntryText("My DB", false));
  EXPECT_EQ("A", DsnForTest("A (System DSN)"));
  EXPECT_EQ("My DB", DsnForTest("My DB (User DSN)"));
  EXPECT_EQ("", DsnForTest("Plain"));
  EXPECT_EQ("Plain", DsnForPageOk("Plain"));
  EXPECT_EQ("My DB", DsnForPageOk("My DB (User DSN)"));
  const std::vector<std::string> entries{"A (System DSN)", "kvt2 (User DSN)", "KVT (User DSN)"};
  EXPECT_EQ(1, FindEntryStartingWith(entries, "KVT"));  // from the top, any case
  EXPECT_EQ(-1, FindEntryStartingWith(entries, "B"));
}

TEST(ConnectReportTest, Texts) {
  const std::vector<std::string> tables{"T1", "T2"};
  EXPECT_EQ(
      "Успешное подключение к DSN: db\t\r\nПользователь: u\r\n\r\n"
      "Количество таблиц: 2\r\n\tT1\r\n\tT2\r\n",
      ConnectReportText("db", "u", &tables));
  EXPECT_EQ("Успешное подключение к DSN: db\t\r\nПользователь: u\r\n\r\n",
            ConnectReportText("db", "u", nullptr));
  EXPECT_EQ("При попытке подключения к базе данных произошла ошибка:\r\nno such DSN",
            ConnectFailureText("no such DSN"));
}

}  // namespace
}  // namespace kvt::editor
