// The channel dialog over real catalogues (SQLite, PostgreSQL, MariaDB, and MariaDB with
// mixed-case names): which codes it offers, how it matches the edited channel, and what it
// stores.
#include "editor/channel_dlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <memory>

#include "editor/editor_state.h"
#include "editor/message_box.h"
#include "backend_test.h"
#include "catalogue_rows.h"
#include "odbc_sandbox.h"

namespace kvt::editor {
namespace {

QStringList Items(const QComboBox* c) {
  QStringList out;
  for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
  return out;
}

class ChannelDlgTest : public kvt::test::BackendTest {
 protected:
  void SetUp() override {
    kvt::test::BackendTest::SetUp();
    if (IsSkipped()) return;
    test::EnsureApplication();
    const std::optional<std::string> null;  // LCODE stored as NULL
    kvt::test::DescribeChannel(session(), "OBN", "BHN", "00", std::nullopt);
    kvt::test::DescribeChannel(session(), "OBN", "BHZ", "00", std::nullopt);
    kvt::test::DescribeChannel(session(), "OBN", "BHZ", null, std::nullopt);
    kvt::test::DescribeChannel(session(), "OBN", "BHE", "10", std::nullopt);
    kvt::test::DescribeChannel(session(), "ARU", "SHZ", "01", std::nullopt);
    kvt::test::DescribeChannel(session(), "O'X", "LHZ", null, std::nullopt);
    const ConnectOutcome out =
        state.connection.Connect(backend().dsn, backend().user, backend().password);
    ASSERT_TRUE(out.ok) << out.diagnostic;
    previous = SetMessageBoxHandler([this](const MessageRequest& r) {
      messages << r.text;
      return MsgAnswer::Ok;
    });
  }
  void TearDown() override {
    SetMessageBoxHandler(previous);
    state.connection.Disconnect();
    kvt::test::BackendTest::TearDown();
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

  EditorState state;
  QStringList messages;
  MessageBoxHandler previous;
};

TEST_P(ChannelDlgTest, NewChannelStartsFilteredWithTheFirstCodes) {
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

TEST_P(ChannelDlgTest, ChannelsInQueryOrderAndNullLocationAsUnknown) {
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

TEST_P(ChannelDlgTest, QuotesInCodesReachTheQueryDoubled) {
  AddChannel("O'X", "LHZ", "??");
  CChannelDlg dlg(state, 0, 0);
  EXPECT_EQ("O'X", dlg.stationList()->currentText());
  EXPECT_EQ((QStringList{"LHZ"}), Items(dlg.channelList()));
  EXPECT_EQ((QStringList{"??"}), Items(dlg.lcodeList()));
  EXPECT_TRUE(messages.isEmpty());
}

TEST_P(ChannelDlgTest, MissingCodesAreReportedAndTheFirstEntryTaken) {
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

TEST_P(ChannelDlgTest, EmptyFrequencyKeepsTheDialogOpen) {
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

TEST_P(ChannelDlgTest, WithoutConnectionTheListsStayEmpty) {
  state.connection.Disconnect();
  AddChannel("OBN", "BHZ", "00");
  CChannelDlg dlg(state, -1, 1);
  EXPECT_EQ(0, dlg.stationList()->count());
  dlg.accept();
  ASSERT_EQ(2u, state.settings.channels.size());
  EXPECT_EQ("", state.settings.channels[1].station);
  EXPECT_TRUE(messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Db, ChannelDlgTest,
                         ::testing::Values(kvt::test::BackendKind::SQLite, kvt::test::BackendKind::PostgreSQL,
                                           kvt::test::BackendKind::MariaDB,
                                           kvt::test::BackendKind::MariaDBMixedCase),
                         kvt::test::BackendParamName);

}  // namespace
}  // namespace kvt::editor
