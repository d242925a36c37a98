// Dialog to add a channel to the list or change one, offering only codes that SITECHAN lists.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "editor/sitechan_queries.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace kvt::editor {

struct EditorState;

//! Channel dialog. Built with the index of the channel to change (-1: add a new channel) and
//! the row a new channel is inserted at (-1 means 0). On OK the channel has been stored in the
//! settings' channel list (and counted when added).
class CChannelDlg : public QDialog {
  Q_OBJECT
 public:
  CChannelDlg(EditorState& state, int editIndex, int insertIndex, QWidget* parent = nullptr);

  QComboBox* stationList() const { return station_; }
  QComboBox* channelList() const { return channel_; }
  QComboBox* lcodeList() const { return lcode_; }
  QCheckBox* filterBox() const { return filter_; }
  QLineEdit* lowEdit() const { return low_; }
  QLineEdit* highEdit() const { return high_; }

  //! Re-fills the channel list for the selected station (as when the user picks a station).
  void StationPicked();
  //! Re-fills the location code list for the selected channel (as when the user picks one).
  void ChannelPicked();

 public slots:
  void accept() override;

 private:
  bool IsEdit() const { return editIndex_ >= 0; }
  std::vector<std::string> Fetch(const std::string& sql, bool nullAsUnknown) const;
  void FillList(QComboBox* list, const std::vector<std::string>& values, const std::string& wanted,
                const QString& missingText);
  void FillChannels();
  void FillLcodes();

  EditorState& state_;
  int editIndex_;
  int insertIndex_;
  SitechanNames names_;
  QComboBox* station_ = nullptr;
  QComboBox* channel_ = nullptr;
  QComboBox* lcode_ = nullptr;
  QCheckBox* filter_ = nullptr;
  QLineEdit* low_ = nullptr;
  QLineEdit* high_ = nullptr;
};

}  // namespace kvt::editor
