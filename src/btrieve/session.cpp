// Position block registry.
#include "btrieve/session.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "foundation/byte_reader.h"

namespace tavelnor::btrieve {

namespace {

constexpr char kMagic[8] = {'T', 'v', 'l', 'n', 'r', 'P', 'B', '1'};
constexpr uint64_t kCheckMask = 0xA5C3'96E1'0F5A'3C78ull;

uint64_t Load64(const uint8_t* p) {
  return uint64_t{LoadLE32(p)} | (uint64_t{LoadLE32(p + 4)} << 32);
}

void Store64(uint8_t* p, uint64_t v) {
  StoreLE32(p, static_cast<uint32_t>(v));
  StoreLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

// Two spellings of one path name the same file.
std::string Identity(const std::string& path) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : canonical.string();
}

}  // namespace

Cursor* Registry::Find(const uint8_t* block, const ClientId& client) {
  if (block == nullptr || std::memcmp(block, kMagic, sizeof kMagic) != 0) return nullptr;
  uint64_t handle = Load64(block + 8);
  if ((handle ^ kCheckMask) != Load64(block + 16)) return nullptr;
  // A client mostly calls on the same file again: the last answer first.
  if (last_cursor_ != nullptr && handle == last_handle_) {
    return last_cursor_->client == client ? last_cursor_ : nullptr;
  }
  auto it = cursors_.find(handle);
  if (it == cursors_.end() || it->second->client != client) return nullptr;
  last_handle_ = handle;
  last_cursor_ = it->second.get();
  return last_cursor_;
}

void Registry::Attach(uint8_t* block, std::unique_ptr<Cursor> cursor) {
  uint64_t handle = next_handle_++;
  cursors_[handle] = std::move(cursor);
  std::memset(block, 0, kPositionBlockSize);
  std::memcpy(block, kMagic, sizeof kMagic);
  Store64(block + 8, handle);
  Store64(block + 16, handle ^ kCheckMask);
}

void Registry::Release(Cursor* cursor) {
  if (release_hook_) release_hook_(*cursor);
  std::shared_ptr<SharedFile> file = cursor->file;
  if (--file->opens == 0) files_.erase(file->identity);
}

void Registry::Detach(uint8_t* block) {
  uint64_t handle = Load64(block + 8);
  auto it = cursors_.find(handle);
  if (it != cursors_.end()) {
    Release(it->second.get());
    last_cursor_ = nullptr;
    cursors_.erase(it);
  }
  std::memset(block, 0, kPositionBlockSize);
}

void Registry::DetachClient(const ClientId& client) {
  for (auto it = cursors_.begin(); it != cursors_.end();) {
    if (it->second->client == client) {
      Release(it->second.get());
      last_cursor_ = nullptr;
      it = cursors_.erase(it);
    } else {
      ++it;
    }
  }
}

void Registry::ForEachCursor(const SharedFile* file, const std::function<void(Cursor&)>& fn) {
  for (auto& [handle, cursor] : cursors_) {
    if (cursor->file.get() == file) fn(*cursor);
  }
}

std::shared_ptr<SharedFile> Registry::OpenFile(const std::string& path) {
  auto it = files_.find(Identity(path));
  return it == files_.end() ? nullptr : it->second;
}

void Registry::Remember(const std::shared_ptr<SharedFile>& file) {
  file->identity = Identity(file->path);
  files_[file->identity] = file;
}

}  // namespace tavelnor::btrieve
