#include "viewer/channel_setup.h"

#include "common/settings_keys.h"
#include "common/time_values.h"
#include "dblib/odbc_statement.h"
#include "viewer/event_log.h"
#include "viewer/session_state.h"

#include <algorithm>
#include <optional>

namespace kvt::viewer {
namespace {

// The value of a one-column query, or nothing (NULL, no row, failure). A
// failing statement logs its diagnostic text; a failing allocation is silent.
std::optional<double> QueryDouble(ViewerSession& session, const std::string& sql) {
    EnsureConnected(session);
    OdbcStatement st(session.state().database.hdbc());
    if (!st.ok()) return std::nullopt;
    double value = 0;
    std::int64_t indicator = 0;
    if (!st.BindDouble(1, &value, &indicator) || !st.ExecDirect(sql)) {
        WriteLog(st.diagnostic());
        return std::nullopt;
    }
    FetchResult fetched = st.Fetch();
    st.CloseCursor();
    if (fetched == FetchResult::Error) {
        WriteLog(st.diagnostic());
        return std::nullopt;
    }
    if (fetched != FetchResult::Row || indicator == kSqlNullData) return std::nullopt;
    return value;
}

ChannelColumns FileListColumns(const CDbSchema& s) {
    return {s.fileList.name, s.fileList.STA, s.fileList.CH, s.fileList.LCODE};
}

}  // namespace

ChannelEntry ReadChannel(const Profile& settings, int index) {
    ChannelEntry e;
    e.name = settings.Text(keys::ChannelName, index);
    e.ch = settings.Text(keys::ChannelCh, index);
    e.lcode = settings.Text(keys::ChannelLcode, index);
    e.filter = settings.Text(keys::ChannelFilter, index);
    e.scale = settings.Text(keys::ChannelScale, index);
    return e;
}

bool EnsureConnected(ViewerSession& session) {
    auto& state = session.state();
    if (state.reconnectFailed) return false;
    if (state.database.Probe()) return true;
    if (!state.database.Connect()) {
        state.reconnectFailed = true;
        return false;
    }
    // A reconnect gives a new connection handle; the viewer's names follow it.
    state.schema.Refresh(state.database.hdbc());
    return true;
}

RateLookup LookupSampleRate(ViewerSession& session, const std::string& name,
                            const std::string& ch, const std::string& lcode) {
    const CDbSchema& s = session.state().schema;
    RateLookup r;
    ChannelColumns sitechan{s.siteChan.name, s.siteChan.STA, s.siteChan.CHAN, s.siteChan.LCODE};
    if (auto v = QueryDouble(session, ChannelSelectText(s.siteChan.SPS, sitechan, name, ch, lcode)))
        r.sitechanRate = TruncateDecimals(*v, 2);
    if (auto v = QueryDouble(session,
                             ChannelSelectText(s.fileList.SPS, FileListColumns(s), name, ch, lcode)))
        r.catalogueRate = TruncateDecimals(*v, 2);
    r.rateMatch = r.catalogueRate == r.sitechanRate;
    if (r.sitechanRate == 0)
        r.rate = 0;
    else if (r.catalogueRate != 0)
        r.rate = r.catalogueRate;
    else
        r.rate = -1;
    return r;
}

double LatestDataTime(ViewerSession& session, const Profile& settings, const std::string& name,
                      const std::string& ch, int index) {
    const CDbSchema& s = session.state().schema;
    const std::string lcode = settings.Text(keys::ChannelLcode, index);
    auto v = QueryDouble(session, LatestTimeText(session.useTendField, s.fileList.TEND,
                                                 s.fileList.TBEGIN, s.fileList.TQTY,
                                                 FileListColumns(s), name, ch, lcode));
    return v ? TruncateDecimals(*v, 4) : 0.0;
}

double ScanLatestTimes(ViewerSession& session, const Profile& settings, int count,
                       std::array<double, 64>& table) {
    table.fill(-1.0);
    double latest = 0;
    const int n = std::min<int>(count, static_cast<int>(table.size()));
    for (int i = 0; i < n; ++i) {
        // Absent keys (not merely empty ones) leave the channel out of the scan.
        const std::string name =
            settings.Text(SectionOf(keys::ChannelName, i), keys::ChannelName.name,
                          keys::kScanAbsentCode, keys::ChannelName.maxLength);
        const std::string ch = settings.Text(SectionOf(keys::ChannelCh, i), keys::ChannelCh.name,
                                             keys::kScanAbsentCode, keys::ChannelCh.maxLength);
        if (name == keys::kScanAbsentCode || ch == keys::kScanAbsentCode) continue;
        double t = LatestDataTime(session, settings, name, ch, i);
        if (t == -1.0) t = 0;
        table[static_cast<size_t>(i)] = t;
        if (t > latest) latest = t;
    }
    return latest;
}

}  // namespace kvt::viewer
