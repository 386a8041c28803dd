// The concrete type handlers: ETypeHandlerGeneric<code, Storage>, with
// Storage TypeDirectHandler<T> or TypeIndirectHandler<T> and T the handler's
// value type (type_handler_values.h).
//
// Behaviour comes from the root family of the code's category (code 13's
// int8 handler is numeric, code 21's char is a text, code 6 is a 4-byte
// integer of the boolean category); this class adds the code, the storage,
// the conversions between T and the category's root value type, and the
// type's limits.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <type_traits>

#include "foundation/case_tables.h"
#include "record/buffer_kinds.h"
#include "record/type_codes.h"
#include "record/type_handler_root_generic.h"
#include "record/type_handler_roots.h"
#include "record/type_handler_storage.h"

namespace tavelnor::record {

// The root family of the handler registered for `code`; -1 for codes without
// a handler. Codes 10, 138 and 146 have handlers but no descriptor.
constexpr int32_t HandlerCategory(uint16_t code) {
  switch (code) {
    case 2: case 23:
      return 2;
    case 1: case 13: case 15: case 22: case 26:
      return 26;
    case 14: case 16: case 18: case 27:
      return 27;
    case 12: case 20: case 29:
      return 29;
    case 6: case 19:
      return 19;
    case 0: case 7: case 9: case 10: case 21: case 24: case 25: case 33:
    case 128: case 135: case 137: case 138: case 149: case 153:
      return 25;
    case 136: case 143: case 145: case 146: case 157: case 161:
      return 161;
    case 4: case 5: case 28: case 30: case 32: case 34: case 35: case 36: case 37:
      return code;  // the only member of its category
    default:
      return -1;
  }
}

template <int32_t kCat>
using ETypeHandlerRoot =
    std::conditional_t<IsNumericCategory(kCat), ETypeHandlerRootNumeric<kCat>,
                       std::conditional_t<IsPoorCategory(kCat), ETypeHandlerRootPoor<kCat>,
                                          ETypeHandlerRootGeneric<kCat>>>;

template <uint16_t kCode, typename Storage>
class ETypeHandlerGeneric final : public ETypeHandlerRoot<HandlerCategory(kCode)> {
 public:
  static constexpr int32_t kCategory = HandlerCategory(kCode);
  using Root = ETypeHandlerRoot<kCategory>;
  using RootValue = typename Root::RootValue;
  using T = typename Storage::ValueType;
  using Value = typename Storage::Value;
  static constexpr ValueShape kShape = Storage::kShape;

  // `argument`: the declared length of the indirect text kinds (65535: the
  // code's default size); ignored by every other kind.
  explicit ETypeHandlerGeneric(uint16_t argument = 0)
      : storage_(argument == 0xFFFF ? DefaultBufferSize(static_cast<int16_t>(kCode)) : argument,
                 Form().fixed_length) {}

  std::unique_ptr<ETypeHandler> Clone() const override {
    return std::unique_ptr<ETypeHandler>(new ETypeHandlerGeneric(*this));
  }
  uint16_t GetTypeCode() const override { return kCode; }
  int32_t GetSize() const override { return storage_.Size(); }
  using ETypeHandler::GetData;
  uint8_t* GetData() override { return storage_.Data(); }
  // Numbers: value 0; the others: every byte 0, or no content for objects.
  bool IsEmpty() const override {
    if constexpr (IsNumericCategory(kCategory)) {
      return Root::IsEmpty();
    } else {
      return storage_.IsZero();
    }
  }
  void SetSize(int32_t size) override {
    storage_.SetSize(size, DefaultBufferSize(static_cast<int16_t>(kCode)));
  }
  int32_t CopyOut(void* dest, int32_t length, int32_t offset) const override {
    return storage_.CopyOut(dest, length, offset);
  }
  int32_t CopyIn(const void* src, int32_t length) override { return storage_.CopyIn(src, length); }
  void ConstructValue() override { storage_.Construct(); }
  void DestroyValue() override { storage_.Destroy(); }
  bool Aim(uint8_t* data, int32_t length) override {
    if constexpr (Storage::kIndirect) {
      storage_.Aim(data, length);
      return true;
    } else {
      return false;
    }
  }

  // Limits. Signed integers: 0, their largest, their smallest. The other
  // kinds take the extremes the typed buffers set, so that a field gets the
  // same limits either way: unsigned integers 0 and their largest;
  // double/float their largest and their smallest positive normal number;
  // EDecimal32 the stored extremes 2147483647 and -2147483648 thousandths;
  // EDecimal64 2147483647.0000000 and the smallest stored integer; ECurrency
  // the stored extremes; dates 31/12/2999 and the smallest date (01/01/1000);
  // times 23:59:59.99 and midnight; time stamps 31/12/2999 00:00 local time
  // and empty; booleans (codes 6 and 19) 1 and 0; one character 127 and -128;
  // char arrays bytes FF (the last one 0 unless fixed-length) and zero bytes.
  // Heap strings have no largest text: 1 leaves them as they are, 0 and 2
  // empty them. GUID and blobs: empty whatever is asked. Limit 0 always sets
  // the zero value (all bytes 0, empty text or object).
  void SetLimit(int32_t which) override {
    if (which < kLimitZero || which > kLimitMin) return;
    if constexpr (kShape == ValueShape::kCharArray) {
      storage_.FillArray(which == kLimitMax ? 0xFF : 0);
    } else if constexpr (kShape == ValueShape::kHeapString) {
      if (which != kLimitMax) storage_.Store(Value{});
    } else if constexpr (kShape == ValueShape::kBlob || std::is_same_v<Value, EGuid>) {
      storage_.Store(Value{});
    } else {
      storage_.Store(LimitOf(which));
    }
  }

  RootValue GetValue() const override { return ToRoot(storage_.Load()); }
  void SetValue(const RootValue& value) override { storage_.Store(FromRoot(value)); }

  // Floats print with their own precision.
  Chaine GetText() const override {
    if constexpr (std::is_same_v<T, float>) {
      return NumberText(storage_.Load());
    } else {
      return Root::GetText();
    }
  }
  // Every blob kind answers the blob getters with its bytes.
  sBlob GetBlob() const override {
    if constexpr (kShape == ValueShape::kBlob) return sBlob(ContentOf(storage_.Load()));
    return Root::GetBlob();
  }
  sBlobImage GetImage() const override {
    if constexpr (kShape == ValueShape::kBlob) return sBlobImage(ContentOf(storage_.Load()));
    return Root::GetImage();
  }
  sBlobSound GetSound() const override {
    if constexpr (kShape == ValueShape::kBlob) return sBlobSound(ContentOf(storage_.Load()));
    return Root::GetSound();
  }
  sBlobVideo GetVideo() const override {
    if constexpr (kShape == ValueShape::kBlob) return sBlobVideo(ContentOf(storage_.Load()));
    return Root::GetVideo();
  }

 private:
  struct TextForm {
    bool fixed_length;
    bool upper_case;
  };
  static TextForm Form() {
    bool no_case = false;
    bool upper_case = false;
    uint16_t base = SplitStringTypeCode(kCode, &no_case, &upper_case);
    return TextForm{base == TYPE_STR, upper_case};
  }

  static RootValue ToRoot(const Value& v) {
    if constexpr (std::is_same_v<Value, RootValue>) {
      return v;
    } else if constexpr (std::is_same_v<Value, EDecimal32>) {
      return ECurrency::FromRaw(int64_t{v.Raw()} * 10);
    } else if constexpr (std::is_same_v<Value, EDecimal64>) {
      return ToCurrency(v);
    } else if constexpr (std::is_same_v<Value, char>) {
      return v == 0 ? Chaine() : Chaine(std::string_view(&v, 1));
    } else if constexpr (std::is_same_v<Value, CString>) {
      return v.text;
    } else if constexpr (std::is_same_v<Value, sBlobText>) {
      return Chaine(v.Text());
    } else if constexpr (std::is_same_v<RootValue, bool>) {
      return v != 0;
    } else {
      return static_cast<RootValue>(v);
    }
  }

  // Texts written to the upper-case forms pass through the upper-case table.
  static Value FromRoot(const RootValue& r) {
    if constexpr (std::is_same_v<RootValue, Chaine>) {
      Chaine text = Form().upper_case ? Chaine(ToUpper1252(r.view())) : r;
      if constexpr (std::is_same_v<Value, Chaine>) {
        return text;
      } else if constexpr (std::is_same_v<Value, char>) {
        return text.IsEmpty() ? '\0' : text[0];
      } else if constexpr (std::is_same_v<Value, CString>) {
        return CString{text};
      } else {
        return Value(text.view());
      }
    } else if constexpr (std::is_same_v<Value, RootValue>) {
      return r;
    } else if constexpr (std::is_same_v<Value, EDecimal32>) {
      return ToDecimal32(r);
    } else if constexpr (std::is_same_v<Value, EDecimal64>) {
      return ToDecimal64(r);
    } else if constexpr (std::is_same_v<RootValue, bool>) {
      return static_cast<Value>(r ? 1 : 0);
    } else {
      return NarrowOrZero<Value>(r);
    }
  }

  static Value LimitOf(int32_t which) {
    if (which == kLimitZero) return Value{};
    bool max = which == kLimitMax;
    if constexpr (std::is_same_v<Value, sDate>) {
      return max ? sDate::Maximum() : sDate::Minimum();
    } else if constexpr (std::is_same_v<Value, sTime>) {
      return max ? sTime::Maximum() : sTime();
    } else if constexpr (std::is_same_v<Value, ETimeStamp>) {
      return max ? ETimeStamp::Maximum() : ETimeStamp();
    } else if constexpr (std::is_same_v<Value, EDecimal32>) {
      return EDecimal32::FromRaw(max ? std::numeric_limits<int32_t>::max()
                                     : std::numeric_limits<int32_t>::min());
    } else if constexpr (std::is_same_v<Value, EDecimal64>) {
      return EDecimal64::FromRaw(max ? INT64_C(21474836470000000)
                                     : std::numeric_limits<int64_t>::min());
    } else if constexpr (std::is_same_v<Value, ECurrency>) {
      return ECurrency::FromRaw(max ? std::numeric_limits<int64_t>::max()
                                    : std::numeric_limits<int64_t>::min());
    } else if constexpr (kCategory == 19) {
      return static_cast<Value>(max ? 1 : 0);
    } else if constexpr (std::is_same_v<Value, char>) {
      return static_cast<char>(max ? 0x7F : 0x80);
    } else if constexpr (std::is_floating_point_v<Value>) {
      return max ? std::numeric_limits<Value>::max() : std::numeric_limits<Value>::min();
    } else {
      return max ? std::numeric_limits<Value>::max() : std::numeric_limits<Value>::min();
    }
  }

  Storage storage_;
};

template <uint16_t kCode, typename T>
using DirectTypeHandler = ETypeHandlerGeneric<kCode, TypeDirectHandler<T>>;
template <uint16_t kCode, typename T>
using IndirectTypeHandler = ETypeHandlerGeneric<kCode, TypeIndirectHandler<T>>;

}  // namespace tavelnor::record
