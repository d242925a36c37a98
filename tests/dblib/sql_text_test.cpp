// SQL texts of the catalogue queries, compared with the texts written out by
// hand from the query templates.
#include "dblib/db_schema.h"
#include "dblib/odbc_statement.h"
#include "dblib/sql_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using kvt::CDbSchema;

constexpr double kBegin = 1700000000.5;
constexpr double kEnd = 1700003600.25;

struct IntervalCase {
    const char* reason;
    bool useTend;
    const char* lcode;
    const char* alias;
    const char* expected;
};

const IntervalCase kIntervalCases[] = {
    {"TEND, no location code (empty)", true, "", "as tmp_filelist",
     "select TBEGIN,SPS,TQTY,DATATYPE,FOFF,CPATH from (select * from FILELIST where STA='ABC' and "
     "CH='BHZ' and (LCODE='?\?' or LCODE is null) and (TBEGIN>1699913600.5000) and "
     "(TBEGIN<1700086400.5000)) as tmp_filelist where (TEND>1700000000.5000 and "
     "TBEGIN<1700003600.2500) order by TBEGIN"},
    {"\"??\" reads as no location code", true, "??", "as tmp_filelist",
     "select TBEGIN,SPS,TQTY,DATATYPE,FOFF,CPATH from (select * from FILELIST where STA='ABC' and "
     "CH='BHZ' and (LCODE='?\?' or LCODE is null) and (TBEGIN>1699913600.5000) and "
     "(TBEGIN<1700086400.5000)) as tmp_filelist where (TEND>1700000000.5000 and "
     "TBEGIN<1700003600.2500) order by TBEGIN"},
    {"TEND, location code 00 is plain equality", true, "00", "as tmp_filelist",
     "select TBEGIN,SPS,TQTY,DATATYPE,FOFF,CPATH from (select * from FILELIST where STA='ABC' and "
     "CH='BHZ' and LCODE='00' and (TBEGIN>1699913600.5000) and (TBEGIN<1700086400.5000)) as "
     "tmp_filelist where (TEND>1700000000.5000 and TBEGIN<1700003600.2500) order by TBEGIN"},
    {"no TEND: end test on TBEGIN+TQTY", false, "", "as tmp_filelist",
     "select TBEGIN,SPS,TQTY,DATATYPE,FOFF,CPATH from (select * from FILELIST where STA='ABC' and "
     "CH='BHZ' and (LCODE='?\?' or LCODE is null) and (TBEGIN>1699913600.5000) and "
     "(TBEGIN<1700086400.5000)) as tmp_filelist where (TBEGIN+TQTY>1700000000.5000 and "
     "TBEGIN<1700003600.2500) order by TBEGIN"},
    {"no TEND, location code", false, "01", "as tmp_filelist",
     "select TBEGIN,SPS,TQTY,DATATYPE,FOFF,CPATH from (select * from FILELIST where STA='ABC' and "
     "CH='BHZ' and LCODE='01' and (TBEGIN>1699913600.5000) and (TBEGIN<1700086400.5000)) as "
     "tmp_filelist where (TBEGIN+TQTY>1700000000.5000 and TBEGIN<1700003600.2500) order by "
     "TBEGIN"},
    {"old MySQL / Oracle alias is a blank", true, "", " ",
     "select TBEGIN,SPS,TQTY,DATATYPE,FOFF,CPATH from (select * from FILELIST where STA='ABC' and "
     "CH='BHZ' and (LCODE='?\?' or LCODE is null) and (TBEGIN>1699913600.5000) and "
     "(TBEGIN<1700086400.5000))   where (TEND>1700000000.5000 and TBEGIN<1700003600.2500) order "
     "by TBEGIN"},
    {"blank alias without TEND, with location code", false, "10", " ",
     "select TBEGIN,SPS,TQTY,DATATYPE,FOFF,CPATH from (select * from FILELIST where STA='ABC' and "
     "CH='BHZ' and LCODE='10' and (TBEGIN>1699913600.5000) and (TBEGIN<1700086400.5000))   "
     "where (TBEGIN+TQTY>1700000000.5000 and TBEGIN<1700003600.2500) order by TBEGIN"},
};

TEST(SqlTextTest, IntervalQueryTemplates) {
    const CDbSchema s;
    for (const IntervalCase& c : kIntervalCases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(c.expected,
                  kvt::sql::IntervalQuery(s, "ABC", "BHZ", c.lcode, kBegin, kEnd, c.useTend, c.alias));
    }
}

TEST(SqlTextTest, IntervalQueryUsesRegistrySpelling) {
    CDbSchema s;
    std::strcpy(s.fileList.name, "FileList");
    std::strcpy(s.fileList.TBEGIN, "tBegin");
    std::strcpy(s.fileList.TEND, "tEnd");
    std::strcpy(s.fileList.LCODE, "lcode");
    EXPECT_EQ(
        "select tBegin,SPS,TQTY,DATATYPE,FOFF,CPATH from (select * from FileList where STA='ABC' "
        "and CH='BHZ' and (lcode='?\?' or lcode is null) and (tBegin>1699913600.5000) and "
        "(tBegin<1700086400.5000)) as tmp_filelist where (tEnd>1700000000.5000 and "
        "tBegin<1700003600.2500) order by tBegin",
        kvt::sql::IntervalQuery(s, "ABC", "BHZ", "", kBegin, kEnd, true, "as tmp_filelist"));
}

TEST(SqlTextTest, QuotesInValuesAreDoubled) {
    const CDbSchema s;
    // A station that tries to widen the query stays one literal.
    EXPECT_EQ(
        "select TBEGIN,SPS,TQTY,DATATYPE,FOFF,CPATH from (select * from FILELIST where "
        "STA='X'' or ''1''=''1' and CH='B''Z' and LCODE='0''' and (TBEGIN>1699913600.5000) and "
        "(TBEGIN<1700086400.5000)) as tmp_filelist where (TBEGIN+TQTY>1700000000.5000 and "
        "TBEGIN<1700003600.2500) order by TBEGIN",
        kvt::sql::IntervalQuery(s, "X' or '1'='1", "B'Z", "0'", kBegin, kEnd, false,
                                "as tmp_filelist"));
    EXPECT_EQ("O''Brien", kvt::SqlQuote("O'Brien"));
    EXPECT_EQ("''''", kvt::SqlQuote("''"));
    EXPECT_EQ("ABC", kvt::SqlQuote("ABC"));
}

TEST(SqlTextTest, LocationCodeCondition) {
    EXPECT_EQ("(LCODE='?\?' or LCODE is null)", kvt::sql::LocationCodeCondition("LCODE", ""));
    EXPECT_EQ("(LCODE='?\?' or LCODE is null)", kvt::sql::LocationCodeCondition("LCODE", "??"));
    EXPECT_EQ("LCODE='00'", kvt::sql::LocationCodeCondition("LCODE", "00"));
    EXPECT_EQ("LCODE='?'", kvt::sql::LocationCodeCondition("LCODE", "?"));
}

struct AliasCase {
    const char* reason;
    const char* name;
    const char* version;
    const char* expected;
};

TEST(SqlTextTest, DerivedTableAlias) {
    const AliasCase cases[] = {
        {"MySQL 4 rejects AS", "MySQL", "4.1.22", " "},
        {"case of the name is ignored", "mysql", "04.00.0000", " "},
        {"MySQL 5 takes AS", "MySQL", "5.0.96", "as tmp_filelist"},
        {"Oracle rejects AS", "Oracle", "19.0.0", " "},
        {"ORACLE in capitals", "ORACLE", "8.1", " "},
        {"PostgreSQL", "PostgreSQL", "15.18", "as tmp_filelist"},
        {"MariaDB is not \"mysql\"", "MariaDB", "10.11.19", "as tmp_filelist"},
        {"SQLite", "SQLite", "3.40.1", "as tmp_filelist"},
        {"name shorter than the prefix", "mysq", "4", "as tmp_filelist"},
    };
    for (const AliasCase& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(c.expected, kvt::sql::DerivedTableAlias(c.name, c.version));
    }
}

TEST(SqlTextTest, ProbeQuery) {
    EXPECT_EQ("select TBEGIN from FILELIST where 1=0", kvt::sql::ProbeQuery(CDbSchema()));
}

struct LatestCase {
    const char* reason;
    const char* lcode;
    const char* latest;
    const char* byOffset;
    const char* byDate;
};

TEST(SqlTextTest, LatestFileTemplates) {
    const LatestCase cases[] = {
        {"no location code", "",
         "select FOFF,TBEGIN,TQTY,CPATH from FILELIST where STA='ABC' and CH='BHZ' and "
         "(LCODE='?\?' or LCODE is null) order by LDDATE desc,TBEGIN desc",
         "select FOFF,SPS,TBEGIN,TQTY,DATATYPE from FILELIST where STA='ABC' and CH='BHZ' and "
         "(LCODE='?\?' or LCODE is null) and CPATH='ABC/10/01022024-100000-BHZ.ABC' order by "
         "FOFF desc",
         "select FOFF,SPS,TBEGIN,TQTY,DATATYPE from FILELIST where STA='ABC' and CH='BHZ' and "
         "(LCODE='?\?' or LCODE is null) and CPATH='ABC/10/01022024-100000-BHZ.ABC' order by "
         "LDDATE desc,TBEGIN desc"},
        {"location code 00", "00",
         "select FOFF,TBEGIN,TQTY,CPATH from FILELIST where STA='ABC' and CH='BHZ' and "
         "LCODE='00' order by LDDATE desc,TBEGIN desc",
         "select FOFF,SPS,TBEGIN,TQTY,DATATYPE from FILELIST where STA='ABC' and CH='BHZ' and "
         "LCODE='00' and CPATH='ABC/10/01022024-100000-BHZ.ABC' order by FOFF desc",
         "select FOFF,SPS,TBEGIN,TQTY,DATATYPE from FILELIST where STA='ABC' and CH='BHZ' and "
         "LCODE='00' and CPATH='ABC/10/01022024-100000-BHZ.ABC' order by LDDATE desc,TBEGIN "
         "desc"},
    };
    const CDbSchema s;
    const char* path = "ABC/10/01022024-100000-BHZ.ABC";
    for (const LatestCase& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(c.latest, kvt::sql::LatestFileQuery(s, "ABC", "BHZ", c.lcode));
        EXPECT_EQ(c.byOffset, kvt::sql::DataEndByOffsetQuery(s, "ABC", "BHZ", c.lcode, path));
        EXPECT_EQ(c.byDate, kvt::sql::DataEndByDateQuery(s, "ABC", "BHZ", c.lcode, path));
    }
}

TEST(SqlTextTest, LatestTimeQuery) {
    const CDbSchema s;
    EXPECT_EQ("select max(TEND) as maxt from FILELIST where STA='ABC' and CH='BHZ' and (LCODE is "
              "null or LCODE='?\?')",
              kvt::sql::LatestTimeQuery(s, "ABC", "BHZ", "", true));
    EXPECT_EQ("select max(TBEGIN+TQTY) as maxt from FILELIST where STA='ABC' and CH='BHZ' and "
              "LCODE='00'",
              kvt::sql::LatestTimeQuery(s, "ABC", "BHZ", "00", false));
}

TEST(SqlTextTest, PathWithQuoteIsDoubled) {
    EXPECT_EQ(
        "select FOFF,SPS,TBEGIN,TQTY,DATATYPE from FILELIST where STA='ABC' and CH='BHZ' and "
        "(LCODE='?\?' or LCODE is null) and CPATH='it''s/a.bin' order by FOFF desc",
        kvt::sql::DataEndByOffsetQuery(CDbSchema(), "ABC", "BHZ", "", "it's/a.bin"));
}

TEST(SqlTextTest, FormatIsNeverCut) {
    const std::string longValue(5000, 'x');
    EXPECT_EQ(5002u, kvt::sql::Format("<%s>", longValue.c_str()).size());
}

// Times are written without the C formatter; the digits must be exactly those
// of "%.4f", including its rounding of the fifth decimal.
TEST(SqlTextTest, Fixed4WritesWhatPrintfWrites) {
    struct Case {
        const char* reason;
        double value;
    };
    const Case cases[] = {
        {"epoch time with a fraction", 1700000000.5},
        {"fifth decimal rounds up", 1700000000.99996},
        {"carry through the whole fraction", 1699999999.99995},
        {"a tie in decimal is not one in binary", 0.00005},
        {"exact binary tie rounds to even", 0.5 / 16 / 16 / 16 / 16},
        {"zero", 0.0},
        {"negative zero keeps its sign", -0.0},
        {"negative time (before 1970)", -86400.12345},
        {"a day before the epoch time", 1700000000.5 - 86400},
        {"large value, all digits before the point", 1e300},
        {"smallest positive", 5e-324},
        {"infinity", HUGE_VAL},
        {"minus infinity", -HUGE_VAL},
        {"not a number", NAN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        EXPECT_EQ(kvt::sql::Format("%.4f", c.value), kvt::sql::Fixed4(c.value));
    }
}

}  // namespace
