#include "mseed_file.h"

#include <libmseed.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace kvt::mseed {

namespace {

// Smallest step at which record headers are looked for after a bad record:
// miniSEED record lengths are powers of two of at least 128 bytes, and some
// writers use 64-byte frames.
constexpr std::size_t kScanStep = 64;
constexpr std::size_t kFixedHeader = 48;

std::string Trimmed(const char* s) {
    std::string out(s);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

bool HeaderAt(const std::vector<char>& buf, std::size_t off) {
    return off + kFixedHeader <= buf.size() && MS_ISVALIDHEADER(buf.data() + off);
}

// Steim records carry the last sample of the record (the reverse integration
// constant) in their first frame. libmseed only warns when the decoded
// samples do not end there; a record that fails this check holds damaged
// differences and must not be stored. Empty text when the record passes.
std::string SteimCheck(const MSRecord& msr) {
    if ((msr.encoding != DE_STEIM1 && msr.encoding != DE_STEIM2) || msr.sampletype != 'i' ||
        msr.numsamples <= 0 || msr.fsdh == nullptr)
        return {};
    const std::size_t at = static_cast<std::size_t>(msr.fsdh->data_offset) + 8;
    if (msr.reclen <= 0 || at + 4 > static_cast<std::size_t>(msr.reclen)) return "no Steim frame";
    const auto* b = reinterpret_cast<const unsigned char*>(msr.record) + at;
    const std::uint32_t raw = msr.byteorder == 0
                                  ? (std::uint32_t{b[3]} << 24 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[1]} << 8 | b[0])
                                  : (std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3]);
    const auto expected = static_cast<std::int32_t>(raw);
    const std::int32_t last = static_cast<const std::int32_t*>(msr.datasamples)[msr.numsamples - 1];
    if (last == expected) return {};
    return "Steim integrity check failed (last sample " + std::to_string(last) + ", record says " +
           std::to_string(expected) + ")";
}

struct MsrDeleter {
    void operator()(MSRecord* m) const noexcept { msr_free(&m); }
};

}  // namespace

DecodedFile DecodeFile(const std::string& path) {
    DecodedFile out;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out.error = "cannot open " + path + ": " + std::strerror(errno);
        return out;
    }
    std::vector<char> buf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        out.error = "cannot read " + path;
        return out;
    }
    std::size_t off = 0;
    // Moves past a bad record to the next place that looks like a header.
    const auto resync = [&](std::size_t from) {
        std::size_t next = from + kScanStep;
        while (next < buf.size() && !HeaderAt(buf, next)) next += kScanStep;
        next = std::min(next, buf.size());
        out.skippedBytes += static_cast<std::int64_t>(next - from);
        return next;
    };
    while (off < buf.size()) {
        const std::size_t remaining = buf.size() - off;
        if (remaining < kFixedHeader) {
            out.problems.push_back({static_cast<std::int64_t>(off),
                                    "truncated record (" + std::to_string(remaining) + " bytes left)"});
            out.skippedBytes += static_cast<std::int64_t>(remaining);
            break;
        }
        const int chunk = static_cast<int>(std::min<std::size_t>(remaining, 1u << 20));
        if (!MS_ISVALIDHEADER(buf.data() + off)) {
            out.problems.push_back({static_cast<std::int64_t>(off), "not a valid miniSEED record header"});
            off = resync(off);
            continue;
        }
        MSRecord* raw = nullptr;
        const int rc = msr_parse(buf.data() + off, chunk, &raw, 0, 1, 0);
        std::unique_ptr<MSRecord, MsrDeleter> msr(raw);
        if (rc > 0) {
            out.problems.push_back({static_cast<std::int64_t>(off),
                                    "truncated record (" + std::to_string(rc) + " more bytes expected)"});
            off = resync(off);
            continue;
        }
        if (rc < 0 || !msr) {
            out.problems.push_back({static_cast<std::int64_t>(off),
                                    std::string("record cannot be decoded: ") + ms_errorstr(rc)});
            off = resync(off);
            continue;
        }
        if (const std::string bad = SteimCheck(*msr); !bad.empty()) {
            out.problems.push_back({static_cast<std::int64_t>(off), "record cannot be decoded: " + bad});
            off = resync(off);
            continue;
        }
        const std::size_t length = msr->reclen > 0 ? static_cast<std::size_t>(msr->reclen) : kScanStep;
        RecordPiece piece;
        piece.id = {Trimmed(msr->network), Trimmed(msr->station), Trimmed(msr->location),
                    Trimmed(msr->channel)};
        piece.start = EpochFromTicks(msr->starttime);
        piece.rate = msr_samprate(msr.get());
        piece.fileOffset = static_cast<std::int64_t>(off);
        const auto n = static_cast<std::size_t>(msr->numsamples > 0 ? msr->numsamples : 0);
        piece.samples.resize(n);
        bool usable = true;
        switch (msr->sampletype) {
        case 'i': {
            const auto* v = static_cast<const std::int32_t*>(msr->datasamples);
            for (std::size_t i = 0; i < n; ++i) piece.samples[i] = static_cast<float>(v[i]);
            break;
        }
        case 'f':
            if (n > 0) std::memcpy(piece.samples.data(), msr->datasamples, n * sizeof(float));
            break;
        case 'd': {
            const auto* v = static_cast<const double*>(msr->datasamples);
            for (std::size_t i = 0; i < n; ++i) piece.samples[i] = static_cast<float>(v[i]);
            break;
        }
        default:
            // Text records (log messages) and records without samples carry no ground motion.
            usable = n > 0 ? false : true;
            piece.samples.clear();
        }
        if (!usable) {
            out.problems.push_back({static_cast<std::int64_t>(off), "record holds text, not samples"});
        } else if (!piece.samples.empty() && piece.rate > 0) {
            out.records.push_back(std::move(piece));
        }
        off += length;
    }
    return out;
}

namespace {

struct Sink {
    std::FILE* file = nullptr;
    bool failed = false;
    std::int64_t records = 0;
};

void WriteRecord(char* record, int length, void* data) {
    auto* sink = static_cast<Sink*>(data);
    if (std::fwrite(record, 1, static_cast<std::size_t>(length), sink->file) != static_cast<std::size_t>(length))
        sink->failed = true;
    ++sink->records;
}

struct MstDeleter {
    void operator()(MSTrace* m) const noexcept { mst_free(&m); }
};

void CopyCode(char (&dst)[11], const std::string& src) {
    std::snprintf(dst, sizeof dst, "%s", src.c_str());
}

}  // namespace

std::string WriteFile(const std::string& path, const std::vector<TraceToWrite>& traces,
                      std::int64_t& recordsWritten) {
    recordsWritten = 0;
    Sink sink;
    sink.file = std::fopen(path.c_str(), "wb");
    if (sink.file == nullptr) return "cannot create " + path + ": " + std::strerror(errno);
    std::string error;
    for (const TraceToWrite& t : traces) {
        if (t.samples.empty()) continue;
        std::unique_ptr<MSTrace, MstDeleter> mst(mst_init(nullptr));
        if (!mst) {
            error = "out of memory";
            break;
        }
        CopyCode(mst->network, t.id.network);
        CopyCode(mst->station, t.id.station);
        CopyCode(mst->location, t.id.location);
        CopyCode(mst->channel, t.id.channel);
        mst->dataquality = 'D';
        mst->starttime = TicksFromEpoch(t.start);
        mst->samprate = t.rate;
        const bool integral = AllIntegral(t.samples);
        const std::size_t n = t.samples.size();
        // mst_free releases datasamples with free().
        void* data = std::malloc(n * 4);
        if (data == nullptr) {
            error = "out of memory";
            break;
        }
        if (integral) {
            auto* v = static_cast<std::int32_t*>(data);
            for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::int32_t>(t.samples[i]);
            mst->sampletype = 'i';
        } else {
            std::memcpy(data, t.samples.data(), n * 4);
            mst->sampletype = 'f';
        }
        mst->datasamples = data;
        mst->numsamples = static_cast<std::int64_t>(n);
        mst->samplecnt = mst->numsamples;
        mst->endtime = mst->starttime + TicksFromEpoch(static_cast<double>(n - 1) / t.rate);
        int64_t packed = 0;  // mst_pack takes the packed samples out of the trace
        const int records = mst_pack(mst.get(), &WriteRecord, &sink, 4096,
                                     integral ? DE_STEIM2 : DE_FLOAT32, 1, &packed, 1, 0, nullptr);
        if (records < 0 || packed != static_cast<int64_t>(n)) {
            error = "cannot pack the trace " + t.id.Text() + " into miniSEED records (" +
                    std::to_string(records) + ", " + std::to_string(packed) + " of " + std::to_string(n) + ")";
            break;
        }
        if (sink.failed) {
            error = "cannot write " + path + ": " + std::strerror(errno);
            break;
        }
    }
    if (std::fclose(sink.file) != 0 && error.empty()) error = "cannot write " + path + ": " + std::strerror(errno);
    if (!error.empty()) {
        std::remove(path.c_str());
        return error;
    }
    recordsWritten = sink.records;
    return {};
}

}  // namespace kvt::mseed
