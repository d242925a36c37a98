#include "bench_sql.h"

#include "dblib/odbc_statement.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace kvt::bench {

std::string FindSqliteDriver() {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc",
                            "/usr/lib/odbc", "/usr/lib64", "/usr/lib"}) {
        const std::filesystem::path p = std::filesystem::path(dir) / "libsqlite3odbc.so";
        if (std::filesystem::exists(p)) return p.string();
    }
    return {};
}

bool ExecSql(void* hdbc, const std::string& sql, const char* program) {
    OdbcStatement st(hdbc);
    if (st.ExecDirect(sql)) return true;
    std::fprintf(stderr, "%s: %s\n  in: %.200s\n", program, st.diagnostic().c_str(), sql.c_str());
    return false;
}

bool RunSqlScript(void* hdbc, const std::string& path, const char* program) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read %s\n", program, path.c_str());
        return false;
    }
    std::string line, statement;
    while (std::getline(in, line)) {
        if (line.rfind("--", 0) == 0) continue;
        statement += line + "\n";
        const auto end = line.find_last_not_of(" \t\r");
        if (end != std::string::npos && line[end] == ';') {
            if (!ExecSql(hdbc, statement, program)) return false;
            statement.clear();
        }
    }
    return true;
}

}  // namespace kvt::bench
