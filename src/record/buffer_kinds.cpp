// The buffer factory's kind table and the default-size table.
#include "record/buffer_kinds.h"

#include "record/type_codes.h"

namespace tavelnor::record {
namespace {

constexpr int32_t kDefaultSizes[31] = {
    256, 4, 8, 8, 4, 4, 4, 256, 4, 256, 256, 256, 4, 1, 1, 2,  // 0-15
    2,   4, 4, 1, 8, 1, 4, 4,   256, 0, 0,   0,   8, 0, 0,      // 16-30
};

struct KindEntry {
  uint16_t code;
  BufferKind kind;
};

constexpr KindEntry kKinds[] = {
    {TYPE_ZSTRING, BufferKind::kZString},     {TYPE_LONG, BufferKind::kInt32},
    {TYPE_DOUBLE, BufferKind::kDouble},       {TYPE_DATE, BufferKind::kDate},
    {TYPE_TIME, BufferKind::kTime},           {TYPE_OLDBOOL, BufferKind::kbdBool},
    {TYPE_STR, BufferKind::kStr},             {TYPE_AUTRE, BufferKind::kAutre},
    {TYPE_DECIMAL32, BufferKind::kDec32},     {TYPE_INT8, BufferKind::kInt8},
    {TYPE_UINT8, BufferKind::kUInt8},         {TYPE_INT16, BufferKind::kInt16},
    {TYPE_UINT16, BufferKind::kUInt16},       {TYPE_UINT32, BufferKind::kUInt32},
    {TYPE_BOOL, BufferKind::kBool},           {TYPE_DECIMAL64, BufferKind::kDec64},
    {TYPE_CHARACTER, BufferKind::kCharacter}, {TYPE_INT, BufferKind::kInt},
    {TYPE_FLOAT, BufferKind::kFloat},         {TYPE_CHAINE, BufferKind::kChaine},
    {TYPE_INT64, BufferKind::kInt64},         {TYPE_UINT64, BufferKind::kUInt64},
    {TYPE_TIMESTAMP, BufferKind::kTimeStamp}, {TYPE_CURRENCY, BufferKind::kCurrency},
    {TYPE_GUID, BufferKind::kGuid},           {TYPE_BLOB, BufferKind::kBlob},
    {TYPE_BLOBTEXT, BufferKind::kBlobText},   {TYPE_BLOBRICHTEXT, BufferKind::kBlobRichText},
    {TYPE_BLOBIMAGE, BufferKind::kBlobImage}, {TYPE_BLOBSOUND, BufferKind::kBlobSound},
    {TYPE_BLOBVIDEO, BufferKind::kBlobVideo},
};

constexpr std::array<BufferKind, kBufferFactorySlots> MakeTable() {
  std::array<BufferKind, kBufferFactorySlots> table{};
  table.fill(BufferKind::kRaw);
  for (const KindEntry& e : kKinds) table[e.code + 1] = e.kind;
  return table;
}

constexpr std::array<BufferKind, kBufferFactorySlots> kTable = MakeTable();

}  // namespace

const std::array<BufferKind, kBufferFactorySlots>& BufferFactoryTable() { return kTable; }

BufferKind BufferKindForCode(int16_t code) {
  int slot = code + 1;
  if (slot < 0 || slot >= static_cast<int>(kBufferFactorySlots)) return BufferKind::kRaw;
  return kTable[static_cast<size_t>(slot)];
}

int32_t DefaultBufferSize(int16_t code) {
  uint16_t u = static_cast<uint16_t>(code);
  return u <= 30 ? kDefaultSizes[u] : kFallbackBufferSize;
}

int32_t ResolveBufferSize(int16_t code, int32_t size) {
  return size < 0 ? DefaultBufferSize(code) : size;
}

}  // namespace tavelnor::record
