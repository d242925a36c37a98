// The data source page against the driver manager: the data source list, the connection test
// and its reports, the TEND boxes and the values the page starts with.
#include "editor/data_source_page.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "editor/editor_state.h"
#include "editor/message_box.h"
#include "odbc_sandbox.h"

namespace kvt::editor {
namespace {

class DataSourcePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureApplication();
    state.commandLine = "inikvtview";
    state.settingsFile = "/nonexistent/kvtview.ini";
    state.systemFile = "/nonexistent/kvt.ini";
    previous = SetMessageBoxHandler([this](const MessageRequest& r) {
      boxes.push_back(r);
      return MsgAnswer::Ok;
    });
  }
  void TearDown() override { SetMessageBoxHandler(previous); }

  static QStringList Entries(const CDataSourcePage& page) {
    QStringList out;
    for (int i = 0; i < page.dataSourceList()->count(); ++i)
      out << page.dataSourceList()->itemText(i);
    return out;
  }

  EditorState state;
  std::vector<MessageRequest> boxes;
  MessageBoxHandler previous;
};

TEST_F(DataSourcePageTest, SystemDataSourcesFirstWithTheirSuffixes) {
  test::OdbcSandbox& sandbox = test::OdbcSandbox::Instance();
  const std::string user = test::OdbcSandbox::UniqueName("B");
  const std::string system = test::OdbcSandbox::UniqueName("A");
  sandbox.AddSqliteDsn(user, sandbox.dir() + "/b.db", false);
  sandbox.AddSqliteDsn(system, sandbox.dir() + "/a.db", true);
  CDataSourcePage page(state);
  const QStringList entries = Entries(page);
  const int a = entries.indexOf(QString::fromStdString(system + " (System DSN)"));
  const int b = entries.indexOf(QString::fromStdString(user + " (User DSN)"));
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  EXPECT_LT(a, b);
  // Every system data source comes before every user data source.
  bool seenUser = false;
  for (const QString& e : entries) {
    if (e.endsWith(" (User DSN)")) seenUser = true;
    else EXPECT_FALSE(seenUser) << e.toStdString();
  }
}

TEST_F(DataSourcePageTest, DefaultsWithoutAnySourceSelectAKvtEntry) {
  test::OdbcSandbox& sandbox = test::OdbcSandbox::Instance();
  const std::string kvt = test::OdbcSandbox::UniqueName("kvt");  // any case matches
  sandbox.AddSqliteDsn(kvt, sandbox.dir() + "/kvt.db", false);
  CDataSourcePage page(state);
  EXPECT_EQ("KVT", state.fields.dsn);
  EXPECT_EQ("QMZ", state.fields.password);
  EXPECT_EQ("D:\\Data", state.fields.dataPath);
  EXPECT_EQ("KVT", page.userEdit()->text());
  EXPECT_TRUE(page.dataSourceList()->currentText().startsWith("kvt"));
  EXPECT_TRUE(page.saveSettingsBox()->isChecked());
}

TEST_F(DataSourcePageTest, CommandLineValuesArriveUpperCased) {
  state.commandLine = "inikvtview odbc=main user=op password=pw data=/srv/d";
  CDataSourcePage page(state);
  EXPECT_EQ("MAIN", state.fields.dsn);
  EXPECT_EQ("OP", page.userEdit()->text());
  EXPECT_EQ("PW", page.passwordEdit()->text());
  EXPECT_EQ(QLineEdit::Password, page.passwordEdit()->echoMode());
  EXPECT_EQ("/SRV/D", page.dataPathEdit()->text());
}

TEST_F(DataSourcePageTest, TestReportsTheTablesOfAUserDataSource) {
  test::OdbcSandbox& sandbox = test::OdbcSandbox::Instance();
  const std::string name = test::OdbcSandbox::UniqueName("My DB ");
  sandbox.AddSqliteDsn(name, sandbox.dir() + "/two.db", false);
  test::OdbcSandbox::Execute(name, {"CREATE TABLE T1 (A INTEGER)", "CREATE TABLE T2 (B INTEGER)"});
  CDataSourcePage page(state);
  page.dataSourceList()->setCurrentText(QString::fromStdString(name + " (User DSN)"));
  page.userEdit()->setText("op");
  page.testButton()->click();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("Подключение к источнику данных!", boxes[0].title);
  EXPECT_EQ(MsgIcon::Information, boxes[0].icon);
  EXPECT_EQ(QString::fromStdString("Успешное подключение к DSN: " + name +
                                   "\t\r\nПользователь: op\r\n\r\n"
                                   "Количество таблиц: 2\r\n\tT1\r\n\tT2\r\n"),
            boxes[0].text);
  EXPECT_EQ(name, state.fields.dsn);
  EXPECT_TRUE(state.connection.connected());
}

TEST_F(DataSourcePageTest, FailedTestLeavesNoConnection) {
  test::OdbcSandbox& sandbox = test::OdbcSandbox::Instance();
  const std::string name = test::OdbcSandbox::UniqueName("OK");
  sandbox.AddSqliteDsn(name, sandbox.dir() + "/ok.db", false);
  state.fields.dsn = name;
  ASSERT_TRUE(ConnectDataSource(state, false));
  EXPECT_TRUE(boxes.empty());
  CDataSourcePage page(state);
  page.dataSourceList()->addItem("NoSuchSource (User DSN)");
  page.dataSourceList()->setCurrentText("NoSuchSource (User DSN)");
  page.testButton()->click();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ("Ошибка при подключении к базе данных", boxes[0].title);
  EXPECT_EQ(MsgIcon::Critical, boxes[0].icon);
  EXPECT_TRUE(boxes[0].text.startsWith("При попытке подключения к базе данных произошла ошибка:\r\n"));
  EXPECT_FALSE(state.connection.connected());
}

TEST_F(DataSourcePageTest, TendBoxes) {
  struct Case {
    int useTend, updTend;
    bool updChecked, updEnabled;
    const char* why;
  } cases[] = {
      {1, 1, true, true, "both set"},
      {0, 1, false, false, "update needs use"},
      {1, 0, false, true, "use only"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    state.settings.useTend = c.useTend;
    state.settings.updTend = c.updTend;
    CDataSourcePage page(state);
    EXPECT_EQ(c.useTend != 0, page.useTendBox()->isChecked());
    EXPECT_EQ(c.updChecked, page.updTendBox()->isChecked());
    EXPECT_EQ(c.updEnabled, page.updTendBox()->isEnabled());
  }
  state.settings.useTend = 1;
  state.settings.updTend = 1;
  CDataSourcePage page(state);
  page.useTendBox()->click();
  EXPECT_FALSE(page.updTendBox()->isChecked());
  EXPECT_FALSE(page.updTendBox()->isEnabled());
  page.useTendBox()->click();
  EXPECT_TRUE(page.updTendBox()->isEnabled());
}

TEST_F(DataSourcePageTest, SelectionAndPageOkSetTheFields) {
  CDataSourcePage page(state);
  page.dataSourceList()->addItem("Main DB (System DSN)");
  page.dataSourceList()->setCurrentText("Main DB (System DSN)");
  EXPECT_EQ("Main DB (System DSN)", state.fields.dsn);  // the file gets it up to the blank
  page.dataPathEdit()->setText("/srv/data");
  EXPECT_EQ("/srv/data", state.fields.dataPath);
  page.useTendBox()->click();
  page.TakeValues();
  EXPECT_EQ("Main DB", state.fields.dsn);
  EXPECT_EQ(1, state.settings.useTend);
}

}  // namespace
}  // namespace kvt::editor
