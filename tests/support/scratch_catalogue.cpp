#include "scratch_catalogue.h"

#include <bitset>
#include <filesystem>
#include <mutex>
#include <stdexcept>

namespace fs = std::filesystem;

namespace kvt::test {
namespace {

std::mutex slotMutex;
std::bitset<ScratchCatalogue::kSlots> slotsInUse;

int TakeSlot() {
  std::lock_guard<std::mutex> lock(slotMutex);
  for (int slot = 0; slot < ScratchCatalogue::kSlots; ++slot) {
    if (!slotsInUse.test(slot)) {
      slotsInUse.set(slot);
      return slot;
    }
  }
  throw std::runtime_error("all throw-away catalogues of this process are in use");
}

void FreeSlot(int slot) {
  std::lock_guard<std::mutex> lock(slotMutex);
  slotsInUse.reset(slot);
}

void RemoveSlotFiles(const fs::path& slotDir) {
  std::error_code ec;
  for (const char* name : {"catalogue.sqlite", "catalogue.sqlite-journal", "catalogue.sqlite-wal",
                           "catalogue.sqlite-shm"}) {
    fs::remove(slotDir / name, ec);
  }
  fs::remove_all(slotDir / "data", ec);
}

}  // namespace

std::string ScratchCatalogue::SlotDsn(int slot) {
  return "kvt_scratch" + std::to_string(slot);
}

ScratchCatalogue::ScratchCatalogue() {
  const fs::path root = PrepareOdbcEnvironment();
  slot_ = TakeSlot();
  const fs::path slotDir = root / ("scratch" + std::to_string(slot_));
  try {
    RemoveSlotFiles(slotDir);
    fs::create_directories(slotDir / "data");
    file_ = (slotDir / "catalogue.sqlite").string();
    backend_.kind = BackendKind::SQLite;
    backend_.dsn = SlotDsn(slot_);
    backend_.dataDir = (slotDir / "data").string();
    backend_.sqlScript = std::string(KVT_SQL_DIR) + "/sqlite.sql";
    OdbcSession session = backend_.Connect();  // the driver creates the file
    RecreateCatalogue(backend_, session);
  } catch (...) {
    RemoveSlotFiles(slotDir);
    FreeSlot(slot_);
    throw;
  }
}

ScratchCatalogue::~ScratchCatalogue() noexcept {
  RemoveSlotFiles(fs::path(file_).parent_path());
  FreeSlot(slot_);
}

}  // namespace kvt::test
