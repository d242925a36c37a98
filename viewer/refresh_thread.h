// The refresh cycle: one worker thread that runs the redraw pass, counts the delay down in the
// window title and starts again, until the window closes. A resize or the settings editor's
// notification (redrawRequested) cuts the countdown short. No GUI code here: the window hands
// in how to run a pass, how to post a title and where the delay comes from, so the cycle runs
// with short sleeps in tests.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace kvt::viewer {

//! The flags the window and the refresh thread share.
struct RefreshFlags {
  std::atomic<bool> stopRequested{false};    //!< set at close; ends the cycle
  std::atomic<bool> redrawRequested{false};  //!< set by resize/notification; the pass clears it
};

//! Window of a finished redraw pass as the titles show it.
struct PassWindow {
  double start = 0.0;   //!< epoch seconds of the left edge
  double length = 0.0;  //!< seconds covered
};

//! What the cycle needs from its window. Every function is called on the refresh thread.
struct RefreshHooks {
  /// Runs one redraw pass synchronously; returns the window it drew, or nothing when the pass
  /// returned early (the titles then keep the previous window).
  std::function<std::optional<PassWindow>()> runPass;
  /// Shows a title; must hand it to the user-interface thread without waiting for it.
  std::function<void(const std::string&)> setTitle;
  /// The current `DELAY` setting text (the default "30" when the key is absent).
  std::function<std::string()> readDelay;
  std::chrono::milliseconds initialWait{5000};  //!< pause before the first pass
  std::chrono::milliseconds tick{1000};         //!< one second of the countdown
};

/// The refresh thread. Start() launches it; it ends when stopRequested is seen (at the latest
/// one pass plus one tick after RequestStop). The destructor requests a stop and waits for the
/// thread without a limit; use WaitForEnd first to bound the wait.
class RefreshThread {
 public:
  RefreshThread(RefreshHooks hooks, std::shared_ptr<RefreshFlags> flags);
  ~RefreshThread() noexcept;
  RefreshThread(const RefreshThread&) = delete;
  RefreshThread& operator=(const RefreshThread&) = delete;

  /// Starts the thread (once; later calls do nothing).
  void Start();
  /// Sets stopRequested and wakes the thread from its sleep.
  void RequestStop();
  /// Waits up to `limit` for the thread to end; true when it has ended (or never started).
  /// When it has not, the thread is left to finish on its own: it owns everything it uses.
  bool WaitForEnd(std::chrono::milliseconds limit);
  /// True once the thread function has returned.
  bool Ended() const;
  /// Refresh threads of this process started and not yet ended, including those left to finish
  /// on their own by WaitForEnd. While one runs, its pass may still use whatever the window's
  /// hooks reach (the session, the application, the process log), so the process must not tear
  /// those down at exit.
  static int Running();

 private:
  struct State;
  static void Run(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace kvt::viewer
