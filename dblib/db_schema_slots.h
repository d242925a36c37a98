#pragma once
// Internal: the registry's slots in registry order, with their built-in names,
// so that the reset and the refresh walk one list.

#include "dblib/db_schema.h"

#include <cstddef>
#include <vector>

namespace kvt::detail {

struct ColumnSlot {
    const char* builtIn;  //!< upper-case built-in name
    char* slot;           //!< kSchemaNameSize bytes
    bool lookedUp;        //!< false for the columns that always keep the built-in name
};

struct TableSlots {
    const char* builtIn;
    char* name;
    std::size_t nameSize;
    std::vector<ColumnSlot> columns;  //!< the variant's columns, in slot order
};

//! The 14 tables of s in registry order with the columns of s's variant.
std::vector<TableSlots> SchemaSlots(CDbSchema& s);

}  // namespace kvt::detail
