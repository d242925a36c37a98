#pragma once
// The CPU stages of one channel in a redraw pass (band-pass filter, amplitude
// range, per-column reduction) as a job that can run on a worker thread, the
// shelf of sample buffers the jobs use, and the queue that draws their results
// in channel order on the pass's own thread.
//
// The buffers bound the memory of a pass: a channel's window is read into a
// buffer from the shelf, handed to its job and given back when the job is
// done, so a pass never holds more windows than the shelf lends out, however
// many channels it draws.

#include "dblib/segment_file.h"
#include "viewer/amplitude_scale.h"
#include "viewer/band_geometry.h"
#include "viewer/pass_logic.h"
#include "viewer/trace_path.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace kvt::viewer {

class TraceCanvas;

//! Sample buffers lent out to at most `limit` holders at a time. Thread-safe.
class SampleShelf {
public:
    explicit SampleShelf(std::size_t limit) : limit_(limit < 1 ? 1 : limit) {}
    //! A buffer of n samples (contents left from its last use). Blocks while
    //! `limit` buffers are out. Throws std::bad_alloc.
    std::vector<float> Take(std::size_t n);
    //! Takes back a buffer lent by Take; its memory serves the next Take.
    void Give(std::vector<float> buffer) noexcept;
    //! Bytes of all buffers made so far (lent or on the shelf).
    std::size_t CapacityBytes() const;
    //! The most buffers lent out at a time.
    std::size_t limit() const noexcept { return limit_; }

private:
    mutable std::mutex lock_;
    std::condition_variable returned_;
    std::vector<std::vector<float>> free_;
    std::size_t out_ = 0;
    std::size_t limit_;
    std::size_t madeBytes_ = 0;
};

//! A buffer lent by a shelf, given back when the loan ends (also when an
//! exception unwinds past it), so a failed channel never keeps a window
//! from the channels after it.
class SampleLoan {
public:
    SampleLoan() = default;
    //! Takes a buffer of n samples from shelf (see SampleShelf::Take).
    SampleLoan(SampleShelf& shelf, std::size_t n) : buffer_(shelf.Take(n)), shelf_(&shelf) {}
    ~SampleLoan() { Return(); }
    SampleLoan(SampleLoan&& other) noexcept : buffer_(std::move(other.buffer_)), shelf_(other.shelf_) {
        other.shelf_ = nullptr;
    }
    SampleLoan& operator=(SampleLoan&& other) noexcept {
        if (this != &other) {
            Return();
            buffer_ = std::move(other.buffer_);
            shelf_ = other.shelf_;
            other.shelf_ = nullptr;
        }
        return *this;
    }
    SampleLoan(const SampleLoan&) = delete;
    SampleLoan& operator=(const SampleLoan&) = delete;

    std::vector<float>& samples() noexcept { return buffer_; }
    //! Gives the buffer back now (nothing when nothing is lent).
    void Return() noexcept {
        if (shelf_ != nullptr) shelf_->Give(std::move(buffer_));
        shelf_ = nullptr;
    }

private:
    std::vector<float> buffer_;
    SampleShelf* shelf_ = nullptr;
};

//! One stretch of a job's buffer drawn on its own: samples
//! [begin, begin + count), the first of them at x index firstIndex of the
//! window (below 0: filtered and counted in the automatic range, not drawn).
struct TracePiece {
    std::size_t begin = 0;
    std::size_t count = 0;
    long long firstIndex = 0;
};

//! A file piece to read into a job's buffer: samples [at, at + capacity) at
//! most (fewer when the piece is shorter).
struct PieceRead {
    SegmentFile file;          //!< opened by the pass, read by the job
    std::size_t at = 0;        //!< first sample of the buffer to write
    std::size_t capacity = 0;  //!< most samples to write
};

//! What a job needs: the samples and how to turn them into trace paths.
struct TraceWork {
    SampleLoan samples;               //!< a buffer from the shelf, given back when done
    //! Stretches [first, second) of the buffer no file covers: gap markers.
    std::vector<std::pair<std::size_t, std::size_t>> gaps;
    //! Files read into the buffer first, in order (a later one over an
    //! earlier one). A file that fails to read after it was opened leaves
    //! gap markers where it would have gone.
    std::vector<PieceRead> reads;
    std::vector<TracePiece> pieces;   //!< in drawing order; the automatic range carries over
    FilterSetting filter;             //!< band-pass of the channel (on or off)
    double rate = 0;                  //!< samples/s
    long long samplesInWindow = 0;    //!< x indices of the window
    ScaleSetting scale;               //!< the channel's SCALE setting
    BandLayout layout;                //!< picture layout
    Band band;                        //!< the channel's band
    bool reduce = true;               //!< per-column reduction into pixel runs (false: a point per sample)
};

//! The result of a job. Written by the job only; read after done.
struct TraceJob {
    //! One per drawn piece, in drawing order: pixel runs of the reduced
    //! trace, or with reduce false a path with a point per sample.
    std::vector<std::vector<PixelRun>> runs;
    std::vector<std::vector<PathPoint>> paths;
    double readSeconds = 0;    //!< s spent reading the files
    double filterSeconds = 0;  //!< s of thread time spent filtering
    double reduceSeconds = 0;  //!< s spent choosing the range, clipping and reducing
    bool failed = false;       //!< an allocation failure stopped the job (no paths)
    std::promise<void> finished;
    std::shared_future<void> done = finished.get_future().share();
};

//! Runs the stages of work into job: the gap markers and the file reads,
//! then per piece the band-pass, the automatic range (carried over from
//! piece to piece) and the pixel runs (or the path). Gives the buffer back and fulfils job.done, also on
//! failure. Never throws.
void RunTraceWork(TraceWork& work, TraceJob& job) noexcept;

//! Drawing operations in the order the pass asks for them, run on the pass's
//! thread; an operation on a trace waits for its job. Seconds spent drawing
//! (waits excluded) are added to *drawSeconds (may be null).
class DrawQueue {
public:
    using Operation = std::function<void(TraceCanvas&)>;
    DrawQueue(TraceCanvas& canvas, double* drawSeconds) : canvas_(canvas), drawSeconds_(drawSeconds) {}

    //! Queues an operation; job, when given, must be done before it runs.
    void Push(Operation op, std::shared_ptr<TraceJob> job = nullptr);
    //! Runs the queued operations from the front while they are ready.
    void DrawReady();
    //! Runs every queued operation, waiting for jobs as needed.
    void DrawAll();
    //! Runs operations from the front, waiting for jobs as needed, until
    //! fewer than n queued operations wait for a job: bounds the trace paths
    //! (and the windows of their jobs) that a pass holds at a time.
    void DrawUntilFewerJobs(std::size_t n);

private:
    struct Entry {
        Operation op;
        std::shared_ptr<TraceJob> job;
    };
    void RunFront();

    TraceCanvas& canvas_;
    double* drawSeconds_;
    std::deque<Entry> queue_;
    std::size_t jobs_ = 0;  //!< queued operations with a job
};

}  // namespace kvt::viewer
