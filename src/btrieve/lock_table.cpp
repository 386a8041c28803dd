// Record and file locks: the in-process tables and their byte-range locks
// (design notes in lock_table.h).
#include "btrieve/lock_table.h"

#include <algorithm>

#include "btrieve/btrieve_codes.h"
#include "foundation/platform/process.h"

namespace tavelnor::btrieve {

using platform::RangeLockMode;

namespace {

// Waits followed across clients and processes before giving up the search.
constexpr int kMaxChain = 32;

}  // namespace

FileLocks::FileLocks(std::string lock_name, const std::string& folder)
    : lock_name_(std::move(lock_name)) {
  // Without it, locks hold in this process only.
  if (!folder.empty()) (void)side_.Open(folder + "/" + lock_name_);
}

bool FileLocks::Take(uint64_t offset, RangeLockMode mode) {
  if (!side_.is_open() || side_.TryLock(offset, 1, mode)) return true;
  refused_ = true;
  refused_offset_ = offset;
  refused_mode_ = mode;
  return false;
}

void FileLocks::Give(uint64_t offset) { side_.Unlock(offset, 1); }

bool FileLocks::Elsewhere(uint64_t offset, RangeLockMode mode) const {
  if (!side_.HeldElsewhere(offset, 1, mode)) return false;
  refused_ = true;
  refused_offset_ = offset;
  refused_mode_ = mode;
  return true;
}

WaitTarget FileLocks::Refuser() const {
  WaitTarget t;
  if (!refused_) return t;
  t.pid = side_.HolderOf(refused_offset_, 1, refused_mode_);
  t.wanted = LockByte{lock_name_, refused_offset_};
  return t;
}

std::vector<ClientId> FileLocks::HoldersOf(uint64_t offset) const {
  std::vector<ClientId> out;
  auto add = [&out](const ClientId& c) {
    if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
  };
  if (offset == kWriterByte) {
    if (writer_) add(*writer_);
  } else if (offset == kFileByte) {
    if (file_lock_) add(*file_lock_);
    for (const auto& [pos, holders] : records_) {
      for (const RecordHolder& h : holders) add(h.client);
    }
  } else if (offset >= kRecordBase && offset - kRecordBase <= UINT32_MAX) {
    auto rec = records_.find(static_cast<uint32_t>(offset - kRecordBase));
    if (rec != records_.end()) {
      for (const RecordHolder& h : rec->second) add(h.client);
    }
  }
  return out;
}

int FileLocks::LockRecord(uint32_t pos, const Cursor* cursor, const ClientId& client,
                          LockKind kind, bool in_transaction, std::optional<ClientId>* blocker) {
  if (file_lock_ && *file_lock_ != client) {
    *blocker = file_lock_;
    return kFileLocked;
  }
  auto rec = records_.find(pos);
  if (rec != records_.end()) {
    for (const RecordHolder& h : rec->second) {
      if (h.client != client) {
        *blocker = h.client;
        return kRecordLocked;
      }
      if (h.cursor == cursor && h.kind == kind) return kOk;  // held already
    }
  } else {
    // First lock of this process on the record: take it from other processes.
    const bool first_in_file = records_.empty() && !file_lock_;
    if (first_in_file && !Take(kFileByte, RangeLockMode::kShared)) return kFileLocked;
    if (!Take(kRecordBase + pos, RangeLockMode::kExclusive)) {
      if (first_in_file) Give(kFileByte);
      return kRecordLocked;
    }
    rec = records_.emplace(pos, std::vector<RecordHolder>{}).first;
  }
  rec->second.push_back(RecordHolder{cursor, client, kind, in_transaction});
  return kOk;
}

void FileLocks::ProcessReleased(uint32_t pos) {
  Give(kRecordBase + pos);
  if (records_.empty() && !file_lock_) Give(kFileByte);
}

void FileLocks::Remove(std::map<uint32_t, std::vector<RecordHolder>>::iterator rec,
                       size_t index) {
  rec->second.erase(rec->second.begin() + static_cast<std::ptrdiff_t>(index));
  if (!rec->second.empty()) return;
  const uint32_t pos = rec->first;
  records_.erase(rec);
  ProcessReleased(pos);
}

bool FileLocks::UnlockRecord(uint32_t pos, const Cursor* cursor, LockKind kind) {
  auto rec = records_.find(pos);
  if (rec == records_.end()) return false;
  for (size_t i = 0; i < rec->second.size(); ++i) {
    if (rec->second[i].cursor == cursor && rec->second[i].kind == kind) {
      Remove(rec, i);
      return true;
    }
  }
  return false;
}

std::vector<uint32_t> FileLocks::LocksOf(const Cursor* cursor, LockKind kind) const {
  std::vector<uint32_t> out;
  for (const auto& [pos, holders] : records_) {
    for (const RecordHolder& h : holders) {
      if (h.cursor == cursor && h.kind == kind) out.push_back(pos);
    }
  }
  return out;
}

bool FileLocks::Holds(uint32_t pos, const Cursor* cursor, LockKind kind) const {
  auto rec = records_.find(pos);
  if (rec == records_.end()) return false;
  return std::any_of(rec->second.begin(), rec->second.end(), [&](const RecordHolder& h) {
    return h.cursor == cursor && h.kind == kind;
  });
}

void FileLocks::ReleaseCursor(const Cursor* cursor) {
  for (auto rec = records_.begin(); rec != records_.end();) {
    auto& holders = rec->second;
    holders.erase(std::remove_if(holders.begin(), holders.end(),
                                 [cursor](const RecordHolder& h) { return h.cursor == cursor; }),
                  holders.end());
    if (holders.empty()) {
      const uint32_t pos = rec->first;
      rec = records_.erase(rec);
      ProcessReleased(pos);
    } else {
      ++rec;
    }
  }
}

void FileLocks::ReleaseTransaction(const ClientId& client) {
  for (auto rec = records_.begin(); rec != records_.end();) {
    auto& holders = rec->second;
    holders.erase(std::remove_if(holders.begin(), holders.end(),
                                 [&client](const RecordHolder& h) {
                                   return h.client == client &&
                                          (h.in_transaction || h.kind == LockKind::kWrite);
                                 }),
                  holders.end());
    if (holders.empty()) {
      const uint32_t pos = rec->first;
      rec = records_.erase(rec);
      Give(kRecordBase + pos);
    } else {
      ++rec;
    }
  }
  if (file_lock_ == client) {
    file_lock_.reset();
    // Back to a shared hold when record locks of this process remain.
    if (records_.empty() || !Take(kFileByte, RangeLockMode::kShared)) Give(kFileByte);
  } else if (records_.empty() && !file_lock_) {
    Give(kFileByte);
  }
  DropWriter(client);
}

int FileLocks::CheckWrite(uint32_t pos, const ClientId& client,
                          std::optional<ClientId>* blocker) const {
  if (pos != 0) {
    auto rec = records_.find(pos);
    if (rec != records_.end()) {
      for (const RecordHolder& h : rec->second) {
        if (h.client != client) {
          *blocker = h.client;
          return kRecordLocked;
        }
      }
    } else if (Elsewhere(kRecordBase + pos, RangeLockMode::kExclusive)) {
      return kRecordLocked;
    }
  }
  if (file_lock_ && *file_lock_ != client) {
    *blocker = file_lock_;
    return kFileLocked;
  }
  if (writer_ && *writer_ != client) {
    *blocker = writer_;
    return kFileLocked;
  }
  // The byte of a lock this process holds is not asked about.
  if (!file_lock_ && records_.empty() && Elsewhere(kFileByte, RangeLockMode::kShared)) {
    return kFileLocked;
  }
  if (!writer_ && Elsewhere(kWriterByte, RangeLockMode::kExclusive)) return kFileLocked;
  return kOk;
}

bool FileLocks::BeginWrite(uint32_t pos) {
  if (pos == 0 || records_.count(pos) != 0) return true;
  return Take(kRecordBase + pos, RangeLockMode::kExclusive);
}

void FileLocks::EndWrite(uint32_t pos) {
  if (pos != 0 && records_.count(pos) == 0) Give(kRecordBase + pos);
}

int FileLocks::LockFile(const ClientId& client, std::optional<ClientId>* blocker) {
  if (file_lock_ == client) return kOk;
  if (file_lock_) {
    *blocker = file_lock_;
    return kFileLocked;
  }
  for (const auto& [pos, holders] : records_) {
    for (const RecordHolder& h : holders) {
      if (h.client != client) {
        *blocker = h.client;
        return kFileLocked;
      }
    }
  }
  // Converts this process's shared hold, if any; fails while another process
  // holds the file or record locks in it.
  if (!Take(kFileByte, RangeLockMode::kExclusive)) return kFileLocked;
  file_lock_ = client;
  return kOk;
}

int FileLocks::TakeWriter(const ClientId& client, std::optional<ClientId>* blocker) {
  if (writer_ == client) return kOk;
  if (writer_) {
    *blocker = writer_;
    return kFileLocked;
  }
  if (!Take(kWriterByte, RangeLockMode::kExclusive)) return kFileLocked;
  writer_ = client;
  return kOk;
}

void FileLocks::DropWriter(const ClientId& client) {
  if (writer_ != client) return;
  writer_.reset();
  Give(kWriterByte);
}

bool FileLocks::WriterOtherThan(const ClientId& client) const {
  return writer_ && *writer_ != client;
}

bool FileLocks::WriterElsewhere() const {
  return !writer_ && Elsewhere(kWriterByte, RangeLockMode::kExclusive);
}

void FileLocks::HeldBy(const std::vector<ClientId>& clients, std::vector<LockByte>* out) const {
  if (!side_.is_open()) return;  // no other process can wait for these
  auto in = [&clients](const std::optional<ClientId>& c) {
    return c && std::find(clients.begin(), clients.end(), *c) != clients.end();
  };
  bool any_record = false;
  for (const auto& [pos, holders] : records_) {
    if (std::any_of(holders.begin(), holders.end(),
                    [&](const RecordHolder& h) { return in(h.client); })) {
      out->push_back(LockByte{lock_name_, kRecordBase + pos});
      any_record = true;
    }
  }
  if (any_record || in(file_lock_)) out->push_back(LockByte{lock_name_, kFileByte});
  if (in(writer_)) out->push_back(LockByte{lock_name_, kWriterByte});
}

FileLocks& LockTable::Attach(const std::string& path) {
  Path& p = paths_[path];
  if (p.file == nullptr) {
    // Every path to one file gives the same identity; a path that cannot
    // give one keeps locks of its own, in this process only.
    auto identity = platform::FileIdentity(path);
    const std::string name = identity.ok() ? *identity : "path:" + path;
    auto it = files_.find(name);
    if (it == files_.end()) {
      const std::string folder = identity.ok() ? platform::LockFolder() : std::string();
      it = files_.emplace(name, std::make_unique<FileLocks>(name, folder)).first;
    }
    p.file = it->second.get();
  }
  p.refs++;
  p.file->refs++;
  return *p.file;
}

void LockTable::Detach(const std::string& path) {
  auto p = paths_.find(path);
  if (p == paths_.end()) return;
  FileLocks* file = p->second.file;
  last_path_ = nullptr;
  last_found_ = nullptr;
  if (--p->second.refs <= 0) paths_.erase(p);
  if (--file->refs <= 0) {
    for (auto it = paths_.begin(); it != paths_.end();) {
      it = it->second.file == file ? paths_.erase(it) : std::next(it);
    }
    const std::string name = file->lock_name();  // not a reference into the node erased
    files_.erase(name);
  }
}

FileLocks* LockTable::Find(const std::string& path) {
  // Every call of a client asks for its file's locks: the last answer is
  // checked first, one string comparison instead of a walk down the map.
  if (last_path_ != nullptr && *last_path_ == path) return last_found_;
  auto it = paths_.find(path);
  if (it == paths_.end()) return nullptr;
  last_path_ = &it->first;
  last_found_ = it->second.file;
  return last_found_;
}

bool LockTable::LeadsBack(const ClientId& start, const WaitTarget& target, int depth,
                          std::vector<uint32_t>* pids, std::vector<ClientId>* seen_clients,
                          std::vector<std::pair<uint32_t, LockByte>>* seen_bytes) {
  if (depth > kMaxChain) return false;
  if (target.client) {
    const ClientId& c = *target.client;
    if (c == start) return true;
    if (std::find(seen_clients->begin(), seen_clients->end(), c) != seen_clients->end()) {
      return false;
    }
    seen_clients->push_back(c);
    auto next = waits_.find(c);
    return next != waits_.end() &&
           LeadsBack(start, next->second, depth + 1, pids, seen_clients, seen_bytes);
  }
  const uint32_t self = platform::CurrentProcessId();
  std::pair<uint32_t, LockByte> at{target.pid, target.wanted};
  if (target.pid == 0 || target.pid == self ||
      std::find(seen_bytes->begin(), seen_bytes->end(), at) != seen_bytes->end()) {
    return false;
  }
  seen_bytes->push_back(std::move(at));
  pids->push_back(target.pid);
  // Only the waits of that process's clients that hold the byte waited for.
  for (const ProcessWait& w : ProcessWaits::Of(target.pid)) {
    if (!w.Holds(target.wanted)) continue;
    WaitTarget next;
    if (w.pid != self) {
      next.pid = w.pid;
      next.wanted = w.wanted;
      if (LeadsBack(start, next, depth + 1, pids, seen_clients, seen_bytes)) return true;
      continue;
    }
    // Back in this process: on to the clients holding what it waits for.
    auto file = files_.find(w.wanted.lock_name);
    if (file == files_.end()) continue;
    for (const ClientId& holder : file->second->HoldersOf(w.wanted.offset)) {
      next.client = holder;
      if (LeadsBack(start, next, depth + 1, pids, seen_clients, seen_bytes)) return true;
    }
  }
  pids->pop_back();
  return false;
}

std::vector<ClientId> LockTable::HeldUpBy(const ClientId& waiter) const {
  std::vector<ClientId> out{waiter};
  for (const auto& [client, target] : waits_) {
    ClientId at = client;
    for (int steps = 0; steps < kMaxChain && at != waiter; ++steps) {
      auto next = waits_.find(at);
      if (next == waits_.end() || !next->second.client) break;
      at = *next->second.client;
    }
    if (at == waiter && client != waiter) out.push_back(client);
  }
  return out;
}

bool LockTable::StartWait(const ClientId& waiter, WaitTarget target) {
  auto old = waits_.find(waiter);
  if (old != waits_.end() && !old->second.client) remote_waits_--;
  if (!target.client) remote_waits_++;
  waits_[waiter] = std::move(target);
  Publish();
  std::vector<uint32_t> pids;
  std::vector<ClientId> seen_clients;
  std::vector<std::pair<uint32_t, LockByte>> seen_bytes;
  if (!LeadsBack(waiter, waits_[waiter], 0, &pids, &seen_clients, &seen_bytes)) return true;
  // A cycle within this process ends here, with the wait that closed it.
  // Through other processes, the one of highest id breaks it.
  const uint32_t self = platform::CurrentProcessId();
  if (std::any_of(pids.begin(), pids.end(), [self](uint32_t p) { return p > self; })) {
    return true;
  }
  EndWait(waiter);
  return false;
}

void LockTable::EndWait(const ClientId& waiter) {
  if (waits_.empty()) return;
  auto it = waits_.find(waiter);
  if (it == waits_.end()) return;
  if (!it->second.client) remote_waits_--;
  waits_.erase(it);
  // Also when the wait was on a client here: the bytes that client holds
  // may be listed with a wait on another process.
  Publish();
}

void LockTable::Publish() {
  std::vector<ProcessWait> waits;
  for (const auto& [client, target] : waits_) {
    if (remote_waits_ == 0) break;
    if (target.client || target.pid == 0) continue;
    ProcessWait w{target.pid, target.wanted, {}, false};
    const std::vector<ClientId> clients = HeldUpBy(client);
    for (const auto& [name, file] : files_) file->HeldBy(clients, &w.held);
    if (w.held.size() > ProcessWaits::kMaxHeld) {
      w.held.clear();
      w.any_held = true;
    }
    waits.push_back(std::move(w));
  }
  published_.Publish(waits);
}

}  // namespace tavelnor::btrieve
