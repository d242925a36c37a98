#pragma once
// Process-wide state of the monitor viewer and its start-up sequence.
//
// One ViewerSession exists per process. Start-up (RunStartup) opens the event
// log, resolves the connection values, connects the catalogue, repairs or
// checks the TEND column and writes the banner; afterwards the redraw pass
// (redraw_pass.h) uses the session from the refresh thread only.
//
// The same start-up code serves the window and the --snapshot mode: anything
// it has to show the user goes through the StartupUi callbacks.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kvt::viewer {

//! How start-up talks to the user. Every callback may be left empty: an empty
//! askYesNo counts as "No", empty show callbacks show nothing.
struct StartupUi {
    //! Yes/No question with a warning icon; returns true only for Yes.
    std::function<bool(const std::string& text, const std::string& caption)> askYesNo;
    //! Error box (fatal start-up failure), error icon, OK button.
    std::function<void(const std::string& text, const std::string& caption)> showError;
    //! Information box (TEND repair/check results), OK button.
    std::function<void(const std::string& text, const std::string& caption)> showInfo;
};

//! Outcome of RunStartup.
enum class StartupStatus {
    Started,          //!< connected; the window (or snapshot) may go on
    LogDeclined,      //!< log directory unusable and the user answered No
    ConnectFailed,    //!< the catalogue connection failed
};

struct StartupResult {
    StartupStatus status = StartupStatus::ConnectFailed;
    std::string message;  //!< text shown for a failure (empty on success)
    bool ok() const { return status == StartupStatus::Started; }
};

//! Application title, also the caption of start-up information boxes.
inline constexpr const char* kAppTitle = "Varurod";
//! Version text of the start and stop log lines.
inline constexpr const char* kVersionText = "v.20120420";

class ViewerSession {
public:
    //! settingsPath: the view settings file (normally "kvtview.ini" in the
    //! current directory). programPath: the program path as the process got it
    //! (argv[0]); the connection settings file is looked for beside it.
    //! getenv: environment lookup for KVT/WINDIR (nullptr: the real environment).
    explicit ViewerSession(std::string settingsPath = DefaultSettingsPath(),
                           std::string programPath = {},
                           std::function<const char*(const char*)> getenv = {});
    ~ViewerSession();
    ViewerSession(const ViewerSession&) = delete;
    ViewerSession& operator=(const ViewerSession&) = delete;

    //! "./kvtview.ini": the view settings file in the current directory.
    static std::string DefaultSettingsPath();

    const std::string& settingsPath() const { return settingsPath_; }
    const std::string& programPath() const { return programPath_; }

    // Values kept by start-up.
    bool useTendField = false;     //!< viewer queries use FILELIST.TEND (after the check)
    bool tendUpdated = false;      //!< the TEND repair succeeded in this run
    int timeShift = 0;             //!< SYSTEM T_SHIFT at start-up, seconds (logged only)
    std::string fontName;          //!< SYSTEM FONT_NAME at start-up
    int fontSize = 14;             //!< SYSTEM FONT_SIZE at start-up, pixels
    std::string dsn;               //!< data source name in use
    std::string user;              //!< database user in use
    std::string dataDir;           //!< data directory ("/" separators)
    std::string logDirText;        //!< LOG DIR text as read for messages
    bool connected = false;        //!< RunStartup connected the catalogue

    //! Database objects (viewer schema registry, connection settings, catalogue).
    //! Defined in viewer/session_state.h; only viewer code reaches into it.
    struct State;
    State& state() { return *state_; }

private:
    std::string settingsPath_;
    std::string programPath_;
    std::unique_ptr<State> state_;
};

//! Start-up up to and including the database-type line (everything before the
//! window): log, connection, TEND repair and check, banner, T_SHIFT and font.
//! args: the command line as received, args[0] being the program path.
//! Never throws; failures come back in the result (already shown through ui).
StartupResult RunStartup(ViewerSession& session, const std::vector<std::string>& args,
                         const StartupUi& ui);

}  // namespace kvt::viewer
