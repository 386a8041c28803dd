// Records converted into the exchange layout, and its slots cleared.
#include "data/exchange_layout.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_set>

#include "data/bmp_image.h"
#include "dico/er_field_table.h"
#include "record/buffer_kinds.h"
#include "record/byte_form.h"
#include "record/rtf_text.h"
#include "record/text_fields.h"
#include "record/type_codes.h"
#include "tavelnor/zavl.h"

namespace tavelnor::data {

namespace r = record;

ExchangeSlot ExchangeSlotFor(int16_t code, int32_t size) {
  const uint32_t declared = size > 0 ? static_cast<uint32_t>(size) : 0;
  switch (code) {
    case r::TYPE_ZSTRING:
    case r::TYPE_STR:
    case r::TYPE_AUTRE: return {ZAVL_FT_STRING, declared};
    case r::TYPE_CHARACTER: return {ZAVL_FT_FIXEDCHAR, 1};
    case r::TYPE_LONG:
    case r::TYPE_UINT32:
    case r::TYPE_INT: return {ZAVL_FT_INTEGER, 4};
    case r::TYPE_INT8:
    case r::TYPE_INT16:
    case r::TYPE_UINT16: return {ZAVL_FT_SMALLINT, 2};
    case r::TYPE_UINT8:
      return declared > 1 ? ExchangeSlot{ZAVL_FT_BYTES, declared} : ExchangeSlot{ZAVL_FT_SMALLINT, 2};
    case r::TYPE_OLDBOOL:
    case r::TYPE_BOOL: return {ZAVL_FT_BOOLEAN, 1};
    case r::TYPE_DOUBLE:
    case r::TYPE_DECIMAL32:
    case r::TYPE_DECIMAL64:
    case r::TYPE_FLOAT:
    case r::TYPE_CURRENCY: return {ZAVL_FT_FLOAT, 8};
    case r::TYPE_DATE: return {ZAVL_FT_DATE, 4};
    case r::TYPE_TIME: return {ZAVL_FT_TIME, 4};
    case r::TYPE_TIMESTAMP: return {ZAVL_FT_DATETIME, 8};
    case r::TYPE_GUID: return {ZAVL_FT_GUID, 16};
    case r::TYPE_BLOBRICHTEXT: return {ZAVL_FT_BLOB, kMemorySlotSize};
    case r::TYPE_BLOBTEXT: return {ZAVL_FT_MEMO, kMemorySlotSize};
    case r::TYPE_BLOBIMAGE: return {ZAVL_FT_GRAPHIC, kMemorySlotSize};
    default: return {};
  }
}

namespace {

// The blocks handed out in memory slots. A slot is freed only when its
// pointer is one of them: a caller's buffer may hold anything before its
// first conversion, and a block must not be freed twice.
class BlockRegistry {
 public:
  void* Allocate(size_t n) {
    void* block = std::malloc(n);
    if (block != nullptr) {
      std::lock_guard lock(mutex_);
      live_.insert(block);
    }
    return block;
  }
  void Free(void* block) {
    if (block == nullptr) return;
    {
      std::lock_guard lock(mutex_);
      if (live_.erase(block) == 0) return;
    }
    std::free(block);
  }

 private:
  std::mutex mutex_;
  std::unordered_set<void*> live_;
};

BlockRegistry& Blocks() {
  static BlockRegistry* registry = new BlockRegistry();  // blocks may outlive statics
  return *registry;
}

bool IsMemorySlot(uint8_t type) {
  return type == ZAVL_FT_BLOB || type == ZAVL_FT_MEMO || type == ZAVL_FT_GRAPHIC;
}

void PutBlock(uint8_t* at, std::string_view bytes) {
  void* block = nullptr;
  uint32_t length = 0;
  if (!bytes.empty() && bytes.size() <= UINT32_MAX) {
    block = Blocks().Allocate(bytes.size());
    if (block != nullptr) {
      std::memcpy(block, bytes.data(), bytes.size());
      length = static_cast<uint32_t>(bytes.size());
    }
  }
  r::StoreLittle<uint32_t>(at, length);
  std::memcpy(at + 4, &block, sizeof block);
}

void FreeBlock(uint8_t* at) {
  void* block = nullptr;
  std::memcpy(&block, at + 4, sizeof block);
  Blocks().Free(block);
}

}  // namespace

bool ExchangeRecord::Build(const dico::DRubricTable& table, uint8_t* record, bool extended) {
  fields_.Clear();
  const uint32_t filter = extended ? 1 : 3;
  const bool built = dico::BuildFields(fields_, table, record, filter);
  base_ = record;
  slots_.clear();
  for (size_t i = 0; i < fields_.SegmentCount(); ++i) {
    const r::ErField& field = *fields_.Segment(i);
    slots_.push_back(field.NeedsRefresh() ? ExchangeSlot{}
                                          : ExchangeSlotFor(field.Buffer().GetTypeCode(),
                                                            field.Buffer().Size()));
  }
  BuildPlan();
  return built;
}

ExchangeSlot ExchangeRecord::SlotOf(size_t i) const {
  return i < slots_.size() ? slots_[i] : ExchangeSlot{};
}

uint32_t ExchangeRecord::ExchangeSize() const {
  uint64_t total = 0;
  for (size_t i = 0; i < fields_.SegmentCount(); ++i) total += SlotOf(i).size;
  return total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
}

void ExchangeRecord::SetRecordBase(uint8_t* record) {
  // Fields whose address is recomputed have no slot, so the fields of a
  // record already aimed at need nothing more.
  if (record == base_ && record != nullptr && plan_built_) return;
  for (size_t i = 0; i < fields_.SegmentCount(); ++i) fields_.Segment(i)->SetRecordBase(record);
  base_ = record;
  BuildPlan();
}

void ExchangeRecord::BuildPlan() {
  plan_.clear();
  memory_slots_.clear();
  uint64_t total = 0;
  for (size_t i = 0; i < slots_.size() && i < fields_.SegmentCount(); ++i) {
    const ExchangeSlot slot = slots_[i];
    if (slot.size == 0) continue;
    PlannedSlot planned;
    planned.field = fields_.Segment(i);
    planned.slot = slot;
    planned.at = total;
    total += slot.size;
    planned.end = total;
    const uint8_t* data = planned.field->Data();
    planned.in_record = base_ != nullptr && data != nullptr && data >= base_;
    planned.record_end = planned.in_record ? static_cast<uint64_t>(data - base_) +
                                                 static_cast<uint64_t>(std::max(planned.field->Size(), 0))
                                           : 0;
    if (IsMemorySlot(slot.type)) memory_slots_.push_back(plan_.size());
    plan_.push_back(planned);
  }
  plan_built_ = true;
}

void ExchangeRecord::Clear(uint8_t* target, uint32_t target_size) const {
  if (target == nullptr) return;
  if (!plan_built_) {
    // Not aimed at a record yet: walk the slots themselves.
    uint64_t total = 0;
    for (const ExchangeSlot& slot : slots_) {
      if (slot.size == 0) continue;
      if (total + slot.size > target_size) break;
      if (IsMemorySlot(slot.type)) FreeBlock(target + total);
      std::memset(target + total, 0, slot.size);
      total += slot.size;
    }
    return;
  }
  // The slots that fit lie end to end from the start of the target.
  uint64_t fit = 0;
  for (const PlannedSlot& p : plan_) {
    if (p.end > target_size) break;
    fit = p.end;
  }
  for (size_t index : memory_slots_) {
    if (plan_[index].end > fit) break;
    FreeBlock(target + plan_[index].at);
  }
  std::memset(target, 0, static_cast<size_t>(fit));
}

void ExchangeRecord::Convert(uint8_t* target, uint32_t target_size, uint8_t* record,
                             uint32_t record_size, uint32_t open_flags) {
  if (target == nullptr) return;
  SetRecordBase(record);
  Clear(target, target_size);
  for (const PlannedSlot& p : plan_) {
    if (p.end > target_size) break;
    if (p.in_record && p.record_end <= record_size) {
      WriteSlot(*p.field, p.slot, target + p.at, open_flags);
    }
  }
}

namespace {

bool PlainText(int16_t code) {
  const r::BufferKind kind = r::BufferKindForCode(code);
  return kind == r::BufferKind::kZString || kind == r::BufferKind::kStr;
}

}  // namespace

void ExchangeRecord::WriteSlot(const r::ErField& field, ExchangeSlot slot, uint8_t* at,
                               uint32_t open_flags) const {
  const r::ErBuffer& b = field.Buffer();
  switch (slot.type) {
    case ZAVL_FT_STRING:
      if (PlainText(b.GetTypeCode()) && b.Data() != nullptr) {
        // Text arrays read as their bytes up to the first zero; the slot was
        // cleared before, so only the characters are copied.
        const size_t room = std::min<size_t>(static_cast<size_t>(std::max(b.Size(), 0)),
                                             slot.size - 1);
        const void* zero = std::memchr(b.Data(), 0, room);
        const size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - b.Data())
                              : room;
        std::memcpy(at, b.Data(), n);
      } else {
        r::WriteZeroTerminated(at, slot.size, b.GetText().view(), false);
      }
      break;
    case ZAVL_FT_FIXEDCHAR: at[0] = b.Data() != nullptr && b.Size() > 0 ? b.Data()[0] : 0; break;
    case ZAVL_FT_INTEGER: r::StoreLittle<int32_t>(at, static_cast<int32_t>(b.GetInt64())); break;
    case ZAVL_FT_SMALLINT: r::StoreLittle<int16_t>(at, static_cast<int16_t>(b.GetInt64())); break;
    case ZAVL_FT_BYTES: {
      const Chaine bytes = b.GetBytes();
      std::memcpy(at, bytes.c_str(), std::min<size_t>(bytes.Length(), slot.size));
      break;
    }
    case ZAVL_FT_BOOLEAN: at[0] = b.GetBool() ? 1 : 0; break;
    case ZAVL_FT_FLOAT: r::StoreLittle<double>(at, b.GetDouble()); break;
    case ZAVL_FT_DATE: {
      const r::sDate date = b.GetDate();
      const int32_t days = date.IsValid() ? date.DayNumber() - kExchangeDayOffset : 0;
      r::StoreLittle<int32_t>(at, days);
      break;
    }
    case ZAVL_FT_TIME: r::StoreLittle<int32_t>(at, b.GetTime().ToSeconds() * 1000); break;
    case ZAVL_FT_DATETIME: {
      const r::ETimeStamp stamp = b.GetTimeStamp();
      r::StoreLittle<double>(at, stamp.IsEmpty() ? 0.0 : stamp.ToOleDays());
      break;
    }
    case ZAVL_FT_GUID: break;  // left zero
    case ZAVL_FT_BLOB:
      if (open_flags & DATA_RICHTEXT_AS_TEXT) {
        std::string text = r::RtfToPlainText(b.GetBytes().view());
        if (!text.empty()) text.push_back('\0');
        PutBlock(at, text);
      } else {
        PutBlock(at, b.GetBytes().view());
      }
      break;
    case ZAVL_FT_MEMO: PutBlock(at, b.GetBytes().view()); break;
    case ZAVL_FT_GRAPHIC: {
      const Chaine dib = b.GetBytes();
      std::optional<std::string> file = DibToBmpFile(dib.view());
      PutBlock(at, file ? std::string_view(*file) : std::string_view());
      break;
    }
    default: break;
  }
}

}  // namespace tavelnor::data
