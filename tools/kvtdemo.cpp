// kvtdemo: writes waveform data files for a demonstration or benchmark
// catalogue and prints the SQL that catalogues them (SITECHAN, FILELIST,
// EVENTLIST rows) on standard output, for the SQLite catalogue of the demo.
//
//   kvtdemo --data DIR --now EPOCH                       the demo station set
//   kvtdemo --data DIR --now EPOCH --bench CHANNELS SECONDS RATE FILESECONDS
//
// Data files are "[KVT5.x]" files with 32-bit float samples after a 512-byte
// header, named and laid out as the recording programs do.

#include "dblib/data_file.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kDataOffset = 512;

struct Args {
    std::string dataDir;
    double now = 0;
    bool bench = false;
    int channels = 64;
    double seconds = 3600;
    double rate = 100;
    double fileSeconds = 3600;
};

std::string Quote(const std::string& v) {
    std::string out = "'";
    for (char c : v) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

std::string LcodeValue(const std::string& lcode) { return lcode.empty() ? "NULL" : Quote(lcode); }

// A small deterministic noise source, so that every run draws the same picture
// shape (the times follow the clock).
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
    float Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<float>(state_ >> 8) / static_cast<float>(1u << 24) - 0.5f;
    }

private:
    std::uint32_t state_;
};

// Ground motion of one channel at time t: microseismic swell, noise and, when
// an event time is given, a decaying wave train after it.
struct Signal {
    double swellPeriod = 6.0;
    float swell = 150;
    float noise = 160;
    double eventTime = 0;  // 0: no event
    float eventAmplitude = 4000;
};

bool WriteFile(const std::filesystem::path& path, const std::string& station,
               const std::string& channel, double tBegin, double seconds, double rate,
               const Signal& sig, Noise& noise) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << kvt::HeaderBlock(kDataOffset, kvt::ToLocalTime(tBegin), seconds, rate, station, channel);
    const auto count = static_cast<std::int64_t>(seconds * rate);
    std::vector<float> samples(static_cast<size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        const double t = tBegin + static_cast<double>(i) / rate;
        double v = sig.swell * std::sin(2 * M_PI * t / sig.swellPeriod) + sig.noise * noise.Next();
        if (sig.eventTime > 0 && t >= sig.eventTime) {
            const double dt = t - sig.eventTime;
            v += sig.eventAmplitude * std::exp(-dt / 25.0) * std::sin(2 * M_PI * 1.3 * dt);
        }
        samples[static_cast<size_t>(i)] = static_cast<float>(v);
    }
    // The format stores little-endian floats, which is this machine's order.
    out.write(reinterpret_cast<const char*>(samples.data()),
              static_cast<std::streamsize>(samples.size() * sizeof(float)));
    return static_cast<bool>(out);
}

// Writes the files of one channel covering [from, to) in pieces of
// fileSeconds and prints their FILELIST rows. Returns false on a write error.
bool Channel(const Args& a, const std::string& sta, const std::string& ch,
             const std::string& lcode, double rate, double catalogueRate, double from, double to,
             double fileSeconds, const Signal& sig) {
    Noise noise(static_cast<std::uint32_t>(std::hash<std::string>{}(sta + ch)));
    for (double t = from; t < to - 1e-6; t += fileSeconds) {
        const double len = std::min(fileSeconds, to - t);
        const std::string rel = kvt::DataFileRelativeName(sta, ch, kvt::ToLocalTime(t));
        if (!WriteFile(std::filesystem::path(a.dataDir) / rel, sta, ch, t, len, rate, sig, noise)) {
            std::fprintf(stderr, "kvtdemo: couldn't write %s/%s\n", a.dataDir.c_str(), rel.c_str());
            return false;
        }
        std::printf("INSERT INTO FILELIST (STA, CH, LCODE, TBEGIN, TQTY, SPS, DATATYPE, FOFF, "
                    "CPATH, TEND, CREATER) VALUES (%s, %s, %s, %.4f, %.4f, %.4f, %d, %d, %s, "
                    "%.4f, 'kvtdemo');\n",
                    Quote(sta).c_str(), Quote(ch).c_str(), LcodeValue(lcode).c_str(), t, len,
                    catalogueRate, static_cast<int>(kvt::kFloat32), kDataOffset,
                    Quote(rel).c_str(), t + len);
    }
    return true;
}

void SiteChan(const std::string& sta, const std::string& ch, const std::string& lcode,
              double rate) {
    std::printf("INSERT INTO SITECHAN (STA, CHAN, SPS, LCODE, DESCR) VALUES (%s, %s, %.4f, %s, "
                "'kvtdemo');\n",
                Quote(sta).c_str(), Quote(ch).c_str(), rate, LcodeValue(lcode).c_str());
}

void Event(const std::string& sta, double t) {
    std::printf("INSERT INTO EVENTLIST (STA, TBEGIN, EVENT_TIME) VALUES (%s, %.4f, %.4f);\n",
                Quote(sta).c_str(), t, t);
}

// Twelve channels ending now, among them one that lags, one without data,
// one not described, one whose catalogue rate differs and one with a gap.
bool Demo(const Args& a) {
    const double now = std::floor(a.now);
    const double from = now - 3600;
    const double quake = now - 420;
    struct Normal {
        const char* sta;
        const char* ch;
        const char* lcode;
        double rate;
        bool event;
    } normals[] = {
        {"ARU", "BHZ", "", 20, true},  {"OBN", "BHZ", "", 20, true},
        {"KIV", "BHZ", "00", 40, true}, {"KIV", "BHN", "00", 40, false},
        {"KIV", "BHE", "00", 40, false}, {"TLY", "SHZ", "", 50, true},
        {"MOS", "HHZ", "", 100, false},
    };
    std::printf("BEGIN;\n");
    int k = 0;
    for (const auto& n : normals) {
        Signal sig;
        sig.swellPeriod = 5.0 + k;
        // The three KIV components see the same event; events are marked per station.
        sig.eventTime = std::string(n.sta) == "KIV" ? quake + 16.0 : n.event ? quake + 8.0 * k : 0;
        if (!Channel(a, n.sta, n.ch, n.lcode, n.rate, n.rate, from, now, 600, sig)) return false;
        SiteChan(n.sta, n.ch, n.lcode, n.rate);
        if (n.event) Event(n.sta, sig.eventTime);
        ++k;
    }
    Signal quiet;
    // A station whose newest data are an hour and a half old.
    if (!Channel(a, "BRVK", "BHZ", "", 20, 20, from - 7200, now - 5400, 600, quiet)) return false;
    SiteChan("BRVK", "BHZ", "", 20);
    // A station with a two-minute hole in its recording: drawn piece by piece.
    Signal gap;
    gap.eventTime = quake + 30;
    if (!Channel(a, "ZAK", "BHZ", "", 20, 20, from, now - 240, 600, gap)) return false;
    if (!Channel(a, "ZAK", "BHZ", "", 20, 20, now - 120, now, 600, gap)) return false;
    SiteChan("ZAK", "BHZ", "", 20);
    Event("ZAK", gap.eventTime);
    // The catalogue says 19.999 samples/s where the description says 20.
    if (!Channel(a, "ELT", "BHZ", "", 20, 19.999, from, now, 600, quiet)) return false;
    SiteChan("ELT", "BHZ", "", 20);
    // Described, never recorded.
    SiteChan("NRIL", "BHZ", "", 20);
    // Recorded but missing from SITECHAN.
    if (!Channel(a, "YAK", "BHZ", "", 20, 20, from, now, 600, quiet)) return false;
    std::printf("COMMIT;\n");
    return true;
}

bool Bench(const Args& a) {
    const double now = std::floor(a.now);
    std::printf("BEGIN;\n");
    for (int i = 0; i < a.channels; ++i) {
        char sta[16];
        std::snprintf(sta, sizeof sta, "B%02d", i);
        Signal sig;
        sig.swellPeriod = 4.0 + i % 7;
        if (!Channel(a, sta, "BHZ", "", a.rate, a.rate, now - a.seconds, now, a.fileSeconds, sig))
            return false;
        SiteChan(sta, "BHZ", "", a.rate);
    }
    std::printf("COMMIT;\n");
    return true;
}

bool ParseNumber(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(out);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: kvtdemo --data DIR --now EPOCH [--bench CHANNELS SECONDS RATE "
                 "FILESECONDS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Args a;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--data" && i + 1 < argc) {
            a.dataDir = argv[++i];
        } else if (arg == "--now" && i + 1 < argc) {
            if (!ParseNumber(argv[++i], a.now) || a.now <= 0) return Usage();
        } else if (arg == "--bench" && i + 4 < argc) {
            double ch = 0;
            a.bench = true;
            if (!ParseNumber(argv[++i], ch) || !ParseNumber(argv[++i], a.seconds) ||
                !ParseNumber(argv[++i], a.rate) || !ParseNumber(argv[++i], a.fileSeconds) ||
                ch < 1 || ch > 64 || a.seconds <= 0 || a.rate <= 0 || a.fileSeconds <= 0)
                return Usage();
            a.channels = static_cast<int>(ch);
        } else {
            return Usage();
        }
    }
    if (a.dataDir.empty() || a.now <= 0) return Usage();
    const bool ok = a.bench ? Bench(a) : Demo(a);
    return ok ? 0 : 1;
}
