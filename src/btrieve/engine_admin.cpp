// Operations that change a file's description while it is open: Create
// Index, Drop Index, Set Owner and Clear Owner.
#include <algorithm>
#include <cstring>
#include <string>

#include "btrieve/btrieve_codes.h"
#include "btrieve/engine.h"

namespace tavelnor::btrieve {

namespace {

constexpr uint16_t kNamedAcs = 0x0800;  // with ALT: the ACS named in the block sent
constexpr size_t kMaxOwnerName = 8;
constexpr size_t kAcsNameSize = 8;

// Key number of Create Index / Drop Index: 0x80 + n names key n explicitly.
bool ExplicitNumber(int key_num, int* n) {
  const int raw = key_num & 0xFF;
  if (raw < 0x80) return false;
  *n = raw - 0x80;
  return true;
}

// Gives the ALT segments of `key` their ACS in `spec`, adding `block` to the
// file's sequences unless one of that name is there already.
int ResolveAcs(KeyDef* key, FileSpec* spec, const uint8_t* block) {
  auto alt = std::find_if(key->segments.begin(), key->segments.end(),
                          [](const Segment& s) { return (s.flags & kKeyAlternate) != 0; });
  if (alt == key->segments.end()) return block ? kInvalidAcs : kOk;
  const bool named = (alt->flags & kNamedAcs) != 0;
  uint8_t index = alt->acs;
  if (block != nullptr) {
    if (block[0] != 0xAC) return kInvalidAcs;
    auto same_name = [block](const std::array<uint8_t, kAcsBlockSize>& a) {
      return std::memcmp(a.data() + 1, block + 1, kAcsNameSize) == 0;
    };
    auto it = std::find_if(spec->acs.begin(), spec->acs.end(), same_name);
    if (it == spec->acs.end()) {
      if (named) return kAcsNotInFile;
      std::array<uint8_t, kAcsBlockSize> copy{};
      std::memcpy(copy.data(), block, kAcsBlockSize);
      spec->acs.push_back(copy);
      it = spec->acs.end() - 1;
    }
    index = static_cast<uint8_t>(it - spec->acs.begin());
  } else if (named) {
    return kInvalidAcs;  // a name is needed to find the sequence
  }
  if (index >= spec->acs.size()) return kAcsNotInFile;
  for (Segment& seg : key->segments) {
    if (seg.flags & kKeyAlternate) seg.acs = index;
  }
  return kOk;
}

// A NUL-ended name of at most 8 characters in `buf`; false when missing,
// unterminated within `len` bytes or too long.
bool OwnerName(const uint8_t* buf, size_t len, std::string* name) {
  if (buf == nullptr || len == 0) return false;
  const void* nul = std::memchr(buf, 0, std::min(len, kMaxOwnerName + 1));
  if (nul == nullptr) return false;
  name->assign(reinterpret_cast<const char*>(buf),
               static_cast<size_t>(static_cast<const uint8_t*>(nul) - buf));
  return !name->empty();
}

}  // namespace

int DoCreateIndex(Cursor& cursor, const Call& call) {
  if (cursor.read_only) return kAccessDenied;
  if (cursor.data().spec().flags & kFileKeyOnly) return kNotAllowedNow;  // one key only
  if (call.data == nullptr || call.data_len == nullptr) return kDataBufferTooShort;
  const FileSpec& current = cursor.data().spec();
  std::span<const uint8_t> buffer(call.data, *call.data_len);
  KeyDef key;
  size_t used = 0;
  if (int st = ParseKeySegments(buffer, current, &key, &used); st != kOk) return st;
  const size_t rest = buffer.size() - used;
  if (rest != 0 && rest != kAcsBlockSize) return kDataBufferTooShort;
  if (current.keys.size() >= static_cast<size_t>(kMaxKeys)) return kKeyCountError;
  int number = 0;
  if (ExplicitNumber(call.key_num, &number)) {
    if (number >= kMaxKeys || current.FindKey(number) != nullptr) return kInvalidKeyNumber;
  } else {
    while (current.FindKey(number) != nullptr) ++number;
  }
  key.number = static_cast<uint8_t>(number);
  FileSpec next = current;
  if (int st = ResolveAcs(&key, &next, rest ? call.data + used : nullptr); st != kOk) return st;
  auto at = std::find_if(next.keys.begin(), next.keys.end(),
                         [number](const KeyDef& k) { return k.number > number; });
  next.keys.insert(at, std::move(key));
  if (int st = CheckAutoIncrementKeys(next.keys); st != kOk) return st;
  return cursor.data().AddIndex(next, number);
}

int DoDropIndex(Registry& registry, Cursor& cursor, const Call& call) {
  if (cursor.read_only) return kAccessDenied;
  if (cursor.data().spec().flags & kFileKeyOnly) return kNotAllowedNow;  // its one key stays
  int number = call.key_num;
  const bool renumber = !ExplicitNumber(call.key_num, &number);
  if (cursor.data().spec().FindKey(number) == nullptr) return kInvalidKeyNumber;
  if (int st = cursor.data().DropIndex(number, renumber); st != kOk) return st;
  registry.ForEachCursor(cursor.file.get(), [number, renumber](Cursor& c) {
    if (c.logical_key == number) {
      c.DropLogical();
    } else if (renumber && c.logical_key > number) {
      --c.logical_key;
    }
  });
  return kOk;
}

int DoSetOwner(Cursor& cursor, const Call& call) {
  if (cursor.read_only) return kAccessDenied;
  if (call.key_num < 0 || call.key_num > 3) return kInvalidKeyNumber;
  if (!cursor.data().owner().empty()) return kOwnerAlreadySet;
  std::string from_data, from_key;
  if (call.data_len == nullptr || !OwnerName(call.data, *call.data_len, &from_data) ||
      !OwnerName(call.key, call.key_len, &from_key) || from_data != from_key) {
    return kOwnerError;
  }
  return cursor.data().SetOwner(from_data, call.key_num);
}

int DoClearOwner(Cursor& cursor, const Call& /*call*/) {
  if (cursor.read_only) return kAccessDenied;
  if (cursor.data().owner().empty()) return kOk;
  return cursor.data().SetOwner("", 0);
}

}  // namespace tavelnor::btrieve
