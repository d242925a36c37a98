// Figures for the settings file and the event log: parsing a settings file
// with 64 channels, reading every key of a redraw pass from it, writing log
// lines (new and folded), and an atomic key write. Prints figures only.

#include "common/profile.h"
#include "viewer/event_log.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double MicrosSince(Clock::time_point start, int n) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / n;
}

std::string SettingsText(int channels) {
    std::string t = "[SYSTEM]\r\nN#=" + std::to_string(channels) +
                    "\r\nNSEC#=1200\r\nMODE=0\r\nDELAY=30\r\nSCALE=AUTO\r\n";
    t += "[DATABASE]\r\nODBC=KVT\r\nUSER=KVT\r\nPASSWORD=QMZ\r\nUSE_TEND=1\r\n[LOG]\r\nLEVEL=debug\r\n";
    for (int i = 0; i < channels; ++i)
        t += "[STA" + std::to_string(i) + "]\r\nNAME=ST" + std::to_string(i) +
             "\r\nCH=BHZ\r\nLCODE=00\r\nFILTER=0.50,5.00\r\nSCALE=\r\n";
    return t;
}

}  // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / ("kvt_bench_settings_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "kvtview.ini").string();
    const std::string text = SettingsText(64);
    std::ofstream(file, std::ios::binary) << text;

    constexpr int kParses = 2000;
    auto start = Clock::now();
    std::size_t sink = 0;
    for (int i = 0; i < kParses; ++i) sink += kvt::Profile::Load(file).Int(kvt::keys::ChannelCount);
    std::printf("settings file, 64 channels (%zu bytes): load and parse %.1f us\n", text.size(),
                MicrosSince(start, kParses));

    const kvt::Profile p = kvt::Profile::Load(file);
    start = Clock::now();
    for (int i = 0; i < kParses; ++i)
        for (int c = 0; c < 64; ++c)
            for (const auto* key : {&kvt::keys::ChannelName, &kvt::keys::ChannelCh, &kvt::keys::ChannelLcode,
                                    &kvt::keys::ChannelFilter, &kvt::keys::ChannelScale})
                sink += p.Text(*key, c).size();
    std::printf("reading the 320 channel keys of a pass from a snapshot: %.1f us\n",
                MicrosSince(start, kParses));

    constexpr int kWrites = 200;
    start = Clock::now();
    for (int i = 0; i < kWrites; ++i) kvt::WriteProfileInt(file, "SYSTEM", "NSEC#", i);
    std::printf("atomic key write (read, edit, temp file, fsync, rename): %.1f us\n",
                MicrosSince(start, kWrites));

    kvt::EventLog log;
    log.InitWith("debug", (dir / "log").string());
    constexpr int kLines = 5000;
    start = Clock::now();
    for (int i = 0; i < kLines; ++i) log.Write("Read data ST1::BHZ::00 (" + std::to_string(i) + ")");
    std::printf("log line appended (open, write, close): %.1f us\n", MicrosSince(start, kLines));
    start = Clock::now();
    for (int i = 0; i < kLines; ++i) log.Write("Database error");
    std::printf("log repeat folded in place (open, check, rewrite, close): %.1f us\n",
                MicrosSince(start, kLines));

    fs::remove_all(dir);
    return sink == 0 ? 1 : 0;
}
