// Writes waveform data files for tests: a "[KVT5.x]" text header zero-padded
// to the data offset, then the samples back to back, little-endian, in one of
// the sample types of the DATATYPE column:
//   0 int8, 1 int16, 2 int32, 3 float32, 5 uint16; any other code is written
//   as a 4-byte int32 (readers treat unknown codes as 4 bytes per sample).
// Samples are given as doubles and converted; a value the type cannot hold
// throws std::invalid_argument, so a test never writes something it did not mean.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kvt::test {

//! Bytes per sample of a DATATYPE code (1, 2, 4; 4 for unknown codes).
std::size_t KvtSampleSize(int dataType);

//! The ten header lines a recorder writes, each ending in CR LF:
//! "[KVT5.x]", "Data offset=N", "Start time=HH:MM:SS", "Start date=DD-MM-YYYY"
//! (local calendar time of tBegin's whole second), "Time duration=DDD HH MM SS",
//! "Data type=FLOAT", "SpS=%0.2f", "Gain=1", "Station=", "Channel=".
//! tBegin in epoch seconds, duration in seconds, sps in samples per second.
std::string KvtHeaderText(const std::string& station, const std::string& channel, double tBegin,
                          double duration, double sps, int dataOffset = 512);

//! The bytes of a data file: `headerText` (when empty: "[KVT5.x]" and
//! "Data offset=<headerBytes>" lines) padded with zero bytes to `headerBytes`,
//! then the samples. headerBytes 0 writes no header at all. Throws
//! std::invalid_argument when the text is longer than headerBytes.
std::string KvtFileBytes(int dataType, const std::vector<double>& samples,
                         std::size_t headerBytes = 512, const std::string& headerText = {});

//! Writes KvtFileBytes(...) to `path`, creating missing parent directories.
//! Throws std::runtime_error when the file cannot be written.
void WriteKvtFile(const std::string& path, int dataType, const std::vector<double>& samples,
                  std::size_t headerBytes = 512, const std::string& headerText = {});

}  // namespace kvt::test
