// The live records of a checked layout: slots of the data pages in address
// order and their variable parts (chains of fragments on variable pages),
// checked when the file is opened; their places along the duplicate chains,
// followed and checked when a key's index is built.
#include <algorithm>
#include <array>
#include <cstring>
#include <set>
#include <utility>

#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_format.h"
#include "btrieve/legacy_reader.h"
#include "foundation/platform/mapped_file.h"

namespace tavelnor::btrieve {

int LegacySource::Scan(const std::function<int(const LegacyRecord&)>& visit) const {
  const size_t keys = spec().keys.size();
  const size_t n = addresses().size();
  std::vector<uint32_t> ranks(n * keys, 0);
  std::vector<uint32_t> chain;
  for (size_t k = 0; k < keys; ++k) {
    std::string reason;
    std::vector<uint32_t> previous;
    if (int st = DupRanks(k, &chain, &previous, &reason); st != kOk) return st;
    if (chain.size() != n) return kIoError;
    for (size_t i = 0; i < n; ++i) ranks[i * keys + k] = chain[i];
  }
  std::vector<uint8_t> data;
  for (size_t i = 0; i < n; ++i) {
    if (int st = Record(i, &data); st != kOk) return st;
    LegacyRecord record;
    record.address = addresses()[i];
    record.data = data;
    record.dup_rank = {ranks.data() + i * keys, keys};
    if (int st = visit(record); st != 0) return st;
  }
  return Changed() ? kIoError : kOk;
}

int LegacySource::Read(uint32_t address, std::vector<uint8_t>* data) const {
  const std::vector<uint32_t>& all = addresses();
  auto it = std::lower_bound(all.begin(), all.end(), address);
  if (it == all.end() || *it != address) return kInvalidRecordAddress;
  if (!data) return kOk;
  int st = Record(static_cast<size_t>(it - all.begin()), data);
  return st == kOk && Changed() ? kIoError : st;
}

namespace legacy {

namespace {

// Longest fragment chain followed; real chains need a few per 64 KiB.
constexpr size_t kMaxFragments = 4096;

// The records of a checked layout, read in place from the file's bytes.
class PagedRecords final : public LegacySource {
 public:
  PagedRecords(FileBytes bytes, Layout layout)
      : bytes_(std::move(bytes)), file_(bytes_.bytes()), layout_(std::move(layout)) {}

  int Collect(std::string* reason);

  const FileSpec& spec() const override { return layout_.spec; }
  const LegacyInfo& info() const override { return layout_.info; }
  const std::vector<uint32_t>& addresses() const override { return addresses_; }
  int Fixed(size_t i, std::span<const uint8_t>* out) const override;
  int Record(size_t i, std::vector<uint8_t>* out) const override;
  int DupRanks(size_t key, std::vector<uint32_t>* ranks, std::vector<uint32_t>* previous,
               std::string* reason) const override;
  // A released source (no mapping) has nothing to compare until reattached.
  bool Changed() const override {
    return bytes_.cut() || (!file_.empty() && !SameHeader(file_));
  }
  void Release() override {
    if (!bytes_.mapped) return;  // an image in memory stays
    bytes_.mapped.reset();
    file_ = {};
  }
  bool Reattach(std::shared_ptr<const platform::MappedFile> file) override {
    if (bytes_.mapped || !file || file->bytes().size() != layout_.info.file_size ||
        !SameHeader(file->bytes())) {
      return false;
    }
    bytes_.mapped = std::move(file);
    file_ = bytes_.bytes();
    return true;
  }

 private:
  const uint8_t* Slot(size_t i) const { return file_.data() + slots_[i]; }
  // Follows the variable part from `ptr`, appending it to *out (when not
  // null) and counting its bytes in *length.
  int AppendVariable(VarPointer ptr, std::vector<uint8_t>* out, size_t* length,
                     std::string* reason) const;
  const uint8_t* VariablePage(uint32_t page) const;
  int CollectSlots(std::string* reason);
  // The header words every write of the earlier engines moves: 6.x the
  // usage counts of both header pages; 5.x the record count, the head of
  // the deleted records' chain and the page count (an update in place moves
  // none of these). Taken when the file is opened.
  std::array<uint32_t, 3> HeaderWords(std::span<const uint8_t> file) const;
  bool SameHeader(std::span<const uint8_t> file) const { return HeaderWords(file) == header_; }

  FileBytes bytes_;
  std::span<const uint8_t> file_;
  Layout layout_;
  std::vector<uint32_t> addresses_;
  std::vector<uint32_t> slots_;  // offsets of the slots in the file
  std::array<uint32_t, 3> header_{};
};

std::array<uint32_t, 3> PagedRecords::HeaderWords(std::span<const uint8_t> file) const {
  const size_t ps = layout_.spec.page_size;
  if (file.size() < (layout_.v6 ? 2 : 1) * ps) return {};
  if (layout_.v6) {
    return {LoadLE32(file.data() + kFcrUsage), LoadLE32(file.data() + ps + kFcrUsage), 0};
  }
  return {LoadLE32(file.data() + kFcrRecords), LoadLE32(file.data() + kFcrFreeSlot),
          LoadLE32(file.data() + kFcrPages)};
}

int PagedRecords::CollectSlots(std::string* reason) {
  const uint32_t ps = layout_.spec.page_size;
  const uint32_t physical = layout_.info.physical_length;
  const uint32_t per_page = (ps - kPageHeader) / physical;
  const size_t expected = layout_.info.record_count;
  if (expected <= file_.size() / physical) {
    addresses_.reserve(expected);
    slots_.reserve(expected);
  }
  for (size_t j = 0; j < layout_.data_physical.size(); ++j) {
    const size_t page = size_t{layout_.data_physical[j]} * ps;
    for (uint32_t s = 0; s < per_page; ++s) {
      const uint32_t offset = kPageHeader + s * physical;
      const uint8_t* slot = file_.data() + page + offset;
      if (layout_.v6) {
        if (LoadLE16(slot) == 0) continue;
      } else {
        uint32_t at = static_cast<uint32_t>(page + offset);
        if (std::binary_search(layout_.free_slots.begin(), layout_.free_slots.end(), at)) continue;
        if (std::all_of(slot, slot + physical, [](uint8_t b) { return b == 0; })) continue;
      }
      if (addresses_.size() >= expected) {
        return Refuse(kIoError, "the data pages hold more records than the header counts", reason);
      }
      addresses_.push_back(static_cast<uint32_t>(size_t{layout_.data_logical[j]} * ps + offset));
      slots_.push_back(static_cast<uint32_t>(page + offset));
    }
  }
  if (addresses_.size() != expected) {
    return Refuse(kIoError,
                  "the header counts " + std::to_string(expected) + " records, the data pages hold " +
                      std::to_string(addresses_.size()),
                  reason);
  }
  return kOk;
}

const uint8_t* PagedRecords::VariablePage(uint32_t page) const {
  const uint32_t ps = layout_.spec.page_size;
  if (layout_.v6) {
    if (page >= layout_.logical_type.size() || layout_.logical_type[page] != kPageVariable) {
      return nullptr;
    }
    return file_.data() + size_t{layout_.logical_physical[page]} * ps;
  }
  if (page == 0 || page >= layout_.info.page_count) return nullptr;
  const uint8_t* p = file_.data() + size_t{page} * ps;
  if (LoadSwapped(p) != page || (LoadLE16(p + 4) & kDataPageBit)) return nullptr;
  return p;
}

int PagedRecords::AppendVariable(VarPointer ptr, std::vector<uint8_t>* out, size_t* length,
                                 std::string* reason) const {
  const uint32_t ps = layout_.spec.page_size;
  // Fragments met so far: the first few in place (real chains are short),
  // the rest in a set.
  std::array<uint32_t, 16> first{};
  size_t steps = 0;
  std::set<uint32_t> more;
  while (!ptr.none()) {
    const uint32_t id = ptr.page << 8 | ptr.fragment;
    const bool repeated = std::find(first.begin(), first.begin() + std::min(steps, first.size()),
                                    id) != first.begin() + std::min(steps, first.size()) ||
                          (steps >= first.size() && !more.insert(id).second);
    if (repeated || steps >= kMaxFragments) {
      return Refuse(kIoError, "a chain of record fragments runs in a circle", reason);
    }
    if (steps < first.size()) first[steps] = id;
    ++steps;
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
    *length += end - start;
    if (out) out->insert(out->end(), page + start, page + end);
  }
  return kOk;
}

int PagedRecords::Fixed(size_t i, std::span<const uint8_t>* out) const {
  if (i >= slots_.size()) return kIoError;
  *out = {Slot(i) + layout_.usage_bytes, layout_.spec.record_length};
  return kOk;
}

int PagedRecords::Record(size_t i, std::vector<uint8_t>* out) const {
  if (i >= slots_.size()) return kIoError;
  const uint8_t* record = Slot(i) + layout_.usage_bytes;
  const uint16_t length = layout_.spec.record_length;
  out->assign(record, record + length);
  if (!layout_.spec.variable_length()) return kOk;
  size_t variable = 0;
  return AppendVariable(LoadVarPointer(record + length), out, &variable, nullptr);
}

// Walks every chain of one key from its start (no previous record), giving
// ranks in chain order. Each record must be reached exactly once, and each
// link must be answered by the back link of the record it names.
int PagedRecords::DupRanks(size_t key, std::vector<uint32_t>* ranks,
                           std::vector<uint32_t>* previous, std::string* reason) const {
  const size_t n = addresses_.size();
  ranks->assign(n, 0);
  previous->assign(n, kNoRecord);
  if (key >= layout_.dup_offsets.size()) return Refuse(kIoError, "no such key", reason);
  const uint32_t pair = layout_.dup_offsets[key];
  if (pair == kNoDupPair) return kOk;
  const std::string which = "key " + std::to_string(layout_.spec.keys[key].number);
  std::vector<uint8_t> reached(n, 0);
  for (size_t head = 0; head < n; ++head) {
    if (LoadSwapped(Slot(head) + pair) != kNone) continue;
    size_t current = head;
    for (uint32_t rank = 0;; ++rank) {
      if (reached[current]++) {
        return Refuse(kIoError, which + ": a duplicate chain runs in a circle", reason);
      }
      (*ranks)[current] = rank;
      const uint32_t next = LoadSwapped(Slot(current) + pair + 4);
      if (next == kNone) break;
      auto it = std::lower_bound(addresses_.begin(), addresses_.end(), next);
      if (it == addresses_.end() || *it != next) {
        return Refuse(kIoError, which + ": a duplicate chain points to no record", reason);
      }
      size_t following = static_cast<size_t>(it - addresses_.begin());
      if (LoadSwapped(Slot(following) + pair) != addresses_[current]) {
        return Refuse(kIoError, which + ": a duplicate chain's links disagree", reason);
      }
      (*previous)[following] = static_cast<uint32_t>(current);
      current = following;
    }
  }
  if (std::find(reached.begin(), reached.end(), 0) != reached.end()) {
    return Refuse(kIoError, which + ": a duplicate chain has no start", reason);
  }
  return Changed() ? Refuse(kIoError, kChangedWhileRead, reason) : kOk;
}

int PagedRecords::Collect(std::string* reason) {
  header_ = HeaderWords(file_);
  if (int st = CollectSlots(reason); st != kOk) return st;
  if (layout_.spec.variable_length()) {
    const uint16_t length = layout_.spec.record_length;
    for (size_t i = 0; i < addresses_.size(); ++i) {
      size_t variable = 0;
      const uint8_t* record = Slot(i) + layout_.usage_bytes;
      int st = AppendVariable(LoadVarPointer(record + length), nullptr, &variable, reason);
      if (st != kOk) return st;
    }
  }
  return Changed() ? Refuse(kIoError, kChangedWhileRead, reason) : kOk;
}

}  // namespace

int MakeSource(FileBytes bytes, Layout layout, std::unique_ptr<LegacySource>* out,
               std::string* reason) {
  auto file = std::make_unique<PagedRecords>(std::move(bytes), std::move(layout));
  if (int st = file->Collect(reason); st != kOk) return st;
  *out = std::move(file);
  return kOk;
}

}  // namespace legacy
}  // namespace tavelnor::btrieve
