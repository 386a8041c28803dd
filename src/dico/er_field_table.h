// Table fields: record fields bound to a dictionary variable at its place in
// a table record, and the filling of composites from dictionary objects.
#pragma once

#include <cstdint>
#include <memory>

#include "dico/dico_base.h"
#include "record/er_field.h"
#include "record/er_field_composite.h"

namespace tavelnor::dico {

class ErFieldTable : public record::ErField {
 public:
  // Flag bits.
  static constexpr uint8_t kRefresh = 0x1;        // the address is recomputed by Refresh
  static constexpr uint8_t kBound = 0x2;          // bound to a variable
  static constexpr uint8_t kDicoAddressing = 0x4;  // the dictionary computes the address

  ErFieldTable() = default;

  // Binds the field to element `index` of `v` (dictionary kinds 12 to 25;
  // any other object leaves the field as it was) and, when `base` is not
  // null, aims it into the record at `base`.
  bool Bind(const DDicoBase& v, uint8_t* base, int16_t index);

  record::ErBuffer* GetBuffer() override;
  void Reset() override;
  // The address comes from the record base only.
  void SetData(uint8_t*) override {}

  std::unique_ptr<record::ErField> Clone() const override;
  std::unique_ptr<record::ErField> CloneField() const override { return Clone(); }
  std::unique_ptr<record::ErField> CloneSegment() const override;
  const void* GetRecord() const override { return record_; }
  bool IsTableField() const override { return true; }
  bool IsFreeField() const override { return false; }
  bool NeedsRefresh() const override { return (flags_ & kRefresh) != 0; }
  void Refresh() override;
  void SetRecordBase(uint8_t* base) override;
  uint8_t* GetRecordBase() const override { return base_; }
  Chaine GetName() const override;
  Chaine GetEditMask(int32_t width, int32_t arg2, int32_t arg3, int32_t arg4) const override;
  Chaine Format(int32_t width, int32_t decimals, uint32_t flags) const override;

  const DDicoBase* Variable() const { return variable_; }
  const DDicoBase* Table() const { return record_; }
  int16_t Offset() const { return offset_; }
  int16_t Index() const { return index_; }
  uint8_t Flags() const { return flags_; }

 private:
  void CopyTablePart(const ErFieldTable& other);
  // Where the field's bytes lie for the current base.
  uint8_t* Address() const;

  const DDicoBase* record_ = nullptr;
  uint8_t* base_ = nullptr;
  const DDicoBase* variable_ = nullptr;
  int16_t offset_ = 0;
  int16_t index_ = 0;
  uint8_t flags_ = 0;
};

// Filter bits of BuildFields.
inline constexpr uint32_t kBuildPassOn = 0x1;       // passed on to array elements
inline constexpr uint32_t kBuildNoExtension = 0x2;  // leave out extension fields
inline constexpr uint32_t kBuildExchange = 0x4;     // only fields the exchange shows
inline constexpr uint32_t kBuildListed = 0x8;       // only fields the lists show
inline constexpr uint32_t kBuildOverlays = 0x10;    // keep overlay fields

// Fills `composite` with table fields for `object`: the variables of a table
// or system rubric (filtered by `filter`, arrays element by element), or the
// parts of a key or link (unfiltered), aimed into the record at `base`.
// False for an object of another kind or one the composite refuses.
bool BuildFields(record::ErFieldComposite& composite, const DDicoBase& object, uint8_t* base,
                 uint32_t filter);

}  // namespace tavelnor::dico
