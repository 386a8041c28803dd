// ETypeHandler: a value object for one type code.
//
// A handler either holds a value of its type itself (a direct handler) or
// looks at a value lying in someone else's bytes (an indirect handler, aimed
// at a record field by its owner). Every type answers the same operations:
// size and bytes, conversions to and from the common value kinds, text,
// comparison and arithmetic. This base class has no type (code 65535,
// category -1) and answers neutral values; the families of
// type_handler_roots.h and type_handler_generic.h override per category and
// per value type. Handlers are made by type_handler_registry.h.
//
// No operation throws or crashes on missing data: a handler without bytes
// reads as empty and ignores writes; out-of-range conversions give 0 or the
// empty value. Handler objects are not shared and have no locks.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/chaine.h"
#include "record/blob_value.h"
#include "record/date_value.h"
#include "record/fixed_point.h"
#include "record/guid_value.h"
#include "record/time_value.h"
#include "record/timestamp.h"

namespace tavelnor::record {

// Icon resources (GROUP_ICON) that stand for the kinds of handlers.
enum TypeIconId : int32_t {
  kTypeIconText = 16800,         // fixed texts and the case-insensitive texts
  kTypeIconDate = 16801,         // date and time stamp
  kTypeIconDynamicText = 16802,  // texts whose descriptor is dynamic (24, 25, 33)
  kTypeIconTime = 16803,
  kTypeIconVideo = 16804,
  kTypeIconNumber = 16805,  // every integer, floating and fixed-point kind
  kTypeIconImage = 16806,
  kTypeIconBinary = 16807,  // base handler, GUID, binary object
  kTypeIconSound = 16808,
  kTypeIconRichText = 16809,
  kTypeIconBool = 16810,
};

inline constexpr uint16_t kNoTypeCode = 65535;

// Which value `SetLimit` sets.
enum HandlerLimit : int32_t { kLimitZero = 0, kLimitMax = 1, kLimitMin = 2 };

class ETypeHandler {
 public:
  ETypeHandler() = default;
  ETypeHandler& operator=(const ETypeHandler&) = delete;
  virtual ~ETypeHandler() = default;

  // A new handler of the same class: a direct handler with the same value, an
  // indirect one looking at the same bytes. The caller owns it.
  virtual std::unique_ptr<ETypeHandler> Clone() const;
  virtual uint16_t GetTypeCode() const { return kNoTypeCode; }
  // Bytes at GetData: the width of the value, the declared size for texts.
  virtual int32_t GetSize() const { return 0; }
  // The value's bytes; null when there are none (base handler, un-aimed
  // indirect handler).
  virtual uint8_t* GetData() { return nullptr; }
  const uint8_t* GetData() const { return const_cast<ETypeHandler*>(this)->GetData(); }
  // Every byte of the data is 0 (true when there are none); numbers: value 0.
  virtual bool IsEmpty() const;
  // Indirect text kinds: the declared length (-1: the code's default size).
  virtual void SetSize(int32_t /*size*/) {}
  // Copies at most `length` bytes of the data from `offset` to `dest`, never
  // past the end; answers the count copied.
  virtual int32_t CopyOut(void* dest, int32_t length, int32_t offset) const;
  // Copies min(length, size) bytes from `src` into the data; answers the count.
  virtual int32_t CopyIn(const void* src, int32_t length);
  // Heap-string kinds: put an empty string object in place / release it.
  virtual void ConstructValue() {}
  virtual void DestroyValue() {}
  virtual int32_t GetCategory() const { return -1; }
  virtual TypeIconId GetIconId() const { return kTypeIconBinary; }
  // Takes the other handler's value through this category's root value type.
  virtual void Assign(const ETypeHandler& /*other*/) {}
  // One of HandlerLimit; anything else does nothing.
  virtual void SetLimit(int32_t /*which*/) {}

  // Indirect handlers: look at `length` bytes at `data` from now on (not
  // owned; they must outlive the aim). False, and nothing done, for direct
  // and base handlers.
  virtual bool Aim(uint8_t* /*data*/, int32_t /*length*/) { return false; }

  // --- Getters -------------------------------------------------------------
  virtual EGuid GetGuid() const { return EGuid(); }
  // The date of GetDate at 00:00:00.00 in the current zone.
  virtual ETimeStamp GetTimeStamp() const;
  virtual sBlobSound GetSound() const { return sBlobSound(); }
  virtual sBlobVideo GetVideo() const { return sBlobVideo(); }
  virtual sBlobImage GetImage() const { return sBlobImage(); }
  // GetInt64 as seconds.
  virtual sTime GetTime() const;
  // GetInt64 as a day number; answers whether the date is valid. `date` may
  // be null.
  virtual bool GetDate(sDate* date) const;
  // GetText as an RTF memo.
  virtual sBlobRichText GetRichText() const;
  virtual Chaine GetText() const { return Chaine(); }
  virtual double GetDouble() const { return static_cast<double>(GetInt64()); }
  virtual ECurrency GetCurrency() const { return ECurrency::FromDouble(GetDouble()); }
  virtual bool GetBool() const { return GetInt64() != 0; }
  virtual uint64_t GetUInt64() const { return static_cast<uint64_t>(GetInt64()); }
  virtual int64_t GetInt64() const { return 0; }
  virtual sBlob GetBlob() const { return sBlob(); }

  // --- Arithmetic: a new handler owned by the caller -------------------------
  virtual std::unique_ptr<ETypeHandler> Add(const ETypeHandler& other) const;
  virtual std::unique_ptr<ETypeHandler> Subtract(const ETypeHandler& other) const;
  virtual std::unique_ptr<ETypeHandler> Multiply(const ETypeHandler& other) const;
  virtual std::unique_ptr<ETypeHandler> Divide(const ETypeHandler& other) const;
  // The type code of `this op other` ("+", "-", "*", "/"), -1 when not allowed.
  virtual int32_t ResultType(char /*op*/, const ETypeHandler& /*other*/) const { return -1; }

  virtual bool IsEqual(const ETypeHandler& /*other*/) const { return false; }
  virtual bool IsLess(const ETypeHandler& /*other*/) const { return false; }
  virtual bool IsGreater(const ETypeHandler& /*other*/) const { return false; }

  // The type used to match operands, from GetCategory: 2, 26, 27, 29 give 2;
  // 4, 5 give 26; 25, 34, 161 give 25; 35, 36, 37 give 32; else -1.
  int32_t GetGeneralType() const;

 protected:
  ETypeHandler(const ETypeHandler&) = default;
};

// The general type of a category (see GetGeneralType).
int32_t GeneralTypeOfCategory(int32_t category);

}  // namespace tavelnor::record
