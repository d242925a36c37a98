// The user data sources written through the installer library: what the editor's small
// administrator writes must be what every ODBC program then sees.
#include "editor/odbc_admin.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "editor/editor_connection.h"
#include "odbc_sandbox.h"

namespace kvt::editor {
namespace {

bool Listed(const std::string& name) {
  const auto all = UserDataSources();
  return std::find(all.begin(), all.end(), name) != all.end();
}

TEST(OdbcAdminTest, DriversOfThePrivateConfiguration) {
  test::OdbcSandbox::Instance();
  const auto drivers = InstalledDrivers();
  EXPECT_NE(drivers.end(), std::find(drivers.begin(), drivers.end(), "SQLite3"));
}

TEST(OdbcAdminTest, WriteReadRenameRemove) {
  test::OdbcSandbox& sandbox = test::OdbcSandbox::Instance();
  const std::string name = test::OdbcSandbox::UniqueName("ADM");
  DsnDefinition def;
  def.name = name;
  def.driver = "SQLite3";
  def.attributes = {{"Database", sandbox.dir() + "/adm.db"}, {"Description", "test catalogue"}};
  ASSERT_TRUE(WriteUserDsn(def).ok());
  EXPECT_TRUE(Listed(name));
  const DsnDefinition back = ReadUserDsn(name);
  EXPECT_EQ(name, back.name);
  EXPECT_EQ("SQLite3", back.driver);
  EXPECT_EQ(def.attributes, back.attributes);

  // The driver manager itself now connects through it.
  EditorConnection c;
  EXPECT_TRUE(c.Connect(name, "", "").ok);
  c.Disconnect();

  // Dropping an attribute removes it; renaming removes the old name.
  const std::string renamed = test::OdbcSandbox::UniqueName("ADM");
  def.name = renamed;
  def.attributes.pop_back();
  ASSERT_TRUE(WriteUserDsn(def, name).ok());
  EXPECT_FALSE(Listed(name));
  EXPECT_TRUE(Listed(renamed));
  EXPECT_EQ(def.attributes, ReadUserDsn(renamed).attributes);

  ASSERT_TRUE(RemoveUserDsn(renamed).ok());
  EXPECT_FALSE(Listed(renamed));
  EXPECT_TRUE(ReadUserDsn(renamed).name.empty());
}

TEST(OdbcAdminTest, RefusesWhatTheFileCannotHold) {
  test::OdbcSandbox::Instance();
  struct Case {
    DsnDefinition def;
    const char* why;
  } cases[] = {
      {{"", "SQLite3", {}}, "empty name"},
      {{"a[b", "SQLite3", {}}, "bracket in the name"},
      {{"x=y", "SQLite3", {}}, "equals sign in the name"},
      {{"ok", "", {}}, "no driver"},
      {{"ok", "SQLite3", {{"Data=base", "x"}}}, "equals sign in a key"},
      {{"ok", "SQLite3", {{"Database", "a\nb"}}}, "line break in a value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_FALSE(WriteUserDsn(c.def).ok());
  }
  EXPECT_FALSE(Listed("ok"));
}

}  // namespace
}  // namespace kvt::editor
