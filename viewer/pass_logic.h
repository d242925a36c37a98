#pragma once
// Pure rules of the redraw pass: channel filter settings, the SQL texts of the
// viewer's own catalogue queries, the display window, the status texts of a
// channel and the joinability of data segments. No Qt, no I/O.

#include <string>
#include <string_view>
#include <vector>

namespace kvt::viewer {

//! Band-pass setting of one channel as read from its FILTER key.
struct FilterSetting {
    bool on = false;   //!< filter applied; off for empty, unreadable or out-of-range values
    float low = 0;     //!< low corner, Hz (as read, also when off)
    float high = 0;    //!< high corner, Hz (as read, also when off)
};

//! Parses FILTER ("low,high"; one or more commas between the numbers) and
//! checks it against rate (samples/s, 0 when unknown): on only when
//! 0 <= low < high <= rate / 2. Unreadable text (fewer than two numbers)
//! gives a filter that is off. Locale-independent.
FilterSetting ParseFilter(std::string_view text, double rate);

//! Column and table names a channel query needs (from the schema registry).
struct ChannelColumns {
    std::string table;      //!< FILELIST or SITECHAN
    std::string station;    //!< STA
    std::string channel;    //!< CH (FILELIST) or CHAN (SITECHAN)
    std::string location;   //!< LCODE
};

//! The WHERE condition for one channel: station, channel and the location
//! code rule; values quoted.
std::string ChannelCondition(const ChannelColumns& cols, std::string_view name,
                             std::string_view ch, std::string_view lcode);

//! "select <selected> from <table> where <channel condition>".
std::string ChannelSelectText(std::string_view selected, const ChannelColumns& cols,
                              std::string_view name, std::string_view ch,
                              std::string_view lcode);

//! Newest data time query: max(TEND) when useTend, else max(TBEGIN+TQTY).
std::string LatestTimeText(bool useTend, std::string_view tendCol, std::string_view tbeginCol,
                           std::string_view tqtyCol, const ChannelColumns& cols,
                           std::string_view name, std::string_view ch,
                           std::string_view lcode);

//! Event marks query for one station and window (times in epoch s).
std::string EventMarksText(std::string_view tbeginCol, std::string_view eventTable,
                           std::string_view staCol, double start, double end,
                           std::string_view name);

//! Display window of one pass (epoch s).
struct PassWindow {
    double start = 0;
    double end = 0;
};

//! Window end: newest catalogue time (mode != 1) or now (mode 1), whole
//! seconds, less tShift; start = end - nsec.
PassWindow ComputeWindow(double latestMax, double utcNow, int mode, int tShift, int nsec);

//! Status text of a channel whose newest data (latestTime, epoch s) are older
//! than the window start: the lag between window end and newest data.
std::string LagText(double windowEnd, double latestTime, bool noCatalogueData,
                    std::string_view name, std::string_view ch, std::string_view lcode);

//! Text of a channel for which the catalogue holds no data.
std::string NoDataText(std::string_view name, std::string_view ch, std::string_view lcode);

//! Text of a channel that SITECHAN does not describe.
std::string NotDescribedText(std::string_view name, std::string_view ch, std::string_view lcode);

//! Calendar fields of a time, for texts (UTC).
struct CalendarFields {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0;
    float seconds = 0;
};

//! Text of a channel whose read returned nothing although its newest data
//! are not before the window start (leading and trailing blank kept).
std::string FutureText(std::string_view name, std::string_view ch, std::string_view lcode,
                       const CalendarFields& latest);

//! Begin and end (epoch s) of one data segment.
struct SegmentSpan {
    double begin = 0;
    double end = 0;
};

//! True when the segments can be drawn as one trace: for every pair a before b
//! (every pair, not only neighbours) |end(a) - begin(b)| <= 1.5 / rate.
bool SegmentsJoinable(const std::vector<SegmentSpan>& spans, double rate);

//! Sample index of a segment start in the window: (begin - start) * rate
//! truncated towards zero (negative: the segment starts before the window).
long long WindowOffset(double segmentBegin, double windowStart, double rate);

}  // namespace kvt::viewer
