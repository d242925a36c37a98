// The settings editor and the monitor together: channels added and reordered in the editor's
// dialog, saved with "OK", are the channels, in that order, that the monitor then draws
// (kvtview --snapshot run as a user runs it, in the directory of the settings file).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "catalogue_rows.h"
#include "child_process.h"
#include "common/profile.h"
#include "common/settings_keys.h"
#include "editor/channel_dlg.h"
#include "editor/channel_list_page.h"
#include "editor/editor_state.h"
#include "editor/message_box.h"
#include "editor/settings_dlg.h"
#include "scratch_catalogue.h"

namespace kvt {
namespace {

namespace fs = std::filesystem;
using editor::CChannelDlg;
using editor::CChannelListPage;
using editor::CSettingsDlg;

QApplication& App() {
  static int argc = 1;
  static char name[] = "settings_roundtrip_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: among the exit handlers it would outlive Qt's own statics (the input
  // devices registered by the first mouse or key event) and use them after they are gone.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

struct Code {
  std::string sta, ch, lcode;
  std::string Text() const { return sta + "::" + ch + "::" + lcode; }
};

class SettingsRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    const char* bin = std::getenv("KVT_BIN_DIR");
    ASSERT_NE(nullptr, bin);
    binDir_ = bin;
    catalogue_ = std::make_unique<test::ScratchCatalogue>();
    const test::Backend& b = catalogue_->backend();
    dir_ = fs::path(b.dataDir).parent_path() / "roundtrip";
    fs::remove_all(dir_);
    fs::create_directories(dir_);

    // Three described channels with ten minutes of data ending about now, and one described
    // channel without data that is never picked.
    test::OdbcSession session = b.Connect();
    const double start = std::floor(static_cast<double>(std::time(nullptr))) - 600;
    std::vector<double> samples(600 * 20);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = 400 * std::sin(static_cast<double>(i) / 9);
    for (const Code& c : {kKev, kAru, kObn}) {
      test::DescribeChannel(session, c.sta, c.ch, c.lcode, 20);
      test::FileRow row;
      row.sta = c.sta;
      row.ch = c.ch;
      row.lcode = c.lcode;
      row.tBegin = start;
      row.sps = 20;
      test::AddDataFile(session, b.dataDir, row, samples);
    }
    test::DescribeChannel(session, "DUM", "LHZ", "00", 1);

    previous_ = editor::SetMessageBoxHandler([this](const editor::MessageRequest& r) {
      messages_.push_back(r.text.toStdString());
      return editor::MsgAnswer::Ok;
    });
  }
  void TearDown() override {
    editor::SetMessageBoxHandler(previous_);
    catalogue_.reset();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Opens the channel dialog with the page's "add" button, picks `c` in its lists as a user
  // does (station, then channel, then location code) and presses OK.
  void AddThroughDialog(CChannelListPage& page, int selectedRow, const Code& c) {
    page.SelectRow(selectedRow);
    Code picked;
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<CChannelDlg*>(QApplication::activeModalWidget());
      if (d == nullptr) return;
      seen = true;
      d->stationList()->setCurrentText(QString::fromStdString(c.sta));
      d->StationPicked();
      d->channelList()->setCurrentText(QString::fromStdString(c.ch));
      d->ChannelPicked();
      d->lcodeList()->setCurrentText(QString::fromStdString(c.lcode));
      d->filterBox()->setChecked(false);
      picked = {d->stationList()->currentText().toStdString(),
                d->channelList()->currentText().toStdString(),
                d->lcodeList()->currentText().toStdString()};
      d->accept();
    });
    page.addButton()->click();
    ASSERT_TRUE(seen);
    EXPECT_EQ(c.Text(), picked.Text());
  }

  std::string LogText() const {
    std::string all;
    if (!fs::is_directory(dir_ / "log")) return all;
    for (const auto& e : fs::directory_iterator(dir_ / "log")) all += test::ReadBytes(e.path().string());
    return all;
  }

  const Code kKev{"KEV", "BHN", "10"};
  const Code kAru{"ARU", "SHZ", "01"};
  const Code kObn{"OBN", "BHZ", "00"};
  fs::path binDir_, dir_;
  std::unique_ptr<test::ScratchCatalogue> catalogue_;
  std::vector<std::string> messages_;
  editor::MessageBoxHandler previous_;
};

TEST_F(SettingsRoundTrip, MonitorDrawsTheChannelsTheEditorSavedInTheirOrder) {
  const test::Backend& b = catalogue_->backend();
  const std::string ini = (dir_ / "kvtview.ini").string();
  // Keys and lines the editor does not own, which a save must leave as they are.
  const std::vector<std::string> foreign = {
      "; monitor of the northern stations, kept by hand", "SCALE=AUTO", "T_SHIFT=0",
      "FONT_SIZE=12", "[NOTES]", "WHO=duty operator"};
  {
    std::ofstream out(ini, std::ios::binary);
    out << foreign[0] << "\n[SYSTEM]\nN#=1\nNSEC#=300\nMODE=0\n" << foreign[1] << "\n" << foreign[2]
        << "\n" << foreign[3] << "\n[DATABASE]\nODBC=" << b.dsn << "\n[DATA]\nDIR=" << b.dataDir
        << "\n[LOG]\nLEVEL=debug\nDIR=" << (dir_ / "log").string() << "\n[STA0]\nNAME=" << kKev.sta
        << "\nCH=" << kKev.ch << "\nLCODE=" << kKev.lcode << "\n" << foreign[4] << "\n" << foreign[5]
        << "\n";
  }

  {
    editor::EditorState state;
    state.settingsFile = ini;
    state.commandLine = "inikvtview";
    state.systemFile = (dir_ / "kvt.ini").string();  // absent
    CSettingsDlg dlg(state);
    ASSERT_TRUE(state.connection.connected());
    CChannelListPage& page = *dlg.channelPage();
    AddThroughDialog(page, -1, kAru);  // no row selected: goes first -> ARU KEV
    AddThroughDialog(page, 1, kObn);   // before KEV -> ARU OBN KEV
    page.SelectRow(0);
    page.downButton()->click();  // OBN ARU KEV
    page.downButton()->click();  // OBN KEV ARU, the selection follows the moved row
    QPushButton* ok = nullptr;
    for (auto* button : dlg.findChildren<QPushButton*>())
      if (button->text() == "OK") ok = button;
    ASSERT_NE(nullptr, ok);
    ok->click();
    EXPECT_EQ(QDialog::Accepted, dlg.result());
  }
  EXPECT_EQ(std::vector<std::string>{}, messages_);

  const std::vector<Code> saved = {kObn, kKev, kAru};
  const Profile p = Profile::Load(ini);
  ASSERT_EQ(3, p.Int(keys::ChannelCount));
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(saved[i].Text(), p.Text(keys::ChannelName, i) + "::" + p.Text(keys::ChannelCh, i) +
                                   "::" + p.Text(keys::ChannelLcode, i));
    EXPECT_EQ("", p.Text(keys::ChannelFilter, i));
  }
  const std::string text = test::ReadBytes(ini);
  for (const std::string& line : foreign) EXPECT_NE(std::string::npos, text.find(line + "\n")) << line;

  // The monitor, started in the directory of its settings file. It takes its connection from
  // the command line (else from the kvtview.ini beside the program, not from this one).
  const fs::path program = binDir_ / "kvtview";
  ASSERT_TRUE(fs::exists(program)) << program;
  const std::string output = (dir_ / "kvtview.out").string();
  test::ChildProcess run(program.string(), {"--snapshot", "out.png", "--size", "720x480", "ODBC=" + b.dsn, "DATA=" + b.dataDir},
                         dir_.string(), output,
                         {"KVT=" + dir_.string(), "QT_QPA_PLATFORM=offscreen"});
  const test::ChildEnd end = run.Wait(std::chrono::seconds(60));
  ASSERT_TRUE(end.finished) << test::ReadBytes(output);
  ASSERT_TRUE(end.exited) << end.signal << "\n" << test::ReadBytes(output);
  ASSERT_EQ(0, end.exitCode) << test::ReadBytes(output);

  const QImage image(QString::fromStdString((dir_ / "out.png").string()));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(QSize(720, 480), image.size());
  int tracePixels = 0;  // the traces are drawn in pure blue
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == 0x0000FF) ++tracePixels;
  EXPECT_GT(tracePixels, 3 * 300);

  // One redraw pass: each channel looks up its rate once, in the order of the file.
  const std::string log = LogText();
  std::string::size_type last = 0;
  for (const Code& c : saved) {
    SCOPED_TRACE(c.Text());
    const std::string line = "Read SpS from SITECHAN (" + c.Text() + ")";
    const auto at = log.find(line);
    ASSERT_NE(std::string::npos, at) << log;
    EXPECT_LT(last, at);
    EXPECT_EQ(std::string::npos, log.find(line, at + 1));
    last = at;
  }
  EXPECT_EQ(std::string::npos, log.find("Read SpS from SITECHAN (DUM")) << log;
  EXPECT_EQ(std::string::npos, log.find("Unhandled exception")) << log;
}

}  // namespace
}  // namespace kvt
