// The type catalog: one immutable descriptor per type code.
//
// `GetTypeDesc` answers, for any code, the descriptor of its kind: value type
// name, French display label (Windows-1252), category and a few fixed
// properties. Codes without a kind answer the base `BdDynTypeDesc` (-1, -1,
// null, null, false x4). Descriptors live until process exit, are never null
// and are the same object for the same code on every call. Thread-safe.
#pragma once

#include <cstdint>

#include "record/type_codes.h"

namespace tavelnor::record {

class BdDynTypeDesc {
 public:
  constexpr BdDynTypeDesc() = default;
  BdDynTypeDesc(const BdDynTypeDesc&) = delete;
  BdDynTypeDesc& operator=(const BdDynTypeDesc&) = delete;
  virtual ~BdDynTypeDesc() = default;

  // 2 numbers/booleans/decimals, 25 texts, 26 date/time/time stamp,
  // 32 image/sound/video, -1 otherwise.
  virtual int32_t GetGeneralType() const { return -1; }
  virtual int32_t GetCategory() const { return -1; }
  // Constant Windows-1252 texts; null for the base descriptor.
  virtual const char* GetTypeName() const { return nullptr; }
  virtual const char* GetLabel() const { return nullptr; }
  virtual bool IsDynamic() const { return false; }
  virtual bool IsFixedArray() const { return false; }
  virtual bool IsSortable() const { return false; }
  virtual bool GetProperty7() const { return false; }
};

// One row of the catalog: what a descriptor kind answers.
struct TypeDescRow {
  uint16_t code;
  const char* type_name;
  const char* label;
  int32_t category;
  int32_t general_type;
  bool dynamic;
  bool fixed_array;
  bool sortable;
  bool property7;
};

// The row of `code`, or null when the code has no descriptor kind.
const TypeDescRow* FindTypeDescRow(uint32_t code);

// A descriptor kind: a stateless subclass answering the row of its code.
template <uint16_t kCode>
class BdDynTypeDescKind final : public BdDynTypeDesc {
 public:
  int32_t GetGeneralType() const override { return Row().general_type; }
  int32_t GetCategory() const override { return Row().category; }
  const char* GetTypeName() const override { return Row().type_name; }
  const char* GetLabel() const override { return Row().label; }
  bool IsDynamic() const override { return Row().dynamic; }
  bool IsFixedArray() const override { return Row().fixed_array; }
  bool IsSortable() const override { return Row().sortable; }
  bool GetProperty7() const override { return Row().property7; }

 private:
  static const TypeDescRow& Row() {
    static const TypeDescRow& row = *FindTypeDescRow(kCode);
    return row;
  }
};

using BdDynTypeDescTYPE_ZSTRING = BdDynTypeDescKind<TYPE_ZSTRING>;
using BdDynTypeDescTYPE_LONG = BdDynTypeDescKind<TYPE_LONG>;
using BdDynTypeDescTYPE_DOUBLE = BdDynTypeDescKind<TYPE_DOUBLE>;
using BdDynTypeDescTYPE_DATE = BdDynTypeDescKind<TYPE_DATE>;
using BdDynTypeDescTYPE_TIME = BdDynTypeDescKind<TYPE_TIME>;
using BdDynTypeDescTYPE_OLDBOOL = BdDynTypeDescKind<TYPE_OLDBOOL>;
using BdDynTypeDescTYPE_STR = BdDynTypeDescKind<TYPE_STR>;
using BdDynTypeDescTYPE_AUTRE = BdDynTypeDescKind<TYPE_AUTRE>;
using BdDynTypeDescTYPE_DECIMAL32 = BdDynTypeDescKind<TYPE_DECIMAL32>;
using BdDynTypeDescTYPE_INT8 = BdDynTypeDescKind<TYPE_INT8>;
using BdDynTypeDescTYPE_UINT8 = BdDynTypeDescKind<TYPE_UINT8>;
using BdDynTypeDescTYPE_INT16 = BdDynTypeDescKind<TYPE_INT16>;
using BdDynTypeDescTYPE_UINT16 = BdDynTypeDescKind<TYPE_UINT16>;
using BdDynTypeDescTYPE_UINT32 = BdDynTypeDescKind<TYPE_UINT32>;
using BdDynTypeDescTYPE_BOOL = BdDynTypeDescKind<TYPE_BOOL>;
using BdDynTypeDescTYPE_DECIMAL64 = BdDynTypeDescKind<TYPE_DECIMAL64>;
using BdDynTypeDescTYPE_CHARACTER = BdDynTypeDescKind<TYPE_CHARACTER>;
using BdDynTypeDescTYPE_INT = BdDynTypeDescKind<TYPE_INT>;
using BdDynTypeDescTYPE_FLOAT = BdDynTypeDescKind<TYPE_FLOAT>;
using BdDynTypeDescTYPE_CSTRING = BdDynTypeDescKind<TYPE_CSTRING>;
using BdDynTypeDescTYPE_CHAINE = BdDynTypeDescKind<TYPE_CHAINE>;
using BdDynTypeDescTYPE_INT64 = BdDynTypeDescKind<TYPE_INT64>;
using BdDynTypeDescTYPE_UINT64 = BdDynTypeDescKind<TYPE_UINT64>;
using BdDynTypeDescTYPE_TIMESTAMP = BdDynTypeDescKind<TYPE_TIMESTAMP>;
using BdDynTypeDescTYPE_CURRENCY = BdDynTypeDescKind<TYPE_CURRENCY>;
using BdDynTypeDescTYPE_GUID = BdDynTypeDescKind<TYPE_GUID>;
using BdDynTypeDescTYPE_BLOB = BdDynTypeDescKind<TYPE_BLOB>;
using BdDynTypeDescTYPE_BLOBTEXT = BdDynTypeDescKind<TYPE_BLOBTEXT>;
using BdDynTypeDescTYPE_BLOBRICHTEXT = BdDynTypeDescKind<TYPE_BLOBRICHTEXT>;
using BdDynTypeDescTYPE_BLOBIMAGE = BdDynTypeDescKind<TYPE_BLOBIMAGE>;
using BdDynTypeDescTYPE_BLOBSOUND = BdDynTypeDescKind<TYPE_BLOBSOUND>;
using BdDynTypeDescTYPE_BLOBVIDEO = BdDynTypeDescKind<TYPE_BLOBVIDEO>;
using BdDynTypeDescTYPE_UP_ZSTRING = BdDynTypeDescKind<TYPE_UP_ZSTRING>;
using BdDynTypeDescTYPE_UP_STR = BdDynTypeDescKind<TYPE_UP_STR>;
using BdDynTypeDescTYPE_NC_ZSTRING = BdDynTypeDescKind<TYPE_NC_ZSTRING>;
using BdDynTypeDescTYPE_UP_AUTRE = BdDynTypeDescKind<TYPE_UP_AUTRE>;
using BdDynTypeDescTYPE_NC_STR = BdDynTypeDescKind<TYPE_NC_STR>;
using BdDynTypeDescTYPE_NC_AUTRE = BdDynTypeDescKind<TYPE_NC_AUTRE>;
using BdDynTypeDescTYPE_UP_CHARACTER = BdDynTypeDescKind<TYPE_UP_CHARACTER>;
using BdDynTypeDescTYPE_UP_CHAINE = BdDynTypeDescKind<TYPE_UP_CHAINE>;
using BdDynTypeDescTYPE_NC_CHARACTER = BdDynTypeDescKind<TYPE_NC_CHARACTER>;
using BdDynTypeDescTYPE_NC_CHAINE = BdDynTypeDescKind<TYPE_NC_CHAINE>;

// The descriptor of `code`; never null.
const BdDynTypeDesc* GetTypeDesc(uint32_t code);

}  // namespace tavelnor::record
