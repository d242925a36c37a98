#include "viewer/snapshot.h"

#include "viewer/event_log.h"
#include "viewer/redraw_pass.h"
#include "viewer/viewer_session.h"

#include <QImage>

#include <atomic>
#include <cstdio>

namespace kvt::viewer {
namespace {

void Print(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "kvtview: %s: %s\n", caption.c_str(), text.c_str());
}

}  // namespace

int RunSnapshot(const std::vector<std::string>& args, const SnapshotOptions& options) {
    ViewerSession session(ViewerSession::DefaultSettingsPath(), args.empty() ? "" : args[0]);
    StartupUi ui;
    // Nobody is there to answer: a snapshot is still worth taking without a log.
    ui.askYesNo = [](const std::string& text, const std::string& caption) {
        Print(caption, text + " -> continuing without LOG-file");
        return true;
    };
    ui.showError = [](const std::string& text, const std::string& caption) { Print(caption, text); };
    ui.showInfo = [](const std::string& text, const std::string& caption) { Print(caption, text); };

    const StartupResult started = RunStartup(session, args, ui);
    if (!started.ok()) return 1;

    std::atomic<bool> redrawRequested{false};
    auto pass = RunRedrawPass(session, QSize(options.width, options.height), redrawRequested);
    QImage image;
    if (pass) {
        image = std::move(pass->image);
    } else {
        // What an empty window shows: a white area.
        Print("snapshot", "nothing to draw (N# or NSEC# below 1); the picture is empty");
        image = QImage(options.width, options.height, QImage::Format_RGB32);
        image.fill(Qt::white);
    }
    const bool saved = image.save(QString::fromStdString(options.file), "PNG");
    WriteLog(std::string("KVTView stopped... (") + kVersionText + ")");
    if (!saved) {
        Print("snapshot", "couldn't write " + options.file);
        return 1;
    }
    return 0;
}

}  // namespace kvt::viewer
