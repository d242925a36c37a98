// The display page: interval, delay and time mode with their ranges.
#include "editor/display_page.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "editor/editor_settings.h"
#include "odbc_sandbox.h"

namespace kvt::editor {
namespace {

class DisplayPageTest : public ::testing::Test {
 protected:
  void SetUp() override { test::EnsureApplication(); }
  EditorSettings settings = LoadSettings("/nonexistent/kvtview.ini");
};

TEST_F(DisplayPageTest, DefaultsOfAFileWithoutTheKeys) {
  CDisplayPage page(settings);
  EXPECT_EQ(1200, page.intervalSpin()->value());
  EXPECT_EQ(60, page.delaySpin()->value());
  EXPECT_TRUE(page.databaseTimeButton()->isChecked());
}

TEST_F(DisplayPageTest, SpinsStopAtTheirEnds) {
  struct Case {
    QSpinBox* (CDisplayPage::*spin)() const;
    int EditorSettings::*field;
    int low, high;
    const char* why;
  } cases[] = {
      {&CDisplayPage::intervalSpin, &EditorSettings::intervalSec, 1, 5400, "interval"},
      {&CDisplayPage::delaySpin, &EditorSettings::delaySec, 1, 1200, "delay"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    settings.*c.field = c.high - 1;
    CDisplayPage page(settings);
    QSpinBox* spin = (page.*c.spin)();
    spin->stepUp();
    spin->stepUp();
    EXPECT_EQ(c.high, settings.*c.field);
    spin->setValue(c.low + 1);
    spin->stepDown();
    spin->stepDown();
    EXPECT_EQ(c.low, settings.*c.field);
  }
}

TEST_F(DisplayPageTest, TypedNumberOutOfRangeKeepsTheLastAccepted) {
  CDisplayPage page(settings);
  QSpinBox* spin = page.intervalSpin();
  spin->show();
  spin->setFocus();
  spin->selectAll();
  QTest::keyClicks(spin, "7000");
  EXPECT_EQ(700, settings.intervalSec);  // 7, 70, 700 were accepted on the way; 7000 was not
  EXPECT_EQ(700, spin->value());
}

TEST_F(DisplayPageTest, UnknownModeShownAsUtcAndKeptUntilClicked) {
  settings.mode = 2;
  CDisplayPage page(settings);
  EXPECT_TRUE(page.utcTimeButton()->isChecked());
  EXPECT_EQ(2, settings.mode);
  page.utcTimeButton()->click();
  EXPECT_EQ(1, settings.mode);
  page.databaseTimeButton()->click();
  EXPECT_EQ(0, settings.mode);
}

TEST_F(DisplayPageTest, ValueOutsideTheRangeStaysUntilChanged) {
  settings.intervalSec = 7200;
  CDisplayPage page(settings);
  EXPECT_EQ(5400, page.intervalSpin()->value());
  EXPECT_EQ(7200, settings.intervalSec);
}

}  // namespace
}  // namespace kvt::editor
