// The handles handed to host programs and the process-wide last error code.
//
// A handle is a heap record whose first word is its tag; every exported
// function checks the tag and the inner object before using a handle. The
// library keeps no list of handles: hosts close data handles before the
// schema handle they came from.
#pragma once

#include <atomic>
#include <cstdint>

#include "tavelnor/zavl.h"

namespace tavelnor::dico {
class DDicoHandler;
}
namespace tavelnor::data {
class EData;
class ExchangeRecord;
}  // namespace tavelnor::data

namespace tavelnor::api {

inline constexpr uint32_t kSchemaTag = 0x53434845;  // "SCHE"
inline constexpr uint32_t kDataTag = 0x44415441;    // "DATA"

struct SchemaHandle {
  uint32_t tag = kSchemaTag;
  dico::DDicoHandler* dicoHandler = nullptr;  // owned
  uint32_t schemaFlags = 0;
};

// Kinds of data handle.
inline constexpr int32_t kKindTable = 1, kKindRubric = 2, kKindVariable = 3, kKindCategory = 4;

struct DataHandle {
  uint32_t tag = kDataTag;
  int32_t dataKind = 0;
  data::EData* dataObject = nullptr;              // owned
  data::ExchangeRecord* exchangeRecord = nullptr;  // owned; tables in exchange mode
  void* exchangeBuffer = nullptr;
  void* ownedExchangeBuffer = nullptr;  // malloc'd
  uint32_t exchangeSize = 0;
  uint32_t openFlags = 0;
};

// The process-wide last error code (not per thread).
void SetLastError(int32_t code);
int32_t GetLastError();

// The schema handle behind an opaque pointer when it is valid, else null.
SchemaHandle* CheckSchema(ZAVL_Schema* schema);
// The data handle behind an opaque pointer when it is valid, else null.
DataHandle* CheckData(ZAVL_Data* data);
// Converts the data object's record into the exchange buffer when the
// handle has one.
void RefreshExchange(DataHandle& handle);
// Frees a handle and everything it owns (clearing the exchange buffer).
void DestroyData(DataHandle* handle);

}  // namespace tavelnor::api
