#include "dblib/segment_file.h"

#include "dblib/data_file.h"
#include "dblib/db_result.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <new>
#include <vector>

namespace kvt {
namespace {

// Reads size bytes at position; past the end of a short file the rest of
// buffer is set to zero. False on a read error.
bool ReadAt(int fd, std::int64_t position, unsigned char* buffer, std::size_t size) noexcept {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pread(fd, buffer + done, size - done, static_cast<off_t>(position + static_cast<std::int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;  // the end of a short file
        done += static_cast<std::size_t>(n);
    }
    std::fill(buffer + done, buffer + size, static_cast<unsigned char>(0));
    return true;
}

}  // namespace

SegmentFile::~SegmentFile() noexcept { Close(); }

SegmentFile::SegmentFile(SegmentFile&& other) noexcept
    : fd_(other.fd_), dataType_(other.dataType_), position_(other.position_), count_(other.count_) {
    other.fd_ = -1;
}

SegmentFile& SegmentFile::operator=(SegmentFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        dataType_ = other.dataType_;
        position_ = other.position_;
        count_ = other.count_;
        other.fd_ = -1;
    }
    return *this;
}

void SegmentFile::Close() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int SegmentFile::Open(const std::string& path, int dataType, std::int64_t position, std::int64_t count) noexcept {
    Close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return db::kFileOpenFailed;
    dataType_ = dataType;
    position_ = position;
    count_ = static_cast<std::size_t>(count > 0 ? count : 0);
    return db::kOk;
}

int SegmentFile::Read(float* dest, std::size_t capacity) noexcept {
    if (fd_ < 0) return db::kFileReadFailed;
    const std::size_t count = std::min(count_, capacity);
    const std::size_t size = static_cast<std::size_t>(SampleSize(dataType_));
    if (dataType_ == kFloat32 && std::endian::native == std::endian::little) {
        // The stored form is the in-memory form: read straight into the samples.
        return ReadAt(fd_, position_, reinterpret_cast<unsigned char*>(dest), count * size) ? db::kOk
                                                                                              : db::kFileReadFailed;
    }
    try {
        std::vector<unsigned char> raw(count * size);
        if (!ReadAt(fd_, position_, raw.data(), raw.size())) return db::kFileReadFailed;
        ConvertSamples(dataType_, raw.data(), count, dest);
        return db::kOk;
    } catch (const std::bad_alloc&) {
        return db::kFileReadFailed;
    }
}

}  // namespace kvt
