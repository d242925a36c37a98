#include "viewer/main_frame.h"

#include <future>
#include <regex>

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "viewer/event_log.h"
#include "viewer/monitor_table.h"
#include "viewer/viewer_notification.h"
#include "window_test_support.h"

namespace kvt::viewer {
namespace {

using namespace std::chrono_literals;
using testing::kWindowWait;
using testing::Pump;
using testing::WaitUntil;
using testing::WriteFile;

// A main window with a stand-in redraw pass that draws a red picture of the window
// 1000..1600 (epoch seconds) and counts its passes.
class MainFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    settingsPath_ = dir_.filePath("kvtview.ini").toStdString();
    WriteFile(settingsPath_, "[SYSTEM]\r\nDELAY=100\r\nMONITOR=1\r\n");
  }

  FrameOptions Options() {
    FrameOptions options;
    options.settingsPath = settingsPath_;
    options.initialWait = 10ms;
    options.tick = 50ms;
    options.listen = false;
    options.launchEditor = [this] { ++editorLaunches_; };
    options.pass = [this](QSize size, std::atomic<bool>&) -> std::optional<FramePicture> {
      ++passesBegun_;
      if (passGate_) passGate_->wait();
      FramePicture picture;
      picture.windowStart = 1000.0;
      picture.windowEnd = 1600.0;
      picture.titleSet = true;
      picture.titleStart = 1000.0;
      picture.titleLength = 600.0;
      picture.drawWidth = 602;
      picture.drawHeight = size.height();
      picture.image = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
      picture.image.fill(Qt::red);
      ++passes_;
      return picture;
    };
    return options;
  }

  std::unique_ptr<CMainFrame> Show(FrameOptions options) {
    auto frame = std::make_unique<CMainFrame>(std::move(options));
    frame->resize(700, 400);
    frame->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get(), kWindowWait));
    return frame;
  }

  static void MouseMove(QWidget* widget, QPoint point, Qt::MouseButtons buttons) {
    QMouseEvent move(QEvent::MouseMove, point, widget->mapToGlobal(point), Qt::NoButton, buttons,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
  }

  QTemporaryDir dir_;
  std::string settingsPath_;
  std::atomic<int> passesBegun_{0};
  std::atomic<int> passes_{0};
  int editorLaunches_ = 0;
  std::shared_future<void>* passGate_ = nullptr;
};

TEST_F(MainFrameTest, StatusBarPanesTakeThreeSeventhsThreeSeventhsAndOneSeventh) {
  auto frame = Show(Options());
  ASSERT_TRUE(WaitUntil([&] { return frame->statusBar()->width() == 700; }));
  EXPECT_EQ(frame->paneWidth(0), 300);
  EXPECT_EQ(frame->paneWidth(1), 300);
  EXPECT_EQ(frame->paneWidth(2), 100);
  // The settings command sits at the right end of the status bar.
  EXPECT_EQ(frame->configurationButton()->geometry().right(), 699);
  EXPECT_EQ(frame->configurationButton()->text(), QStringLiteral("Конфигурация"));
}

TEST_F(MainFrameTest, NothingChangesBeforeTheFirstPass) {
  FrameOptions options = Options();
  options.initialWait = 60s;
  auto frame = Show(std::move(options));
  QWidget* picture = frame->pictureWidget();
  MouseMove(picture, {301, 20}, Qt::NoButton);
  QTest::mousePress(picture, Qt::LeftButton, {}, {301, 20});
  MouseMove(picture, {310, 20}, Qt::LeftButton);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(frame->paneText(i), QString());
  EXPECT_EQ(frame->tip(), nullptr);
  QTest::mouseRelease(picture, Qt::LeftButton, {}, {310, 20});
  EXPECT_EQ(frame->windowTitle(), QStringLiteral("Varurod"));
  EXPECT_EQ(frame->latestTimes()[0], -1.0);
  EXPECT_FALSE(frame->redrawRequested().load() && frame->RefreshEnded());
}

TEST_F(MainFrameTest, ShowsThePictureAndCountsDownInTheTitle) {
  auto frame = Show(Options());
  ASSERT_TRUE(WaitUntil([&] { return !frame->picture().isNull(); }));
  EXPECT_EQ(frame->pictureWidget()->grab().toImage().pixelColor(5, 5), QColor(Qt::red));
  const std::regex countdown(R"(Varurod - \[00:16:40 - 00:26:40 01/01/1970\] - \d+ сек)");
  EXPECT_TRUE(WaitUntil([&] {
    return std::regex_match(frame->windowTitle().toStdString(), countdown);
  })) << frame->windowTitle().toStdString();
}

TEST_F(MainFrameTest, TimeUnderTheMouseInTheStatusBarAndTheTip) {
  auto frame = Show(Options());
  ASSERT_TRUE(WaitUntil([&] { return frame->readoutWindow().start > 0; }));
  QWidget* picture = frame->pictureWidget();

  MouseMove(picture, {301, 20}, Qt::NoButton);
  EXPECT_EQ(frame->paneText(0), QStringLiteral("00:16:40.00 01/01/1970"));
  EXPECT_EQ(frame->paneText(1), QStringLiteral("00:21:40.00 01/01/1970"));
  EXPECT_EQ(frame->paneText(2), QStringLiteral("00:26:40.00 01/01/1970"));
  EXPECT_EQ(frame->tip(), nullptr);  // no button held

  QTest::mousePress(picture, Qt::LeftButton, {}, {1, 20});
  ASSERT_NE(frame->tip(), nullptr);
  EXPECT_EQ(frame->tip()->text(), QStringLiteral("00:16:40.00 01/01/1970"));

  // The tip follows the mouse and says what pane 1 says.
  MouseMove(picture, {601, 30}, Qt::LeftButton);
  ASSERT_NE(frame->tip(), nullptr);
  EXPECT_EQ(frame->tip()->text(), QStringLiteral("00:26:40.00 01/01/1970"));
  EXPECT_EQ(frame->tip()->text(), frame->paneText(1));
  EXPECT_TRUE(frame->tip()->isVisible());
  EXPECT_GT(frame->tip()->pos().x(), picture->mapToGlobal(QPoint(601, 30)).x());

  QTest::mouseRelease(picture, Qt::LeftButton, {}, {601, 30});
  EXPECT_EQ(frame->tip(), nullptr);

  // The right button shows it as well.
  QTest::mousePress(picture, Qt::RightButton, {}, {301, 20});
  ASSERT_NE(frame->tip(), nullptr);
  QTest::mouseRelease(picture, Qt::RightButton, {}, {301, 20});
  EXPECT_EQ(frame->tip(), nullptr);
}

TEST_F(MainFrameTest, TipGoesWhenTheCursorLeavesTheWindow) {
  auto frame = Show(Options());
  ASSERT_TRUE(WaitUntil([&] { return frame->readoutWindow().start > 0; }));
  QCursor::setPos(frame->pictureWidget()->mapToGlobal(QPoint(100, 20)));
  QTest::mousePress(frame->pictureWidget(), Qt::LeftButton, {}, {100, 20});
  ASSERT_NE(frame->tip(), nullptr);
  Pump(700ms);
  ASSERT_NE(frame->tip(), nullptr);  // still inside: the tip stays while the button is held
  QCursor::setPos(frame->frameGeometry().bottomRight() + QPoint(50, 50));
  EXPECT_TRUE(WaitUntil([&] { return frame->tip() == nullptr; }));
}

TEST_F(MainFrameTest, ResizeDuringTheCountdownGivesTwoPasses) {
  FrameOptions options = Options();
  options.tick = 1s;  // a countdown of 100 s: the next cycle's pass comes long after the wait
  auto frame = Show(std::move(options));
  ASSERT_TRUE(WaitUntil([&] { return frame->windowTitle().endsWith(QStringLiteral(" сек")); }));
  Pump(200ms);
  const int before = passes_;
  frame->resize(640, 380);
  EXPECT_TRUE(frame->redrawRequested());
  EXPECT_TRUE(WaitUntil([&] { return passes_ >= before + 2; }, 20s));
  // The new picture has the new size.
  EXPECT_TRUE(WaitUntil([&] { return frame->picture().width() == frame->pictureWidget()->width(); }));
}

TEST_F(MainFrameTest, NotificationFromTheEditorGivesTwoPasses) {
  QTemporaryDir sockets;
  FrameOptions options = Options();
  options.tick = 1s;  // a countdown of 100 s: the next cycle's pass comes long after the wait
  options.listen = true;
  options.listenDirectory = sockets.path().toStdString();
  auto frame = Show(std::move(options));
  ASSERT_TRUE(WaitUntil([&] { return frame->windowTitle().endsWith(QStringLiteral(" сек")); }));
  const int before = passes_;
  std::future<int> reached =
      std::async(std::launch::async, NotifyAllViewers, sockets.path().toStdString());
  EXPECT_TRUE(WaitUntil([&] { return passes_ >= before + 2; }, 20s));
  EXPECT_EQ(reached.get(), 1);
}

TEST_F(MainFrameTest, ConfigurationFromTheButtonAndTheShortcut) {
  auto frame = Show(Options());
  QTest::mouseClick(frame->configurationButton(), Qt::LeftButton);
  EXPECT_EQ(editorLaunches_, 1);
  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get(), kWindowWait));
  QTest::keyClick(frame.get(), Qt::Key_K, Qt::ControlModifier);
  EXPECT_EQ(editorLaunches_, 2);
}

TEST_F(MainFrameTest, ClosingDuringTheCountdownEndsTheRefreshThreadAtOnce) {
  FrameOptions options = Options();
  options.tick = 30s;  // a countdown second far longer than the test waits
  auto frame = Show(std::move(options));
  ASSERT_TRUE(WaitUntil([&] { return frame->windowTitle().endsWith(QStringLiteral(" сек")); }));
  frame->close();
  EXPECT_TRUE(frame->stopRequested());
  EXPECT_TRUE(WaitUntil([&] { return frame->RefreshEnded(); }, 10s));
}

TEST_F(MainFrameTest, ClosingDuringAPassEndsTheThreadWhenThePassEnds) {
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  passGate_ = &gate;
  FrameOptions options = Options();
  options.tick = 30s;
  auto frame = Show(std::move(options));
  ASSERT_TRUE(WaitUntil([&] { return passesBegun_ == 1; }));  // the pass has begun and waits
  frame->close();
  Pump(200ms);
  EXPECT_FALSE(frame->RefreshEnded());
  release.set_value();
  EXPECT_TRUE(WaitUntil([&] { return frame->RefreshEnded(); }, 10s));
  EXPECT_EQ(passes_, 1);
}

TEST_F(MainFrameTest, PassOutlivingTheWaitAtDestroyPostsNowhere) {
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  passGate_ = &gate;
  FrameOptions options = Options();
  options.stopWait = 50ms;
  auto frame = Show(std::move(options));
  ASSERT_TRUE(WaitUntil([&] { return passesBegun_ == 1; }));  // the pass has begun and waits
  frame.reset();  // gives up waiting after 50 ms
  release.set_value();
  EXPECT_TRUE(WaitUntil([&] { return passes_ == 1; }));
  Pump(200ms);  // the finished picture and title would be delivered now: nothing to deliver to
}

TEST_F(MainFrameTest, DestroyLogsTheStopLine) {
  const std::string logDir = dir_.filePath("log").toStdString();
  const std::string logSettings = dir_.filePath("log.ini").toStdString();
  WriteFile(logSettings, "[LOG]\r\nDIR=" + logDir + "\r\nLEVEL=ERROR\r\n");
  ASSERT_TRUE(InitLog(logSettings));
  Show(Options()).reset();
  std::string text;
  for (const auto& entry : std::filesystem::directory_iterator(logDir)) {
    text += testing::ReadFile(entry.path().string());
  }
  EXPECT_NE(text.find("#[KVTVIEW] KVTView stopped... (v.20120420)#"), std::string::npos) << text;
}

TEST_F(MainFrameTest, OpensOnTheConfiguredMonitorOrTheFirst) {
  RecordMonitors(monitorRects());
  ASSERT_EQ(monitorRects().Count(), QGuiApplication::screens().size());
  const QRect first = QGuiApplication::screens().front()->geometry();
  WriteFile(settingsPath_, "[SYSTEM]\r\nDELAY=100\r\nMONITOR=7\r\n");  // no such monitor
  CMainFrame frame(Options());
  frame.showMaximized();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame, kWindowWait));
  EXPECT_TRUE(first.contains(frame.geometry().center()));
  // The chosen entry now holds the window's own rectangle.
  const QRect own = frame.frameGeometry();
  EXPECT_EQ(monitorRects().RectFor(7),
            (ScreenRect{own.left(), own.top(), own.left() + own.width(), own.top() + own.height()}));
}

}  // namespace
}  // namespace kvt::viewer
