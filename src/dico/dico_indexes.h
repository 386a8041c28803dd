// The lookup structures of a dictionary handler. Each index guards itself
// with its own lock, so one lookup is atomic even without the handler lock.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dico/flat_index.h"

namespace tavelnor::dico {

class DDicoBase;

// Name key: (parent container identifier, name group, the first 20
// characters of the name in upper case).
struct NameKey {
  static constexpr size_t kMaxName = 20;
  uint32_t parent = 0;
  uint8_t group = 0;
  uint8_t length = 0;
  // Zero-padded to three words, which the hash reads whole.
  alignas(8) char name[24] = {};

  NameKey() = default;
  NameKey(uint32_t parent_id, uint8_t name_group, std::string_view text);
  // From a zero-terminated name, reading at most kMaxName bytes of it.
  NameKey(uint32_t parent_id, uint8_t name_group, const char* text);
  bool operator==(const NameKey& o) const {
    return parent == o.parent && group == o.group && length == o.length &&
           std::memcmp(name, o.name, length) == 0;
  }
};

// The first 20 characters of a name, upper-cased, as three zero-padded
// little-endian words; answers the length taken.
size_t NameWords(const char* text, uint64_t words[3]);
// The hash of a name key given by its parts; NameKeyHash gives the same.
uint32_t HashNameKey(uint32_t parent, uint8_t group, size_t length, const uint64_t words[3]);

struct NameKeyHash {
  size_t operator()(const NameKey& k) const;
};

// Identifiers up to a limit set by the expected object count sit in a
// direct table; the others (the system rubric's, sparse numbering) in a hash
// table.
class IdIndex {
 public:
  void Clear();
  void Reserve(size_t n);
  bool Insert(uint32_t id, DDicoBase* object);  // keeps the first object of an id
  DDicoBase* Find(uint32_t id) const;
  // REQUIRES: no other thread can reach the index (the handler is loading).
  bool InsertUnlocked(uint32_t id, DDicoBase* object);
  DDicoBase* FindUnlocked(uint32_t id) const {
    return id < dense_.size() ? dense_[id] : sparse_.Find(id);
  }
  size_t Size() const;

 private:
  mutable std::mutex mu_;
  std::vector<DDicoBase*> dense_;
  FlatIndex<uint32_t, DDicoBase, IdHash> sparse_;
  size_t size_ = 0;
};

// Entries keep only the object, its name parent and its group; the name
// part of a key is read from the object when keys are compared, so a large
// dictionary's index stays small. The hash table holds (hash, entry) pairs.
// An entry whose object was renamed simply stops matching its old key.
class NameIndex {
 public:
  struct Entry {
    DDicoBase* object = nullptr;
    uint32_t parent = 0;
    uint8_t group = 0;
  };

  void Clear();
  void Reserve(size_t n);
  bool Insert(const NameKey& key, DDicoBase* object);  // keeps the first object of a key
  DDicoBase* Find(const NameKey& key) const;
  // REQUIRES: no other thread can reach the index (the handler is loading).
  bool InsertUnlocked(const NameKey& key, DDicoBase* object);
  // Enters many objects at once (hashes[i] is NameKeyHash of entries[i]'s
  // key), prefetching the table ahead of the inserts; a key already present
  // keeps its first object.
  void BulkInsertUnlocked(std::vector<Entry>&& entries, const std::vector<uint32_t>& hashes);
  size_t Size() const;

 private:
  struct Slot {
    uint32_t hash = 0;
    uint32_t entry = 0;  // entry index + 1; 0 = empty
  };
  void Rehash(size_t capacity);
  bool Matches(const Entry& entry, const NameKey& key) const;
  bool Place(uint32_t hash, uint32_t entry);
  mutable std::mutex mu_;
  std::vector<Entry> entries_;  // unreferenced when a duplicate
  std::vector<Slot> slots_;
  size_t size_ = 0;
};

// Which objects link to a given object: (target, source) pairs, sorted on
// the first lookup after an insert.
class ReverseLinkIndex {
 public:
  void Clear();
  void Insert(uint32_t target, uint32_t source);
  std::vector<uint32_t> Find(uint32_t target) const;

 private:
  mutable std::mutex mu_;
  mutable std::vector<std::pair<uint32_t, uint32_t>> links_;
  mutable bool sorted_ = true;
};

// Alternate identifier (base word at offset 60) to identifier.
class AltIdIndex {
 public:
  void Clear();
  void Insert(uint32_t alt, uint32_t id);
  uint32_t Find(uint32_t alt) const;  // 0 when absent

 private:
  mutable std::mutex mu_;
  std::map<uint32_t, uint32_t> map_;
};

}  // namespace tavelnor::dico
