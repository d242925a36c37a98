#include "main_frame.h"

#include <unistd.h>

#include <algorithm>
#include <mutex>

#include <QCloseEvent>
#include <QCursor>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMetaObject>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QToolButton>

#include "common/profile.h"
#include "common/settings_keys.h"
#include "common/time_values.h"
#include "monitor_table.h"
#include "settings_editor_launch.h"
#include "viewer/event_log.h"
#include "viewer/viewer_session.h"
#include "viewer_notification.h"

namespace kvt::viewer {

//! The picture area: copies the finished picture, hands mouse events to the frame.
class PictureWidget : public QWidget {
 public:
  explicit PictureWidget(CMainFrame& frame) : QWidget(&frame), frame_(frame) {
    // The picture covers the whole area: no erase before painting, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
  }
  std::function<void(QSize)> onResize;

 protected:
  void paintEvent(QPaintEvent* event) override { frame_.PaintPicture(*this, event->rect()); }
  void mouseMoveEvent(QMouseEvent* event) override {
    frame_.PictureMouseMove(event->position().toPoint(),
                            (event->buttons() & (Qt::LeftButton | Qt::RightButton)) != 0);
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
      frame_.PictureButtonDown(event->position().toPoint());
    }
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
      frame_.PictureButtonUp(event->position().toPoint());
    }
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (onResize) onResize(event->size());
  }

 private:
  CMainFrame& frame_;
};

namespace {

// Held while a call is queued for the user-interface thread, and taken by that call before it
// reads anything it carries. Qt's queue hands the call over under a lock of its own inside Qt,
// which race checkers (ThreadSanitizer) cannot see; this one they do, so a title or picture
// handed over is seen as ordered. The queued call is never waited for while it is held, and it
// is one lock for every window: calls are a few per second.
std::mutex& HandOverLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

// What the window shares with its refresh thread. The thread holds its own reference, so a
// pass that outlives the window's wait at destroy still finds everything it touches; the
// window pointer is cleared at destroy, and posts after that go nowhere.
struct CMainFrame::Shared {
  std::mutex lock;
  CMainFrame* frame = nullptr;     //!< guarded by lock; null once the window is going
  std::atomic<int> drawWidth{0};   //!< picture area for the next pass, pixels
  std::atomic<int> drawHeight{0};

  //! Queues work(frame) on the user-interface thread; never waits for it.
  template <typename F>
  void Post(F work) {
    std::lock_guard<std::mutex> guard(lock);
    if (!frame) return;
    std::lock_guard<std::mutex> queueing(HandOverLock());
    QMetaObject::invokeMethod(
        frame,
        [target = frame, work = std::move(work)] {
          { std::lock_guard<std::mutex> handedOver(HandOverLock()); }
          work(target);
        },
        Qt::QueuedConnection);
  }
};

void RecordMonitors(MonitorTable& table) {
  table.Clear();
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect r = screen->geometry();
    if (!table.Append({r.left(), r.top(), r.left() + r.width(), r.top() + r.height()})) break;
  }
}

CMainFrame::CMainFrame(FrameOptions options)
    : options_(std::move(options)),
      flags_(std::make_shared<RefreshFlags>()),
      shared_(std::make_shared<Shared>()) {
  latestTimes_.fill(-1.0);
  shared_->frame = this;

  const Profile settings = Profile::Load(options_.settingsPath);
  drawingFont_ = QFont(QString::fromStdString(settings.Text(keys::FontName)));
  drawingFont_.setPixelSize(std::max(1, settings.Int(keys::FontSize)));

  setWindowTitle(QStringLiteral("Varurod"));
  pictureWidget_ = new PictureWidget(*this);
  pictureWidget_->onResize = [shared = shared_](QSize size) {
    shared->drawWidth = size.width();
    shared->drawHeight = size.height();
  };
  setCentralWidget(pictureWidget_);

  // Status bar: three panes laid out by hand at the fixed fractions of its width, and the
  // settings command at its right end (no system menu on X11 or Wayland to hold it).
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(false);
  for (QLabel*& pane : panes_) {
    pane = new QLabel(bar);
    pane->setFrameShape(QFrame::NoFrame);
    pane->setContentsMargins(2, 0, 2, 0);
  }
  configButton_ = new QToolButton(bar);
  configButton_->setText(QStringLiteral("Конфигурация"));
  configButton_->setToolTip(QStringLiteral("Конфигурация (Ctrl+K)"));
  configButton_->setAutoRaise(true);
  connect(configButton_, &QToolButton::clicked, this, &CMainFrame::RunConfigurationCommand);
  auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_K), this);
  connect(shortcut, &QShortcut::activated, this, &CMainFrame::RunConfigurationCommand);
  bar->setMinimumHeight(configButton_->sizeHint().height());
  bar->installEventFilter(this);

  // Open on the configured monitor; showMaximized() then fills it.
  const ScreenRect screen = monitorRects().RectFor(MonitorSetting());
  if (!screen.Empty()) {
    setGeometry(screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top);
  }

  if (options_.listen) {
    listener_ = new NotificationListener([this] { flags_->redrawRequested = true; }, this);
    const std::string directory =
        options_.listenDirectory.empty() ? NotificationDirectory() : options_.listenDirectory;
    const std::string name =
        options_.listenName.empty() ? NotificationSocketName(::getpid()) : options_.listenName;
    if (!listener_->Listen(directory, name)) {
      WriteLog("Couldn't listen for the settings editor's notification: " +
               listener_->errorString().toStdString());
    }
  }

  RefreshHooks hooks;
  hooks.runPass = [pass = options_.pass, flags = flags_, shared = shared_] {
    return RunPass(pass, *flags, *shared);
  };
  hooks.setTitle = [shared = shared_](const std::string& title) {
    shared->Post([text = QString::fromStdString(title)](CMainFrame* frame) {
      frame->setWindowTitle(text);
    });
  };
  hooks.readDelay = [path = options_.settingsPath] { return Profile::Load(path).Text(keys::Delay); };
  hooks.initialWait = options_.initialWait;
  hooks.tick = options_.tick;
  refresh_ = std::make_unique<RefreshThread>(std::move(hooks), flags_);
  refresh_->Start();

  connect(&tipTimer_, &QTimer::timeout, this, &CMainFrame::CheckTip);
  tipTimer_.start(500);
}

CMainFrame::~CMainFrame() {
  WriteLog(std::string("KVTView stopped... (") + kVersionText + ")");
  refresh_->RequestStop();
  refresh_->WaitForEnd(options_.stopWait);
  {
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->frame = nullptr;
  }
  tipTimer_.stop();
}

std::optional<PassWindow> CMainFrame::RunPass(const FramePass& pass, RefreshFlags& flags,
                                              Shared& shared) {
  flags.redrawRequested = false;
  if (!pass) return std::nullopt;
  std::optional<FramePicture> drawn =
      pass(QSize(shared.drawWidth.load(), shared.drawHeight.load()), flags.redrawRequested);
  if (!drawn) return std::nullopt;
  std::optional<PassWindow> title;
  if (drawn->titleSet) title = PassWindow{drawn->titleStart, drawn->titleLength};
  // The image is implicitly shared: the copy in the posted call keeps it alive until the
  // window has taken it, whatever the refresh thread does next.
  shared.Post([picture = std::move(*drawn)](CMainFrame* frame) { frame->AttachPicture(picture); });
  return title;
}

void CMainFrame::AttachPicture(const FramePicture& picture) {
  picture_ = picture.image;
  latestTimes_ = picture.latestTimes;
  readout_ = ReadoutWindow{picture.windowStart, picture.windowEnd, picture.drawWidth};
  pictureWidget_->update();
}

QWidget* CMainFrame::pictureWidget() const { return pictureWidget_; }

QString CMainFrame::paneText(int index) const { return panes_.at(index)->text(); }

int CMainFrame::paneWidth(int index) const { return panes_.at(index)->width(); }

int CMainFrame::MonitorSetting() const {
  return Profile::Load(options_.settingsPath).Int(keys::Monitor);
}

void CMainFrame::RunConfigurationCommand() {
  if (options_.launchEditor) {
    options_.launchEditor();
  } else {
    LaunchSettingsEditor(this);
  }
  repaint();
}

void CMainFrame::PaintPicture(QWidget& surface, const QRect& area) {
  QPainter painter(&surface);
  painter.drawImage(QPoint(0, 0), picture_);
  // Whatever the picture does not cover yet (before the first pass, or after the window grew
  // and before the next pass) shows the white background.
  const QRegion uncovered = QRegion(area) - QRegion(QRect(QPoint(0, 0), picture_.size()));
  for (const QRect& r : uncovered) painter.fillRect(r, Qt::white);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  refresh_->RequestStop();
  QMainWindow::closeEvent(event);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  flags_->redrawRequested = true;
  LayOutStatusBar();
  RecordOwnRect();
}

void CMainFrame::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  RecordOwnRect();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == statusBar() && event->type() == QEvent::Resize) LayOutStatusBar();
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::LayOutStatusBar() {
  QStatusBar* bar = statusBar();
  const std::array<int, 3> widths = StatusPaneWidths(bar->width());
  int x = 0;
  for (std::size_t i = 0; i < panes_.size(); ++i) {
    panes_[i]->setGeometry(x, 0, widths[i], bar->height());
    x += widths[i];
  }
  const QSize button = configButton_->sizeHint();
  configButton_->setGeometry(bar->width() - button.width(), (bar->height() - button.height()) / 2,
                             button.width(), button.height());
  configButton_->raise();
}

void CMainFrame::RecordOwnRect() {
  const QRect r = frameGeometry();
  monitorRects().Store(MonitorSetting(), {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
}

void CMainFrame::PictureMouseMove(QPoint point, bool buttonHeld) {
  if (buttonHeld && pictureWidget_->mapToGlobal(point) != lastTipPosition_) ShowTip(point);
  const std::optional<std::string> cursor = CursorTimeText(readout_, point.x());
  if (!cursor) return;  // no pass has drawn yet: nothing to tell
  LayOutStatusBar();
  panes_[0]->setText(QString::fromStdString(FormatTimeHundredths(readout_.start)));
  panes_[1]->setText(QString::fromStdString(*cursor));
  panes_[2]->setText(QString::fromStdString(FormatTimeHundredths(readout_.end)));
}

void CMainFrame::PictureButtonDown(QPoint point) { ShowTip(point); }

void CMainFrame::PictureButtonUp(QPoint) { RemoveTip(); }

void CMainFrame::ShowTip(QPoint point) {
  const std::optional<std::string> text = CursorTimeText(readout_, point.x());
  lastTipPosition_ = pictureWidget_->mapToGlobal(point);
  if (!text) {
    RemoveTip();  // no window known yet: a tip would have nothing to say
    return;
  }
  if (!tip_) {
    tip_ = std::make_unique<QLabel>(nullptr, Qt::ToolTip | Qt::FramelessWindowHint |
                                                 Qt::WindowStaysOnTopHint |
                                                 Qt::WindowTransparentForInput);
    tip_->setForegroundRole(QPalette::ToolTipText);
    tip_->setBackgroundRole(QPalette::ToolTipBase);
    tip_->setAutoFillBackground(true);
    tip_->setFrameShape(QFrame::Box);
    tip_->setMargin(2);
  }
  tip_->setText(QString::fromStdString(*text));
  tip_->adjustSize();
  tip_->move(lastTipPosition_ + QPoint(10, 16));  // beside the pointer, not under it
  tip_->show();
}

void CMainFrame::RemoveTip() { tip_.reset(); }

void CMainFrame::CheckTip() {
  if (tip_ && !frameGeometry().contains(QCursor::pos())) RemoveTip();
}

}  // namespace kvt::viewer
