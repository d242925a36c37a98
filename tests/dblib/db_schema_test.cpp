// The schema registry: built-in names, and the refresh to the database's own
// spelling in the viewer's and the editor's variant.
#include "dblib_test_support.h"

#include "dblib/db_schema.h"
#include "dblib/wave_database.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using kvt::CDbSchema;

TEST(DbSchemaBuiltIn, NamesAfterConstruction) {
    for (auto variant : {CDbSchema::Variant::Viewer, CDbSchema::Variant::Editor}) {
        const CDbSchema s(variant);
        EXPECT_STREQ("FILELIST", s.fileList.name);
        EXPECT_STREQ("TBEGIN", s.fileList.TBEGIN);
        EXPECT_STREQ("TEND", s.fileList.TEND);
        EXPECT_STREQ("CH", s.fileList.CH);
        EXPECT_STREQ("CHAN", s.siteChan.CHAN);
        EXPECT_STREQ("GEOGRAPHIC_REGION", s.geographicRegion.name);
        EXPECT_STREQ("EVENT_TIME", s.eventList.EVENT_TIME);
        EXPECT_STREQ("EVENT_TYPE", s.eventList.EVENT_TYPE);
        EXPECT_STREQ("MWA", s.arrival.MWA);
        EXPECT_STREQ("NCSEM", s.earthquake.NCSEM);
    }
}

TEST(DbSchemaBuiltIn, RefreshWithoutConnectionKeepsBuiltInNames) {
    CDbSchema s;
    std::strcpy(s.fileList.name, "changed");
    s.Refresh(nullptr);
    EXPECT_STREQ("FILELIST", s.fileList.name);
    EXPECT_EQ(nullptr, s.hdbc());
}

// A catalogue created in lower case, as a server that folds names would list
// it; sitechan exists only as a view, which the table list does not show.
// The scratch catalogue (all tables, upper case) is rebuilt so once per process.
class DbSchemaRefresh : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kvt::dbtest::ConnectTo(d, kvt::dbtest::CustomCatalogue())) << d.lastDiagnostic();
        static bool prepared = false;  // the scratch catalogue lives as long as the process
        if (prepared) return;
        for (const char* table :
             {"FILELIST", "SITECHAN", "SITE", "ORIGIN", "NETWORKS", "LASTID", "ID_SENS", "ID_FREQ",
              "GEOGRAPHIC_REGION", "EVENTLIST", "EARTHQUAKE", "CONTREG", "CALIBRATION", "ARRIVAL"})
            ASSERT_TRUE(kvt::dbtest::Exec(d.hdbc(), std::string("drop table ") + table));
        for (const char* sql : {
                 "create table filelist (nindex integer, sta varchar(16), tbegin double, "
                 "tqty double, tend double, lcode varchar(8))",
                 "create table arrival (nindex integer, fm varchar(2), sta varchar(16))",
                 "create table networks (nindex integer, netname varchar(16))",
                 "create table eventlist (nindex integer, event_time double, event_type "
                 "varchar(8))",
                 "create table base_sitechan (sta varchar(16), chan varchar(16))",
                 "create view sitechan as select sta, chan from base_sitechan"})
            ASSERT_TRUE(kvt::dbtest::Exec(d.hdbc(), sql));
        prepared = true;
    }
    kvt::CWaveDatabase d;
};

TEST_F(DbSchemaRefresh, ViewerRegistryTakesTheDatabaseSpelling) {
    CDbSchema s;
    s.Refresh(d.hdbc());
    EXPECT_EQ(d.hdbc(), s.hdbc());
    EXPECT_STREQ("filelist", s.fileList.name);
    EXPECT_STREQ("tbegin", s.fileList.TBEGIN);
    EXPECT_STREQ("tend", s.fileList.TEND);
    EXPECT_STREQ("CPATH", s.fileList.CPATH);  // not in the table: built-in
    EXPECT_STREQ("arrival", s.arrival.name);
    EXPECT_STREQ("nindex", s.arrival.NINDEX);
    EXPECT_STREQ("FM", s.arrival.FM);          // never looked up
    EXPECT_STREQ("NINDEX", s.networks.NINDEX); // never looked up
    EXPECT_STREQ("netname", s.networks.NETNAME);
    EXPECT_STREQ("event_time", s.eventList.EVENT_TIME);
    EXPECT_STREQ("EVENT_TYPE", s.eventList.EVENT_TYPE);
    // Not listed as a table, but its columns are asked for under the built-in name.
    EXPECT_STREQ("SITECHAN", s.siteChan.name);
    EXPECT_STREQ("sta", s.siteChan.STA);
}

TEST_F(DbSchemaRefresh, EditorRegistryDiffers) {
    CDbSchema s(CDbSchema::Variant::Editor);
    s.Refresh(d.hdbc());
    EXPECT_STREQ("filelist", s.fileList.name);
    EXPECT_STREQ("tbegin", s.fileList.TBEGIN);
    EXPECT_STREQ("TEND", s.fileList.TEND);        // the editor's FILELIST has no TEND
    EXPECT_STREQ("event_type", s.eventList.EVENT_TYPE);
    EXPECT_STREQ("EVENT_TIME", s.eventList.EVENT_TIME);
    EXPECT_STREQ("SITECHAN", s.siteChan.name);
    EXPECT_STREQ("STA", s.siteChan.STA);          // columns only of listed tables
}

TEST_F(DbSchemaRefresh, EveryRefreshStartsFromTheBuiltInNames) {
    CDbSchema s;
    s.Refresh(d.hdbc());
    ASSERT_STREQ("filelist", s.fileList.name);
    kvt::CWaveDatabase other;
    ASSERT_TRUE(kvt::dbtest::ConnectTo(other, kvt::dbtest::NoTendCatalogue()));
    s.Refresh(other.hdbc());
    EXPECT_STREQ("FILELIST", s.fileList.name);
    EXPECT_STREQ("TBEGIN", s.fileList.TBEGIN);
    EXPECT_STREQ("TEND", s.fileList.TEND);
    EXPECT_STREQ("NINDEX", s.arrival.NINDEX);
}

}  // namespace
