#include "kvtsim_args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace kvt::sim {

namespace {

bool ToDouble(const std::string& text, double& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(out);
}

bool ToLong(const std::string& text, long long& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    out = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

// "STA:CH" or "STA:CH:LCODE".
bool ParseChannel(const std::string& text, SimChannel& out) {
    const auto first = text.find(':');
    if (first == std::string::npos || first == 0) return false;
    const auto second = text.find(':', first + 1);
    out.station = text.substr(0, first);
    out.channel = text.substr(first + 1, second == std::string::npos ? std::string::npos
                                                                     : second - first - 1);
    out.locationCode = second == std::string::npos ? std::string() : text.substr(second + 1);
    return !out.channel.empty() && out.station.size() <= 15 && out.channel.size() <= 15 &&
           out.locationCode.size() <= 7;
}

}  // namespace

const char* SimUsage() {
    return "usage: kvtsim DATA=DIR [ODBC=DSN] [USER=U] [PASSWORD=P] [--channel STA:CH[:LCODE]]...\n"
           "              [--rate SPS] [--block SECONDS] [--blocks N] [--creator NAME]\n"
           "              [--file-length SECONDS] [--quota BYTES] [--start EPOCH] [--realtime]\n"
           "Records synthetic noise through the database library: N blocks per channel, each\n"
           "stored with WriteSamples. Without --start a channel continues where its newest\n"
           "file ends, or starts N blocks before now. --realtime waits for the clock between\n"
           "blocks, like a recorder.\n";
}

std::optional<SimArgs> ParseSimArgs(const std::vector<std::string>& args, std::string& error) {
    SimArgs out;
    const auto needValue = [&](std::size_t& i, std::string& value) {
        if (i + 1 >= args.size()) {
            error = args[i] + " needs a value";
            return false;
        }
        value = args[++i];
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        double d = 0;
        long long n = 0;
        if (a.rfind("ODBC=", 0) == 0) {
            out.dsn = a.substr(5);
        } else if (a.rfind("USER=", 0) == 0) {
            out.user = a.substr(5);
        } else if (a.rfind("PASSWORD=", 0) == 0) {
            out.password = a.substr(9);
        } else if (a.rfind("DATA=", 0) == 0) {
            out.dataDir = a.substr(5);
        } else if (a == "--channel") {
            SimChannel c;
            if (!needValue(i, value)) return std::nullopt;
            if (!ParseChannel(value, c)) {
                error = "bad channel \"" + value + "\" (STA:CH or STA:CH:LCODE)";
                return std::nullopt;
            }
            out.channels.push_back(c);
        } else if (a == "--rate" || a == "--block" || a == "--start") {
            if (!needValue(i, value)) return std::nullopt;
            if (!ToDouble(value, d) || (a != "--start" && !(d > 0)) || (a == "--rate" && d > 100000)) {
                error = "bad value for " + a + ": \"" + value + "\"";
                return std::nullopt;
            }
            if (a == "--rate") out.rate = d;
            else if (a == "--block") out.blockSeconds = d;
            else out.start = d;
        } else if (a == "--blocks" || a == "--file-length" || a == "--quota") {
            if (!needValue(i, value)) return std::nullopt;
            if (!ToLong(value, n) || n <= 0 || (a != "--quota" && n > 1000000000)) {
                error = "bad value for " + a + ": \"" + value + "\"";
                return std::nullopt;
            }
            if (a == "--blocks") out.blocks = static_cast<int>(n);
            else if (a == "--file-length") out.fileLength = static_cast<int>(n);
            else out.quota = n;
        } else if (a == "--creator") {
            if (!needValue(i, out.creator)) return std::nullopt;
        } else if (a == "--realtime") {
            out.realtime = true;
        } else {
            error = "unknown argument \"" + a + "\"";
            return std::nullopt;
        }
    }
    if (out.dataDir.empty()) {
        error = "DATA=DIR is required";
        return std::nullopt;
    }
    // One block must hold whole samples and fit one WriteSamples call.
    const double samples = out.rate * out.blockSeconds;
    if (std::fabs(samples - std::round(samples)) > 1e-6 || samples < 1 || samples > 1e8) {
        error = "--rate times --block must be a whole number of samples";
        return std::nullopt;
    }
    if (out.channels.empty()) out.channels.push_back({"ARU", "BHZ", ""});
    return out;
}

}  // namespace kvt::sim
