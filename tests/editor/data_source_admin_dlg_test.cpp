// The editor's data source administrator dialog: what the edit form turns into a definition,
// and that adding and removing through the dialog reach the user's data sources.
#include "editor/data_source_admin_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

#include "editor/message_box.h"
#include "odbc_sandbox.h"

namespace kvt::editor {
namespace {

class DataSourceAdminDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureApplication();
    test::OdbcSandbox::Instance();
    previous = SetMessageBoxHandler([this](const MessageRequest& r) {
      messages << r.text;
      return answer;
    });
  }
  void TearDown() override { SetMessageBoxHandler(previous); }
  static QStringList Names(const CDataSourceAdminDlg& dlg) {
    QStringList out;
    for (int i = 0; i < dlg.list()->count(); ++i) out << dlg.list()->item(i)->text();
    return out;
  }

  QStringList messages;
  MsgAnswer answer = MsgAnswer::Yes;
  MessageBoxHandler previous;
};

TEST_F(DataSourceAdminDlgTest, EditFormGivesTheDefinition) {
  DsnDefinition def{"Main", "SQLite3", {{"Database", "/srv/a.db"}}};
  CDsnEditDlg dlg(def, {"SQLite3", "PostgreSQL Unicode"});
  EXPECT_EQ("Main", dlg.nameEdit()->text());
  EXPECT_EQ("SQLite3", dlg.driverList()->currentText());
  EXPECT_EQ("Database=/srv/a.db\n", dlg.attributesEdit()->toPlainText());
  dlg.nameEdit()->setText("  Main2 ");
  dlg.attributesEdit()->setPlainText("Database = /srv/b.db\nno equals sign\n=no key\nPort=5432");
  const DsnDefinition back = dlg.Definition();
  EXPECT_EQ("Main2", back.name);
  const std::vector<std::pair<std::string, std::string>> expected{{"Database", "/srv/b.db"},
                                                                  {"Port", "5432"}};
  EXPECT_EQ(expected, back.attributes);
}

TEST_F(DataSourceAdminDlgTest, StoreAndRemoveThroughTheDialog) {
  const std::string name = test::OdbcSandbox::UniqueName("ADMDLG");
  CDataSourceAdminDlg dlg;
  ASSERT_TRUE(dlg.Store({name, "SQLite3", {{"Database", "/tmp/x.db"}}}, {}));
  EXPECT_TRUE(Names(dlg).contains(QString::fromStdString(name)));

  EXPECT_FALSE(dlg.Store({"bad[name", "SQLite3", {}}, {}));
  EXPECT_EQ(1, messages.size());

  dlg.list()->setCurrentRow(static_cast<int>(Names(dlg).indexOf(QString::fromStdString(name))));
  answer = MsgAnswer::No;
  dlg.RemoveSelected();
  EXPECT_TRUE(Names(dlg).contains(QString::fromStdString(name)));
  answer = MsgAnswer::Yes;
  dlg.RemoveSelected();
  EXPECT_FALSE(Names(dlg).contains(QString::fromStdString(name)));
  EXPECT_TRUE(ReadUserDsn(name).name.empty());
}

}  // namespace
}  // namespace kvt::editor
