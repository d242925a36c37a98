#include "dblib/db_result.h"

namespace kvt::db {

const char* ResultText(int code) noexcept {
    switch (code) {
    case kOk: return "success";
    case kProbeFailed: return "connection to the catalogue lost (probe failed)";
    case kOdbcFailed: return "an ODBC call failed";
    case kNoRow: return "no catalogue row found";
    case kInsertFailed: return "catalogue row could not be inserted";
    case kUpdateFailed: return "catalogue row could not be updated";
    case kDeleteFailed: return "catalogue row could not be deleted or storage total not read";
    case kNoRowUpdated: return "update matched no catalogue row";
    case kFileOpenFailed: return "data file cannot be opened or created";
    case kFileWriteFailed: return "data file missing or writing it failed";
    case kFileReadFailed: return "reading a data file failed";
    case kFileMissing: return "data file does not exist";
    case kNoOverlap: return "file does not overlap the interval or sample count mismatch";
    case kEmptyInterval: return "interval is empty (end not after begin)";
    case kUnknownParameter: return "parameter name not recognised";
    case kNoIntervalRow: return "no catalogue row for the interval";
    case kValueTooLong: return "parameter value longer than 31 characters";
    case kBadRow: return "catalogue row with unusable values";
    default: return "unknown result code";
    }
}

}  // namespace kvt::db
