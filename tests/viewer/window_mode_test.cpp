#include "viewer/window_mode.h"

#include <filesystem>
#include <vector>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "scratch_catalogue.h"
#include "test_backends.h"
#include "viewer/startup_dialogs.h"
#include "window_test_support.h"

namespace kvt::viewer {
namespace {

using namespace std::chrono_literals;

// Plays the user during a whole viewer run: answers every message box (Yes to the log
// question when told so, else No; OK otherwise) and remembers it, and closes the main window
// once its title counts down (the first pass has run).
class User {
 public:
  explicit User(bool continueWithoutLog) : continueWithoutLog_(continueWithoutLog) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Act(); });
    timer_.start(20);
  }

  struct Box {
    std::string caption, text;
  };
  std::vector<Box> boxes;
  std::string lastTitle;

 private:
  void Act() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      boxes.push_back({box->windowTitle().toStdString(), box->text().toStdString()});
      QAbstractButton* answer = box->button(QMessageBox::Ok);
      if (!answer) answer = box->button(continueWithoutLog_ ? QMessageBox::Yes : QMessageBox::No);
      answer->click();
      return;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (!dynamic_cast<CMainFrame*>(window) || !window->isVisible()) continue;
      lastTitle = window->windowTitle().toStdString();
      if (window->windowTitle().endsWith(QStringLiteral(" сек"))) window->close();
    }
  }

  bool continueWithoutLog_;
  QTimer timer_;
};

// A viewer installed in a private directory: its kvtview.ini there serves both as the view
// settings and as the connection file beside the executable; no KVT or WINDIR.
class WindowModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    root_ = dir_.path().toStdString();
    settings_ = root_ + "/kvtview.ini";
  }

  // Runs the viewer while a User (made by the caller beforehand) answers it.
  int Run(const std::vector<std::string>& extraArgs) {
    ViewerSession session(settings_, root_ + "/kvtview", [](const char*) -> const char* { return nullptr; });
    std::vector<std::string> args{root_ + "/kvtview"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    FrameOptions options;
    options.initialWait = 10ms;
    options.tick = 50ms;
    options.listen = false;
    return RunWindowViewer(session, args, MessageBoxStartupUi(), options);
  }

  std::string LogText() const {
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator(root_ + "/log")) {
      text += testing::ReadFile(entry.path().string());
    }
    return text;
  }

  QTemporaryDir dir_;
  std::string root_;
  std::string settings_;
};

TEST_F(WindowModeTest, NoToTheLogQuestionEndsBeforeAnyDatabaseAccess) {
  testing::WriteFile(root_ + "/not-a-directory", "");
  testing::WriteFile(settings_, "[LOG]\r\nDIR=" + root_ + "/not-a-directory/log\r\n"
                                "[DATABASE]\r\nODBC=kvt_no_such_source\r\n");
  User user(/*continueWithoutLog=*/false);
  EXPECT_EQ(Run({}), 1);
  // Only the question: a connection attempt would have shown its error box as well.
  ASSERT_EQ(user.boxes.size(), 1u);
  EXPECT_EQ(user.boxes[0].caption, "LOG-file warning");
  EXPECT_EQ(user.boxes[0].text, "Couldn't find (create) LOG directory (" + root_ +
                                    "/not-a-directory/log).\nDo you want to continue "
                                    "application without LOG-file?");
}

TEST_F(WindowModeTest, YesGoesOnAndAFailedConnectionEndsWithItsError) {
  testing::WriteFile(root_ + "/not-a-directory", "");
  testing::WriteFile(settings_, "[LOG]\r\nDIR=" + root_ + "/not-a-directory/log\r\n"
                                "[DATABASE]\r\nODBC=kvt_no_such_source\r\n");
  test::PrepareOdbcEnvironment();  // no data source of the machine answers
  User user(/*continueWithoutLog=*/true);
  EXPECT_EQ(Run({}), 1);
  ASSERT_EQ(user.boxes.size(), 2u);
  EXPECT_EQ(user.boxes[1].caption, "Database connection");
  EXPECT_EQ(user.boxes[1].text, "Couldn't connect to database: kvt_no_such_source.\nProgam terminated");
}

TEST_F(WindowModeTest, WrongPasswordShowsTheConnectionErrorAndExits) {
  const std::optional<test::Backend> server = test::FindBackend(test::BackendKind::PostgreSQL);
  if (!server) GTEST_SKIP() << "no PostgreSQL test server";
  std::filesystem::create_directory(root_ + "/log");
  testing::WriteFile(settings_, "[LOG]\r\nDIR=" + root_ + "/log\r\n");
  User user(false);
  EXPECT_EQ(Run({"ODBC=" + server->dsn, "USER=" + server->user, "PASSWORD=wrong" + server->password}), 1);
  ASSERT_EQ(user.boxes.size(), 1u);
  EXPECT_EQ(user.boxes[0].caption, "Database connection");
  EXPECT_EQ(user.boxes[0].text, "Couldn't connect to database: " + server->dsn + ".\nProgam terminated");
  EXPECT_NE(LogText().find("Couldn't connect to database: " + server->dsn), std::string::npos);
}

TEST_F(WindowModeTest, WindowRunsOnACatalogueUntilClosedAndNamesTheCommandLineOnlyWhenGiven) {
  test::ScratchCatalogue catalogue;
  for (bool withArguments : {false, true}) {
    SCOPED_TRACE(withArguments);
    std::filesystem::remove_all(root_ + "/log");
    std::filesystem::create_directory(root_ + "/log");
    testing::WriteFile(settings_, "[SYSTEM]\r\nN#=1\r\nNSEC#=600\r\nDELAY=100\r\n"
                                  "[LOG]\r\nDIR=" + root_ + "/log\r\n"
                                  "[DATABASE]\r\nODBC=" + catalogue.backend().dsn + "\r\n"
                                  "[DATA]\r\nDIR=" + catalogue.backend().dataDir + "\r\n"
                                  "[STA0]\r\nNAME=ARU\r\nCH=BHZ\r\n");
    User user(false);
    const std::vector<std::string> args =
        withArguments ? std::vector<std::string>{"ODBC=" + catalogue.backend().dsn}
                      : std::vector<std::string>{};
    EXPECT_EQ(Run(args), 0);
    EXPECT_TRUE(user.boxes.empty());
    EXPECT_NE(user.lastTitle.find(" сек"), std::string::npos) << user.lastTitle;
    const std::string log = LogText();
    EXPECT_EQ(log.find("Command line: ") != std::string::npos, withArguments) << log;
    EXPECT_NE(log.find("KVTView stopped... (v.20120420)"), std::string::npos) << log;
  }
}

}  // namespace
}  // namespace kvt::viewer
