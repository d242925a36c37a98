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
#include "viewer/trace_path.h"
#include "viewer/worker_pool.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <future>
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

void ReleaseSamples(DataSegment& seg) {
    std::vector<float>().swap(seg.samples);
    seg.count = 0;
}

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
    //! on this thread, in place.
    WorkerPool* pool = nullptr;
    //! With workers, the drawing operations in the order the pass asks for
    //! them, run when all channels are read (a trace waits for its worker).
    std::vector<std::function<void(TraceCanvas&)>> deferred;
};

// A drawing operation: at once without workers, otherwise kept in order.
void OnCanvas(Pass& p, std::function<void(TraceCanvas&)> op) {
    if (p.pool == nullptr) {
        Stopwatch sw(Field(p.timings, &PassTimings::draw));
        op(p.canvas);
    } else {
        p.deferred.push_back(std::move(op));
    }
}

// The samples of one channel turned into trace paths, on a worker. Written by
// the worker only; read by the drawing thread after done.
struct TraceJob {
    std::vector<std::vector<PathPoint>> paths;  //!< one per drawn array, in drawing order
    double filterSeconds = 0;  //!< s spent filtering
    double scaleSeconds = 0;   //!< s spent choosing the range and reducing
    bool failed = false;       //!< an exception (allocation) stopped the work
    std::promise<void> finished;
    std::shared_future<void> done = finished.get_future().share();
};

double SecondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Runs work for job on a worker (or here without workers).
void RunJob(Pass& p, const std::shared_ptr<TraceJob>& job, std::function<void(TraceJob&)> work) {
    auto task = [job, work = std::move(work)]() {
        try {
            work(*job);
        } catch (...) {
            job->failed = true;
            job->paths.clear();
        }
        job->finished.set_value();
    };
    if (p.pool != nullptr) p.pool->Submit(std::move(task));
    else task();
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

void FilterSamples(const FilterSetting& filter, double rate, float* samples, std::size_t count, TraceJob& job) {
    const auto t = Clock::now();
    ApplyBandPass(samples, count, 1.0 / rate, filter.low, filter.high);
    job.filterSeconds += SecondsSince(t);
}

// Draws the paths of a job once its worker is done; a failed job is logged
// as the read of the channel would have been.
void DrawJob(Pass& p, const Channel& c, const std::shared_ptr<TraceJob>& job, ChannelOutcome& out) {
    PassTimings* timings = p.timings;
    ChannelOutcome* outcome = &out;  // result.channels is reserved: the address stays
    const std::string failure = Format("Unhandled exception. %s::%s (%.2f - %.2f)", c.entry.name.c_str(),
                                       c.entry.ch.c_str(), p.window.start, p.window.start + p.nsec);
    OnCanvas(p, [job, timings, outcome, failure](TraceCanvas& canvas) {
        const auto waitStart = Clock::now();
        job->done.wait();
        if (timings != nullptr) {
            timings->draw -= SecondsSince(waitStart);  // waiting for the worker is not drawing
            timings->filter += job->filterSeconds;
            timings->draw += job->scaleSeconds;
        }
        if (job->failed) {
            outcome->failed = true;
            WriteLog(failure);
            return;
        }
        for (const std::vector<PathPoint>& path : job->paths) canvas.DrawPath(path);
    });
}

// Joinable segments: one window buffer with gap markers where nothing was read.
void DrawWindow(Pass& p, const Channel& c, std::vector<DataSegment>& segments,
                const ScaleSetting& scaleSetting, ChannelOutcome& out) {
    const double from = p.window.start, to = p.window.start + p.nsec;
    Debug(p, "Drawing " + Span(c, from, to));
    const long long n = c.samplesInWindow;
    std::vector<float> buffer(static_cast<size_t>(n > 0 ? n : 0), kGapMarker);
    for (DataSegment& seg : segments) {
        const long long offset = WindowOffset(seg.tBegin, p.window.start, c.rate);
        if (offset < 0) {
            WriteLog(IncorrectTime(c, seg, p));
        } else {
            const long long count = std::min<long long>(seg.count, static_cast<long long>(seg.samples.size()));
            for (long long k = 0; k < count && offset + k < n; ++k)
                buffer[static_cast<size_t>(offset + k)] = seg.samples[static_cast<size_t>(k)];
        }
        ReleaseSamples(seg);
    }
    auto job = std::make_shared<TraceJob>();
    RunJob(p, job,
           [samples = std::move(buffer), filter = c.filter, rate = c.rate, n, scaleSetting,
            layout = p.canvas.layout(), band = p.canvas.BandOf(c.index),
            reduce = p.reducePerColumn](TraceJob& j) mutable {
               if (filter.on) FilterSamples(filter, rate, samples.data(), samples.size(), j);
               const auto t = Clock::now();
               AmplitudeScale scale;
               ChooseScale(samples.data(), samples.size(), rate, scaleSetting, scale);
               j.paths.push_back(
                   BuildDrawnTracePath(samples.data(), samples.size(), 0, n, layout, band, scale, reduce));
               std::vector<float>().swap(samples);
               j.scaleSeconds += SecondsSince(t);
           });
    if (c.filter.on) LogFilterApplied(p, c);
    DrawJob(p, c, job, out);
    Debug(p, "Data drawn " + Span(c, from, to));
}

// Segments that do not join: each drawn at its own place, the automatic
// range carrying over from one segment to the next.
void DrawPiecewise(Pass& p, const Channel& c, std::vector<DataSegment>& segments,
                   const ScaleSetting& scaleSetting, ChannelOutcome& out) {
    struct Piece {
        std::vector<float> samples;
        std::size_t count = 0;
        long long offset = 0;  //!< x index of the first sample; below 0: not drawn
    };
    std::vector<Piece> pieces;
    pieces.reserve(segments.size());
    // The trace of the pass is written here in the order drawing one segment
    // after the other gives; none of its lines depends on the samples.
    for (DataSegment& seg : segments) {
        Debug(p, "Drawing " + Span(c, seg.tBegin, seg.tEnd));
        Piece piece;
        piece.count = std::min<std::size_t>(static_cast<std::size_t>(seg.count > 0 ? seg.count : 0),
                                            seg.samples.size());
        piece.offset = WindowOffset(seg.tBegin, p.window.start, c.rate);
        if (c.filter.on) LogFilterApplied(p, c);
        if (piece.offset < 0) {
            if (p.warnings) WriteLog(IncorrectTime(c, seg, p));
        }
        piece.samples = std::move(seg.samples);
        ReleaseSamples(seg);
        const bool drawn = piece.offset >= 0;
        pieces.push_back(std::move(piece));
        if (drawn) Debug(p, "Data drawn " + Span(c, seg.tBegin, seg.tEnd));
    }
    auto job = std::make_shared<TraceJob>();
    RunJob(p, job,
           [pieces = std::move(pieces), filter = c.filter, rate = c.rate, n = c.samplesInWindow, scaleSetting,
            layout = p.canvas.layout(), band = p.canvas.BandOf(c.index),
            reduce = p.reducePerColumn](TraceJob& j) mutable {
               AmplitudeScale scale;
               for (Piece& piece : pieces) {
                   if (filter.on) FilterSamples(filter, rate, piece.samples.data(), piece.count, j);
                   const auto t = Clock::now();
                   ChooseScale(piece.samples.data(), piece.count, rate, scaleSetting, scale);
                   if (piece.offset >= 0)
                       j.paths.push_back(BuildDrawnTracePath(piece.samples.data(), piece.count, piece.offset, n,
                                                             layout, band, scale, reduce));
                   std::vector<float>().swap(piece.samples);
                   j.scaleSeconds += SecondsSince(t);
               }
           });
    DrawJob(p, c, job, out);
}

// Steps 17-21 of a channel: read, draw, event marks. Returns false when the
// read found nothing (the channel then gets no label).
bool ReadAndDraw(Pass& p, const Channel& c, double latestTime, ChannelOutcome& out) {
    const ChannelEntry& e = c.entry;
    std::vector<DataSegment> segments;
    try {
        Debug(p, "Trying to read " + e.name + "::" + e.ch + "::" + e.lcode);
        {
            Stopwatch sw(Field(p.timings, &PassTimings::read));
            EnsureConnected(p.session);
            p.session.state().database.ReadInterval(e.name, e.ch, e.lcode, p.window.start,
                                                    p.window.start + p.nsec, segments);
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

        std::vector<SegmentSpan> spans;
        spans.reserve(segments.size());
        for (const DataSegment& seg : segments) spans.push_back({seg.tBegin, seg.tEnd});
        if (!SegmentsJoinable(spans, c.rate)) {
            Debug(p, "Overlay (or gap) found (" + e.name + "::" + e.ch + "::" + e.lcode + ")");
            out.piecewise = true;
            DrawPiecewise(p, c, segments, scaleSetting, out);
        } else {
            DrawWindow(p, c, segments, scaleSetting, out);
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
    c.samplesInWindow = static_cast<long long>(c.rate * p.nsec);

    bool lagging = false;
    const double latestTime = latest[static_cast<size_t>(i)];
    if (c.rate <= 0) {
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
        // Declared after the canvas and the pass state: the workers finish and
        // join before the objects their tasks were made from go away.
        WorkerPool pool(threads > 1 ? threads : 0);
        Pass p{session, settings, canvas, timings, {}, nsec, LogIsDebug(), LogWarningsOn(),
                reducePerColumn, threads > 1 ? &pool : nullptr, {}};
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
        if (!p.deferred.empty()) {
            Stopwatch sw(Field(timings, &PassTimings::draw));
            for (auto& op : p.deferred) op(canvas);
        }
        result.image = canvas.TakeImage();
        return result;
    } catch (...) {
        // Only allocation failures get here; the window keeps its picture.
        return std::nullopt;
    }
}

}  // namespace kvt::viewer
