#include "editor/editor_schema.h"

#include "dblib/db_schema.h"

namespace kvt::editor {

SitechanNames RefreshSitechanNames(void* hdbc) {
  CDbSchema schema(CDbSchema::Variant::Editor);
  if (hdbc) schema.Refresh(hdbc);
  SitechanNames names;
  names.table = schema.siteChan.name;
  names.sta = schema.siteChan.STA;
  names.chan = schema.siteChan.CHAN;
  names.lcode = schema.siteChan.LCODE;
  return names;
}

}  // namespace kvt::editor
