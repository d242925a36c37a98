// Third page of the main dialog: display interval, redraw delay and time mode.
#pragma once

#include <QWidget>

class QSpinBox;
class QRadioButton;

namespace kvt::editor {

struct EditorSettings;

//! Edits intervalSec, delaySec and mode of the settings at once; nothing is written here.
class CDisplayPage : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kIntervalMin = 1;     //!< seconds
  static constexpr int kIntervalMax = 5400;  //!< seconds
  static constexpr int kDelayMin = 1;        //!< seconds
  static constexpr int kDelayMax = 1200;     //!< seconds

  //! Works on `settings`, which must outlive the page.
  CDisplayPage(EditorSettings& settings, QWidget* parent = nullptr);

  QSpinBox* intervalSpin() const { return interval_; }
  QSpinBox* delaySpin() const { return delay_; }
  QRadioButton* databaseTimeButton() const { return databaseTime_; }
  QRadioButton* utcTimeButton() const { return utcTime_; }

 private:
  EditorSettings& settings_;
  QSpinBox* interval_ = nullptr;
  QSpinBox* delay_ = nullptr;
  QRadioButton* databaseTime_ = nullptr;
  QRadioButton* utcTime_ = nullptr;
};

}  // namespace kvt::editor
