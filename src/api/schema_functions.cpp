// The exported functions that manage schema handles, and the last error.
//
// Every exported function runs in the guard of api/guard.h; the provisional
// failure value is set first, so that every early return leaves a
// meaningful code.
#include <memory>

#include "api/guard.h"
#include "api/handles.h"
#include "data/btrieve_reporting.h"
#include "dico/dico_handler.h"

namespace tavelnor::api {
namespace {
std::atomic<int32_t> g_last_error{0};
}

void SetLastError(int32_t code) { g_last_error.store(code, std::memory_order_relaxed); }
int32_t GetLastError() { return g_last_error.load(std::memory_order_relaxed); }

}  // namespace tavelnor::api

using tavelnor::api::Guard;
using tavelnor::api::SchemaHandle;
using tavelnor::api::SetLastError;

extern "C" {

ZAVL_API ZAVL_Schema* ZAVL_CALL ZAVL_OpenSchema(const char* path, uint32_t flags) {
  return Guard(tavelnor::api::kOpenSchemaFrame, static_cast<ZAVL_Schema*>(nullptr),
               [&]() -> ZAVL_Schema* {
                 auto handle = std::make_unique<SchemaHandle>();
                 handle->dicoHandler = std::make_unique<tavelnor::dico::DDicoHandler>();
                 handle->schemaFlags = flags;
                 SetLastError(ZAVL_ERR_DICO_LOAD);
                 if (!path || handle->dicoHandler->Load(tavelnor::Chaine(std::string_view(path)),
                                                        tavelnor::dico::kLoadNameIndex) !=
                                  tavelnor::dico::LoadResult::kLoaded) {
                   return nullptr;
                 }
                 if (flags & SCHEMA_QUIET) tavelnor::data::EBtrieve::SetBtrvErrorFunc(nullptr);
                 SetLastError(ZAVL_ERR_DICO_UPDATE);
                 if ((flags & SCHEMA_DICO_UPDATE) &&
                     !handle->dicoHandler->ReopenForUpdate(true)) {
                   return nullptr;
                 }
                 ZAVL_Schema* schema = tavelnor::api::AdoptSchema(std::move(handle));
                 SetLastError(ZAVL_OK);
                 return schema;
               });
}

ZAVL_API void ZAVL_CALL ZAVL_CloseSchema(ZAVL_Schema* schema) {
  Guard(tavelnor::api::kHandleFrame, tavelnor::api::kNothing, [&] {
    std::unique_ptr<SchemaHandle> h = tavelnor::api::TakeSchema(schema);
    if (!h) return;
    SetLastError(ZAVL_OK);
    h->tag = 0;
  });
}

ZAVL_API int32_t ZAVL_CALL ZAVL_GetDicoVersion(ZAVL_Schema* schema) {
  return Guard(tavelnor::api::kHandleFrame, int32_t{0}, [&]() -> int32_t {
    SchemaHandle* h = tavelnor::api::CheckSchema(schema);
    if (!h) return 0;
    SetLastError(ZAVL_OK);
    return static_cast<int32_t>(h->dicoHandler->VersionSystem());
  });
}

ZAVL_API int32_t ZAVL_CALL ZAVL_GetLastError(void) {
  return Guard(tavelnor::api::kQuietFrame, int32_t{0},
               [] { return tavelnor::api::GetLastError(); });
}

}  // extern "C"
