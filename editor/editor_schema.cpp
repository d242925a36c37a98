#include "editor/editor_schema.h"

namespace kvt::editor {

SitechanNames RefreshSitechanNames(void* hdbc) {
  (void)hdbc;
  return SitechanNames{};
}

}  // namespace kvt::editor
