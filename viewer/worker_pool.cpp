#include "viewer/worker_pool.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace kvt::viewer {

WorkerPool::WorkerPool(int threads, std::size_t maxQueued) : maxQueued_(maxQueued < 1 ? 1 : maxQueued) {
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> g(lock_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void WorkerPool::Submit(std::function<void()> task) {
    if (threads_.empty()) {
        task();
        return;
    }
    {
        std::unique_lock<std::mutex> g(lock_);
        room_.wait(g, [&] { return queue_.size() < maxQueued_; });
        queue_.push_back(std::move(task));
    }
    ready_.notify_one();
}

void WorkerPool::Work() {
    // The thread that submits the tasks is on the critical path (it reads and
    // draws in order, and the workers wait for its next task); on a machine
    // with as many cores as threads in all, the workers give way to it. A
    // failure leaves the priority as it was.
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    if (errno == 0) setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice + kWorkerNiceStep);
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> g(lock_);
            ready_.wait(g, [&] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;  // stopping, and nothing left to do
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        room_.notify_one();
        task();
    }
}

}  // namespace kvt::viewer
