#include "editor/channel_list.h"

#include <algorithm>
#include <numeric>

namespace kvt::editor {

RowTexts MakeRowTexts(const ChannelSetting& ch, int row) {
  RowTexts t;
  t[0] = std::to_string(row + 1);
  t[1] = ch.station;
  t[2] = ch.channel;
  t[3] = ch.lcode;
  t[4] = ch.IsFiltered() ? FilterValue(ch) : kNoFilterText;
  return t;
}

ChannelSetting ChannelFromRowTexts(const RowTexts& texts) {
  ChannelSetting ch;
  ch.station = texts[1];
  ch.channel = texts[2];
  ch.lcode = texts[3];
  if (texts[4] == kNoFilterText) {
    ch.lowHz = 0.0;
    ch.highHz = 0.0;
  } else {
    ParseFilter(texts[4], ch.lowHz, ch.highHz);
  }
  return ch;
}

ChannelListModel::ChannelListModel(std::vector<ChannelSetting>& channels, int& channelCount)
    : channels_(channels), channelCount_(channelCount) {}

int ChannelListModel::RowCount() const {
  const int size = static_cast<int>(channels_.size());
  return std::clamp(channelCount_, 0, size);
}

RowTexts ChannelListModel::Row(int row) const {
  if (!IsRow(row)) return {};
  return MakeRowTexts(channels_[row], row);
}

ChannelSetting ChannelListModel::ReadBack(int row) const {
  return ChannelFromRowTexts(MakeRowTexts(channels_[row], row));
}

int ChannelListModel::Insert(int insertIndex, const ChannelSetting& ch) {
  const int rows = RowCount();
  const int at = std::clamp(insertIndex, 0, rows);
  channels_.insert(channels_.begin() + at, ch);
  channelCount_ = rows + 1;
  return at;
}

bool ChannelListModel::Replace(int row, const ChannelSetting& ch) {
  if (!IsRow(row)) return false;
  channels_[row] = ch;
  return true;
}

bool ChannelListModel::Remove(int row) {
  if (!IsRow(row)) return false;
  const int rows = RowCount();
  channels_.erase(channels_.begin() + row);
  channelCount_ = rows - 1;
  if (anchorRow_ >= RowCount()) anchorRow_ = -1;
  return true;
}

int ChannelListModel::MoveUp(int row) {
  if (!IsRow(row) || row == 0) return -1;
  std::swap(channels_[row], channels_[row - 1]);
  anchorRow_ = row - 1;
  return anchorRow_;
}

int ChannelListModel::MoveDown(int row) {
  if (!IsRow(row) || row + 1 >= RowCount()) return -1;
  std::swap(channels_[row], channels_[row + 1]);
  anchorRow_ = row + 1;
  return anchorRow_;
}

int ChannelListModel::SortByStation(int selectedRow) {
  const int rows = RowCount();
  std::vector<int> order(rows);
  std::iota(order.begin(), order.end(), 0);
  // std::string compares through char_traits<char>, which compares as unsigned char: the byte
  // order of the codes, case-sensitive, as the operators expect from the old list.
  const bool ascending = sortAscending_;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const int c = channels_[a].station.compare(channels_[b].station);
    return ascending ? c < 0 : c > 0;
  });
  std::vector<ChannelSetting> sorted;
  sorted.reserve(rows);
  int newSelected = -1;
  for (int i = 0; i < rows; ++i) {
    sorted.push_back(ReadBack(order[i]));
    if (order[i] == selectedRow) newSelected = i;
  }
  std::move(sorted.begin(), sorted.end(), channels_.begin());
  sortAscending_ = !sortAscending_;
  anchorRow_ = newSelected;
  return newSelected;
}

bool ChannelListModel::Click(int row, bool ctrl) {
  const int anchor = anchorRow_;
  anchorRow_ = IsRow(row) ? row : -1;
  if (!ctrl || !IsRow(anchor) || !IsRow(row) || anchor == row) return false;
  ChannelSetting clicked = ReadBack(row);
  ChannelSetting anchored = ReadBack(anchor);
  channels_[anchor] = std::move(clicked);
  channels_[row] = std::move(anchored);
  return true;
}

bool ChannelListModel::RightClick(int row, bool ctrl) {
  const int anchor = anchorRow_;
  anchorRow_ = IsRow(row) ? row : -1;
  if (!ctrl || !IsRow(anchor) || !IsRow(row) || anchor == row) return false;
  ChannelSetting moved = ReadBack(anchor);
  channels_.erase(channels_.begin() + anchor);
  channels_.insert(channels_.begin() + row, std::move(moved));
  return true;
}

}  // namespace kvt::editor
