#include "dblib/db_schema.h"

#include "dblib/db_schema_slots.h"

#include <cstring>

namespace kvt {

CDbSchema::CDbSchema(Variant variant) : variant_(variant) { ResetToBuiltIn(); }

CDbSchema::~CDbSchema() = default;

void CDbSchema::ResetToBuiltIn() {
    for (const detail::TableSlots& t : detail::SchemaSlots(*this)) {
        std::memset(t.name, 0, t.nameSize);
        std::strncpy(t.name, t.builtIn, t.nameSize - 1);
        for (const detail::ColumnSlot& c : t.columns) {
            std::memset(c.slot, 0, kSchemaNameSize);
            std::strncpy(c.slot, c.builtIn, kSchemaNameSize - 1);
        }
    }
    // EVENT_TYPE exists only in the editor's registry but keeps a sensible text in both.
    std::strncpy(eventList.EVENT_TYPE, "EVENT_TYPE", kSchemaNameSize - 1);
    std::strncpy(eventList.EVENT_TIME, "EVENT_TIME", kSchemaNameSize - 1);
    std::strncpy(fileList.TEND, "TEND", kSchemaNameSize - 1);
}

}  // namespace kvt
