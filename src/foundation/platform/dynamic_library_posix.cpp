// Run-time loading of shared libraries on POSIX, through dlopen.
#include <dlfcn.h>

#include "foundation/platform/dynamic_library.h"
#include "foundation/platform/process.h"

namespace tavelnor::platform {

Result<DynamicLibrary*> LoadDynamicLibrary(const std::string& path) {
  if (path.empty()) return Status::NotFound("no library named");
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    return Status::NotFound(path + ": " + (why != nullptr ? why : "cannot be loaded"));
  }
  return static_cast<DynamicLibrary*>(handle);
}

void* FindLibraryEntry(DynamicLibrary* library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  dlerror();
  return dlsym(library, name);
}

void* FindLibraryOrdinal(DynamicLibrary* /*library*/, uint16_t /*ordinal*/) { return nullptr; }

void UnloadDynamicLibrary(DynamicLibrary* library) {
  if (library != nullptr) dlclose(library);
}

ClientLibraryChoice BtrieveClientLibrary() {
  return {GetEnv("TAVELNOR_BTRIEVE_CLIENT").value_or(""), false};
}

}  // namespace tavelnor::platform
