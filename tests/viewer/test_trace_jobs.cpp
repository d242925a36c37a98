// The pieces a redraw pass uses to work on channels with workers: the shelf
// that bounds the windows held at a time, a channel's job (range carried over
// between its pieces, buffer given back), and the queue that draws in order.
#include "viewer/trace_jobs.h"

#include "dblib/data_file.h"
#include "dblib/db_result.h"
#include "viewer/trace_canvas.h"
#include "viewer/worker_pool.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kvt::viewer {
namespace {

namespace fs = std::filesystem;

TEST(SampleShelf, LendsAtMostItsLimitAndReusesGivenBuffers) {
    SampleShelf shelf(2);
    std::vector<float> a = shelf.Take(1000);
    std::vector<float> b = shelf.Take(500);
    EXPECT_EQ(a.size(), 1000u);
    EXPECT_EQ(b.size(), 500u);
    const std::size_t made = shelf.CapacityBytes();

    std::atomic<bool> taken{false};
    std::thread third([&] {
        std::vector<float> c = shelf.Take(800);
        taken = true;
        shelf.Give(std::move(c));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(taken.load());  // both buffers are out
    shelf.Give(std::move(a));
    third.join();
    EXPECT_TRUE(taken.load());
    // The third holder got the first buffer back (large enough): nothing new made.
    EXPECT_EQ(shelf.CapacityBytes(), made);
    shelf.Give(std::move(b));
}

// A loan gives its buffer back however it ends: returned, moved on, or
// dropped while an exception unwinds.
TEST(SampleLoan, GivesTheBufferBackOnceHoweverItEnds) {
    SampleShelf shelf(1);
    {
        SampleLoan loan(shelf, 10);
        SampleLoan moved(std::move(loan));
        loan.Return();  // the moved-from loan holds nothing
        EXPECT_EQ(moved.samples().size(), 10u);
    }
    try {
        SampleLoan loan(shelf, 10);
        throw std::runtime_error("a failed channel");
    } catch (const std::runtime_error&) {
    }
    SampleLoan again(shelf, 20);  // would wait for ever if a buffer were still out
    again.Return();
    again.Return();
    SampleLoan last(shelf, 5);
    last = SampleLoan();  // assigning over a loan ends it
    SampleLoan after(shelf, 5);
    EXPECT_EQ(after.samples().size(), 5u);
}

class TraceJobs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QGuiApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "test_trace_jobs";
            static char* argv[] = {name, nullptr};
            new QGuiApplication(argc, argv);  // lives until the process ends
        }
    }
};

// A piece left of the window is not drawn, but its values still widen the
// automatic range the next piece is drawn with, as in piecewise drawing.
TEST_F(TraceJobs, RangeCarriesOverFromPiecesNotDrawn) {
    const BandLayout layout = BandLayout::Make(400, 200, 1);
    const Band band = layout.BandOf(0);
    SampleShelf shelf(1);
    TraceWork work;
    work.samples = SampleLoan(shelf, 200);
    std::vector<float>& v = work.samples.samples();
    for (std::size_t i = 0; i < 100; ++i) v[i] = i % 2 == 0 ? 5000.0f : -5000.0f;  // loud
    for (std::size_t i = 100; i < 200; ++i) v[i] = i % 2 == 0 ? 10.0f : -10.0f;    // quiet
    work.pieces = {{0, 100, -150}, {100, 100, 20}};
    work.rate = 1000;  // no samples skipped at the ends of a piece
    work.samplesInWindow = 300;
    work.layout = layout;
    work.band = band;
    std::vector<float> quiet(v.begin() + 100, v.end());

    TraceJob job;
    RunTraceWork(work, job);
    EXPECT_EQ(job.done.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_FALSE(job.failed);
    ASSERT_EQ(job.runs.size(), 1u);
    EXPECT_TRUE(job.paths.empty());

    AmplitudeScale own;  // the quiet piece's own range would fill the band
    ChooseScale(quiet.data(), quiet.size(), 1000, ScaleSetting{}, own);
    AmplitudeScale carried;
    carried.top = 7500;  // the loud piece's range, widened by half on each side
    carried.bottom = -7500;
    carried.seen = true;
    std::vector<float> again = quiet;
    EXPECT_NE(job.runs[0], BuildReducedTraceRuns(quiet.data(), quiet.size(), 20, 300, layout, band, own));
    ChooseScale(again.data(), again.size(), 1000, ScaleSetting{}, carried);
    EXPECT_EQ(job.runs[0], BuildReducedTraceRuns(again.data(), again.size(), 20, 300, layout, band, carried));

    // The buffer is back: the shelf of one lends again at once.
    std::vector<float> next = shelf.Take(10);
    shelf.Give(std::move(next));
}

// The job reads the files the pass opened and marks the stretches no file
// covers; a file that fails to read after it was opened (here a directory)
// leaves gap markers where its samples would have gone.
TEST_F(TraceJobs, ReadsOpenedFilesAndMarksWhatNoFileCovers) {
    const fs::path dir = fs::temp_directory_path() / ("kvt-trace-jobs-" + std::to_string(::getpid()));
    fs::create_directories(dir / "unreadable");
    {
        std::ofstream out(dir / "ramp.dat", std::ios::binary);
        const std::string header(512, '\0');
        out.write(header.data(), 512);
        for (float v = 1; v <= 4; ++v) out.write(reinterpret_cast<const char*>(&v), sizeof v);
    }
    const BandLayout layout = BandLayout::Make(400, 200, 1);
    SampleShelf shelf(1);
    TraceWork work;
    work.samples = SampleLoan(shelf, 10);
    std::fill(work.samples.samples().begin(), work.samples.samples().end(), 99.0f);
    work.gaps = {{0, 2}, {9, 10}};
    PieceRead ramp;
    ASSERT_EQ(ramp.file.Open((dir / "ramp.dat").string(), kFloat32, 512, 4), db::kOk);
    ramp.at = 2;
    ramp.capacity = 8;  // the piece holds 4 samples: only those are written
    PieceRead broken;
    ASSERT_EQ(broken.file.Open((dir / "unreadable").string(), kFloat32, 0, 3), db::kOk);
    broken.at = 6;
    broken.capacity = 4;
    work.reads.push_back(std::move(ramp));
    work.reads.push_back(std::move(broken));
    work.pieces = {{0, 10, 0}};
    work.rate = 1000;
    work.samplesInWindow = 10;
    work.layout = layout;
    work.band = layout.BandOf(0);
    TraceJob job;
    RunTraceWork(work, job);
    EXPECT_FALSE(job.failed);
    EXPECT_GE(job.readSeconds, 0.0);
    // The buffer is back on the shelf as the job left it.
    std::vector<float> seen = shelf.Take(10);
    const float g = kGapMarker;
    EXPECT_EQ(seen, (std::vector<float>{g, g, 1, 2, 3, 4, g, g, g, g}));
    shelf.Give(std::move(seen));
    fs::remove_all(dir);
}

TEST_F(TraceJobs, QueueDrawsInOrderAndWaitsOnlyWhereItMust) {
    TraceCanvas canvas(100, 50, 1, MakeDisplayFont(QStringLiteral("Courier new"), 12));
    double drawSeconds = 0;
    DrawQueue queue(canvas, &drawSeconds);
    std::vector<std::string> order;
    auto first = std::make_shared<TraceJob>();
    auto second = std::make_shared<TraceJob>();
    queue.Push([&](TraceCanvas&) { order.push_back("band"); });
    queue.Push([&](TraceCanvas&) { order.push_back("first trace"); }, first);
    queue.Push([&](TraceCanvas&) { order.push_back("label"); });
    queue.Push([&](TraceCanvas&) { order.push_back("second trace"); }, second);
    queue.Push([&](TraceCanvas&) { order.push_back("marks"); });

    queue.DrawReady();  // stops before the first unfinished job
    EXPECT_EQ(order, (std::vector<std::string>{"band"}));
    second->finished.set_value();
    queue.DrawReady();  // a finished job behind an unfinished one waits its turn
    EXPECT_EQ(order.size(), 1u);

    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        first->finished.set_value();
    });
    queue.DrawUntilFewerJobs(1);  // waits for the first job, then runs up to the second trace
    worker.join();
    EXPECT_EQ(order, (std::vector<std::string>{"band", "first trace", "label", "second trace"}));
    queue.DrawAll();
    EXPECT_EQ(order.back(), "marks");
    EXPECT_GE(drawSeconds, 0.0);
}

// Jobs on two workers with a shelf of three windows: every job is drawn in
// order and no more than three windows are ever out.
TEST_F(TraceJobs, WorkersNeverHoldMoreWindowsThanTheShelfLends) {
    const BandLayout layout = BandLayout::Make(300, 400, 20);
    TraceCanvas canvas(300, 400, 20, MakeDisplayFont(QStringLiteral("Courier new"), 12));
    SampleShelf shelf(3);
    DrawQueue queue(canvas, nullptr);
    std::vector<int> drawn;
    {
        WorkerPool pool(2);
        for (int c = 0; c < 20; ++c) {
            queue.DrawUntilFewerJobs(3);
            auto work = std::make_shared<TraceWork>();
            work->samples = SampleLoan(shelf, 5000);
            std::vector<float>& v = work->samples.samples();
            for (std::size_t i = 0; i < v.size(); ++i)
                v[i] = static_cast<float>((i * 7919 + static_cast<std::size_t>(c)) % 1000);
            work->pieces = {{0, 5000, 0}};
            work->filter = {c % 2 == 0, 0.5f, 5.0f};
            work->rate = 100;
            work->samplesInWindow = 5000;
            work->layout = layout;
            work->band = layout.BandOf(c);
            auto job = std::make_shared<TraceJob>();
            pool.Submit([work, job] { RunTraceWork(*work, *job); });
            queue.Push(
                [&drawn, c, job](TraceCanvas& cv) {
                    EXPECT_FALSE(job->failed);
                    for (const auto& runs : job->runs) cv.DrawRuns(runs);
                    drawn.push_back(c);
                },
                job);
            queue.DrawReady();
        }
        queue.DrawAll();
    }
    std::vector<int> expected(20);
    for (int c = 0; c < 20; ++c) expected[static_cast<std::size_t>(c)] = c;
    EXPECT_EQ(drawn, expected);
    EXPECT_LE(shelf.CapacityBytes(), 3 * 5000 * sizeof(float));
}

}  // namespace
}  // namespace kvt::viewer
