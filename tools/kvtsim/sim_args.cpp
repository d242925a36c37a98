#include "sim_args.h"

#include "common/settings_keys.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace kvt::sim {

namespace {

bool ParseDouble(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool ParseInt(const std::string& text, long long lo, long long hi, long long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
    out = v;
    return true;
}

// "KEY=value" with the key compared without regard to case.
bool Assignment(const std::string& arg, const char* key, std::string& value) {
    const std::string k = key;
    if (arg.size() <= k.size() || arg[k.size()] != '=') return false;
    for (std::size_t i = 0; i < k.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(arg[i])) != k[i]) return false;
    value = arg.substr(k.size() + 1);
    return true;
}

}  // namespace

const char* NetworkUsage() {
    return "usage: kvtsim [ODBC=DSN] [USER=U] [PASSWORD=P] [DATA=DIR] [--stations N]\n"
           "              [--backfill S] [--run S] [--quota BYTES] [--file-seconds S]\n"
           "              [--event-interval S] [--seed N] [--schema-dir DIR] [--quiet]\n"
           "              [--settings kvtview.ini]\n"
           "Records synthetic ground motion of a station network into a waveform\n"
           "catalogue every second until SIGINT/SIGTERM (or --run S seconds; --run 0\n"
           "only back-fills). Defaults: ODBC=kvtdemo USER=kvt PASSWORD=kvt DATA=data,\n"
           "12 stations, 900 s back-fill, 64 MiB per channel, 600 s files. --settings takes\n"
           "the connection values the command line leaves open from the monitor's settings.\n"
           "With --channel, --rate, --block, --blocks, --creator, --file-length, --start or\n"
           "--realtime it records given channels block by block instead (kvtsim DATA=DIR\n"
           "--channel STA:CH[:LCODE] ...; see the README).\n";
}

bool IsBatchCommandLine(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--channel" || a == "--rate" || a == "--block" || a == "--blocks" ||
            a == "--creator" || a == "--file-length" || a == "--start" || a == "--realtime")
            return true;
    return false;
}

std::string ParseNetworkArgs(const std::vector<std::string>& args, NetworkOptions& out) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        if (Assignment(a, "ODBC", value)) { out.dsn = value; out.dsnGiven = true; continue; }
        if (Assignment(a, "USER", value)) { out.user = value; out.userGiven = true; continue; }
        if (Assignment(a, "PASSWORD", value)) { out.password = value; out.passwordGiven = true; continue; }
        if (Assignment(a, "DATA", value)) {
            if (value.empty()) return "DATA= needs a directory";
            out.dataDir = value;
            out.dataGiven = true;
            continue;
        }
        if (a == "--help" || a == "-h") { out.help = true; continue; }
        if (a == "--quiet") { out.quiet = true; continue; }
        const bool known = a == "--stations" || a == "--backfill" || a == "--run" ||
                           a == "--quota" || a == "--file-seconds" || a == "--event-interval" ||
                           a == "--seed" || a == "--schema-dir" || a == "--settings";
        if (!known) return "unknown argument '" + a + "'";
        if (i + 1 >= args.size()) return a + " needs a value";
        const std::string& v = args[++i];
        long long n = 0;
        double d = 0;
        if (a == "--stations") {
            if (!ParseInt(v, 1, 10000, n)) return "--stations: '" + v + "' is not a number from 1 to 10000";
            out.stations = static_cast<int>(n);
        } else if (a == "--backfill") {
            if (!ParseDouble(v, d) || d < 0 || d > 30 * 86400.0)
                return "--backfill: '" + v + "' is not a number of seconds from 0 to 2592000";
            out.backfillSeconds = d;
        } else if (a == "--run") {
            if (!ParseDouble(v, d)) return "--run: '" + v + "' is not a number of seconds";
            out.runSeconds = d;
        } else if (a == "--quota") {
            if (!ParseInt(v, 4096, (1ll << 62), n)) return "--quota: '" + v + "' is not a byte count of at least 4096";
            out.quotaBytes = n;
        } else if (a == "--file-seconds") {
            if (!ParseInt(v, 10, 86400, n)) return "--file-seconds: '" + v + "' is not a number from 10 to 86400";
            out.fileSeconds = static_cast<int>(n);
        } else if (a == "--event-interval") {
            if (!ParseDouble(v, d) || d < 10) return "--event-interval: '" + v + "' is not a number of seconds of at least 10";
            out.eventInterval = d;
        } else if (a == "--seed") {
            if (!ParseInt(v, 0, 0xFFFFFFFFll, n)) return "--seed: '" + v + "' is not a number from 0 to 4294967295";
            out.seed = static_cast<std::uint32_t>(n);
        } else if (a == "--schema-dir") {
            out.schemaDir = v;
        } else if (a == "--settings") {
            if (v.empty()) return "--settings needs a file name";
            out.settingsFile = v;
        }
    }
    if (out.dsn.size() > 31 || out.user.size() > 31 || out.password.size() > 31)
        return "ODBC=, USER= and PASSWORD= take at most 31 characters";
    return {};
}

std::string ApplySettings(const kvt::Profile& settings, NetworkOptions& out) {
    const auto take = [&](const kvt::SettingKey& key, bool given, std::string& field) {
        if (given) return;
        std::string v = settings.Text(key);
        if (!v.empty()) field = std::move(v);
    };
    take(kvt::keys::DbOdbc, out.dsnGiven, out.dsn);
    take(kvt::keys::DbUser, out.userGiven, out.user);
    take(kvt::keys::DbPassword, out.passwordGiven, out.password);
    take(kvt::keys::DataDir, out.dataGiven, out.dataDir);
    if (out.dsn.size() > 31 || out.user.size() > 31 || out.password.size() > 31)
        return "the settings' ODBC, USER and PASSWORD take at most 31 characters";
    return {};
}

}  // namespace kvt::sim
