// The process-wide store behind blob slots.
//
// A reference is (generation << 20) | (index + 1): the index picks an entry
// of the table, the 12-bit generation changes every time the entry is reused,
// so a stale reference copied into another record does not reach the block
// that took its place.
#include "record/blob_value.h"

#include <memory>
#include <mutex>
#include <vector>

#include "record/byte_form.h"

namespace tavelnor::record {
namespace {

constexpr uint32_t kIndexBits = 20;
constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr uint32_t kMaxEntries = kIndexMask;  // index + 1 must fit the mask
constexpr uint32_t kGenerationMask = 0xFFF;

class PartStore {
 public:
  // The entry's bytes; null for an unknown reference.
  const std::string* Find(uint32_t ref) const {
    std::lock_guard lock(mutex_);
    const Entry* e = Lookup(ref);
    return e != nullptr ? e->bytes.get() : nullptr;
  }

  // 0 when the table is full.
  uint32_t Add(std::string_view bytes) {
    auto block = std::make_unique<std::string>(bytes);
    std::lock_guard lock(mutex_);
    uint32_t index;
    if (!free_.empty()) {
      index = free_.back();
      free_.pop_back();
    } else {
      if (entries_.size() >= kMaxEntries) return 0;
      index = static_cast<uint32_t>(entries_.size());
      entries_.emplace_back();
    }
    Entry& e = entries_[index];
    e.bytes = std::move(block);
    ++live_;
    return (static_cast<uint32_t>(e.generation) << kIndexBits) | (index + 1);
  }

  void Remove(uint32_t ref) {
    std::unique_ptr<std::string> doomed;
    std::lock_guard lock(mutex_);
    Entry* e = Lookup(ref);
    if (e == nullptr) return;
    doomed = std::move(e->bytes);
    e->generation = static_cast<uint16_t>((e->generation + 1) & kGenerationMask);
    free_.push_back((ref & kIndexMask) - 1);
    --live_;
  }

  size_t Live() const {
    std::lock_guard lock(mutex_);
    return live_;
  }

 private:
  struct Entry {
    std::unique_ptr<std::string> bytes;
    uint16_t generation = 0;
  };

  const Entry* Lookup(uint32_t ref) const {
    uint32_t index = ref & kIndexMask;
    if (index == 0 || index > entries_.size()) return nullptr;
    const Entry& e = entries_[index - 1];
    if (!e.bytes || e.generation != (ref >> kIndexBits)) return nullptr;
    return &e;
  }
  Entry* Lookup(uint32_t ref) {
    return const_cast<Entry*>(static_cast<const PartStore*>(this)->Lookup(ref));
  }

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::vector<uint32_t> free_;
  size_t live_ = 0;
};

PartStore& Store() {
  static PartStore* store = new PartStore();  // blocks may be released at exit
  return *store;
}

void WriteSlot(uint8_t* slot, uint32_t length, uint8_t flags, uint32_t ref) {
  StoreLittle<uint32_t>(slot, (length << 8) | flags);
  StoreLittle<uint32_t>(slot + 4, ref);
}

}  // namespace

uint32_t VarPartLength(const uint8_t* slot) { return LoadLittle<uint32_t>(slot) >> 8; }
uint8_t VarPartFlags(const uint8_t* slot) { return slot[0]; }
void SetVarPartFlags(uint8_t* slot, uint8_t flags) { slot[0] = flags; }
uint32_t VarPartRef(const uint8_t* slot) { return LoadLittle<uint32_t>(slot + 4); }

std::string_view ReadVarPart(const uint8_t* slot) {
  const std::string* bytes = Store().Find(VarPartRef(slot));
  if (bytes == nullptr) return {};
  return std::string_view(*bytes).substr(0, VarPartLength(slot));
}

bool AssignVarPart(uint8_t* slot, std::string_view bytes) {
  if (bytes.size() > kMaxVarPartLength) return false;
  uint32_t ref = 0;
  if (!bytes.empty()) {
    ref = Store().Add(bytes);
    if (ref == 0) return false;
  }
  Store().Remove(VarPartRef(slot));
  WriteSlot(slot, static_cast<uint32_t>(bytes.size()), VarPartFlags(slot) | kVarPartModified,
            ref);
  return true;
}

void ReleaseVarPart(uint8_t* slot) {
  Store().Remove(VarPartRef(slot));
  WriteSlot(slot, 0, VarPartFlags(slot), 0);
}

void DuplicateVarPart(uint8_t* slot) {
  std::string_view bytes = ReadVarPart(slot);
  uint32_t ref = bytes.empty() ? 0 : Store().Add(bytes);
  WriteSlot(slot, ref == 0 ? 0 : static_cast<uint32_t>(bytes.size()), VarPartFlags(slot), ref);
}

size_t LiveVarPartCount() { return Store().Live(); }

}  // namespace tavelnor::record
