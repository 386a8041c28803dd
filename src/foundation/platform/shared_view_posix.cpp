// Shared file views on POSIX: a read-only shared mapping.
//
// Closing any descriptor of a file drops every record lock the process
// holds on that file, those of SQLite's connections included. So a view
// never closes a descriptor of a file while another view of the same file
// (device and inode) lives in the process: the views of one file share one
// descriptor, closed with the last of them. A file is identified before any
// descriptor of its contents is opened, through stat(), which opens none.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <utility>

#include "foundation/platform/shared_view.h"

namespace tavelnor::platform {

namespace {

using Identity = std::pair<dev_t, ino_t>;

struct Shared {
  int fd = -1;
  int users = 0;
};

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<Identity, Shared>& Registry() {
  static auto* files = new std::map<Identity, Shared>;  // outlives every view
  return *files;
}

// Gives up one use of the descriptor of `id`, closing it with the last.
void Release(const Identity& id) {
  auto it = Registry().find(id);
  if (it == Registry().end() || --it->second.users > 0) return;
  close(it->second.fd);
  Registry().erase(it);
}

}  // namespace

std::unique_ptr<SharedFileView> SharedFileView::Open(const std::string& path, size_t size) {
  if (size == 0) return nullptr;
  struct stat named {};
  if (stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return nullptr;
  const Identity id{named.st_dev, named.st_ino};
  std::lock_guard<std::mutex> guard(RegistryMutex());
  auto it = Registry().find(id);
  if (it == Registry().end()) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat opened {};
    if (fstat(fd, &opened) != 0 || opened.st_dev != id.first || opened.st_ino != id.second) {
      // Replaced between the two looks: no view rather than a wrong one.
      // Nothing of this process can hold locks on a file it had no view of.
      close(fd);
      return nullptr;
    }
    it = Registry().emplace(id, Shared{fd, 0}).first;
  }
  it->second.users++;
  struct stat st {};
  void* p = MAP_FAILED;
  if (fstat(it->second.fd, &st) == 0 && static_cast<uint64_t>(st.st_size) >= size) {
    p = mmap(nullptr, size, PROT_READ, MAP_SHARED, it->second.fd, 0);
  }
  if (p == MAP_FAILED) {
    Release(id);
    return nullptr;
  }
  std::unique_ptr<SharedFileView> view(new SharedFileView());
  view->base_ = static_cast<const volatile uint8_t*>(p);
  view->size_ = size;
  view->device_ = static_cast<uint64_t>(id.first);
  view->inode_ = static_cast<uint64_t>(id.second);
  return view;
}

SharedFileView::~SharedFileView() {
  if (base_ == nullptr) return;
  munmap(const_cast<uint8_t*>(base_), size_);
  std::lock_guard<std::mutex> guard(RegistryMutex());
  Release({static_cast<dev_t>(device_), static_cast<ino_t>(inode_)});
}

}  // namespace tavelnor::platform
