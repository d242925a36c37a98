// The main dialog: its pages, and when it writes the settings file.
#include "editor/settings_dlg.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/profile.h"
#include "editor/data_source_page.h"
#include "editor/display_page.h"
#include "editor/editor_state.h"
#include "editor/message_box.h"
#include "odbc_sandbox.h"

namespace kvt::editor {
namespace {

class SettingsDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureApplication();
    test::OdbcSandbox& sandbox = test::OdbcSandbox::Instance();
    dsn = test::OdbcSandbox::UniqueName("DLG");
    sandbox.AddSqliteDsn(dsn, sandbox.dir() + "/" + dsn + ".db", false);
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvt_dlg_XXXXXX").string();
    ASSERT_NE(nullptr, ::mkdtemp(tmpl.data()));
    dir = tmpl;
    state.settingsFile = dir + "/kvtview.ini";
    state.commandLine = "inikvtview";
    state.systemFile = dir + "/kvt.ini";
    previous = SetMessageBoxHandler([this](const MessageRequest& r) {
      messages << r.text;
      return MsgAnswer::Ok;
    });
  }
  void TearDown() override {
    SetMessageBoxHandler(previous);
    std::filesystem::remove_all(dir);
  }
  void Write(const std::string& text) {
    std::ofstream(state.settingsFile, std::ios::binary) << text;
  }
  std::string Read() const {
    std::ifstream in(state.settingsFile, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static QPushButton* Button(QWidget& w, const QString& text) {
    for (auto* b : w.findChildren<QPushButton*>())
      if (b->text() == text && b->parentWidget() == &w) return b;
    return nullptr;
  }

  std::string dsn, dir;
  EditorState state;
  QStringList messages;
  MessageBoxHandler previous;
};

TEST_F(SettingsDlgTest, PagesInOrderAndConnectionOpened) {
  Write("[DATABASE]\nODBC=" + dsn + "\n");
  CSettingsDlg dlg(state);
  EXPECT_EQ("Изменение настороек системы визуализации данных...", dlg.windowTitle());
  ASSERT_EQ(3, dlg.tabs()->count());
  EXPECT_EQ("Просмотр каналов", dlg.tabs()->tabText(0));
  EXPECT_EQ("Источник данных", dlg.tabs()->tabText(1));
  EXPECT_EQ("Вывод на экран", dlg.tabs()->tabText(2));
  EXPECT_EQ(0, dlg.tabs()->currentIndex());
  EXPECT_NE(nullptr, Button(dlg, "Применить"));
  EXPECT_NE(nullptr, Button(dlg, "OK"));
  EXPECT_NE(nullptr, Button(dlg, "Отмена"));
  EXPECT_TRUE(state.connection.connected());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SettingsDlgTest, FailedConnectionIsShownAndTheEditorGoesOn) {
  Write("[DATABASE]\nODBC=NoSuchSource\n");
  CSettingsDlg dlg(state);
  EXPECT_FALSE(state.connection.connected());
  ASSERT_EQ(1, messages.size());
  EXPECT_TRUE(messages[0].startsWith("При попытке подключения"));
}

TEST_F(SettingsDlgTest, ApplyAndOkWriteCancelDoesNot) {
  const std::string original = "[SYSTEM]\nDELAY=45\nT_SHIFT=5\n[DATABASE]\nODBC=" + dsn + "\n";
  Write(original);
  {
    CSettingsDlg dlg(state);
    dlg.displayPage()->delaySpin()->setValue(50);
    Button(dlg, "Отмена")->click();
    EXPECT_EQ(original, Read());
  }
  {
    CSettingsDlg dlg(state);
    dlg.displayPage()->delaySpin()->setValue(50);
    Button(dlg, "Применить")->click();
    EXPECT_EQ(50, Profile::Load(state.settingsFile).Int("SYSTEM", "DELAY", 0));
    dlg.displayPage()->delaySpin()->setValue(55);
    Button(dlg, "OK")->click();
    EXPECT_EQ(QDialog::Accepted, dlg.result());
  }
  const Profile p = Profile::Load(state.settingsFile);
  EXPECT_EQ(55, p.Int("SYSTEM", "DELAY", 0));
  EXPECT_EQ(5, p.Int("SYSTEM", "T_SHIFT", 0));
  EXPECT_EQ(dsn, p.Text("DATABASE", "ODBC", "", 0));
  EXPECT_EQ(1200, p.Int("SYSTEM", "NSEC#", 0));
}

TEST_F(SettingsDlgTest, WithoutSaveSettingsOnlyUseTendOfTheConnectionKeys) {
  Write("[DATABASE]\nODBC=" + dsn + "\nUSER=u0\nUSE_TEND=0\n");
  CSettingsDlg dlg(state);
  dlg.dataSourcePage()->saveSettingsBox()->click();
  dlg.dataSourcePage()->useTendBox()->click();
  state.fields.user = "other";
  ASSERT_TRUE(dlg.Save());
  const Profile p = Profile::Load(state.settingsFile);
  EXPECT_EQ(1, p.Int("DATABASE", "USE_TEND", -1));
  EXPECT_EQ("u0", p.Text("DATABASE", "USER", "", 0));
  EXPECT_FALSE(p.Has("DATABASE", "UPD_TEND"));
}

TEST_F(SettingsDlgTest, FailedSaveKeepsTheDialogOpen) {
  state.settingsFile = dir + "/missing/kvtview.ini";
  CSettingsDlg dlg(state);
  messages.clear();
  dlg.show();
  Button(dlg, "OK")->click();
  EXPECT_NE(QDialog::Accepted, dlg.result());
  ASSERT_EQ(1, messages.size());
  EXPECT_TRUE(messages[0].contains("missing"));
}

}  // namespace
}  // namespace kvt::editor
