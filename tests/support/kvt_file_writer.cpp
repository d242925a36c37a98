#include "kvt_file_writer.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <utility>

namespace kvt::test {
namespace {

template <typename T>
void AppendLittleEndian(std::string& out, T value) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  // The project builds for little-endian machines only; keep the byte order explicit anyway.
  if constexpr (std::endian::native == std::endian::big) {
    for (std::size_t i = 0; i < sizeof(T) / 2; ++i) std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
  }
  out.append(reinterpret_cast<const char*>(bytes), sizeof(T));
}

template <typename Int>
Int CheckedInteger(double value, int dataType) {
  if (!(value >= static_cast<double>(std::numeric_limits<Int>::min()) &&
        value <= static_cast<double>(std::numeric_limits<Int>::max())) ||
      value != std::trunc(value)) {
    throw std::invalid_argument("sample " + std::to_string(value) +
                                " does not fit DATATYPE " + std::to_string(dataType));
  }
  return static_cast<Int>(value);
}

}  // namespace

std::size_t KvtSampleSize(int dataType) {
  switch (dataType) {
    case 0: return 1;
    case 1: return 2;
    case 5: return 2;
    default: return 4;
  }
}

std::string KvtHeaderText(const std::string& station, const std::string& channel, double tBegin,
                          double duration, double sps, int dataOffset) {
  const std::time_t second = static_cast<std::time_t>(std::floor(tBegin));
  std::tm local{};
  localtime_r(&second, &local);
  const long days = static_cast<long>(std::floor(duration / 86400.0));
  const int hours = static_cast<int>(std::floor(std::fmod(duration, 86400.0) / 3600.0));
  const int minutes = static_cast<int>(std::floor(std::fmod(duration, 3600.0) / 60.0));
  const int seconds = static_cast<int>(std::fmod(duration, 60.0));
  char text[1024];
  std::snprintf(text, sizeof text,
                "[KVT5.x]\r\n"
                "Data offset=%d\r\n"
                "Start time=%02d:%02d:%02d\r\n"
                "Start date=%02d-%02d-%04d\r\n"
                "Time duration=%03ld %02d %02d %02d\r\n"
                "Data type=FLOAT\r\n"
                "SpS=%0.2f\r\n"
                "Gain=1\r\n"
                "Station=%s\r\n"
                "Channel=%s\r\n",
                dataOffset, local.tm_hour, local.tm_min, local.tm_sec, local.tm_mday,
                local.tm_mon + 1, local.tm_year + 1900, days, hours, minutes, seconds, sps,
                station.c_str(), channel.c_str());
  return text;
}

std::string KvtFileBytes(int dataType, const std::vector<double>& samples,
                         std::size_t headerBytes, const std::string& headerText) {
  std::string header = headerText;
  if (header.empty() && headerBytes > 0)
    header = "[KVT5.x]\r\nData offset=" + std::to_string(headerBytes) + "\r\n";
  if (header.size() > headerBytes)
    throw std::invalid_argument("header text of " + std::to_string(header.size()) +
                                " bytes does not fit in " + std::to_string(headerBytes));
  std::string bytes = header;
  bytes.resize(headerBytes, '\0');
  bytes.reserve(headerBytes + samples.size() * KvtSampleSize(dataType));
  for (double value : samples) {
    switch (dataType) {
      case 0: AppendLittleEndian(bytes, CheckedInteger<std::int8_t>(value, dataType)); break;
      case 1: AppendLittleEndian(bytes, CheckedInteger<std::int16_t>(value, dataType)); break;
      case 3: AppendLittleEndian(bytes, static_cast<float>(value)); break;
      case 5: AppendLittleEndian(bytes, CheckedInteger<std::uint16_t>(value, dataType)); break;
      default: AppendLittleEndian(bytes, CheckedInteger<std::int32_t>(value, dataType)); break;
    }
  }
  return bytes;
}

void WriteKvtFile(const std::string& path, int dataType, const std::vector<double>& samples,
                  std::size_t headerBytes, const std::string& headerText) {
  const std::string bytes = KvtFileBytes(dataType, samples, headerBytes, headerText);
  const std::filesystem::path file(path);
  if (file.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write data file " + path);
}

}  // namespace kvt::test
