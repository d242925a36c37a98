#pragma once
// Per-channel catalogue lookups of the redraw pass: the sample rate (SITECHAN
// checked against FILELIST) and the newest data time. Every lookup checks the
// connection first and reconnects when the probe fails; a failing statement
// writes its diagnostic text to the event log and counts as "no value".

#include "common/profile.h"
#include "viewer/pass_logic.h"

#include <array>
#include <string>

namespace kvt::viewer {

class ViewerSession;

//! Result of LookupSampleRate.
struct RateLookup {
    //! Rate to draw with (samples/s): 0 when SITECHAN does not describe the
    //! channel, -1 when it is described but FILELIST has no rate for it.
    double rate = 0;
    double sitechanRate = 0;  //!< SITECHAN rate, cut to 2 decimals (0: none)
    double catalogueRate = 0; //!< FILELIST rate of the first row, cut to 2 decimals
    bool rateMatch = false;   //!< the two rates are equal
};

//! One channel as read from section STA<i> for one pass.
struct ChannelEntry {
    std::string name;    //!< NAME, at most 7 characters
    std::string ch;      //!< CH
    std::string lcode;   //!< LCODE ("??" by default)
    std::string filter;  //!< FILTER text as read (shown in the label even when invalid)
    std::string scale;   //!< SCALE text of the channel (may be empty)
};

//! Reads the keys of channel index from the settings snapshot.
ChannelEntry ReadChannel(const Profile& settings, int index);

//! Checks the catalogue connection (Probe) and reconnects when it is lost;
//! after a reconnect the viewer's schema registry is refreshed against the new
//! connection. Returns false when no connection could be made; after one
//! failed reconnect it returns false at once until the next pass begins.
bool EnsureConnected(ViewerSession& session);

//! Sample rate of a channel (see RateLookup).
RateLookup LookupSampleRate(ViewerSession& session, const std::string& name,
                            const std::string& ch, const std::string& lcode);

//! Newest data time of one channel (epoch s, cut to 4 decimals); 0 when the
//! catalogue has none or the query failed. LCODE is read from the snapshot.
double LatestDataTime(ViewerSession& session, const Profile& settings, const std::string& name,
                      const std::string& ch, int index);

//! Fills table (-1 for channels without NAME or CH, else their newest data
//! time, 0 when unknown) for channels 0..count-1 (at most the table's size)
//! and returns the largest entry (0 when none is positive).
double ScanLatestTimes(ViewerSession& session, const Profile& settings, int count,
                       std::array<double, 64>& table);

}  // namespace kvt::viewer
