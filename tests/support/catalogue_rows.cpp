#include "catalogue_rows.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>

namespace kvt::test {
namespace {

std::string Text(const std::optional<std::string>& value) {
  return value ? "'" + Quote(*value) + "'" : "NULL";
}

std::string Number(const std::optional<double>& value) {
  return value ? SqlNumber(*value) : "NULL";
}

// Timestamp literal in the ODBC escape every driver of the project translates.
std::string Timestamp(const std::optional<std::string>& value) {
  if (value) return "{ts '" + Quote(*value) + "'}";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return std::string("{ts '") + text + "'}";
}

}  // namespace

std::string SqlNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

void CatalogueFile(OdbcSession& session, const FileRow& row) {
  std::string columns = "STA,CH,LCODE,TBEGIN,TQTY,SPS,DATATYPE,FOFF,CPATH,CREATER,LDDATE,GAIN";
  std::string values = Text(row.sta) + "," + Text(row.ch) + "," + Text(row.lcode) + "," +
                       SqlNumber(row.tBegin) + "," + SqlNumber(row.tQty) + "," +
                       SqlNumber(row.sps) + "," + std::to_string(row.dataType) + "," +
                       (row.fOff ? std::to_string(*row.fOff) : std::string("NULL")) + "," +
                       Text(row.cPath) + "," + Text(row.creater) + "," + Timestamp(row.ldDate) +
                       "," + Number(row.gain);
  if (session.HasColumn("FILELIST", "TEND")) {
    columns += ",TEND";
    values += "," + (row.nullTend ? std::string("NULL") : SqlNumber(row.tEnd.value_or(row.tBegin + row.tQty)));
  }
  session.Exec("insert into " + session.TableName("FILELIST") + "(" + columns + ") values(" +
               values + ")");
}

void DescribeChannel(OdbcSession& session, const std::string& sta, const std::string& chan,
                     const std::optional<std::string>& lcode, std::optional<double> sps) {
  session.Exec("insert into " + session.TableName("SITECHAN") +
               "(STA,CHAN,LCODE,SPS,LDDATE) values(" + Text(sta) + "," + Text(chan) + "," +
               Text(lcode) + "," + Number(sps) + "," + Timestamp(std::nullopt) + ")");
}

void AddEvent(OdbcSession& session, const std::string& sta, std::optional<double> tBegin) {
  session.Exec("insert into " + session.TableName("EVENTLIST") + "(STA,TBEGIN,LDDATE) values(" +
               Text(sta) + "," + Number(tBegin) + "," + Timestamp(std::nullopt) + ")");
}

}  // namespace kvt::test
