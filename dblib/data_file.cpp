#include "dblib/data_file.h"

#include "dblib/db_result.h"
#include "dblib/sql_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <strings.h>

namespace kvt {

int SampleSize(int dataType) noexcept {
    switch (dataType) {
    case kInt8: return 1;
    case kInt16:
    case kUInt16: return 2;
    case kInt32:
    case kFloat32: return 4;
    default: return 0;
    }
}

namespace {

// Samples are stored little-endian whatever the host; assemble them byte by byte.
std::uint32_t Le32(const unsigned char* p) noexcept {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t Le16(const unsigned char* p) noexcept {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

bool ConvertSamples(int dataType, const unsigned char* raw, std::size_t count, float* out) noexcept {
    switch (dataType) {
    case kInt8:
        for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::int8_t>(raw[i]);
        return true;
    case kInt16:
        for (std::size_t i = 0; i < count; ++i)
            out[i] = static_cast<std::int16_t>(Le16(raw + 2 * i));
        return true;
    case kUInt16:
        for (std::size_t i = 0; i < count; ++i) out[i] = Le16(raw + 2 * i);
        return true;
    case kInt32:
        for (std::size_t i = 0; i < count; ++i)
            out[i] = static_cast<float>(static_cast<std::int32_t>(Le32(raw + 4 * i)));
        return true;
    case kFloat32:
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t bits = Le32(raw + 4 * i);
            std::memcpy(&out[i], &bits, sizeof bits);
        }
        return true;
    default: return false;
    }
}

double TolerantCeil(double x, double rate) noexcept {
    const double whole = std::floor(x);
    return (x - whole >= 1.0 / rate) ? whole + 1 : whole;
}

int PlanPiece(double tBegin, double tQty, double sps, int dataType, std::int64_t dataOffset,
              double timeBegin, double timeEnd, PiecePlan& plan) noexcept {
    const int size = SampleSize(dataType);
    if (size == 0 || !std::isfinite(tBegin) || !std::isfinite(tQty) || !std::isfinite(sps) ||
        !(sps > 0) || tQty < 0 || dataOffset < 0)
        return db::kBadRow;
    const double fileEnd = tBegin + tQty;
    if (timeEnd < tBegin || fileEnd < timeBegin) return db::kNoOverlap;
    const double clipStart = std::max(timeBegin, tBegin);
    const double clipEnd = std::min(fileEnd, timeEnd);
    const double length = std::floor((clipEnd - clipStart) * 10000) / 10000;
    const double count = std::floor(length * sps);
    const double skip = TolerantCeil((clipStart - tBegin) * sps, sps);
    const double position = static_cast<double>(dataOffset) + static_cast<double>(size) * skip;
    // Counts are handed back as 32-bit values; positions must stay far inside
    // a 64-bit file offset. Anything beyond is a broken row, not a file.
    if (!(count >= 0) || count > 2147483647.0 || !(skip >= 0) || !(position < 4.0e18))
        return db::kBadRow;
    plan.clipStart = clipStart;
    plan.length = length;
    plan.count = static_cast<std::int64_t>(count);
    plan.skip = static_cast<std::int64_t>(skip);
    plan.position = static_cast<std::int64_t>(position);
    return db::kOk;
}

LocalTime ToLocalTime(double t) noexcept {
    const std::time_t secs = static_cast<std::time_t>(std::floor(t));
    std::tm tm{};
    LocalTime out;
    if (localtime_r(&secs, &tm) == nullptr) return out;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    out.second = tm.tm_sec;
    return out;
}

std::string HeaderText(int dataOffset, const LocalTime& start, double duration, double sps,
                       std::string_view station, std::string_view channel) {
    const int days = static_cast<int>(std::floor(duration / 86400));
    const int hours = static_cast<int>(std::floor(std::fmod(duration, 86400) / 3600));
    const int minutes = static_cast<int>(std::floor(std::fmod(duration, 3600) / 60));
    const int seconds = static_cast<int>(std::fmod(duration, 60));
    const std::string durationText = sql::Format("%03d %02d %02d %02d", days, hours, minutes, seconds);
    const std::string sta(station);
    const std::string ch(channel);
    std::string text = "[KVT5.x]\r\n";
    text += sql::Format("Data offset=%d\r\n", dataOffset);
    text += sql::Format("Start time=%02d:%02d:%02d\r\n", start.hour, start.minute, start.second);
    text += sql::Format("Start date=%02d-%02d-%04d\r\n", start.day, start.month, start.year);
    text += sql::Format("Time duration=%s\r\n", durationText.c_str());
    text += "Data type=FLOAT\r\n";
    text += sql::Format("SpS=%0.2f\r\n", sps);
    text += "Gain=1\r\n";
    text += sql::Format("Station=%s\r\n", sta.c_str());
    text += sql::Format("Channel=%s\r\n", ch.c_str());
    return text;
}

std::string HeaderBlock(int dataOffset, const LocalTime& start, double duration, double sps,
                        std::string_view station, std::string_view channel) {
    std::string block = HeaderText(dataOffset, start, duration, sps, station, channel);
    block.resize(dataOffset > 0 ? static_cast<std::size_t>(dataOffset) : 0, '\0');
    return block;
}

std::string DataFileRelativeName(std::string_view station, std::string_view channel,
                                 const LocalTime& start) {
    const std::string sta(station);
    const std::string ch(channel);
    return sql::Format("%s/%02d/%02d%02d%04d-%02d%02d%02d-%3s.%3s", sta.c_str(), start.hour,
                       start.day, start.month, start.year, start.hour, start.minute, start.second,
                       ch.c_str(), sta.c_str());
}

namespace {

std::string WithBackslashes(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

std::string WithSlashes(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    return !prefix.empty() && s.size() >= prefix.size() &&
           strncasecmp(s.c_str(), prefix.c_str(), prefix.size()) == 0;
}

}  // namespace

std::string ResolveDataPath(std::string_view dataDir, std::string_view cpath) {
    // Catalogue paths come from Windows and Linux writers alike: compare both
    // sides with one separator.
    std::string path = WithBackslashes(cpath);
    const std::string dir = WithBackslashes(dataDir);
    const bool absolute = (!path.empty() && path[0] == '\\') || (path.size() > 1 && path[1] == ':');
    if (!absolute && !StartsWithNoCase(path, dir)) {
        std::string prefixed = dir;
        if (!prefixed.empty() && prefixed.back() != '\\') prefixed += '\\';
        path = prefixed + path;
    }
    return WithSlashes(std::move(path));
}

std::string CataloguePath(std::string_view dataDir, std::string_view path) {
    std::string p = WithSlashes(std::string(path));
    std::string dir = WithSlashes(std::string(dataDir));
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (!dir.empty() && p.size() > dir.size() && p[dir.size()] == '/' && StartsWithNoCase(p, dir))
        return p.substr(dir.size() + 1);
    return p;
}

}  // namespace kvt
