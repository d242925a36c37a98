#pragma once
// One redraw pass: the whole picture of all channels drawn into a new image.
//
// Runs on the refresh thread. It reads the settings file once as a snapshot,
// asks the catalogue for every channel's newest data, reads and draws the
// window of each channel, and hands back the finished image with the values
// the window keeps (window start/end, drawing size, latest-time table).

#include <QImage>
#include <QSize>

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace kvt::viewer {

class ViewerSession;

//! Number of entries of the latest-time table (the most channels shown).
inline constexpr int kMaxChannels = 64;

//! What the pass showed for one channel (for the log reader and for tests).
struct ChannelOutcome {
    std::string statusText;  //!< centred status text drawn in the band (empty: none)
    bool labelled = false;   //!< label, rate and time marks drawn
    bool lagging = false;    //!< label drawn in red: data lag or no data
    bool traced = false;     //!< samples were read and drawn
    bool piecewise = false;  //!< the segments did not join and were drawn one by one
    bool failed = false;     //!< the read or drawing raised an exception
};

struct RedrawResult {
    double windowStart = 0;      //!< epoch s, left edge of the window
    double windowEnd = 0;        //!< epoch s, right edge of the window
    int drawingWidth = 0;        //!< pixels
    int drawingHeight = 0;       //!< pixels
    //! Window start and length (s) for the title; set when at least one
    //! channel got as far as its window (otherwise titleSet is false and the
    //! title keeps its previous values).
    bool titleSet = false;
    double titleStart = 0;       //!< epoch s
    double titleLength = 0;      //!< s (NSEC#)
    //! Newest data time per channel: epoch s, 0 when the catalogue has none,
    //! -1 when the channel was not asked (NAME or CH missing).
    std::array<double, kMaxChannels> latestTimes{};
    std::vector<ChannelOutcome> channels;  //!< one per channel drawn, in channel order
    QImage image;                //!< the picture, drawingWidth x drawingHeight, RGB32
};

//! Where the time of one pass went (seconds of steady clock), for the bench.
struct PassTimings {
    double catalogue = 0;  //!< every catalogue query: latest times, rates, intervals, event marks
    double read = 0;       //!< reading the samples from the data files
    double filter = 0;     //!< band-pass filtering (thread time, summed over workers)
    double reduce = 0;     //!< amplitude range, clipping and per-column reduction (thread time)
    double draw = 0;       //!< drawing into the picture: traces, texts, labels and marks
    double traces = 0;     //!< of draw: the trace lines alone
    double waitForWorkers = 0;  //!< the pass waited for a worker to give a window buffer back
    double total = 0;      //!< the whole pass
};

//! Runs one pass for a drawing area of drawingSize pixels (the window's client
//! area less the status bar). Clears redrawRequested first. Returns nothing
//! when N# or NSEC# is below 1 or the area is empty: the window then keeps its
//! previous picture and values. Never throws.
std::optional<RedrawResult> RunRedrawPass(ViewerSession& session, QSize drawingSize,
                                          std::atomic<bool>& redrawRequested);
//! The same, adding the time spent in each kind of work to *timings (may be
//! null). Traces are drawn through the per-column reduction (the same pixels
//! as a line to every sample, at most four line operations per pixel column);
//! reducePerColumn false draws a line to every sample, the reference the
//! bench and the tests compare with. threads: with 2 or more, that many
//! worker threads filter, scale and reduce the channels' samples while this
//! thread goes on with the catalogue, the files and the log (in the same
//! order and with the same lines as with 1, which does all on this thread);
//! the picture is drawn on this thread in the same order either way.
std::optional<RedrawResult> RunRedrawPass(ViewerSession& session, QSize drawingSize,
                                          std::atomic<bool>& redrawRequested,
                                          PassTimings* timings, bool reducePerColumn = true,
                                          int threads = 2);

}  // namespace kvt::viewer
