// Record and file locks: the in-process tables and their byte-range locks
// (design notes in lock_table.h).
#include "btrieve/lock_table.h"

#include <algorithm>

#include "btrieve/btrieve_codes.h"

namespace tavelnor::btrieve {

using platform::RangeLockMode;

FileLocks::FileLocks(std::string identity) : identity_(std::move(identity)) {
  (void)side_.Open(identity_ + "-lock");  // without it, locks hold in this process only
}

bool FileLocks::Take(uint64_t offset, RangeLockMode mode) {
  return !side_.is_open() || side_.TryLock(offset, 1, mode);
}

void FileLocks::Give(uint64_t offset) { side_.Unlock(offset, 1); }

bool FileLocks::Elsewhere(uint64_t offset, RangeLockMode mode) const {
  return side_.HeldElsewhere(offset, 1, mode);
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

FileLocks& LockTable::Attach(const std::string& identity) {
  auto it = files_.find(identity);
  if (it == files_.end()) {
    it = files_.emplace(identity, std::make_unique<FileLocks>(identity)).first;
  }
  it->second->refs++;
  return *it->second;
}

void LockTable::Detach(const std::string& identity) {
  auto it = files_.find(identity);
  if (it != files_.end() && --it->second->refs <= 0) {
    if (last_found_ == it->second.get()) last_found_ = nullptr;
    files_.erase(it);
  }
}

FileLocks* LockTable::Find(const std::string& identity) {
  // Every call of a client asks for its file's locks: the last answer is
  // checked first, one string comparison instead of a walk down the map.
  if (last_found_ != nullptr && last_found_->identity() == identity) return last_found_;
  auto it = files_.find(identity);
  last_found_ = it == files_.end() ? nullptr : it->second.get();
  return last_found_;
}

bool LockTable::StartWait(const ClientId& waiter, const ClientId& holder) {
  ClientId at = holder;
  for (size_t steps = 0; steps <= waits_.size(); ++steps) {
    if (at == waiter) return false;
    auto next = waits_.find(at);
    if (next == waits_.end()) break;
    at = next->second;
  }
  waits_[waiter] = holder;
  return true;
}

}  // namespace tavelnor::btrieve
