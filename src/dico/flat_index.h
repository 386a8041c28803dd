// FlatIndex: an open-addressing hash table from a key to an object pointer,
// with linear probing and a load factor of at most one half. The first value
// entered for a key is kept. Loading a large dictionary enters hundreds of
// thousands of keys, so the table avoids one allocation per entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavelnor::dico {

template <typename Key, typename Value, typename Hash>
class FlatIndex {
 public:
  void Clear() {
    slots_.clear();
    size_ = 0;
  }
  void Reserve(size_t n) {
    size_t cap = 16;
    while (cap < n * 2) cap <<= 1;
    if (cap > slots_.size()) Rehash(cap);
  }
  size_t Size() const { return size_; }

  // False when the key was already present (the first value stays).
  bool Insert(const Key& key, Value* value) {
    if ((size_ + 1) * 2 > slots_.size()) Rehash(slots_.empty() ? 16 : slots_.size() * 2);
    const size_t mask = slots_.size() - 1;
    for (size_t i = Hash()(key) & mask;; i = (i + 1) & mask) {
      Slot& s = slots_[i];
      if (!s.value) {
        s.key = key;
        s.value = value;
        ++size_;
        return true;
      }
      if (s.key == key) return false;
    }
  }

  Value* Find(const Key& key) const {
    if (slots_.empty()) return nullptr;
    const size_t mask = slots_.size() - 1;
    for (size_t i = Hash()(key) & mask;; i = (i + 1) & mask) {
      const Slot& s = slots_[i];
      if (!s.value) return nullptr;
      if (s.key == key) return s.value;
    }
  }

 private:
  struct Slot {
    Key key{};
    Value* value = nullptr;
  };
  void Rehash(size_t cap) {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(cap, Slot{});
    size_ = 0;
    for (const Slot& s : old) {
      if (s.value) Insert(s.key, s.value);
    }
  }

  std::vector<Slot> slots_;
  size_t size_ = 0;
};

struct IdHash {
  size_t operator()(uint32_t id) const {
    return static_cast<size_t>((static_cast<uint64_t>(id) * 0x9E3779B97F4A7C15ull) >> 17);
  }
};

}  // namespace tavelnor::dico
