// kvtview --snapshot end to end: the program started as a user starts it, in
// a directory with its kvtview.ini, against a throw-away SQLite catalogue.

#include "catalogue_rows.h"
#include "kvt_file_writer.h"
#include "scratch_catalogue.h"

#include <QImage>

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
    int status = -1;     // exit status, -1 when the program did not exit normally
    std::string output;  // standard error and output
};

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* bin = std::getenv("KVT_BIN_DIR");
        ASSERT_NE(bin, nullptr);
        program_ = fs::path(bin) / "kvtview";
        ASSERT_TRUE(fs::exists(program_)) << program_;
        catalogue_ = std::make_unique<kvt::test::ScratchCatalogue>();
        dir_ = fs::path(catalogue_->backend().dataDir).parent_path() /
               ("snapshot-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);

        const kvt::test::Backend& b = catalogue_->backend();
        kvt::test::OdbcSession session(b.dsn, b.user, b.password);
        kvt::test::DescribeChannel(session, "SNAP", "BHZ", std::nullopt, 20);
        std::vector<double> samples(600 * 20);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = 500 * std::sin(static_cast<double>(i) / 7);
        kvt::test::WriteKvtFile(b.dataDir + "/SNAP/a.dat", 3, samples);
        kvt::test::FileRow row;
        row.sta = "SNAP";
        row.ch = "BHZ";
        row.tBegin = 1700000000;
        row.tQty = 600;
        row.sps = 20;
        row.cPath = "SNAP/a.dat";
        kvt::test::CatalogueFile(session, row);

        std::ofstream ini(dir_ / "kvtview.ini");
        ini << "[SYSTEM]\nN#=1\nNSEC#=600\nMODE=0\n[LOG]\nLEVEL=error\nDIR=" << (dir_ / "log").string()
            << "\n[STA0]\nNAME=SNAP\nCH=BHZ\n";
    }

    void TearDown() override {
        catalogue_.reset();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Runs kvtview in the test directory with the given arguments.
    ProgramRun Kvtview(const std::string& arguments) {
        const std::string cmd = "cd '" + dir_.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                                program_.string() + "' " + arguments + " 2>&1";
        ProgramRun run;
        FILE* pipe = popen(cmd.c_str(), "r");
        if (!pipe) return run;
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) run.output.append(buf, n);
        const int status = pclose(pipe);
        if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
        return run;
    }

    std::string Connection() const {
        const kvt::test::Backend& b = catalogue_->backend();
        return "ODBC=" + b.dsn + " 'DATA=" + b.dataDir + "'";
    }

    std::string LogText() const {
        std::string all;
        if (!fs::exists(dir_ / "log")) return all;
        for (const auto& e : fs::directory_iterator(dir_ / "log")) {
            std::ifstream in(e.path(), std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            all += ss.str();
        }
        return all;
    }

    fs::path program_;
    fs::path dir_;
    std::unique_ptr<kvt::test::ScratchCatalogue> catalogue_;
};

TEST_F(SnapshotTest, WritesPictureOfRequestedSizeAndLogsBanner) {
    const ProgramRun run = Kvtview("--snapshot out.png --size 640x360 " + Connection() + " unrelated.txt");
    ASSERT_EQ(run.status, 0) << run.output;
    QImage image((dir_ / "out.png").c_str());
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(640, 360));
    int blue = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == 0x0000FF) ++blue;
    EXPECT_GT(blue, 300);  // the trace is there

    const std::string log = LogText();
    for (const std::string& line : std::vector<std::string>{
             "#[KVTVIEW] KVTView started... (v.20120420)#\r\n",
             "#[KVTVIEW] Connected to database. ODBC: " + catalogue_->backend().dsn + "  USER: KVT#\r\n",
             "#[KVTVIEW] Catalog with data: " + catalogue_->backend().dataDir + "#\r\n",
             "#[KVTVIEW] Log directory: " + (dir_ / "log").string() + "#\r\n",
             std::string("#[KVTVIEW] Use TEND field (table FILELIST): NO#\r\n"),
             std::string("#[KVTVIEW] Update TEND field (table FILELIST): NO#\r\n"),
             std::string("#[KVTVIEW] Command line: "),
             std::string("#[KVTVIEW] Time shift = 0#\r\n"),
         })
        EXPECT_NE(log.find(line), std::string::npos) << line << "\nin:\n" << log;
    // LEVEL=error: the pass leaves no trace lines.
    EXPECT_EQ(log.find("Drawing started..."), std::string::npos);
    EXPECT_EQ(log.find("Read SpS from SITECHAN"), std::string::npos);
}

TEST_F(SnapshotTest, DefaultSizeAndTendInUse) {
    const ProgramRun run = Kvtview("--snapshot=out.png /use_tend " + Connection());
    ASSERT_EQ(run.status, 0) << run.output;
    QImage image((dir_ / "out.png").c_str());
    EXPECT_EQ(image.size(), QSize(1600, 900));
    EXPECT_NE(LogText().find("Use TEND field (table FILELIST): YES#"), std::string::npos);
}

TEST_F(SnapshotTest, FailedConnectionEndsWithTheStartupText) {
    const ProgramRun run = Kvtview("--snapshot out.png ODBC=no_such_source");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("Couldn't connect to database: no_such_source.\r\nProgam terminated"),
              std::string::npos)
        << run.output;
    EXPECT_FALSE(fs::exists(dir_ / "out.png"));
    EXPECT_NE(LogText().find("Couldn't connect to database: no_such_source."), std::string::npos);
}

TEST_F(SnapshotTest, BadOptionsAreRefusedBeforeAnythingRuns) {
    for (const char* args : {"--snapshot", "--snapshot out.png --size 0x10", "--snapshot out.png --size big"}) {
        SCOPED_TRACE(args);
        const ProgramRun run = Kvtview(args);
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_NE(run.output.find("kvtview: "), std::string::npos);
        EXPECT_FALSE(fs::exists(dir_ / "log"));
    }
}

}  // namespace
