// SQL texts of the catalogue writers, compared with texts written out by hand
// from the statement templates (built-in names, so FILELIST, TBEGIN, ...).
#include "dblib/db_schema.h"
#include "dblib/sql_text_writers.h"

#include <gtest/gtest.h>

namespace {

using kvt::CDbSchema;
namespace sql = kvt::sql;

const sql::ChannelKey kNone{"ABC", "BHZ", ""};
const sql::ChannelKey kUnknown{"ABC", "BHZ", "??"};
const sql::ChannelKey kCode{"ABC", "BHZ", "00"};

sql::NewRow Row(const sql::ChannelKey& key) {
    sql::NewRow r;
    r.key = key;
    r.tBegin = 1700000000.25;
    r.tQty = 3600;
    r.sps = 19.9999;
    r.cpath = "ABC/22/14112023-221320-BHZ.ABC";
    r.creator = "rec";
    r.ldDate = "2023-11-14 22:13:20";
    r.fileOffset = 5000000000;
    r.calib = 1.5;
    r.calper = 2;
    return r;
}

TEST(WriterSqlText, InsertRowByTendAndLocationCode) {
    const CDbSchema s;
    struct Case {
        const char* reason;
        sql::ChannelKey key;
        bool useTend;
        const char* expected;
    };
    const Case cases[] = {
        {"TEND, no location code", kNone, true,
         "insert into FILELIST(STA,TBEGIN,TQTY,SPS,GAIN,CPATH,DATATYPE,CH,CREATER,LDDATE,FOFF,CALIB,"
         "CALPER,TEND) values('ABC',1700000000.2500,3600.00,20.000,1,'ABC/22/14112023-221320-BHZ.ABC',"
         "3,'BHZ','rec',{ts '2023-11-14 22:13:20'},5000000000,1.50,2.00,1700003600.2500)"},
        {"TEND and location code, written last", kCode, true,
         "insert into FILELIST(STA,TBEGIN,TQTY,SPS,GAIN,CPATH,DATATYPE,CH,CREATER,LDDATE,FOFF,CALIB,"
         "CALPER,TEND,LCODE) values('ABC',1700000000.2500,3600.00,20.000,1,'ABC/22/14112023-221320-"
         "BHZ.ABC',3,'BHZ','rec',{ts '2023-11-14 22:13:20'},5000000000,1.50,2.00,1700003600.2500,"
         "'00')"},
        {"?? is written as a value", kUnknown, true,
         "insert into FILELIST(STA,TBEGIN,TQTY,SPS,GAIN,CPATH,DATATYPE,CH,CREATER,LDDATE,FOFF,CALIB,"
         "CALPER,TEND,LCODE) values('ABC',1700000000.2500,3600.00,20.000,1,'ABC/22/14112023-221320-"
         "BHZ.ABC',3,'BHZ','rec',{ts '2023-11-14 22:13:20'},5000000000,1.50,2.00,1700003600.2500,"
         "'?\?')"},
        {"no TEND, no location code", kNone, false,
         "insert into FILELIST(STA,TBEGIN,TQTY,SPS,GAIN,CPATH,DATATYPE,CH,CREATER,LDDATE,FOFF,CALIB,"
         "CALPER) values('ABC',1700000000.2500,3600.00,20.000,1,'ABC/22/14112023-221320-BHZ.ABC',3,"
         "'BHZ','rec',{ts '2023-11-14 22:13:20'},5000000000,1.50,2.00)"},
        {"no TEND, location code", kCode, false,
         "insert into FILELIST(STA,TBEGIN,TQTY,SPS,GAIN,CPATH,DATATYPE,CH,CREATER,LDDATE,FOFF,CALIB,"
         "CALPER,LCODE) values('ABC',1700000000.2500,3600.00,20.000,1,'ABC/22/14112023-221320-"
         "BHZ.ABC',3,'BHZ','rec',{ts '2023-11-14 22:13:20'},5000000000,1.50,2.00,'00')"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(c.expected, sql::InsertRowStatement(s, Row(c.key), c.useTend));
    }
}

TEST(WriterSqlText, QuotesInValuesAreDoubled) {
    const CDbSchema s;
    sql::NewRow r = Row({"O'B", "BHZ", ""});
    r.cpath = "it's/x";
    r.creator = "o'rec";
    const std::string text = sql::InsertRowStatement(s, r, false);
    EXPECT_NE(std::string::npos, text.find("values('O''B',"));
    EXPECT_NE(std::string::npos, text.find(",'it''s/x',3,'BHZ','o''rec',"));
    EXPECT_EQ("delete from FILELIST where CPATH='a''b'", sql::DeleteByPathStatement(s, "a'b"));
}

TEST(WriterSqlText, ExtendRowKeepsTheLocationCodeInParentheses) {
    const CDbSchema s;
    EXPECT_EQ("update FILELIST set TQTY=130.00,LDDATE={ts '2023-11-14 22:13:20'},TEND=1700000130.0000 "
              "where STA='ABC' and CH='BHZ' and (LCODE='?\?' or LCODE is null) and "
              "TBEGIN=1700000000.0000 and TQTY=120.00",
              sql::ExtendRowStatement(s, kNone, 130, "2023-11-14 22:13:20", 1700000130, 1700000000,
                                      120));
    EXPECT_EQ("update FILELIST set TQTY=130.00,LDDATE={ts '2023-11-14 22:13:20'},TEND=1700000130.0000 "
              "where STA='ABC' and CH='BHZ' and (LCODE='00') and TBEGIN=1700000000.0000 and "
              "TQTY=120.00",
              sql::ExtendRowStatement(s, kCode, 130, "2023-11-14 22:13:20", 1700000130, 1700000000,
                                      120));
    EXPECT_EQ("update FILELIST set TQTY=130.00,LDDATE={ts '2023-11-14 22:13:20'} where STA='ABC' and "
              "CH='BHZ' and (LCODE='00') and TBEGIN=1700000000.0000 and TQTY=120.00",
              sql::ExtendRowStatement(s, kCode, 130, "2023-11-14 22:13:20", 1700000130, 1700000000,
                                      120, false));
}

TEST(WriterSqlText, RowRangeHeaderAndQuotaStatements) {
    const CDbSchema s;
    struct Case {
        const char* reason;
        std::string actual;
        const char* expected;
    };
    const Case cases[] = {
        {"rows of a ring block", sql::DeleteRowsInRangeStatement(s, kNone, "ring.dat", 1024, 9000000000),
         "delete from FILELIST where STA='ABC' and CH='BHZ' and (LCODE='?\?' or LCODE is null) and "
         "CPATH='ring.dat' and FOFF>=1024 and FOFF<9000000000"},
        {"rows of a ring block, location code", sql::DeleteRowsInRangeStatement(s, kCode, "r", 1, 2),
         "delete from FILELIST where STA='ABC' and CH='BHZ' and LCODE='00' and CPATH='r' and FOFF>=1 "
         "and FOFF<2"},
        {"512 header with TEND", sql::Header512Query(s, kNone, "rec", "a/b", true),
         "select SPS,FOFF,TBEGIN,TEND from FILELIST where STA='ABC' and CH='BHZ' and (LCODE='?\?' or "
         "LCODE is null) and CREATER='rec' and CPATH='a/b'"},
        {"512 header without TEND", sql::Header512Query(s, kCode, "rec", "a/b", false),
         "select SPS,FOFF,TBEGIN,TQTY from FILELIST where STA='ABC' and CH='BHZ' and LCODE='00' and "
         "CREATER='rec' and CPATH='a/b'"},
        {"1024 header with TEND", sql::Header1024Query(s, kNone, "rec", "r", true),
         "select min(TBEGIN) as minT,max(TEND) as maxT from FILELIST where STA='ABC' and CH='BHZ' and "
         "(LCODE='?\?' or LCODE is null) and CREATER='rec' and CPATH='r'"},
        {"1024 header without TEND", sql::Header1024Query(s, kCode, "rec", "r", false),
         "select min(TBEGIN) as minT,max(TBEGIN+TQTY) as maxT from FILELIST where STA='ABC' and "
         "CH='BHZ' and LCODE='00' and CREATER='rec' and CPATH='r'"},
        {"storage total", sql::StorageTotalQuery(s, kNone, "rec"),
         "select sum(FOFF+TQTY*SPS*4) as SIZE from FILELIST where STA='ABC' and CH='BHZ' and "
         "(LCODE='?\?' or LCODE is null) and CREATER='rec' and FOFF=512"},
        {"oldest files", sql::OldestFilesQuery(s, kCode, "rec"),
         "select FOFF,TQTY,SPS,CPATH from FILELIST where STA='ABC' and CH='BHZ' and LCODE='00' and "
         "CREATER='rec' and FOFF=512 order by LDDATE,TBEGIN"},
        {"rows of a file, any channel", sql::RowsOfPathQuery(s, "a/b"),
         "select count(*) from FILELIST where CPATH='a/b'"},
        {"alter column", sql::AlterColumnStatement("FILELIST", "TEND", "double"),
         "alter table FILELIST alter column TEND double"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(c.expected, c.actual);
    }
}

TEST(WriterSqlText, IntervalCutStatements) {
    const CDbSchema s;
    struct Case {
        const char* reason;
        std::string actual;
        const char* expected;
    };
    const Case cases[] = {
        {"rows inside, TEND, location code", sql::CutInsideQuery(s, kCode, 100, 200, "rec", true),
         "select CPATH,TBEGIN,TEND from FILELIST where STA='ABC' and CH='BHZ' and LCODE='00' and "
         "TBEGIN>100.0000 and TEND<200.0000 and CREATER='rec'"},
        {"rows inside, no TEND, no location code",
         sql::CutInsideQuery(s, kNone, 100, 200, "rec", false),
         "select CPATH,TBEGIN,TQTY from FILELIST where STA='ABC' and CH='BHZ' and (LCODE='?\?' or "
         "LCODE is null) and TBEGIN>100.0000 and TBEGIN+TQTY<200.0000 and CREATER='rec'"},
        {"shorten with TEND", sql::CutShortenStatement(s, kCode, 100, 50, 150, "rec", true),
         "update FILELIST set TQTY=50.00,TEND=100.0000 where STA='ABC' and CH='BHZ' and LCODE='00' "
         "and TBEGIN=50.0000 and TEND=150.0000 and CREATER='rec'"},
        {"shorten without TEND", sql::CutShortenStatement(s, kNone, 100, 50, 100, "rec", false),
         "update FILELIST set TQTY=50.00 where STA='ABC' and CH='BHZ' and (LCODE='?\?' or LCODE is "
         "null) and TBEGIN=50.0000 and TQTY=100.00 and CREATER='rec'"},
        {"ring: delete inside", sql::CutRingDeleteInsideStatement(s, kCode, 100, 200, "rec", true),
         "delete from FILELIST where STA='ABC' and CH='BHZ' and LCODE='00' and TBEGIN>100.0000 and "
         "TEND<200.0000 and CREATER='rec'"},
        {"ring: overlapping rows", sql::CutRingOverlapQuery(s, kNone, 100, 200, "rec", true),
         "select TBEGIN,TEND,CPATH,FOFF,SPS,GAIN,DATATYPE,CALIB,CALPER from FILELIST where STA='ABC' "
         "and CH='BHZ' and (LCODE='?\?' or LCODE is null) and TBEGIN<200.0000 and TEND>100.0000 and "
         "CREATER='rec'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(c.expected, c.actual);
    }
}

TEST(WriterSqlText, CatalogueDate) {
    EXPECT_EQ("2024-02-01 09:05:07", sql::CatalogueDate({2024, 2, 1, 9, 5, 7}));
}

}  // namespace
