// The channel dialog over a real SQLite catalogue: which codes it offers, how it matches the
// edited channel, and what it stores.
#include "editor/channel_dlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <memory>

#include "editor/editor_state.h"
#include "editor/message_box.h"
#include "odbc_sandbox.h"

namespace kvt::editor {
namespace {

QStringList Items(const QComboBox* c) {
  QStringList out;
  for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
  return out;
}

class ChannelDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureApplication();
    test::OdbcSandbox& sandbox = test::OdbcSandbox::Instance();
    dsn = test::OdbcSandbox::UniqueName("CAT");
    sandbox.AddSqliteDsn(dsn, sandbox.dir() + "/" + dsn + ".db", false);
    test::OdbcSandbox::Execute(dsn, {
        "CREATE TABLE SITECHAN (NINDEX INTEGER PRIMARY KEY, STA VARCHAR(16), CHAN VARCHAR(16), "
        "LCODE VARCHAR(8))",
        "INSERT INTO SITECHAN (STA, CHAN, LCODE) VALUES ('OBN', 'BHN', '00')",
        "INSERT INTO SITECHAN (STA, CHAN, LCODE) VALUES ('OBN', 'BHZ', '00')",
        "INSERT INTO SITECHAN (STA, CHAN, LCODE) VALUES ('OBN', 'BHZ', NULL)",
        "INSERT INTO SITECHAN (STA, CHAN, LCODE) VALUES ('OBN', 'BHE', '10')",
        "INSERT INTO SITECHAN (STA, CHAN, LCODE) VALUES ('ARU', 'SHZ', '01')",
        "INSERT INTO SITECHAN (STA, CHAN, LCODE) VALUES ('O''X', 'LHZ', NULL)",
    });
    ASSERT_TRUE(state.connection.Connect(dsn, "", "").ok);
    previous = SetMessageBoxHandler([this](const MessageRequest& r) {
      messages << r.text;
      return MsgAnswer::Ok;
    });
  }
  void TearDown() override {
    SetMessageBoxHandler(previous);
    state.connection.Disconnect();
  }
  void AddChannel(const char* sta, const char* ch, const char* lcode, double lo = 0, double hi = 0) {
    ChannelSetting c;
    c.station = sta;
    c.channel = ch;
    c.lcode = lcode;
    c.lowHz = lo;
    c.highHz = hi;
    state.settings.channels.push_back(c);
    state.settings.channelCount = static_cast<int>(state.settings.channels.size());
  }

  std::string dsn;
  EditorState state;
  QStringList messages;
  MessageBoxHandler previous;
};

TEST_F(ChannelDlgTest, NewChannelStartsFilteredWithTheFirstCodes) {
  AddChannel("A", "B", "C");
  CChannelDlg dlg(state, -1, -1);
  EXPECT_EQ(QStringLiteral("Добавление канала..."), dlg.windowTitle());
  EXPECT_EQ((QStringList{"ARU", "O'X", "OBN"}), Items(dlg.stationList()));  // sorted
  EXPECT_EQ("ARU", dlg.stationList()->currentText());
  EXPECT_EQ("SHZ", dlg.channelList()->currentText());
  EXPECT_TRUE(dlg.filterBox()->isChecked());
  EXPECT_TRUE(dlg.lowEdit()->isEnabled());
  EXPECT_EQ("0.70", dlg.lowEdit()->text());
  EXPECT_EQ("1.40", dlg.highEdit()->text());
  dlg.accept();
  EXPECT_EQ(QDialog::Accepted, dlg.result());
  ASSERT_EQ(2u, state.settings.channels.size());
  EXPECT_EQ(2, state.settings.channelCount);
  const ChannelSetting& c = state.settings.channels[0];  // inserted at row 0
  EXPECT_EQ("ARU", c.station);
  EXPECT_EQ("SHZ", c.channel);
  EXPECT_EQ("01", c.lcode);
  EXPECT_EQ("0.70,1.40", FilterValue(c));
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ChannelDlgTest, ChannelsInQueryOrderAndNullLocationAsUnknown) {
  AddChannel("OBN", "BHZ", "??");
  CChannelDlg dlg(state, 0, 0);
  EXPECT_EQ(QStringLiteral("Изменение канала..."), dlg.windowTitle());
  EXPECT_EQ((QStringList{"BHZ", "BHN", "BHE"}), Items(dlg.channelList()));
  EXPECT_EQ((QStringList{"00", "??"}), Items(dlg.lcodeList()));
  EXPECT_EQ("??", dlg.lcodeList()->currentText());
  EXPECT_FALSE(dlg.filterBox()->isChecked());  // no filter: box off, edits disabled
  EXPECT_FALSE(dlg.lowEdit()->isEnabled());
  EXPECT_EQ("0.70", dlg.lowEdit()->text());
  dlg.filterBox()->click();
  EXPECT_TRUE(dlg.lowEdit()->isEnabled());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ChannelDlgTest, QuotesInCodesReachTheQueryDoubled) {
  AddChannel("O'X", "LHZ", "??");
  CChannelDlg dlg(state, 0, 0);
  EXPECT_EQ("O'X", dlg.stationList()->currentText());
  EXPECT_EQ((QStringList{"LHZ"}), Items(dlg.channelList()));
  EXPECT_EQ((QStringList{"??"}), Items(dlg.lcodeList()));
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ChannelDlgTest, MissingCodesAreReportedAndTheFirstEntryTaken) {
  struct Case {
    const char* sta;
    const char* ch;
    const char* lcode;
    QStringList expected;
    const char* why;
  } cases[] = {
      {"GONE", "SHZ", "01", {"Станция не найдена в базе данных"},
       "station left SITECHAN: first station, whose codes match"},
      {"OBN", "HHZ", "00", {"Канал не найден в базе данных"}, "channel missing"},
      {"OBN", "BHE", "99", {"LCODE не найден в базе данных"}, "location code missing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    state.settings.channels.clear();
    AddChannel(c.sta, c.ch, c.lcode);
    messages.clear();
    CChannelDlg dlg(state, 0, 0);
    EXPECT_EQ(c.expected, messages);
  }
  // Picking another station in the edit form matches the edited channel again.
  state.settings.channels.clear();
  AddChannel("OBN", "BHE", "10");
  messages.clear();
  CChannelDlg dlg(state, 0, 0);
  dlg.stationList()->setCurrentText("ARU");
  dlg.StationPicked();
  EXPECT_EQ((QStringList{"Канал не найден в базе данных", "LCODE не найден в базе данных"}),
            messages);
  EXPECT_EQ("SHZ", dlg.channelList()->currentText());
  EXPECT_EQ("01", dlg.lcodeList()->currentText());
}

TEST_F(ChannelDlgTest, EmptyFrequencyKeepsTheDialogOpen) {
  AddChannel("OBN", "BHZ", "00", 0.5, 2.0);
  CChannelDlg dlg(state, 0, 0);
  EXPECT_EQ("0.50", dlg.lowEdit()->text());
  dlg.highEdit()->clear();
  dlg.accept();
  EXPECT_EQ((QStringList{"Необходимо заполнить верхний и нижний фильтры"}), messages);
  EXPECT_NE(QDialog::Accepted, dlg.result());
  EXPECT_DOUBLE_EQ(2.0, state.settings.channels[0].highHz);

  dlg.filterBox()->click();  // unfiltered: the empty edit does not matter
  dlg.accept();
  EXPECT_EQ(QDialog::Accepted, dlg.result());
  EXPECT_FALSE(state.settings.channels[0].IsFiltered());
  EXPECT_EQ(1u, state.settings.channels.size());
}

TEST_F(ChannelDlgTest, WithoutConnectionTheListsStayEmpty) {
  state.connection.Disconnect();
  AddChannel("OBN", "BHZ", "00");
  CChannelDlg dlg(state, -1, 1);
  EXPECT_EQ(0, dlg.stationList()->count());
  dlg.accept();
  ASSERT_EQ(2u, state.settings.channels.size());
  EXPECT_EQ("", state.settings.channels[1].station);
  EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
}  // namespace kvt::editor
