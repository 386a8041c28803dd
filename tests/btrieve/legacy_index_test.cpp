// Files of an earlier record manager served from memory: refusals and damage
// with a reason, key orders against a reference sort of the decoded values,
// index searches against a linear search, steps, writes refused harmlessly.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <numeric>
#include <tuple>

#include "btrieve/key_codec.h"
#include "btrieve/legacy_index.h"
#include "btrieve/open_diagnosis.h"
#include "btrieve_test_util.h"

namespace tavelnor::btrieve::testing {
namespace {

struct FakeRecord {
  uint32_t address;
  std::vector<uint8_t> data;
  std::vector<uint32_t> dup_rank;  // per key
};

// Hands out `records_` in order, failing with an I/O error at `fail_at_`.
struct FakeSource : LegacySource {
  FakeSource(FileSpec spec, LegacyInfo info, std::vector<FakeRecord> records, size_t fail_at)
      : spec_(std::move(spec)), info_(info), records_(std::move(records)), fail_at_(fail_at) {
    for (const FakeRecord& r : records_) addresses_.push_back(r.address);
  }
  const FileSpec& spec() const override { return spec_; }
  const LegacyInfo& info() const override { return info_; }
  const std::vector<uint32_t>& addresses() const override { return addresses_; }
  int Fixed(size_t i, std::span<const uint8_t>* out) const override {
    if (i == fail_at_ || i >= records_.size()) return kIoError;
    *out = records_[i].data;
    return kOk;
  }
  int Record(size_t i, std::vector<uint8_t>* out) const override {
    if (i == fail_at_ || i >= records_.size()) return kIoError;
    *out = records_[i].data;
    return kOk;
  }
  int DupRanks(size_t key, std::vector<uint32_t>* ranks, std::vector<uint32_t>* previous,
               std::string*) const override {
    previous->assign(records_.size(), kNoRecord);
    ranks->clear();
    for (const FakeRecord& r : records_) ranks->push_back(r.dup_rank.at(key));
    return kOk;
  }
  FileSpec spec_;
  LegacyInfo info_;
  std::vector<FakeRecord> records_;
  std::vector<uint32_t> addresses_;
  size_t fail_at_;
};

// Opens of files not ours are counted and answered: refused with `why_` when
// set, else by a source over the fixture's records; then the real reader again.
class LegacyOpen : public ::testing::Test {
 protected:
  LegacyOpen() {
    std::ofstream(path_, std::ios::binary) << kOldBytes;
    SetLegacyOpenerForTesting(
        [this](const std::string&, std::unique_ptr<LegacySource>* out, std::string* reason) {
          ++calls_;
          *reason = why_;
          if (!why_.empty()) return refusal_;
          *out = std::make_unique<FakeSource>(spec_, info_, records_, fail_at_);
          return int{kOk};
        });
  }
  ~LegacyOpen() override {
    (void)b_.Close();
    SetLegacyOpenerForTesting({});
  }

  static constexpr char kOldBytes[] = "an old engine's file";  // no SQLite database
  int calls_ = 0, refusal_ = 0;
  std::string why_;
  FileSpec spec_;
  LegacyInfo info_;
  std::vector<FakeRecord> records_;
  size_t fail_at_ = SIZE_MAX;
  ScratchDir dir_;
  std::string path_ = dir_.File("OLD.DAT");
  Block b_;
};

TEST_F(LegacyOpen, RefusalsAndDamageCarryAReason) {
  for (int status : {kIoError, kNotOurFile}) {
    refusal_ = status;
    why_ = "refused with " + std::to_string(status);
    EXPECT_EQ(b_.Open(path_, -2), status);
    EXPECT_EQ(LastOpenDiagnosis(), why_);
  }
  // SQLite files never reach the reader: one not of ours is refused with a
  // reason; ours opens and clears the reason.
  std::ofstream(dir_.File("other.db")) << std::string("SQLite format 3\0", 16) << "other";
  EXPECT_EQ(b_.Open(dir_.File("other.db")), kNotOurFile);
  EXPECT_NE(LastOpenDiagnosis(), "");
  ASSERT_EQ(b_.Create(dir_.File("ours.btr"), MakeSpec(8, {{{1, 4, 0, kTypeInteger}}})), 0);
  ASSERT_EQ(b_.Open(dir_.File("ours.btr")), 0);
  EXPECT_EQ(LastOpenDiagnosis(), "");
  EXPECT_EQ(calls_, 2);
  // Damage is an I/O error with a reason: records out of order when the file
  // opens, a key that cannot be indexed when it is first used.
  ASSERT_EQ(b_.Close(), 0);
  why_.clear();
  // What, the key's position, records (address, length), where reading fails,
  // whether the open already refuses.
  const std::tuple<const char*, int, std::vector<std::pair<uint32_t, size_t>>, size_t, bool>
      kCases[] = {{"a record cannot be read", 1, {{10, 8}, {20, 8}, {30, 8}}, 2, false},
                  {"addresses out of order", 1, {{10, 8}, {30, 8}, {20, 8}}, SIZE_MAX, true},
                  {"an address twice", 1, {{10, 8}, {10, 8}}, SIZE_MAX, true},
                  {"a record cut short", 1, {{10, 8}, {20, 7}}, SIZE_MAX, false},
                  {"a key past the record", 6, {{10, 8}}, SIZE_MAX, false}};
  for (const auto& [what, key_at, lengths, fail_at, at_open] : kCases) {
    ASSERT_EQ(ParseFileSpec(MakeSpec(8, {{{1, 4, 0, kTypeInteger}}}), &spec_), 0);
    spec_.keys[0].segments[0].position = key_at;
    records_.clear();
    for (const auto& [address, length] : lengths) {
      records_.push_back({address, std::vector<uint8_t>(length, uint8_t(records_.size())), {0}});
    }
    fail_at_ = fail_at;
    std::vector<uint8_t> r;
    ASSERT_EQ(b_.Open(path_), at_open ? kIoError : kOk) << what;
    if (!at_open) {
      EXPECT_EQ(b_.Read(kOpGetFirst, &r, 0), kIoError) << what;
      EXPECT_EQ(b_.Read(kOpGetLast, &r, 0), kIoError) << what << ": refused again";
      ASSERT_EQ(b_.Close(), 0);
    }
    EXPECT_NE(LastOpenDiagnosis(), "") << what;
  }
}

// Records of 32 bytes: id INTEGER 4 (key 0); name STRING 6 (key 1, dup, no
// case); level INTEGER 2 (key 2, dup, descending, null when 0); code STRING 4
// (key 3, dup, reversed ACS); amount UNSIGNED 4 + tag ZSTRING 4 (key 4); payload.
constexpr size_t kCount = 90;
constexpr int kKeys = 5;

struct Sample {
  int32_t id;
  std::string name;
  int16_t level;
  std::string code;
  uint32_t amount;
  std::string tag;
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> r(32, '#');
    std::memcpy(r.data(), &id, 4);
    std::memcpy(r.data() + 4, (name + "      ").data(), 6);
    std::memcpy(r.data() + 10, &level, 2);
    std::memcpy(r.data() + 12, code.data(), 4);
    std::memcpy(r.data() + 16, &amount, 4);
    std::memcpy(r.data() + 20, tag.c_str(), tag.size() + 1);  // then junk
    return r;
  }
};

// Key order on the decoded values; equal values are duplicates.
bool Less(int key, const Sample& a, const Sample& b) {
  auto upper = [](unsigned char x, unsigned char y) { return std::toupper(x) < std::toupper(y); };
  switch (key) {
    case 0: return a.id < b.id;
    case 1: return std::ranges::lexicographical_compare(a.name, b.name, upper);
    case 2: return a.level > b.level;  // descending
    case 3: return a.code > b.code;    // the ACS reverses byte order
    default: return a.amount != b.amount ? a.amount < b.amount : a.tag < b.tag;
  }
}

class LegacyFile : public LegacyOpen {
 protected:
  void SetUp() override {
    static const char* kNames[] = {"alpha", "ALPHA", "Alpha", "beta", "BETA",
                                   "gamma", "delta", "Delta", "omega", "b"};
    static const int16_t kLevels[] = {0, -3, 5, 5, 12, -3, 0, 7, -100, 12};
    static const char* kCodes[] = {"AB  ", "AC  ", "ZZ  ", "ab  ", "B   "};
    static const char* kTags[] = {"x", "xy", "", "abc"};
    std::vector<uint8_t> raw =
        MakeSpec(32, {{{1, 4, 0, kTypeInteger}},
                      {{5, 6, kKeyDup | kKeyNoCase, kTypeString}},
                      {{11, 2, kKeyDup | kKeyDescending | kKeyNullAll, kTypeInteger, 0}},
                      {{13, 4, kKeyDup | kKeyAlternate, kTypeString}},
                      {{17, 4, 0, kTypeUnsignedBinary}, {21, 4, 0, kTypeZstring}}},
                 0, 2048);
    const std::vector<uint8_t> acs = ReverseAcs("REVERSE");
    raw.insert(raw.end(), acs.begin(), acs.end());
    ASSERT_EQ(ParseFileSpec(raw, &spec_), 0);
    for (size_t i = 0; i < kCount; ++i) {
      samples_.push_back({static_cast<int32_t>((i * 7919) % 1000) - 500, kNames[(i * 3) % 10],
                          kLevels[(i * 7) % 10], kCodes[(i * 11) % 5],
                          static_cast<uint32_t>((i * 37) % 97) * 3 + 1, kTags[i % 4]});
      addresses_.push_back(static_cast<uint32_t>(0x800 + i * 0x40 + (i % 3) * 4));
      // Chain ranks in insertion order, read big-endian over all four bytes.
      const uint32_t rank = Stamp(i) << 24 | (0xFF - Stamp(i)) * 0x010101u;
      records_.push_back({addresses_[i], samples_[i].Bytes(), std::vector<uint32_t>(kKeys, rank)});
    }
    ASSERT_EQ(b_.Open(path_, -2), 0);
  }

  static uint32_t Stamp(size_t i) { return (i * 53) % kCount; }  // insertion order
  // Record numbers in the order of `key`, null keys left out: the reference.
  std::vector<size_t> Order(int key) const {
    std::vector<size_t> order;
    for (size_t i = 0; i < kCount; ++i) {
      if (key != 2 || samples_[i].level != 0) order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      const Sample &x = samples_[a], &y = samples_[b];
      return Less(key, x, y) || (!Less(key, y, x) && Stamp(a) < Stamp(b));
    });
    return order;
  }
  // Record numbers `first`, then `next`, visit on `key`, each read checked.
  std::vector<size_t> Walk(int first, int next, int key) {
    std::vector<size_t> seen;
    std::vector<uint8_t> r;
    for (int st = b_.Read(first, &r, key); st == 0 && seen.size() <= kCount;
         st = b_.Read(next, &r, key)) {
      seen.push_back(std::find(addresses_.begin(), addresses_.end(), b_.Position()) -
                     addresses_.begin());
      EXPECT_TRUE(seen.back() < kCount && r == samples_[seen.back()].Bytes());
    }
    return seen;
  }

  std::vector<Sample> samples_;
  std::vector<uint32_t> addresses_;
};

TEST_F(LegacyFile, KeysWalkInTheReferenceOrderAndStepsByAddress) {
  for (int key = 0; key < kKeys; ++key) {
    EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, key), Order(key)) << "key " << key;
  }
  std::vector<size_t> expected(kCount);
  std::iota(expected.begin(), expected.end(), 0);
  EXPECT_EQ(Walk(kOpStepFirst, kOpStepNext, 0), expected);
  std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(Walk(kOpStepLast, kOpStepPrevious, 0), expected);
}

// Bounds of every length, cut inside the value or the sequence or longer than
// an entry, as the engine's searches send them; -1 is the physical order.
TEST_F(LegacyFile, IndexSearchesMatchALinearSearch) {
  std::shared_ptr<LegacyIndex> index;
  ASSERT_EQ(LegacyIndex::Create(std::make_shared<FakeSource>(spec_, info_, records_, SIZE_MAX),
                                &index, nullptr), 0);
  for (int num = -1; num < kKeys; ++num) {
    uint32_t count = 0, below = 0;
    ASSERT_EQ(index->CountOf(num, &count), 0);
    std::vector<Entry> entries(count);
    for (uint32_t r = 0; r < count; ++r) ASSERT_EQ(index->EntryAt(num, r, &entries[r]), 0);
    if (num < 0) {  // ranks of addresses
      EXPECT_EQ(count, kCount);
      for (uint32_t r = 0; r < count; ++r) {
        EXPECT_TRUE(index->RankBelow(num, "", addresses_[r], &below) == kOk && below == r &&
                    entries[r].pos == addresses_[r]) << r;
      }
      continue;
    }
    const KeyDef& key = spec_.keys[num];
    const std::vector<size_t> order = Order(num);
    ASSERT_EQ(count, order.size());
    uint32_t distinct = 1;
    for (size_t j = 1; j < count; ++j) {
      distinct += Less(num, samples_[order[j - 1]], samples_[order[j]]);
    }
    std::vector<uint32_t> per_key;
    ASSERT_EQ(index->DistinctValues(&per_key), 0);
    EXPECT_EQ(per_key[num], distinct) << num;
    std::vector<std::string> bounds = {std::string(), std::string(40, '\xFF')};
    for (const Entry& e : entries) {
      EXPECT_EQ(e.k.size(), key.length() + (key.duplicates() ? kDupSuffixSize : 0));
      Entry back;
      EXPECT_TRUE(index->EntryOf(num, e.pos, &back) == kOk && back.k == e.k);
      for (size_t n = 0; n <= e.k.size(); ++n) {
        bounds.push_back(e.k.substr(0, n));
        if (n > 0) bounds.push_back(e.k.substr(0, n - 1) + static_cast<char>(e.k[n - 1] + 1));
      }
      bounds.push_back(e.k + '\0');
    }
    for (const std::string& b : bounds) {
      int64_t ge = 0, gt = 0;
      while (ge < count && entries[ge].k < b) ++ge;
      while (gt < count && entries[gt].k <= b) ++gt;
      const std::pair<Seek, int64_t> kCases[] = {{Seek::kFirst, 0},  {Seek::kLast, count - 1LL},
                                                 {Seek::kAtLeast, ge}, {Seek::kAbove, gt},
                                                 {Seek::kAtMost, gt - 1}, {Seek::kBelow, ge - 1}};
      for (const auto& [seek, at] : kCases) {
        Entry got;
        const bool found = at >= 0 && at < count;
        ASSERT_EQ(index->Find(num, seek, b, &got), found ? kOk : kEndOfFile);
        EXPECT_TRUE(!found || (got.k == entries[at].k && got.pos == entries[at].pos));
      }
      ASSERT_EQ(index->RankBelow(num, b, 0, &below), 0);
      EXPECT_EQ(below, ge);
    }
  }
  Entry none;  // record 0's key 2 is null: no entry
  EXPECT_EQ(index->EntryOf(2, addresses_[0], &none), kKeyNotFound);
}

TEST_F(LegacyFile, WritesAreRefusedAndChangeNothing) {
  std::vector<uint8_t> r;
  ASSERT_EQ(b_.Read(kOpGetFirst + kBiasSingleWait, &r, 0), 0);  // locking reads succeed
  std::vector<uint8_t> changed = r, fresh = Sample{999, "new", 1, "NEW ", 5000, "n"}.Bytes();
  changed[30] ^= 0xFF;
  std::vector<uint8_t> owner = {'O', 'W', 'N', 'E', 'R', 0}, none,  // and a STRING key:
                       index = {25, 0, 4, 0, 0, kKeyExtType >> 8, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0};
  const std::pair<int, std::vector<uint8_t>*> kWrites[] = {
      {kOpInsert, &fresh},       {kOpUpdate, &changed},   {kOpDelete, &none},
      {kOpInsertExtended, &fresh}, {kOpCreateIndex, &index}, {kOpDropIndex, &none},
      {kOpSetOwner, &owner}};
  for (const auto& [op, data] : kWrites) {
    b_.SetKey(&samples_[Order(0).front()].id, 4);
    ASSERT_EQ(b_.Read(kOpGetEqual, &r, 0), 0);  // positioned for Update and Delete
    if (op == kOpSetOwner) b_.SetKey(owner.data(), owner.size());
    EXPECT_EQ(b_.Write(op, *data, op == kOpDropIndex), kAccessDenied) << "op " << op;
  }
  ASSERT_EQ(b_.Write(kOpBeginTransaction, none, 0), 0);  // an insert in a transaction too
  EXPECT_EQ(b_.Write(kOpInsert, fresh, 0), kAccessDenied);
  EXPECT_EQ(b_.Write(kOpEndTransaction, none, 0), 0);
  // Every record as it was, under its address, and the file's bytes too.
  EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, 1), Order(1));  // key 1 has every record
  std::ifstream in(path_, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), kOldBytes);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
