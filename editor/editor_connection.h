// The editor's own connection to the waveform database, and the data sources it can offer.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kvt::editor {

//! Outcome of a connection attempt.
struct ConnectOutcome {
  bool ok = false;
  bool allocationFailed = false;  //!< the environment or connection handle could not be had
  std::string diagnostic;         //!< message of the first diagnostic record on failure
};

//! One ODBC environment and connection handle pair, owned for the editor's whole run (or until
//! a connection test replaces it). Disconnects and frees both handles on destruction.
class EditorConnection {
 public:
  EditorConnection() = default;
  ~EditorConnection() noexcept;
  EditorConnection(const EditorConnection&) = delete;
  EditorConnection& operator=(const EditorConnection&) = delete;

  //! Drops any current connection, then connects to data source `dsn` as `user`.
  ConnectOutcome Connect(const std::string& dsn, const std::string& user,
                         const std::string& password);
  //! Disconnects and frees the handles; harmless when not connected.
  void Disconnect() noexcept;
  bool connected() const { return hdbc_ != nullptr; }
  //! The connection handle (an SQLHDBC) for statements; nullptr when not connected.
  void* hdbc() const { return hdbc_; }

  //! Names of the tables of type TABLE the database lists (all catalogues and schemas);
  //! nullopt when the list cannot be had.
  std::optional<std::vector<std::string>> ListTables() const;

 private:
  void* henv_ = nullptr;
  void* hdbc_ = nullptr;
};

//! Runs `sql` on connection `hdbc` and fetches its first column as text into a buffer of
//! `bufferBytes` (longer values are cut to bufferBytes - 1 characters); a NULL value is
//! nullopt. Returns nullopt when there is no connection or the statement fails.
std::optional<std::vector<std::optional<std::string>>> FetchTextColumn(void* hdbc,
                                                                        const std::string& sql,
                                                                        size_t bufferBytes);

//! One entry of the driver manager's data source list.
struct DataSourceEntry {
  std::string name;
  bool isSystem = false;  //!< system data source (true) or user data source (false)
};

//! Most entries the data source list takes; further names are left out.
inline constexpr size_t kMaxDataSources = 256;

//! The data sources the driver manager knows: system data sources first, then user data
//! sources. Empty when the driver manager cannot be used.
std::vector<DataSourceEntry> ListDataSources();

}  // namespace kvt::editor
