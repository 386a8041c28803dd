#include "dico/dico_indexes.h"

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

size_t NameKeyHash::operator()(const NameKey& k) const {
  uint64_t h = 1469598103934665603ull ^ (static_cast<uint64_t>(k.parent) << 8) ^ k.group;
  for (size_t i = 0; i < k.length; ++i) {
    h ^= static_cast<uint8_t>(k.name[i]);
    h *= 1099511628211ull;
  }
  return static_cast<size_t>(h ^ (h >> 29));
}

void IdIndex::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  map_.clear();
}
void IdIndex::Reserve(size_t n) {
  std::lock_guard<std::mutex> lock(mu_);
  map_.reserve(n);
}
bool IdIndex::Insert(uint32_t id, DDicoBase* object) {
  std::lock_guard<std::mutex> lock(mu_);
  return map_.emplace(id, object).second;
}
DDicoBase* IdIndex::Find(uint32_t id) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = map_.find(id);
  return it == map_.end() ? nullptr : it->second;
}
size_t IdIndex::Size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return map_.size();
}

void NameIndex::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  map_.clear();
}
void NameIndex::Reserve(size_t n) {
  std::lock_guard<std::mutex> lock(mu_);
  map_.reserve(n);
}
bool NameIndex::Insert(const NameKey& key, DDicoBase* object) {
  std::lock_guard<std::mutex> lock(mu_);
  return map_.emplace(key, object).second;
}
DDicoBase* NameIndex::Find(const NameKey& key) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = map_.find(key);
  return it == map_.end() ? nullptr : it->second;
}
size_t NameIndex::Size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return map_.size();
}

void ReverseLinkIndex::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  map_.clear();
}
void ReverseLinkIndex::Insert(uint32_t target, uint32_t source) {
  std::lock_guard<std::mutex> lock(mu_);
  map_[target].push_back(source);
}
std::vector<uint32_t> ReverseLinkIndex::Find(uint32_t target) const {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = map_.find(target);
  return it == map_.end() ? std::vector<uint32_t>{} : it->second;
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
