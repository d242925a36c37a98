// The ordered channel list of the editor and every operation the channel list page offers on it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "editor/channel_setting.h"

namespace kvt::editor {

//! Texts of one row of the channel table: number, station, channel, location code, filter.
using RowTexts = std::array<std::string, 5>;

//! Filter column text when a channel is not filtered.
inline constexpr const char* kNoFilterText = "нет";

//! Row texts of channel `ch` shown as row `row` (0-based; the number shown is row + 1).
RowTexts MakeRowTexts(const ChannelSetting& ch, int row);

//! Channel rebuilt from the texts of a row. The codes are taken whole; the frequencies are
//! read back from the two-decimal filter text, so they take the values the table shows.
ChannelSetting ChannelFromRowTexts(const RowTexts& texts);

//! Operations of the channel list page on the settings' channel array. Only the first
//! `channelCount` entries are shown as rows; entries beyond them (sections the file holds past
//! N#) keep their place behind the shown ones and are never touched here.
class ChannelListModel {
 public:
  //! Works on the caller's array and count, which must outlive the model.
  ChannelListModel(std::vector<ChannelSetting>& channels, int& channelCount);

  //! Number of rows shown (channelCount, never more than the array holds).
  int RowCount() const;
  //! Texts of row `row`; empty texts for a row that does not exist.
  RowTexts Row(int row) const;

  //! Inserts `ch` at row `insertIndex` (-1 means 0; past the end means after the last row) and
  //! counts it as shown. Returns the row it now occupies.
  int Insert(int insertIndex, const ChannelSetting& ch);
  //! Replaces the channel of row `row`; false when there is no such row.
  bool Replace(int row, const ChannelSetting& ch);
  //! Removes row `row`; later rows move up by one. False when there is no such row.
  bool Remove(int row);

  //! Exchanges row `row` with the row above; returns the channel's new row (which becomes the
  //! anchor) or -1 when nothing moved.
  int MoveUp(int row);
  //! Exchanges row `row` with the row below; returns the new row or -1 when nothing moved.
  int MoveDown(int row);

  //! Sorts the rows by station code, byte by byte as unsigned characters, ascending on the
  //! first call and alternating afterwards; the frequencies take their shown two-decimal values.
  //! `selectedRow` is the selected row before the sort; returns its row after the sort (-1 when
  //! none), which also becomes the anchor.
  int SortByStation(int selectedRow);

  //! Left click on `row` (-1: no row). With `ctrl` and an anchor on another row the two rows
  //! exchange their channels. The clicked row becomes the anchor. True when the rows changed.
  bool Click(int row, bool ctrl);
  //! Right click on `row`. With `ctrl` and an anchor on another row the anchor's channel moves
  //! to `row` (the rows between shift by one). The clicked row becomes the anchor. True when
  //! the rows changed.
  bool RightClick(int row, bool ctrl);

  int anchorRow() const { return anchorRow_; }
  void setAnchorRow(int row) { anchorRow_ = row; }
  bool sortAscending() const { return sortAscending_; }

 private:
  bool IsRow(int row) const { return row >= 0 && row < RowCount(); }
  ChannelSetting ReadBack(int row) const;

  std::vector<ChannelSetting>& channels_;
  int& channelCount_;
  int anchorRow_ = -1;        //!< row last clicked or moved to; -1 = none
  bool sortAscending_ = true; //!< direction of the next sort by station
};

}  // namespace kvt::editor
