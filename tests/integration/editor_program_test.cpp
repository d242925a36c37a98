// inikvtview started as a user starts it, with a settings file named on its command line:
// it comes up (its main dialog has opened its connection to the catalogue), runs until it is
// told to end, and ending it without a save leaves the settings file byte for byte as it was.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "catalogue_rows.h"
#include "child_process.h"
#include "scratch_catalogue.h"

namespace kvt {
namespace {

namespace fs = std::filesystem;

// True when process `pid` has `file` open (the SQLite driver keeps the catalogue open while
// connected, so this says the editor's connection is up).
bool HasFileOpen(pid_t pid, const fs::path& file) {
  std::error_code ec;
  const fs::path fdDir = fs::path("/proc") / std::to_string(pid) / "fd";
  for (fs::directory_iterator it(fdDir, ec), endIt; !ec && it != endIt; it.increment(ec)) {
    std::error_code linkEc;
    const fs::path target = fs::read_symlink(it->path(), linkEc);
    if (!linkEc && target == file) return true;
  }
  return false;
}

std::set<std::string> Entries(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

class EditorProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("KVT_BIN_DIR");
    ASSERT_NE(nullptr, bin);
    program_ = fs::path(bin) / "inikvtview";
    ASSERT_TRUE(fs::exists(program_)) << program_;
    catalogue_ = std::make_unique<test::ScratchCatalogue>();
    const test::Backend& b = catalogue_->backend();
    test::OdbcSession session = b.Connect();
    test::DescribeChannel(session, "ARU", "SHZ", "01", 20);
    dir_ = fs::path(b.dataDir).parent_path() / "editor-program";
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "run");
  }
  void TearDown() override {
    catalogue_.reset();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  fs::path program_, dir_;
  std::unique_ptr<test::ScratchCatalogue> catalogue_;
};

TEST_F(EditorProgram, ComesUpAndEndsWithoutWritingTheSettingsFile) {
  const test::Backend& b = catalogue_->backend();
  const fs::path run = dir_ / "run";
  // CR LF line ends, a comment and keys the editor rewrites in its own way on a save: any
  // write would show in the bytes.
  const std::string original = "; station monitor\r\n[SYSTEM]\r\nN#=1\r\nNSEC#=0600\r\nDELAY=45\r\n"
                               "[DATABASE]\r\nODBC=" + b.dsn + "\r\n[DATA]\r\nDIR=" + b.dataDir +
                               "\r\n[STA0]\r\nNAME=ARU\r\nCH=SHZ\r\nLCODE=01\r\n";
  std::ofstream(run / "station.ini", std::ios::binary) << original;
  const std::set<std::string> before = Entries(run);

  const std::string output = (dir_ / "inikvtview.out").string();
  // A name without a directory is taken in the current directory.
  test::ChildProcess editor(program_.string(), {"station.ini"}, run.string(), output,
                            {"KVT=" + run.string(), "QT_QPA_PLATFORM=offscreen"});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool up = false;
  while (!up && editor.Running() && std::chrono::steady_clock::now() < deadline) {
    up = HasFileOpen(editor.pid(), catalogue_->file());
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(up) << "never connected or ended early:\n" << test::ReadBytes(output);
  // Past its start-up: still running, waiting for the user.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  ASSERT_TRUE(editor.Running()) << test::ReadBytes(output);

  editor.Signal(SIGTERM);
  const test::ChildEnd end = editor.Wait(std::chrono::seconds(30));
  ASSERT_TRUE(end.finished);
  // Ended by the signal (or by a clean exit, should the program learn to handle it); never a
  // crash or a sanitizer report.
  if (end.exited)
    EXPECT_EQ(0, end.exitCode) << test::ReadBytes(output);
  else
    EXPECT_EQ(SIGTERM, end.signal) << test::ReadBytes(output);
  const std::string printed = test::ReadBytes(output);
  EXPECT_EQ(std::string::npos, printed.find("Sanitizer")) << printed;
  EXPECT_EQ(std::string::npos, printed.find("runtime error")) << printed;

  EXPECT_EQ(original, test::ReadBytes((run / "station.ini").string()));
  EXPECT_EQ(before, Entries(run));  // no temporary or backup file left either
}

}  // namespace
}  // namespace kvt
