#include "catalogue_rows.h"

#include "kvt_file_writer.h"

#include <cinttypes>
#include <cmath>
#include <filesystem>
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

FileRow AddDataFile(OdbcSession& session, const std::string& dataDir, FileRow row,
                    const std::vector<double>& samples) {
  if (row.cPath.empty())
    row.cPath = row.sta + "/" + row.ch + "-" +
                std::to_string(static_cast<long long>(std::floor(row.tBegin))) + ".kvt";
  if (row.tQty == 0 && row.sps > 0) row.tQty = static_cast<double>(samples.size()) / row.sps;
  const std::int64_t offset = row.fOff.value_or(0) == 0 ? 512 : *row.fOff;
  const std::filesystem::path path = std::filesystem::path(row.cPath).is_absolute()
                                         ? std::filesystem::path(row.cPath)
                                         : std::filesystem::path(dataDir) / row.cPath;
  WriteKvtFile(path.string(), row.dataType, samples, static_cast<std::size_t>(offset),
               KvtHeaderText(row.sta, row.ch, row.tBegin, row.tQty, row.sps,
                             static_cast<int>(offset)));
  CatalogueFile(session, row);
  return row;
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
