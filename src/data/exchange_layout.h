// The exchange layout: a table's record as a flat run of plain machine
// values, one slot per field in dictionary order, packed without padding.
//
// The slot of a field follows from its type code and declared size (texts,
// 16- and 32-bit integers, booleans, doubles, day counts, milliseconds,
// floating days, memory blocks; see ExchangeSlotFor). Memory block slots
// hold a 32-bit length and a pointer to a malloc'd block that the layout
// frees whenever it clears the slot (only blocks it handed out itself, so a
// buffer holding anything else is cleared without freeing).
#pragma once

#include <cstdint>
#include <vector>

#include "dico/dico_classes.h"
#include "record/er_field_composite.h"

namespace tavelnor::data {

struct ExchangeSlot {
  uint8_t type = 0;  // ZAVL_FT_* (0: the field has no slot)
  uint32_t size = 0;
};

// The slot of a field of type code `code` and declared size `size`.
ExchangeSlot ExchangeSlotFor(int16_t code, int32_t size);

inline constexpr uint32_t kMemorySlotSize = 4 + sizeof(void*);

// Days from the Julian Day Number to the count where 01/01/0001 is day 1.
inline constexpr int32_t kExchangeDayOffset = 1721425;

class ExchangeRecord {
 public:
  ExchangeRecord() = default;
  ExchangeRecord(const ExchangeRecord&) = delete;
  ExchangeRecord& operator=(const ExchangeRecord&) = delete;

  // The fields of `table` (its extended form's when `extended`), aimed at
  // `record`. False when the table yields no field list.
  bool Build(const dico::DRubricTable& table, uint8_t* record, bool extended);
  // The sum of the slot sizes.
  uint32_t ExchangeSize() const;
  size_t FieldCount() const { return fields_.SegmentCount(); }
  ExchangeSlot SlotOf(size_t i) const;

  // Aims every field at `record`.
  void SetRecordBase(uint8_t* record);
  // Converts the record of `record_size` bytes at `record` into `target`
  // (its first `target_size` bytes): the target is cleared first, then every
  // slot that fits entirely is written. A field whose bytes do not lie
  // within the record leaves its slot zero. `open_flags`
  // DATA_RICHTEXT_AS_TEXT gives rich-text memos as text with their
  // terminating zero.
  void Convert(uint8_t* target, uint32_t target_size, uint8_t* record, uint32_t record_size,
               uint32_t open_flags);
  // Frees the blocks of the memory slots that fit and zeroes those slots.
  void Clear(uint8_t* target, uint32_t target_size) const;

 private:
  void WriteSlot(const record::ErField& field, ExchangeSlot slot, uint8_t* at,
                 uint32_t open_flags) const;

  // Where each slot lies, worked out once per record the fields aim at.
  struct PlannedSlot {
    const record::ErField* field = nullptr;
    ExchangeSlot slot;
    uint64_t at = 0, end = 0;   // in the exchange buffer
    bool in_record = false;     // the field's bytes start within the record
    uint64_t record_end = 0;    // where they end, from the record's start
  };
  void BuildPlan();

  record::ErFieldSubRecord fields_;
  std::vector<ExchangeSlot> slots_;  // one per field, fixed once built
  uint8_t* base_ = nullptr;          // the record the fields are aimed at
  std::vector<PlannedSlot> plan_;
  std::vector<size_t> memory_slots_;  // indexes into plan_
  bool plan_built_ = false;
};

}  // namespace tavelnor::data
