// Fields: the buffer a field holds and how copies of fields are made.
#include "record/er_field.h"

namespace tavelnor::record {

ErFieldMini::ErFieldMini() : buffer_(CreateBuffer(-1, 0, 0)) {}

ErFieldMini::~ErFieldMini() = default;

void ErFieldMini::SetType(int16_t code, int32_t size, bool upper_case) {
  // Bytes the old buffer allocated die with it; the new one views the rest.
  uint8_t* data = buffer_->OwnsData() ? nullptr : buffer_->Data();
  buffer_ = CreateBuffer(code, size, upper_case ? 1 : 0);
  buffer_->SetData(data);
}

void ErFieldMini::Release() { buffer_ = CreateBuffer(-1, 0, 0); }

void ErFieldMini::AttachTo(const ErFieldMini& other) { SetData(other.Buffer().Data()); }

ErBuffer* ErFieldMini::GetBuffer() { return buffer_.get(); }
void ErFieldMini::SetMax() { GetBuffer()->SetMax(); }
void ErFieldMini::SetMin() { GetBuffer()->SetMin(); }
void ErFieldMini::Clear() { GetBuffer()->Clear(); }
void ErFieldMini::Reset() { Clear(); }
void ErFieldMini::SetData(uint8_t* data) { buffer_->SetData(data); }
Chaine ErFieldMini::GetText() const { return buffer_->GetText(); }

std::unique_ptr<ErField> ErField::Clone() const {
  auto copy = std::make_unique<ErField>();
  copy->CopyFieldPart(*this);
  return copy;
}

void ErField::CopyFieldPart(const ErField& other) {
  const ErBuffer& b = other.Buffer();
  SetType(b.GetTypeCode(), b.Size(), b.UpperCase());
  AimBuffer(b.Data());
  name_ = other.name_;
  number_ = other.number_;
}

Chaine ErField::GetEditMask(int32_t width, int32_t arg2, int32_t arg3, int32_t arg4) const {
  return Buffer().GetEditMask(width, arg2, arg3, arg4);
}

Chaine ErField::Format(int32_t width, int32_t decimals, uint32_t flags) const {
  return Buffer().Format(width, decimals, flags);
}

std::unique_ptr<ErField> ErFieldRefLocal::Clone() const {
  auto copy = std::make_unique<ErFieldRefLocal>();
  copy->CopyFrom(*this);
  return copy;
}

void ErFieldRefLocal::CopyFrom(const ErFieldRefLocal& other) {
  CopyFieldPart(other);
  reference_ = other.reference_;
}

}  // namespace tavelnor::record
