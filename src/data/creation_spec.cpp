// Building the Btrieve creation specification of a table.
#include "data/creation_spec.h"

#include <cstring>

#include "dico/dico_classes.h"

namespace tavelnor::data {

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// The process-wide file format version: 0, the record manager's default.
constexpr uint8_t kFormatVersion = 0;

constexpr uint16_t kDuplicates = 0x01, kNullKey = 0x08, kRepeatingDuplicates = 0x80,
                   kExtendedType = 0x100;

}  // namespace

uint8_t ExtendedKeyType(uint32_t type_code) {
  switch (type_code) {
    case 0:
    case 9: return kExtTypeZstring;
    case 1:
    case 12:
    case 15:
    case 20:
    case 26: return kExtTypeInteger;
    case 2:
    case 23: return kExtTypeFloat;
    case 4: return kExtTypeDate;
    case 5: return kExtTypeTime;
    case 7:
    case 13:
    case 14:
    case 19:
    case 21: return kExtTypeString;
    case 28: return kExtTypeTimestamp;
    case 29: return kExtTypeCurrency;
    default: return kExtTypeUnsignedBinary;
  }
}

void BtrvCreationSpec::Begin(uint16_t record_length, uint16_t page_size, uint8_t key_count,
                             uint8_t format_version, uint16_t file_flags) {
  bytes_.fill(0);
  segment_count_ = 0;
  collating_count_ = 0;
  Put16(&bytes_[0], record_length);
  Put16(&bytes_[2], page_size == 0 ? 1024 : page_size);
  bytes_[4] = key_count;
  bytes_[5] = static_cast<uint8_t>(format_version * 16);
  Put16(&bytes_[10], file_flags);
}

int16_t BtrvCreationSpec::AddKeySegment(uint32_t position, uint16_t length, uint16_t flags,
                                        uint8_t extended_type, bool add_duplicate_bit) {
  const size_t at = kSegmentSize * (static_cast<size_t>(segment_count_) + 1);
  if (at + kSegmentSize > kBufferSize || collating_count_ != 0) return 1;
  uint8_t* p = &bytes_[at];
  std::memset(p, 0, kSegmentSize);
  Put16(p, position + 1);
  Put16(p + 2, length);
  // The bits are set, not added: a definition's flags may carry them already.
  uint16_t f = static_cast<uint16_t>(flags | kExtendedType);
  if ((flags & kDuplicates) != 0 && add_duplicate_bit) f |= kRepeatingDuplicates;
  Put16(p + 4, f);
  p[10] = extended_type;
  p[11] = ((flags & kNullKey) != 0 && extended_type == kExtTypeString) ? 0x20 : 0;
  ++segment_count_;
  return 0;
}

uint16_t BtrvCreationSpec::DataLength() const {
  return static_cast<uint16_t>(kSegmentSize * (static_cast<size_t>(segment_count_) + 1) +
                               kCollatingSize * collating_count_);
}

int16_t BuildCreationSpec(const dico::DRubricTable& table, bool extended_form,
                          BtrvCreationSpec& spec) {
  const uint32_t record_length =
      extended_form ? table.GetExtendedRecordLength() : table.GetRecordLength();
  if (record_length > 0xFFFF) return 28;
  const std::vector<dico::DKey*> keys = table.GetKeys();
  if (keys.size() > 0xFF) return 26;
  spec.Begin(static_cast<uint16_t>(record_length), static_cast<uint16_t>(table.GetPageSize()),
             static_cast<uint8_t>(keys.size()), kFormatVersion,
             static_cast<uint16_t>(table.Flags() & 0xFFFF));
  for (const dico::DKey* key : keys) {
    const std::vector<dico::DDicoBase*> segments = key->Children();
    if (segments.empty()) return 26;
    const bool auto_numbering = (key->Flags() & kKeyAutoNumbering) != 0;
    bool first = true;
    for (const dico::DDicoBase* child : segments) {
      const auto* segment = dynamic_cast<const dico::DSegment*>(child);
      const std::optional<uint32_t> position =
          segment != nullptr ? segment->GetSegmentPosition() : std::nullopt;
      if (!position || child->UnitSize() > 0xFFFF) return 27;
      const uint8_t type = (first && auto_numbering) ? kExtTypeAutoincrement
                                                     : ExtendedKeyType(child->TypeCode());
      const int16_t status =
          spec.AddKeySegment(*position, static_cast<uint16_t>(child->UnitSize()),
                             static_cast<uint16_t>(child->Flags() & 0xFFFF), type);
      if (status != 0) return status;
      first = false;
    }
  }
  return 0;
}

}  // namespace tavelnor::data
