#include "viewer/refresh_thread.h"

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace kvt::viewer {
namespace {

using namespace std::chrono_literals;

// Runs a refresh thread with short sleeps and records what it does: each title as its part
// after the bracket ("отрисовка", "2 сек"), each pass as "pass".
class RefreshCycleTest : public ::testing::Test {
 protected:
  void Start(std::string delay, std::chrono::milliseconds tick = 20ms,
             std::chrono::milliseconds initialWait = 5ms) {
    delay_ = std::move(delay);
    RefreshHooks hooks;
    hooks.runPass = [this]() -> std::optional<PassWindow> {
      flags_->redrawRequested = false;  // the pass clears the request at its start
      Add("pass");
      if (passGate_) passGate_->wait();
      std::lock_guard<std::mutex> guard(lock_);
      return nextWindow_;
    };
    hooks.setTitle = [this](const std::string& title) {
      const std::size_t bracket = title.find("] - ");
      const std::string tail = bracket == std::string::npos ? title : title.substr(bracket + 4);
      Add(tail);
      {
        std::lock_guard<std::mutex> guard(lock_);
        lastTitle_ = title;
      }
      if (onTitle_) onTitle_(tail);
    };
    hooks.readDelay = [this] {
      std::lock_guard<std::mutex> guard(lock_);
      return delay_;
    };
    hooks.initialWait = initialWait;
    hooks.tick = tick;
    thread_ = std::make_unique<RefreshThread>(std::move(hooks), flags_);
    thread_->Start();
  }

  void Add(const std::string& event) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      events_.push_back(event);
    }
    changed_.notify_all();
  }

  // Waits until `count` events are recorded (generous limit: CI machines are slow).
  std::vector<std::string> WaitForEvents(std::size_t count) {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait_for(guard, 20s, [&] { return events_.size() >= count; });
    return {events_.begin(), events_.begin() + std::min(count, events_.size())};
  }

  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> guard(lock_);
    return events_;
  }

  void SetDelay(std::string delay) {
    std::lock_guard<std::mutex> guard(lock_);
    delay_ = std::move(delay);
  }

  void TearDown() override {
    if (!thread_) return;
    thread_->RequestStop();
    EXPECT_TRUE(thread_->WaitForEnd(20s));
  }

  std::shared_ptr<RefreshFlags> flags_ = std::make_shared<RefreshFlags>();
  std::unique_ptr<RefreshThread> thread_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
  std::string delay_;
  std::string lastTitle_;
  std::optional<PassWindow> nextWindow_ = PassWindow{1000.0, 600.0};
  std::shared_future<void>* passGate_ = nullptr;
  // Runs on the refresh thread right after a title is shown (with the title's part after the
  // bracket): a test acts at a known point of the cycle however slowly its own thread runs.
  std::function<void(const std::string&)> onTitle_;
};

TEST_F(RefreshCycleTest, CountsTheDelayDownBetweenPasses) {
  Start("2");
  EXPECT_EQ(WaitForEvents(9), (std::vector<std::string>{"отрисовка", "pass", "2 сек", "1 сек",
                                                        "отрисовка", "pass", "2 сек", "1 сек",
                                                        "отрисовка"}));
}

TEST_F(RefreshCycleTest, TitleShowsTheWindowOfTheLastPass) {
  Start("1");
  WaitForEvents(3);
  thread_->RequestStop();
  thread_->WaitForEnd(20s);
  std::lock_guard<std::mutex> guard(lock_);
  EXPECT_EQ(events_.front(), "отрисовка");
  // Start 1000 s, length 600 s after the epoch origin.
  EXPECT_EQ(lastTitle_.substr(0, lastTitle_.find("] - ") + 1),
            "Varurod - [00:16:40 - 00:26:40 01/01/1970]");
}

TEST_F(RefreshCycleTest, PassThatReturnsEarlyKeepsThePreviousWindowInTheTitle) {
  Start("1");
  WaitForEvents(3);  // first pass drew 1000..1600
  {
    std::lock_guard<std::mutex> guard(lock_);
    nextWindow_ = std::nullopt;
  }
  WaitForEvents(7);
  thread_->RequestStop();
  thread_->WaitForEnd(20s);
  std::lock_guard<std::mutex> guard(lock_);
  EXPECT_NE(lastTitle_.find("[00:16:40 - 00:26:40 01/01/1970]"), std::string::npos) << lastTitle_;
}

TEST_F(RefreshCycleTest, DelayChangeTakesEffectAfterTheRunningCountdown) {
  bool changed = false;
  onTitle_ = [&](const std::string& title) {
    if (title == "2 сек" && !changed) {  // the countdown from 2 has begun
      changed = true;
      SetDelay("3");
    }
  };
  Start("2", 40ms);
  EXPECT_EQ(WaitForEvents(10), (std::vector<std::string>{"отрисовка", "pass", "2 сек", "1 сек",
                                                         "отрисовка", "pass", "3 сек", "2 сек",
                                                         "1 сек", "отрисовка"}));
}

TEST_F(RefreshCycleTest, NoCountdownInTheFirstCycleForZeroOrNegativeDelay) {
  for (const char* delay : {"0", "-5", "abc", ""}) {
    SCOPED_TRACE(delay);
    events_.clear();
    flags_ = std::make_shared<RefreshFlags>();
    Start(delay);
    EXPECT_EQ(WaitForEvents(5),
              (std::vector<std::string>{"отрисовка", "pass", "отрисовка", "pass", "30 сек"}));
    thread_->RequestStop();
    EXPECT_TRUE(thread_->WaitForEnd(20s));
  }
}

TEST_F(RefreshCycleTest, RedrawRequestCutsTheCountdownShortWithTwoPasses) {
  bool requested = false;
  onTitle_ = [&](const std::string& title) {
    if (title == "100 сек" && !requested) {  // the request comes during the countdown
      requested = true;
      flags_->redrawRequested = true;
    }
  };
  Start("100");
  std::vector<std::string> events = WaitForEvents(3 + 5);
  // After the request: at most one more second shown before the pass, then the pass, and the
  // cycle starts again with a second pass straight after it.
  std::vector<std::string> after(events.begin() + 3, events.end());
  if (after.front() == "99 сек") after.erase(after.begin());
  ASSERT_GE(after.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(after.begin(), after.begin() + 3),
            (std::vector<std::string>{"pass", "отрисовка", "pass"}));
}

TEST_F(RefreshCycleTest, StopDuringTheCountdownEndsAtOnce) {
  Start("100", 30s);  // a countdown second far longer than the test may wait
  WaitForEvents(3);
  thread_->RequestStop();
  EXPECT_TRUE(thread_->WaitForEnd(5s));
  EXPECT_EQ(Events().size(), 3u);
}

TEST_F(RefreshCycleTest, StopDuringTheFirstWaitEndsWithoutAPass) {
  Start("2", 20ms, 30s);
  thread_->RequestStop();
  EXPECT_TRUE(thread_->WaitForEnd(5s));
  EXPECT_TRUE(Events().empty());
}

TEST_F(RefreshCycleTest, StopDuringAPassEndsWhenThePassEnds) {
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  passGate_ = &gate;
  Start("100", 30s);
  WaitForEvents(2);  // inside the pass
  thread_->RequestStop();
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(thread_->Ended());  // a pass is never interrupted
  release.set_value();
  EXPECT_TRUE(thread_->WaitForEnd(5s));
  const std::vector<std::string> events = Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "pass"), 1);
}

// A pass that hangs past the window's wait at close: the thread is left to finish on its own,
// and the process must know it still runs (it then may not destroy what the pass uses).
TEST_F(RefreshCycleTest, ThreadLeftToAHungPassCountsAsRunningUntilItEnds) {
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  passGate_ = &gate;
  const int before = RefreshThread::Running();
  Start("100", 30s);
  EXPECT_EQ(RefreshThread::Running(), before + 1);
  WaitForEvents(2);  // inside the pass
  thread_->RequestStop();
  EXPECT_FALSE(thread_->WaitForEnd(50ms));
  EXPECT_EQ(RefreshThread::Running(), before + 1);
  release.set_value();
  const auto limit = std::chrono::steady_clock::now() + 20s;
  while (RefreshThread::Running() > before && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(RefreshThread::Running(), before);
}

}  // namespace
}  // namespace kvt::viewer
