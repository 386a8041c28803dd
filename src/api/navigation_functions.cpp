// The exported navigation functions and the record buffer exchange: each a
// thin call of one data object operation in the common frame, then the
// conversion of the record into the exchange buffer.
#include <cstring>

#include "api/handles.h"
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

// The frame of a positioning function: validate, run, record the status,
// refresh the exchange buffer.
template <typename Op>
int32_t Position(ZAVL_Data* data, Op op) {
  SetLastError(ZAVL_ERR_HANDLE);
  DataHandle* h = CheckData(data);
  if (!h) return 0;
  try {
    const int32_t result = op(*h->dataObject);
    SetLastError(h->dataObject->Status());
    RefreshExchange(*h);
    return result;
  } catch (...) {
    SetLastError(ZAVL_ERR_CREATE);
    return -1;
  }
}

}  // namespace

}  // namespace tavelnor::api

using tavelnor::api::DataHandle;
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

ZAVL_API int32_t ZAVL_CALL ZAVL_GetCurrent(ZAVL_Data* data) {
  return tavelnor::api::Position(data, [](EData& d) {
    // Lists number their rows from 1 (0: none); no table row lies at 0.
    const int32_t position = d.CurrentPosition();
    return position == 0 ? -1 : position;
  });
}

ZAVL_API int32_t ZAVL_CALL ZAVL_RePos(ZAVL_Data* data, int32_t position) {
  return tavelnor::api::Position(data, [position](EData& d) { return d.GoTo(position, 0); });
}

ZAVL_API int32_t ZAVL_CALL ZAVL_GetEqual(ZAVL_Data* data, int32_t key, const void* value,
                                         uint32_t length) {
  SetLastError(ZAVL_ERR_HANDLE);
  DataHandle* h = tavelnor::api::CheckData(data);
  if (!h || key < 0 || !value || length == 0) return 0;
  try {
    const int32_t result = h->dataObject->FindEqual(key, value, length);
    SetLastError(h->dataObject->Status());
    if (result != -1) tavelnor::api::RefreshExchange(*h);
    return result;
  } catch (...) {
    SetLastError(ZAVL_ERR_CREATE);
    return -1;
  }
}

ZAVL_API int32_t ZAVL_CALL ZAVL_GetNbRecords(ZAVL_Data* data) {
  SetLastError(ZAVL_ERR_HANDLE);
  DataHandle* h = tavelnor::api::CheckData(data);
  if (!h) return 0;
  try {
    const uint32_t count = h->dataObject->RecordCount(false);
    SetLastError(h->dataObject->Status());
    return static_cast<int32_t>(count);
  } catch (...) {
    SetLastError(ZAVL_ERR_CREATE);
    return 0;
  }
}

ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_SetKeyrange(ZAVL_Data* data, int32_t key, const void* low,
                                              int32_t low_length, const void* high,
                                              int32_t high_length) {
  SetLastError(ZAVL_ERR_HANDLE);
  DataHandle* h = tavelnor::api::CheckData(data);
  if (!h) return 0;
  try {
    h->dataObject->SetKeyRange(key, static_cast<const uint8_t*>(low), low_length,
                               static_cast<const uint8_t*>(high), high_length);
    SetLastError(h->dataObject->Status());
    return h->dataObject->Status() == 0 ? 1 : 0;
  } catch (...) {
    SetLastError(ZAVL_ERR_CREATE);
    return 0;
  }
}

// --- buffers ------------------------------------------------------------------

ZAVL_API void* ZAVL_CALL ZAVL_GetBuffer(ZAVL_Data* data) {
  SetLastError(ZAVL_ERR_HANDLE);
  DataHandle* h = tavelnor::api::CheckData(data);
  if (!h) return nullptr;
  try {
    SetLastError(ZAVL_OK);
    if (h->exchangeRecord && h->exchangeBuffer) return h->exchangeBuffer;
    return h->dataObject->RecordBuffer();
  } catch (...) {
    SetLastError(ZAVL_ERR_CREATE);
    return nullptr;
  }
}

ZAVL_API void ZAVL_CALL ZAVL_SetBuffer(ZAVL_Data* data, void* buffer, uint32_t size) {
  SetLastError(ZAVL_ERR_HANDLE);
  DataHandle* h = tavelnor::api::CheckData(data);
  if (!h) return;
  try {
    if (h->exchangeRecord && h->exchangeBuffer) {
      // The previous buffer gives back the blocks it holds.
      h->exchangeRecord->Clear(static_cast<uint8_t*>(h->exchangeBuffer), h->exchangeSize);
      h->exchangeBuffer = buffer;
      h->exchangeSize = buffer ? size : 0;
      tavelnor::api::RefreshExchange(*h);
    } else {
      // A null buffer gives the object its own buffer back on next use.
      h->dataObject->SetRecordBuffer(static_cast<uint8_t*>(buffer), buffer ? size : 0);
    }
    SetLastError(h->dataObject->Status());
  } catch (...) {
    SetLastError(ZAVL_ERR_CREATE);
  }
}

ZAVL_API void ZAVL_CALL ZAVL_ClearBuffer(ZAVL_Data* data, void* buffer, int32_t size) {
  SetLastError(ZAVL_ERR_HANDLE);
  DataHandle* h = tavelnor::api::CheckData(data);
  if (!h) return;
  SetLastError(ZAVL_OK);
  if (!buffer || size <= 0) return;
  try {
    auto* bytes = static_cast<uint8_t*>(buffer);
    if (h->exchangeRecord && h->exchangeBuffer) {
      h->exchangeRecord->Clear(bytes, static_cast<uint32_t>(size));
      return;
    }
    EData& object = *h->dataObject;
    if (static_cast<uint32_t>(size) >= object.RecordLength()) {
      // A record image: its loaded parts go back first.
      for (uint32_t slot : object.VariablePartSlots()) {
        if (slot + tavelnor::record::kVarPartSlotSize <= static_cast<uint32_t>(size)) {
          tavelnor::record::ReleaseVarPart(bytes + slot);
        }
      }
    }
    std::memset(bytes, 0, static_cast<size_t>(size));
  } catch (...) {
    SetLastError(ZAVL_ERR_CREATE);
  }
}

}  // extern "C"
