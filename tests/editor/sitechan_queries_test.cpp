// SQL texts of the channel dialog and the rule that picks the list entry of an edited code.
#include "editor/sitechan_queries.h"

#include <gtest/gtest.h>

namespace kvt::editor {
namespace {

TEST(SitechanQueriesTest, TextsUseTheRegistryNamesAndQuoteValues) {
  SitechanNames n;
  n.table = "SiteChan";
  n.sta = "Sta";
  n.chan = "Chan";
  n.lcode = "LCode";
  EXPECT_EQ("select distinct Sta from SiteChan", StationQuery(n));
  EXPECT_EQ("select distinct Chan from SiteChan where Sta='OBN' order by  Chan desc",
            ChannelQuery(n, "OBN"));
  EXPECT_EQ("select distinct LCode from SiteChan where Sta='O''X' and Chan='B''''Z'",
            LcodeQuery(n, "O'X", "B''Z"));
}

TEST(SitechanQueriesTest, MatchStartsAtTheSecondEntryAndWraps) {
  const std::vector<std::string> entries{"BHZ", "BHN", "bhz2", "SHZ"};
  struct Case {
    const char* wanted;
    int index;
    const char* why;
  } cases[] = {
      {"BHN", 1, "exact"},
      {"bhz", 2, "prefix, any case, from the second entry on"},
      {"SH", 3, "prefix"},
      {"XYZ", -1, "no match"},
      {"", 1, "an empty code matches the second entry"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.index, MatchEntry(entries, c.wanted));
  }
  EXPECT_EQ(0, MatchEntry({"BHZ", "SHZ"}, "BHZ"));  // wraps round to the first
  EXPECT_EQ(0, MatchEntry({"BHZ"}, "bhz"));
  EXPECT_EQ(-1, MatchEntry({}, "BHZ"));
}

}  // namespace
}  // namespace kvt::editor
