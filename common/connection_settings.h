#pragma once
// Where the viewer's database connection values come from: the command line,
// kvtview.ini beside the viewer's executable (the connection settings file)
// and the processing system's kvt.ini (the system file), in that order.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvt {

//! Environment lookup: the value of a variable, or nullptr when it is not set.
using EnvLookup = std::function<const char*(const char*)>;

//! What the viewer's command line asks for. Empty texts were not given.
struct ViewerArguments {
    std::string odbc;      //!< "ODBC=" value (data source name)
    std::string user;      //!< "USER=" value
    std::string password;  //!< "PASSWORD=" value
    std::string dataDir;   //!< "DATA=" value
    bool useTend = false;  //!< "/use_tend" or "-use_tend" (prefix, any case) given
    bool updTend = false;  //!< "upd_tend", "-upd_tend" or "/upd_tend" (whole argument) given
};

//! Applies the viewer's command-line grammar to the arguments after the
//! program name. Prefixes compare without regard to case; values keep their
//! case; a later argument of a kind replaces an earlier one; an empty value
//! counts as not given; any other argument is ignored. Pure function.
ViewerArguments ParseViewerArguments(const std::vector<std::string>& arguments);

//! The resolved connection values handed to the database library.
struct ConnectionValues {
    std::string dsn;       //!< ODBC data source name
    std::string user;      //!< database user
    std::string password;  //!< database password
    std::string dataDir;   //!< data directory, "/" as separator
    bool useTend = false;  //!< catalogue queries use FILELIST.TEND
    bool updTendArgument = false;  //!< "upd_tend" was on the command line
};

class ConnectionSettings {
public:
    //! fileName: the settings file name (kvtview.ini); programPath: the program
    //! path as the process got it (argv[0]); env: environment lookup (empty:
    //! the process environment). Computes connectionFile and systemFile once;
    //! the environment and the existence of $KVT/kvt.ini are checked here.
    ConnectionSettings(std::string_view fileName, std::string_view programPath,
                       EnvLookup env = {});

    //! Resolves the connection values: command line first, then the
    //! connection settings file, then the system file with its defaults.
    //! arguments: the command line after the program name. Never fails.
    ConnectionValues Load(const std::vector<std::string>& arguments) const;

    //! kvtview.ini in the directory of the program path ("\" turned into "/").
    std::string connectionFile;
    //! kvt.ini from $KVT (only when it exists), else from $WINDIR, else from
    //! /etc; empty when $KVT is set but holds no readable kvt.ini.
    std::string systemFile;
};

//! Path of the connection settings file for a program path: every "\" turned
//! into "/", cut after the last "/", followed by fileName; a path without a
//! separator gives fileName alone.
std::string ConnectionFilePath(std::string_view fileName, std::string_view programPath);

//! Path of kvt.ini as located from the environment (see systemFile).
std::string LocateSystemFile(const EnvLookup& env);

}  // namespace kvt
