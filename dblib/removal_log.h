#pragma once
// The removal log: data files that the maintenance operations (MakeRoom,
// CutInterval) removed or tried to remove, so that a recording program can
// report them. It grows until read; a read takes out the newest record.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kvt {

//! One removal.
struct RemovalRecord {
    std::int32_t time = 0;  //!< epoch s (UTC) of the removal
    std::string path;       //!< the file's path as opened (at most 1023 bytes kept)
    bool removed = false;   //!< false when the file could not be removed
};

class RemovalLog {
public:
    //! Longest path a record keeps (the rest is cut).
    static constexpr std::size_t kMaxPath = 1023;

    void Append(RemovalRecord record) {
        if (record.path.size() > kMaxPath) record.path.resize(kMaxPath);
        records_.push_back(std::move(record));
    }
    //! Takes out the newest record into out. Returns how many records remain,
    //! or -1 (out untouched) when the log is empty.
    int TakeNewest(RemovalRecord& out) {
        if (records_.empty()) return -1;
        out = std::move(records_.back());
        records_.pop_back();
        return static_cast<int>(records_.size());
    }
    std::size_t size() const noexcept { return records_.size(); }
    void Clear() noexcept { records_.clear(); }

private:
    std::vector<RemovalRecord> records_;
};

}  // namespace kvt
