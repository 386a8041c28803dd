// The extended operations: Get Next/Previous Extended (36/37) walk a key
// path, Step Next/Previous Extended (38/39) the physical order, both
// returning the selected parts of every record that passes a filter
// (extended_descriptor.h); Insert Extended (40) inserts several records in
// order up to the first that fails, keeping the ones before it.
//
// Returned buffer: record count (2), then per record the image length (2),
// its 4-byte position and the image. The walk stops with 0 when enough
// records were found, 60 when the reject count is reached, 64 when the
// first term proves that no later record on the key path can pass, 22 when
// a record ends inside an extracted field that is not the last, and 9 at the
// end of the path; all of them return the records found so far. The buffer
// must hold the most the request can return (2 + wanted * (6 + image size)),
// else 22 before anything is read. Currency ends on the last record
// examined (passed or not): logical and physical for 36/37, physical only
// for 38/39; Update, Delete and Update Chunk give 8 until the next
// positioning call.
#include <cstring>

#include "btrieve/btrieve_codes.h"
#include "btrieve/engine.h"
#include "btrieve/extended_descriptor.h"
#include "btrieve/key_codec.h"
#include "foundation/byte_reader.h"

namespace tavelnor::btrieve {

namespace {

constexpr size_t kImageHeader = 6;  // length (2) and position (4)

struct Row {
  Entry entry;  // k is empty on the physical path
  std::vector<uint8_t> record;
};

// Yields the records of one path, in walking order, from a starting rule.
class Walker {
 public:
  Walker(Cursor& cursor, const KeyDef* key, bool forward, bool include_current)
      : cursor_(cursor), key_(key), forward_(forward), include_current_(include_current) {}

  // The next record; 9 at the end of the path.
  int Next(Row* row) {
    int st = key_ ? NextOnKey(row) : NextPhysical(row);
    started_ = true;
    return st;
  }

 private:
  int NextOnKey(Row* row) {
    DataFile& data = cursor_.data();
    const std::string& at = started_ ? last_ : cursor_.logical_entry;
    Seek seek = forward_ ? Seek::kAbove : Seek::kBelow;
    std::string bound = at;
    if (!started_ && include_current_) {
      seek = forward_ ? Seek::kAtLeast : Seek::kAtMost;
    } else if (!started_ && cursor_.collapsed) {
      // Positioned by a Get Key: the run of duplicates counts as one value.
      bound = at.substr(0, key_->length());
      if (forward_ && key_->duplicates()) bound += std::string(kDupSuffixSize, '\xFF');
    }
    if (int st = data.Find(key_->number, seek, bound, &row->entry); st != kOk) return st;
    last_ = row->entry.k;
    int st = data.Read(row->entry.pos, &row->record);
    return st == kInvalidRecordAddress ? kIoError : st;  // index and records disagree
  }

  int NextPhysical(Row* row) {
    DataFile& data = cursor_.data();
    uint32_t from = started_ ? row_pos_ : cursor_.physical_pos;
    if (!started_ && cursor_.physical == Cursor::Physical::kStart) from = 0;
    if (!started_ && include_current_ && cursor_.physical == Cursor::Physical::kOn) {
      int st = data.Read(from, &row->record);
      if (st != kInvalidRecordAddress) {  // else gone meanwhile: its neighbour comes next
        row->entry.pos = row_pos_ = from;
        return st;
      }
    }
    int st = data.Step(forward_, from, &row->entry.pos, &row->record);
    if (st == kOk) row_pos_ = row->entry.pos;
    return st;
  }

  Cursor& cursor_;
  const KeyDef* key_;
  bool forward_;
  bool include_current_;
  bool started_ = false;
  std::string last_;
  uint32_t row_pos_ = 0;
};

// On a key path: whether a record that failed the first term shows that no
// later record can pass. That needs the first term to compare the key's
// first segment, as the index orders it, with a constant, and to be joined
// by AND (or to stand alone).
bool BeyondLimit(const ExtendedRequest& req, const KeyDef& key, bool forward,
                 const FilterOutcome& outcome) {
  if (req.terms.empty() || !outcome.first_failed) return false;
  const FilterTerm& term = req.terms.front();
  const Segment& seg = key.segments.front();
  const Segment& as = term.as_key.segments.front();
  constexpr uint16_t kOrderFlags = kKeyNoCase | kKeyAlternate;
  if (term.other_field || term.connector == Connector::kOr || term.offset + 1 != seg.position ||
      term.length != seg.length || as.type != seg.type ||
      (as.flags & kOrderFlags) != (seg.flags & kOrderFlags) ||
      ((seg.flags & kKeyAlternate) && as.acs != seg.acs)) {
    return false;
  }
  const bool rising = forward != ((seg.flags & kKeyDescending) != 0);
  const Comparison c = term.comparison;
  if (rising) {
    return c == Comparison::kLess || c == Comparison::kLessOrEqual ||
           (c == Comparison::kEqual && outcome.first_order > 0);
  }
  return c == Comparison::kGreater || c == Comparison::kGreaterOrEqual ||
         (c == Comparison::kEqual && outcome.first_order < 0);
}

int RunExtended(Cursor& cursor, const Call& call, const KeyDef* key, bool forward) {
  const FileSpec& spec = cursor.data().spec();
  const uint32_t capacity = *call.data_len;
  ExtendedRequest req;
  if (int st = ParseExtendedRequest({call.data, capacity}, spec, &req); st != kOk) return st;
  if (2 + uint64_t{req.records_wanted} * (kImageHeader + req.image_size) > capacity) {
    return kDataBufferTooShort;
  }
  Walker walker(cursor, key, forward, req.include_current);
  std::vector<uint8_t> out(2, 0);
  uint16_t count = 0;
  uint32_t rejects = 0;
  bool examined = false;
  Row last;
  std::string returned_key;
  int status = kOk;
  for (;;) {
    Row row;
    int st = walker.Next(&row);
    if (st == kEndOfFile) {
      status = kEndOfFile;
      break;
    }
    if (st != kOk) return st;
    examined = true;
    last = std::move(row);
    const FilterOutcome outcome = EvaluateFilter(req, spec, last.record);
    if (!outcome.pass) {
      if (key != nullptr && BeyondLimit(req, *key, forward, outcome)) {
        status = kFilterLimitReached;
        break;
      }
      if (++rejects >= req.max_reject) {
        status = kRejectCountReached;
        break;
      }
      continue;
    }
    const size_t at = out.size();
    out.resize(at + kImageHeader);
    if (ExtractImage(req, last.record, &out) != kOk) {
      out.resize(at);
      status = kDataBufferTooShort;
      break;
    }
    StoreLE16(out.data() + at, static_cast<uint16_t>(out.size() - at - kImageHeader));
    StoreLE32(out.data() + at + 2, last.entry.pos);
    if (key != nullptr) returned_key = ExtractKey(*key, last.record.data());
    if (++count == req.records_wanted) break;
  }
  StoreLE16(out.data(), count);
  std::memcpy(call.data, out.data(), out.size());
  *call.data_len = static_cast<uint32_t>(out.size());
  if (count > 0 && key != nullptr) std::memcpy(call.key, returned_key.data(), returned_key.size());
  if (examined) {
    cursor.DropLogical();
    if (key != nullptr) {
      cursor.logical_key = key->number;
      cursor.logical_entry = std::move(last.entry.k);
    }
    cursor.physical = Cursor::Physical::kOn;
    cursor.physical_pos = last.entry.pos;
    cursor.after_extended = true;
  }
  return status;
}

}  // namespace

int DoGetExtended(Cursor& cursor, const Call& call, int op) {
  const KeyDef* key = cursor.data().spec().FindKey(call.key_num);
  if (key == nullptr) return kInvalidKeyNumber;
  if (call.data == nullptr || call.data_len == nullptr) return kDataBufferTooShort;
  if (call.key == nullptr || call.key_len < key->length()) return kKeyBufferTooShort;
  if (cursor.logical_key < 0) return kInvalidPositioning;
  if (cursor.logical_key != key->number || cursor.key_switched) return kDifferentKeyNumber;
  if (!cursor.collapsed) {
    if (int st = CheckLogicalEntry(cursor, *key); st != kOk) return st;
  }
  return RunExtended(cursor, call, key, op == kOpGetNextExtended);
}

int DoStepExtended(Cursor& cursor, const Call& call, int op) {
  if (call.data == nullptr || call.data_len == nullptr) return kDataBufferTooShort;
  const bool forward = op == kOpStepNextExtended;
  using P = Cursor::Physical;
  if (cursor.physical == P::kNone || cursor.physical == P::kDeleted ||
      (cursor.physical == P::kStart && !forward)) {
    return kInvalidPositioning;
  }
  return RunExtended(cursor, call, nullptr, forward);
}

int DoInsertExtended(Cursor& cursor, const Call& call) {
  if (cursor.read_only) return kAccessDenied;
  if (call.data == nullptr || call.data_len == nullptr || *call.data_len < 2) {
    return kDataBufferTooShort;
  }
  DataFile& data = cursor.data();
  const FileSpec& spec = data.spec();
  ByteReader r(call.data, *call.data_len);
  uint16_t count = 0;
  r.ReadU16(&count);
  if (r.Remaining() / 2 < count) return kInvalidInsertExtended;
  // A record shorter than the fixed length fails in its turn (22): the ones
  // before it are inserted.
  std::vector<std::vector<uint8_t>> records;
  int refused = kOk;
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t length = 0;
    std::span<const uint8_t> image;
    if (!r.ReadU16(&length) || !r.ReadSpan(length, &image)) return kInvalidInsertExtended;
    if (refused != kOk) continue;
    if (length < spec.record_length) {
      refused = kDataBufferTooShort;
      continue;
    }
    // A fixed-length record is its fixed part; a variable-length one all it sent.
    records.emplace_back(image.begin(),
                         spec.variable_length() ? image.end() : image.begin() + spec.record_length);
  }
  if (!r.AtEnd()) return kInvalidInsertExtended;
  int number = -1;
  if (call.key_num != -1) {
    const KeyDef* key = spec.FindKey(call.key_num);
    if (key != nullptr) {
      if (call.key == nullptr || call.key_len < key->length()) return kKeyBufferTooShort;
      number = key->number;
    } else if (!spec.keys.empty() || call.key_num != 0) {
      return kInvalidKeyNumber;
    }
  }
  std::vector<uint32_t> positions;
  WriteResult written;
  written.key = number;
  int st = records.empty() ? kOk : data.InsertMany(&records, &positions, &written);
  if (st == kOk) st = refused;
  // The first word counts the records inserted, whose addresses follow; on a
  // failure the next record is the one that failed.
  StoreLE16(call.data, static_cast<uint16_t>(positions.size()));
  for (size_t i = 0; i < positions.size(); ++i) StoreLE32(call.data + 2 + 4 * i, positions[i]);
  *call.data_len = static_cast<uint32_t>(2 + 4 * positions.size());
  if (positions.empty()) return st;
  // The last record inserted becomes current.
  cursor.SetPhysical(positions.back(), written.stamp);
  cursor.after_extended = false;
  // The write may have reloaded keys another connection changed. Its entry
  // came back from the write itself: nothing is read after the commit.
  const KeyDef* key = number >= 0 ? data.spec().FindKey(number) : nullptr;
  if (key == nullptr) return st;
  cursor.DropLogical();
  if (!written.indexed) return st;  // a null key leaves the path
  cursor.logical_key = key->number;
  cursor.logical_entry = std::move(written.entry);
  const int keyed = ReturnKey(cursor, call, key->number, records[positions.size() - 1]);
  return st != kOk ? st : keyed;
}

}  // namespace tavelnor::btrieve
