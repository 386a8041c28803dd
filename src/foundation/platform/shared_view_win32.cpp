// Shared file views on Windows: a read-only mapping object no larger than
// the view, so that the file may still be cut down to that size.
#include "foundation/platform/shared_view.h"
#include "foundation/platform/win32_headers.h"

namespace tavelnor::platform {

std::unique_ptr<SharedFileView> SharedFileView::Open(const std::string& path, size_t size) {
  if (size == 0) return nullptr;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER length{};
  HANDLE mapping = nullptr;
  if (GetFileSizeEx(file, &length) && static_cast<uint64_t>(length.QuadPart) >= size) {
    mapping =
        CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, static_cast<DWORD>(size), nullptr);
  }
  CloseHandle(file);  // the mapping object keeps the file
  if (mapping == nullptr) return nullptr;
  void* p = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size);
  if (p == nullptr) {
    CloseHandle(mapping);
    return nullptr;
  }
  std::unique_ptr<SharedFileView> view(new SharedFileView());
  view->base_ = static_cast<const volatile uint8_t*>(p);
  view->size_ = size;
  view->mapping_ = mapping;
  return view;
}

SharedFileView::~SharedFileView() {
  if (base_ != nullptr) UnmapViewOfFile(const_cast<uint8_t*>(base_));
  if (mapping_ != nullptr) CloseHandle(static_cast<HANDLE>(mapping_));
}

}  // namespace tavelnor::platform
