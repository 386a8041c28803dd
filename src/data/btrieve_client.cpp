// The record manager seam: choosing the record manager once per process and
// the two call wrappers.
#include "data/btrieve_client.h"

#include <atomic>
#include <utility>

#include "btrieve/btrieve_codes.h"
#include "foundation/platform/dynamic_library.h"
#include "foundation/platform/process.h"

namespace tavelnor::data {

namespace {

constexpr uint8_t kKeyLength = 255;

std::atomic<BtrCallFunc> g_replaced_call{nullptr};
std::atomic<BtrCallIdFunc> g_replaced_call_id{nullptr};

RecordManagerEntries Entries() {
  RecordManagerEntries replaced{g_replaced_call.load(), g_replaced_call_id.load()};
  if (replaced.call != nullptr || replaced.call_id != nullptr) return replaced;
  return ProcessRecordManager().entries();
}

}  // namespace

const BtrvClientId& ProcessClientId() {
  static const BtrvClientId id{};
  return id;
}

RecordManager RecordManager::Choose(const std::string& library_path, bool by_ordinal) {
  RecordManager m;
  m.entries_ = {&BTRCALL, &BTRCALLID};
  if (library_path.empty()) return m;
  Result<platform::DynamicLibrary*> lib = platform::LoadDynamicLibrary(library_path);
  if (!lib.ok()) {
    m.note_ = lib.status().message();
    return m;
  }
  void* call = by_ordinal ? platform::FindLibraryOrdinal(*lib, 1)
                          : platform::FindLibraryEntry(*lib, "BTRCALL");
  void* call_id = by_ordinal ? platform::FindLibraryOrdinal(*lib, 2)
                             : platform::FindLibraryEntry(*lib, "BTRCALLID");
  if (call == nullptr || call_id == nullptr) {
    platform::UnloadDynamicLibrary(*lib);
    m.note_ = library_path + ": no BTRCALL/BTRCALLID entry points";
    return m;
  }
  m.kind_ = Kind::kClientLibrary;
  m.library_ = *lib;
  m.path_ = library_path;
  m.entries_ = {reinterpret_cast<BtrCallFunc>(call), reinterpret_cast<BtrCallIdFunc>(call_id)};
  return m;
}

RecordManager::RecordManager(RecordManager&& other) noexcept
    : kind_(other.kind_),
      entries_(other.entries_),
      library_(std::exchange(other.library_, nullptr)),
      path_(std::move(other.path_)),
      note_(std::move(other.note_)) {}

RecordManager::~RecordManager() { platform::UnloadDynamicLibrary(library_); }

std::string RecordManager::Describe() const {
  if (kind_ == Kind::kClientLibrary) return "client library " + path_;
  if (note_.empty()) return "embedded";
  return "embedded (" + note_ + ")";
}

const RecordManager& ProcessRecordManager() {
  // Never destroyed: a client library stays loaded until the process ends, so
  // that no call made during shutdown reaches an unloaded library.
  static const RecordManager* manager = [] {
    const platform::ClientLibraryChoice client = platform::BtrieveClientLibrary();
    return new RecordManager(RecordManager::Choose(client.path, client.by_ordinal));
  }();
  return *manager;
}

RecordManagerEntries ReplaceRecordManager(RecordManagerEntries entries) {
  RecordManagerEntries old{g_replaced_call.exchange(entries.call),
                           g_replaced_call_id.exchange(entries.call_id)};
  return old;
}

uint16_t BtrvCall(uint16_t op, void* pos_block, void* data, uint16_t* data_len, void* key,
                  int16_t key_num) {
  uint32_t length = data_len != nullptr ? *data_len : 0;
  const BtrCallFunc call = Entries().call;
  if (call == nullptr) return btrieve::kRecordManagerInactive;  // no record manager answers
  const int16_t status = call(op, pos_block, data, &length, key, kKeyLength,
                              static_cast<int8_t>(key_num));
  if (data_len != nullptr) *data_len = static_cast<uint16_t>(length);
  return static_cast<uint16_t>(status);
}

uint16_t BtrvCallId(uint16_t op, void* pos_block, void* data, uint16_t* data_len, void* key,
                    int16_t key_num, const BtrvClientId* client_id) {
  uint32_t length = data_len != nullptr ? *data_len : 0;
  const BtrCallIdFunc call = Entries().call_id;
  if (call == nullptr) return btrieve::kRecordManagerInactive;
  const int16_t status = call(op, pos_block, data, &length, key, kKeyLength,
                              static_cast<int8_t>(key_num),
                              client_id != nullptr ? client_id->bytes : nullptr);
  if (data_len != nullptr) *data_len = static_cast<uint16_t>(length);
  return static_cast<uint16_t>(status);
}

}  // namespace tavelnor::data
