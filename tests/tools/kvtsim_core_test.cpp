// The recording simulator's pure parts: network layout, event schedule and
// travel times, synthetic ground motion, command line.

#include "kvtsim/events.h"
#include "kvtsim/ground_motion.h"
#include "kvtsim/network.h"
#include "kvtsim/sim_args.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace kvt::sim {
namespace {

TEST(SimNetwork, DemoNetworkHasEveryFaultOnceAndAllRates) {
    const auto net = BuildNetwork(12);
    ASSERT_EQ(net.size(), 12u);
    std::map<ChannelRole, std::set<std::string>> stationsByRole;
    std::set<double> rates;
    bool withLocationCode = false, withoutLocationCode = false;
    for (const auto& st : net) {
        ASSERT_EQ(st.channels.size(), 3u);
        for (const auto& c : st.channels) {
            EXPECT_EQ(c.station, st.code);
            EXPECT_EQ(c.channel.back(), c.component);
            stationsByRole[c.role].insert(st.code);
            rates.insert(c.describedRate > 0 ? c.describedRate : c.fileRate);
            (c.locationCode.empty() ? withoutLocationCode : withLocationCode) = true;
        }
    }
    EXPECT_EQ(rates, (std::set<double>{20, 40, 100}));
    EXPECT_TRUE(withLocationCode && withoutLocationCode);
    for (ChannelRole r : {ChannelRole::Lagging, ChannelRole::Stopped, ChannelRole::RateMismatch,
                          ChannelRole::NotDescribed, ChannelRole::NeverRecorded}) {
        SCOPED_TRACE(static_cast<int>(r));
        EXPECT_EQ(stationsByRole[r].size(), 1u);
    }
}

TEST(SimNetwork, FaultsChangeWhatIsDescribedAndWritten) {
    for (const auto& st : BuildNetwork(12)) {
        for (const auto& c : st.channels) {
            SCOPED_TRACE(c.station + " " + c.channel);
            switch (c.role) {
            case ChannelRole::NotDescribed:
                EXPECT_EQ(c.describedRate, 0);
                EXPECT_GT(c.fileRate, 0);
                EXPECT_EQ(c.component, 'Z');  // the one the monitor shows
                break;
            case ChannelRole::NeverRecorded:
                EXPECT_GT(c.describedRate, 0);
                EXPECT_EQ(c.fileRate, 0);
                break;
            case ChannelRole::RateMismatch:
                EXPECT_EQ(c.describedRate, 20);
                EXPECT_EQ(c.fileRate, kMismatchFileRate);
                break;
            case ChannelRole::Lagging:
                EXPECT_EQ(c.lagSeconds, kLagSeconds);
                break;
            default:
                EXPECT_EQ(c.describedRate, c.fileRate);
                EXPECT_EQ(c.channel.substr(0, 2), BandCode(c.fileRate));
            }
        }
    }
}

TEST(SimNetwork, LargeNetworksHaveUniqueCodesAndSeparateStations) {
    const auto net = BuildNetwork(1000);
    ASSERT_EQ(net.size(), 1000u);
    std::set<std::string> codes;
    for (const auto& st : net) {
        EXPECT_LE(st.code.size(), 8u);  // the monitor's NAME key holds 8 characters
        codes.insert(st.code);
    }
    EXPECT_EQ(codes.size(), net.size());
    EXPECT_EQ(net[12].code, "S0013");
    EXPECT_EQ(BuildNetwork(0).size(), 1u);
}

TEST(SimEvents, ArrivalsGrowWithDistanceAndSFollowsP) {
    Quake q;
    q.originTime = 1000;
    q.depthKm = 10;
    const Arrivals near = TravelTimes(q, 0);
    EXPECT_NEAR(near.p, 1000 + 10 / kVp, 1e-9);
    EXPECT_NEAR(near.s, 1000 + 10 / kVs, 1e-9);
    const Arrivals far = TravelTimes(q, 300);
    EXPECT_GT(far.p, near.p);
    EXPECT_GT(far.s - far.p, near.s - near.p);  // the S-P time measures distance
    EXPECT_NEAR(far.s - far.p, std::hypot(300.0, 10.0) * (1 / kVs - 1 / kVp), 1e-9);
}

TEST(SimEvents, ScheduleIsAPureFunctionOfTime) {
    const QuakeSchedule a(180, 300, 7), b(180, 300, 7), other(180, 300, 8);
    const double t0 = 1.7e9;
    const auto whole = a.Between(t0, t0 + 3600);
    EXPECT_EQ(whole.size(), 20u);  // one per slot of 180 s
    auto parts = a.Between(t0, t0 + 1234.5);
    const auto rest = b.Between(t0 + 1234.5, t0 + 3600);
    parts.insert(parts.end(), rest.begin(), rest.end());
    ASSERT_EQ(parts.size(), whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        EXPECT_EQ(parts[i].originTime, whole[i].originTime);
        EXPECT_GE(whole[i].originTime, t0);
        EXPECT_LT(whole[i].originTime, t0 + 3600);
        EXPECT_LE(std::hypot(whole[i].eastKm, whole[i].northKm), 300);
        EXPECT_GE(whole[i].magnitude, 1.5);
        if (i > 0) {
            EXPECT_GT(whole[i].originTime, whole[i - 1].originTime);
        }
    }
    EXPECT_NE(other.InSlot(5).originTime, a.InSlot(5).originTime);
    EXPECT_TRUE(a.Between(t0, t0).empty());
}

double Rms(const std::vector<float>& v, std::size_t from, std::size_t to) {
    double s = 0;
    for (std::size_t i = from; i < to; ++i) s += double(v[i]) * v[i];
    return std::sqrt(s / double(to - from));
}

TEST(SimGroundMotion, BlocksJoinWithoutASeam) {
    const GroundMotion g(42, 'Z', 20);
    const double t0 = 1.7e9;
    std::vector<float> whole(200), first(70), second(130);
    g.Fill(t0, whole, {});
    g.Fill(t0, first, {});
    g.Fill(t0 + 70 / 20.0, second, {});
    for (std::size_t i = 0; i < 70; ++i) EXPECT_EQ(first[i], whole[i]);
    for (std::size_t i = 0; i < 130; ++i) EXPECT_EQ(second[i], whole[70 + i]);
}

TEST(SimGroundMotion, NoiseFollowsTheTimeOfDay) {
    EXPECT_NEAR(DailyFactor(0), 0.5, 1e-9);
    EXPECT_NEAR(DailyFactor(43200), 1.5, 1e-9);
    EXPECT_NEAR(DailyFactor(86400 * 3 + 43200), 1.5, 1e-9);
}

TEST(SimGroundMotion, AnEventStandsOutAfterItsArrivals) {
    Quake q;
    q.originTime = 1.7e9;
    q.magnitude = 2.5;
    const QuakeWave w = WaveAt(q, 50);
    ASSERT_GT(w.arrivals.s, w.arrivals.p);
    const double rate = 100;
    const double t0 = w.arrivals.p - 10;
    std::vector<float> z(4000), e(4000);
    GroundMotion(1, 'Z', rate).Fill(t0, z, {w});
    GroundMotion(1, 'E', rate).Fill(t0, e, {w});
    const auto at = [&](double t) { return static_cast<std::size_t>((t - t0) * rate); };
    const double before = Rms(z, 0, at(w.arrivals.p));
    EXPECT_GT(Rms(z, at(w.arrivals.p), at(w.arrivals.p) + 200), 2 * before);   // P on the vertical
    EXPECT_GT(Rms(e, at(w.arrivals.s), at(w.arrivals.s) + 300),
              1.5 * Rms(z, at(w.arrivals.s), at(w.arrivals.s) + 300));         // S on the horizontal
    // Far away the same event is weaker.
    EXPECT_LT(WaveAt(q, 400).amplitude, w.amplitude / 4);
    for (float v : z) ASSERT_TRUE(std::isfinite(v));
}

TEST(SimArgs, TableOfCommandLines) {
    struct Case {
        const char* why;
        std::vector<std::string> args;
        std::string error;  // empty: accepted
    } cases[] = {
        {"defaults", {}, ""},
        {"connection in the monitor's spelling", {"odbc=pg", "USER=u", "PASSWORD=p", "DATA=/d"}, ""},
        {"load generator", {"--stations", "500", "--run", "60", "--quota", "1000000"}, ""},
        {"unknown option", {"--fast"}, "unknown argument '--fast'"},
        {"missing value", {"--stations"}, "--stations needs a value"},
        {"zero stations", {"--stations", "0"}, "--stations: '0' is not a number from 1 to 10000"},
        {"trailing garbage", {"--backfill", "10s"}, "--backfill: '10s' is not a number of seconds from 0 to 2592000"},
        {"tiny quota", {"--quota", "100"}, "--quota: '100' is not a byte count of at least 4096"},
        {"empty data directory", {"DATA="}, "DATA= needs a directory"},
        {"too long data source", {"ODBC=" + std::string(32, 'x')},
         "ODBC=, USER= and PASSWORD= take at most 31 characters"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        NetworkOptions o;
        EXPECT_EQ(ParseNetworkArgs(c.args, o), c.error);
    }
    NetworkOptions o;
    ASSERT_EQ(ParseNetworkArgs({"odbc=pg", "DATA=/d", "--stations", "500", "--run", "0", "--seed", "9"}, o), "");
    EXPECT_EQ(o.dsn, "pg");
    EXPECT_EQ(o.dataDir, "/d");
    EXPECT_EQ(o.stations, 500);
    EXPECT_EQ(o.runSeconds, 0);
    EXPECT_EQ(o.seed, 9u);
    EXPECT_EQ(o.user, "kvt");
}

}  // namespace
}  // namespace kvt::sim

namespace kvt::sim {
namespace {

TEST(SimArgs, BatchOptionsChooseTheBatchMode) {
    EXPECT_FALSE(IsBatchCommandLine({}));
    EXPECT_FALSE(IsBatchCommandLine({"ODBC=x", "DATA=/d", "--stations", "3", "--quota", "5000"}));
    EXPECT_TRUE(IsBatchCommandLine({"DATA=/d", "--channel", "A:B"}));
    EXPECT_TRUE(IsBatchCommandLine({"--blocks", "2"}));
    EXPECT_TRUE(IsBatchCommandLine({"ODBC=x", "--realtime"}));
}

}  // namespace
}  // namespace kvt::sim

namespace kvt::sim {
namespace {

TEST(SimArgs, SettingsFillWhatTheCommandLineLeavesOpen) {
    const auto settings = kvt::Profile::FromText(
        "[DATABASE]\nODBC=kvtpg\nUSER=\nPASSWORD=secret\n[DATA]\nDIR=/srv/kvt/data\n");
    NetworkOptions o;
    ASSERT_EQ(ParseNetworkArgs({"--settings", "kvtview.ini", "PASSWORD=mine"}, o), "");
    EXPECT_EQ(o.settingsFile, "kvtview.ini");
    ASSERT_EQ(ApplySettings(settings, o), "");
    EXPECT_EQ(o.dsn, "kvtpg");            // from the settings
    EXPECT_EQ(o.user, "kvt");             // empty there: the default stays
    EXPECT_EQ(o.password, "mine");        // the command line wins
    EXPECT_EQ(o.dataDir, "/srv/kvt/data");

    NetworkOptions tooLong;
    EXPECT_EQ(ApplySettings(kvt::Profile::FromText("[DATABASE]\nODBC=" + std::string(40, 'x') + "\n"), tooLong),
              "the settings' ODBC, USER and PASSWORD take at most 31 characters");
    NetworkOptions noFile;
    EXPECT_EQ(ParseNetworkArgs({"--settings", ""}, noFile), "--settings needs a file name");
}

}  // namespace
}  // namespace kvt::sim
