// Per position block state of the record manager, and the registry that maps
// the caller's 128-byte position blocks to it.
//
// Position block layout (ours; the rest of the 128 bytes is left zero):
//   off size meaning
//   0   8    magic "TvlnrPB1"
//   8   8    handle, little-endian (registry key; never reused in a process)
//   16  8    handle XOR a fixed mask (check)
// A block whose magic or check does not match, or whose handle is not
// registered (closed, reset), is not open: status 3.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "btrieve/data_file.h"

namespace tavelnor::btrieve {

inline constexpr size_t kPositionBlockSize = 128;
using ClientId = std::array<uint8_t, 16>;

// One data file as opened in this process, shared by its position blocks.
struct SharedFile {
  std::unique_ptr<DataFile> data;
  std::string path;
  std::string identity;  // absolute, normalised path: one SharedFile per file
  int opens = 0;
  bool exclusive = false;
};

// Currency and mode of one position block.
struct Cursor {
  enum class Physical { kNone, kStart, kOn, kDeleted };

  std::shared_ptr<SharedFile> file;
  ClientId client{};
  bool read_only = false;
  // The connection of the client's transaction when it has written this
  // file: every call of the client then reads and writes through it.
  DataFile* txn_data = nullptr;

  Physical physical = Physical::kStart;
  uint32_t physical_pos = 0;
  // The change stamp of the physical record as this block last read or
  // wrote it: an Update or Delete of a record changed since gives 80.
  uint64_t physical_stamp = 0;

  int logical_key = -1;       // -1: no logical currency
  std::string logical_entry;  // index entry of the logical record (kept after Delete)
  bool collapsed = false;     // positioned by a Get Key: duplicates count as one value
  bool key_switched = false;  // Update used another key: the next Get Next/Previous gives 7
  // Positioned by an extended operation: Update, Delete and Update Chunk give 8
  // until the next positioning call.
  bool after_extended = false;
  // This block deleted its logical record: Get Next/Previous go on from
  // where it was, which they do not when another client removed it (82).
  bool deleted_here = false;

  // Intrarecord position of the chunk operations: the offset just after the
  // last chunk read or written in the record at `chunk_record` (0: none).
  uint32_t chunk_record = 0;
  uint32_t chunk_offset = 0;

  DataFile& data() { return txn_data ? *txn_data : *file->data; }
  void DropLogical() {
    logical_key = -1;
    logical_entry.clear();
    collapsed = false;
    key_switched = false;
    after_extended = false;
    deleted_here = false;
  }
  // The record at `pos`, read or written with change stamp `stamp`, is
  // physically current.
  void SetPhysical(uint32_t pos, uint64_t stamp) {
    physical = Physical::kOn;
    physical_pos = pos;
    physical_stamp = stamp;
  }
};

class Registry {
 public:
  // The cursor of an open block used by `client`, or null (status 3).
  Cursor* Find(const uint8_t* block, const ClientId& client);
  // Registers `cursor` and writes its handle into `block`.
  void Attach(uint8_t* block, std::unique_ptr<Cursor> cursor);
  // Closes the block's cursor and clears the block.
  void Detach(uint8_t* block);
  // Closes every cursor of `client`.
  void DetachClient(const ClientId& client);
  // Runs `fn` on every cursor open on `file`, in any client.
  void ForEachCursor(const SharedFile* file, const std::function<void(Cursor&)>& fn);

  // The process-wide file record for `path`, if any is open.
  std::shared_ptr<SharedFile> OpenFile(const std::string& path);
  void Remember(const std::shared_ptr<SharedFile>& file);

  // Called for every cursor about to close (Close, Reset, reopening a block),
  // before its file may close: the lock layer drops the cursor's locks.
  void SetReleaseHook(std::function<void(Cursor&)> hook) { release_hook_ = std::move(hook); }

 private:
  void Release(Cursor* cursor);

  std::map<uint64_t, std::unique_ptr<Cursor>> cursors_;
  uint64_t last_handle_ = 0;          // the last answer of Find
  Cursor* last_cursor_ = nullptr;
  std::map<std::string, std::shared_ptr<SharedFile>> files_;
  uint64_t next_handle_ = 0x51ED;
  std::function<void(Cursor&)> release_hook_;
};

}  // namespace tavelnor::btrieve
