// Shared file views on POSIX: a read-only shared mapping.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/platform/shared_view.h"

namespace tavelnor::platform {

std::unique_ptr<SharedFileView> SharedFileView::Open(const std::string& path, size_t size) {
  if (size == 0) return nullptr;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  void* p = MAP_FAILED;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) >= size) {
    p = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  }
  close(fd);  // the mapping keeps the file
  if (p == MAP_FAILED) return nullptr;
  std::unique_ptr<SharedFileView> view(new SharedFileView());
  view->base_ = static_cast<const volatile uint8_t*>(p);
  view->size_ = size;
  return view;
}

SharedFileView::~SharedFileView() {
  if (base_ != nullptr) munmap(const_cast<uint8_t*>(base_), size_);
}

}  // namespace tavelnor::platform
