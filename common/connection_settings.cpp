#include "common/connection_settings.h"

#include "common/profile.h"
#include "common/profile_text.h"
#include "common/settings_keys.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace kvt {

using profile_detail::EqualNoCase;

namespace {

std::string Slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// "name=value" arguments: sets target when the value is not empty.
bool TakeValue(std::string_view arg, std::string_view prefix, std::string& target) {
    if (!StartsNoCase(arg, prefix)) return false;
    const std::string_view value = arg.substr(prefix.size());
    if (!value.empty()) target = std::string(value);
    return true;
}

bool Readable(const std::string& path) {
    return ::access(path.c_str(), R_OK) == 0;
}

}  // namespace

ViewerArguments ParseViewerArguments(const std::vector<std::string>& arguments) {
    ViewerArguments a;
    for (const std::string& arg : arguments) {
        if (TakeValue(arg, "ODBC=", a.odbc) || TakeValue(arg, "USER=", a.user) ||
            TakeValue(arg, "PASSWORD=", a.password) || TakeValue(arg, "DATA=", a.dataDir))
            continue;
        if (StartsNoCase(arg, "/use_tend") || StartsNoCase(arg, "-use_tend")) {
            a.useTend = true;
        } else if (EqualNoCase(arg, "upd_tend") || EqualNoCase(arg, "-upd_tend") ||
                   EqualNoCase(arg, "/upd_tend")) {
            a.updTend = true;
        }
    }
    return a;
}

std::string ConnectionFilePath(std::string_view fileName, std::string_view programPath) {
    const std::string path = Slashes(std::string(programPath));
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string(fileName);
    return path.substr(0, slash + 1) + std::string(fileName);
}

std::string LocateSystemFile(const EnvLookup& env) {
    const auto lookup = [&env](const char* name) -> const char* {
        return env ? env(name) : std::getenv(name);
    };
    const auto join = [](std::string dir) {
        if (dir.empty() || dir.back() != '\\') dir += '\\';
        return Slashes(dir + std::string(kSystemFileName));
    };
    if (const char* kvt = lookup("KVT")) {
        // $KVT names the processing system's directory: its kvt.ini or nothing.
        std::string candidate = join(kvt);
        return Readable(candidate) ? candidate : std::string();
    }
    const char* windir = lookup("WINDIR");
    // Linux keeps system-wide settings files in /etc.
    return join(windir ? windir : "/etc");
}

ConnectionSettings::ConnectionSettings(std::string_view fileName, std::string_view programPath,
                                       EnvLookup env)
    : connectionFile(ConnectionFilePath(fileName, programPath)),
      systemFile(LocateSystemFile(env)) {}

ConnectionValues ConnectionSettings::Load(const std::vector<std::string>& arguments) const {
    const ViewerArguments args = ParseViewerArguments(arguments);
    ConnectionValues v;
    v.dsn = args.odbc;
    v.user = args.user;
    v.password = args.password;
    v.dataDir = args.dataDir;
    v.useTend = args.useTend;
    v.updTendArgument = args.updTend;

    const Profile connection = Profile::Load(connectionFile);
    const Profile system = Profile::Load(systemFile);
    const auto resolve = [&](std::string& value, const SettingKey& key) {
        if (!value.empty()) return;
        value = connection.Text(key);  // its default is empty
        if (value.empty()) value = system.Text(key.section, key.name, key.systemDefault, key.maxLength);
    };
    resolve(v.dsn, keys::DbOdbc);
    resolve(v.user, keys::DbUser);
    resolve(v.password, keys::DbPassword);
    resolve(v.dataDir, keys::DataDir);

    if (!v.useTend) {
        int use = connection.Int(keys::DbUseTend);
        if (use < 0) use = system.Int(keys::DbUseTend.section, keys::DbUseTend.name,
                                      LeadingInt(keys::DbUseTend.systemDefault, 0));
        v.useTend = use > 0;
    }
    v.dataDir = Slashes(v.dataDir);
    return v;
}

}  // namespace kvt
