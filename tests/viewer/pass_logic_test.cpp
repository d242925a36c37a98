#include "viewer/pass_logic.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kvt::viewer {
namespace {

TEST(ParseFilter, TableOfValuesAtRate20) {
    struct Case {
        const char* text;
        bool on;
        float low, high;
        const char* why;
    } cases[] = {
        {"", false, 0, 0, "empty means no filter"},
        {"1,5", true, 1, 5, "plain pair"},
        {"1,,5", true, 1, 5, "several commas between the numbers"},
        {"0,5", true, 0, 5, "low corner 0 is allowed"},
        {"0.70,1.40", true, 0.7f, 1.4f, "as the settings editor writes it"},
        {"1, 5", true, 1, 5, "blank before the second number is skipped"},
        {"1,10", true, 1, 10, "high corner exactly at Nyquist"},
        {"5,1", false, 5, 1, "low above high"},
        {"-1,5", false, -1, 5, "negative low corner"},
        {"1,15", false, 1, 15, "high corner above rate/2"},
        {"0,0", false, 0, 0, "equal corners"},
        {"2", false, 2, 0, "only one number"},
        {"1 ,5", false, 1, 0, "blank before the comma stops the scan"},
        {"1;5", false, 1, 0, "wrong separator"},
        {"abc", false, 0, 0, "no number at all"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + ": " + c.why);
        FilterSetting f = ParseFilter(c.text, 20.0);
        EXPECT_EQ(f.on, c.on);
        EXPECT_FLOAT_EQ(f.low, c.low);
        EXPECT_FLOAT_EQ(f.high, c.high);
    }
}

TEST(ParseFilter, UnknownRateSwitchesFilterOff) {
    EXPECT_FALSE(ParseFilter("1,5", 0).on);
}

TEST(QueryTexts, LocationCodeRuleAndQuoting) {
    ChannelColumns sitechan{"SITECHAN", "STA", "CHAN", "LCODE"};
    EXPECT_EQ(ChannelSelectText("SPS", sitechan, "ABC", "BHZ", "?\?"),
              "select SPS from SITECHAN where STA='ABC' and CHAN='BHZ' and "
              "(LCODE is null or LCODE='?\?')");
    EXPECT_EQ(ChannelSelectText("SPS", sitechan, "ABC", "BHZ", ""),
              "select SPS from SITECHAN where STA='ABC' and CHAN='BHZ' and "
              "(LCODE is null or LCODE='?\?')");
    EXPECT_EQ(ChannelSelectText("SPS", sitechan, "ABC", "BHZ", "00"),
              "select SPS from SITECHAN where STA='ABC' and CHAN='BHZ' and LCODE='00'");
    // A quote in a settings value must not end the SQL literal.
    EXPECT_EQ(ChannelSelectText("SPS", sitechan, "O'K", "B'", "0'"),
              "select SPS from SITECHAN where STA='O''K' and CHAN='B''' and LCODE='0'''");
}

TEST(QueryTexts, LatestTimeAndEventMarks) {
    ChannelColumns filelist{"FILELIST", "STA", "CH", "LCODE"};
    EXPECT_EQ(LatestTimeText(true, "TEND", "TBEGIN", "TQTY", filelist, "A", "B", "?\?"),
              "select max(TEND) as maxt from FILELIST where STA='A' and CH='B' and "
              "(LCODE is null or LCODE='?\?')");
    EXPECT_EQ(LatestTimeText(false, "TEND", "TBEGIN", "TQTY", filelist, "A", "B", "01"),
              "select max(TBEGIN+TQTY) as maxt from FILELIST where STA='A' and CH='B' and "
              "LCODE='01'");
    EXPECT_EQ(EventMarksText("TBEGIN", "EVENTLIST", "STA", 340, 940.5, "A'B"),
              "select TBEGIN from EVENTLIST where (TBEGIN between 340.0000 and 940.5000) and "
              "STA='A''B' order by TBEGIN");
}

TEST(ComputeWindow, ModesAndShift) {
    struct Case {
        double latest, now;
        int mode, shift, nsec;
        double start, end;
        const char* why;
    } cases[] = {
        {1000.7, 5000.2, 0, 60, 600, 340, 940, "newest data, cut to whole seconds, less shift"},
        {1000.7, 5000.2, 1, 0, 600, 4400, 5000, "mode 1 ends at now"},
        {1000.7, 5000.2, 2, 0, 100, 900, 1000, "any other mode is data time"},
        {0, 5000, 0, 0, 10, -10, 0, "no data at all: end 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        PassWindow w = ComputeWindow(c.latest, c.now, c.mode, c.shift, c.nsec);
        EXPECT_EQ(w.start, c.start);
        EXPECT_EQ(w.end, c.end);
    }
}

TEST(LagText, DayForms) {
    struct Case {
        double lag;
        bool noData;
        const char* text;
    } cases[] = {
        {5400, false, "Отставание данных 01:30:00"},
        {5400.9, false, "Отставание данных 01:30:00"},
        {86400 + 2 * 3600 + 3 * 60 + 4, false, "Отставание данных 1 сутки - 02:03:04"},
        {86400 + 5, true, "Отставание данных 1 сутки - 00:00:05"},
        {5 * 86400, false, "Отставание данных 5 суток - 00:00:00"},
        {5 * 86400, true,
         "В базе нет данных для станции - \"ST\", канала - \"BHZ\" и LCODE - \"??\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(LagText(1e9, 1e9 - c.lag, c.noData, "ST", "BHZ", "?\?"), c.text);
    }
}

TEST(StatusTexts, NotDescribedAndFuture) {
    EXPECT_EQ(NotDescribedText("ST", "BHZ", "00"),
              "В базе нет описания для станции - \"ST\" , канала - \"BHZ\" и LCODE - \"00\"");
    CalendarFields t{2026, 12, 8, 7, 5, 9.75f};
    EXPECT_EQ(FutureText("ST", "BHZ", "?\?", t),
              " Data in future (ST :: BHZ :: ?\?) - 07:05:09 08/12/2026 ");
}

TEST(SegmentsJoinable, EveryPairCounts) {
    struct Case {
        std::vector<SegmentSpan> spans;
        bool joinable;
        const char* why;
    } cases[] = {
        {{{0, 300}}, true, "one segment"},
        {{{0, 300}, {300.05, 600}}, true, "gap 0.05 s within 1.5 samples at 20/s"},
        {{{0, 300}, {300.08, 600}}, false, "gap 0.08 s exceeds 0.075 s"},
        {{{0, 200}, {200, 400}, {400, 600}}, false, "first and third do not meet"},
        {{{0, 300}, {299.95, 600}}, true, "small overlap"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(SegmentsJoinable(c.spans, 20.0), c.joinable);
    }
}

TEST(WindowOffset, TruncatesTowardsZero) {
    EXPECT_EQ(WindowOffset(340.0, 340.0, 20), 0);
    EXPECT_EQ(WindowOffset(340.07, 340.0, 20), 1);
    EXPECT_EQ(WindowOffset(339.97, 340.0, 20), 0);   // -0.6 truncates to 0
    EXPECT_EQ(WindowOffset(339.9, 340.0, 20), -2);
}

}  // namespace
}  // namespace kvt::viewer
