// Fuzzer of the pure parts of the database library: the read plan of a file
// from catalogue values, sample conversion, path resolution and the quoting
// of values pasted into SQL.
#include "dblib/data_file.h"
#include "dblib/db_result.h"
#include "dblib/db_schema.h"
#include "dblib/odbc_statement.h"
#include "dblib/sql_text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double TakeDouble(const std::uint8_t*& data, std::size_t& size) {
    double v = 0;
    if (size >= sizeof v) {
        std::memcpy(&v, data, sizeof v);
        data += sizeof v;
        size -= sizeof v;
    }
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const double tBegin = TakeDouble(data, size);
    const double tQty = TakeDouble(data, size);
    const double sps = TakeDouble(data, size);
    const double from = TakeDouble(data, size);
    const double to = TakeDouble(data, size);
    const int type = size > 0 ? data[0] % 8 : 3;
    const std::int64_t offset = size > 1 ? static_cast<std::int8_t>(data[1]) * 64 : 512;

    kvt::PiecePlan plan;
    if (kvt::PlanPiece(tBegin, tQty, sps, type, offset, from, to, plan) == kvt::db::kOk) {
        // Whatever the row says, a plan stays within what one segment can hold.
        if (plan.count < 0 || plan.count > 2147483647 || plan.skip < 0 || plan.position < 0)
            std::abort();
    }

    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<float> out(size);
    if (kvt::SampleSize(type) > 0)
        kvt::ConvertSamples(type, data, size / static_cast<std::size_t>(kvt::SampleSize(type)),
                            out.data());

    const std::size_t half = text.size() / 2;
    kvt::ResolveDataPath(text.substr(0, half), text.substr(half));
    kvt::CataloguePath(text.substr(0, half), text.substr(half));

    // A quoted value never ends the literal it stands in: its quotes pair up.
    const std::string quoted = kvt::SqlQuote(text);
    std::size_t run = 0;
    for (char c : quoted) {
        if (c == '\'') {
            ++run;
        } else {
            if (run % 2 != 0) std::abort();
            run = 0;
        }
    }
    if (run % 2 != 0) std::abort();
    const kvt::CDbSchema schema;
    kvt::sql::IntervalQuery(schema, text, text, text, from, to, type % 2 == 0, "as tmp_filelist");
    return 0;
}
