// The main window on a desktop of two monitors side by side (Qt's offscreen platform
// configured with two screens): MONITOR picks where it opens maximised.
#include <QApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "viewer/main_frame.h"
#include "viewer/monitor_table.h"
#include "window_test_support.h"

namespace kvt::viewer {
namespace {

using namespace std::chrono_literals;

class TwoMonitorsTest : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(TwoMonitorsTest, OpensMaximisedOnTheConfiguredMonitor) {
  const auto [monitor, expectedScreen] = GetParam();
  ASSERT_EQ(QGuiApplication::screens().size(), 2);
  RecordMonitors(monitorRects());
  ASSERT_EQ(monitorRects().Count(), 2);
  EXPECT_EQ(monitorRects().RectFor(2), (ScreenRect{1024, 0, 1024 + 800, 600}));

  QTemporaryDir dir;
  const std::string settings = dir.filePath("kvtview.ini").toStdString();
  testing::WriteFile(settings, "[SYSTEM]\r\nMONITOR=" + std::to_string(monitor) + "\r\n");
  FrameOptions options;
  options.settingsPath = settings;
  options.initialWait = 60s;
  options.listen = false;
  CMainFrame frame(std::move(options));
  frame.showMaximized();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame, testing::kWindowWait));
  const QScreen* screen = QGuiApplication::screens().at(expectedScreen);
  EXPECT_TRUE(testing::WaitUntil([&] { return frame.geometry() == screen->availableGeometry(); }))
      << "window " << frame.geometry().x() << "," << frame.geometry().y() << " "
      << frame.geometry().width() << "x" << frame.geometry().height();
  EXPECT_TRUE(frame.isMaximized());
}

INSTANTIATE_TEST_SUITE_P(Monitors, TwoMonitorsTest,
                         ::testing::Values(std::pair{1, 0},   // the first monitor
                                           std::pair{2, 1},   // the second in Qt's order
                                           std::pair{3, 0},   // not there: the first
                                           std::pair{0, 0}));  // not a monitor number: the first

}  // namespace
}  // namespace kvt::viewer

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Two screens: 1024x768 at the origin and 800x600 to its right.
  QTemporaryDir dir;
  const QString config = dir.filePath("screens.json");
  kvt::viewer::testing::WriteFile(
      config.toStdString(),
      R"({"synchronousWindowSystemEvents": false, "windowFrameMargins": false, "screens": [
           {"name": "left", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96, "dpr": 1},
           {"name": "right", "x": 1024, "y": 0, "width": 800, "height": 600, "logicalDpi": 96, "dpr": 1}]})");
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toUtf8());
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
