#include "viewer/settings_editor_launch.h"

#include <sys/stat.h>

#include <filesystem>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "viewer/viewer_notification.h"
#include "window_test_support.h"

namespace kvt::viewer {
namespace {

using namespace std::chrono_literals;
using testing::WaitUntil;

// Places for a launch from a viewer installed as <dir>/bin/viewer2.bin, with a stand-in editor
// that records its arguments and working directory and exits at once.
class EditorLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    root_ = dir_.path().toStdString();
    for (const char* sub : {"/bin", "/cwd", "/sockets", "/empty"}) {
      std::filesystem::create_directory(root_ + sub);
    }
    places_.executablePath = root_ + "/bin/viewer2.bin";
    places_.currentDirectory = root_ + "/cwd";
    places_.searchPath = root_ + "/empty";
    places_.notificationDirectory = root_ + "/sockets";
  }

  void InstallEditor(const std::string& directory) {
    const std::string path = directory + "/inikvtview";
    testing::WriteFile(path, "#!/bin/sh\necho \"$@\" > \"" + root_ + "/editor-args\"\npwd >> \"" +
                                 root_ + "/editor-args\"\n");
    ::chmod(path.c_str(), 0755);
  }

  QTemporaryDir dir_;
  std::string root_;
  EditorLaunchPlaces places_;
};

TEST_F(EditorLaunchTest, EditorEndTellsEveryRunningViewerToRedraw) {
  InstallEditor(root_ + "/bin");
  int heardA = 0, heardB = 0;
  NotificationListener a([&] { ++heardA; });
  NotificationListener b([&] { ++heardB; });
  ASSERT_TRUE(a.Listen(places_.notificationDirectory, "kvtview-201"));
  ASSERT_TRUE(b.Listen(places_.notificationDirectory, "kvtview-202"));

  ASSERT_GT(StartSettingsEditor(places_), 0);
  EXPECT_TRUE(WaitUntil([&] { return heardA == 1 && heardB == 1; }));
  // The editor got the settings file named after the viewer's executable, and ran in the
  // viewer's working directory.
  EXPECT_EQ(testing::ReadFile(root_ + "/editor-args"),
            "viewer2.ini\n" + std::filesystem::current_path().string() + "\n");
}

TEST_F(EditorLaunchTest, EditorIsFoundInTheCurrentDirectoryAndOnThePath) {
  for (const char* where : {"/cwd", "/empty"}) {
    SCOPED_TRACE(where);
    std::filesystem::remove_all(root_ + "/cwd/inikvtview");
    std::filesystem::remove_all(root_ + "/empty/inikvtview");
    InstallEditor(root_ + where);
    std::filesystem::remove(root_ + "/editor-args");
    ASSERT_GT(StartSettingsEditor(places_), 0);
    EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(root_ + "/editor-args"); }));
  }
}

TEST_F(EditorLaunchTest, MissingEditorGivesTheWarningAndNoWaiter) {
  int heard = 0;
  NotificationListener listener([&] { ++heard; });
  ASSERT_TRUE(listener.Listen(places_.notificationDirectory, "kvtview-203"));
  EXPECT_EQ(StartSettingsEditor(places_), -1);

  QString shown;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      box->accept();
    }
  });
  LaunchSettingsEditor(nullptr, places_);
  EXPECT_EQ(shown, QStringLiteral("Не удалось обнаружить файл inikvtview"));
  testing::Pump(300ms);
  EXPECT_EQ(heard, 0);  // nothing was started, so nobody is told to redraw
}

TEST_F(EditorLaunchTest, AFileThatIsNotExecutableIsNotAnEditor) {
  testing::WriteFile(root_ + "/bin/inikvtview", "not a program");
  ::chmod((root_ + "/bin/inikvtview").c_str(), 0644);
  EXPECT_EQ(StartSettingsEditor(places_), -1);
}

}  // namespace
}  // namespace kvt::viewer
