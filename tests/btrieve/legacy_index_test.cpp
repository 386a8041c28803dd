// A file of an earlier record manager through the call interface: every key's
// order against a reference sort of the decoded field values (duplicates in
// chain order, null keys left out, descending, case-insensitive and ACS
// keys), searches, steps, addresses, percentages, an extended step, Stat,
// and writes refused with the file left as it was.
//
// Records (32 bytes): 0 id INTEGER 4 (key 0, unique); 4 name STRING 6 (key
// 1, dup, case-insensitive); 10 level INTEGER 2 (key 2, dup, descending,
// null when 0); 12 code STRING 4 (key 3, dup, reversed ACS); 16 amount
// UNSIGNED BINARY 4 + 20 tag ZSTRING 4 (key 4, unique); 24 payload.
#include <fstream>
#include <functional>
#include <iterator>

#include "extended_fixture.h"
#include "legacy_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

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
    std::vector<uint8_t> r(32, 0);
    std::memcpy(r.data(), &id, 4);
    std::memset(r.data() + 4, ' ', 6);
    std::memcpy(r.data() + 4, name.data(), std::min<size_t>(6, name.size()));
    std::memcpy(r.data() + 10, &level, 2);
    std::memcpy(r.data() + 12, code.data(), 4);
    std::memcpy(r.data() + 16, &amount, 4);
    std::memset(r.data() + 20, '#', 4);  // junk after the terminator
    std::memcpy(r.data() + 20, tag.c_str(), tag.size() + 1);
    for (size_t i = 24; i < 32; ++i) r[i] = static_cast<uint8_t>(id * 7 + i);
    return r;
  }
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Key order on the decoded values; equal values are duplicates.
bool Less(int key, const Sample& a, const Sample& b) {
  switch (key) {
    case 0: return a.id < b.id;
    case 1: return Upper(a.name) < Upper(b.name);
    case 2: return a.level > b.level;  // descending
    case 3: return a.code > b.code;    // the ACS reverses byte order
    default: return a.amount != b.amount ? a.amount < b.amount : a.tag < b.tag;
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
      samples_.push_back({static_cast<int32_t>((i * 7919) % 1000) - 500, kNames[(i * 3) % 10],
                          kLevels[(i * 7) % 10], kCodes[(i * 11) % 5],
                          static_cast<uint32_t>((i * 37) % 97) * 3 + 1, kTags[i % 4]});
      addresses_.push_back(static_cast<uint32_t>(0x800 + i * 0x40 + (i % 3) * 4));
      stamps_.push_back(static_cast<uint32_t>((i * 53) % kCount));  // insertion order
    }
    std::vector<uint8_t> raw =
        MakeSpec(32, {{{1, 4, 0, kTypeInteger}},
                      {{5, 6, kKeyDup | kKeyNoCase, kTypeString}},
                      {{11, 2, kKeyDup | kKeyDescending | kKeyNullAll, kTypeInteger, 0}},
                      {{13, 4, kKeyDup | kKeyAlternate, kTypeString}},
                      {{17, 4, 0, kTypeUnsignedBinary}, {21, 4, 0, kTypeZstring}}},
                 0, 2048);
    std::vector<uint8_t> acs = ReverseAcs("REVERSE");
    raw.insert(raw.end(), acs.begin(), acs.end());
    ASSERT_EQ(ParseFileSpec(raw, &spec_), 0);
    std::vector<FakeRecord> records;
    for (size_t i = 0; i < kCount; ++i) {
      records.push_back({addresses_[i], samples_[i].Bytes(), {}});
      for (int k = 0; k < kKeys; ++k) records.back().dup_rank.push_back(Rank(k, i));
    }
    LegacyInfo info;
    info.major = 6;
    info.record_count = kCount;
    info.file_size = 1 << 20;
    opener_.Serve(spec_, info, records);
    // Bytes that are no SQLite database, to see that nothing writes them.
    path_ = dir_.File("OLD.DAT");
    std::ofstream(path_, std::ios::binary) << "an old engine's file";
    before_ = Contents();
    ASSERT_EQ(b_.Open(path_, -2), 0);
  }
  void TearDown() override { (void)b_.Close(); }

  // The record's rank among the records of equal value on `key`.
  uint32_t Rank(int key, size_t i) const {
    uint32_t rank = 0;
    for (size_t j = 0; j < kCount; ++j) {
      const Sample &a = samples_[i], &b = samples_[j];
      if (!Less(key, a, b) && !Less(key, b, a) && stamps_[j] < stamps_[i]) ++rank;
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
      if (Less(key, samples_[a], samples_[b]) || Less(key, samples_[b], samples_[a])) {
        return Less(key, samples_[a], samples_[b]);
      }
      return stamps_[a] < stamps_[b];
    });
    return order;
  }
  std::vector<uint32_t> AddressesOf(const std::vector<size_t>& order) const {
    std::vector<uint32_t> out;
    for (size_t i : order) out.push_back(addresses_[i]);
    return out;
  }
  size_t NumberAt(uint32_t address) const {
    return static_cast<size_t>(std::find(addresses_.begin(), addresses_.end(), address) -
                               addresses_.begin());
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
  // Addresses a walk of `first`, then `next`, visits on `key`; each record
  // read must be the one at its address.
  std::vector<uint32_t> Walk(int first, int next, int key) {
    std::vector<uint32_t> seen;
    std::vector<uint8_t> r;
    for (int st = b_.Read(first, &r, key); st == 0 && seen.size() <= kCount;
         st = b_.Read(next, &r, key)) {
      seen.push_back(b_.Position());
      const size_t n = NumberAt(seen.back());
      EXPECT_TRUE(n < kCount && r == samples_[n].Bytes());
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

TEST_F(LegacyFile, KeysWalkInTheReferenceOrderAndStepsByAddress) {
  for (int key = 0; key < kKeys; ++key) {
    std::vector<uint32_t> expected = AddressesOf(Order(key));
    EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, key), expected) << "key " << key;
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(Walk(kOpGetLast, kOpGetPrevious, key), expected) << "key " << key;
  }
  EXPECT_LT(Order(2).size(), kCount);  // null keys were left out
  std::vector<uint32_t> expected = addresses_;
  EXPECT_EQ(Walk(kOpStepFirst, kOpStepNext, 0), expected);
  std::reverse(expected.begin(), expected.end());
  EXPECT_EQ(Walk(kOpStepLast, kOpStepPrevious, 0), expected);
}

TEST_F(LegacyFile, SearchesLandWhereTheReferenceSays) {
  std::vector<Sample> probes = samples_;
  for (Sample p : samples_) {  // values between and beyond the stored ones
    p.id += 1;
    p.level = static_cast<int16_t>(p.level + 1);
    p.name += "z";
    p.code = "AA  ";
    p.amount += 1;
    probes.push_back(p);
  }
  const struct {
    int op;
    bool after, strict;  // first entry at/after the value, or last one before it
  } kCases[] = {{kOpGetGreaterOrEqual, true, false}, {kOpGetGreater, true, true},
                {kOpGetLessOrEqual, false, false},   {kOpGetLess, false, true},
                {kOpGetEqual, true, false}};
  for (int key = 0; key < kKeys; ++key) {
    const std::vector<size_t> order = Order(key);
    for (size_t n = 0; n < probes.size(); n += 3) {
      const Sample& p = probes[n];
      if (Null(key, p)) continue;
      for (const auto& c : kCases) {
        // The reference answer: the record number, or minus the status.
        int64_t want = c.op == kOpGetEqual ? -kKeyNotFound : -kEndOfFile;
        for (size_t j = 0; j < order.size(); ++j) {
          const Sample& e = samples_[order[c.after ? j : order.size() - 1 - j]];
          const bool beyond = c.after ? (c.strict ? Less(key, p, e) : !Less(key, e, p))
                                      : (c.strict ? Less(key, e, p) : !Less(key, p, e));
          if (!beyond) continue;
          if (c.op != kOpGetEqual || !Less(key, p, e)) {
            want = static_cast<int64_t>(order[c.after ? j : order.size() - 1 - j]);
          }
          break;
        }
        std::vector<uint8_t> k = KeyOf(key, p);
        b_.SetKey(k.data(), k.size());
        std::vector<uint8_t> r;
        const int16_t st = b_.Read(c.op, &r, key);
        const int64_t got = st != 0 ? -st : static_cast<int64_t>(NumberAt(b_.Position()));
        ASSERT_EQ(got, want) << "key " << key << " op " << c.op << " probe " << n;
      }
    }
  }
}

TEST_F(LegacyFile, GetDirectTakesTheRealAddresses) {
  const std::vector<size_t> order = Order(1);
  const size_t mid = order[order.size() / 2];
  auto direct = [&](uint32_t address, int key, std::vector<uint8_t>* out) {
    out->assign(64, 0);
    std::memcpy(out->data(), &address, 4);
    b_.len = 64;
    int16_t st = b_.Call(kOpGetDirect, out->data(), &b_.len, key);
    if (st == 0) out->resize(b_.len);
    return st;
  };
  std::vector<uint8_t> r;
  ASSERT_EQ(direct(addresses_[mid], 1, &r), 0);
  EXPECT_EQ(r, samples_[mid].Bytes());
  ASSERT_EQ(b_.Read(kOpGetNext, &r, 1), 0);  // logically current on key 1 since
  EXPECT_EQ(b_.Position(), addresses_[order[order.size() / 2 + 1]]);
  EXPECT_EQ(direct(addresses_[mid] + 1, 1, &r), kInvalidRecordAddress);  // inside a record
  const auto null = std::find_if(samples_.begin(), samples_.end(),
                                 [](const Sample& s) { return s.level == 0; });
  EXPECT_EQ(direct(addresses_[null - samples_.begin()], 2, &r), kInvalidKeyPath);
}

TEST_F(LegacyFile, PercentagesCountRanksOnKeysAndAddresses) {
  const std::vector<size_t> order = Order(0);
  for (size_t rank = 0; rank < order.size(); rank += 7) {
    std::vector<uint8_t> k = KeyOf(0, samples_[order[rank]]);
    b_.SetKey(k.data(), k.size());
    uint8_t data[64] = {};
    b_.len = 4;
    ASSERT_EQ(b_.Call(kOpFindPercentage, data, &b_.len, 0), 0);
    EXPECT_EQ(data[0] | (data[1] << 8), rank * 10000 / (order.size() - 1)) << rank;
    b_.len = 64;  // and back to the same record
    ASSERT_EQ(b_.Call(kOpGetByPercentage, data, &b_.len, 0), 0);
    EXPECT_EQ(b_.Position(), addresses_[order[rank]]);
    std::memcpy(data, &addresses_[rank], 4);  // physical order: the address's rank
    b_.len = 4;
    ASSERT_EQ(b_.Call(kOpFindPercentage, data, &b_.len, -1), 0);
    EXPECT_EQ(data[0] | (data[1] << 8), rank * 10000 / (kCount - 1));
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
  EXPECT_EQ(stat[6] | (stat[7] << 8) | (stat[8] << 16), static_cast<int>(kCount));
  const uint8_t* seg = stat.data() + 16;
  for (int key = 0; key < kKeys; ++key) {
    const std::vector<size_t> order = Order(key);
    int distinct = 0;
    for (size_t j = 0; j < order.size(); ++j) {
      distinct += j == 0 || Less(key, samples_[order[j - 1]], samples_[order[j]]);
    }
    EXPECT_EQ(seg[6] | (seg[7] << 8) | (seg[8] << 16), distinct) << key;
    seg += 16 * spec_.keys[key].segments.size();
  }
}

TEST_F(LegacyFile, WritesAreRefusedAndChangeNothing) {
  std::vector<uint8_t> r;
  ASSERT_EQ(b_.Read(kOpGetFirst + kBiasSingleWait, &r, 0), 0);  // locking reads succeed
  const uint32_t first = b_.Position();
  std::vector<uint8_t> changed = r, fresh = Sample{999, "new", 1, "NEW ", 5000, "n"}.Bytes();
  changed[30] ^= 0xFF;
  std::vector<uint8_t> index(16, 0);  // a STRING key over the payload
  index[0] = 25;
  index[2] = 4;
  index[5] = kKeyExtType >> 8;
  index[14] = 5;
  char owner[] = "OWNER";
  auto call = [&](int op, void* data, size_t len, int key) {
    b_.len = static_cast<uint32_t>(len);
    return b_.Call(op, data, &b_.len, key);
  };
  const struct {
    const char* what;
    std::function<int16_t()> call;
  } kWrites[] = {
      {"insert", [&] { return b_.Write(kOpInsert, fresh, 0); }},
      {"update", [&] { return b_.Write(kOpUpdate, changed, 0); }},
      {"delete", [&] { return call(kOpDelete, nullptr, 0, 0); }},
      {"insert extended", [&] { return call(kOpInsertExtended, fresh.data(), fresh.size(), 0); }},
      {"create index", [&] { return call(kOpCreateIndex, index.data(), index.size(), 0); }},
      {"drop index", [&] { return call(kOpDropIndex, nullptr, 0, 1); }},
      {"set owner", [&] { return call(kOpSetOwner, owner, sizeof owner, 0); }},
      {"insert in a transaction",
       [&] {
         EXPECT_EQ(call(kOpBeginTransaction, nullptr, 0, 0), 0);
         int16_t st = b_.Write(kOpInsert, fresh, 0);
         EXPECT_EQ(call(kOpEndTransaction, nullptr, 0, 0), 0);
         return st;
       }},
  };
  const std::vector<uint8_t> lowest = KeyOf(0, samples_[Order(0).front()]);
  for (const auto& w : kWrites) {
    b_.SetKey(lowest.data(), lowest.size());
    ASSERT_EQ(b_.Read(kOpGetEqual, &r, 0), 0);  // positioned for Update and Delete
    ASSERT_EQ(b_.Position(), first);
    if (std::string(w.what) == "set owner") b_.SetKey(owner, sizeof owner);
    EXPECT_EQ(w.call(), kAccessDenied) << w.what;
  }
  // Every record as it was, under its address, and the file's bytes too.
  EXPECT_EQ(Walk(kOpStepFirst, kOpStepNext, 0), addresses_);
  EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, 1), AddressesOf(Order(1)));
  EXPECT_EQ(Contents(), before_);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
