// First page of the main dialog: the numbered list of channels the monitor shows, in order.
#pragma once

#include <QWidget>

#include "editor/channel_list.h"

class QPushButton;
class QTableWidget;

namespace kvt::editor {

struct EditorState;

//! Shows the first channelCount channels of the settings and lets the user add, change,
//! delete and reorder them. Changes go straight into the settings; nothing is written here.
class CChannelListPage : public QWidget {
  Q_OBJECT
 public:
  //! Works on `state`, which must outlive the page.
  CChannelListPage(EditorState& state, QWidget* parent = nullptr);

  QTableWidget* table() const { return table_; }
  QPushButton* upButton() const { return up_; }
  QPushButton* downButton() const { return down_; }
  QPushButton* addButton() const { return add_; }
  QPushButton* deleteButton() const { return delete_; }
  QPushButton* changeButton() const { return change_; }
  const ChannelListModel& model() const { return model_; }

  //! Row selected in the table, -1 when none.
  int SelectedRow() const;
  //! Selects `row` alone (or nothing for -1).
  void SelectRow(int row);

  //! Opens the channel dialog to add a channel at the selected row.
  void AddChannel();
  //! Opens the channel dialog for the selected channel.
  void ChangeChannel();
  //! Deletes the selected channel after the user confirms.
  void DeleteChannel();
  void MoveUp();
  void MoveDown();
  //! Sorts by station code (a click on the "Код станции" title).
  void SortByStation();
  //! A left or right click on `row` (-1: no row) with or without Ctrl held.
  void RowClicked(int row, bool right, bool ctrl);

  //! Refills the whole table from the settings.
  void Rebuild();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetRow(int row);
  void FitColumns();

  EditorState& state_;
  ChannelListModel model_;
  QTableWidget* table_ = nullptr;
  QPushButton* up_ = nullptr;
  QPushButton* down_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* change_ = nullptr;
};

}  // namespace kvt::editor
