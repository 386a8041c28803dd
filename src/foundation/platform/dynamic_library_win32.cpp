// Run-time loading of DLLs on Windows, through LoadLibrary.
#include "foundation/platform/win32_headers.h"

#include "foundation/platform/dynamic_library.h"

namespace tavelnor::platform {

Result<DynamicLibrary*> LoadDynamicLibrary(const std::string& path) {
  if (path.empty()) return Status::NotFound("no library named");
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    return Status::NotFound(path + ": cannot be loaded (error " +
                            std::to_string(GetLastError()) + ")");
  }
  return reinterpret_cast<DynamicLibrary*>(module);
}

void* FindLibraryEntry(DynamicLibrary* library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
}

void* FindLibraryOrdinal(DynamicLibrary* library, uint16_t ordinal) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<void*>(
      GetProcAddress(reinterpret_cast<HMODULE>(library), MAKEINTRESOURCEA(ordinal)));
}

void UnloadDynamicLibrary(DynamicLibrary* library) {
  if (library != nullptr) FreeLibrary(reinterpret_cast<HMODULE>(library));
}

ClientLibraryChoice BtrieveClientLibrary() { return {"w3btrv7.dll", true}; }

}  // namespace tavelnor::platform
