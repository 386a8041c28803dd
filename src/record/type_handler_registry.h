// The two registries of type-handler factories: indirect handlers (looking
// at someone else's bytes) and direct handlers (holding their value).
//
// Each registry is a sorted map from a 16-bit type code to a factory taking
// one 16-bit argument, guarded by its own lock; factories run under it. Both
// are filled with the built-in handlers once, before their first lookup, and
// live until process exit. Every lookup returns a new object that the caller
// owns; nothing is cached. An unknown code gives a new base ETypeHandler.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "foundation/platform/sync.h"
#include "record/type_handler.h"

namespace tavelnor::record {

using TypeHandlerFactory = std::unique_ptr<ETypeHandler> (*)(uint16_t argument);

class TypeHandlerRegistry {
 public:
  // Register with this code to file the factory under the code that a fresh
  // handler (made with argument 0) answers.
  static constexpr int32_t kCodeOfHandler = -2;

  TypeHandlerRegistry() = default;
  TypeHandlerRegistry(const TypeHandlerRegistry&) = delete;
  TypeHandlerRegistry& operator=(const TypeHandlerRegistry&) = delete;

  // Files `factory` under `code` (low 16 bits), replacing an earlier one.
  // A null factory is filed too and looks up as absent.
  void Register(TypeHandlerFactory factory, int32_t code = kCodeOfHandler);
  // factory(argument) for `code` & FFFF; a new base handler when absent.
  std::unique_ptr<ETypeHandler> Create(int32_t code, uint16_t argument) const;
  // The registered codes, ascending.
  std::vector<uint16_t> Codes() const;

 private:
  mutable platform::CriticalSection lock_;
  std::vector<std::pair<uint16_t, TypeHandlerFactory>> entries_;  // sorted by code
};

// The built-in registrations: 45 indirect, 17 direct.
void RegisterIndirectTypeHandlers(TypeHandlerRegistry& registry);
void RegisterDirectTypeHandlers(TypeHandlerRegistry& registry);

// The process-wide registries, filled on first use.
TypeHandlerRegistry& IndirectTypeHandlers();
TypeHandlerRegistry& DirectTypeHandlers();

// A new indirect handler for `code`. `argument` is the declared length of
// the indirect text kinds (-1 or 65535: the code's default size) and is
// ignored by the others.
std::unique_ptr<ETypeHandler> GetTypeHandler(int32_t code, int32_t argument = -1);
// A new direct handler for `code` (argument unused by the built-in ones).
std::unique_ptr<ETypeHandler> GetDirectTypeHandler(int32_t code, int32_t argument = -1);

}  // namespace tavelnor::record
