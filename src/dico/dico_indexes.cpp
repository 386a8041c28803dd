#include "dico/dico_indexes.h"

#include <algorithm>

#include "dico/dico_base.h"
#include "foundation/case_tables.h"

namespace tavelnor::dico {

NameKey::NameKey(uint32_t parent_id, uint8_t name_group, std::string_view text)
    : parent(parent_id), group(name_group) {
  const size_t n = text.size() < kMaxName ? text.size() : kMaxName;
  length = static_cast<uint8_t>(n);
  for (size_t i = 0; i < n; ++i) {
    name[i] = static_cast<char>(ToUpper1252(static_cast<uint8_t>(text[i])));
  }
}

size_t NameWords(const char* text, uint64_t w[3]) {
  w[0] = w[1] = w[2] = 0;
  size_t n = 0;
  for (; n < NameKey::kMaxName && text[n]; ++n) {
    w[n / 8] |= static_cast<uint64_t>(ToUpper1252(static_cast<uint8_t>(text[n]))) << (8 * (n % 8));
  }
  return n;
}

uint32_t HashNameKey(uint32_t parent, uint8_t group, size_t length, const uint64_t w[3]) {
  auto mix = [](uint64_t h, uint64_t v) {
    h ^= v;
    h *= 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
  };
  uint64_t h = mix((static_cast<uint64_t>(parent) << 16) | (uint64_t{group} << 8) | length, w[0]);
  h = mix(h, w[1]);
  h = mix(h, w[2]);
  return static_cast<uint32_t>(h ^ (h >> 32));
}

NameKey::NameKey(uint32_t parent_id, uint8_t name_group, const char* text)
    : parent(parent_id), group(name_group) {
  uint64_t w[3];
  length = static_cast<uint8_t>(NameWords(text, w));
  std::memcpy(name, w, sizeof w);
}

size_t NameKeyHash::operator()(const NameKey& k) const {
  uint64_t w[3];
  std::memcpy(w, k.name, sizeof w);
  return HashNameKey(k.parent, k.group, k.length, w);
}

void IdIndex::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  dense_.clear();
  sparse_.Clear();
  size_ = 0;
}
void IdIndex::Reserve(size_t n) {
  std::lock_guard<std::mutex> lock(mu_);
  const size_t dense = std::max<size_t>(n * 2, 4096);
  if (dense > dense_.size()) dense_.resize(dense, nullptr);
}
bool IdIndex::InsertUnlocked(uint32_t id, DDicoBase* object) {
  if (id < dense_.size()) {
    if (dense_[id]) return false;
    dense_[id] = object;
  } else if (!sparse_.Insert(id, object)) {
    return false;
  }
  ++size_;
  return true;
}
bool IdIndex::Insert(uint32_t id, DDicoBase* object) {
  std::lock_guard<std::mutex> lock(mu_);
  return InsertUnlocked(id, object);
}
DDicoBase* IdIndex::Find(uint32_t id) const {
  std::lock_guard<std::mutex> lock(mu_);
  return FindUnlocked(id);
}
size_t IdIndex::Size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return size_;
}

void NameIndex::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  entries_.clear();
  slots_.clear();
  size_ = 0;
}

void NameIndex::Reserve(size_t n) {
  std::lock_guard<std::mutex> lock(mu_);
  entries_.reserve(n);
  size_t cap = 16;
  while (cap < n * 2) cap <<= 1;
  if (cap > slots_.size()) Rehash(cap);
}

void NameIndex::Rehash(size_t capacity) {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(capacity, Slot{});
  const size_t mask = capacity - 1;
  for (const Slot& s : old) {
    if (!s.entry) continue;
    size_t i = s.hash & mask;
    while (slots_[i].entry) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

bool NameIndex::Matches(const Entry& e, const NameKey& key) const {
  if (e.parent != key.parent || e.group != key.group) return false;
  const char* name = e.object->NameText();
  if (!name) return false;
  size_t i = 0;
  for (; i < NameKey::kMaxName && name[i]; ++i) {
    if (i >= key.length || static_cast<char>(ToUpper1252(static_cast<uint8_t>(name[i]))) != key.name[i]) {
      return false;
    }
  }
  return i == key.length;
}

// Puts entry number `entry` (1-based) in the table unless its key is there.
bool NameIndex::Place(uint32_t hash, uint32_t entry) {
  const Entry& e = entries_[entry - 1];
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& s = slots_[i];
    if (!s.entry) {
      s.hash = hash;
      s.entry = entry;
      ++size_;
      return true;
    }
    if (s.hash == hash) {
      const Entry& other = entries_[s.entry - 1];
      const char* name = e.object->NameText();
      if (name && Matches(other, NameKey(e.parent, e.group, name))) return false;  // same key
    }
  }
}

bool NameIndex::InsertUnlocked(const NameKey& key, DDicoBase* object) {
  if ((size_ + 1) * 2 > slots_.size()) Rehash(slots_.empty() ? 16 : slots_.size() * 2);
  entries_.push_back({object, key.parent, key.group});
  if (Place(static_cast<uint32_t>(NameKeyHash()(key)), static_cast<uint32_t>(entries_.size()))) {
    return true;
  }
  entries_.pop_back();
  return false;
}

void NameIndex::BulkInsertUnlocked(std::vector<Entry>&& add, const std::vector<uint32_t>& hashes) {
  size_t cap = slots_.empty() ? 16 : slots_.size();
  while (cap < (size_ + add.size()) * 2) cap <<= 1;
  if (cap > slots_.size()) Rehash(cap);
  const size_t first = entries_.size();
  if (entries_.empty()) {
    entries_ = std::move(add);
  } else {
    entries_.insert(entries_.end(), add.begin(), add.end());
  }
  const size_t mask = slots_.size() - 1;
  constexpr size_t kAhead = 16;
  for (size_t i = 0; i < hashes.size(); ++i) {
    if (i + kAhead < hashes.size()) __builtin_prefetch(&slots_[hashes[i + kAhead] & mask]);
    Place(hashes[i], static_cast<uint32_t>(first + i + 1));
  }
}

bool NameIndex::Insert(const NameKey& key, DDicoBase* object) {
  std::lock_guard<std::mutex> lock(mu_);
  return InsertUnlocked(key, object);
}

DDicoBase* NameIndex::Find(const NameKey& key) const {
  std::lock_guard<std::mutex> lock(mu_);
  if (slots_.empty()) return nullptr;
  const auto hash = static_cast<uint32_t>(NameKeyHash()(key));
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (!s.entry) return nullptr;
    if (s.hash == hash && Matches(entries_[s.entry - 1], key)) return entries_[s.entry - 1].object;
  }
}

size_t NameIndex::Size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return size_;
}

void ReverseLinkIndex::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  links_.clear();
  sorted_ = true;
}
void ReverseLinkIndex::Insert(uint32_t target, uint32_t source) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!links_.empty() && links_.back().first > target) sorted_ = false;
  links_.emplace_back(target, source);
}
std::vector<uint32_t> ReverseLinkIndex::Find(uint32_t target) const {
  std::lock_guard<std::mutex> lock(mu_);
  if (!sorted_) {
    // Stable, so that the sources of one target keep their order of entry.
    std::stable_sort(links_.begin(), links_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    sorted_ = true;
  }
  auto lo = std::lower_bound(links_.begin(), links_.end(), std::make_pair(target, 0u),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<uint32_t> out;
  for (; lo != links_.end() && lo->first == target; ++lo) out.push_back(lo->second);
  return out;
}

void AltIdIndex::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  map_.clear();
}
void AltIdIndex::Insert(uint32_t alt, uint32_t id) {
  std::lock_guard<std::mutex> lock(mu_);
  map_.emplace(alt, id);
}
uint32_t AltIdIndex::Find(uint32_t alt) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = map_.find(alt);
  return it == map_.end() ? 0 : it->second;
}

}  // namespace tavelnor::dico
