// The exported navigation functions and the record buffer exchange: each a
// thin call of one data object operation in the common frame, then the
// conversion of the record into the exchange buffer.
//
// The data object keeps the status of its last operation, and some
// operations (a cached count, a new record buffer) answer without setting
// one: the frame clears it before the call, so that the status reported is
// the call's own and never one an earlier failure left behind.
#include <cstring>

#include "api/guard.h"
#include "api/handles.h"
#include "btrieve/btrieve_codes.h"
#include "data/edata.h"
#include "data/exchange_layout.h"
#include "record/blob_value.h"

namespace tavelnor::api {

void RefreshExchange(DataHandle& handle) {
  if (!handle.exchangeRecord || !handle.exchangeBuffer) return;
  data::EData& object = *handle.dataObject;
  handle.exchangeRecord->Convert(static_cast<uint8_t*>(handle.exchangeBuffer), handle.exchangeSize,
                                 object.RecordBuffer(), object.RecordLength(), handle.openFlags);
}

namespace {

bool InExchangeMode(const DataHandle& h) { return h.exchangeRecord && h.exchangeBuffer; }

// The frame of a function that asks the data object something: validate,
// run `op` on a cleared status, report the status. `failure` answers a bad
// handle and anything thrown.
template <class R, class Op>
R OnObject(ZAVL_Data* data, R failure, Op op) {
  return Guard(kHandleFrame, failure, [&]() -> R {
    DataHandle* h = CheckData(data);
    if (!h) return failure;
    h->dataObject->SetStatus(0);
    const R result = op(*h);
    SetLastError(h->dataObject->Status());
    return result;
  });
}

// The frame of a positioning function: as above, then the conversion into
// the exchange buffer. A bad handle answers 0, a throw -1 (no record).
template <typename Op>
int32_t Position(ZAVL_Data* data, Op op) {
  return Guard(kHandleFrame, int32_t{-1}, [&]() -> int32_t {
    DataHandle* h = CheckData(data);
    if (!h) return 0;
    h->dataObject->SetStatus(0);
    const int32_t result = op(*h->dataObject);
    SetLastError(h->dataObject->Status());
    RefreshExchange(*h);
    return result;
  });
}

}  // namespace

}  // namespace tavelnor::api

using tavelnor::api::DataHandle;
using tavelnor::api::Guard;
using tavelnor::api::SetLastError;
using tavelnor::data::EData;

extern "C" {

ZAVL_API int32_t ZAVL_CALL ZAVL_GetFirst(ZAVL_Data* data) {
  return tavelnor::api::Position(data, [](EData& d) { return d.First(); });
}

ZAVL_API int32_t ZAVL_CALL ZAVL_GetLast(ZAVL_Data* data) {
  return tavelnor::api::Position(data, [](EData& d) { return d.Last(); });
}

ZAVL_API int32_t ZAVL_CALL ZAVL_GetNext(ZAVL_Data* data) {
  return tavelnor::api::Position(data, [](EData& d) { return d.Next(); });
}

ZAVL_API int32_t ZAVL_CALL ZAVL_GetPrevious(ZAVL_Data* data) {
  return tavelnor::api::Position(data, [](EData& d) { return d.Previous(); });
}

// Reports the status the previous operation left: the only function that
// does not clear it first.
ZAVL_API int32_t ZAVL_CALL ZAVL_GetCurrent(ZAVL_Data* data) {
  return Guard(tavelnor::api::kHandleFrame, int32_t{-1}, [&]() -> int32_t {
    DataHandle* h = tavelnor::api::CheckData(data);
    if (!h) return 0;
    // Lists number their rows from 1 (0: none); no table row lies at 0.
    const int32_t position = h->dataObject->CurrentPosition();
    SetLastError(h->dataObject->Status());
    tavelnor::api::RefreshExchange(*h);
    return position == 0 ? -1 : position;
  });
}

ZAVL_API int32_t ZAVL_CALL ZAVL_RePos(ZAVL_Data* data, int32_t position) {
  return tavelnor::api::Position(data, [position](EData& d) {
    const int32_t result = d.GoTo(position, 0);
    // Position -1 is no record address, whatever the kind (lists would
    // answer the end of their rows).
    if (position == -1) d.SetStatus(tavelnor::btrieve::kInvalidRecordAddress);
    return result;
  });
}

ZAVL_API int32_t ZAVL_CALL ZAVL_GetEqual(ZAVL_Data* data, int32_t key, const void* value,
                                         uint32_t length) {
  return Guard(tavelnor::api::kHandleFrame, int32_t{-1}, [&]() -> int32_t {
    DataHandle* h = tavelnor::api::CheckData(data);
    if (!h || key < 0 || !value || length == 0) return 0;
    h->dataObject->SetStatus(0);
    const int32_t result = h->dataObject->FindEqual(key, value, length);
    SetLastError(h->dataObject->Status());
    if (result != -1) tavelnor::api::RefreshExchange(*h);
    return result;
  });
}

ZAVL_API int32_t ZAVL_CALL ZAVL_GetNbRecords(ZAVL_Data* data) {
  return tavelnor::api::OnObject(data, int32_t{0}, [](DataHandle& h) {
    return static_cast<int32_t>(h.dataObject->RecordCount(false));
  });
}

ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_SetKeyrange(ZAVL_Data* data, int32_t key, const void* low,
                                              int32_t low_length, const void* high,
                                              int32_t high_length) {
  return tavelnor::api::OnObject(data, ZAVL_BOOL{0}, [&](DataHandle& h) -> ZAVL_BOOL {
    h.dataObject->SetKeyRange(key, static_cast<const uint8_t*>(low), low_length,
                              static_cast<const uint8_t*>(high), high_length);
    return h.dataObject->Status() == 0 ? 1 : 0;
  });
}

// --- buffers ------------------------------------------------------------------

ZAVL_API void* ZAVL_CALL ZAVL_GetBuffer(ZAVL_Data* data) {
  return Guard(tavelnor::api::kHandleFrame, static_cast<void*>(nullptr), [&]() -> void* {
    DataHandle* h = tavelnor::api::CheckData(data);
    if (!h) return nullptr;
    void* buffer = tavelnor::api::InExchangeMode(*h) ? h->exchangeBuffer
                                                     : h->dataObject->RecordBuffer();
    SetLastError(ZAVL_OK);
    return buffer;
  });
}

ZAVL_API void ZAVL_CALL ZAVL_SetBuffer(ZAVL_Data* data, void* buffer, uint32_t size) {
  tavelnor::api::OnObject(data, 0, [&](DataHandle& h) {
    if (tavelnor::api::InExchangeMode(h)) {
      // The previous buffer gives back the blocks it holds.
      h.exchangeRecord->Clear(static_cast<uint8_t*>(h.exchangeBuffer), h.exchangeSize);
      h.exchangeBuffer = buffer;
      h.exchangeSize = buffer ? size : 0;
      tavelnor::api::RefreshExchange(h);
    } else {
      // The object reads records into the caller's buffer, never past
      // `size`; a null buffer gives it its own back on next use.
      h.dataObject->SetRecordBuffer(static_cast<uint8_t*>(buffer), buffer ? size : 0);
    }
    return 0;
  });
}

ZAVL_API void ZAVL_CALL ZAVL_ClearBuffer(ZAVL_Data* data, void* buffer, int32_t size) {
  Guard(tavelnor::api::kHandleFrame, tavelnor::api::kNothing, [&] {
    DataHandle* h = tavelnor::api::CheckData(data);
    if (!h) return;
    SetLastError(ZAVL_OK);
    if (!buffer || size <= 0) return;
    auto* bytes = static_cast<uint8_t*>(buffer);
    const auto length = static_cast<uint32_t>(size);
    if (tavelnor::api::InExchangeMode(*h)) {
      h->exchangeRecord->Clear(bytes, length);
      return;
    }
    EData& object = *h->dataObject;
    if (length >= object.RecordLength()) {
      // A record image: its loaded parts go back first.
      for (uint32_t slot : object.VariablePartSlots()) {
        if (slot + tavelnor::record::kVarPartSlotSize <= length) {
          tavelnor::record::ReleaseVarPart(bytes + slot);
        }
      }
    }
    std::memset(bytes, 0, length);
  });
}

}  // extern "C"
