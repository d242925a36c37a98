// Channel list operations of the settings editor: ordering, numbering and the two-decimal
// round trip of the filter corners.
#include "editor/channel_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kvt::editor {
namespace {

ChannelSetting Ch(const std::string& sta, double low = 0, double high = 0) {
  ChannelSetting c;
  c.station = sta;
  c.channel = "BHZ";
  c.lowHz = low;
  c.highHz = high;
  return c;
}

std::vector<std::string> Stations(const std::vector<ChannelSetting>& v) {
  std::vector<std::string> out;
  for (const auto& c : v) out.push_back(c.station);
  return out;
}

using Names = std::vector<std::string>;

TEST(LeadingDoubleTest, BehavesLikeAtof) {
  struct Case {
    const char* text;
    double value;
    const char* why;
  } cases[] = {
      {"0.70", 0.70, "plain"},
      {"  1.4", 1.4, "leading blanks skipped"},
      {"2.5Hz", 2.5, "trailing text ignored"},
      {"-3", -3.0, "sign"},
      {"+3", 3.0, "plus sign"},
      {"abc", 0.0, "no number gives 0"},
      {"", 0.0, "empty gives 0"},
      {"1e1", 10.0, "exponent"},
      {"--1", 0.0, "double sign is no number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_DOUBLE_EQ(c.value, LeadingDouble(c.text));
  }
}

TEST(FilterTextTest, FormatsAndParses) {
  EXPECT_EQ("0.71,1.40", FilterValue(Ch("A", 0.706, 1.4)));
  EXPECT_EQ("", FilterValue(Ch("A", 0, 5)));  // only one corner: not filtered
  EXPECT_EQ("", FilterValue(Ch("A", 5, 0)));
  double lo = -1, hi = -1;
  ParseFilter("0.5,2", lo, hi);
  EXPECT_DOUBLE_EQ(0.5, lo);
  EXPECT_DOUBLE_EQ(2.0, hi);
  ParseFilter("0.5", lo, hi);  // no comma: no filter
  EXPECT_EQ(0.0, lo);
  EXPECT_EQ(0.0, hi);
  ParseFilter("1,2,3", lo, hi);  // split at the first comma only
  EXPECT_DOUBLE_EQ(1.0, lo);
  EXPECT_DOUBLE_EQ(2.0, hi);
}

TEST(RowTextsTest, ShowsNumberCodesAndFilter) {
  ChannelSetting c = Ch("ARU", 0.706, 1.4);
  c.lcode = "00";
  EXPECT_EQ((RowTexts{"3", "ARU", "BHZ", "00", "0.71,1.40"}), MakeRowTexts(c, 2));
  EXPECT_EQ("нет", MakeRowTexts(Ch("ARU", 0, 5), 0)[4]);
}

class ChannelListTest : public ::testing::Test {
 protected:
  void Set(std::vector<ChannelSetting> v, int count = -1) {
    channels = std::move(v);
    count_ = count < 0 ? static_cast<int>(channels.size()) : count;
  }
  std::vector<ChannelSetting> channels;
  int count_ = 0;
  ChannelListModel model{channels, count_};
};

TEST_F(ChannelListTest, MoveUpAndDown) {
  Set({Ch("P"), Ch("Q"), Ch("R")});
  EXPECT_EQ(0, model.MoveUp(1));
  EXPECT_EQ((Names{"Q", "P", "R"}), Stations(channels));
  EXPECT_EQ(0, model.anchorRow());
  EXPECT_EQ("1", model.Row(0)[0]);
  EXPECT_EQ("Q", model.Row(0)[1]);
  EXPECT_EQ(-1, model.MoveUp(0));    // first row: nothing
  EXPECT_EQ(-1, model.MoveDown(2));  // last row: nothing
  EXPECT_EQ(-1, model.MoveDown(-1)); // no selection: nothing
  EXPECT_EQ((Names{"Q", "P", "R"}), Stations(channels));
  EXPECT_EQ(2, model.MoveDown(1));
  EXPECT_EQ((Names{"Q", "R", "P"}), Stations(channels));
}

TEST_F(ChannelListTest, InsertAtSelectedRowOrFirst) {
  Set({Ch("A"), Ch("B"), Ch("C")});
  EXPECT_EQ(2, model.Insert(2, Ch("N")));
  EXPECT_EQ((Names{"A", "B", "N", "C"}), Stations(channels));
  EXPECT_EQ(4, count_);
  EXPECT_EQ(0, model.Insert(-1, Ch("M")));
  EXPECT_EQ((Names{"M", "A", "B", "N", "C"}), Stations(channels));
  EXPECT_EQ(5, count_);
}

TEST_F(ChannelListTest, RemoveRenumbers) {
  Set({Ch("A"), Ch("B"), Ch("C")});
  EXPECT_TRUE(model.Remove(1));
  EXPECT_EQ(2, model.RowCount());
  EXPECT_EQ("1", model.Row(0)[0]);
  EXPECT_EQ("2", model.Row(1)[0]);
  EXPECT_EQ("C", model.Row(1)[1]);
  EXPECT_FALSE(model.Remove(-1));
  EXPECT_FALSE(model.Remove(2));
  EXPECT_EQ(2, count_);
}

TEST_F(ChannelListTest, SortAlternatesAndComparesBytes) {
  // "b" > "Z" > "A" in byte order; a non-ASCII code sorts after every ASCII one, as bytes
  // compared unsigned do.
  Set({Ch("b"), Ch("\xD0\x90RU"), Ch("A"), Ch("Z")});
  EXPECT_EQ(2, model.SortByStation(0));  // "b" was selected and is now third
  EXPECT_EQ((Names{"A", "Z", "b", "\xD0\x90RU"}), Stations(channels));
  EXPECT_EQ(2, model.anchorRow());
  model.SortByStation(-1);
  EXPECT_EQ((Names{"\xD0\x90RU", "b", "Z", "A"}), Stations(channels));
  EXPECT_EQ(-1, model.anchorRow());
  model.SortByStation(-1);
  EXPECT_EQ((Names{"A", "Z", "b", "\xD0\x90RU"}), Stations(channels));
  for (int i = 0; i < model.RowCount(); ++i) EXPECT_EQ(std::to_string(i + 1), model.Row(i)[0]);
}

TEST_F(ChannelListTest, SortAndSwapKeepShownFrequencies) {
  Set({Ch("B", 0.706, 1.4), Ch("A", 0, 5)});
  model.SortByStation(-1);
  EXPECT_EQ("A", channels[0].station);
  EXPECT_EQ(0.0, channels[0].highHz);  // "нет" reads back as no filter at all
  EXPECT_DOUBLE_EQ(0.71, channels[1].lowHz);
  EXPECT_DOUBLE_EQ(1.40, channels[1].highHz);

  Set({Ch("B", 0.706, 1.4), Ch("A")});
  model.Click(0, false);
  EXPECT_TRUE(model.Click(1, true));
  EXPECT_EQ("B", channels[1].station);
  EXPECT_DOUBLE_EQ(0.71, channels[1].lowHz);
  EXPECT_DOUBLE_EQ(1.40, channels[1].highHz);
}

TEST_F(ChannelListTest, CtrlClickSwapThenCtrlRightClickMove) {
  Set({Ch("A"), Ch("B"), Ch("C"), Ch("D")});
  EXPECT_FALSE(model.Click(1, false));
  EXPECT_TRUE(model.Click(3, true));
  EXPECT_EQ((Names{"A", "D", "C", "B"}), Stations(channels));
  EXPECT_EQ(3, model.anchorRow());
  EXPECT_TRUE(model.RightClick(0, true));
  EXPECT_EQ((Names{"B", "A", "D", "C"}), Stations(channels));
  EXPECT_EQ(0, model.anchorRow());
}

TEST_F(ChannelListTest, GesturesWithoutAnchorOrCtrlOnlySetTheAnchor) {
  Set({Ch("A"), Ch("B"), Ch("C")});
  EXPECT_FALSE(model.Click(2, true));  // no anchor yet
  EXPECT_EQ(2, model.anchorRow());
  EXPECT_FALSE(model.Click(2, true));  // same row
  EXPECT_FALSE(model.RightClick(0, false));
  EXPECT_EQ(0, model.anchorRow());
  EXPECT_FALSE(model.Click(-1, false));
  EXPECT_EQ(-1, model.anchorRow());
  EXPECT_FALSE(model.RightClick(1, true));
  EXPECT_EQ((Names{"A", "B", "C"}), Stations(channels));
}

TEST_F(ChannelListTest, EntriesBeyondTheCountStayBehind) {
  // N#=2 with four sections: only two rows are shown, the other two keep their place.
  Set({Ch("D"), Ch("C"), Ch("B"), Ch("A")}, 2);
  EXPECT_EQ(2, model.RowCount());
  model.SortByStation(-1);
  EXPECT_EQ((Names{"C", "D", "B", "A"}), Stations(channels));
  EXPECT_EQ(-1, model.MoveDown(1));
  EXPECT_EQ(2, model.Insert(7, Ch("N")));
  EXPECT_EQ((Names{"C", "D", "N", "B", "A"}), Stations(channels));
  EXPECT_EQ(3, count_);
  EXPECT_FALSE(model.RightClick(3, true));  // hidden entry is no row
  EXPECT_TRUE(model.Remove(0));
  EXPECT_EQ((Names{"D", "N", "B", "A"}), Stations(channels));
  EXPECT_EQ(2, count_);
}

}  // namespace
}  // namespace kvt::editor
