// kvtview: the station monitor.
//
//   kvtview [ODBC=..] [USER=..] [PASSWORD=..] [DATA=..] [/use_tend] [upd_tend]
//   kvtview --snapshot FILE.png [--size WIDTHxHEIGHT] [connection arguments]

#include "viewer/snapshot.h"
#include "viewer/snapshot_options.h"
#include "viewer/window_mode.h"

#include <QGuiApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Without a display the picture is still drawn, on Qt's off-screen platform.
void UseOffscreenWithoutDisplay() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland) && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

int SnapshotMain(int argc, char** argv, const std::vector<std::string>& args,
                 const kvt::viewer::SnapshotOptions& options) {
    UseOffscreenWithoutDisplay();
    QGuiApplication app(argc, argv);
    // Numbers in SQL texts and log lines are written with a decimal point,
    // whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    return kvt::viewer::RunSnapshot(args, options);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    const kvt::viewer::SnapshotOptions options = kvt::viewer::ParseSnapshotOptions(args);
    if (!options.error.empty()) {
        std::fprintf(stderr, "kvtview: %s\n", options.error.c_str());
        return 2;
    }
    if (options.snapshot) return SnapshotMain(argc, argv, args, options);
    return kvt::viewer::WindowMain(argc, argv);
}
