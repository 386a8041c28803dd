// Parsing and writing the file description (Create buffer, stored form, Stat).
#include "btrieve/file_spec.h"

#include <algorithm>
#include <set>

#include "btrieve/btrieve_codes.h"
#include "foundation/byte_reader.h"

namespace tavelnor::btrieve {

namespace {

constexpr size_t kHeaderSize = 16;
constexpr size_t kSegmentSize = 16;
constexpr size_t kMaxKeyLength = 255;
constexpr uint16_t kSharedKeyFlags =
    kKeyDup | kKeyRepeatDups | kKeyModifiable | kKeyNullAll | kKeyNullAny;

}  // namespace

bool KeyTypeAccepts(uint8_t type, uint16_t length, int* status) {
  auto one_of = [length](std::initializer_list<uint16_t> allowed) {
    return std::find(allowed.begin(), allowed.end(), length) != allowed.end();
  };
  bool ok = false;
  switch (type) {
    case kTypeString:
    case kTypeUnsignedBinary:
      ok = length >= 1;
      break;
    case kTypeInteger:
      ok = one_of({1, 2, 4, 8});
      break;
    case kTypeFloat:
    case kTypeBfloat:
      ok = one_of({4, 8});
      break;
    case kTypeDate:
    case kTypeTime:
      ok = length == 4;
      break;
    case kTypeLogical:
      ok = one_of({1, 2});
      break;
    case kTypeDecimal:
    case kTypeMoney:
    case kTypeNumeric:
      ok = length >= 1;
      break;
    case kTypeNumericSts:
      ok = length >= 2;
      break;
    case kTypeLstring:
    case kTypeZstring:
      ok = length >= 2;
      break;
    case kTypeAutoIncrement:
      ok = one_of({2, 4, 8});
      break;
    case kTypeCurrency:
    case kTypeTimestamp:
      ok = length == 8;
      break;
    default:
      *status = kInvalidKeyType;
      return false;
  }
  if (!ok) *status = kKeyLengthError;
  return ok;
}

namespace {

// A binary segment holds whole 16-bit words; one byte is allowed too.
bool CreatableLength(const Segment& seg) {
  return seg.type != kTypeUnsignedBinary || seg.length == 1 || seg.length % 2 == 0;
}

// `creating`: a new description (Create, Create Index), checked against what
// the engine lets a caller create; a stored one only against what we order.
int ReadSegment(ByteReader& r, const FileSpec& spec, bool creating, Segment* seg,
                uint8_t* key_number) {
  uint32_t reserved32 = 0;
  uint16_t reserved16 = 0;
  r.ReadU16(&seg->position);
  r.ReadU16(&seg->length);
  r.ReadU16(&seg->flags);
  r.ReadU32(&reserved32);
  r.ReadU8(&seg->raw_type);
  r.ReadU8(&seg->null_byte);
  r.ReadU16(&reserved16);
  r.ReadU8(key_number);
  r.ReadU8(&seg->acs);
  seg->flags &= 0x7FFF;  // the "index incomplete" bit is ours to set
  if (seg->flags & kKeyExtType) {
    seg->type = seg->raw_type;
  } else {
    seg->type = (seg->flags & kKeyBinary) ? kTypeUnsignedBinary : kTypeString;
  }
  if (seg->position < 1 || seg->length == 0 ||
      seg->position + seg->length - 1 > spec.record_length) {
    return seg->length == 0 ? kKeyLengthError : kKeyPositionError;
  }
  int status = kOk;
  if (!KeyTypeAccepts(seg->type, seg->length, &status)) return status;
  if (creating && !CreatableLength(*seg)) return kKeyLengthError;
  if (!(seg->flags & kKeyAlternate)) seg->acs = 0;
  if ((seg->flags & kKeyAlternate) && !(seg->flags & kKeyNoCase)) seg->acs = 0;
  return kOk;
}

// One key: segments up to the first without the SEG flag. `number` gets the
// key number byte of the first segment.
int ReadKey(ByteReader& r, const FileSpec& spec, bool creating, KeyDef* key, uint8_t* number) {
  bool more = true;
  while (more) {
    if (r.Remaining() < kSegmentSize) return kDataBufferTooShort;
    Segment seg;
    uint8_t n = 0;
    if (int st = ReadSegment(r, spec, creating, &seg, &n); st != kOk) return st;
    if (key->segments.empty()) {
      *number = n;
    } else if ((seg.flags & kSharedKeyFlags) != (key->flags() & kSharedKeyFlags)) {
      return kInconsistentKeyFlags;
    }
    more = (seg.flags & kKeySegmented) != 0;
    key->segments.push_back(seg);
  }
  if (key->length() > kMaxKeyLength) return kKeyLengthError;
  return kOk;
}

}  // namespace

size_t KeyDef::length() const {
  size_t n = 0;
  for (const Segment& s : segments) n += s.length;
  return n;
}

const KeyDef* FileSpec::FindKey(int number) const {
  for (const KeyDef& k : keys) {
    if (k.number == number) return &k;
  }
  return nullptr;
}

size_t FileSpec::SegmentCount() const {
  size_t n = 0;
  for (const KeyDef& k : keys) n += k.segments.size();
  return n;
}

int CheckAutoIncrementKeys(const std::vector<KeyDef>& keys) {
  auto overlap = [](const Segment& a, const Segment& b) {
    return a.position < b.position + b.length && b.position < a.position + a.length;
  };
  for (const KeyDef& key : keys) {
    for (const Segment& field : key.segments) {
      if (field.type != kTypeAutoIncrement) continue;
      // Its own key: one segment, unique, ascending.
      const KeyDef* own = nullptr;
      for (const KeyDef& k : keys) {
        const Segment& s = k.segments.front();
        if (k.segments.size() == 1 && s.type == kTypeAutoIncrement &&
            s.position == field.position && s.length == field.length &&
            (own == nullptr || k.number < own->number)) {
          own = &k;
        }
      }
      if (own == nullptr || own->number > key.number) return kInconsistentKeyFlags;
      if (own->duplicates() || (own->segments.front().flags & kKeyDescending)) {
        return kInconsistentKeyFlags;
      }
      // No other key's segment may take any of its bytes, unless it is the
      // same field (a later key naming it as one of its segments).
      for (const KeyDef& other : keys) {
        for (const Segment& s : other.segments) {
          if (&s == &field || !overlap(s, field)) continue;
          if (s.type != kTypeAutoIncrement || s.position != field.position ||
              s.length != field.length) {
            return kInconsistentKeyFlags;
          }
        }
      }
    }
  }
  return kOk;
}

int ParseKeySegments(std::span<const uint8_t> data, const FileSpec& spec, KeyDef* out,
                     size_t* used) {
  ByteReader r(data);
  KeyDef key;
  uint8_t number = 0;
  if (int st = ReadKey(r, spec, true, &key, &number); st != kOk) return st;
  key.number = number;
  *used = data.size() - r.Remaining();
  *out = std::move(key);
  return kOk;
}

int ParseFileSpec(std::span<const uint8_t> data, FileSpec* out, bool stored) {
  ByteReader r(data);
  FileSpec spec;
  uint8_t key_count = 0;
  uint32_t reserved = 0;
  if (!r.ReadU16(&spec.record_length) || !r.ReadU16(&spec.page_size) || !r.ReadU8(&key_count) ||
      !r.ReadU8(&spec.version) || !r.ReadU32(&reserved) || !r.ReadU16(&spec.flags) || !r.Skip(4)) {
    return kDataBufferTooShort;
  }
  if (spec.page_size < 512 || spec.page_size > 4096 || spec.page_size % 512 != 0) {
    return kPageSizeError;
  }
  if (spec.record_length < 4) return kRecordLengthError;
  if (key_count > kMaxKeys) return kKeyCountError;
  if (!stored && (spec.flags & kFileKeyOnly)) {
    // The record is its key: one key, and a record that fits a key entry.
    if (key_count != 1) return kKeyCountError;
    if (spec.record_length > kMaxKeyOnlyRecord) return kRecordLengthError;
  }
  if (spec.version == 0) spec.version = kDefaultVersionByte;
  std::set<int> numbers;
  for (int k = 0; k < key_count; ++k) {
    KeyDef key;
    uint8_t number = 0;
    if (int st = ReadKey(r, spec, !stored, &key, &number); st != kOk) return st;
    key.number = (stored || (spec.flags & kFileSpecifyKeyNums)) ? number : static_cast<uint8_t>(k);
    if (key.number >= kMaxKeys || !numbers.insert(key.number).second) return kInvalidKeyNumber;
    spec.keys.push_back(std::move(key));
  }
  while (r.Remaining() >= kAcsBlockSize) {
    std::array<uint8_t, kAcsBlockSize> block{};
    (void)r.ReadBytes(kAcsBlockSize, block.data());
    if (block[0] != 0xAC) return kInvalidAcs;
    spec.acs.push_back(block);
  }
  for (const KeyDef& key : spec.keys) {
    for (const Segment& seg : key.segments) {
      if ((seg.flags & kKeyAlternate) && seg.acs >= spec.acs.size()) return kInvalidAcs;
    }
  }
  if (!stored) {
    if (int st = CheckAutoIncrementKeys(spec.keys); st != kOk) return st;
  }
  *out = std::move(spec);
  return kOk;
}

namespace {

void WriteSegments(ByteWriter& w, const FileSpec& spec, const std::vector<uint32_t>* distinct) {
  for (size_t k = 0; k < spec.keys.size(); ++k) {
    const KeyDef& key = spec.keys[k];
    for (const Segment& seg : key.segments) {
      w.U16(seg.position);
      w.U16(seg.length);
      w.U16(seg.flags);
      w.U32(distinct && k < distinct->size() ? (*distinct)[k] : 0);
      w.U8(seg.raw_type);
      w.U8(seg.null_byte);
      w.U16(0);
      w.U8(key.number);
      w.U8(seg.acs);
    }
  }
  for (const auto& block : spec.acs) w.Bytes(block.data(), block.size());
}

}  // namespace

std::vector<uint8_t> SerializeFileSpec(const FileSpec& spec) {
  ByteWriter w;
  w.U16(spec.record_length);
  w.U16(spec.page_size);
  w.U8(static_cast<uint8_t>(spec.keys.size()));
  w.U8(spec.version);
  w.U32(0);
  w.U16(spec.flags);
  w.Zeros(4);
  WriteSegments(w, spec, nullptr);
  return w.Take();
}

std::vector<uint8_t> BuildStat(const FileSpec& spec, uint32_t record_count,
                               const std::vector<uint32_t>& distinct, bool long_form) {
  ByteWriter w;
  w.U16(spec.record_length);
  w.U16(spec.page_size);
  if (long_form) {
    w.U8(static_cast<uint8_t>(spec.keys.size()));
    w.U8(spec.version);
  } else {
    w.U16(static_cast<uint16_t>(spec.keys.size()));
  }
  w.U32(record_count);
  w.U16(spec.flags);
  w.Zeros(4);
  WriteSegments(w, spec, &distinct);
  return w.Take();
}

}  // namespace tavelnor::btrieve
