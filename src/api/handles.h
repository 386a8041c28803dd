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

namespace tavelnor::api {

inline constexpr uint32_t kSchemaTag = 0x53434845;  // "SCHE"
inline constexpr uint32_t kDataTag = 0x44415441;    // "DATA"

struct SchemaHandle {
  uint32_t tag = kSchemaTag;
  dico::DDicoHandler* dicoHandler = nullptr;  // owned
  uint32_t schemaFlags = 0;
};

struct DataHandle {
  uint32_t tag = kDataTag;
  int32_t dataKind = 0;
  void* dataObject = nullptr;
  void* exchangeRecord = nullptr;
  void* exchangeBuffer = nullptr;
  void* ownedExchangeBuffer = nullptr;
  uint32_t exchangeSize = 0;
  uint32_t openFlags = 0;
};

// The process-wide last error code (not per thread).
void SetLastError(int32_t code);
int32_t GetLastError();

// The schema handle behind an opaque pointer when it is valid, else null.
SchemaHandle* CheckSchema(ZAVL_Schema* schema);

}  // namespace tavelnor::api
