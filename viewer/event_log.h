#pragma once
// The viewer's daily event log.
//
// One text file per local calendar day, DDMMYYYY.log in the log directory,
// lines "hh:mm:ss DD.MM.YYYY  #[KVTVIEW] message#" ending with CR LF. Runs of
// the same message are folded into one line "... message (count)#", rewritten
// in place. No file is held open between calls, so the files can be read,
// moved or deleted while the viewer runs. Every call is serialised by one lock.
//
// The level is not a filter inside the log: callers consult logLevel
// (LogIsDebug, LogWarningsOn) and decide what to write.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace kvt {

//! Local calendar time as the log stamps it.
struct LogTime {
    int year = 0;    //!< four-digit year
    int month = 0;   //!< 1..12
    int day = 0;     //!< 1..31
    int hour = 0;    //!< 0..23
    int minute = 0;  //!< 0..59
    int second = 0;  //!< 0..60
};

//! Clock of the log; the default reads the local time of the system.
using LogClock = std::function<LogTime()>;

//! Local time now (localtime_r of the system clock).
LogTime LocalLogTime();

//! The log itself. The process has one (ProcessLog); tests build their own.
class EventLog {
public:
    //! Longest stored line, bytes, CR LF included (a message is cut to fit).
    static constexpr int kMaxLineBytes = 1024;

    explicit EventLog(LogClock clock = {});

    //! Reads LOG LEVEL and LOG DIR from settingsFile and creates the log
    //! directory. Returns true when the directory is ready (the log is on);
    //! false leaves the log off. Call before any other thread writes.
    bool Init(const std::string& settingsFile);
    //! The same with the two values given directly (dir as in the settings file).
    bool InitWith(std::string_view level, std::string_view dir);

    //! Appends message (any line feed in it stored as CR LF). withHeader: the
    //! call at the start of a redraw pass (empty message), which writes the
    //! day header when it creates the day's file after a start message.
    //! Returns true when a line was appended or the message was empty; false
    //! when the log is off, the file failed, or the message was folded into
    //! the previous line.
    bool Write(std::string_view message, bool withHeader = false);

    const std::string& level() const { return level_; }  //!< LOG LEVEL as read
    const std::string& directory() const { return dir_; }  //!< ends with "/"; empty when off
    bool enabled() const { return enabled_; }
    //! Full path of the file for a given day.
    std::string FileFor(const LogTime& t) const;
    //! Replaces the clock (empty: the system's local time).
    void SetClock(LogClock clock);

private:
    std::string FormLine(const LogTime& t, std::string_view message, int count) const;

    std::mutex lock_;
    LogClock clock_;
    std::string level_ = "ERROR";
    std::string dir_;
    bool enabled_ = false;
    bool started_ = false;    // a start message was logged
    LogTime startTime_{};     // local time of the last start message
    std::string lastMessage_;
    std::string lastLine_;    // stored bytes of the last line written
    int repeatCount_ = 1;
};

//! The process's log.
EventLog& ProcessLog();

//! InitLog/WriteLog of the process log (see EventLog::Init, EventLog::Write).
bool InitLog(const std::string& settingsFile);
bool WriteLog(std::string_view message, bool withHeader = false);

//! LOG LEVEL as read by InitLog ("ERROR" until then). Set once before other
//! threads start; read-only afterwards.
extern std::string logLevel;

//! logLevel is "debug" (any case): write the trace of the redraw pass.
bool LogIsDebug();
//! logLevel is not "error" (any case): write the warnings.
bool LogWarningsOn();

}  // namespace kvt
