// The two process-wide registries of type-handler factories.
#include "record/type_handler_registry.h"

#include <algorithm>
#include <mutex>

namespace tavelnor::record {

void TypeHandlerRegistry::Register(TypeHandlerFactory factory, int32_t code) {
  if (code == kCodeOfHandler) {
    if (factory == nullptr) return;
    code = factory(0)->GetTypeCode();
  }
  auto key = static_cast<uint16_t>(code & 0xFFFF);
  std::lock_guard lock(lock_);
  auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                             [](const auto& entry, uint16_t k) { return entry.first < k; });
  if (it != entries_.end() && it->first == key) {
    it->second = factory;
  } else {
    entries_.insert(it, {key, factory});
  }
}

std::unique_ptr<ETypeHandler> TypeHandlerRegistry::Create(int32_t code, uint16_t argument) const {
  auto key = static_cast<uint16_t>(code & 0xFFFF);
  std::lock_guard lock(lock_);
  auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                             [](const auto& entry, uint16_t k) { return entry.first < k; });
  if (it != entries_.end() && it->first == key && it->second != nullptr) {
    std::unique_ptr<ETypeHandler> handler = it->second(argument);
    if (handler != nullptr) return handler;
  }
  return std::make_unique<ETypeHandler>();
}

std::vector<uint16_t> TypeHandlerRegistry::Codes() const {
  std::lock_guard lock(lock_);
  std::vector<uint16_t> codes;
  codes.reserve(entries_.size());
  for (const auto& entry : entries_) codes.push_back(entry.first);
  return codes;
}

// Filled inside the first call, so that no static initialiser is needed;
// never destroyed, so that handlers may still be made during process exit.
TypeHandlerRegistry& IndirectTypeHandlers() {
  static TypeHandlerRegistry* registry = [] {
    auto* r = new TypeHandlerRegistry();
    RegisterIndirectTypeHandlers(*r);
    return r;
  }();
  return *registry;
}

TypeHandlerRegistry& DirectTypeHandlers() {
  static TypeHandlerRegistry* registry = [] {
    auto* r = new TypeHandlerRegistry();
    RegisterDirectTypeHandlers(*r);
    return r;
  }();
  return *registry;
}

std::unique_ptr<ETypeHandler> GetTypeHandler(int32_t code, int32_t argument) {
  return IndirectTypeHandlers().Create(code, static_cast<uint16_t>(argument));
}

std::unique_ptr<ETypeHandler> GetDirectTypeHandler(int32_t code, int32_t argument) {
  return DirectTypeHandlers().Create(code, static_cast<uint16_t>(argument));
}

}  // namespace tavelnor::record
