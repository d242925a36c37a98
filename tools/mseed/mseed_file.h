#pragma once
// Reading and writing miniSEED files through libmseed.

#include "mseed_core.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvt::mseed {

//! A record that could not be used, by its byte offset in the file.
struct RecordProblem {
    std::int64_t offset = 0;  //!< bytes from the start of the file
    std::string what;         //!< why it was skipped
};

//! Everything decoded from one file.
struct DecodedFile {
    std::string error;                   //!< non-empty when the file could not be read at all
    std::vector<RecordPiece> records;    //!< data records, in file order
    std::vector<RecordProblem> problems; //!< corrupt, truncated or undecodable records
    std::int64_t skippedBytes = 0;       //!< bytes not part of a usable record
};

//! Decodes every data record of a miniSEED file (Steim-1/2, 16/32-bit
//! integers, 32/64-bit floats). A record that cannot be decoded is named in
//! problems and skipped; reading goes on at the next valid record header.
DecodedFile DecodeFile(const std::string& path);

//! One trace to write.
struct TraceToWrite {
    StreamId id;
    double start = 0;            //!< epoch s of the first sample
    double rate = 0;             //!< samples/s
    std::vector<float> samples;
};

//! Writes the traces to `path` (created or truncated) as 4096-byte records:
//! Steim-2 for a trace whose samples are all whole numbers, else 32-bit
//! floats. Returns an empty text, or why it failed (the file is then removed).
std::string WriteFile(const std::string& path, const std::vector<TraceToWrite>& traces,
                      std::int64_t& recordsWritten);

}  // namespace kvt::mseed
