// Loading and saving of the editor's settings: which keys it reads and writes, and that
// everything else in the file survives a save byte for byte.
#include "editor/editor_settings.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/profile.h"
#include "editor/channel_list.h"

namespace kvt::editor {
namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvt_editor_XXXXXX").string();
    ASSERT_NE(nullptr, ::mkdtemp(tmpl.data()));
    dir = tmpl;
    path = dir + "/kvtview.ini";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  void Write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  std::string Read() const {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  Profile Saved() const { return Profile::Load(path); }

  // Saves `s` with the connection values it was loaded with.
  SaveResult Save(EditorSettings& s, SaveChoices choices = {}) {
    DataSourceFields f;
    f.dsn = s.odbc;
    f.user = s.user;
    f.password = s.password;
    f.dataPath = s.dataDir;
    choices.useTend = choices.useTend || s.useTend;
    choices.updTend = choices.updTend || s.updTend;
    return SaveSettings(path, s, f, choices);
  }

  static std::string Sections(int from, int to) {
    std::string t;
    for (int i = from; i <= to; ++i)
      t += "[STA" + std::to_string(i) + "]\nNAME=S" + std::to_string(i) + "\nCH=BHZ\n";
    return t;
  }

  std::string dir;
  std::string path;
};

TEST(SettingsFileNameTest, FromArguments) {
  struct Case {
    std::vector<std::string> args;
    const char* expected;
    const char* why;
  } cases[] = {
      {{}, "./kvtview.ini", "no argument: kvtview.ini in the current directory"},
      {{"a.ini"}, "./a.ini", "bare name: current directory"},
      {{"D:\\cfg\\a.ini"}, "D:\\cfg\\a.ini", "drive path unchanged"},
      {{"\\\\srv\\share\\a.ini"}, "\\\\srv\\share\\a.ini", "network path unchanged"},
      {{"/etc/kvt/a.ini"}, "/etc/kvt/a.ini", "absolute path unchanged"},
      {{"ODBC=X", "USER=Y"}, "./kvtview.ini", "connection overrides: default file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.expected, SettingsFileName(c.args));
  }
}

TEST_F(SettingsFileTest, MissingFileGivesEditorDefaults) {
  const EditorSettings s = LoadSettings(path);
  EXPECT_EQ("kvt", s.odbc);
  EXPECT_EQ("kvt", s.user);
  EXPECT_EQ("qmz", s.password);
  EXPECT_EQ("d:\\data", s.dataDir);
  EXPECT_EQ("d:\\log", s.logDir);
  EXPECT_EQ(1200, s.intervalSec);
  EXPECT_EQ(60, s.delaySec);
  EXPECT_EQ(0, s.mode);
  EXPECT_EQ(0, s.channelCount);
  EXPECT_TRUE(s.channels.empty());
  EXPECT_EQ(0, s.useTend);
  EXPECT_EQ(0, s.updTend);
}

TEST_F(SettingsFileTest, LoadsChannelsUpToTheFirstGap) {
  Write("[SYSTEM]\nN#=5\n" + Sections(0, 2) + "[STA1X]\n");
  EditorSettings s = LoadSettings(path);
  EXPECT_EQ(3u, s.channels.size());
  EXPECT_EQ(3, s.channelCount);
  EXPECT_EQ("S2", s.channels[2].station);
  EXPECT_EQ("??", s.channels[2].lcode);  // absent LCODE means "none"

  Write("[SYSTEM]\nN#=2\n" + Sections(1, 3));  // no STA0
  s = LoadSettings(path);
  EXPECT_TRUE(s.channels.empty());
  EXPECT_EQ(0, s.channelCount);

  Write("[SYSTEM]\nN#=1\n[STA0]\n; only a comment\n" + Sections(1, 1));  // empty STA0
  EXPECT_TRUE(LoadSettings(path).channels.empty());
}

TEST_F(SettingsFileTest, SectionsBeyondTheCountAreWrittenBack) {
  Write("[SYSTEM]\nN#=2\n" + Sections(0, 3));
  EditorSettings s = LoadSettings(path);
  EXPECT_EQ(4u, s.channels.size());
  EXPECT_EQ(2, s.channelCount);
  ASSERT_TRUE(Save(s).ok());
  const Profile p = Saved();
  EXPECT_EQ(2, p.Int("SYSTEM", "N#", -1));
  for (int i = 0; i < 4; ++i) EXPECT_EQ("S" + std::to_string(i), p.Text("STA" + std::to_string(i), "NAME", "", 0));
}

TEST_F(SettingsFileTest, DeletedChannelsLoseTheirSectionsUpToAGap) {
  Write("[SYSTEM]\nN#=5\n" + Sections(0, 4) + "[STA7]\nNAME=OLD\n");
  EditorSettings s = LoadSettings(path);
  ChannelListModel list(s.channels, s.channelCount);
  ASSERT_TRUE(list.Remove(1));
  ASSERT_TRUE(list.Remove(1));
  ASSERT_TRUE(Save(s).ok());
  const Profile p = Saved();
  EXPECT_EQ(3, p.Int("SYSTEM", "N#", -1));
  EXPECT_EQ("S3", p.Text("STA1", "NAME", "", 0));
  EXPECT_EQ("S4", p.Text("STA2", "NAME", "", 0));
  EXPECT_FALSE(p.SectionHasKeys("STA3"));
  EXPECT_FALSE(p.SectionHasKeys("STA4"));
  EXPECT_EQ("OLD", p.Text("STA7", "NAME", "", 0));
  EXPECT_EQ(std::string::npos, Read().find("[STA3]"));
}

TEST_F(SettingsFileTest, UncheckedSaveSettingsStillWritesUseTend) {
  Write("[DATABASE]\nODBC=OLD\nUSER=u0\nPASSWORD=p0\nUSE_TEND=0\nUPD_TEND=0\n[DATA]\nDIR=/d0\n");
  EditorSettings s = LoadSettings(path);
  DataSourceFields f;
  f.dsn = "NEW";
  f.user = "u1";
  f.password = "p1";
  f.dataPath = "/d1";
  ASSERT_TRUE(SaveSettings(path, s, f, {true, true, false}).ok());
  const Profile p = Saved();
  EXPECT_EQ(1, p.Int("DATABASE", "USE_TEND", -1));
  EXPECT_EQ(0, p.Int("DATABASE", "UPD_TEND", -1));
  EXPECT_EQ("OLD", p.Text("DATABASE", "ODBC", "", 0));
  EXPECT_EQ("u0", p.Text("DATABASE", "USER", "", 0));
  EXPECT_EQ("p0", p.Text("DATABASE", "PASSWORD", "", 0));
  EXPECT_EQ("/d0", p.Text("DATA", "DIR", "", 0));

  ASSERT_TRUE(SaveSettings(path, s, f, {true, true, true}).ok());
  const Profile q = Saved();
  EXPECT_EQ(1, q.Int("DATABASE", "UPD_TEND", -1));
  EXPECT_EQ("NEW", q.Text("DATABASE", "ODBC", "", 0));
  EXPECT_EQ("u1", q.Text("DATABASE", "USER", "", 0));
  EXPECT_EQ("p1", q.Text("DATABASE", "PASSWORD", "", 0));
  EXPECT_EQ("/d1", q.Text("DATA", "DIR", "", 0));
  EXPECT_EQ("NEW", s.odbc);
}

TEST_F(SettingsFileTest, DataSourceNameIsWrittenUpToItsFirstBlank) {
  EditorSettings s = LoadSettings(path);
  DataSourceFields f;
  f.dsn = "My DB (User DSN)";
  ASSERT_TRUE(SaveSettings(path, s, f, {}).ok());
  EXPECT_EQ("My", Saved().Text("DATABASE", "ODBC", "", 0));
}

TEST_F(SettingsFileTest, FilterNeedsBothCorners) {
  EditorSettings s = LoadSettings(path);
  ChannelSetting a;
  a.station = "A";
  a.highHz = 5;
  ChannelSetting b = a;
  b.lowHz = 0.706;
  b.highHz = 1.4;
  s.channels = {a, b};
  s.channelCount = 2;
  ASSERT_TRUE(Save(s).ok());
  const Profile p = Saved();
  EXPECT_TRUE(p.Has("STA0", "FILTER"));
  EXPECT_EQ("", p.Text("STA0", "FILTER", "x", 0));
  EXPECT_EQ("0.71,1.40", p.Text("STA1", "FILTER", "", 0));
  const EditorSettings back = LoadSettings(path);
  EXPECT_DOUBLE_EQ(0.71, back.channels[1].lowHz);
  EXPECT_EQ(0.0, back.channels[0].highHz);
}

// A file as an operator keeps it: comments, keys only the monitor reads, odd spacing. A save
// that changes nothing leaves it byte for byte; a save that changes a channel and the delay
// touches only those values.
TEST_F(SettingsFileTest, KeysTheEditorDoesNotOwnSurviveByteForByte) {
  const std::string original =
      "; monitor of the northern stations\r\n"
      "[SYSTEM]\r\n"
      "FONT_NAME = Liberation Mono\r\n"
      "FONT_SIZE=12\r\n"
      "MONITOR=2\r\n"
      "T_SHIFT=-30\r\n"
      "SCALE=AUTO\r\n"
      "NSEC#=600\r\n"
      "MODE=1\r\n"
      "DELAY=45\r\n"
      "N#=1\r\n"
      "[LOG]\r\n"
      "LEVEL=debug\r\n"
      "DIR=/var/log/kvt\r\n"
      "[DATABASE]\r\n"
      "ODBC=KVT\r\n"
      "USER=kvt\r\n"
      "PASSWORD=secret\r\n"
      "USE_TEND=1\r\n"
      "UPD_TEND=0\r\n"
      "[DATA]\r\n"
      "DIR=/srv/kvt/data\r\n"
      "[STA0]\r\n"
      "; vertical only\r\n"
      "NAME=ARU\r\n"
      "CH=BHZ\r\n"
      "LCODE=00\r\n"
      "FILTER=0.70,1.40\r\n"
      "SCALE=1000\r\n";
  Write(original);
  EditorSettings s = LoadSettings(path);
  ASSERT_TRUE(Save(s).ok());
  EXPECT_EQ(original, Read());

  s.delaySec = 50;
  s.channels[0].station = "OBN";
  ASSERT_TRUE(Save(s).ok());
  std::string expected = original;
  expected.replace(expected.find("DELAY=45"), 8, "DELAY=50");
  expected.replace(expected.find("NAME=ARU"), 8, "NAME=OBN");
  EXPECT_EQ(expected, Read());
}

TEST_F(SettingsFileTest, FailedSaveChangesNothing) {
  Write("[SYSTEM]\nDELAY=45\n");
  EditorSettings s = LoadSettings(path);
  s.delaySec = 50;
  DataSourceFields f;
  f.user = "line\nbreak";  // a value the file cannot hold
  const SaveResult r = SaveSettings(path, s, f, {});
  EXPECT_FALSE(r.ok());
  EXPECT_NE(std::string::npos, r.error.find("USER"));
  EXPECT_EQ("[SYSTEM]\nDELAY=45\n", Read());
  EXPECT_EQ("kvt", s.user);

  EditorSettings t = LoadSettings(path);
  const SaveResult missingDir = SaveSettings(dir + "/no/such/dir/kvtview.ini", t, {}, {});
  EXPECT_FALSE(missingDir.ok());
  EXPECT_NE(std::string::npos, missingDir.error.find("no/such/dir"));
}

}  // namespace
}  // namespace kvt::editor
