#include "viewer/editor_command.h"

#include <set>

#include <gtest/gtest.h>

namespace kvt::viewer {
namespace {

TEST(EditorSettingsFileName, ExecutableNameCutBeforeItsFirstDot) {
  const struct {
    const char* path;
    const char* expected;
  } cases[] = {
      {"/opt/kvt/bin/kvtview", "kvtview.ini"},
      {"/opt/kvt/bin/viewer2", "viewer2.ini"},  // the viewer itself still reads kvtview.ini
      {"/x/a.b.exe", "a.ini"},
      {"C:\\KVT\\kvtview.exe", "kvtview.ini"},
      {"kvtview", "kvtview.ini"},
      {"/odd.dir/prog", "prog.ini"},  // dots of directories do not count
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(EditorSettingsFileName(c.path), c.expected);
  }
}

TEST(FindEditorProgram, OwnDirectoryThenCurrentDirectoryThenPath) {
  const struct {
    const char* reason;
    std::set<std::string> present;
    const char* pathValue;
    const char* expected;
  } cases[] = {
      {"own directory first", {"/own/inikvtview", "/cwd/inikvtview", "/p1/inikvtview"}, "/p1",
       "/own/inikvtview"},
      {"then the current directory", {"/cwd/inikvtview", "/p1/inikvtview"}, "/p1",
       "/cwd/inikvtview"},
      {"then PATH in its order", {"/p2/inikvtview", "/p3/inikvtview"}, "/p1:/p2:/p3",
       "/p2/inikvtview"},
      {"a directory with a trailing slash", {"/p1/inikvtview"}, "/p1/", "/p1/inikvtview"},
      {"nowhere", {}, "/p1:/p2", ""},
      {"empty PATH", {}, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    std::vector<std::string> asked;
    const std::string found =
        FindEditorProgram("/own", "/cwd", c.pathValue, [&](const std::string& p) {
          asked.push_back(p);
          return c.present.count(p) > 0;
        });
    EXPECT_EQ(found, c.expected);
  }
}

TEST(FindEditorProgram, EmptyPathElementMeansTheCurrentDirectory) {
  std::vector<std::string> asked;
  FindEditorProgram("", "/cwd", "/p1::/p2", [&](const std::string& p) {
    asked.push_back(p);
    return false;
  });
  EXPECT_EQ(asked, (std::vector<std::string>{"/cwd/inikvtview", "/p1/inikvtview",
                                             "/cwd/inikvtview", "/p2/inikvtview"}));
}

}  // namespace
}  // namespace kvt::viewer
