// The process-wide data context and its cache of shared files.
#include "data/data_context.h"

#include <mutex>

#include "btrieve/btrieve_codes.h"
#include "data/btrv_file.h"
#include "data/file_opening.h"
#include "foundation/process_singleton.h"

namespace tavelnor::data {

DataContext& DataContext::Process() {
  static ProcessSingleton<DataContext> singleton("DataContext");
  return singleton.Get();
}

BtrvFile* DataContext::AcquireFile(const std::string& path, uint16_t mode_word,
                                   const dico::DRubricTable* table, int16_t* status) {
  std::lock_guard<platform::CriticalSection> hold(section_);
  if (auto it = files_.find(path); it != files_.end()) {
    if (it->second.uses == UINT16_MAX) {
      *status = btrieve::kHandleTableFull;
      return nullptr;
    }
    ++it->second.uses;
    *status = 0;
    return it->second.file.get();
  }
  auto file = std::make_unique<BtrvFile>();
  const auto mode = static_cast<int16_t>(static_cast<int8_t>(mode_word & 0xFF));
  *status = OpenOrCreate(*file, table, Chaine(path), mode, (mode_word & kModeExtended) != 0, {});
  if (*status != 0) return nullptr;
  BtrvFile* raw = file.get();
  files_.emplace(path, CachedFile{std::move(file), 1});
  return raw;
}

bool DataContext::ReleaseFile(BtrvFile* file) {
  std::lock_guard<platform::CriticalSection> hold(section_);
  for (auto it = files_.begin(); it != files_.end(); ++it) {
    if (it->second.file.get() != file) continue;
    if (--it->second.uses == 0) {
      if (file->is_open()) file->Close();
      files_.erase(it);
    }
    return true;
  }
  return false;
}

size_t DataContext::CachedFileCount() {
  std::lock_guard<platform::CriticalSection> hold(section_);
  return files_.size();
}

uint16_t DataContext::UseCount(const BtrvFile* file) {
  std::lock_guard<platform::CriticalSection> hold(section_);
  for (const auto& [path, entry] : files_) {
    if (entry.file.get() == file) return entry.uses;
  }
  return 0;
}

}  // namespace tavelnor::data
