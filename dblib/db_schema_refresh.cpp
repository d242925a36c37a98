// Refresh of the schema registry from the database's own catalogue functions.
#include "dblib/db_schema.h"
#include "dblib/db_schema_slots.h"
#include "dblib/odbc_handles.h"

#include <cctype>
#include <cstring>

namespace kvt {

namespace {

std::string Upper(const char* s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// Copies the name as the database returned it into the slot, when it fits.
void Store(char* slot, std::size_t size, const char* name) {
    if (std::strlen(name) >= size) return;
    std::memset(slot, 0, size);
    std::memcpy(slot, name, std::strlen(name));
}

// Replaces the column names of one table by the database's spelling.
void RefreshColumns(SQLHDBC hdbc, detail::TableSlots& table) {
    odbc::Statement st(hdbc, nullptr);
    if (!st.ok()) return;
    const SQLRETURN rc = st.Check(SQLColumns(
        st.get(), nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(table.name), SQL_NTS,
        nullptr, 0));
    if (!odbc::Succeeded(rc)) return;
    char name[64] = {};
    SQLLEN ind = 0;
    if (!st.Bind(4, SQL_C_CHAR, name, sizeof name, &ind)) return;
    while (odbc::Succeeded(st.Fetch())) {
        if (ind == SQL_NULL_DATA) continue;
        const std::string upper = Upper(name);
        // The first name that matches a slot wins; a later one differing
        // only in case finds the slot changed and is ignored.
        for (detail::ColumnSlot& c : table.columns) {
            if (c.lookedUp && upper == c.slot) {
                Store(c.slot, kSchemaNameSize, name);
                break;
            }
        }
    }
    st.CloseCursor();
}

}  // namespace

void CDbSchema::Refresh(void* hdbc) {
    hdbc_ = hdbc;
    ResetToBuiltIn();
    if (hdbc == nullptr) return;
    std::vector<detail::TableSlots> tables = detail::SchemaSlots(*this);
    std::vector<bool> listed(tables.size(), false);
    {
        odbc::Statement st(hdbc, nullptr);
        if (!st.ok()) return;
        static char tableType[] = "'TABLE'";
        const SQLRETURN rc = st.Check(SQLTables(st.get(), nullptr, 0, nullptr, 0, nullptr, 0,
                                                reinterpret_cast<SQLCHAR*>(tableType), SQL_NTS));
        if (!odbc::Succeeded(rc)) return;
        char name[64] = {};
        SQLLEN ind = 0;
        if (!st.Bind(3, SQL_C_CHAR, name, sizeof name, &ind)) return;
        while (odbc::Succeeded(st.Fetch())) {
            if (ind == SQL_NULL_DATA) continue;
            const std::string upper = Upper(name);
            for (std::size_t i = 0; i < tables.size(); ++i) {
                if (upper == tables[i].name) {
                    Store(tables[i].name, tables[i].nameSize, name);
                    listed[i] = true;
                    break;
                }
            }
        }
        st.CloseCursor();
    }
    // The editor's registry looks up only the tables the database lists; the
    // viewer's asks for every table (an unlisted one simply returns no column).
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (variant_ == Variant::Editor && !listed[i]) continue;
        RefreshColumns(hdbc, tables[i]);
    }
}

}  // namespace kvt
