#pragma once
// What the benchmark programs share to build their throw-away catalogues.

#include <string>

namespace kvt::bench {

//! Path of the SQLite ODBC driver library in the usual places; empty when
//! it is not installed.
std::string FindSqliteDriver();

//! Runs one statement on the connection hdbc. On failure prints the driver's
//! message and the start of the text to stderr, prefixed with program, and
//! returns false.
bool ExecSql(void* hdbc, const std::string& sql, const char* program);

//! Runs a schema script (statements end with ';' at a line end, lines
//! starting with "--" are comments). False, with a message, when the file
//! cannot be read or a statement fails.
bool RunSqlScript(void* hdbc, const std::string& path, const char* program);

}  // namespace kvt::bench
