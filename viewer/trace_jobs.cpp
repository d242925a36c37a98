#include "viewer/trace_jobs.h"

#include "dblib/db_result.h"
#include "viewer/bandpass_filter.h"
#include "viewer/trace_canvas.h"

#include <algorithm>
#include <chrono>

namespace kvt::viewer {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

}  // namespace

std::vector<float> SampleShelf::Take(std::size_t n) {
    std::vector<float> buffer;
    {
        std::unique_lock<std::mutex> g(lock_);
        returned_.wait(g, [&] { return out_ < limit_; });
        ++out_;
        if (!free_.empty()) {
            buffer = std::move(free_.back());
            free_.pop_back();
        }
    }
    try {
        const std::size_t before = buffer.capacity();
        buffer.resize(n);
        if (buffer.capacity() != before) {
            std::lock_guard<std::mutex> g(lock_);
            madeBytes_ += (buffer.capacity() - before) * sizeof(float);
        }
    } catch (...) {
        Give(std::move(buffer));
        throw;
    }
    return buffer;
}

void SampleShelf::Give(std::vector<float> buffer) noexcept {
    {
        std::lock_guard<std::mutex> g(lock_);
        --out_;
        // The shelf never holds more buffers than it lends, so a full one
        // means the buffer came from elsewhere: its memory just goes.
        if (free_.size() < limit_) {
            try {
                free_.push_back(std::move(buffer));
            } catch (...) {
            }
        }
    }
    returned_.notify_one();
}

std::size_t SampleShelf::CapacityBytes() const {
    std::lock_guard<std::mutex> g(lock_);
    return madeBytes_;
}

void RunTraceWork(TraceWork& work, TraceJob& job) noexcept {
    try {
        std::vector<float>& buffer = work.samples.samples();
        const auto readStart = Clock::now();
        for (const auto& [from, to] : work.gaps)
            std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(from),
                      buffer.begin() + static_cast<std::ptrdiff_t>(to), kGapMarker);
        for (PieceRead& read : work.reads) {
            if (read.file.Read(buffer.data() + read.at, read.capacity) != db::kOk)
                std::fill_n(buffer.begin() + static_cast<std::ptrdiff_t>(read.at),
                            std::min(read.capacity, read.file.count()), kGapMarker);
            read.file = SegmentFile();  // closed as soon as it is read
        }
        job.readSeconds += SecondsSince(readStart);
        AmplitudeScale scale;
        for (const TracePiece& piece : work.pieces) {
            float* samples = buffer.data() + piece.begin;
            if (work.filter.on) {
                const auto t = Clock::now();
                ApplyBandPass(samples, piece.count, 1.0 / work.rate, work.filter.low, work.filter.high);
                job.filterSeconds += SecondsSince(t);
            }
            const auto t = Clock::now();
            ChooseScale(samples, piece.count, work.rate, work.scale, scale);
            if (piece.firstIndex >= 0 && work.reduce)
                job.runs.push_back(BuildReducedTraceRuns(samples, piece.count, piece.firstIndex,
                                                         work.samplesInWindow, work.layout, work.band, scale));
            else if (piece.firstIndex >= 0)
                job.paths.push_back(BuildTracePath(samples, piece.count, piece.firstIndex, work.samplesInWindow,
                                                   work.layout, work.band, scale));
            job.reduceSeconds += SecondsSince(t);
        }
    } catch (...) {
        job.failed = true;
        job.runs.clear();
        job.paths.clear();
    }
    work.samples.Return();
    job.finished.set_value();
}

void DrawQueue::Push(Operation op, std::shared_ptr<TraceJob> job) {
    if (job) ++jobs_;
    queue_.push_back({std::move(op), std::move(job)});
}

void DrawQueue::RunFront() {
    Entry e = std::move(queue_.front());
    queue_.pop_front();
    if (e.job) {
        --jobs_;
        e.job->done.wait();
    }
    const auto t = Clock::now();
    e.op(canvas_);
    if (drawSeconds_ != nullptr) *drawSeconds_ += SecondsSince(t);
}

void DrawQueue::DrawReady() {
    while (!queue_.empty()) {
        const std::shared_ptr<TraceJob>& job = queue_.front().job;
        if (job && job->done.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
        RunFront();
    }
}

void DrawQueue::DrawAll() {
    while (!queue_.empty()) RunFront();
}

void DrawQueue::DrawUntilFewerJobs(std::size_t n) {
    while (jobs_ >= n && !queue_.empty()) RunFront();
}

}  // namespace kvt::viewer
