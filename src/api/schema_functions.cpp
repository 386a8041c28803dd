// The exported functions that manage schema handles, and the last error.
//
// Every function here is a firewall: nothing thrown below crosses it. The
// provisional failure value is set first, so that every early return leaves
// a meaningful code.
#include <new>

#include "api/handles.h"
#include "data/btrieve_reporting.h"
#include "dico/dico_handler.h"

namespace tavelnor::api {
namespace {
std::atomic<int32_t> g_last_error{0};
}

void SetLastError(int32_t code) { g_last_error.store(code, std::memory_order_relaxed); }
int32_t GetLastError() { return g_last_error.load(std::memory_order_relaxed); }

SchemaHandle* CheckSchema(ZAVL_Schema* schema) {
  auto* h = reinterpret_cast<SchemaHandle*>(schema);
  if (!h || h->tag != kSchemaTag || !h->dicoHandler) return nullptr;
  return h;
}

}  // namespace tavelnor::api

using tavelnor::api::SchemaHandle;
using tavelnor::api::SetLastError;

extern "C" {

ZAVL_API ZAVL_Schema* ZAVL_CALL ZAVL_OpenSchema(const char* path, uint32_t flags) {
  SetLastError(ZAVL_ERR_CREATE);
  SchemaHandle* handle = nullptr;
  try {
    handle = new (std::nothrow) SchemaHandle();
    if (!handle) return nullptr;
    handle->dicoHandler = new (std::nothrow) tavelnor::dico::DDicoHandler();
    if (!handle->dicoHandler) {
      delete handle;
      return nullptr;
    }
    handle->schemaFlags = flags;
    SetLastError(ZAVL_ERR_DICO_LOAD);
    if (!path || handle->dicoHandler->Load(tavelnor::Chaine(std::string_view(path)),
                                           tavelnor::dico::kLoadNameIndex) !=
                     tavelnor::dico::LoadResult::kLoaded) {
      delete handle->dicoHandler;
      delete handle;
      return nullptr;
    }
    if (flags & SCHEMA_QUIET) tavelnor::data::EBtrieve::SetBtrvErrorFunc(nullptr);
    SetLastError(ZAVL_ERR_DICO_UPDATE);
    if ((flags & SCHEMA_DICO_UPDATE) && !handle->dicoHandler->ReopenForUpdate(true)) {
      delete handle->dicoHandler;
      delete handle;
      return nullptr;
    }
    SetLastError(ZAVL_OK);
    return reinterpret_cast<ZAVL_Schema*>(handle);
  } catch (...) {
    if (handle) {
      delete handle->dicoHandler;
      delete handle;
    }
    return nullptr;
  }
}

ZAVL_API void ZAVL_CALL ZAVL_CloseSchema(ZAVL_Schema* schema) {
  SetLastError(ZAVL_ERR_HANDLE);
  SchemaHandle* h = tavelnor::api::CheckSchema(schema);
  if (!h) return;
  SetLastError(ZAVL_OK);
  try {
    delete h->dicoHandler;
  } catch (...) {
  }
  h->dicoHandler = nullptr;
  h->tag = 0;
  delete h;
}

ZAVL_API int32_t ZAVL_CALL ZAVL_GetDicoVersion(ZAVL_Schema* schema) {
  SetLastError(ZAVL_ERR_HANDLE);
  SchemaHandle* h = tavelnor::api::CheckSchema(schema);
  if (!h) return 0;
  SetLastError(ZAVL_OK);
  return static_cast<int32_t>(h->dicoHandler->VersionSystem());
}

ZAVL_API int32_t ZAVL_CALL ZAVL_GetLastError(void) { return tavelnor::api::GetLastError(); }

}  // extern "C"
