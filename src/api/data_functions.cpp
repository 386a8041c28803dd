// The exported functions that open and close data handles: a table over its
// file, or one of the lists of the dictionary, chosen by the form of the name.
#include <memory>
#include <new>
#include <string>

#include "api/guard.h"
#include "api/handles.h"
#include "data/edata_table.h"
#include "data/exchange_layout.h"
#include "data/list_choice.h"
#include "dico/data_paths.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "foundation/platform/files.h"

namespace tavelnor::api {

namespace {

constexpr uint32_t kTableCommonFolder = 0x20000;

// The ".fatbtr" file of a table: in an "Extensions" folder beside the
// table's file, beside it, or (tables of the common folder) in or beside
// the dictionary's folder. The last candidate tried when none exists.
std::string ExtendedFilePath(const dico::DRubricTable& table, const std::string& path,
                             const dico::DDicoHandler& dico) {
  const size_t sep = path.find_last_of("\\/:");
  const std::string folder = sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
  std::string title = sep == std::string::npos ? path : path.substr(sep + 1);
  if (const size_t dot = title.rfind('.'); dot != std::string::npos) title.resize(dot);
  const std::string file = title + ".fatbtr";
  std::string candidate = dico::JoinDataPath(dico::JoinDataPath(folder, "Extensions"), file);
  if (platform::FileExists(candidate)) return candidate;
  candidate = dico::JoinDataPath(folder, file);
  if (platform::FileExists(candidate) || !(table.Flags() & kTableCommonFolder)) return candidate;
  const std::string dico_folder = dico::ParentFolder(dico.GetFilePath().view());
  candidate = dico::JoinDataPath(dico::JoinDataPath(dico_folder, "Extensions"), file);
  if (platform::FileExists(candidate)) return candidate;
  return dico::JoinDataPath(dico_folder, file);
}

bool ExtendedAsked(const SchemaHandle& schema, uint32_t flags) {
  return (flags & DATA_EXTENDED_FILE) || (schema.schemaFlags & SCHEMA_EXTENDED_FILES);
}

// Opens the table of `handle` over `path` and, in exchange mode, gives the
// handle its exchange record and a zeroed buffer. Null (the handle
// destroyed) on failure, with the last error set.
ZAVL_Data* OpenTableHandle(std::unique_ptr<DataHandle> handle, const SchemaHandle& schema,
                           const dico::DRubricTable& table, const std::string& path,
                           bool extended) {
  auto* t = static_cast<data::EDataTable*>(handle->dataObject.get());
  t->SetExtendedForm(extended);
  if (!t->Open(&table, Chaine(path), 0, false, {})) {
    SetLastError(t->Status());
    return nullptr;
  }
  SetLastError(ZAVL_OK);
  if (schema.schemaFlags & SCHEMA_EXCHANGE) {
    // Once the file is open, a failure here leaves the last error at 0.
    handle->exchangeRecord.reset(new (std::nothrow) data::ExchangeRecord());
    if (!handle->exchangeRecord ||
        !handle->exchangeRecord->Build(table, t->RecordBuffer(), extended)) {
      return nullptr;
    }
    const uint32_t size = handle->exchangeRecord->ExchangeSize();
    handle->ownedExchangeBuffer.reset(new (std::nothrow) uint8_t[size ? size : 1]());
    if (!handle->ownedExchangeBuffer) return nullptr;
    handle->exchangeBuffer = handle->ownedExchangeBuffer.get();
    handle->exchangeSize = size;
  }
  return AdoptData(std::move(handle));
}

std::unique_ptr<DataHandle> NewTableHandle(uint32_t flags) {
  auto handle = std::make_unique<DataHandle>();
  handle->openFlags = flags;
  handle->dataKind = kKindTable;
  auto table = std::make_unique<data::EDataTable>();
  if (!(flags & DATA_NO_VARIABLE_PART)) table->SetVariablePartsOption(true);
  handle->dataObject = std::move(table);
  return handle;
}

}  // namespace

}  // namespace tavelnor::api

using tavelnor::api::DataHandle;
using tavelnor::api::Guard;
using tavelnor::api::SchemaHandle;
using tavelnor::api::SetLastError;
namespace data = tavelnor::data;
namespace dico = tavelnor::dico;

extern "C" {

ZAVL_API ZAVL_Data* ZAVL_CALL ZAVL_OpenData(ZAVL_Schema* schema, const char* name,
                                             uint32_t flags) {
  return Guard(tavelnor::api::kOpenDataFrame, static_cast<ZAVL_Data*>(nullptr),
               [&]() -> ZAVL_Data* {
    SchemaHandle* s = tavelnor::api::CheckSchema(schema);
    if (!s || !name) return nullptr;
    SetLastError(ZAVL_ERR_NOT_A_TABLE);
    data::ChosenObject chosen = data::ChooseDataObject(
        *s->dicoHandler, name, data::ListFlagsFrom(s->schemaFlags, flags));
    if (chosen.choice == data::ListChoice::kRefused) return nullptr;
    if (chosen.choice == data::ListChoice::kTable && !chosen.table) return nullptr;
    SetLastError(ZAVL_ERR_CREATE);
    if (chosen.choice == data::ListChoice::kTable) {
      auto handle = tavelnor::api::NewTableHandle(flags);
      const dico::DRubricTable& table = *chosen.table;
      std::string path = table.GetFilePath().str();
      if (tavelnor::api::ExtendedAsked(*s, flags)) {
        path = tavelnor::api::ExtendedFilePath(table, path, *s->dicoHandler);
      }
      return tavelnor::api::OpenTableHandle(std::move(handle), *s, table, path,
                                            data::IsExtendedFormPath(path));
    }
    auto handle = std::make_unique<DataHandle>();
    handle->openFlags = flags;
    handle->dataKind = chosen.choice == data::ListChoice::kRubric     ? tavelnor::api::kKindRubric
                       : chosen.choice == data::ListChoice::kCategory ? tavelnor::api::kKindCategory
                                                                      : tavelnor::api::kKindVariable;
    handle->dataObject = std::move(chosen.object);
    if (chosen.status != 0) {
      SetLastError(chosen.status);
      return nullptr;
    }
    ZAVL_Data* data = tavelnor::api::AdoptData(std::move(handle));
    SetLastError(ZAVL_OK);
    return data;
  });
}

ZAVL_API ZAVL_Data* ZAVL_CALL ZAVL_OpenFile(ZAVL_Schema* schema, const char* table_name,
                                             const char* path, uint32_t flags) {
  return Guard(tavelnor::api::kOpenDataFrame, static_cast<ZAVL_Data*>(nullptr),
               [&]() -> ZAVL_Data* {
    SchemaHandle* s = tavelnor::api::CheckSchema(schema);
    if (!s) return nullptr;
    SetLastError(ZAVL_ERR_NOT_A_TABLE);
    if (!table_name || !*table_name) return nullptr;
    const dico::DDicoBase* object = s->dicoHandler->FindTable(table_name);
    if (!object || object->Kind() != dico::kRubricTable) return nullptr;
    SetLastError(ZAVL_ERR_CREATE);
    auto handle = tavelnor::api::NewTableHandle(flags);
    const std::string file = path ? path : "";
    const bool extended = tavelnor::api::ExtendedAsked(*s, flags) ||
                          data::IsExtendedFormPath(file);
    return tavelnor::api::OpenTableHandle(
        std::move(handle), *s, *static_cast<const dico::DRubricTable*>(object), file, extended);
  });
}

ZAVL_API void ZAVL_CALL ZAVL_CloseData(ZAVL_Data* handle) {
  Guard(tavelnor::api::kHandleFrame, tavelnor::api::kNothing, [&] {
    std::unique_ptr<DataHandle> h = tavelnor::api::TakeData(handle);
    if (!h) return;
    SetLastError(ZAVL_OK);
    h->tag = 0;
  });
}

}  // extern "C"
