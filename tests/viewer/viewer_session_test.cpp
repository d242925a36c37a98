// Start-up of the viewer up to the connection: log question, connection
// failure, TEND repair and check, banner. Against throw-away SQLite catalogues.

#include "viewer/viewer_session.h"

#include "catalogue_rows.h"
#include "scratch_catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kvt::viewer {
namespace {

namespace fs = std::filesystem;

struct Box {
    std::string kind, text, caption;
};

class ViewerSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        catalogue_ = std::make_unique<test::ScratchCatalogue>();
        const test::Backend& b = catalogue_->backend();
        db_ = std::make_unique<test::OdbcSession>(b.dsn, b.user, b.password);
        dir_ = fs::path(b.dataDir).parent_path() /
               ("session-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        db_.reset();
        catalogue_.reset();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    void WriteSettings(const std::string& logDir, const std::string& extra = "") {
        std::ofstream(dir_ / "kvtview.ini")
            << "[LOG]\nDIR=" << logDir << "\n[DATABASE]\nODBC=" << catalogue_->backend().dsn
            << "\n" << extra;
    }

    StartupResult Start(std::vector<std::string> extraArgs = {}, bool answerYes = false) {
        const std::string program = (dir_ / "kvtview").string();
        session_ = std::make_unique<ViewerSession>((dir_ / "kvtview.ini").string(), program,
                                                   [](const char*) -> const char* { return nullptr; });
        StartupUi ui;
        ui.askYesNo = [this, answerYes](const std::string& t, const std::string& c) {
            boxes_.push_back({"ask", t, c});
            return answerYes;
        };
        ui.showError = [this](const std::string& t, const std::string& c) { boxes_.push_back({"error", t, c}); };
        ui.showInfo = [this](const std::string& t, const std::string& c) { boxes_.push_back({"info", t, c}); };
        std::vector<std::string> args{program};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        return RunStartup(*session_, args, ui);
    }

    std::string Log() const {
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
    bool Logged(const std::string& message) const {
        return Log().find("#[KVTVIEW] " + message + "#\r\n") != std::string::npos;
    }

    void AddRow(bool nullTend) {
        test::FileRow row;
        row.sta = "AAA";
        row.ch = "BHZ";
        row.tBegin = 1000;
        row.tQty = 100;
        row.cPath = "AAA/x";
        row.nullTend = nullTend;
        test::CatalogueFile(*db_, row);
    }

    std::unique_ptr<test::ScratchCatalogue> catalogue_;
    std::unique_ptr<test::OdbcSession> db_;
    std::unique_ptr<ViewerSession> session_;
    std::vector<Box> boxes_;
    fs::path dir_;
};

TEST_F(ViewerSessionTest, LogDirectoryRefusedEndsBeforeTheDatabase) {
    // A directory below a regular file can never be created.
    std::ofstream(dir_ / "file") << "x";
    WriteSettings((dir_ / "file" / "log").string());
    StartupResult r = Start();
    EXPECT_EQ(r.status, StartupStatus::LogDeclined);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].kind, "ask");
    EXPECT_EQ(boxes_[0].caption, "LOG-file warning");
    EXPECT_EQ(boxes_[0].text, "Couldn't find (create) LOG directory (" + (dir_ / "file" / "log").string() +
                                  ").\r\nDo you want to continue application without LOG-file?");
    EXPECT_FALSE(session_->connected);
}

TEST_F(ViewerSessionTest, LogDirectoryRefusedButAcceptedRunsWithoutLog) {
    std::ofstream(dir_ / "file") << "x";
    WriteSettings((dir_ / "file" / "log").string());
    StartupResult r = Start({}, /*answerYes=*/true);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(session_->connected);
}

TEST_F(ViewerSessionTest, ConnectionFailureIsShownAndLogged) {
    std::ofstream(dir_ / "kvtview.ini") << "[LOG]\nDIR=" << (dir_ / "log").string()
                                        << "\n[DATABASE]\nODBC=no_such_dsn\n";
    StartupResult r = Start();
    EXPECT_EQ(r.status, StartupStatus::ConnectFailed);
    const std::string text = "Couldn't connect to database: no_such_dsn.\r\nProgam terminated";
    EXPECT_EQ(r.message, text);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].kind, "error");
    EXPECT_EQ(boxes_[0].caption, "Database connection");
    EXPECT_EQ(boxes_[0].text, text);
    EXPECT_NE(Log().find("Couldn't connect to database: no_such_dsn.\r\r\nProgam terminated#"),
              std::string::npos);  // the line feed inside a message is stored as CR LF
}

TEST_F(ViewerSessionTest, BannerWithoutArgumentsHasNoCommandLine) {
    WriteSettings((dir_ / "log").string(), "[SYSTEM]\nT_SHIFT=-15\nFONT_SIZE=20\nFONT_NAME=Mono\n");
    ASSERT_TRUE(Start().ok());
    EXPECT_TRUE(Logged("KVTView started... (v.20120420)"));
    EXPECT_TRUE(Logged("Connected to database. ODBC: " + catalogue_->backend().dsn + "  USER: KVT"));
    EXPECT_TRUE(Logged("Log directory: " + (dir_ / "log").string()));
    EXPECT_TRUE(Logged("Use TEND field (table FILELIST): NO"));
    EXPECT_TRUE(Logged("Update TEND field (table FILELIST): NO"));
    EXPECT_TRUE(Logged("Time shift = -15"));
    EXPECT_EQ(Log().find("Command line: "), std::string::npos);
    EXPECT_EQ(session_->timeShift, -15);
    EXPECT_EQ(session_->fontSize, 20);
    EXPECT_EQ(session_->fontName, "Mono");
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ViewerSessionTest, TendRepairAndCheck) {
    struct Case {
        const char* why;
        std::vector<bool> rows;         // one FILELIST row each; true: TEND is NULL
        std::vector<std::string> args;  // after the program path
        const char* settings;
        bool useTend, updated;
        std::vector<std::string> infoBoxes;  // texts; "*" stands for any driver text
    } cases[] = {
        {"all rows have an end time", {false}, {"/use_tend"}, "", true, false, {}},
        {"a NULL end turns the field off", {false, true}, {"-USE_TEND"}, "", false, false, {}},
        {"repair on the command line fills the ends", {true}, {"/use_tend", "UPD_TEND"}, "", true, true,
         {"Field TEND (table FILELIST) has been updated!!!"}},
        {"repair from the settings file", {true}, {"/use_tend"}, "UPD_TEND=1\n", true, true,
         {"Field TEND (table FILELIST) has been updated!!!"}},
        {"repair of an empty catalogue reports the driver", {}, {"/use_tend", "upd_tend"}, "", true,
         false, {"*"}},
        {"no repair without the TEND field", {true}, {"upd_tend"}, "", false, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        boxes_.clear();
        db_->Exec("delete from FILELIST");
        for (bool nullTend : c.rows) AddRow(nullTend);
        std::ofstream(dir_ / "kvtview.ini")
            << "[LOG]\nDIR=" << (dir_ / "log").string() << "\n[DATABASE]\nODBC="
            << catalogue_->backend().dsn << "\n" << c.settings;
        ASSERT_TRUE(Start(c.args).ok());
        EXPECT_EQ(session_->useTendField, c.useTend);
        EXPECT_EQ(session_->tendUpdated, c.updated);
        ASSERT_EQ(boxes_.size(), c.infoBoxes.size());
        for (size_t i = 0; i < boxes_.size(); ++i) {
            EXPECT_EQ(boxes_[i].kind, "info");
            EXPECT_EQ(boxes_[i].caption, "Varurod");
            if (c.infoBoxes[i] != "*") {
                EXPECT_EQ(boxes_[i].text, c.infoBoxes[i]);
            }
        }
        EXPECT_TRUE(Logged(std::string("Update TEND field (table FILELIST): ") + (c.updated ? "YES" : "NO")));
        EXPECT_TRUE(Logged(std::string("Use TEND field (table FILELIST): ") + (c.useTend ? "YES" : "NO")));
        if (c.updated) {
            EXPECT_EQ(db_->QueryDouble("select count(*) from FILELIST where TEND is null"), 0.0);
        }
    }
}

}  // namespace
}  // namespace kvt::viewer
