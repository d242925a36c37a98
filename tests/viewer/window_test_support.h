// Helpers of the monitor window's GUI tests: a QApplication on the offscreen platform, waiting
// for a condition while the event loop runs, and a private directory.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

namespace kvt::viewer::testing {

//! Limit in milliseconds for Qt's own waits (a window exposed or active, a socket connected):
//! generous, as for WaitUntil.
inline constexpr int kWindowWait = 30000;

//! Runs the event loop until `condition` holds or `limit` passes; returns the condition. The
//! default limit is generous: a loaded CI machine with sanitizers can be many times slower.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > limit.count()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

//! Runs the event loop for `duration`.
inline void Pump(std::chrono::milliseconds duration) {
  WaitUntil([] { return false; }, duration);
}

//! Writes `text` to `path`.
inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace kvt::viewer::testing
