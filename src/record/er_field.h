// Record fields: typed views on bytes that live elsewhere (a record buffer,
// a key buffer, the area of a field group).
//
// A field holds one typed buffer (ErBuffer) whose data pointer it aims; it
// never copies the bytes it views. ErFieldMini is the buffer alone, ErField
// adds a name and a number, ErFieldRefLocal a reference name. Fields bound
// to dictionary variables (table fields) derive from ErField on the
// dictionary's side.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "foundation/chaine.h"
#include "record/er_buffer.h"

namespace tavelnor::record {

class ErFieldMini {
 public:
  // A 0-byte raw buffer (type code -1) aimed at nothing.
  ErFieldMini();
  ErFieldMini(const ErFieldMini&) = delete;
  ErFieldMini& operator=(const ErFieldMini&) = delete;
  virtual ~ErFieldMini();

  // Replaces the buffer by a new one of `code`, `size` (negative: the code's
  // default) and case flag, aimed at the old buffer's data.
  virtual void SetType(int16_t code, int32_t size, bool upper_case);
  // The bare field gives up its buffer (a fresh empty one takes its place);
  // named fields keep theirs.
  virtual void Release();
  // Aims this field at the bytes the other field views.
  virtual void AttachTo(const ErFieldMini& other);
  virtual ErBuffer* GetBuffer();
  const ErBuffer& Buffer() const { return *buffer_; }
  virtual void SetMax();
  virtual void SetMin();
  virtual void Clear();
  virtual void Reset();
  virtual void SetData(uint8_t* data);
  virtual Chaine GetText() const;

  int16_t TypeCode() const { return buffer_->GetTypeCode(); }
  int32_t Size() const { return buffer_->Size(); }
  uint8_t* Data() const { return buffer_->Data(); }

 protected:
  // Aims the buffer whatever the kind of field (SetData may be a no-op).
  void AimBuffer(uint8_t* data) { buffer_->SetData(data); }

  std::unique_ptr<ErBuffer> buffer_;
};

class ErField : public ErFieldMini {
 public:
  ErField() = default;

  void Release() override {}

  // A new field of the same class viewing the same bytes.
  virtual std::unique_ptr<ErField> Clone() const;
  virtual std::unique_ptr<ErField> CloneField() const { return ErField::Clone(); }
  // The copy a local composite keeps as its segment.
  virtual std::unique_ptr<ErField> CloneSegment() const { return Clone(); }
  // The identity of the record (table) the field belongs to; null for free
  // fields.
  virtual const void* GetRecord() const { return nullptr; }
  virtual bool IsTableField() const { return false; }
  virtual bool IsFreeField() const { return true; }
  virtual bool NeedsRefresh() const { return false; }
  virtual void Refresh() {}
  virtual void SetRecordBase(uint8_t*) {}
  virtual uint8_t* GetRecordBase() const { return nullptr; }
  virtual Chaine GetName() const { return name_; }
  virtual void SetName(std::string_view) {}
  virtual Chaine GetEditMask(int32_t width, int32_t arg2, int32_t arg3, int32_t arg4) const;
  virtual Chaine Format(int32_t width, int32_t decimals, uint32_t flags) const;

  uint32_t Number() const { return number_; }
  void SetNumber(uint32_t number) { number_ = number; }
  // The field's own name (what GetName answers for a plain field).
  void SetFieldName(std::string_view name) { name_ = Chaine(name); }
  const Chaine& FieldName() const { return name_; }

 protected:
  // Type, bytes, name and number of `other`.
  void CopyFieldPart(const ErField& other);

 private:
  Chaine name_;
  uint32_t number_ = 0;
};

// A field that carries the name of what it refers to; GetName answers it.
class ErFieldRefLocal : public ErField {
 public:
  ErFieldRefLocal() = default;
  std::unique_ptr<ErField> Clone() const override;
  std::unique_ptr<ErField> CloneField() const override { return Clone(); }
  Chaine GetName() const override { return reference_; }
  void SetName(std::string_view name) override { reference_ = Chaine(name); }
  void CopyFrom(const ErFieldRefLocal& other);

 private:
  Chaine reference_;
};

}  // namespace tavelnor::record
