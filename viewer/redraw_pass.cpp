#include "viewer/redraw_pass.h"

#include "common/profile.h"
#include "common/settings_keys.h"
#include "common/time_values.h"
#include "dblib/odbc_statement.h"
#include "viewer/amplitude_scale.h"
#include "viewer/bandpass_filter.h"
#include "viewer/channel_setup.h"
#include "viewer/event_log.h"
#include "viewer/pass_logic.h"
#include "viewer/session_state.h"
#include "viewer/trace_canvas.h"
#include "viewer/trace_jobs.h"
#include "viewer/trace_path.h"
#include "viewer/worker_pool.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace kvt::viewer {
namespace {

using Clock = std::chrono::steady_clock;

std::string Format(const char* fmt, auto... args) {
    int n = std::snprintf(nullptr, 0, fmt, args...);
    std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) std::snprintf(s.data(), s.size() + 1, fmt, args...);
    return s;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Adds the time from construction to destruction to one timing field.
class Stopwatch {
public:
    explicit Stopwatch(double* field) : field_(field), start_(Clock::now()) {}
    ~Stopwatch() {
        if (field_)
            *field_ += std::chrono::duration<double>(Clock::now() - start_).count();
    }
    Stopwatch(const Stopwatch&) = delete;
    Stopwatch& operator=(const Stopwatch&) = delete;

private:
    double* field_;
    Clock::time_point start_;
};

double* Field(PassTimings* t, double PassTimings::*member) { return t ? &(t->*member) : nullptr; }

// Everything one pass shares between its channels.
struct Pass {
    ViewerSession& session;
    const Profile& settings;
    TraceCanvas& canvas;
    PassTimings* timings;
    PassWindow window;
    int nsec = 0;
    bool debug = false;
    bool warnings = false;
    bool reducePerColumn = true;  //!< draw traces through the per-column reduction
    //! Workers for filtering, scaling and reducing traces; null: all of it
    //! on this thread, at once.
    WorkerPool* pool = nullptr;
    //! The channel windows the pass may hold: one per worker (one without workers).
    SampleShelf& shelf;
    //! Drawing operations in the order the pass asks for them.
    DrawQueue& queue;
};

// A drawing operation, drawn as soon as everything before it is drawn.
void OnCanvas(Pass& p, DrawQueue::Operation op, std::shared_ptr<TraceJob> job = nullptr) {
    p.queue.Push(std::move(op), std::move(job));
    p.queue.DrawReady();
}

// One channel while it is being drawn.
struct Channel {
    int index = 0;
    ChannelEntry entry;
    double rate = 0;
    FilterSetting filter;
    long long samplesInWindow = 0;
};

void Debug(const Pass& p, const std::string& line) {
    if (p.debug) WriteLog(line);
}

std::vector<double> QueryEventTimes(Pass& p, const std::string& name) {
    std::vector<double> times;
    Stopwatch sw(Field(p.timings, &PassTimings::catalogue));
    EnsureConnected(p.session);
    const CDbSchema& s = p.session.state().schema;
    OdbcStatement st(p.session.state().database.hdbc());
    if (!st.ok()) return times;
    double value = 0;
    std::int64_t indicator = 0;
    const std::string sql = EventMarksText(s.eventList.TBEGIN, s.eventList.name, s.eventList.STA,
                                           p.window.start, p.window.end, name);
    if (!st.BindDouble(1, &value, &indicator) || !st.ExecDirect(sql)) {
        WriteLog(st.diagnostic());
        return times;
    }
    for (;;) {
        FetchResult r = st.Fetch();
        if (r == FetchResult::Error) WriteLog(st.diagnostic());
        if (r != FetchResult::Row) break;
        if (indicator == kSqlNullData) continue;  // an event without a time has no place
        times.push_back(TruncateDecimals(value, 4));
    }
    st.CloseCursor();
    return times;
}

std::string Span(const Channel& c, double from, double to) {
    return Format("%s::%s::%s (%.2f - %.2f)", c.entry.name.c_str(), c.entry.ch.c_str(),
                  c.entry.lcode.c_str(), from, to);
}

std::string IncorrectTime(const Channel& c, const DataSegment& seg, const Pass& p) {
    return Format("[WARNING]: Incorrect time. (%s::%s %0.2f - %.2f (%lld - %d))",
                  c.entry.name.c_str(), c.entry.ch.c_str(), seg.tBegin, seg.tQty,
                  static_cast<long long>(p.window.start), p.nsec);
}

void LogFilterApplied(Pass& p, const Channel& c) {
    Debug(p, "Filter [" + c.entry.filter + "] applied (" + c.entry.name + "::" + c.entry.ch +
                 "::" + c.entry.lcode + ")");
}

// The samples of one channel as opened: one buffer from the shelf, the files
// to read into it, and how it is cut into drawn pieces.
struct ChannelSamples {
    SampleLoan buffer;
    std::vector<TracePiece> pieces;
    std::vector<std::pair<std::size_t, std::size_t>> gaps;  //!< see TraceWork
    std::vector<PieceRead> reads;                           //!< see TraceWork
    bool joinable = false;  //!< one window buffer with gap markers where nothing was read
};

// Hands the samples of a channel to a worker (or works on them here without
// workers) and queues the drawing of the paths it makes; a failed job is
// logged as the read of the channel would have been.
void SubmitTrace(Pass& p, const Channel& c, ChannelSamples samples, const ScaleSetting& scaleSetting,
                 ChannelOutcome& out) {
    auto work = std::make_shared<TraceWork>();
    work->samples = std::move(samples.buffer);
    work->gaps = std::move(samples.gaps);
    work->reads = std::move(samples.reads);
    work->pieces = std::move(samples.pieces);
    work->filter = c.filter;
    work->rate = c.rate;
    work->samplesInWindow = c.samplesInWindow;
    work->scale = scaleSetting;
    work->layout = p.canvas.layout();
    work->band = p.canvas.BandOf(c.index);
    work->reduce = p.reducePerColumn;
    auto job = std::make_shared<TraceJob>();
    auto task = [work, job]() { RunTraceWork(*work, *job); };
    // The drawing waits for the job, so it must run: here, when the pool
    // cannot take it.
    bool queued = false;
    if (p.pool != nullptr) {
        try {
            p.pool->Submit(task);
            queued = true;
        } catch (...) {
        }
    }
    if (!queued) task();

    PassTimings* timings = p.timings;
    ChannelOutcome* outcome = &out;  // result.channels is reserved: the address stays
    const std::string failure = Format("Unhandled exception. %s::%s (%.2f - %.2f)", c.entry.name.c_str(),
                                       c.entry.ch.c_str(), p.window.start, p.window.start + p.nsec);
    OnCanvas(
        p,
        [job, timings, outcome, failure](TraceCanvas& canvas) {
            if (timings != nullptr) {
                timings->read += job->readSeconds;
                timings->filter += job->filterSeconds;
                timings->reduce += job->reduceSeconds;
            }
            if (job->failed) {
                outcome->failed = true;
                WriteLog(failure);
                return;
            }
            const auto t = Clock::now();
            for (const std::vector<PixelRun>& runs : job->runs) canvas.DrawRuns(runs);
            for (const std::vector<PathPoint>& path : job->paths) canvas.DrawPath(path);
            if (timings != nullptr) timings->traces += std::chrono::duration<double>(Clock::now() - t).count();
        },
        job);
}


// Stretches of a joinable window that no segment covers (gap markers go
// there; the segments' own samples are read into the rest).
std::vector<std::pair<std::size_t, std::size_t>> GapStretches(std::size_t n, const std::vector<DataSegment>& segments,
                                                              double windowStart, double rate) {
    std::vector<std::pair<std::size_t, std::size_t>> covered;
    covered.reserve(segments.size());
    for (const DataSegment& seg : segments) {
        const long long offset = WindowOffset(seg.tBegin, windowStart, rate);
        const std::size_t count = static_cast<std::size_t>(seg.count > 0 ? seg.count : 0);
        if (offset < 0 || static_cast<std::size_t>(offset) >= n || count == 0) continue;
        const std::size_t at = static_cast<std::size_t>(offset);
        covered.emplace_back(at, at + std::min(count, n - at));
    }
    std::sort(covered.begin(), covered.end());
    std::vector<std::pair<std::size_t, std::size_t>> gaps;
    std::size_t from = 0;
    for (const auto& [begin, end] : covered) {
        if (begin > from) gaps.emplace_back(from, begin);
        from = std::max(from, end);
    }
    if (from < n) gaps.emplace_back(from, n);
    return gaps;
}

// Opens the files of the planned segments; whether a channel's files can be
// read decides its next log lines, so this happens here, in channel order,
// and the reading itself on a worker. Segments that join go to their place
// in one window buffer (gap markers between them, later files over earlier
// ones); others one after the other, each a piece of its own. A file that
// cannot be opened is left out of segments and the layout is decided again
// over the rest, as if the catalogue had not named it.
ChannelSamples OpenSegments(Pass& p, const Channel& c, std::vector<DataSegment>& segments) {
    const CWaveDatabase& database = p.session.state().database;
    const std::size_t n = static_cast<std::size_t>(c.samplesInWindow > 0 ? c.samplesInWindow : 0);
    for (;;) {
        ChannelSamples out;
        if (segments.empty()) return out;
        std::vector<SegmentSpan> spans;
        spans.reserve(segments.size());
        std::size_t total = 0;
        for (const DataSegment& seg : segments) {
            spans.push_back({seg.tBegin, seg.tEnd});
            total += static_cast<std::size_t>(seg.count > 0 ? seg.count : 0);
        }
        out.joinable = SegmentsJoinable(spans, c.rate);
        std::size_t at = 0;
        std::size_t failed = segments.size();
        for (std::size_t k = 0; k < segments.size(); ++k) {
            const DataSegment& seg = segments[k];
            SegmentFile file;
            if (database.OpenSegment(seg, file) != db::kOk) {
                failed = k;
                break;
            }
            const long long offset = WindowOffset(seg.tBegin, p.window.start, c.rate);
            if (!out.joinable) {
                const std::size_t count = static_cast<std::size_t>(seg.count > 0 ? seg.count : 0);
                out.reads.push_back({std::move(file), at, count});
                out.pieces.push_back({at, count, offset});
                at += count;
            } else if (offset >= 0 && static_cast<std::size_t>(offset) < n) {
                const std::size_t place = static_cast<std::size_t>(offset);
                out.reads.push_back({std::move(file), place, n - place});
            }  // else: nothing of it lands in the window, but it could be read
        }
        if (failed != segments.size()) {
            segments.erase(segments.begin() + static_cast<std::ptrdiff_t>(failed));
            continue;
        }
        if (out.joinable) {
            out.gaps = GapStretches(n, segments, p.window.start, c.rate);
            out.pieces.push_back({0, n, 0});
        }
        {
            // Waiting for a worker to give a window back is not reading. The
            // traces ahead are drawn meanwhile, so that no more channels are
            // under way than the shelf has windows.
            const auto waitStart = Clock::now();
            const double drawnBefore = p.timings != nullptr ? p.timings->draw : 0;
            p.queue.DrawUntilFewerJobs(p.shelf.limit());
            out.buffer = SampleLoan(p.shelf, out.joinable ? n : total);
            const double waited = std::chrono::duration<double>(Clock::now() - waitStart).count() -
                                  (p.timings != nullptr ? p.timings->draw - drawnBefore : 0);
            if (p.timings != nullptr) {
                p.timings->waitForWorkers += waited;
                p.timings->read -= waited;
            }
        }
        return out;
    }
}

// Joinable segments: one window buffer with gap markers where nothing was read.
void DrawWindow(Pass& p, const Channel& c, const std::vector<DataSegment>& segments, ChannelSamples samples,
                const ScaleSetting& scaleSetting, ChannelOutcome& out) {
    const double from = p.window.start, to = p.window.start + p.nsec;
    Debug(p, "Drawing " + Span(c, from, to));
    for (const DataSegment& seg : segments)
        if (WindowOffset(seg.tBegin, p.window.start, c.rate) < 0) WriteLog(IncorrectTime(c, seg, p));
    SubmitTrace(p, c, std::move(samples), scaleSetting, out);
    if (c.filter.on) LogFilterApplied(p, c);
    Debug(p, "Data drawn " + Span(c, from, to));
}

// Segments that do not join: each drawn at its own place, the automatic
// range carrying over from one segment to the next.
void DrawPiecewise(Pass& p, const Channel& c, const std::vector<DataSegment>& segments, ChannelSamples samples,
                   const ScaleSetting& scaleSetting, ChannelOutcome& out) {
    // The trace of the pass is written here in the order drawing one segment
    // after the other gives; none of its lines depends on the samples.
    for (std::size_t k = 0; k < segments.size(); ++k) {
        const DataSegment& seg = segments[k];
        Debug(p, "Drawing " + Span(c, seg.tBegin, seg.tEnd));
        if (c.filter.on) LogFilterApplied(p, c);
        const bool drawn = samples.pieces[k].firstIndex >= 0;
        if (!drawn && p.warnings) WriteLog(IncorrectTime(c, seg, p));
        if (drawn) Debug(p, "Data drawn " + Span(c, seg.tBegin, seg.tEnd));
    }
    SubmitTrace(p, c, std::move(samples), scaleSetting, out);
}

// Steps 17-21 of a channel: read, draw, event marks. Returns false when the
// read found nothing (the channel then gets no label).
bool ReadAndDraw(Pass& p, const Channel& c, double latestTime, ChannelOutcome& out) {
    const ChannelEntry& e = c.entry;
    std::vector<DataSegment> segments;
    try {
        Debug(p, "Trying to read " + e.name + "::" + e.ch + "::" + e.lcode);
        {
            Stopwatch sw(Field(p.timings, &PassTimings::catalogue));
            // The interval query checks the connection itself; only when that
            // check fails is the connection made again and the query repeated.
            CWaveDatabase& database = p.session.state().database;
            const double from = p.window.start, to = p.window.start + p.nsec;
            if (database.QueryInterval(e.name, e.ch, e.lcode, from, to, segments) == db::kProbeFailed &&
                EnsureConnected(p.session))
                database.QueryInterval(e.name, e.ch, e.lcode, from, to, segments);
        }
        ChannelSamples samples;
        {
            Stopwatch sw(Field(p.timings, &PassTimings::read));
            samples = OpenSegments(p, c, segments);
        }
        if (segments.empty()) {
            CalendarFields t;
            CalendarFromEpoch(latestTime, t.year, t.month, t.day, t.hour, t.minute, t.seconds);
            const std::string text = FutureText(e.name, e.ch, e.lcode, t);
            Debug(p, text);
            OnCanvas(p, [i = c.index, t = Q(text)](TraceCanvas& canvas) { canvas.DrawCentredText(i, t); });
            out.statusText = text;
            return false;
        }
        Debug(p, "Read data " + Span(c, p.window.start, p.window.start + p.nsec));
        const ScaleSetting scaleSetting =
            ParseScaleSetting(ScaleTextFor(e.scale, p.settings.Text(keys::Scale)));
        if (!samples.joinable) {
            Debug(p, "Overlay (or gap) found (" + e.name + "::" + e.ch + "::" + e.lcode + ")");
            out.piecewise = true;
            DrawPiecewise(p, c, segments, std::move(samples), scaleSetting, out);
        } else {
            DrawWindow(p, c, segments, std::move(samples), scaleSetting, out);
        }
        out.traced = true;
        OnCanvas(p, [i = c.index, from = p.window.start, to = p.window.end,
                     events = QueryEventTimes(p, e.name)](TraceCanvas& canvas) {
            canvas.DrawEventMarks(i, from, to, events);
        });
    } catch (...) {
        segments.clear();
        out.failed = true;
        WriteLog(Format("Unhandled exception. %s::%s (%.2f - %.2f)", e.name.c_str(), e.ch.c_str(),
                        p.window.start, p.window.start + p.nsec));
    }
    return true;
}

// Steps 11-24 for channel i.
void DrawChannel(Pass& p, int i, const std::array<double, kMaxChannels>& latest,
                 RedrawResult& result) {
    result.channels.emplace_back();
    ChannelOutcome& out = result.channels.back();
    Channel c;
    c.index = i;
    c.entry = ReadChannel(p.settings, i);
    const ChannelEntry& e = c.entry;
    OnCanvas(p, [i](TraceCanvas& canvas) { canvas.DrawBand(i); });
    RateLookup rl;
    {
        Stopwatch sw(Field(p.timings, &PassTimings::catalogue));
        rl = LookupSampleRate(p.session, e.name, e.ch, e.lcode);
    }
    Debug(p, "Read SpS from SITECHAN (" + e.name + "::" + e.ch + "::" + e.lcode + ")");
    if (rl.rate == 0) {
        out.statusText = NotDescribedText(e.name, e.ch, e.lcode);
        OnCanvas(p, [i, t = Q(out.statusText)](TraceCanvas& canvas) { canvas.DrawCentredText(i, t); });
        return;
    }
    bool noCatalogueData = false;
    c.rate = rl.rate;
    if (c.rate == -1) {
        noCatalogueData = true;
        c.rate = 0;
    }
    if (p.window.end == 0) return;  // no channel has any data and no shift

    result.titleSet = true;
    result.titleStart = p.window.start;
    result.titleLength = p.nsec;
    c.filter = ParseFilter(e.filter, c.rate);
    // A window of more samples than a segment can count comes from a rate
    // the catalogue got wrong; it could be neither held nor drawn.
    const double windowSamples = c.rate * p.nsec;
    const bool usableRate = c.rate > 0 && windowSamples <= static_cast<double>(INT32_MAX);
    c.samplesInWindow = usableRate ? static_cast<long long>(windowSamples) : 0;

    bool lagging = false;
    const double latestTime = latest[static_cast<size_t>(i)];
    if (!usableRate) {
        // Described, but the catalogue gives no usable rate: nothing can be
        // placed in the window, whatever the newest data time says.
        out.statusText = NoDataText(e.name, e.ch, e.lcode);
        OnCanvas(p, [i, t = Q(out.statusText)](TraceCanvas& canvas) { canvas.DrawCentredText(i, t); });
        lagging = true;
    } else if (p.window.start > latestTime) {
        out.statusText = LagText(p.window.end, latestTime, noCatalogueData, e.name, e.ch, e.lcode);
        OnCanvas(p, [i, t = Q(out.statusText)](TraceCanvas& canvas) { canvas.DrawCentredText(i, t); });
        lagging = true;
    } else if (!ReadAndDraw(p, c, latestTime, out)) {
        return;  // data in the future: no label, no marks
    }

    const bool ratesDiffer = !rl.rateMatch;
    OnCanvas(p, [i, name = Q(e.name), ch = Q(e.ch), lcode = Q(e.lcode),
                 rate = noCatalogueData ? rl.sitechanRate : c.rate, filter = Q(e.filter), lagging,
                 ratesDiffer](TraceCanvas& canvas) {
        canvas.DrawLabel(i, name, ch, lcode, rate, filter, lagging, ratesDiffer);
    });
    if (ratesDiffer && !noCatalogueData)
        WriteLog(Format("%-5s::%-5s::%s : SPS from FILELIST differs from SITECHAN",
                        e.name.c_str(), e.ch.c_str(), e.lcode.c_str()));
    OnCanvas(p, [i, from = p.window.start, length = p.nsec](TraceCanvas& canvas) {
        canvas.DrawTimeMarks(i, from, length);
    });
    out.labelled = true;
    out.lagging = lagging;
}

}  // namespace

std::optional<RedrawResult> RunRedrawPass(ViewerSession& session, QSize drawingSize,
                                          std::atomic<bool>& redrawRequested) {
    return RunRedrawPass(session, drawingSize, redrawRequested, nullptr);
}

std::optional<RedrawResult> RunRedrawPass(ViewerSession& session, QSize drawingSize,
                                          std::atomic<bool>& redrawRequested,
                                          PassTimings* timings, bool reducePerColumn, int threads) {
    Stopwatch total(Field(timings, &PassTimings::total));
    redrawRequested = false;
    session.state().reconnectFailed = false;
    try {
        // One consistent view of the settings for the whole pass.
        const Profile settings = Profile::Load(session.settingsPath());
        int channels = settings.Int(keys::ChannelCount);
        const int nsec = settings.Int(keys::WindowSeconds);
        const int mode = settings.Int(keys::Mode);
        if (nsec < 1 || channels < 1) return std::nullopt;
        WriteLog("", true);
        const int width = drawingSize.width(), height = drawingSize.height();
        if (width <= 0 || height <= 0) return std::nullopt;
        // The latest-time table has one entry per channel; further ones are not shown.
        channels = std::min(channels, kMaxChannels);

        TraceCanvas canvas(width, height, channels,
                           MakeDisplayFont(Q(session.fontName), session.fontSize));
        canvas.DrawFrame();

        RedrawResult result;
        const int workers = threads > 1 ? threads : 0;
        // One window per worker: the next channel is read into the window a
        // worker gives back, while the other worker goes on. Reading a window
        // from cached files takes a fraction of filtering it, so a window read
        // ahead would save little and cost a third window of memory.
        const std::size_t windows = workers > 0 ? static_cast<std::size_t>(workers) : 1;
        SampleShelf shelf(windows);
        DrawQueue queue(canvas, Field(timings, &PassTimings::draw));
        // Declared after the canvas, the shelf and the queue: the workers
        // finish and join before the objects their tasks use go away.
        WorkerPool pool(workers);
        Pass p{session, settings, canvas, timings, {}, nsec, LogIsDebug(), LogWarningsOn(),
                reducePerColumn, workers > 0 ? &pool : nullptr, shelf, queue};
        double latestMax;
        {
            Stopwatch sw(Field(timings, &PassTimings::catalogue));
            latestMax = ScanLatestTimes(session, settings, channels, result.latestTimes);
        }
        p.window = ComputeWindow(latestMax, UtcNow(), mode, settings.Int(keys::TShift), nsec);
        result.windowStart = p.window.start;
        result.windowEnd = p.window.end;
        result.drawingWidth = width;
        result.drawingHeight = height;
        Debug(p, "Drawing started...");

        result.channels.reserve(static_cast<size_t>(channels));
        for (int i = 0; i < channels; ++i) DrawChannel(p, i, result.latestTimes, result);
        queue.DrawAll();
        result.image = canvas.TakeImage();
        return result;
    } catch (...) {
        // Only allocation failures get here; the window keeps its picture.
        return std::nullopt;
    }
}

}  // namespace kvt::viewer
