// Reads of a data file: records by position, steps in physical order and
// seeks in an index, served from rows read ahead whenever the file has not
// changed since they were read.
//
// A damaged b-tree can make SQLite hand back rows out of order: a range scan
// honours its bound only where it starts and then follows the pages, so a
// page linked in the wrong place yields rows before the bound, and a walk
// that trusted them would come round to the same rows forever. Every row
// read is therefore checked -- its position a valid one, its entry of the
// key's width, strictly beyond the row before it in walking order, its
// record at least the fixed length -- and every answer, fresh or read
// ahead, strictly beyond (or at, for an inclusive seek) its bound. Anything
// else is damage: 2, never a repeat.
#include <limits>
#include <string_view>

#include "btrieve/btrieve_codes.h"
#include "btrieve/sqlite_data_file.h"
#include "btrieve/key_codec.h"
#include "btrieve/read_ahead.h"
#include "foundation/platform/shared_view.h"

namespace tavelnor::btrieve {

namespace {

constexpr size_t kChangeCounterOffset = 24;

bool ValidPosition(int64_t pos) {
  return pos >= 1 && pos <= int64_t{std::numeric_limits<uint32_t>::max()};
}

// A stored record of a length its file cannot hold (shorter than the fixed
// part, or of another length in a file of fixed-length records) is damage:
// key extraction reads the whole fixed part.
bool RecordFits(const FileSpec& spec, size_t size) {
  return spec.variable_length() ? size >= spec.record_length : size == spec.record_length;
}

bool Bounded(Seek seek) { return seek != Seek::kFirst && seek != Seek::kLast; }

bool Strict(Seek seek) { return seek == Seek::kAbove || seek == Seek::kBelow; }

bool Forward(Seek seek) {
  return seek == Seek::kFirst || seek == Seek::kAtLeast || seek == Seek::kAbove;
}

// True when `k` lies beyond `from` in the direction of `seek`: strictly, or
// also at it when `inclusive`.
bool Beyond(std::string_view k, std::string_view from, Seek seek, bool inclusive) {
  const int c = k.compare(from);
  return c == 0 ? inclusive : (c > 0) == Forward(seek);
}

std::vector<uint8_t> Column(const Statement& st, int col) {
  const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st.get(), col));
  return p ? std::vector<uint8_t>(p, p + sqlite3_column_bytes(st.get(), col))
           : std::vector<uint8_t>();
}

}  // namespace

SqliteDataFile::SqliteDataFile() : ahead_(std::make_unique<ReadAhead>()) {}

SqliteDataFile::~SqliteDataFile() = default;

ReadToken SqliteDataFile::Token() const {
  ReadToken token;
  if (header_ == nullptr) return token;
  token.valid = true;
  token.counter = header_->LoadBE32(kChangeCounterOffset);
  token.changes = sqlite3_total_changes64(db_.get());
  return token;
}

int SqliteDataFile::Locate(int num, Seek seek, const std::string& bound, int64_t bound_pos,
                     const AheadRow** row) {
  // Taken before the query: a commit between the two makes the rows look
  // older than they are, never newer.
  const ReadToken token = Token();
  ahead_->Check(token);
  switch (ahead_->Lookup(num, seek, bound, row)) {
    case ReadAhead::Answer::kRow:
      if (!Bounded(seek) || Beyond((*row)->k, bound, seek, !Strict(seek))) return kOk;
      ahead_->Clear();
      return kIoError;
    case ReadAhead::Answer::kEnd:
      return kEndOfFile;
    case ReadAhead::Answer::kUnknown:
      break;
  }
  size_t asked = token.valid ? ahead_->BatchFor(num, seek, bound) : 1;
  const bool physical = num < 0;
  Statement& st =
      physical ? (seek == Seek::kAbove ? step_next_ : step_prev_) : fetch_[static_cast<int>(seek)];
  Statement::Scope scope(st);
  if (physical) {
    st.BindInt(1, bound_pos);
    st.BindInt(2, static_cast<int64_t>(asked));
  } else {
    st.BindInt(1, num);
    if (Bounded(seek)) st.BindBlob(2, bound);
    st.BindInt(3, static_cast<int64_t>(asked));
  }
  ahead_->Start(num, seek, bound, token);
  const KeyDef* key = physical ? nullptr : spec_.FindKey(num);
  const size_t width =
      key == nullptr ? 0 : key->length() + (key->duplicates() ? kDupSuffixSize : 0);
  std::string previous;  // the entry before, in walking order
  int64_t previous_pos = bound_pos;  // the same in physical order
  int rc = SQLITE_OK;
  size_t rows = 0;
  while (rows < asked && (rc = st.Step()) == SQLITE_ROW) {
    const int data_col = physical ? 1 : 2;
    const void* data = sqlite3_column_blob(st.get(), data_col);
    const size_t size = static_cast<size_t>(sqlite3_column_bytes(st.get(), data_col));
    const auto stamp = static_cast<uint64_t>(st.Int(data_col + 1));
    const int64_t pos = st.Int(physical ? 0 : 1);
    std::string k;
    bool in_order = false;
    if (physical) {
      in_order = seek == Seek::kAbove ? pos > previous_pos : pos < previous_pos;
      previous_pos = pos;
      k = PositionKey(static_cast<uint64_t>(pos));
    } else {
      k = st.Blob(0);
      in_order = rows == 0 ? !Bounded(seek) || Beyond(k, bound, seek, !Strict(seek))
                           : Beyond(k, previous, seek, false);
      previous = k;  // reuses its buffer after the first row
    }
    if (!ValidPosition(pos) || !in_order || (key != nullptr && k.size() != width) ||
        !RecordFits(spec_, size)) {
      rc = SQLITE_CORRUPT;
      break;
    }
    ahead_->Add(std::move(k), static_cast<uint32_t>(pos), data, size, stamp);
    ++rows;
    if (ahead_->bytes() > ReadAhead::kMaxBytes) asked = rows;  // enough in memory; not the end
  }
  if (rc != SQLITE_ROW && rc != SQLITE_DONE && rc != SQLITE_OK) {
    ahead_->Clear();
    return MapError(rc);
  }
  *row = ahead_->Finish(asked);
  return *row != nullptr ? kOk : kEndOfFile;
}

int SqliteDataFile::Read(uint32_t pos, std::vector<uint8_t>* data, uint64_t* stamp) {
  if (stamp != nullptr) *stamp = 0;
  ahead_->Check(Token());
  if (const AheadRow* row = ahead_->Served(pos)) {
    std::span<const uint8_t> bytes = ahead_->Data(*row);
    data->assign(bytes.begin(), bytes.end());
    if (stamp != nullptr) *stamp = row->stamp;
    return kOk;
  }
  Statement::Scope scope(read_);
  read_.BindInt(1, pos);
  int rc = read_.Step();
  if (rc == SQLITE_DONE) return kInvalidRecordAddress;
  if (rc != SQLITE_ROW) return MapError(rc);
  *data = Column(read_, 0);
  if (stamp != nullptr) *stamp = static_cast<uint64_t>(read_.Int(1));
  return RecordFits(spec_, data->size()) ? kOk : kIoError;
}

int SqliteDataFile::Step(bool forward, uint32_t from, uint32_t* pos, std::span<const uint8_t>* data,
                   uint64_t* stamp) {
  if (stamp != nullptr) *stamp = 0;
  // A walk goes on from the row it was given last: straight from the run.
  // (From 0 and UINT32_MAX a Step starts afresh: First and Last.)
  const AheadRow* row = nullptr;
  if (from != 0 && from != std::numeric_limits<uint32_t>::max()) {
    ahead_->Check(Token());
    row = ahead_->NextPhysical(forward, from);
  }
  if (row != nullptr) {
    *pos = row->pos;
    *data = ahead_->Data(*row);
    if (stamp != nullptr) *stamp = row->stamp;
    return kOk;
  }
  const int64_t bound = forward || from != std::numeric_limits<uint32_t>::max()
                            ? int64_t{from}
                            : std::numeric_limits<int64_t>::max();
  int st = Locate(-1, forward ? Seek::kAbove : Seek::kBelow, PositionKey(bound), bound, &row);
  if (st != kOk) return st;
  *pos = row->pos;
  *data = ahead_->Data(*row);
  if (stamp != nullptr) *stamp = row->stamp;
  return kOk;
}

int SqliteDataFile::Find(int num, Seek seek, const std::string& bound, Entry* out) {
  const AheadRow* row = nullptr;
  int st = Locate(num, seek, bound, 0, &row);
  if (st != kOk) return st;
  // The entry must be the one its record's key gives: one that points at
  // another record, or at a record whose key is null, is damage.
  if (const KeyDef* key = spec_.FindKey(num); key != nullptr) {
    std::string k;
    if (!Encode(*key, ahead_->Data(*row).data(), &k) || row->k.compare(0, k.size(), k) != 0) {
      ahead_->Clear();
      return kIoError;
    }
  }
  out->k = row->k;
  out->pos = row->pos;
  return kOk;
}

int SqliteDataFile::FindEntry(int num, Seek seek, const std::string& bound, Entry* out) {
  Statement& st = seek_[static_cast<int>(seek)];
  Statement::Scope scope(st);
  st.BindInt(1, num);
  if (seek != Seek::kFirst && seek != Seek::kLast) st.BindBlob(2, bound);
  int rc = st.Step();
  if (rc == SQLITE_DONE) return kEndOfFile;
  if (rc != SQLITE_ROW) return MapError(rc);
  out->k = st.Blob(0);
  out->pos = static_cast<uint32_t>(st.Int(1));
  return kOk;
}

}  // namespace tavelnor::btrieve
