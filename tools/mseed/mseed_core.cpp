#include "mseed_core.h"

#include "kvtquery_args.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace kvt::mseed {

double EpochFromTicks(Ticks t) {
    // Whole seconds and the microseconds apart, so large tick counts keep
    // their microseconds in the double.
    const Ticks whole = t / 1000000;
    const Ticks rest = t % 1000000;
    return static_cast<double>(whole) + static_cast<double>(rest) / kTicksPerSecond;
}

Ticks TicksFromEpoch(double t) {
    const double whole = std::floor(t);
    const auto micros = static_cast<Ticks>(std::llround((t - whole) * kTicksPerSecond));
    return static_cast<Ticks>(whole) * 1000000 + micros;
}

std::string StreamId::Text() const { return network + "." + station + "." + location + "." + channel; }

Grouping GroupIntoRuns(std::vector<RecordPiece> records) {
    Grouping g;
    std::erase_if(records, [](const RecordPiece& r) {
        return r.samples.empty() || !(r.rate > 0) || !std::isfinite(r.start);
    });
    std::stable_sort(records.begin(), records.end(), [](const RecordPiece& a, const RecordPiece& b) {
        if (a.id != b.id) return a.id < b.id;
        return a.start < b.start;
    });
    for (RecordPiece& r : records) {
        Run* run = g.runs.empty() ? nullptr : &g.runs.back();
        if (run != nullptr && run->id == r.id && run->rate == r.rate) {
            const double half = 0.5 / r.rate;
            const double end = run->End();
            if (std::fabs(r.start - end) <= half) {
                run->samples.insert(run->samples.end(), r.samples.begin(), r.samples.end());
                continue;
            }
            if (r.start < end) {
                // Keep only the samples after the run's end.
                ++g.overlaps;
                const double skip = std::ceil((end - r.start) * r.rate - 0.5);
                if (skip >= static_cast<double>(r.samples.size())) continue;
                const auto n = static_cast<std::size_t>(skip);
                run->samples.insert(run->samples.end(), r.samples.begin() + static_cast<std::ptrdiff_t>(n),
                                    r.samples.end());
                continue;
            }
            ++g.gaps;
        }
        g.runs.push_back(Run{std::move(r.id), r.start, r.rate, std::move(r.samples)});
    }
    return g;
}

std::vector<SampleRange> UncoveredRanges(double start, double rate, std::size_t count,
                                         const std::vector<Span>& stored) {
    std::vector<SampleRange> out;
    if (!(rate > 0)) return out;
    // Sample k lies at start + k / rate; it is covered by a span when that
    // time is in [begin - half, end - half), i.e. k in [ceil(x), ceil(y)).
    // The half sample puts every boundary between two samples, so rounding
    // noise cannot move a sample across it.
    const double half = 0.5 / rate;
    const auto index = [&](double t) {
        const double k = std::ceil((t - half - start) * rate);
        return static_cast<std::size_t>(std::clamp(k, 0.0, static_cast<double>(count)));
    };
    std::vector<std::pair<std::size_t, std::size_t>> covered;
    for (const Span& sp : stored) {
        if (!(sp.end > sp.begin)) continue;
        const std::size_t from = index(sp.begin), to = index(sp.end);
        if (from < to) covered.push_back({from, to});
    }
    std::sort(covered.begin(), covered.end());
    std::size_t next = 0;  // first sample not yet decided
    for (const auto& [from, to] : covered) {
        if (from > next) out.push_back({next, from - next});
        next = std::max(next, to);
    }
    if (next < count) out.push_back({next, count - next});
    return out;
}

bool AllIntegral(const std::vector<float>& samples) {
    return std::all_of(samples.begin(), samples.end(), [](float v) {
        return std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 268435456.0f;
    });
}

namespace {

bool TakeValue(const std::vector<std::string>& args, std::size_t& i, std::string& out,
               std::string& error) {
    if (i + 1 >= args.size()) {
        error = args[i] + " needs a value";
        return false;
    }
    out = args[++i];
    return true;
}

std::optional<long long> WholeNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return v;
}

}  // namespace

const char* ImportUsage() {
    return "usage: kvtimport [ODBC=dsn] [USER=name] [PASSWORD=secret] [DATA=dir] [/use_tend]\n"
           "                 [--settings FILE] [--creator NAME] [--quota BYTES]\n"
           "                 [--file-length SECONDS] FILE...\n"
           "Stores the miniSEED records of the files in the catalogue, one continuous run\n"
           "per channel at a time. Data the creator (default kvtimport) already holds are\n"
           "skipped, so importing a file twice adds nothing. --quota: bytes one channel may\n"
           "keep before its oldest files are removed (default 2^50, i.e. never).\n";
}

std::optional<ImportArgs> ParseImportArgs(const std::vector<std::string>& args, std::string& error) {
    ImportArgs a;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        std::string value;
        if (s == "--help" || s == "-h") {
            a.help = true;
            return a;
        } else if (s == "--settings") {
            if (!TakeValue(args, i, a.settingsFile, error)) return std::nullopt;
        } else if (s == "--creator") {
            if (!TakeValue(args, i, a.creator, error)) return std::nullopt;
            if (a.creator.empty()) {
                error = "--creator must not be empty";
                return std::nullopt;
            }
        } else if (s == "--quota" || s == "--file-length") {
            if (!TakeValue(args, i, value, error)) return std::nullopt;
            const auto n = WholeNumber(value);
            if (!n || *n <= 0 || (s == "--file-length" && *n > 86400)) {
                error = "bad value for " + s + ": \"" + value + "\"";
                return std::nullopt;
            }
            if (s == "--quota") a.quota = *n;
            else a.fileLength = static_cast<int>(*n);
        } else if (tools::IsConnectionArgument(s)) {
            a.connection.push_back(s);
        } else if (s.size() > 1 && s[0] == '-') {
            error = "unknown option " + s;
            return std::nullopt;
        } else {
            a.files.push_back(s);
        }
    }
    if (a.files.empty()) {
        error = "no miniSEED file given";
        return std::nullopt;
    }
    return a;
}

const char* ExportUsage() {
    return "usage: kvtexport [ODBC=dsn] [USER=name] [PASSWORD=secret] [DATA=dir] [/use_tend]\n"
           "                 [--settings FILE] [--network NN] STATION CHANNEL LCODE FROM TO OUT.mseed\n"
           "Writes the channel's samples of [FROM, TO) as miniSEED: 4096-byte records, one\n"
           "trace per catalogued piece, Steim-2 when every sample is a whole number, else\n"
           "32-bit floats. LCODE \"\", \"??\" or \"-\": none. Times: epoch seconds or UTC\n"
           "YYYY-MM-DD[T ]hh:mm[:ss[.fff]]. NN: network code written (default XX).\n";
}

std::optional<ExportArgs> ParseExportArgs(const std::vector<std::string>& args, std::string& error) {
    ExportArgs a;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& s = args[i];
        if (s == "--help" || s == "-h") {
            a.help = true;
            return a;
        } else if (s == "--settings") {
            if (!TakeValue(args, i, a.settingsFile, error)) return std::nullopt;
        } else if (s == "--network") {
            if (!TakeValue(args, i, a.network, error)) return std::nullopt;
        } else if (tools::IsConnectionArgument(s)) {
            a.connection.push_back(s);
        } else if (s.size() > 1 && s[0] == '-' && !tools::ParseTimeArgument(s)) {
            error = "unknown option " + s;
            return std::nullopt;
        } else {
            positional.push_back(s);
        }
    }
    if (positional.size() != 6) {
        error = "expected STATION CHANNEL LCODE FROM TO OUT.mseed";
        return std::nullopt;
    }
    a.station = positional[0];
    a.channel = positional[1];
    a.locationCode = (positional[2] == "-" || positional[2] == "??") ? "" : positional[2];
    a.output = positional[5];
    // Field widths of a miniSEED record header.
    if (a.station.empty() || a.station.size() > 5 || a.channel.empty() || a.channel.size() > 3 ||
        a.locationCode.size() > 2 || a.network.size() > 2) {
        error = "codes too long for miniSEED: station 1-5, channel 1-3, location 0-2, network 0-2 characters";
        return std::nullopt;
    }
    const auto begin = tools::ParseTimeArgument(positional[3]);
    const auto end = tools::ParseTimeArgument(positional[4]);
    if (!begin || !end) {
        error = "cannot read the time \"" + (!begin ? positional[3] : positional[4]) +
                "\" (epoch seconds or YYYY-MM-DD hh:mm[:ss[.fff]] UTC)";
        return std::nullopt;
    }
    a.timeBegin = *begin;
    a.timeEnd = *end;
    if (!(a.timeEnd > a.timeBegin)) {
        error = "the interval is empty: TO must come after FROM";
        return std::nullopt;
    }
    if (a.output.empty()) {
        error = "no output file given";
        return std::nullopt;
    }
    return a;
}

}  // namespace kvt::mseed
