#pragma once
// A fixed set of worker threads taking tasks from one queue, for the work of a
// redraw pass that needs neither the catalogue connection nor the picture
// (filtering, scaling and reducing a channel's samples).

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kvt::viewer {

class WorkerPool {
public:
    //! How much lower (in nice steps) the workers run than the submitting thread.
    static constexpr int kWorkerNiceStep = 4;

    //! Starts threads workers (0: none; tasks then run in Submit). At most
    //! maxQueued tasks wait at a time; Submit blocks while the queue is full,
    //! which bounds the sample buffers held by waiting tasks.
    explicit WorkerPool(int threads, std::size_t maxQueued = 4);
    //! Runs the queued tasks to the end and joins the threads. noexcept.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    //! Queues task (it must not throw); runs it at once without threads.
    void Submit(std::function<void()> task);

private:
    void Work();

    std::mutex lock_;
    std::condition_variable ready_;  //!< a task was queued, or stopping
    std::condition_variable room_;   //!< a task was taken from the queue
    std::deque<std::function<void()>> queue_;
    std::size_t maxQueued_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace kvt::viewer
