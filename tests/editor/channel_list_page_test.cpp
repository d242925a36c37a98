// The channel list page: what the table shows and how clicks, buttons and the delete
// confirmation change the channel list.
#include "editor/channel_list_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "editor/channel_dlg.h"
#include "editor/editor_state.h"
#include "editor/message_box.h"
#include "odbc_sandbox.h"

namespace kvt::editor {
namespace {

class ChannelListPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureApplication();
    previous = SetMessageBoxHandler([this](const MessageRequest& r) {
      asked << r.text;
      return answer;
    });
  }
  void TearDown() override { SetMessageBoxHandler(previous); }

  void Set(std::initializer_list<const char*> stations) {
    state.settings.channels.clear();
    for (const char* s : stations) {
      ChannelSetting c;
      c.station = s;
      c.channel = "BHZ";
      state.settings.channels.push_back(c);
    }
    state.settings.channelCount = static_cast<int>(state.settings.channels.size());
  }
  QStringList Column(const CChannelListPage& page, int column) const {
    QStringList out;
    for (int r = 0; r < page.table()->rowCount(); ++r) out << page.table()->item(r, column)->text();
    return out;
  }
  void Click(CChannelListPage& page, int row, Qt::MouseButton button, bool ctrl) {
    const QRect rect = page.table()->visualRect(page.table()->model()->index(row, 1));
    QTest::mouseClick(page.table()->viewport(), button,
                      ctrl ? Qt::ControlModifier : Qt::NoModifier, rect.center());
  }

  EditorState state;
  MsgAnswer answer = MsgAnswer::Yes;
  QStringList asked;
  MessageBoxHandler previous;
};

TEST_F(ChannelListPageTest, ShowsNumberedRowsWithFilter) {
  Set({"ARU", "OBN", "HIDDEN"});
  state.settings.channels[0].lowHz = 0.706;
  state.settings.channels[0].highHz = 1.4;
  state.settings.channels[1].highHz = 5;
  state.settings.channelCount = 2;
  CChannelListPage page(state);
  EXPECT_EQ((QStringList{"", "Код станции", "Код канала", "LCODE", "Фильтр"}),
            (QStringList{page.table()->horizontalHeaderItem(0)->text(),
                         page.table()->horizontalHeaderItem(1)->text(),
                         page.table()->horizontalHeaderItem(2)->text(),
                         page.table()->horizontalHeaderItem(3)->text(),
                         page.table()->horizontalHeaderItem(4)->text()}));
  EXPECT_EQ((QStringList{"1", "2"}), Column(page, 0));
  EXPECT_EQ((QStringList{"ARU", "OBN"}), Column(page, 1));
  EXPECT_EQ((QStringList{"0.71,1.40", "нет"}), Column(page, 4));
}

TEST_F(ChannelListPageTest, MoveButtonsSelectTheMovedRow) {
  Set({"P", "Q", "R"});
  CChannelListPage page(state);
  page.SelectRow(1);
  page.upButton()->click();
  EXPECT_EQ((QStringList{"Q", "P", "R"}), Column(page, 1));
  EXPECT_EQ(0, page.SelectedRow());
  EXPECT_EQ(0, page.model().anchorRow());
  EXPECT_EQ("1", page.table()->item(0, 0)->text());
  page.SelectRow(2);
  page.downButton()->click();
  EXPECT_EQ((QStringList{"Q", "P", "R"}), Column(page, 1));
}

TEST_F(ChannelListPageTest, AddInsertsAtTheSelectedRowOrFirst) {
  Set({"A", "B", "C"});
  CChannelListPage page(state);
  auto acceptDialog = [] {
    QTimer::singleShot(0, [] {
      if (auto* d = qobject_cast<CChannelDlg*>(QApplication::activeModalWidget())) d->accept();
    });
  };
  page.SelectRow(2);
  acceptDialog();
  page.addButton()->click();
  EXPECT_EQ((QStringList{"A", "B", "", "C"}), Column(page, 1));
  EXPECT_EQ(4, state.settings.channelCount);
  page.table()->clearSelection();
  state.settings.channels[2].station = "N";
  page.Rebuild();
  acceptDialog();
  page.addButton()->click();
  EXPECT_EQ((QStringList{"", "A", "B", "N", "C"}), Column(page, 1));
  EXPECT_EQ((QStringList{"1", "2", "3", "4", "5"}), Column(page, 0));
}

TEST_F(ChannelListPageTest, ChangeEditsTheSelectedRowOrAddsAtTheTop) {
  Set({"A", "B"});
  CChannelListPage page(state);
  page.show();
  QString title;
  auto acceptDialog = [&title] {
    QTimer::singleShot(0, [&title] {
      if (auto* d = qobject_cast<CChannelDlg*>(QApplication::activeModalWidget())) {
        title = d->windowTitle();
        d->accept();
      }
    });
  };
  const QRect rect = page.table()->visualRect(page.table()->model()->index(1, 2));
  QTest::mouseClick(page.table()->viewport(), Qt::LeftButton, {}, rect.center());
  acceptDialog();
  QTest::mouseDClick(page.table()->viewport(), Qt::LeftButton, {}, rect.center());
  EXPECT_EQ("Изменение канала...", title);
  EXPECT_EQ((QStringList{"A", ""}), Column(page, 1));  // no catalogue: empty codes stored
  EXPECT_EQ(2, state.settings.channelCount);

  page.table()->clearSelection();
  acceptDialog();
  page.changeButton()->click();
  EXPECT_EQ("Добавление канала...", title);
  EXPECT_EQ((QStringList{"", "A", ""}), Column(page, 1));
  EXPECT_EQ(3, state.settings.channelCount);
}

TEST_F(ChannelListPageTest, SortByStationAlternates) {
  Set({"B", "C", "A"});
  CChannelListPage page(state);
  const int x = page.table()->horizontalHeader()->sectionViewportPosition(1) + 5;
  for (const QStringList& expected :
       {QStringList{"A", "B", "C"}, QStringList{"C", "B", "A"}, QStringList{"A", "B", "C"}}) {
    QTest::mouseClick(page.table()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(x, 5));
    EXPECT_EQ(expected, Column(page, 1));
    EXPECT_EQ((QStringList{"1", "2", "3"}), Column(page, 0));
    EXPECT_EQ(expected[0].toStdString(), state.settings.channels[0].station);
  }
  const int other = page.table()->horizontalHeader()->sectionViewportPosition(2) + 5;
  QTest::mouseClick(page.table()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                    QPoint(other, 5));
  EXPECT_EQ((QStringList{"A", "B", "C"}), Column(page, 1));  // other titles do nothing
}

TEST_F(ChannelListPageTest, CtrlClickSwapsAndCtrlRightClickMoves) {
  Set({"A", "B", "C", "D"});
  CChannelListPage page(state);
  page.show();
  Click(page, 1, Qt::LeftButton, false);
  Click(page, 3, Qt::LeftButton, true);
  EXPECT_EQ((QStringList{"A", "D", "C", "B"}), Column(page, 1));
  Click(page, 0, Qt::RightButton, true);
  EXPECT_EQ((QStringList{"B", "A", "D", "C"}), Column(page, 1));
  EXPECT_EQ("B", state.settings.channels[0].station);
}

TEST_F(ChannelListPageTest, DeleteAsksAndRenumbers) {
  Set({"A", "B", "C"});
  CChannelListPage page(state);
  page.SelectRow(1);
  answer = MsgAnswer::No;
  page.deleteButton()->click();
  EXPECT_EQ((QStringList{"Вы действительно хотите\n удалить станцию?"}), asked);
  EXPECT_EQ(3, page.table()->rowCount());
  answer = MsgAnswer::Yes;
  page.deleteButton()->click();
  EXPECT_EQ((QStringList{"A", "C"}), Column(page, 1));
  EXPECT_EQ((QStringList{"1", "2"}), Column(page, 0));
  EXPECT_EQ(1, page.table()->item(1, 0)->data(Qt::UserRole).toInt());
  EXPECT_EQ(2, state.settings.channelCount);
  asked.clear();
  page.table()->clearSelection();
  page.deleteButton()->click();  // nothing selected: nothing asked, nothing removed
  EXPECT_TRUE(asked.isEmpty());
  EXPECT_EQ(2, page.table()->rowCount());
}

}  // namespace
}  // namespace kvt::editor
