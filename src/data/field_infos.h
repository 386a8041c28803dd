// Field information handlers: what a typed value standing for a record field
// (a key segment value, a typed buffer) asks about that field — where it lies
// in the record, its names, its limits, how it is computed.
//
// EFInfosHandler answers neutral defaults, so that a value without a field
// behind it still works; one shared default serves every such value.
// EFInfosHandlerDico answers from a dictionary variable. Values hold their
// handler through a shared, reference-counted holder and clone it when they
// are copied.
#pragma once

#include <cstdint>
#include <memory>

#include "dico/dico_base.h"
#include "foundation/chaine.h"
#include "record/er_buffer.h"

namespace tavelnor::data {

// Which limit SetLimit gives a value.
inline constexpr int kLimitMin = 0;
inline constexpr int kLimitMax = 1;

class EFInfosHandler {
 public:
  EFInfosHandler() = default;
  EFInfosHandler(const EFInfosHandler&) = delete;
  EFInfosHandler& operator=(const EFInfosHandler&) = delete;
  virtual ~EFInfosHandler() = default;

  virtual int32_t StoredLength() const { return 0; }
  virtual Chaine DisplayName() const { return Chaine(); }
  virtual Chaine AltLabel() const { return Chaine(); }
  virtual Chaine VariableText() const { return Chaine(); }
  virtual const dico::DDicoBase* Variable() const { return nullptr; }
  virtual int32_t Offset() const { return 0; }
  virtual bool SetFixedOffset(uint16_t) { return false; }
  // Makes `value` read its bytes from the field in the bound record.
  virtual bool ReadInto(record::ErBuffer&) const { return false; }
  virtual bool Compute() { return false; }
  virtual bool Refresh() { return false; }
  virtual bool IsDerived() const { return false; }
  virtual bool IsComputed() const { return false; }
  // Binds a record; answers the field's address in it.
  virtual uint8_t* Bind(uint8_t* record) { return record; }
  // Gives `value` the smallest (kLimitMin) or largest (kLimitMax) value of
  // its type.
  virtual void SetLimit(int which, record::ErBuffer& value) const;
  virtual std::unique_ptr<EFInfosHandler> Clone() const;

  // The handler of values that stand for no field.
  static std::shared_ptr<EFInfosHandler> Default();
};

using EFInfosHolder = std::shared_ptr<EFInfosHandler>;

// The decisions on the variable model behind these answers:
//  - stored length: the unit size of a DialogBox-class variable (kept with
//    the record by the dialog that shows it), else 0;
//  - alternative label: the description, else the header, else the name;
//  - variable text: the input mask;
//  - derived: class 3 (Calc) or a link to another field; computed: class 4
//    (Recap), or a field stored in the record that carries a formula — the
//    only ones Compute can write, as Calc and Recap fields have no bytes of
//    their own in the record;
//  - refresh: writes the variable's initial value into the bound record.
class EFInfosHandlerDico : public EFInfosHandler {
 public:
  static constexpr uint8_t kFixedOffset = 0x1;

  EFInfosHandlerDico(const dico::DDicoBase& variable, uint16_t index)
      : variable_(&variable), index_(index) {}

  int32_t StoredLength() const override;
  Chaine DisplayName() const override;
  Chaine AltLabel() const override;
  Chaine VariableText() const override;
  const dico::DDicoBase* Variable() const override { return variable_; }
  int32_t Offset() const override;
  bool SetFixedOffset(uint16_t offset) override;
  bool ReadInto(record::ErBuffer& value) const override;
  bool Compute() override;
  bool Refresh() override;
  bool IsDerived() const override;
  bool IsComputed() const override;
  uint8_t* Bind(uint8_t* record) override;
  void SetLimit(int which, record::ErBuffer& value) const override;
  std::unique_ptr<EFInfosHandler> Clone() const override;

  uint8_t* Record() const { return record_; }
  uint16_t Index() const { return index_; }

 private:
  uint8_t* Address() const;

  const dico::DDicoBase* variable_;
  uint8_t* record_ = nullptr;
  int32_t fixed_offset_ = 0;
  uint16_t index_;
  uint8_t flags_ = 0;
};

// Value flags derived from a variable.
inline constexpr uint16_t kValueExtension = 0x100;
inline constexpr uint16_t kValueLinked = 0x08;

// The description from which a segment value or typed value is made for a
// variable's element.
struct FieldAccessor {
  Chaine name;
  uint16_t type = 0xFFFF;
  uint16_t size = 0;
  int32_t offset = 0;
  uint16_t flags = 0;
  EFInfosHolder handler;
};

FieldAccessor MakeFieldAccessor(const dico::DDicoBase& variable, uint16_t index);

}  // namespace tavelnor::data
