// The viewer's own catalogue statements and one redraw pass on every catalogue
// back end (SQLite, PostgreSQL, MariaDB): the texts the pass sends must mean
// the same to each server.

#include "viewer/redraw_pass.h"
#include "viewer/viewer_session.h"

#include "backend_test.h"
#include "catalogue_rows.h"
#include "kvt_file_writer.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace kvt::viewer {
namespace {

namespace fs = std::filesystem;

class RedrawPassOnServers : public test::BackendTest {
protected:
    static void SetUpTestSuite() {
        if (QGuiApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "redraw_pass_servers_test";
            static char* argv[] = {name, nullptr};
            new QGuiApplication(argc, argv);  // lives until the process ends
        }
    }
};

TEST_P(RedrawPassOnServers, DrawsDescribedChannelsAndTellsWhyOthersAreEmpty) {
    constexpr double t0 = 1700000000.0;
    const test::Backend& b = backend();
    std::vector<double> samples(600 * 20);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = 800 * std::sin(static_cast<double>(i) / 9);
    test::WriteKvtFile(b.dataDir + "/AAA/a.dat", 3, samples);
    test::FileRow row;
    row.sta = "AAA";
    row.ch = "BHZ";
    row.lcode = "00";
    row.tBegin = t0;
    row.tQty = 600;
    row.sps = 20;
    row.cPath = "AAA/a.dat";
    test::CatalogueFile(session(), row);
    test::DescribeChannel(session(), "AAA", "BHZ", std::string("00"), 20);
    test::DescribeChannel(session(), "O'K", "BHZ", std::nullopt, 20);  // described, no data
    test::AddEvent(session(), "AAA", t0 + 300);
    test::AddEvent(session(), "AAA", std::nullopt);

    const fs::path dir = fs::path(b.dataDir) / "viewer";
    fs::create_directories(dir);
    std::ofstream(dir / "kvtview.ini")
        << "[SYSTEM]\nN#=3\nNSEC#=600\nMODE=0\n[LOG]\nLEVEL=debug\nDIR=" << (dir / "log").string()
        << "\n[DATABASE]\nODBC=" << b.dsn << "\nUSER=" << b.user << "\nPASSWORD=" << b.password
        << "\nUSE_TEND=1\n[DATA]\nDIR=" << b.dataDir
        << "\n[STA0]\nNAME=AAA\nCH=BHZ\nLCODE=00\n[STA1]\nNAME=O'K\nCH=BHZ\n[STA2]\nNAME=ZZZ\nCH=BHZ\n";
    ViewerSession viewer((dir / "kvtview.ini").string(), (dir / "kvtview").string(),
                         [](const char*) -> const char* { return nullptr; });
    StartupUi ui;
    ui.showError = [](const std::string& t, const std::string&) { ADD_FAILURE() << t; };
    ui.showInfo = [](const std::string& t, const std::string&) { ADD_FAILURE() << t; };
    ASSERT_TRUE(RunStartup(viewer, {(dir / "kvtview").string()}, ui).ok());
    EXPECT_TRUE(viewer.useTendField);

    std::atomic<bool> requested{true};
    auto r = RunRedrawPass(viewer, QSize(602, 300), requested);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->windowStart, t0);
    EXPECT_EQ(r->windowEnd, t0 + 600);
    ASSERT_EQ(r->channels.size(), 3u);
    EXPECT_TRUE(r->channels[0].traced);
    EXPECT_EQ(r->channels[1].statusText,
              "В базе нет данных для станции - \"O'K\", канала - \"BHZ\" и LCODE - \"?\?\"");
    EXPECT_EQ(r->channels[2].statusText,
              "В базе нет описания для станции - \"ZZZ\" , канала - \"BHZ\" и LCODE - \"?\?\"");
    // The event mark at the middle of the window, in the lowest band.
    const int x = static_cast<int>(300.0 * 600 / 600.0) + 1;
    const int band = (300 - 3 - 1) / 3;
    EXPECT_EQ(r->image.pixel(x, 300 - 1 - band / 2) & 0xFFFFFF, 0xFF0000u);
    fs::remove_all(dir);
}

KVT_INSTANTIATE_BACKEND_TESTS(RedrawPassOnServers);

}  // namespace
}  // namespace kvt::viewer
