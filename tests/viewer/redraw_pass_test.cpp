// The redraw pass against a real SQLite catalogue reached through ODBC, with
// real data files: window placement, the status texts, joined and piecewise
// drawing, and the trace it leaves in the event log.

#include "viewer/redraw_pass.h"

#include "common/time_values.h"
#include "viewer/event_log.h"
#include "viewer/session_state.h"
#include "viewer/viewer_session.h"

#include "catalogue_rows.h"
#include "kvt_file_writer.h"
#include "scratch_catalogue.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace kvt::viewer {
namespace {

namespace fs = std::filesystem;

constexpr double kT0 = 1700000000.0;  // 2023-11-14 22:13:20 UTC

struct FileSpec {
    double tBegin;  // epoch s
    double tQty;    // s
    double sps;     // samples/s in FILELIST
};

class RedrawPassTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QGuiApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "redraw_pass_test";
            static char* argv[] = {name, nullptr};
            new QGuiApplication(argc, argv);  // lives until the process ends
        }
    }

    void SetUp() override {
        catalogue_ = std::make_unique<test::ScratchCatalogue>();
        const test::Backend& b = catalogue_->backend();
        session_ = std::make_unique<test::OdbcSession>(b.dsn, b.user, b.password);
        dir_ = fs::path(catalogue_->backend().dataDir).parent_path() /
               ("viewer-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "log");
    }

    void TearDown() override {
        viewer_.reset();
        session_.reset();
        catalogue_.reset();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // One channel: its SITECHAN rate (nullopt: not described) and its files,
    // each a sine of period 10 s written at the file's own rate.
    void AddChannel(const std::string& sta, std::optional<double> sitechanRate,
                    const std::vector<FileSpec>& files, double fileRate = 0) {
        if (sitechanRate) test::DescribeChannel(*session_, sta, "BHZ", std::nullopt, *sitechanRate);
        int k = 0;
        for (const FileSpec& f : files) {
            const double rate = fileRate > 0 ? fileRate : f.sps;
            std::vector<double> samples(static_cast<size_t>(f.tQty * rate));
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = 1000 * std::sin(2 * M_PI * static_cast<double>(i) / rate / 10.0);
            const std::string rel = sta + "/f" + std::to_string(k++) + ".dat";
            test::WriteKvtFile(catalogue_->backend().dataDir + "/" + rel, 3, samples);
            test::FileRow row;
            row.sta = sta;
            row.ch = "BHZ";
            row.tBegin = f.tBegin;
            row.tQty = f.tQty;
            row.sps = f.sps;
            row.fOff = 512;
            row.cPath = rel;
            test::CatalogueFile(*session_, row);
        }
    }

    // Writes kvtview.ini: SYSTEM keys as given, one section per station.
    void WriteSettings(const std::map<std::string, std::string>& system,
                       const std::vector<std::string>& stations, const std::string& stationExtra = "") {
        std::ofstream ini(dir_ / "kvtview.ini");
        ini << "[SYSTEM]\n";
        for (const auto& [k, v] : system) ini << k << "=" << v << "\n";
        ini << "[LOG]\nLEVEL=debug\nDIR=" << (dir_ / "log").string() << "\n";
        ini << "[DATABASE]\nODBC=" << catalogue_->backend().dsn << "\nUSER=\nPASSWORD=\nUSE_TEND=1\n";
        ini << "[DATA]\nDIR=" << catalogue_->backend().dataDir << "\n";
        for (size_t i = 0; i < stations.size(); ++i)
            ini << "[STA" << i << "]\nNAME=" << stations[i] << "\nCH=BHZ\nLCODE=??\n" << stationExtra;
    }

    // Start-up as the viewer does it, then one pass.
    std::optional<RedrawResult> Pass(QSize size = QSize(800, 400), int threads = 2) {
        if (!viewer_) {
            const std::string program = (dir_ / "kvtview").string();
            viewer_ = std::make_unique<ViewerSession>((dir_ / "kvtview.ini").string(), program,
                                                      [](const char*) -> const char* { return nullptr; });
            StartupUi ui;
            ui.showError = [](const std::string& text, const std::string&) { ADD_FAILURE() << text; };
            const StartupResult r = RunStartup(*viewer_, {program}, ui);
            EXPECT_TRUE(r.ok()) << r.message;
        }
        std::atomic<bool> requested{true};
        auto result = RunRedrawPass(*viewer_, size, requested, nullptr, true, threads);
        EXPECT_FALSE(requested.load());
        return result;
    }

    // Messages of today's log, without time stamps, from the last pass header on.
    std::vector<std::string> LogMessages() const {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(dir_ / "log")) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::string line;
            static const std::regex form(R"(^\d\d:\d\d:\d\d \d\d\.\d\d\.\d{4}  #\[KVTVIEW\] (.*)#\r$)");
            while (std::getline(in, line)) {
                std::smatch m;
                if (std::regex_match(line, m, form)) out.push_back(m[1]);
            }
        }
        return out;
    }

    static std::string Range(double from, double to) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "(%.2f - %.2f)", from, to);
        return buf;
    }

    std::unique_ptr<test::ScratchCatalogue> catalogue_;
    std::unique_ptr<test::OdbcSession> session_;
    std::unique_ptr<ViewerSession> viewer_;
    fs::path dir_;
};

// Counts pixels of one colour inside band i's rows of the picture.
int CountColour(const RedrawResult& r, int channels, int band, QRgb colour) {
    const int rows = (r.drawingHeight - channels - 1) / channels;
    const int lo = rows * band + band + 1, hi = lo + rows;
    int n = 0;
    for (int y = r.drawingHeight - hi; y < r.drawingHeight - lo - 1; ++y)
        for (int x = 0; x < r.drawingWidth; ++x)
            if ((r.image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
    return n;
}

TEST_F(RedrawPassTest, Mode0WindowEndsAtNewestDataLessShiftAndLogsTheTrace) {
    AddChannel("AAA", 20, {{kT0, 1000.7, 20}});
    WriteSettings({{"N#", "1"}, {"NSEC#", "600"}, {"MODE", "0"}, {"T_SHIFT", "60"}}, {"AAA"});
    auto r = Pass();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->windowStart, kT0 + 340);
    EXPECT_EQ(r->windowEnd, kT0 + 940);
    EXPECT_EQ(r->drawingWidth, 800);
    EXPECT_EQ(r->drawingHeight, 400);
    EXPECT_EQ(r->image.size(), QSize(800, 400));
    EXPECT_TRUE(r->titleSet);
    EXPECT_EQ(r->titleStart, kT0 + 340);
    EXPECT_EQ(r->titleLength, 600);
    EXPECT_EQ(r->latestTimes[0], kT0 + 1000.7);
    EXPECT_EQ(r->latestTimes[1], -1.0);
    ASSERT_EQ(r->channels.size(), 1u);
    EXPECT_TRUE(r->channels[0].traced);
    EXPECT_TRUE(r->channels[0].labelled);
    EXPECT_FALSE(r->channels[0].lagging);
    EXPECT_GT(CountColour(*r, 1, 0, qRgb(0, 0, 255)), 500);

    const std::string span = Range(kT0 + 340, kT0 + 940);
    const std::vector<std::string> expected = {
        "Drawing started...",
        "Read SpS from SITECHAN (AAA::BHZ::?\?)",
        "Trying to read AAA::BHZ::??",
        "Read data AAA::BHZ::?? " + span,
        "Drawing AAA::BHZ::?? " + span,
        "Data drawn AAA::BHZ::?? " + span,
    };
    const auto log = LogMessages();
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<long>(expected.size()), log.end()),
              expected);
    // The start-up banner came first.
    EXPECT_EQ(log[0], "KVTView started... (v.20120420)");
    EXPECT_EQ(log[1], "Connected to database. ODBC: " + catalogue_->backend().dsn +
                          "  USER: KVT");  // an empty USER falls back to kvt.ini's default
}

TEST_F(RedrawPassTest, Mode1LagIsMeasuredFromWindowEnd) {
    const double now = UtcNow();
    AddChannel("LAG", 20, {{now - 5400 - 600, 600, 20}});
    WriteSettings({{"N#", "1"}, {"NSEC#", "3600"}, {"MODE", "1"}}, {"LAG"});
    auto r = Pass();
    ASSERT_TRUE(r);
    // The pass reads the clock itself; a second may pass in between.
    EXPECT_GE(r->windowEnd, now);
    EXPECT_LE(r->windowEnd, now + 2);
    EXPECT_EQ(r->windowStart, r->windowEnd - 3600);
    ASSERT_EQ(r->channels.size(), 1u);
    EXPECT_TRUE(std::regex_match(r->channels[0].statusText,
                                 std::regex("Отставание данных 01:30:0[0-2]")))
        << r->channels[0].statusText;
    EXPECT_TRUE(r->channels[0].lagging);
    EXPECT_TRUE(r->channels[0].labelled);
    EXPECT_FALSE(r->channels[0].traced);
}

TEST_F(RedrawPassTest, StatusTextsOfEveryKind) {
    const double end = kT0 + 10 * 86400;
    AddChannel("NEW", 20, {{end - 600, 600, 20}});                                 // defines the end
    AddChannel("DAY", 20, {{end - (86400 + 2 * 3600 + 3 * 60 + 4) - 100, 100, 20}});
    AddChannel("DAYS", 20, {{end - 5 * 86400 - 100, 100, 20}});
    AddChannel("NONE", 20, {});                                                     // described only
    AddChannel("UNDESC", std::nullopt, {{end - 600, 600, 20}});                     // recorded only
    AddChannel("ODD", 20, {{end - 600, 600, 19.999}}, 20);                          // rate differs
    AddChannel("HUGE", 1e12, {{end - 600, 600, 1e12}}, 20);  // a window no memory could hold
    WriteSettings({{"N#", "7"}, {"NSEC#", "300"}, {"MODE", "0"}},
                  {"NEW", "DAY", "DAYS", "NONE", "UNDESC", "ODD", "HUGE"});
    auto r = Pass();
    ASSERT_TRUE(r);
    ASSERT_EQ(r->channels.size(), 7u);
    struct Expect {
        std::string text;
        bool labelled, lagging, traced;
    } expected[] = {
        {"", true, false, true},
        {"Отставание данных 1 сутки - 02:03:04", true, true, false},
        {"Отставание данных 5 суток - 00:00:00", true, true, false},
        {"В базе нет данных для станции - \"NONE\", канала - \"BHZ\" и LCODE - \"??\"", true, true,
         false},
        {"В базе нет описания для станции - \"UNDESC\" , канала - \"BHZ\" и LCODE - \"??\"", false,
         false, false},
        {"", true, false, true},
        {"В базе нет данных для станции - \"HUGE\", канала - \"BHZ\" и LCODE - \"??\"", true, true,
         false},
    };
    for (size_t i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r->channels[i].statusText, expected[i].text);
        EXPECT_EQ(r->channels[i].labelled, expected[i].labelled);
        EXPECT_EQ(r->channels[i].lagging, expected[i].lagging);
        EXPECT_EQ(r->channels[i].traced, expected[i].traced);
    }
    EXPECT_EQ(r->latestTimes[3], 0.0);  // described, no FILELIST row
    const auto log = LogMessages();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "ODD  ::BHZ  ::?? : SPS from FILELIST differs from SITECHAN"),
              log.end());
    // The rate that differs is drawn in red in the label row of band 5.
    EXPECT_GT(CountColour(*r, 7, 5, qRgb(255, 0, 0)), 0);
}

TEST_F(RedrawPassTest, DataInFutureWhenTheReadFindsNothing) {
    const double newest = kT0 + 5000;
    AddChannel("NOW", 20, {{newest - 3000, 3000, 20}});
    AddChannel("FUT", 20, {{newest - 500, 500, 20}});
    // The window ends 1000 s before the newest data: FUT's data all lie after it.
    WriteSettings({{"N#", "2"}, {"NSEC#", "600"}, {"MODE", "0"}, {"T_SHIFT", "1000"}},
                  {"NOW", "FUT"});
    auto r = Pass();
    ASSERT_TRUE(r);
    ASSERT_EQ(r->channels.size(), 2u);
    EXPECT_TRUE(r->channels[0].traced);
    EXPECT_EQ(r->channels[1].statusText, " Data in future (FUT :: BHZ :: ?\?) - " +
                                             FormatTimeSeconds(newest) + " ");
    EXPECT_FALSE(r->channels[1].labelled);
    const auto log = LogMessages();
    EXPECT_EQ(log.back(), r->channels[1].statusText);
}

TEST_F(RedrawPassTest, SegmentsJoinWithinOneAndAHalfSamples) {
    // Two files 0-300 s and 300.05-600 s at 20/s: joined into one trace.
    AddChannel("TWO", 20, {{kT0, 300, 20}, {kT0 + 300.05, 299.95, 20}});
    // Three back-to-back files: the first and the third do not meet, so every
    // segment is drawn by itself.
    AddChannel("THREE", 20, {{kT0, 200, 20}, {kT0 + 200, 200, 20}, {kT0 + 400, 200, 20}});
    WriteSettings({{"N#", "2"}, {"NSEC#", "600"}, {"MODE", "0"}}, {"TWO", "THREE"});
    auto r = Pass();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->windowStart, kT0);
    ASSERT_EQ(r->channels.size(), 2u);
    EXPECT_TRUE(r->channels[0].traced);
    EXPECT_FALSE(r->channels[0].piecewise);
    EXPECT_TRUE(r->channels[1].traced);
    EXPECT_TRUE(r->channels[1].piecewise);

    const auto log = LogMessages();
    auto has = [&](const std::string& m) { return std::find(log.begin(), log.end(), m) != log.end(); };
    EXPECT_FALSE(has("Overlay (or gap) found (TWO::BHZ::?\?)"));
    EXPECT_TRUE(has("Overlay (or gap) found (THREE::BHZ::?\?)"));
    for (int k = 0; k < 3; ++k) {
        const std::string span = Range(kT0 + 200 * k, kT0 + 200 * (k + 1));
        EXPECT_TRUE(has("Drawing THREE::BHZ::?? " + span)) << span;
        EXPECT_TRUE(has("Data drawn THREE::BHZ::?? " + span)) << span;
    }
    EXPECT_GT(CountColour(*r, 2, 0, qRgb(0, 0, 255)), 500);
    EXPECT_GT(CountColour(*r, 2, 1, qRgb(0, 0, 255)), 500);
}

// A catalogued file that cannot be read is left out, and the channel is
// drawn as if the catalogue had never named it: joined or piecewise by the
// files that remain, or "Data in future" when none remains. Each M channel
// misses one or more of its files; its R twin catalogues only the others.
TEST_F(RedrawPassTest, UnreadableFilesAreLeftOutAsIfNeverCatalogued) {
    struct Case {
        const char* reason;
        std::vector<FileSpec> files;
        std::vector<int> missing;  // indexes into files
        bool piecewise;            // of what remains
    };
    const Case cases[] = {
        {"the second half of a joined window is missing", {{kT0, 300, 20}, {kT0 + 300, 300, 20}}, {1}, false},
        {"without the third file the first two join", {{kT0, 200, 20}, {kT0 + 200, 200, 20}, {kT0 + 400, 200, 20}},
         {2}, false},
        {"without the middle file the others are two pieces",
         {{kT0, 200, 20}, {kT0 + 200, 200, 20}, {kT0 + 400, 200, 20}}, {1}, true},
        {"nothing readable is data in the future", {{kT0, 300, 20}, {kT0 + 300, 300, 20}}, {0, 1}, false},
    };
    std::vector<std::string> stations;
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const Case& c = cases[k];
        const std::string miss = "M" + std::to_string(k), ref = "R" + std::to_string(k);
        AddChannel(miss, 20, c.files);
        std::vector<FileSpec> kept;
        for (std::size_t f = 0; f < c.files.size(); ++f) {
            if (std::find(c.missing.begin(), c.missing.end(), static_cast<int>(f)) != c.missing.end())
                fs::remove(catalogue_->backend().dataDir + "/" + miss + "/f" + std::to_string(f) + ".dat");
            else
                kept.push_back(c.files[f]);
        }
        AddChannel(ref, 20, kept);
        stations.push_back(miss);
        stations.push_back(ref);
    }
    // A channel with every file in place keeps the newest data time at the window's end.
    AddChannel("FULL", 20, {{kT0, 600, 20}});
    stations.push_back("FULL");
    const int n = static_cast<int>(stations.size());
    WriteSettings({{"N#", std::to_string(n)}, {"NSEC#", "600"}, {"MODE", "0"}}, stations);
    for (const int threads : {1, 2}) {
        auto r = Pass(QSize(900, 1200), threads);
        ASSERT_TRUE(r);
        ASSERT_EQ(r->windowStart, kT0);
        ASSERT_EQ(r->channels.size(), stations.size());
        for (std::size_t k = 0; k < std::size(cases); ++k) {
            SCOPED_TRACE(std::string(cases[k].reason) + ", threads " + std::to_string(threads));
            const ChannelOutcome& m = r->channels[2 * k];
            const ChannelOutcome& ref = r->channels[2 * k + 1];
            EXPECT_EQ(m.piecewise, cases[k].piecewise);
            EXPECT_EQ(m.piecewise, ref.piecewise);
            EXPECT_EQ(m.traced, ref.traced);
            EXPECT_EQ(m.statusText.empty(), ref.statusText.empty());
            const int band = static_cast<int>(2 * k);
            EXPECT_EQ(CountColour(*r, n, band, qRgb(0, 0, 255)), CountColour(*r, n, band + 1, qRgb(0, 0, 255)));
        }
        EXPECT_EQ(r->channels[6].statusText, " Data in future (M3 :: BHZ :: ?\?) - " +
                                                 FormatTimeSeconds(kT0 + 600) + " ");
    }
}

TEST_F(RedrawPassTest, EventMarksSkipRowsWithoutTime) {
    AddChannel("EVT", 20, {{kT0, 600, 20}});
    test::AddEvent(*session_, "EVT", kT0 + 300);
    test::AddEvent(*session_, "EVT", std::nullopt);
    test::AddEvent(*session_, "OTHER", kT0 + 100);
    WriteSettings({{"N#", "1"}, {"NSEC#", "600"}, {"MODE", "0"}}, {"EVT"});
    auto r = Pass();
    ASSERT_TRUE(r);
    // One red mark 2 px wide in the middle of the band; nothing at 1/6.
    const int x = static_cast<int>(300.0 * (r->drawingWidth - 2) / 600.0) + 1;
    const int y = r->drawingHeight / 2;
    EXPECT_EQ(r->image.pixel(x, y) & 0xFFFFFF, 0xFF0000u);
    const int xOther = static_cast<int>(100.0 * (r->drawingWidth - 2) / 600.0) + 1;
    EXPECT_NE(r->image.pixel(xOther, y) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(RedrawPassTest, LostConnectionIsMadeAgainBeforeTheQueries) {
    AddChannel("AAA", 20, {{kT0, 600, 20}});
    WriteSettings({{"N#", "1"}, {"NSEC#", "600"}}, {"AAA"});
    ASSERT_TRUE(Pass());
    viewer_->state().database.Disconnect();
    auto r = Pass();
    ASSERT_TRUE(r);
    ASSERT_EQ(r->channels.size(), 1u);
    EXPECT_TRUE(r->channels[0].traced);
    EXPECT_EQ(r->windowEnd, kT0 + 600);
}

TEST_F(RedrawPassTest, NothingToDrawReturnsNothing) {
    AddChannel("AAA", 20, {{kT0, 600, 20}});
    struct Case {
        const char* channels;
        const char* seconds;
        QSize size;
        const char* why;
    } cases[] = {
        {"0", "600", QSize(800, 400), "no channel"},
        {"1", "0", QSize(800, 400), "empty window"},
        {"-3", "600", QSize(800, 400), "negative channel count"},
        {"1", "600", QSize(0, 400), "no drawing width"},
        {"1", "600", QSize(800, 0), "no drawing height"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        WriteSettings({{"N#", c.channels}, {"NSEC#", c.seconds}}, {"AAA"});
        EXPECT_FALSE(Pass(c.size).has_value());
    }
}

// Worker threads filter and reduce channels while the pass goes on with the
// next ones: the log must keep its lines and their order, and the picture
// must not change, whatever kind of channel comes in between.
TEST_F(RedrawPassTest, WorkerThreadsKeepTheLogAndThePicture) {
    AddChannel("JOIN", 20, {{kT0, 600, 20}});
    // Not joined: three pieces, each drawn by itself.
    AddChannel("PIECE", 20, {{kT0 - 100, 200, 20}, {kT0 + 150, 200, 20}, {kT0 + 400, 200, 20}});
    AddChannel("UNDESC", std::nullopt, {{kT0, 600, 20}});
    AddChannel("LAG", 20, {{kT0 - 5000, 100, 20}});
    AddChannel("EVT", 20, {{kT0 + 10, 590, 20}});
    AddChannel("ODD", 20, {{kT0, 600, 19.999}}, 20);
    test::AddEvent(*session_, "EVT", kT0 + 300);
    WriteSettings({{"N#", "6"}, {"NSEC#", "600"}, {"MODE", "0"}},
                  {"JOIN", "PIECE", "UNDESC", "LAG", "EVT", "ODD"}, "FILTER=0.50,5.00\n");
    ASSERT_TRUE(Pass(QSize(900, 600), 2));  // start-up lines and a pass before both
    const std::size_t before = LogMessages().size();
    auto one = Pass(QSize(900, 600), 1);
    ASSERT_TRUE(one);
    const std::size_t between = LogMessages().size();
    auto two = Pass(QSize(900, 600), 2);
    ASSERT_TRUE(two);
    const auto log = LogMessages();
    const std::vector<std::string> logOne(log.begin() + static_cast<long>(before),
                                          log.begin() + static_cast<long>(between));
    const std::vector<std::string> logTwo(log.begin() + static_cast<long>(between), log.end());
    EXPECT_EQ(logOne, logTwo);
    // The pass really logged its trace: pieces, a filter, event marks.
    auto has = [&](const std::string& prefix) {
        return std::any_of(logOne.begin(), logOne.end(),
                           [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
    };
    EXPECT_TRUE(has("Drawing PIECE::BHZ::?\? (1700000400.00 - 1700000600.00)"));
    EXPECT_TRUE(has("Filter [0.50,5.00] applied (JOIN::BHZ::?\?)"));
    EXPECT_TRUE(has("Data drawn EVT::BHZ::??"));
    EXPECT_TRUE(one->image == two->image);
    ASSERT_EQ(one->channels.size(), two->channels.size());
    for (std::size_t i = 0; i < one->channels.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(one->channels[i].statusText, two->channels[i].statusText);
        EXPECT_EQ(one->channels[i].traced, two->channels[i].traced);
        EXPECT_EQ(one->channels[i].piecewise, two->channels[i].piecewise);
        EXPECT_EQ(one->channels[i].labelled, two->channels[i].labelled);
    }
    EXPECT_TRUE(one->channels[0].traced);
    EXPECT_TRUE(one->channels[1].piecewise);
}

}  // namespace
}  // namespace kvt::viewer
