// The monitor's main window "Varurod": the finished picture of the last redraw pass, the
// status bar with the time readout, the tip that follows the mouse while a button is held,
// the "Конфигурация" command, and the refresh thread that drives everything drawn.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QFont>
#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <QTimer>

#include "refresh_thread.h"
#include "time_readout.h"

class QLabel;
class QToolButton;

namespace kvt::viewer {

class NotificationListener;
class PictureWidget;
class MonitorTable;

//! Number of channels whose latest data time the window keeps.
inline constexpr int kLatestTimeCount = 64;

//! What one finished redraw pass hands to the window.
struct FramePicture {
  double windowStart = 0.0;   //!< epoch seconds at the left edge
  double windowEnd = 0.0;     //!< epoch seconds at the right edge
  bool titleSet = false;      //!< the title window below is known (a channel got that far)
  double titleStart = 0.0;    //!< epoch seconds, window start shown in the title
  double titleLength = 0.0;   //!< seconds, window length shown in the title
  int drawWidth = 0;          //!< pixels
  int drawHeight = 0;         //!< pixels
  std::array<double, kLatestTimeCount> latestTimes{};  //!< epoch seconds per channel, -1 unknown
  QImage image;               //!< the finished picture
};

/// Runs one redraw pass for a drawing area of `drawingSize` pixels on the refresh thread.
/// Returns nothing when the pass returned early (the window keeps its picture).
using FramePass =
    std::function<std::optional<FramePicture>(QSize drawingSize, std::atomic<bool>& redrawRequested)>;

struct FrameOptions {
  std::string settingsPath = "./kvtview.ini";  //!< read for MONITOR, DELAY, FONT_SIZE, FONT_NAME
  FramePass pass;                               //!< the redraw pass; none draws nothing
  std::chrono::milliseconds initialWait{5000};  //!< refresh thread's pause before the first pass
  std::chrono::milliseconds tick{1000};         //!< one second of the countdown
  std::chrono::milliseconds stopWait{120000};   //!< longest wait for the refresh thread at destroy
  std::function<void()> launchEditor;           //!< the "Конфигурация" command; default starts the editor
  bool listen = true;                           //!< listen for the editor's "kvtview" notification
  std::string listenName;                       //!< socket name; default kvtview-<pid>
  std::string listenDirectory;                  //!< socket directory; default NotificationDirectory()
};

/// Fills `table` with the full rectangles of the desktop's screens in Qt's order (at most 8).
void RecordMonitors(MonitorTable& table);

class CMainFrame : public QMainWindow {
 public:
  /// Builds the window on the monitor that `MONITOR` names, starts the refresh thread and the
  /// 500 ms tip timer. Show it with showMaximized().
  explicit CMainFrame(FrameOptions options);
  /// Logs the stop line, stops the refresh thread and waits for it (at most stopWait).
  ~CMainFrame() override;

  std::atomic<bool>& redrawRequested() { return flags_->redrawRequested; }
  const std::atomic<bool>& stopRequested() const { return flags_->stopRequested; }
  const QFont& drawingFont() const { return drawingFont_; }
  const QImage& picture() const { return picture_; }
  const std::array<double, kLatestTimeCount>& latestTimes() const { return latestTimes_; }
  const ReadoutWindow& readoutWindow() const { return readout_; }
  QWidget* pictureWidget() const;
  QString paneText(int index) const;
  int paneWidth(int index) const;
  QToolButton* configurationButton() const { return configButton_; }
  /// The tip label while a tip is shown, else null.
  QLabel* tip() const { return tip_.get(); }
  /// True once the refresh thread has ended.
  bool RefreshEnded() const { return refresh_->Ended(); }

  /// Runs the "Конфигурация" command and repaints the window.
  void RunConfigurationCommand();

  // Mouse handling of the picture, in its own coordinates.
  void PictureMouseMove(QPoint point, bool buttonHeld);
  void PictureButtonDown(QPoint point);
  void PictureButtonUp(QPoint point);
  void PaintPicture(QWidget& surface, const QRect& area);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Shared;

  void AttachPicture(const FramePicture& picture);
  void LayOutStatusBar();
  void RecordOwnRect();
  void ShowTip(QPoint point);
  void RemoveTip();
  void CheckTip();
  int MonitorSetting() const;
  static std::optional<PassWindow> RunPass(const FramePass& pass, RefreshFlags& flags,
                                           Shared& shared);

  FrameOptions options_;
  std::shared_ptr<RefreshFlags> flags_;
  std::shared_ptr<Shared> shared_;
  QImage picture_;                                   //!< the off-screen picture painting copies
  std::array<double, kLatestTimeCount> latestTimes_;  //!< epoch seconds, -1.0 unknown
  QFont drawingFont_;
  ReadoutWindow readout_;                            //!< window of the last pass, GUI thread copy
  PictureWidget* pictureWidget_ = nullptr;
  std::array<QLabel*, 3> panes_{};
  QToolButton* configButton_ = nullptr;
  std::unique_ptr<QLabel> tip_;
  QPoint lastTipPosition_;
  QTimer tipTimer_;
  NotificationListener* listener_ = nullptr;
  std::unique_ptr<RefreshThread> refresh_;
};

}  // namespace kvt::viewer
