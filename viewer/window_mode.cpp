#include "window_mode.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QSocketNotifier>

#include "viewer/monitor_table.h"
#include "viewer/redraw_pass.h"
#include "viewer/startup_dialogs.h"

namespace kvt::viewer {
namespace {

// The redraw pass as the window runs it: what the pass hands back, as the window keeps it.
FramePass WindowPass(ViewerSession& session) {
  return [&session](QSize size, std::atomic<bool>& redrawRequested) -> std::optional<FramePicture> {
    std::optional<RedrawResult> drawn = RunRedrawPass(session, size, redrawRequested);
    if (!drawn) return std::nullopt;
    FramePicture picture;
    picture.windowStart = drawn->windowStart;
    picture.windowEnd = drawn->windowEnd;
    picture.titleSet = drawn->titleSet;
    picture.titleStart = drawn->titleStart;
    picture.titleLength = drawn->titleLength;
    picture.drawWidth = drawn->drawingWidth;
    picture.drawHeight = drawn->drawingHeight;
    static_assert(kMaxChannels == kLatestTimeCount);
    picture.latestTimes = drawn->latestTimes;
    picture.image = std::move(drawn->image);
    return picture;
  };
}

int terminationPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(terminationPipe[1], &byte, 1);
}

// While the window is open, SIGTERM (a logout, a service manager, kill) and SIGINT close it the
// way the user does, so the stop line is logged and the refresh thread ends before the process
// does. The handler only writes to a pipe; the window is closed on the user-interface thread.
// The previous handlers come back when the window has gone.
class CloseOnTerminationSignals {
 public:
  explicit CloseOnTerminationSignals(QWidget& window) {
    if (terminationPipe[0] < 0 && ::pipe2(terminationPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(terminationPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
      char buffer[16];
      while (::read(terminationPipe[0], buffer, sizeof buffer) > 0) {
      }
      window.close();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    installed_ = ::sigaction(SIGTERM, &action, &previousTerm_) == 0 &&
                 ::sigaction(SIGINT, &action, &previousInt_) == 0;
  }
  ~CloseOnTerminationSignals() {
    if (!installed_) return;
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
    ::sigaction(SIGINT, &previousInt_, nullptr);
  }
  CloseOnTerminationSignals(const CloseOnTerminationSignals&) = delete;
  CloseOnTerminationSignals& operator=(const CloseOnTerminationSignals&) = delete;

 private:
  bool installed_ = false;
  struct sigaction previousTerm_ {};
  struct sigaction previousInt_ {};
};

}  // namespace

int RunWindowViewer(ViewerSession& session, const std::vector<std::string>& args,
                    const StartupUi& ui, FrameOptions frame) {
  const StartupResult started = RunStartup(session, args, ui);
  if (!started.ok()) return 1;

  RecordMonitors(monitorRects());
  frame.settingsPath = session.settingsPath();
  frame.pass = WindowPass(session);
  CMainFrame window(std::move(frame));
  const CloseOnTerminationSignals closeOnSignals(window);
  window.showMaximized();
  return QApplication::exec();
}

int WindowMain(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(kAppTitle));
  // Numbers in SQL texts and log lines are written with a decimal point, whatever the
  // user's locale says.
  std::setlocale(LC_NUMERIC, "C");
  const std::vector<std::string> args(argv, argv + argc);
  ViewerSession session(ViewerSession::DefaultSettingsPath(), args.empty() ? "" : args[0]);
  const int code = RunWindowViewer(session, args, MessageBoxStartupUi());
  if (RefreshThread::Running() > 0) {
    // A pass hung past the window's wait at close (a database server that stopped answering,
    // say). It still uses the session, the application and the process log: the process ends
    // here instead of destroying them under it. The log is written straight to its file, so
    // only the standard streams need flushing.
    std::fflush(nullptr);
    std::_Exit(code);
  }
  return code;
}

}  // namespace kvt::viewer
