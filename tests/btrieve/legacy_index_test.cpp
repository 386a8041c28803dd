// Files of an earlier record manager through the call interface: every key's
// order against a reference sort of the decoded field values (duplicates in
// chain order, null keys left out, descending, case-insensitive and ACS
// keys), searches, steps, positions, percentages, an extended get, Stat, and
// writes refused with the file left as it was. The sources are made in
// memory (legacy_fixture.h).
#include <sqlite3.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "extended_fixture.h"
#include "btrieve/key_codec.h"
#include "btrieve/legacy_index.h"
#include "legacy_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

constexpr size_t kCount = 90;
constexpr int kKeys = 5;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Key order on the decoded values; equal values are duplicates.
bool Less(int key, const Sample& a, const Sample& b) {
  switch (key) {
    case 0:
      return a.id < b.id;
    case 1:
      return Upper(a.name) < Upper(b.name);
    case 2:
      return a.level > b.level;  // descending
    case 3:
      return a.code > b.code;  // the ACS reverses byte order
    default:
      return a.amount != b.amount ? a.amount < b.amount : a.tag < b.tag;
  }
}
bool Null(int key, const Sample& s) { return key == 2 && s.level == 0; }

class LegacyFile : public ::testing::Test {
 protected:
  void SetUp() override {
    static const char* kNames[] = {"alpha", "ALPHA", "Alpha", "beta", "BETA",
                                   "gamma", "delta", "Delta", "omega", "b"};
    static const int16_t kLevels[] = {0, -3, 5, 5, 12, -3, 0, 7, -100, 12};
    static const char* kCodes[] = {"AB  ", "AC  ", "ZZ  ", "ab  ", "B   "};
    static const char* kTags[] = {"x", "xy", "", "abc"};
    for (size_t i = 0; i < kCount; ++i) {
      samples_.push_back(Sample{static_cast<int32_t>((i * 7919) % 1000) - 500, kNames[(i * 3) % 10],
                                kLevels[(i * 7) % 10], kCodes[(i * 11) % 5],
                                static_cast<uint32_t>((i * 37) % 97) * 3 + 1, kTags[i % 4]});
      addresses_.push_back(static_cast<uint32_t>(0x800 + i * 0x40 + (i % 3) * 4));
      stamps_.push_back(static_cast<uint32_t>((i * 53) % kCount));  // insertion order
    }
    spec_ = SampleSpec();
    std::vector<FakeRecord> records;
    for (size_t i = 0; i < kCount; ++i) {
      FakeRecord r{addresses_[i], samples_[i].Bytes(), {}};
      for (int k = 0; k < kKeys; ++k) r.dup_rank.push_back(Rank(k, i));
      records.push_back(std::move(r));
    }
    LegacyInfo info;
    info.major = 6;
    info.page_size = spec_.page_size;
    info.record_count = kCount;
    info.file_size = 1 << 20;
    info.physical_length = 50;
    // A file whose bytes are no SQLite database, to see that nothing writes it.
    path_ = dir_.File("OLD.DAT");
    std::ofstream(path_, std::ios::binary) << "not a database of ours, an old engine's file";
    before_ = Contents();
    opener_.Serve(path_, spec_, info, std::move(records));
    ASSERT_EQ(b_.Open(path_, -2), 0);
  }
  void TearDown() override { (void)b_.Close(); }

  // The record's rank among the records of equal value on `key`.
  uint32_t Rank(int key, size_t i) const {
    if (key == 0 || key == 4) return 0;
    uint32_t rank = 0;
    for (size_t j = 0; j < kCount; ++j) {
      const bool same = !Less(key, samples_[i], samples_[j]) && !Less(key, samples_[j], samples_[i]);
      if (same && stamps_[j] < stamps_[i]) ++rank;
    }
    return rank;
  }
  // Record numbers in the order of `key`: the reference sort.
  std::vector<size_t> Order(int key) const {
    std::vector<size_t> order;
    for (size_t i = 0; i < kCount; ++i) {
      if (!Null(key, samples_[i])) order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      if (Less(key, samples_[a], samples_[b])) return true;
      if (Less(key, samples_[b], samples_[a])) return false;
      return stamps_[a] < stamps_[b];
    });
    return order;
  }
  std::vector<uint32_t> AddressesOf(const std::vector<size_t>& order) const {
    std::vector<uint32_t> out;
    for (size_t i : order) out.push_back(addresses_[i]);
    return out;
  }
  // The key buffer of `s` on `key`: its segments cut from the record.
  std::vector<uint8_t> KeyOf(int key, const Sample& s) const {
    std::vector<uint8_t> rec = s.Bytes(), out;
    for (const Segment& seg : spec_.keys[key].segments) {
      out.insert(out.end(), rec.begin() + seg.position - 1,
                 rec.begin() + seg.position - 1 + seg.length);
    }
    return out;
  }
  // Positions a walk of `first`, then `next`, visits on `key`.
  std::vector<uint32_t> Walk(int first, int next, int key) {
    std::vector<uint32_t> seen;
    std::vector<uint8_t> r;
    for (int st = b_.Read(first, &r, key); st == 0; st = b_.Read(next, &r, key)) {
      seen.push_back(b_.Position());
      const auto at = std::find(addresses_.begin(), addresses_.end(), seen.back());
      EXPECT_TRUE(at != addresses_.end() && r == samples_[at - addresses_.begin()].Bytes());
      if (seen.size() > kCount) break;
    }
    return seen;
  }
  std::string Contents() const {
    std::ifstream in(path_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  ScratchDir dir_;
  FakeOpener opener_;
  std::string path_, before_;
  FileSpec spec_;
  std::vector<Sample> samples_;
  std::vector<uint32_t> addresses_, stamps_;
  Block b_;
};

TEST_F(LegacyFile, EveryKeyWalksInTheReferenceOrderBothWays) {
  for (int key = 0; key < kKeys; ++key) {
    std::vector<uint32_t> expected = AddressesOf(Order(key));
    EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, key), expected) << "key " << key;
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(Walk(kOpGetLast, kOpGetPrevious, key), expected) << "key " << key;
  }
  // The null records are left out of key 2 only.
  EXPECT_LT(Order(2).size(), kCount);
}

TEST_F(LegacyFile, StepsFollowTheAddresses) {
  std::vector<uint32_t> expected = addresses_;
  EXPECT_EQ(Walk(kOpStepFirst, kOpStepNext, 0), expected);
  std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(Walk(kOpStepLast, kOpStepPrevious, 0), expected);
}

TEST_F(LegacyFile, SearchesLandWhereTheReferenceSays) {
  std::vector<Sample> probes = samples_;
  for (const Sample& s : samples_) {  // values between and beyond the stored ones
    Sample p = s;
    p.id += 1;
    p.level = static_cast<int16_t>(p.level + 1);
    p.name = p.name + "z";
    p.code = "AA  ";
    p.amount += 1;
    probes.push_back(p);
  }
  const struct {
    int op;
    bool after, strict;  // first entry at/after the value, or last one before it
  } kCases[] = {{kOpGetGreaterOrEqual, true, false},
                {kOpGetGreater, true, true},
                {kOpGetLessOrEqual, false, false},
                {kOpGetLess, false, true},
                {kOpGetEqual, true, false}};
  for (int key = 0; key < kKeys; ++key) {
    const std::vector<size_t> order = Order(key);
    for (size_t n = 0; n < probes.size(); n += 3) {
      const Sample& p = probes[n];
      if (Null(key, p)) continue;
      for (const auto& c : kCases) {
        // The reference answer: the record number, or the status.
        int64_t want = c.op == kOpGetEqual ? -kKeyNotFound : -kEndOfFile;
        for (size_t j = 0; j < order.size(); ++j) {
          const size_t at = c.after ? j : order.size() - 1 - j;
          const Sample& e = samples_[order[at]];
          const bool beyond = c.after ? (c.strict ? Less(key, p, e) : !Less(key, e, p))
                                      : (c.strict ? Less(key, e, p) : !Less(key, p, e));
          if (!beyond) continue;
          if (c.op != kOpGetEqual || !Less(key, p, e)) want = static_cast<int64_t>(order[at]);
          break;
        }
        std::vector<uint8_t> k = KeyOf(key, p);
        b_.SetKey(k.data(), k.size());
        std::vector<uint8_t> r;
        const int16_t st = b_.Read(c.op, &r, key);
        const int64_t got = st != 0 ? -st : std::find(addresses_.begin(), addresses_.end(),
                                                      b_.Position()) - addresses_.begin();
        ASSERT_EQ(got, want) << "key " << key << " op " << c.op << " probe " << n;
      }
    }
  }
}

TEST_F(LegacyFile, PositionsAndGetDirectUseTheRealAddresses) {
  const std::vector<size_t> order = Order(1);
  const size_t mid = order[order.size() / 2];
  std::vector<uint8_t> buf(64, 0);
  std::memcpy(buf.data(), &addresses_[mid], 4);
  b_.len = static_cast<uint32_t>(buf.size());
  ASSERT_EQ(b_.Call(kOpGetDirect, buf.data(), &b_.len, 1), 0);
  buf.resize(b_.len);
  EXPECT_EQ(buf, samples_[mid].Bytes());
  EXPECT_EQ(b_.Position(), addresses_[mid]);
  // Logically current on key 1: Get Next goes on from there.
  std::vector<uint8_t> r;
  ASSERT_EQ(b_.Read(kOpGetNext, &r, 1), 0);
  EXPECT_EQ(b_.Position(), addresses_[order[order.size() / 2 + 1]]);
  // An address inside a record, and a record whose key 2 is null.
  const uint32_t inside = addresses_[mid] + 1;
  std::memcpy(buf.data(), &inside, 4);
  b_.len = 64;
  buf.resize(64);
  EXPECT_EQ(b_.Call(kOpGetDirect, buf.data(), &b_.len, 1), kInvalidRecordAddress);
  const size_t null_one = static_cast<size_t>(
      std::find_if(samples_.begin(), samples_.end(), [](const Sample& s) { return s.level == 0; }) -
      samples_.begin());
  std::memcpy(buf.data(), &addresses_[null_one], 4);
  b_.len = 64;
  EXPECT_EQ(b_.Call(kOpGetDirect, buf.data(), &b_.len, 2), kInvalidKeyPath);
}

TEST_F(LegacyFile, PercentagesCountRanksOnKeysAndAddresses) {
  const std::vector<size_t> order = Order(0);
  for (size_t rank = 0; rank < order.size(); rank += 7) {
    const uint32_t want = static_cast<uint32_t>(rank * 10000 / (order.size() - 1));
    std::vector<uint8_t> k = KeyOf(0, samples_[order[rank]]);
    b_.SetKey(k.data(), k.size());
    uint8_t data[4] = {};
    b_.len = 4;
    ASSERT_EQ(b_.Call(kOpFindPercentage, data, &b_.len, 0), 0);
    EXPECT_EQ(uint32_t{data[0]} | (uint32_t{data[1]} << 8), want) << rank;
    // And back: Get By Percentage lands on the same record.
    std::vector<uint8_t> r(64, 0);
    r[0] = data[0];
    r[1] = data[1];
    b_.len = 64;
    ASSERT_EQ(b_.Call(kOpGetByPercentage, r.data(), &b_.len, 0), 0);
    EXPECT_EQ(b_.Position(), addresses_[order[rank]]);
    // Physical order: the address's rank among the addresses.
    std::memcpy(data, &addresses_[rank], 4);
    b_.len = 4;
    ASSERT_EQ(b_.Call(kOpFindPercentage, data, &b_.len, -1), 0);
    EXPECT_EQ(uint32_t{data[0]} | (uint32_t{data[1]} << 8), rank * 10000 / (kCount - 1));
  }
}

TEST_F(LegacyFile, ExtendedStepsFilterInPhysicalOrder) {
  std::vector<Returned> got;
  auto above4 = Request({{kTypeInteger, 2, 10, kGt, kLast, Int(4, 2)}}, {{4, 0}}, 1000);
  ASSERT_EQ(Extended(b_, kOpStepNextExtended, above4, 0, &got, 16384), kEndOfFile);
  std::vector<int32_t> want_ids;
  std::vector<uint32_t> want_pos, got_pos;
  for (size_t i = 0; i < kCount; ++i) {
    if (samples_[i].level <= 4) continue;
    want_ids.push_back(samples_[i].id);
    want_pos.push_back(addresses_[i]);
  }
  for (const Returned& r : got) got_pos.push_back(r.pos);
  EXPECT_EQ(Ids(got), want_ids);
  EXPECT_EQ(got_pos, want_pos);
}

TEST_F(LegacyFile, StatGivesTheFilesFigures) {
  const std::vector<uint8_t> stat = b_.Stat(0);
  ASSERT_GE(stat.size(), 16u + 16u * spec_.SegmentCount());
  EXPECT_EQ(stat[0] | (stat[1] << 8), 32);
  EXPECT_EQ(stat[2] | (stat[3] << 8), 2048);
  EXPECT_EQ(stat[4], kKeys);
  EXPECT_EQ(uint32_t{stat[6]} | (uint32_t{stat[7]} << 8) | (uint32_t{stat[8]} << 16), kCount);
  size_t seg = 0;
  for (int key = 0; key < kKeys; ++key) {
    const std::vector<size_t> order = Order(key);
    uint32_t distinct = 0;
    for (size_t j = 0; j < order.size(); ++j) {
      if (j == 0 || Less(key, samples_[order[j - 1]], samples_[order[j]])) ++distinct;
    }
    const uint8_t* s = stat.data() + 16 + 16 * seg;
    EXPECT_EQ(uint32_t{s[6]} | (uint32_t{s[7]} << 8) | (uint32_t{s[8]} << 16), distinct) << key;
    seg += spec_.keys[key].segments.size();
  }
}

TEST_F(LegacyFile, WritesAreRefusedAndChangeNothing) {
  std::vector<uint8_t> r;
  ASSERT_EQ(b_.Read(kOpGetFirst + kBiasSingleWait, &r, 0), 0);  // locking reads succeed
  const uint32_t first = b_.Position();
  std::vector<uint8_t> changed = r;
  changed[30] ^= 0xFF;
  std::vector<uint8_t> fresh = Sample{999, "new", 1, "NEW ", 5000, "n"}.Bytes();
  std::vector<uint8_t> index(16, 0);
  index[0] = 25;  // a one-segment STRING key over the payload
  index[2] = 4;
  index[4] = kKeyDup;
  index[5] = kKeyExtType >> 8;
  index[14] = 5;
  const struct {
    const char* what;
    std::function<int16_t()> call;
  } kWrites[] = {
      {"insert", [&] { return b_.Write(kOpInsert, fresh, 0); }},
      {"update", [&] { return b_.Write(kOpUpdate, changed, 0); }},
      {"delete", [&] { return b_.Call(kOpDelete, nullptr, &b_.len, 0); }},
      {"create index",
       [&] {
         b_.len = static_cast<uint32_t>(index.size());
         return b_.Call(kOpCreateIndex, index.data(), &b_.len, 0);
       }},
      {"drop index", [&] { return b_.Call(kOpDropIndex, nullptr, &b_.len, 1); }},
      {"set owner",
       [&] {
         char name[] = "OWNER";
         b_.SetKey(name, sizeof name);
         b_.len = sizeof name;
         return b_.Call(kOpSetOwner, name, &b_.len, 0);
       }},
      {"insert in a transaction",
       [&] {
         b_.len = 0;
         EXPECT_EQ(b_.Call(kOpBeginTransaction, nullptr, &b_.len, 0), 0);
         int16_t st = b_.Write(kOpInsert, fresh, 0);
         b_.len = 0;
         EXPECT_EQ(b_.Call(kOpEndTransaction, nullptr, &b_.len, 0), 0);
         return st;
       }},
  };
  const std::vector<uint8_t> lowest = KeyOf(0, samples_[Order(0).front()]);
  for (const auto& w : kWrites) {
    b_.SetKey(lowest.data(), lowest.size());
    ASSERT_EQ(b_.Read(kOpGetEqual, &r, 0), 0);  // positioned for Update and Delete
    ASSERT_EQ(b_.Position(), first);
    EXPECT_EQ(w.call(), kAccessDenied) << w.what;
  }
  // Every record as it was, under its address, and the file's bytes too.
  EXPECT_EQ(Walk(kOpStepFirst, kOpStepNext, 0), addresses_);
  EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, 1), AddressesOf(Order(1)));
  EXPECT_EQ(Contents(), before_);
}

// Refusals and damage: the status and the reader's reason, on this thread.
class LegacyOpen : public ::testing::Test {
 protected:
  ScratchDir dir_;
  FakeOpener opener_;
  std::string path_ = dir_.File("OLD.DAT");
  Block b_;
  void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
};

TEST_F(LegacyOpen, RefusalsCarryTheReadersReason) {
  Write("garbled");
  opener_.Refuse(path_, kIoError, "compressed records are not read");
  EXPECT_EQ(b_.Open(path_), kIoError);
  EXPECT_EQ(LastOpenDiagnosis(), "compressed records are not read");
  opener_.Refuse(path_, kNotOurFile, "version 9.5 is not read");
  EXPECT_EQ(b_.Open(path_, -2), kNotOurFile);
  EXPECT_EQ(LastOpenDiagnosis(), "version 9.5 is not read");
  // A success clears it.
  ASSERT_EQ(b_.Create(dir_.File("ours.btr"), MakeSpec(8, {{{1, 4, 0, kTypeInteger}}})), 0);
  ASSERT_EQ(b_.Open(dir_.File("ours.btr")), 0);
  EXPECT_EQ(LastOpenDiagnosis(), "");
  EXPECT_EQ(opener_.calls, 2);  // our own files never reach the reader
}

TEST_F(LegacyOpen, ASqliteDatabaseOfAnotherKindIsNotOurs) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1)", nullptr, nullptr,
                         nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  EXPECT_EQ(b_.Open(path_), kNotOurFile);
  EXPECT_EQ(opener_.calls, 0);
  EXPECT_NE(LastOpenDiagnosis(), "");
}

TEST_F(LegacyOpen, DamageFoundWhileIndexingIsAnIoError) {
  Write("old");
  std::vector<uint8_t> raw = MakeSpec(8, {{{1, 4, 0, kTypeInteger}}});
  FileSpec spec;
  ASSERT_EQ(ParseFileSpec(raw, &spec), 0);
  auto rec = [](uint32_t address, uint8_t v, size_t size = 8) {
    return FakeRecord{address, std::vector<uint8_t>(size, v), {0}};
  };
  const struct {
    const char* what;
    std::vector<FakeRecord> records;
    size_t fail_at;
  } kCases[] = {
      {"the scan finds damage", {rec(10, 1), rec(20, 2), rec(30, 3)}, 2},
      {"addresses out of order", {rec(10, 1), rec(30, 2), rec(20, 3)}, SIZE_MAX},
      {"an address twice", {rec(10, 1), rec(10, 2)}, SIZE_MAX},
      {"a record shorter than the record length", {rec(10, 1), rec(20, 2, 7)}, SIZE_MAX},
  };
  for (const auto& c : kCases) {
    opener_.Serve(path_, spec, LegacyInfo{}, c.records);
    opener_.fail_at_ = c.fail_at;
    EXPECT_EQ(b_.Open(path_), kIoError) << c.what;
    EXPECT_NE(LastOpenDiagnosis(), "") << c.what;
  }
  // A key reaching past the record length.
  spec.keys[0].segments[0].position = 6;
  opener_.Serve(path_, spec, LegacyInfo{}, {rec(10, 1)});
  opener_.fail_at_ = SIZE_MAX;
  EXPECT_EQ(b_.Open(path_), kIoError);
}

TEST_F(LegacyOpen, WithoutTheTestsOpenerAForeignFileIsRefusedWithAReason) {
  SetLegacyOpenerForTesting({});
  Write(std::string(4096, '\x5A'));
  EXPECT_NE(b_.Open(path_), kOk);
  EXPECT_NE(LastOpenDiagnosis(), "");
}

}  // namespace
}  // namespace tavelnor::btrieve::testing

namespace tavelnor::btrieve::testing {
namespace {

// The index itself against a brute-force search of its entries, with bounds
// of every length: cut inside the value or the sequence, or longer than an
// entry, as the engine's searches send them.
TEST(LegacyIndexSeek, EverySeekMatchesALinearSearch) {
  std::vector<uint8_t> raw = MakeSpec(8, {{{1, 2, kKeyDup, kTypeString}}, {{3, 2, 0, kTypeInteger}}});
  FileSpec spec;
  ASSERT_EQ(ParseFileSpec(raw, &spec), 0);
  std::vector<FakeRecord> records;
  for (uint32_t i = 0; i < 40; ++i) {
    std::vector<uint8_t> r(8, 0);
    r[0] = static_cast<uint8_t>('a' + i % 3);
    r[1] = static_cast<uint8_t>(i % 2 ? 0 : 0xFF);
    r[2] = static_cast<uint8_t>(i * 5);
    r[3] = static_cast<uint8_t>(i % 4);
    // Ranks reach into every byte of the sequence's low half.
    const uint32_t rank = (i / 6) * 0x01010101u ^ (i % 6);
    records.push_back(FakeRecord{100 + 16 * i, r, {rank, 0}});
  }
  LegacyInfo info;
  info.record_count = 40;
  info.file_size = 4096;
  std::unique_ptr<LegacyIndex> index;
  ASSERT_EQ(LegacyIndex::Build(std::make_unique<FakeSource>(spec, info, records), &index), 0);
  for (int num = 0; num < 2; ++num) {
    uint32_t count = 0;
    ASSERT_EQ(index->CountOf(num, &count), 0);
    ASSERT_EQ(count, 40u);
    std::vector<Entry> entries(count);
    for (uint32_t r = 0; r < count; ++r) {
      ASSERT_EQ(index->EntryAt(num, r, &entries[r]), 0);
      EXPECT_EQ(entries[r].k.size(), num == 0 ? 2 + kDupSuffixSize : size_t{2});
      if (r > 0) {
        EXPECT_LT(entries[r - 1].k, entries[r].k) << r;
      }
      Entry back;
      ASSERT_EQ(index->EntryOf(num, entries[r].pos, &back), 0);
      EXPECT_EQ(back.k, entries[r].k);
    }
    std::vector<std::string> bounds = {std::string(), std::string(12, '\xFF')};
    for (const Entry& e : entries) {
      for (size_t n = 0; n <= e.k.size(); ++n) {
        bounds.push_back(e.k.substr(0, n));
        if (n > 0) {
          std::string up = e.k.substr(0, n);
          up.back() = static_cast<char>(up.back() + 1);
          bounds.push_back(up);
        }
      }
      bounds.push_back(e.k + '\0');
    }
    for (const std::string& b : bounds) {
      // The reference: first index not below / above, last not above / below.
      size_t ge = 0, gt = 0;
      while (ge < count && entries[ge].k < b) ++ge;
      while (gt < count && entries[gt].k <= b) ++gt;
      const struct {
        Seek seek;
        int64_t at;
      } kCases[] = {{Seek::kFirst, 0},
                    {Seek::kLast, count - 1},
                    {Seek::kAtLeast, ge < count ? int64_t(ge) : -1},
                    {Seek::kAbove, gt < count ? int64_t(gt) : -1},
                    {Seek::kAtMost, int64_t(gt) - 1},
                    {Seek::kBelow, int64_t(ge) - 1}};
      for (const auto& c : kCases) {
        Entry got;
        const int st = index->Find(num, c.seek, b, &got);
        if (c.at < 0) {
          EXPECT_EQ(st, kEndOfFile);
        } else {
          ASSERT_EQ(st, 0);
          EXPECT_EQ(got.k, entries[c.at].k);
          EXPECT_EQ(got.pos, entries[c.at].pos);
        }
      }
      uint32_t below = 0;
      ASSERT_EQ(index->RankBelow(num, b, 0, &below), 0);
      EXPECT_EQ(below, ge);
    }
  }
  // Memory: the address, and per key the value, the rank on duplicate keys,
  // the entry's ordinal and the record's place.
  EXPECT_EQ(index->MemoryBytes(), 40 * (4 + (2 + 4 + 8) + (2 + 8)));
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
