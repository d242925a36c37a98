#include "kvt_file_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

using kvt::test::KvtFileBytes;
using kvt::test::KvtHeaderText;

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

struct SampleCase {
  const char* reason;
  int dataType;
  std::vector<double> samples;
  std::string expected;  // bytes after the header
};

TEST(KvtFileBytes, WritesEachSampleTypeLittleEndian) {
  const SampleCase cases[] = {
      {"int8 keeps the sign", 0, {1, -1, 127, -128}, Bytes({0x01, 0xff, 0x7f, 0x80})},
      {"int16 low byte first", 1, {1, -2, 0x1234}, Bytes({0x01, 0x00, 0xfe, 0xff, 0x34, 0x12})},
      {"int32 low byte first", 2, {0x12345678, -1},
       Bytes({0x78, 0x56, 0x34, 0x12, 0xff, 0xff, 0xff, 0xff})},
      {"float32 bit pattern", 3, {1.0, -2.5}, Bytes({0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x20, 0xc0})},
      {"uint16 above the int16 range", 5, {65535, 40000}, Bytes({0xff, 0xff, 0x40, 0x9c})},
      {"unknown code written as 4-byte integers", 7, {2}, Bytes({0x02, 0x00, 0x00, 0x00})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    const std::string bytes = KvtFileBytes(c.dataType, c.samples, 512);
    ASSERT_EQ(512 + c.expected.size(), bytes.size());
    EXPECT_EQ(c.expected, bytes.substr(512));
    EXPECT_EQ(kvt::test::KvtSampleSize(c.dataType) * c.samples.size(), c.expected.size());
  }
}

TEST(KvtFileBytes, PadsTheHeaderWithZerosUpToTheDataOffset) {
  for (std::size_t headerBytes : {512u, 1024u}) {
    SCOPED_TRACE(headerBytes);
    const std::string bytes = KvtFileBytes(3, {0.0}, headerBytes);
    const std::string header = "[KVT5.x]\r\nData offset=" + std::to_string(headerBytes) + "\r\n";
    EXPECT_EQ(header, bytes.substr(0, header.size()));
    EXPECT_EQ(std::string(headerBytes - header.size(), '\0'), bytes.substr(header.size(), headerBytes - header.size()));
    EXPECT_EQ(headerBytes + 4, bytes.size());
  }
  EXPECT_EQ(Bytes({0x01, 0x00}), KvtFileBytes(1, {1}, 0)) << "no header at all";
}

TEST(KvtFileBytes, RefusesWhatItCannotWrite) {
  EXPECT_THROW(KvtFileBytes(0, {128}), std::invalid_argument) << "int8 overflow";
  EXPECT_THROW(KvtFileBytes(5, {-1}), std::invalid_argument) << "negative uint16";
  EXPECT_THROW(KvtFileBytes(1, {0.5}), std::invalid_argument) << "fraction in an integer type";
  EXPECT_THROW(KvtFileBytes(3, {}, 16, std::string(17, 'x')), std::invalid_argument)
      << "header longer than the data offset";
}

TEST(KvtHeaderText, WritesTheRecorderLinesInLocalTime) {
  const char* oldTz = std::getenv("TZ");
  const std::string saved = oldTz ? oldTz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  // 2024-03-05 06:07:08.9 UTC; duration 1 day 2 h 3 min 4.7 s.
  const std::string text = KvtHeaderText("ABC", "BHZ", 1709618828.9, 93784.7, 19.999, 1024);
  if (oldTz) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
  tzset();
  EXPECT_EQ(
      "[KVT5.x]\r\nData offset=1024\r\nStart time=06:07:08\r\nStart date=05-03-2024\r\n"
      "Time duration=001 02 03 04\r\nData type=FLOAT\r\nSpS=20.00\r\nGain=1\r\n"
      "Station=ABC\r\nChannel=BHZ\r\n",
      text);
}

TEST(WriteKvtFile, CreatesDirectoriesAndWritesTheBytes) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("kvt-writer-test-" + std::to_string(::getpid()));
  const auto path = dir / "ABC" / "06" / "file.ABC";
  kvt::test::WriteKvtFile(path.string(), 1, {1, 2, 3}, 512);
  std::ifstream in(path, std::ios::binary);
  std::stringstream read;
  read << in.rdbuf();
  EXPECT_EQ(KvtFileBytes(1, {1, 2, 3}, 512), read.str());
  std::filesystem::remove_all(dir);
}

}  // namespace
