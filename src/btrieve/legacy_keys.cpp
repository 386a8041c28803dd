// Key descriptors of earlier engines' files, turned into the key definitions
// Stat reports (positions from 1, effective types, ACS numbers), and the
// check that the keys and the record slot size describe one layout.
#include <algorithm>
#include <set>

#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_format.h"
#include "btrieve/legacy_reader.h"

namespace tavelnor::btrieve::legacy {

namespace {

// A descriptor segment, converted; `acs` becomes an index into spec.acs.
int ReadSegment(const uint8_t* d, const std::vector<uint32_t>& acs_pages, const Layout& layout,
                Segment* seg, std::string* reason) {
  seg->flags = LoadLE16(d + kDescFlags);
  seg->length = LoadLE16(d + kDescLength);
  uint32_t stored = LoadLE16(d + kDescPosition);
  if (layout.v6) {
    if (stored < layout.usage_bytes)
      return Refuse(kIoError, "key position before the record", reason);
    stored -= layout.usage_bytes;
  }
  if (seg->length == 0 || stored + seg->length > layout.spec.record_length) {
    return Refuse(kIoError,
                  "key segment outside the record (offset " + std::to_string(stored) + ", length " +
                      std::to_string(seg->length) + ")",
                  reason);
  }
  seg->position = static_cast<uint16_t>(stored + 1);
  seg->raw_type = d[kDescType];
  seg->null_byte = d[kDescNull];
  if (seg->flags & kKeyExtType) {
    seg->type = seg->raw_type;
  } else {
    seg->type = (seg->flags & kKeyBinary) ? kTypeUnsignedBinary : kTypeString;
  }
  int status = kOk;
  if (!KeyTypeAccepts(seg->type, seg->length, &status)) {
    return Refuse(kIoError,
                  "key segment of type " + std::to_string(seg->type) + " and length " +
                      std::to_string(seg->length) + " is not one we can order",
                  reason);
  }
  seg->acs = 0;
  if (!(seg->flags & kKeyAlternate)) return kOk;
  if (layout.spec.acs.empty()) {
    return Refuse(kIoError, "a key uses a collating sequence the file does not hold", reason);
  }
  size_t index = 0;
  if (layout.v6) {
    uint32_t page = (static_cast<uint32_t>(d[kDescAcsPage]) << 16) | LoadLE16(d + kDescAcsPage + 1);
    if (page != 0) {
      auto it = std::find(acs_pages.begin(), acs_pages.end(), page);
      if (it == acs_pages.end()) {
        return Refuse(kIoError, "a key names a collating sequence page that is not one", reason);
      }
      index = static_cast<size_t>(it - acs_pages.begin());
    }
  }
  if (seg->flags & kKeyNoCase) {
    seg->acs = static_cast<uint8_t>(index);
  } else if (index != 0) {
    return Refuse(kIoError,
                  "a key uses a collating sequence other than the first without "
                  "numbering it",
                  reason);
  }
  return kOk;
}

}  // namespace

int CheckFileFlags(uint16_t flags, uint8_t variable_byte, std::string* reason) {
  struct Refused {
    uint16_t bit;
    const char* what;
  };
  static constexpr Refused kRefused[] = {
      {0x0002, "blank truncation"},   {0x0008, "data compression"},
      {0x0010, "key-only files"},     {0x0100, "reserved duplicate pointers"},
      {0x0200, "system data"},        {0x0800, "variable-tail allocation tables"},
      {0xF000, "unknown file flags"},
  };
  for (const Refused& r : kRefused) {
    if (flags & r.bit) return Refuse(kIoError, std::string(r.what) + " not supported", reason);
  }
  if (variable_byte == 0xFD) return Refuse(kIoError, "blank truncation not supported", reason);
  uint8_t expected = (flags & kFileVarRecs) ? 0xFF : 0x00;
  if (variable_byte != expected) {
    return Refuse(kIoError, "record format byte disagrees with the file flags", reason);
  }
  return kOk;
}

int ReadKey(std::span<const uint8_t> fcr, size_t offset, int ordinal,
            const std::vector<uint32_t>& acs_pages, Layout* out, size_t* end, std::string* reason) {
  KeyDef key;
  bool more = true;
  while (more) {
    if (offset > fcr.size() || fcr.size() - offset < kDescriptorSize) {
      return Refuse(kIoError, "key descriptors run past the header page", reason);
    }
    const uint8_t* d = fcr.data() + offset;
    Segment seg;
    if (int st = ReadSegment(d, acs_pages, *out, &seg, reason); st != kOk) return st;
    if (key.segments.empty()) {
      out->info.unique_counts.push_back(LoadSwapped(d + kDescUnique));
      out->dup_offsets.push_back((seg.flags & kKeyDup) ? LoadLE16(d + kDescDupOffset) : kNoDupPair);
      if (out->v6) {
        uint8_t index_type = d[kDescIndexType];
        if (index_type < kPageIndex || index_type - kPageIndex >= kMaxKeys) {
          return Refuse(kIoError, "key descriptor without a valid key number", reason);
        }
        key.number = static_cast<uint8_t>(index_type - kPageIndex);
      } else {
        key.number = static_cast<uint8_t>(ordinal);
      }
    }
    more = (seg.flags & kKeySegmented) != 0;
    key.segments.push_back(seg);
    offset += kDescriptorSize;
  }
  out->spec.keys.push_back(std::move(key));
  *end = offset;
  return kOk;
}

int CheckRecordLayout(std::span<const uint8_t> fcr, Layout* out, std::string* reason) {
  const FileSpec& spec = out->spec;
  std::set<int> numbers;
  size_t dup_keys = 0;
  size_t segments = 0;
  for (const KeyDef& key : spec.keys) {
    if (!numbers.insert(key.number).second) {
      return Refuse(kIoError, "two keys carry the number " + std::to_string(key.number), reason);
    }
    if (key.flags() & kKeyRepeatDups) {
      return Refuse(kIoError, "keys with repeating duplicates are not supported", reason);
    }
    if (key.flags() & kKeyDup) ++dup_keys;
    segments += key.segments.size();
  }
  uint32_t fixed = out->usage_bytes + spec.record_length + (spec.variable_length() ? 4u : 0u);
  uint32_t expected = fixed + static_cast<uint32_t>(8 * dup_keys);
  uint32_t physical = out->info.physical_length;
  if (physical != expected) {
    return Refuse(kIoError,
                  "record slots of " + std::to_string(physical) +
                      " bytes do not match the record layout (" + std::to_string(expected) +
                      " expected)",
                  reason);
  }
  if (physical + kPageHeader > spec.page_size) {
    return Refuse(kIoError, "record slots larger than a page", reason);
  }
  std::set<uint32_t> places;
  for (uint32_t place : out->dup_offsets) {
    if (place == kNoDupPair) continue;
    if (place < fixed || place + 8 > physical || !places.insert(place).second) {
      return Refuse(kIoError, "duplicate pointers placed outside their space in the record",
                    reason);
    }
  }
  if (out->v6) {
    if (fcr[kFcrDupCount] != dup_keys ||
        (dup_keys && LoadLE16(fcr.data() + kFcrDupOffset) != *places.begin())) {
      return Refuse(kIoError, "duplicate-pointer fields of the header disagree with the keys",
                    reason);
    }
    if (fcr[kFcrSegments] != segments) {
      return Refuse(kIoError, "segment count of the header disagrees with the keys", reason);
    }
  }
  return kOk;
}

}  // namespace tavelnor::btrieve::legacy
