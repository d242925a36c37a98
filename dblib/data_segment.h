#pragma once
// One piece of one data file handed back by the interval reader.

#include <cstdint>
#include <string>
#include <vector>

namespace kvt {

struct DataSegment {
    double tBegin = 0;           //!< epoch s of the first sample handed back
    double tQty = 0;             //!< seconds of data handed back
    double tEnd = 0;             //!< epoch s, TBEGIN + TQTY of the whole file (both rounded)
    double sps = 0;              //!< samples per second (rounded down to 1/100)
    std::int16_t dataType = 0;   //!< DATATYPE code of the file (see data_file.h)
    std::int64_t fileOffset = 0; //!< byte offset of the file's first sample (512 when the row had 0 or null)
    std::int64_t filePosition = 0; //!< byte position in the file of the first sample handed back
    std::string path;            //!< CPATH as stored in the catalogue
    std::vector<float> samples;  //!< the samples; owned by whoever holds the segment
    std::int32_t count = 0;      //!< number of floats in samples that hold data
};

}  // namespace kvt
