// Refresh of the schema registry from the database's own catalogue functions.
#include "dblib/db_schema.h"
#include "dblib/db_schema_slots.h"
#include "dblib/odbc_handles.h"

#include <algorithm>
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

// The database the connection works in, as the driver names it (empty when
// the driver has no such notion).
std::string CurrentCatalog(SQLHDBC hdbc) {
    char name[256] = {};
    SQLINTEGER length = 0;
    const SQLRETURN rc = odbc::Check(
        SQLGetConnectAttr(hdbc, SQL_ATTR_CURRENT_CATALOG, name, sizeof name - 1, &length),
        SQL_HANDLE_DBC, hdbc, nullptr);
    return odbc::Succeeded(rc) ? std::string(name) : std::string();
}

// Lists the tables of catalog (all catalogs when empty) and copies the
// database's spelling of every registered table into its slot. A slot takes
// the first name that matches it; later names differing only in case are
// ignored. Returns false when the listing failed.
bool ListTables(SQLHDBC hdbc, const std::string& catalog, std::vector<detail::TableSlots>& tables,
                std::vector<bool>& listed) {
    odbc::Statement st(hdbc, nullptr);
    if (!st.ok()) return false;
    static char tableType[] = "'TABLE'";
    std::string cat = catalog;
    const SQLRETURN rc = st.Check(SQLTables(
        st.get(), cat.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(cat.data()),
        cat.empty() ? 0 : SQL_NTS, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(tableType),
        SQL_NTS));
    if (!odbc::Succeeded(rc)) return false;
    char name[64] = {};
    SQLLEN ind = 0;
    if (!st.Bind(3, SQL_C_CHAR, name, sizeof name, &ind)) return false;
    while (odbc::Succeeded(st.Fetch())) {
        if (ind == SQL_NULL_DATA) continue;
        const std::string upper = Upper(name);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            if (!listed[i] && upper == tables[i].name) {
                Store(tables[i].name, tables[i].nameSize, name);
                listed[i] = true;
                break;
            }
        }
    }
    st.CloseCursor();
    return true;
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
    std::vector<bool> found(table.columns.size(), false);
    while (odbc::Succeeded(st.Fetch())) {
        if (ind == SQL_NULL_DATA) continue;
        const std::string upper = Upper(name);
        // The first name that matches a slot wins; a later one differing
        // only in case is ignored.
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            detail::ColumnSlot& c = table.columns[i];
            if (c.lookedUp && !found[i] && upper == c.slot) {
                Store(c.slot, kSchemaNameSize, name);
                found[i] = true;
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
    // A server may list the tables of every database it holds; the names that
    // count are those of the database this connection works in.
    const std::string catalog = CurrentCatalog(hdbc);
    if (!ListTables(hdbc, catalog, tables, listed)) return;
    if (!catalog.empty() && std::find(listed.begin(), listed.end(), true) == listed.end() &&
        !ListTables(hdbc, std::string(), tables, listed))
        return;
    // The editor's registry looks up only the tables the database lists; the
    // viewer's asks for every table (an unlisted one simply returns no column).
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (variant_ == Variant::Editor && !listed[i]) continue;
        RefreshColumns(hdbc, tables[i]);
    }
}

}  // namespace kvt
