#include "refresh_thread.h"

#include "refresh_titles.h"

namespace kvt::viewer {
namespace {

std::atomic<int> runningThreads{0};  //!< started and not yet at the end of Run

}  // namespace

struct RefreshThread::State {
  RefreshHooks hooks;
  std::shared_ptr<RefreshFlags> flags;
  std::mutex lock;
  std::condition_variable wake;  //!< signalled on a stop request and when the thread ends
  bool ended = false;            //!< guarded by lock

  // Sleeps `duration` or until a stop is requested; true when the cycle must end.
  bool SleepOrStop(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> guard(lock);
    return wake.wait_for(guard, duration, [this] { return flags->stopRequested.load(); });
  }
};

RefreshThread::RefreshThread(RefreshHooks hooks, std::shared_ptr<RefreshFlags> flags)
    : state_(std::make_shared<State>()) {
  state_->hooks = std::move(hooks);
  state_->flags = std::move(flags);
}

RefreshThread::~RefreshThread() noexcept {
  RequestStop();
  if (thread_.joinable()) thread_.join();
}

void RefreshThread::Start() {
  if (thread_.joinable()) return;
  // Counted before the thread exists, so no moment shows it running uncounted.
  ++runningThreads;
  thread_ = std::thread([state = state_] {
    Run(state);
    --runningThreads;
  });
}

int RefreshThread::Running() { return runningThreads.load(); }

void RefreshThread::RequestStop() {
  {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->flags->stopRequested = true;
  }
  state_->wake.notify_all();
}

bool RefreshThread::WaitForEnd(std::chrono::milliseconds limit) {
  if (!thread_.joinable()) return true;
  bool ended;
  {
    std::unique_lock<std::mutex> guard(state_->lock);
    ended = state_->wake.wait_for(guard, limit, [this] { return state_->ended; });
  }
  if (ended) {
    thread_.join();
  } else {
    // A pass that hangs (a dead database server, say) must not keep the window from closing.
    // The thread holds its own reference to everything it touches.
    thread_.detach();
  }
  return ended;
}

bool RefreshThread::Ended() const {
  std::lock_guard<std::mutex> guard(state_->lock);
  return state_->ended || !thread_.joinable();
}

void RefreshThread::Run(const std::shared_ptr<State>& state) {
  RefreshHooks& hooks = state->hooks;
  RefreshFlags& flags = *state->flags;
  PassWindow window;  // the epoch origin until the first pass has drawn

  // Runs a pass and keeps the window it drew for the titles.
  auto pass = [&] {
    if (std::optional<PassWindow> drawn = hooks.runPass()) window = *drawn;
  };

  int delay = DelayFromSetting(hooks.readDelay(), /*firstRead=*/true);
  bool stop = state->SleepOrStop(hooks.initialWait);
  while (!stop && !flags.stopRequested) {
    hooks.setTitle(DrawingTitle(window.start, window.length));
    pass();
    for (int i = 0; i < delay; ++i) {
      hooks.setTitle(CountdownTitle(window.start, window.length, delay - i));
      if (state->SleepOrStop(hooks.tick)) {
        stop = true;
        break;
      }
      if (flags.redrawRequested) {
        // Let a resize settle for a moment before drawing at the new size.
        if (state->SleepOrStop(hooks.tick)) {
          stop = true;
          break;
        }
        pass();
        break;
      }
    }
    if (stop) break;
    delay = DelayFromSetting(hooks.readDelay(), /*firstRead=*/false);
  }

  {
    std::lock_guard<std::mutex> guard(state->lock);
    state->ended = true;
  }
  state->wake.notify_all();
}

}  // namespace kvt::viewer
