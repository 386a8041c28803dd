// The handles handed to host programs, the registry of live handles and the
// process-wide last error code.
//
// A handle is a heap record whose first word is its tag. Every handle the
// library hands out is entered in a process-wide registry, and an exported
// function looks a pointer up there before it reads a byte of it: a closed,
// foreign or forged pointer is refused without being touched. A handle found
// there must still carry the tag of its kind and its inner object. Hosts
// close data handles before the schema handle they came from.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

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
  SchemaHandle();
  ~SchemaHandle();
  SchemaHandle(const SchemaHandle&) = delete;
  SchemaHandle& operator=(const SchemaHandle&) = delete;

  uint32_t tag = kSchemaTag;
  std::unique_ptr<dico::DDicoHandler> dicoHandler;
  uint32_t schemaFlags = 0;
};

// Kinds of data handle.
inline constexpr int32_t kKindTable = 1, kKindRubric = 2, kKindVariable = 3, kKindCategory = 4;

struct DataHandle {
  DataHandle();
  // Clears the exchange buffer (its memory blocks go back), then releases
  // the data object, the exchange record and the library's own buffer; a
  // buffer of the caller is cleared, not freed.
  ~DataHandle();
  DataHandle(const DataHandle&) = delete;
  DataHandle& operator=(const DataHandle&) = delete;

  uint32_t tag = kDataTag;
  int32_t dataKind = 0;
  std::unique_ptr<data::EData> dataObject;
  std::unique_ptr<data::ExchangeRecord> exchangeRecord;  // tables in exchange mode
  void* exchangeBuffer = nullptr;  // the owned buffer, or the caller's
  std::unique_ptr<uint8_t[]> ownedExchangeBuffer;
  uint32_t exchangeSize = 0;
  uint32_t openFlags = 0;
};

// The process-wide last error code (not per thread).
void SetLastError(int32_t code);
int32_t GetLastError();

// Enters a new handle in the registry and hands out its opaque pointer.
ZAVL_Schema* AdoptSchema(std::unique_ptr<SchemaHandle> handle);
ZAVL_Data* AdoptData(std::unique_ptr<DataHandle> handle);
// The live schema (data) handle behind an opaque pointer, else null; the
// pointer is read only once the registry knows it.
SchemaHandle* CheckSchema(ZAVL_Schema* schema);
DataHandle* CheckData(ZAVL_Data* data);
// As the checks, and takes the handle out of the registry: the caller now
// owns it.
std::unique_ptr<SchemaHandle> TakeSchema(ZAVL_Schema* schema);
std::unique_ptr<DataHandle> TakeData(ZAVL_Data* data);

// Converts the data object's record into the exchange buffer when the
// handle has one.
void RefreshExchange(DataHandle& handle);

}  // namespace tavelnor::api
