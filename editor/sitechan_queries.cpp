#include "editor/sitechan_queries.h"

#include "dblib/odbc_statement.h"
#include "editor/data_source_resolution.h"

namespace kvt::editor {

std::string StationQuery(const SitechanNames& n) {
  return "select distinct " + n.sta + " from " + n.table;
}

std::string ChannelQuery(const SitechanNames& n, std::string_view station) {
  return "select distinct " + n.chan + " from " + n.table + " where " + n.sta + "='" +
         SqlQuote(station) + "' order by  " + n.chan + " desc";
}

std::string LcodeQuery(const SitechanNames& n, std::string_view station,
                       std::string_view channel) {
  return "select distinct " + n.lcode + " from " + n.table + " where " + n.sta + "='" +
         SqlQuote(station) + "' and " + n.chan + "='" + SqlQuote(channel) + "'";
}

int MatchEntry(const std::vector<std::string>& entries, std::string_view wanted) {
  const int n = static_cast<int>(entries.size());
  for (int k = 0; k < n; ++k) {
    const int i = (k + 1) % n;
    if (StartsWithNoCase(entries[i], wanted)) return i;
  }
  return -1;
}

}  // namespace kvt::editor
