// Heap strings in bytes, number texts and the numeric operators of the type
// handlers.
#include "record/type_handler_values.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <string>

namespace tavelnor::record {
namespace {

// A slot's string object moved into aligned storage and back.
class RelocatedString {
 public:
  // Takes over the slot's object, or constructs an empty one when it has none.
  explicit RelocatedString(const uint8_t* slot) {
    if (AllZero(slot, kHeapStringSlotSize)) {
      object_ = new (storage_) Chaine();
    } else {
      std::memcpy(storage_, slot, sizeof(Chaine));
      object_ = std::launder(reinterpret_cast<Chaine*>(storage_));
    }
  }
  RelocatedString(const RelocatedString&) = delete;
  RelocatedString& operator=(const RelocatedString&) = delete;

  Chaine& object() { return *object_; }
  // Hands the object back to the slot.
  void PutBack(uint8_t* slot) { std::memcpy(slot, storage_, sizeof(Chaine)); }

 private:
  alignas(Chaine) unsigned char storage_[sizeof(Chaine)];
  Chaine* object_;
};

std::string_view SkipBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return text.substr(i);
}

}  // namespace

Chaine ReadHeapString(const uint8_t* slot) {
  if (slot == nullptr || AllZero(slot, kHeapStringSlotSize)) return Chaine();
  RelocatedString relocated(slot);
  // A copy takes a reference of its own; the slot keeps the object's.
  return relocated.object();
}

void WriteHeapString(uint8_t* slot, std::string_view text) {
  if (slot == nullptr) return;
  RelocatedString relocated(slot);
  relocated.object() = Chaine(text);
  relocated.PutBack(slot);
}

void ConstructHeapString(uint8_t* slot) {
  if (slot == nullptr) return;
  std::memset(slot, 0, sizeof(Chaine));
  RelocatedString relocated(slot);
  relocated.PutBack(slot);
}

void DestroyHeapString(uint8_t* slot) {
  if (slot == nullptr) return;
  if (!AllZero(slot, kHeapStringSlotSize)) {
    RelocatedString relocated(slot);
    relocated.object().~Chaine();
  }
  std::memset(slot, 0, sizeof(Chaine));
}

bool AllZero(const uint8_t* bytes, int32_t size) {
  if (bytes == nullptr || size <= 0) return true;
  return std::all_of(bytes, bytes + size, [](uint8_t b) { return b == 0; });
}

int32_t CopySlice(const uint8_t* src, int32_t size, void* dest, int32_t length, int32_t offset) {
  if (src == nullptr || dest == nullptr || length <= 0 || offset < 0 || offset >= size) return 0;
  int32_t n = std::min(length, size - offset);
  std::memcpy(dest, src + offset, static_cast<size_t>(n));
  return n;
}

int64_t DoubleToInt64(double value) {
  // 2^63 is exact as a double; every double below it in magnitude fits.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(value >= -kLimit && value < kLimit)) return 0;
  return static_cast<int64_t>(value);
}

uint64_t DoubleToUInt64(double value) {
  constexpr double kLimit = 18446744073709551616.0;
  if (!(value > -1.0 && value < kLimit)) return 0;
  return static_cast<uint64_t>(value);
}

namespace {

template <typename T>
Chaine ToChars(T value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return Chaine();
  return Chaine(std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

}  // namespace

Chaine NumberText(int64_t value) { return ToChars(value); }
Chaine NumberText(uint64_t value) { return ToChars(value); }
Chaine NumberText(double value) { return ToChars(value); }
Chaine NumberText(float value) { return ToChars(value); }

int64_t ParseInt64(std::string_view text) {
  text = SkipBlanks(text);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  int64_t value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)ptr;
  return ec == std::errc() ? value : 0;
}

uint64_t ParseUInt64(std::string_view text) {
  text = SkipBlanks(text);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  uint64_t value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)ptr;
  return ec == std::errc() ? value : 0;
}

int64_t ApplyOperator(char op, int64_t a, int64_t b) {
  auto ua = static_cast<uint64_t>(a);
  auto ub = static_cast<uint64_t>(b);
  switch (op) {
    case '+':
      return static_cast<int64_t>(ua + ub);
    case '-':
      return static_cast<int64_t>(ua - ub);
    case '*':
      return static_cast<int64_t>(ua * ub);
    case '/':
      if (b == 0) return 0;
      if (b == -1) return static_cast<int64_t>(0 - ua);  // the minimum stays itself
      return a / b;
    default:
      return 0;
  }
}

namespace {

// The four operators where the type's own arithmetic is the rule; a zero
// divisor gives zero.
template <typename T>
T ApplyPlain(char op, T a, T b) {
  switch (op) {
    case '+':
      return a + b;
    case '-':
      return a - b;
    case '*':
      return a * b;
    case '/':
      return b == T{} ? T{} : a / b;
    default:
      return T{};
  }
}

}  // namespace

uint64_t ApplyOperator(char op, uint64_t a, uint64_t b) { return ApplyPlain(op, a, b); }
double ApplyOperator(char op, double a, double b) { return ApplyPlain(op, a, b); }

ECurrency ApplyOperator(char op, ECurrency a, ECurrency b) {
  int64_t raw = 0;
  switch (op) {
    case '+':
      return __builtin_add_overflow(a.Raw(), b.Raw(), &raw) ? ECurrency() : ECurrency::FromRaw(raw);
    case '-':
      return __builtin_sub_overflow(a.Raw(), b.Raw(), &raw) ? ECurrency() : ECurrency::FromRaw(raw);
    case '*':
      return Multiply(a, b);
    case '/':
      return Divide(a, b);
    default:
      return ECurrency();
  }
}

}  // namespace tavelnor::record
