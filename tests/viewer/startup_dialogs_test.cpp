#include "viewer/startup_dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace kvt::viewer {
namespace {

// What a message box showed, and the button the test pressed in it.
struct SeenBox {
  QString text, caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// Answers the next modal message box with `answer` and records what it showed.
void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton answer) {
  QTimer::singleShot(0, [&seen, answer] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    seen = {box->text(), box->windowTitle(), box->icon(), box->standardButtons()};
    box->button(answer)->click();
  });
}

const std::string kLogQuestion =
    "Couldn't find (create) LOG directory (D:/LOG).\r\nDo you want to continue application "
    "without LOG-file?";

TEST(StartupDialogs, LogQuestionIsAWarningWithYesAndNo) {
  const StartupUi ui = MessageBoxStartupUi();
  for (auto [answer, expected] : {std::pair{QMessageBox::No, false}, std::pair{QMessageBox::Yes, true}}) {
    SCOPED_TRACE(expected);
    SeenBox seen;
    AnswerNextBox(seen, answer);
    EXPECT_EQ(ui.askYesNo(kLogQuestion, "LOG-file warning"), expected);
    EXPECT_EQ(seen.caption, QStringLiteral("LOG-file warning"));
    EXPECT_EQ(seen.text, QStringLiteral("Couldn't find (create) LOG directory (D:/LOG).\n"
                                        "Do you want to continue application without LOG-file?"));
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
  }
}

TEST(StartupDialogs, ConnectionErrorIsAnErrorBox) {
  SeenBox seen;
  AnswerNextBox(seen, QMessageBox::Ok);
  MessageBoxStartupUi().showError("Couldn't connect to database: kvt.\r\nProgam terminated",
                                  "Database connection");
  EXPECT_EQ(seen.caption, QStringLiteral("Database connection"));
  EXPECT_EQ(seen.text, QStringLiteral("Couldn't connect to database: kvt.\nProgam terminated"));
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, QMessageBox::Ok);
}

TEST(StartupDialogs, TendResultIsAPlainBoxWithOk) {
  SeenBox seen;
  AnswerNextBox(seen, QMessageBox::Ok);
  MessageBoxStartupUi().showInfo("Field TEND (table FILELIST) has been updated!!!", "Varurod");
  EXPECT_EQ(seen.caption, QStringLiteral("Varurod"));
  EXPECT_EQ(seen.text, QStringLiteral("Field TEND (table FILELIST) has been updated!!!"));
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons, QMessageBox::Ok);
}

}  // namespace
}  // namespace kvt::viewer
