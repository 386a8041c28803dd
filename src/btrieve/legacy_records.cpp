// The live records of a checked layout: slots of the data pages in address
// order, their variable parts (chains of fragments on variable pages) and
// their places along the duplicate chains. Everything is checked when the
// file is opened, so Scan and Read meet damage only if the checks missed it.
#include <algorithm>
#include <cstring>
#include <set>
#include <utility>

#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_format.h"
#include "btrieve/legacy_reader.h"

namespace tavelnor::btrieve::legacy {

namespace {

// Longest fragment chain followed; real chains need a few per 64 KiB.
constexpr size_t kMaxFragments = 4096;

// The whole file stays in memory; fixed records are handed out in place,
// variable ones through a scratch buffer, so one caller at a time.
class LegacyFile final : public LegacySource {
 public:
  LegacyFile(std::vector<uint8_t> image, Layout layout)
      : image_(std::move(image)), layout_(std::move(layout)) {}

  int Collect(std::string* reason);

  const FileSpec& spec() const override { return layout_.spec; }
  const LegacyInfo& info() const override { return layout_.info; }
  int Scan(const std::function<int(const LegacyRecord&)>& visit) override;
  int Read(uint32_t address, std::vector<uint8_t>* data) override;

 private:
  const uint8_t* Slot(size_t i) const { return image_.data() + slots_[i]; }
  // The whole record i (fixed part and variable part) into *out.
  int Assemble(size_t i, std::vector<uint8_t>* out, std::string* reason) const;
  int AppendVariable(VarPointer ptr, std::vector<uint8_t>* out, std::string* reason) const;
  const uint8_t* VariablePage(uint32_t page) const;
  int CollectSlots(std::string* reason);
  int RankChain(size_t key, std::string* reason);

  std::vector<uint8_t> image_;
  Layout layout_;
  std::vector<uint32_t> addresses_;
  std::vector<uint32_t> slots_;  // offsets of the slots in image_
  std::vector<uint32_t> ranks_;  // record-major, one per key
  std::vector<uint8_t> scratch_;
};

int LegacyFile::CollectSlots(std::string* reason) {
  const uint32_t ps = layout_.spec.page_size;
  const uint32_t physical = layout_.info.physical_length;
  const uint32_t per_page = (ps - kPageHeader) / physical;
  for (size_t j = 0; j < layout_.data_physical.size(); ++j) {
    const size_t page = size_t{layout_.data_physical[j]} * ps;
    for (uint32_t s = 0; s < per_page; ++s) {
      const uint32_t offset = kPageHeader + s * physical;
      const uint8_t* slot = image_.data() + page + offset;
      if (layout_.v6) {
        if (LoadLE16(slot) == 0) continue;
      } else {
        uint32_t at = static_cast<uint32_t>(page + offset);
        if (std::binary_search(layout_.free_slots.begin(), layout_.free_slots.end(), at)) continue;
        if (std::all_of(slot, slot + physical, [](uint8_t b) { return b == 0; })) continue;
      }
      if (addresses_.size() >= layout_.info.record_count) {
        return Refuse(kIoError, "the data pages hold more records than the header counts", reason);
      }
      addresses_.push_back(static_cast<uint32_t>(size_t{layout_.data_logical[j]} * ps + offset));
      slots_.push_back(static_cast<uint32_t>(page + offset));
    }
  }
  if (addresses_.size() != layout_.info.record_count) {
    return Refuse(kIoError,
                  "the header counts " + std::to_string(layout_.info.record_count) +
                      " records, the data pages hold " + std::to_string(addresses_.size()),
                  reason);
  }
  return kOk;
}

const uint8_t* LegacyFile::VariablePage(uint32_t page) const {
  const uint32_t ps = layout_.spec.page_size;
  if (layout_.v6) {
    if (page >= layout_.logical_type.size() || layout_.logical_type[page] != kPageVariable) {
      return nullptr;
    }
    return image_.data() + size_t{layout_.logical_physical[page]} * ps;
  }
  if (page == 0 || page >= layout_.info.page_count) return nullptr;
  const uint8_t* p = image_.data() + size_t{page} * ps;
  if (LoadSwapped(p) != page || (LoadLE16(p + 4) & kDataPageBit)) return nullptr;
  return p;
}

int LegacyFile::AppendVariable(VarPointer ptr, std::vector<uint8_t>* out,
                               std::string* reason) const {
  const uint32_t ps = layout_.spec.page_size;
  std::set<uint32_t> seen;
  while (!ptr.none()) {
    if (seen.size() >= kMaxFragments || !seen.insert(ptr.page << 8 | ptr.fragment).second) {
      return Refuse(kIoError, "a chain of record fragments runs in a circle", reason);
    }
    const uint8_t* page = VariablePage(ptr.page);
    if (!page) return Refuse(kIoError, "a record fragment points to no variable page", reason);
    const uint32_t count = LoadLE16(page + 0x0A);
    if (ptr.fragment >= count || 2u * (count + 1) > ps - kFragmentsStart) {
      return Refuse(kIoError, "a record fragment points past its page's fragment table", reason);
    }
    const uint32_t table = ps - 2 * (count + 1);
    auto entry = [&](uint32_t n) { return LoadLE16(page + ps - 2 * (n + 1)); };
    const uint16_t e = entry(ptr.fragment);
    uint32_t end = 0xFFFF;
    for (uint32_t n = ptr.fragment + 1u; n <= count && end == 0xFFFF; ++n) {
      if (entry(n) != 0xFFFF) end = entry(n) & 0x7FFF;
    }
    uint32_t start = e & 0x7FFF;
    if (e == 0xFFFF || start < kFragmentsStart || end < start || end > table) {
      return Refuse(kIoError, "a record fragment lies outside its page", reason);
    }
    ptr = VarPointer{};
    if (layout_.v6 || (e & 0x8000)) {
      if (end - start < 4) return Refuse(kIoError, "a record fragment is too short", reason);
      ptr = LoadVarPointer(page + start);
      start += 4;
    }
    out->insert(out->end(), page + start, page + end);
  }
  return kOk;
}

int LegacyFile::Assemble(size_t i, std::vector<uint8_t>* out, std::string* reason) const {
  const uint8_t* record = Slot(i) + layout_.usage_bytes;
  const uint16_t length = layout_.spec.record_length;
  out->assign(record, record + length);
  if (!layout_.spec.variable_length()) return kOk;
  return AppendVariable(LoadVarPointer(record + length), out, reason);
}

// Walks every chain of one key from its start (no previous record), giving
// ranks in chain order. Each record must be reached exactly once, and each
// link must be answered by the back link of the record it names.
int LegacyFile::RankChain(size_t key, std::string* reason) {
  const uint32_t pair = layout_.dup_offsets[key];
  const size_t keys = layout_.spec.keys.size();
  const size_t n = addresses_.size();
  std::vector<uint8_t> reached(n, 0);
  for (size_t head = 0; head < n; ++head) {
    if (LoadSwapped(Slot(head) + pair) != kNone) continue;
    size_t current = head;
    for (uint32_t rank = 0;; ++rank) {
      if (reached[current]++) {
        return Refuse(kIoError, "a duplicate chain runs in a circle", reason);
      }
      ranks_[current * keys + key] = rank;
      const uint32_t next = LoadSwapped(Slot(current) + pair + 4);
      if (next == kNone) break;
      auto it = std::lower_bound(addresses_.begin(), addresses_.end(), next);
      if (it == addresses_.end() || *it != next) {
        return Refuse(kIoError, "a duplicate chain points to no record", reason);
      }
      size_t following = static_cast<size_t>(it - addresses_.begin());
      if (LoadSwapped(Slot(following) + pair) != addresses_[current]) {
        return Refuse(kIoError, "a duplicate chain's links disagree", reason);
      }
      current = following;
    }
  }
  if (std::find(reached.begin(), reached.end(), 0) != reached.end()) {
    return Refuse(kIoError, "a duplicate chain has no start", reason);
  }
  return kOk;
}

int LegacyFile::Collect(std::string* reason) {
  if (int st = CollectSlots(reason); st != kOk) return st;
  if (layout_.spec.variable_length()) {
    for (size_t i = 0; i < addresses_.size(); ++i) {
      if (int st = Assemble(i, &scratch_, reason); st != kOk) return st;
    }
  }
  ranks_.assign(addresses_.size() * layout_.spec.keys.size(), 0);
  for (size_t k = 0; k < layout_.spec.keys.size(); ++k) {
    if (layout_.dup_offsets[k] == kNoDupPair) continue;
    if (int st = RankChain(k, reason); st != kOk) return st;
  }
  return kOk;
}

int LegacyFile::Scan(const std::function<int(const LegacyRecord&)>& visit) {
  const size_t keys = layout_.spec.keys.size();
  for (size_t i = 0; i < addresses_.size(); ++i) {
    LegacyRecord record;
    record.address = addresses_[i];
    if (layout_.spec.variable_length()) {
      if (Assemble(i, &scratch_, nullptr) != kOk) return kIoError;
      record.data = scratch_;
    } else {
      record.data = {Slot(i) + layout_.usage_bytes, layout_.spec.record_length};
    }
    record.dup_rank = {ranks_.data() + i * keys, keys};
    if (int st = visit(record); st != 0) return st;
  }
  return kOk;
}

int LegacyFile::Read(uint32_t address, std::vector<uint8_t>* data) {
  auto it = std::lower_bound(addresses_.begin(), addresses_.end(), address);
  if (it == addresses_.end() || *it != address) return kInvalidRecordAddress;
  if (!data) return kOk;
  return Assemble(static_cast<size_t>(it - addresses_.begin()), data, nullptr);
}

}  // namespace

int MakeSource(std::vector<uint8_t> image, Layout layout, std::unique_ptr<LegacySource>* out,
               std::string* reason) {
  auto file = std::make_unique<LegacyFile>(std::move(image), std::move(layout));
  if (int st = file->Collect(reason); st != kOk) return st;
  *out = std::move(file);
  return kOk;
}

}  // namespace tavelnor::btrieve::legacy
