// Decoding and writing miniSEED files through libmseed without a catalogue:
// every sample encoding the importer accepts, records of several streams,
// gaps and repeats, damaged records, and the export's choice of encoding.
#include "mseed_file.h"

#include <libmseed.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace kvt::mseed;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "kvt-mseed-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void Append(char* record, int length, void* data) {
    static_cast<std::string*>(data)->append(record, static_cast<std::size_t>(length));
}

// Packs samples (as the sample type the encoding needs) into records with libmseed.
std::string Pack(const char* sta, double start, double rate, const std::vector<double>& values,
                 int encoding, int reclen = 512) {
    MSTrace* mst = mst_init(nullptr);
    std::strcpy(mst->network, "XX");
    std::strcpy(mst->station, sta);
    std::strcpy(mst->channel, "BHZ");
    mst->dataquality = 'D';
    mst->starttime = TicksFromEpoch(start);
    mst->samprate = rate;
    const std::size_t n = values.size();
    if (encoding == DE_FLOAT64) {
        auto* d = static_cast<double*>(std::malloc(n * 8));
        for (std::size_t i = 0; i < n; ++i) d[i] = values[i];
        mst->datasamples = d;
        mst->sampletype = 'd';
    } else if (encoding == DE_FLOAT32) {
        auto* f = static_cast<float*>(std::malloc(n * 4));
        for (std::size_t i = 0; i < n; ++i) f[i] = static_cast<float>(values[i]);
        mst->datasamples = f;
        mst->sampletype = 'f';
    } else {
        auto* v = static_cast<std::int32_t*>(std::malloc(n * 4));
        for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::int32_t>(values[i]);
        mst->datasamples = v;
        mst->sampletype = 'i';
    }
    mst->numsamples = static_cast<int64_t>(n);
    mst->samplecnt = mst->numsamples;
    std::string out;
    int64_t packed = 0;
    EXPECT_GT(mst_pack(mst, &Append, &out, reclen, static_cast<flag>(encoding), 1, &packed, 1, 0, nullptr), 0);
    EXPECT_EQ(static_cast<int64_t>(n), packed);
    mst_free(&mst);
    return out;
}

std::string Save(const TempDir& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir.path() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::vector<double> Wave(std::size_t n, double scale) {
    std::vector<double> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = std::round(scale * std::sin(0.05 * static_cast<double>(i)) + static_cast<double>(i % 7));
    return v;
}

TEST(MseedDecode, EveryEncoding) {
    TempDir dir;
    const struct {
        const char* reason;
        int encoding;
        double scale;
        double fraction;  // added to each value (only floats keep it)
    } cases[] = {
        {"16-bit integers", DE_INT16, 3000, 0},
        {"32-bit integers", DE_INT32, 5e6, 0},
        {"Steim-1", DE_STEIM1, 5e4, 0},
        {"Steim-2", DE_STEIM2, 5e4, 0},
        {"32-bit floats", DE_FLOAT32, 100, 0.25},
        {"64-bit floats", DE_FLOAT64, 100, 0.125},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        std::vector<double> values = Wave(1500, c.scale);
        for (double& v : values) v += c.fraction;
        const std::string file = Save(dir, "enc.mseed", Pack("ENC", 1700000000.25, 40, values, c.encoding));
        const DecodedFile d = DecodeFile(file);
        EXPECT_EQ("", d.error);
        EXPECT_TRUE(d.problems.empty());
        const Grouping g = GroupIntoRuns(d.records);
        ASSERT_EQ(1u, g.runs.size());
        EXPECT_EQ(1700000000.25, g.runs[0].start);
        EXPECT_EQ(40.0, g.runs[0].rate);
        EXPECT_EQ((StreamId{"XX", "ENC", "", "BHZ"}), g.runs[0].id);
        ASSERT_EQ(values.size(), g.runs[0].samples.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            ASSERT_EQ(static_cast<float>(values[i]), g.runs[0].samples[i]) << i;
    }
}

TEST(MseedDecode, StreamsGapsAndRepeats) {
    TempDir dir;
    const auto w = Wave(400, 1000);
    // A: two stretches 60 s apart; B: one stretch given twice; records interleaved.
    const std::string bytes = Pack("A", 1000, 10, w, DE_STEIM2) + Pack("B", 1000, 10, w, DE_STEIM1) +
                              Pack("A", 1100, 10, w, DE_STEIM2) + Pack("B", 1000, 10, w, DE_STEIM1);
    const DecodedFile d = DecodeFile(Save(dir, "mixed.mseed", bytes));
    EXPECT_TRUE(d.problems.empty());
    const Grouping g = GroupIntoRuns(d.records);
    ASSERT_EQ(3u, g.runs.size());
    EXPECT_EQ("A", g.runs[0].id.station);
    EXPECT_EQ(1100.0, g.runs[1].start);
    EXPECT_EQ("B", g.runs[2].id.station);
    EXPECT_EQ(400u, g.runs[2].samples.size());
    EXPECT_EQ(1, g.gaps);
    EXPECT_GE(g.overlaps, 1);
}

TEST(MseedDecode, DamagedRecordsAreNamedByOffset) {
    TempDir dir;
    const std::string good = Pack("A", 1000, 10, Wave(2000, 1000), DE_STEIM2);
    ASSERT_EQ(0u, good.size() % 512);
    ASSERT_GE(good.size(), 4u * 512);
    std::string header = good;
    header.replace(1024, 8, "garbage!");
    std::string cut = good.substr(0, good.size() - 200);
    std::string frames = good;
    for (std::size_t i = 1024 + 128; i < 1024 + 512; ++i) frames[i] = static_cast<char>(0x5a ^ i);
    // The first frame follows the 64-byte header with its blockettes; its
    // third word is the record's last sample.
    std::string lastSample = good;
    lastSample[1024 + 64 + 8] = static_cast<char>(lastSample[1024 + 64 + 8] ^ 0x40);
    const struct {
        const char* reason;
        std::string bytes;
        std::int64_t offset;
        const char* what;
        std::size_t recordsLost;
    } cases[] = {
        {"destroyed header of the third record", header, 1024, "not a valid miniSEED record header", 1},
        {"file cut inside its last record", cut, static_cast<std::int64_t>(good.size()) - 512, "truncated record", 1},
        {"trailing bytes too short for a header", good + "junk", static_cast<std::int64_t>(good.size()),
         "truncated record (4 bytes left)", 0},
        {"scrambled compressed samples of the third record", frames, 1024, "record cannot be decoded", 1},
        {"samples that do not end at the record's own last value", lastSample, 1024,
         "record cannot be decoded: Steim integrity check failed", 1},
    };
    const std::size_t all = good.size() / 512;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const DecodedFile d = DecodeFile(Save(dir, "bad.mseed", c.bytes));
        ASSERT_EQ(1u, d.problems.size());
        EXPECT_EQ(c.offset, d.problems[0].offset);
        EXPECT_EQ(0u, d.problems[0].what.rfind(c.what, 0)) << d.problems[0].what;
        EXPECT_EQ(all - c.recordsLost, d.records.size());
    }
    EXPECT_NE("", DecodeFile(dir.path() + "/missing.mseed").error);
}

TEST(MseedWrite, EncodingFollowsTheSamples) {
    TempDir dir;
    const struct {
        const char* reason;
        std::vector<float> samples;
        int encoding;
    } cases[] = {
        {"whole numbers are compressed", {1, -2, 3, 40000, -5}, DE_STEIM2},
        {"fractions stay floats", {1.5f, -2, 3}, DE_FLOAT32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const std::string path = dir.path() + "/out.mseed";
        std::int64_t records = 0;
        ASSERT_EQ("", WriteFile(path, {{{"XX", "ABC", "00", "BHZ"}, 1700000000.5, 20, c.samples}}, records));
        EXPECT_EQ(1, records);
        EXPECT_EQ(4096u, fs::file_size(path));
        MSRecord* msr = nullptr;
        ASSERT_EQ(MS_NOERROR, ms_readmsr(&msr, path.c_str(), 0, nullptr, nullptr, 1, 1, 0));
        EXPECT_EQ(c.encoding, msr->encoding);
        EXPECT_EQ(TicksFromEpoch(1700000000.5), msr->starttime);
        EXPECT_EQ(static_cast<int64_t>(c.samples.size()), msr->numsamples);
        ms_readmsr(&msr, nullptr, 0, nullptr, nullptr, 0, 0, 0);
    }
    std::int64_t records = 0;
    EXPECT_NE("", WriteFile(dir.path() + "/no/such/dir/x.mseed", {{{"XX", "A", "", "B"}, 0, 1, {1}}}, records));
}

}  // namespace
