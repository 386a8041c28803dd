// The registry of live handles, and the handles' construction and
// destruction.
//
// Two sets of addresses, one per kind, under one mutex. A pointer is looked
// up before anything reads through it, so a closed handle, a handle of the
// other kind or any other pointer is refused without its memory being read.
// (A freed address that a later handle reuses names that later handle.)
#include <mutex>
#include <unordered_set>

#include "api/handles.h"
#include "data/edata.h"
#include "data/exchange_layout.h"
#include "dico/dico_handler.h"

namespace tavelnor::api {

SchemaHandle::SchemaHandle() = default;
SchemaHandle::~SchemaHandle() = default;

DataHandle::DataHandle() = default;

DataHandle::~DataHandle() {
  if (exchangeRecord && exchangeBuffer && exchangeSize) {
    exchangeRecord->Clear(static_cast<uint8_t*>(exchangeBuffer), exchangeSize);
  }
  // The object first: the exchange record only views its record buffer.
  dataObject.reset();
  exchangeRecord.reset();
}

namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_set<const void*> schemas;
  std::unordered_set<const void*> datas;
};

// Never destroyed: a host may close its handles from its own static
// destructors, after this library's would have run.
Registry& TheRegistry() {
  static Registry* registry = new Registry();
  return *registry;
}

bool ValidSchema(const SchemaHandle& h) { return h.tag == kSchemaTag && h.dicoHandler; }
bool ValidData(const DataHandle& h) { return h.tag == kDataTag && h.dataObject; }

// The live handle at `p` in `set` when it passes `valid`; removed from the
// set when `take`. Called with the registry locked.
template <class Handle, class Valid>
Handle* Find(std::unordered_set<const void*>& set, const void* p, Valid valid, bool take) {
  if (!p) return nullptr;
  const auto it = set.find(p);
  if (it == set.end()) return nullptr;
  auto* handle = static_cast<Handle*>(const_cast<void*>(p));
  if (!valid(*handle)) return nullptr;
  if (take) set.erase(it);
  return handle;
}

}  // namespace

ZAVL_Schema* AdoptSchema(std::unique_ptr<SchemaHandle> handle) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.schemas.insert(handle.get());
  return reinterpret_cast<ZAVL_Schema*>(handle.release());
}

ZAVL_Data* AdoptData(std::unique_ptr<DataHandle> handle) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.datas.insert(handle.get());
  return reinterpret_cast<ZAVL_Data*>(handle.release());
}

SchemaHandle* CheckSchema(ZAVL_Schema* schema) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return Find<SchemaHandle>(r.schemas, schema, ValidSchema, false);
}

DataHandle* CheckData(ZAVL_Data* data) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return Find<DataHandle>(r.datas, data, ValidData, false);
}

std::unique_ptr<SchemaHandle> TakeSchema(ZAVL_Schema* schema) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return std::unique_ptr<SchemaHandle>(Find<SchemaHandle>(r.schemas, schema, ValidSchema, true));
}

std::unique_ptr<DataHandle> TakeData(ZAVL_Data* data) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return std::unique_ptr<DataHandle>(Find<DataHandle>(r.datas, data, ValidData, true));
}

}  // namespace tavelnor::api
