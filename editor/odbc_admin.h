// The user data sources of the ODBC driver manager, read and written through the installer
// library so that every ODBC program on the machine sees the same definitions.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kvt::editor {

//! One user data source: its name, its driver (as named in the driver list) and its further
//! attributes (Database, Servername, Port, Description, ...) in file order.
struct DsnDefinition {
  std::string name;
  std::string driver;
  std::vector<std::pair<std::string, std::string>> attributes;
};

//! Outcome of an installer operation: empty `error` on success.
struct AdminResult {
  std::string error;
  bool ok() const { return error.empty(); }
};

//! Names of the installed ODBC drivers; empty when none (or the list cannot be read).
std::vector<std::string> InstalledDrivers();

//! Names of the user data sources, in file order.
std::vector<std::string> UserDataSources();

//! Reads the user data source `name`; the result has an empty name when it does not exist.
DsnDefinition ReadUserDsn(const std::string& name);

//! Writes `def` as a user data source. When `previousName` is not empty and differs from
//! `def.name`, the data source of that name is removed afterwards (a rename). Keys of an
//! existing definition that `def` no longer carries are removed. A name or key that is
//! empty, or holds "[", "]" or "=", is refused.
AdminResult WriteUserDsn(const DsnDefinition& def, const std::string& previousName = {});

//! Removes the user data source `name` with all its attributes.
AdminResult RemoveUserDsn(const std::string& name);

}  // namespace kvt::editor
