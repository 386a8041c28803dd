// Rows read ahead along one path of a data file (a key's index or the
// physical order), so that a walk of Get Next or Step Next calls runs one
// query per batch instead of one per call, and so that the record behind an
// index entry just found needs no second query.
//
// A run holds, in walking order, every entry of the path between a lower
// bound and its last row (to the end of the path when `complete`), as they
// were when a token was taken. Any change of the file, by this connection or
// another process, changes the token and drops the run. Entries are compared
// as the index orders them (memcmp of the encoded key); physical rows carry
// their position as an 8-byte big-endian key.
//
// Not thread-safe; owned by one DataFile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "btrieve/data_file.h"

namespace tavelnor::btrieve {

struct AheadRow {
  std::string k;
  uint32_t pos = 0;
  size_t offset = 0;  // of the record in the run's bytes
  size_t size = 0;
  uint64_t stamp = 0;  // the record's change stamp
};

// What the file looked like: the header's change counter (moved by every
// commit of any process) and this connection's count of changed rows. An
// invalid token never matches, which turns reading ahead off.
struct ReadToken {
  bool valid = false;
  uint32_t counter = 0;
  int64_t changes = 0;
  bool operator==(const ReadToken& o) const {
    return valid && o.valid && counter == o.counter && changes == o.changes;
  }
};

class ReadAhead {
 public:
  static constexpr size_t kMaxRows = 1024;
  static constexpr size_t kMaxBytes = size_t{1} << 20;

  enum class Answer { kUnknown, kRow, kEnd };

  // Drops the run unless it was read under `token`.
  void Check(const ReadToken& token);
  // Answers `seek` from `bound` on path `num` (-1: physical) when the run
  // covers it: kRow with *row set, kEnd when the path has no such entry.
  Answer Lookup(int num, Seek seek, const std::string& bound, const AheadRow** row);
  // The row the last Lookup or Store gave, when it is the record at `pos`.
  const AheadRow* Served(uint32_t pos) const;
  // A walk in physical order (`forward` or back) going on from the record
  // at `pos`, the one served last: the next row of the run, or null when the
  // run cannot tell. The rows of a run were checked in order when read.
  const AheadRow* NextPhysical(bool forward, uint32_t pos);
  // How many rows to read for a seek the run could not answer: more and more
  // while a walk goes on from the end of the run, few for a search.
  size_t BatchFor(int num, Seek seek, const std::string& bound) const;
  // Starts a new run for the rows `seek` from `bound` reads. Add them in
  // walking order, then Finish with the number of rows asked for: it
  // returns the first row, or null.
  void Start(int num, Seek seek, const std::string& bound, const ReadToken& token);
  void Add(std::string k, uint32_t pos, const void* data, size_t size, uint64_t stamp);
  const AheadRow* Finish(size_t asked);
  size_t bytes() const { return bytes_.size(); }

  // The record bytes of a row of this run.
  std::span<const uint8_t> Data(const AheadRow& row) const {
    return {bytes_.data() + row.offset, row.size};
  }
  void Clear();

 private:
  bool Forward(Seek seek) const {
    return seek == Seek::kFirst || seek == Seek::kAbove || seek == Seek::kAtLeast;
  }

  bool live_ = false;
  ReadToken token_;
  int num_ = 0;
  bool forward_ = true;
  bool bounded_ = false;  // false: the run starts at the start of the path
  std::string low_;       // the bound the run was read from
  bool low_inclusive_ = false;
  bool complete_ = false;  // the path ends after the last row
  std::vector<AheadRow> rows_;
  std::vector<uint8_t> bytes_;  // the records of all rows, back to back
  size_t served_ = SIZE_MAX;
  size_t last_batch_ = 0;
};

// The 8-byte big-endian key of a physical position.
std::string PositionKey(uint64_t pos);

}  // namespace tavelnor::btrieve
