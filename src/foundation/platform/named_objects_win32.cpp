// Named process-wide objects on Windows: a named mutex and a named section
// backed by the paging file. Handles are passed through the opaque types.
#include "foundation/platform/win32_headers.h"

#include "foundation/platform/named_objects.h"

namespace tavelnor::platform {

// An empty name would make an unnamed object that no other copy finds.
NamedMutex* OpenNamedMutex(const std::string& name) {
  if (name.empty()) return nullptr;
  HANDLE h = CreateMutexA(nullptr, FALSE, name.c_str());
  return reinterpret_cast<NamedMutex*>(h);  // null on failure
}

void LockNamedMutex(NamedMutex* mutex) {
  // WAIT_ABANDONED also hands over ownership: the previous owner died holding it.
  WaitForSingleObject(reinterpret_cast<HANDLE>(mutex), INFINITE);
}

void UnlockNamedMutex(NamedMutex* mutex) { ReleaseMutex(reinterpret_cast<HANDLE>(mutex)); }

void CloseNamedMutex(NamedMutex* mutex) {
  if (mutex != nullptr) CloseHandle(reinterpret_cast<HANDLE>(mutex));
}

NamedSection* OpenNamedSection(const std::string& name, size_t size) {
  if (size == 0 || name.empty()) return nullptr;
  // Creates the section or opens the existing one; a new section is zero-filled.
  HANDLE h = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                static_cast<DWORD>(size), name.c_str());
  return reinterpret_cast<NamedSection*>(h);  // null on failure
}

void* MapNamedSection(NamedSection* section, size_t size) {
  return MapViewOfFile(reinterpret_cast<HANDLE>(section), FILE_MAP_ALL_ACCESS, 0, 0, size);
}

void UnmapNamedSection(void* view) {
  if (view != nullptr) UnmapViewOfFile(view);
}

void CloseNamedSection(NamedSection* section) {
  if (section != nullptr) CloseHandle(reinterpret_cast<HANDLE>(section));
}

// Every open goes to the object manager: there is nothing to forget.
void ForgetResolvedNames() {}

}  // namespace tavelnor::platform
