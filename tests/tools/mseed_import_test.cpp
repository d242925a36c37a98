// kvtimport and kvtexport against a throw-away SQLite catalogue, with real
// miniSEED data that no one here wrote: the example file of the libmseed
// documentation package. Every sample the interval reader returns after an
// import is compared with what libmseed itself decodes; an export is decoded
// again by libmseed; a re-import adds nothing; a corrupted and a truncated
// file import everything else and name the bad record.
#include "dblib/wave_database.h"

#include "odbc_session.h"
#include "scratch_catalogue.h"

#include <libmseed.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Where Debian's libmseed-doc puts the example file (plain or compressed).
const char* const kExampleFile = "/usr/share/doc/libmseed-dev/examples/test.mseed";

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs a program of the build with the arguments (already quoted as needed).
Outcome RunTool(const std::string& dir, const std::string& program, const std::string& arguments) {
    const char* bin = std::getenv("KVT_BIN_DIR");
    const std::string out = dir + "/" + program + ".out", err = dir + "/" + program + ".err";
    const std::string command = std::string(bin ? bin : ".") + "/" + program + " " + arguments + " > '" +
                                out + "' 2> '" + err + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

// One trace as libmseed decodes and joins it by itself.
struct Trace {
    std::string network, station, location, channel;
    double start = 0;  // epoch s
    double rate = 0;
    std::vector<float> samples;
    bool integral = true;
};

std::vector<Trace> ReadWithLibmseed(const std::string& path) {
    MSTraceGroup* group = nullptr;
    const int rc = ms_readtraces(&group, const_cast<char*>(path.c_str()), 0, -1.0, -1.0, 0, 1, 1, 0);
    EXPECT_EQ(MS_NOERROR, rc);
    std::vector<Trace> out;
    for (MSTrace* t = group ? group->traces : nullptr; t != nullptr; t = t->next) {
        Trace tr{t->network, t->station, t->location, t->channel,
                 static_cast<double>(t->starttime / HPTMODULUS) +
                     static_cast<double>(t->starttime % HPTMODULUS) / HPTMODULUS,
                 t->samprate, {}, t->sampletype == 'i'};
        for (int64_t i = 0; i < t->numsamples; ++i) {
            switch (t->sampletype) {
            case 'i': tr.samples.push_back(static_cast<float>(static_cast<int32_t*>(t->datasamples)[i])); break;
            case 'f': tr.samples.push_back(static_cast<float*>(t->datasamples)[i]); break;
            case 'd': tr.samples.push_back(static_cast<float>(static_cast<double*>(t->datasamples)[i])); break;
            default: break;
            }
        }
        out.push_back(std::move(tr));
    }
    mst_freegroup(&group);
    return out;
}

class MseedImport : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(catalogue_.backend().dataDir).parent_path().string() + "/mseed";
        fs::create_directories(dir_);
        sample_ = dir_ + "/test.mseed";
        if (fs::exists(kExampleFile)) {
            fs::copy_file(kExampleFile, sample_, fs::copy_options::overwrite_existing);
        } else if (fs::exists(std::string(kExampleFile) + ".gz")) {
            const std::string cmd = std::string("gzip -dc '") + kExampleFile + ".gz' > '" + sample_ + "'";
            ASSERT_EQ(0, std::system(cmd.c_str()));
        } else {
            GTEST_SKIP() << "libmseed-doc is not installed";
        }
        expected_ = ReadWithLibmseed(sample_);
        ASSERT_FALSE(expected_.empty());
    }

    std::string Connection() const {
        return "ODBC=" + catalogue_.backend().dsn + " 'DATA=" + catalogue_.backend().dataDir + "'";
    }
    Outcome Import(const std::string& files) { return RunTool(dir_, "kvtimport", Connection() + " " + files); }

    void Connect(kvt::CWaveDatabase& db) {
        ASSERT_EQ(0, db.SetParameter("odbc", catalogue_.backend().dsn));
        ASSERT_EQ(0, db.SetParameter("data", catalogue_.backend().dataDir));
        ASSERT_TRUE(db.Connect()) << db.lastDiagnostic();
    }

    // The samples the interval reader returns for a trace's time span, joined.
    std::vector<float> Catalogued(kvt::CWaveDatabase& db, const Trace& t, double& firstTime, double& sps) {
        std::vector<kvt::DataSegment> segs;
        // The catalogue keeps start times to 0.1 ms (rounded), so the request
        // starts half a sample early to take the first sample whole.
        const double end = t.start + static_cast<double>(t.samples.size()) / t.rate;
        EXPECT_EQ(0, db.ReadInterval(t.station, t.channel, t.location, t.start - 0.5 / t.rate, end, segs));
        std::vector<float> all;
        firstTime = segs.empty() ? 0 : segs[0].tBegin;
        sps = segs.empty() ? 0 : segs[0].sps;
        for (const auto& s : segs) all.insert(all.end(), s.samples.begin(), s.samples.begin() + s.count);
        return all;
    }

    void ExpectSamples(const std::vector<float>& want, const std::vector<float>& got, bool exact) {
        ASSERT_EQ(want.size(), got.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            if (exact) ASSERT_EQ(want[i], got[i]) << "sample " << i;
            else ASSERT_FLOAT_EQ(want[i], got[i]) << "sample " << i;
        }
    }

    kvt::test::ScratchCatalogue catalogue_;
    std::string dir_, sample_;
    std::vector<Trace> expected_;
};

TEST_F(MseedImport, EverySampleAsLibmseedDecodesIt) {
    const Outcome o = Import("'" + sample_ + "'");
    ASSERT_EQ(0, o.status) << o.err;
    EXPECT_NE(std::string::npos, o.out.find("test.mseed: ")) << o.out;
    EXPECT_NE(std::string::npos, o.out.find("imported 1 file(s): ")) << o.out;
    kvt::CWaveDatabase db;
    Connect(db);
    kvt::test::OdbcSession session(catalogue_.backend().dsn, "", "");
    for (const Trace& t : expected_) {
        SCOPED_TRACE(t.network + "." + t.station + "." + t.location + "." + t.channel);
        double first = 0, sps = 0;
        const std::vector<float> got = Catalogued(db, t, first, sps);
        ExpectSamples(t.samples, got, t.integral);
        // The catalogue keeps times to 0.1 ms and rates to 0.01 samples/s.
        EXPECT_NEAR(t.start, first, 1e-4);
        EXPECT_NEAR(t.rate, sps, 0.01);
        const std::string lcode = t.location.empty()
                                      ? std::string("(LCODE is null or LCODE='?" "?')")
                                      : "LCODE='" + kvt::test::Quote(t.location) + "'";
        const std::string where = " where STA='" + kvt::test::Quote(t.station) + "' and CHAN='" +
                                  kvt::test::Quote(t.channel) + "' and " + lcode;
        EXPECT_EQ(1, session.QueryCount("select count(*) from SITECHAN" + where));
        EXPECT_NEAR(t.rate, session.QueryDouble("select SPS from SITECHAN" + where).value_or(0), 1e-4);
    }
}

TEST_F(MseedImport, ReimportAddsNothing) {
    ASSERT_EQ(0, Import("'" + sample_ + "'").status);
    kvt::test::OdbcSession session(catalogue_.backend().dsn, "", "");
    const std::string rows = "select STA,CH,LCODE,TBEGIN,TQTY,CPATH from FILELIST order by STA,CH,TBEGIN";
    const auto before = session.Query(rows);
    const long long files = std::distance(fs::recursive_directory_iterator(catalogue_.backend().dataDir),
                                          fs::recursive_directory_iterator{});
    const Outcome again = Import("'" + sample_ + "'");
    ASSERT_EQ(0, again.status) << again.err;
    EXPECT_NE(std::string::npos, again.out.find(" 0 samples stored")) << again.out;
    EXPECT_EQ(before, session.Query(rows));
    EXPECT_EQ(files, std::distance(fs::recursive_directory_iterator(catalogue_.backend().dataDir),
                                   fs::recursive_directory_iterator{}));
    EXPECT_EQ(static_cast<long long>(expected_.size()),
              session.QueryCount("select count(*) from SITECHAN"));
}

TEST_F(MseedImport, ExportDecodesToTheSameSamples) {
    ASSERT_EQ(0, Import("'" + sample_ + "'").status);
    for (const Trace& t : expected_) {
        SCOPED_TRACE(t.station + "." + t.channel);
        const std::string out = dir_ + "/export-" + t.station + t.channel + ".mseed";
        char times[96];
        std::snprintf(times, sizeof times, "%.6f %.6f", t.start - 0.5 / t.rate,
                      t.start + static_cast<double>(t.samples.size()) / t.rate);
        const Outcome o = RunTool(dir_, "kvtexport",
                                  Connection() + " " + t.station + " " + t.channel + " '" +
                                      (t.location.empty() ? "-" : t.location) + "' " + times + " '" + out + "'");
        ASSERT_EQ(0, o.status) << o.err;
        const std::vector<Trace> back = ReadWithLibmseed(out);
        ASSERT_FALSE(back.empty());
        EXPECT_NEAR(t.start, back[0].start, 1e-4);
        EXPECT_EQ(t.station, back[0].station);
        EXPECT_EQ(t.location, back[0].location);
        EXPECT_EQ(t.integral, back[0].integral);  // Steim-2 for whole numbers
        std::vector<float> all;
        for (const Trace& b : back) all.insert(all.end(), b.samples.begin(), b.samples.end());
        ExpectSamples(t.samples, all, true);
        // Records of 4096 bytes.
        EXPECT_EQ(0u, fs::file_size(out) % 4096);
    }
}

TEST_F(MseedImport, ExportErrorsAreClear) {
    ASSERT_EQ(0, Import("'" + sample_ + "'").status);
    const Trace& t = expected_[0];
    const std::string lcode = t.location.empty() ? "-" : t.location;
    const struct {
        const char* reason;
        std::string args;
        int status;
        const char* message;
    } cases[] = {
        {"an interval without data", t.station + " " + t.channel + " " + lcode + " 1000 2000 '" + dir_ + "/none.mseed'", 1,
         "no data for"},
        {"an unreadable time", t.station + " " + t.channel + " " + lcode + " noon 2000 '" + dir_ + "/none.mseed'", 2,
         "cannot read the time \"noon\""},
        {"an unwritable output", t.station + " " + t.channel + " " + lcode + " " + std::to_string(t.start) + " " + std::to_string(t.start + 60) + " '" + dir_ + "/no/such/dir.mseed'", 1,
         "cannot create"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const Outcome o = RunTool(dir_, "kvtexport", Connection() + " " + c.args);
        EXPECT_EQ(c.status, o.status);
        EXPECT_NE(std::string::npos, o.err.find(c.message)) << o.err;
    }
    EXPECT_FALSE(fs::exists(dir_ + "/none.mseed"));
}

// Record boundaries of the example file as libmseed reads it.
std::vector<std::pair<long long, long long>> Records(const std::string& path) {  // offset, samples
    std::vector<std::pair<long long, long long>> out;
    MSFileParam* fp = nullptr;
    MSRecord* msr = nullptr;
    off_t pos = 0;
    while (ms_readmsr_r(&fp, &msr, path.c_str(), 0, &pos, nullptr, 1, 0, 0) == MS_NOERROR)
        out.push_back({static_cast<long long>(pos), msr->samplecnt});
    ms_readmsr_r(&fp, &msr, nullptr, 0, nullptr, nullptr, 0, 0, 0);
    return out;
}

TEST_F(MseedImport, BadRecordsAreNamedAndSkipped) {
    const auto records = Records(sample_);
    ASSERT_GE(records.size(), 3u);
    long long total = 0;
    for (const auto& r : records) total += r.second;
    const std::string data = Slurp(sample_);
    struct Case {
        const char* reason;
        std::string bytes;
        long long badOffset;
        long long lostSamples;
        const char* message;
    };
    std::string corrupt = data;
    const auto [badAt, badSamples] = records[1];
    for (int i = 0; i < 20; ++i) corrupt[static_cast<std::size_t>(badAt) + i] = '#';
    const auto [lastAt, lastSamples] = records.back();
    const std::string truncated = data.substr(0, static_cast<std::size_t>(lastAt) + 100);
    const Case cases[] = {
        {"a record with a destroyed header", corrupt, badAt, badSamples, "not a valid miniSEED record header"},
        {"a file cut inside its last record", truncated, lastAt, lastSamples, "truncated record"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        kvt::test::ScratchCatalogue fresh;
        const std::string file = dir_ + "/bad" + std::to_string(n++) + ".mseed";
        std::ofstream(file, std::ios::binary) << c.bytes;
        const Outcome o = RunTool(dir_, "kvtimport",
                                  "ODBC=" + fresh.backend().dsn + " 'DATA=" + fresh.backend().dataDir + "' '" +
                                      file + "'");
        EXPECT_EQ(3, o.status) << o.err;
        EXPECT_NE(std::string::npos, o.err.find(file + ": offset " + std::to_string(c.badOffset) + ": " + c.message))
            << o.err;
        kvt::test::OdbcSession session(fresh.backend().dsn, "", "");
        const double stored = session.QueryDouble("select sum(TQTY*SPS) from FILELIST").value_or(0);
        EXPECT_NEAR(static_cast<double>(total - c.lostSamples), stored, 1.0);
    }
}

}  // namespace

namespace {

TEST_F(MseedImport, AnUnreadableFileDoesNotStopTheOthers) {
    const std::string missing = dir_ + "/missing.mseed";
    const Outcome o = Import("'" + missing + "' '" + sample_ + "'");
    EXPECT_EQ(3, o.status);
    EXPECT_NE(std::string::npos, o.err.find("kvtimport: cannot open " + missing)) << o.err;
    kvt::test::OdbcSession session(catalogue_.backend().dsn, "", "");
    long long total = 0;
    for (const Trace& t : expected_) total += static_cast<long long>(t.samples.size());
    EXPECT_NEAR(static_cast<double>(total),
                session.QueryDouble("select sum(TQTY*SPS) from FILELIST").value_or(0), 1.0);
    const Outcome usage = Import("--quota");
    EXPECT_EQ(2, usage.status);
    EXPECT_NE(std::string::npos, usage.err.find("--quota needs a value")) << usage.err;
}

}  // namespace
