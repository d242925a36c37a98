#include "viewer/viewer_session.h"

#include "common/profile.h"
#include "common/settings_keys.h"
#include "dblib/odbc_statement.h"
#include "viewer/event_log.h"
#include "viewer/session_state.h"

#include <strings.h>

#include <cstdint>
#include <cstdio>

namespace kvt::viewer {
namespace {

bool Succeeded(int rc) { return rc == 0 || rc == 1; }  // SQL_SUCCESS, SQL_SUCCESS_WITH_INFO

void Show(const std::function<void(const std::string&, const std::string&)>& box,
          const std::string& text, const std::string& caption) {
    if (box) box(text, caption);
}

// The command line as one text: the arguments separated by blanks, those
// holding blanks in double quotes.
std::string CommandLineText(const std::vector<std::string>& args) {
    std::string s;
    for (const auto& a : args) {
        if (!s.empty()) s += ' ';
        if (a.find_first_of(" \t") != std::string::npos)
            s += '"' + a + '"';
        else
            s += a;
    }
    return s;
}

// Recomputes FILELIST.TEND from TBEGIN + TQTY. True when the update succeeded.
bool RepairTend(ViewerSession& session, const StartupUi& ui) {
    auto& st8 = session.state();
    OdbcStatement st(st8.database.hdbc());
    if (!st.ok()) return false;  // no statement: the repair is skipped
    const FileListNames& f = st8.schema.fileList;
    const std::string sql = std::string("update ") + f.name + " set " + f.TEND + "=" + f.TBEGIN +
                            "+" + f.TQTY;
    st.ExecDirect(sql);
    if (Succeeded(st.lastReturn())) {
        const std::string text = "Field TEND (table FILELIST) has been updated!!!";
        WriteLog(text);
        Show(ui.showInfo, text, kAppTitle);
        return true;
    }
    // Any other outcome, "no data" of an empty table included, is reported
    // with the driver's text (which may be empty).
    WriteLog(st.diagnostic());
    Show(ui.showInfo, st.diagnostic(), kAppTitle);
    return false;
}

// Turns useTendField off when some FILELIST row has no usable TEND.
void CheckTend(ViewerSession& session, const StartupUi& ui) {
    auto& st8 = session.state();
    OdbcStatement st(st8.database.hdbc());
    if (!st.ok()) return;
    const FileListNames& f = st8.schema.fileList;
    const std::string sql = std::string("select count(*) from ") + f.name + " where " + f.TEND +
                            " is null or " + f.TEND + "=0";
    st.ExecDirect(sql);
    if (!Succeeded(st.lastReturn())) {
        WriteLog(st.diagnostic());
        Show(ui.showInfo, st.diagnostic(), kAppTitle);
        return;
    }
    std::int32_t count = 0;
    std::int64_t indicator = 0;
    st.BindInt32(1, &count, &indicator);
    FetchResult fetched = st.Fetch();
    if (fetched != FetchResult::Row || count != 0) session.useTendField = false;
    st.CloseCursor();
}

}  // namespace

ViewerSession::ViewerSession(std::string settingsPath, std::string programPath,
                             std::function<const char*(const char*)> getenv)
    : settingsPath_(std::move(settingsPath)),
      programPath_(std::move(programPath)),
      state_(std::make_unique<State>(programPath_, std::move(getenv))) {}

ViewerSession::~ViewerSession() = default;

std::string ViewerSession::DefaultSettingsPath() { return "./" + std::string(kSettingsFileName); }

StartupResult RunStartup(ViewerSession& session, const std::vector<std::string>& args,
                         const StartupUi& ui) {
    StartupResult result;
    auto& state = session.state();

    // 1-2. The log first; without it the user decides whether to go on.
    const bool logOn = InitLog(session.settingsPath());
    Profile settings = Profile::Load(session.settingsPath());
    session.logDirText = settings.Text(keys::LogDir);
    if (!logOn) {
        const std::string question = "Couldn't find (create) LOG directory (" +
                                     session.logDirText +
                                     ").\r\nDo you want to continue application without LOG-file?";
        if (!ui.askYesNo || !ui.askYesNo(question, "LOG-file warning")) {
            result.status = StartupStatus::LogDeclined;
            result.message = question;
            return result;
        }
    }
    // 3.
    WriteLog(std::string("KVTView started... (") + kVersionText + ")");

    // 4-5. Connection values, handed to the catalogue.
    const std::vector<std::string> arguments(args.size() > 1 ? args.begin() + 1 : args.end(),
                                             args.end());
    const ConnectionValues values = state.connection.Load(arguments);
    session.dsn = values.dsn;
    session.user = values.user;
    session.dataDir = values.dataDir;
    session.useTendField = values.useTend;
    state.database.SetParameter("odbc", values.dsn.c_str());
    state.database.SetParameter("user", values.user.c_str());
    state.database.SetParameter("password", values.password.c_str());
    state.database.SetParameter("data", values.dataDir.c_str());
    state.database.SetParameter("use_tend", values.useTend ? "1" : "0");

    // 6.
    if (!state.database.Connect()) {
        result.status = StartupStatus::ConnectFailed;
        result.message =
            "Couldn't connect to database: " + values.dsn + ".\r\nProgam terminated";
        WriteLog(result.message);
        Show(ui.showError, result.message, "Database connection");
        return result;
    }
    session.connected = true;

    // 7.
    state.schema.Refresh(state.database.hdbc());
    session.tendUpdated = false;

    // 8-9. TEND repair on request, else a check that every row has an end time.
    if (session.useTendField) {
        const bool wanted = settings.Int(keys::DbUpdTend) != 0 || values.updTendArgument;
        if (wanted) session.tendUpdated = RepairTend(session, ui);
        if (!session.tendUpdated) CheckTend(session, ui);
    }

    // 10. Banner.
    WriteLog("Connected to database. ODBC: " + values.dsn + "  USER: " + values.user);
    WriteLog("Catalog with data: " + values.dataDir);
    WriteLog("Log directory: " + session.logDirText);
    WriteLog(std::string("Use TEND field (table FILELIST): ") +
             (session.useTendField ? "YES" : "NO"));
    WriteLog(std::string("Update TEND field (table FILELIST): ") +
             (session.tendUpdated ? "YES" : "NO"));
    if (args.size() > 1) WriteLog("Command line: " + CommandLineText(args));

    // 11. Database type, for the log only.
    std::string dbmsName, dbmsVersion;
    if (state.database.GetServerInfo(dbmsName, dbmsVersion) != 0 && dbmsName.empty()) {
        WriteLog("Couldn't define database type");
    } else if (dbmsName.size() >= 5 && strncasecmp(dbmsName.c_str(), "mysql", 5) == 0 &&
               !dbmsVersion.empty()) {
        WriteLog("MySQL version of database is " + dbmsVersion);
    }

    // Time shift (logged; each pass reads it again) and the drawing font.
    session.timeShift = settings.Int(keys::TShift);
    WriteLog("Time shift = " + std::to_string(session.timeShift));
    session.fontName = settings.Text(keys::FontName);
    session.fontSize = settings.Int(keys::FontSize);

    result.status = StartupStatus::Started;
    return result;
}

}  // namespace kvt::viewer
