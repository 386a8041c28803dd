// Platform seam: loading a shared library at run time and finding its entry
// points (dlopen/dlsym on POSIX, LoadLibrary/GetProcAddress on Windows).
//
// A handle stays valid until UnloadDynamicLibrary; the addresses found
// through it die with it. Entry points can be found by name everywhere and by
// ordinal on Windows only (POSIX libraries have no ordinals).
#pragma once

#include <cstdint>
#include <string>

#include "foundation/status.h"

namespace tavelnor::platform {

struct DynamicLibrary;  // opaque

// Loads the library at `path` (a bare name is searched the system's way).
// NotFound when it cannot be loaded; the message carries the system's reason.
Result<DynamicLibrary*> LoadDynamicLibrary(const std::string& path);

// The address of the entry point `name`, or null when the library lacks it.
void* FindLibraryEntry(DynamicLibrary* library, const char* name);

// The address of the entry point exported with `ordinal`; null when absent
// and always null on POSIX.
void* FindLibraryOrdinal(DynamicLibrary* library, uint16_t ordinal);

// Unloads a library loaded above; null is ignored.
void UnloadDynamicLibrary(DynamicLibrary* library);

// The Btrieve client library the hosts of this system expect: on Windows
// the system's "w3btrv7.dll", whose entries are found by ordinal; on POSIX
// the library TAVELNOR_BTRIEVE_CLIENT names (none when unset), by name.
struct ClientLibraryChoice {
  std::string path;
  bool by_ordinal = false;
};
ClientLibraryChoice BtrieveClientLibrary();

}  // namespace tavelnor::platform
