// A throw-away SQLite catalogue with its own ODBC data source, for single tests
// that need a real catalogue without the database servers. Creating one makes
// an empty catalogue (all tables, from dblib/sql/sqlite.sql) and an empty data
// directory; destroying it deletes both. Several may live at the same time.
//
//   kvt::test::ScratchCatalogue catalogue;
//   auto session = catalogue.backend().Connect();
//   kvt::test::CatalogueFile(session, row);
//   CWaveDatabase db; db.SetParameter("odbc", catalogue.backend().dsn.c_str()); ...
#pragma once

#include <string>

#include "test_backends.h"

namespace kvt::test {

class ScratchCatalogue {
 public:
  static constexpr int kSlots = 16;  //!< throw-away catalogues alive at once per process
  //! Data source name of a slot ("kvt_scratch0" ...).
  static std::string SlotDsn(int slot);

  //! Takes a free slot and creates the empty catalogue. Throws
  //! std::runtime_error when all slots are in use, OdbcError when the
  //! catalogue cannot be created.
  ScratchCatalogue();
  ~ScratchCatalogue() noexcept;
  ScratchCatalogue(const ScratchCatalogue&) = delete;
  ScratchCatalogue& operator=(const ScratchCatalogue&) = delete;

  //! DSN (no user, no password), data directory and script of this catalogue.
  const Backend& backend() const { return backend_; }
  //! Path of the SQLite file.
  const std::string& file() const { return file_; }

 private:
  int slot_ = -1;
  Backend backend_;
  std::string file_;
};

}  // namespace kvt::test
