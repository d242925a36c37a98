// The pass's worker pool: every task runs exactly once, also those still
// queued when the pool goes away, and without threads at once in Submit.
#include "viewer/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace kvt::viewer {
namespace {

TEST(WorkerPool, EveryTaskRunsOnceBeforeTheDestructorReturns) {
    struct Case {
        const char* reason;
        int threads;
        std::size_t maxQueued;
    } cases[] = {
        {"no threads: tasks run in Submit", 0, 4},
        {"one worker, a queue of one: Submit waits for room", 1, 1},
        {"two workers", 2, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<std::atomic<int>> runs(200);
        std::atomic<bool> otherThread{false};
        const auto submitter = std::this_thread::get_id();
        {
            WorkerPool pool(c.threads, c.maxQueued);
            for (std::size_t k = 0; k < runs.size(); ++k)
                pool.Submit([&, k] {
                    runs[k]++;
                    if (std::this_thread::get_id() != submitter) otherThread = true;
                });
        }
        for (std::size_t k = 0; k < runs.size(); ++k) EXPECT_EQ(runs[k].load(), 1) << k;
        EXPECT_EQ(otherThread.load(), c.threads > 0);
    }
}

}  // namespace
}  // namespace kvt::viewer
