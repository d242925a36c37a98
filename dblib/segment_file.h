#pragma once
// One planned piece of a data file, opened for reading. Opening and reading
// are apart so that a caller can learn on one thread which files can be read
// and read them on another (the file needs no connection and no request
// field of the database object).

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvt {

class SegmentFile {
public:
    SegmentFile() noexcept = default;
    //! Closes the file. noexcept.
    ~SegmentFile() noexcept;
    SegmentFile(SegmentFile&& other) noexcept;
    SegmentFile& operator=(SegmentFile&& other) noexcept;
    SegmentFile(const SegmentFile&) = delete;
    SegmentFile& operator=(const SegmentFile&) = delete;

    //! Opens the file at path for a piece of count samples of dataType (a
    //! DATATYPE code, see data_file.h) from byte position on. Returns 0 or
    //! db::kFileOpenFailed (nothing open then).
    int Open(const std::string& path, int dataType, std::int64_t position, std::int64_t count) noexcept;
    bool isOpen() const noexcept { return fd_ >= 0; }
    //! Samples of the piece.
    std::size_t count() const noexcept { return count_; }
    //! Reads the first min(count, capacity) samples of the piece into dest,
    //! converted to float; samples past the end of a short file are 0.
    //! Returns 0, or db::kFileReadFailed (dest then holds part of the samples;
    //! also when nothing is open).
    int Read(float* dest, std::size_t capacity) noexcept;

private:
    void Close() noexcept;

    int fd_ = -1;
    int dataType_ = 0;
    std::int64_t position_ = 0;  //!< bytes from the start of the file
    std::size_t count_ = 0;      //!< samples of the piece
};

}  // namespace kvt
