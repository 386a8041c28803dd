// A data file of typed fields for the extended operation tests, a builder of
// filter and extractor descriptors, and a reader of the returned buffer.
//   0  id     INTEGER 4   key 0, unique, modifiable
//   4  name   STRING 8    key 1, duplicates, modifiable
//   12 score  FLOAT 8
//   20 born   DATE 4
//   24 city   ZSTRING 8
//   32 level  INTEGER 2
//   34 alias  STRING 8
//   42 (6 bytes unused)
#pragma once

#include <functional>

#include "btrieve_test_util.h"

namespace tavelnor::btrieve::testing {

inline constexpr uint16_t kPersonLen = 48;

struct Person {
  int32_t id;
  std::string name;
  double score;
  int year, month, day;
  std::string city;  // written NUL-ended, then junk
  int16_t level;
  std::string alias;
};

inline std::vector<uint8_t> Bytes(const Person& p) {
  std::vector<uint8_t> r(kPersonLen, 0);
  std::memcpy(r.data(), &p.id, 4);
  std::memset(r.data() + 4, ' ', 8);
  std::memcpy(r.data() + 4, p.name.data(), std::min<size_t>(8, p.name.size()));
  std::memcpy(r.data() + 12, &p.score, 8);
  r[20] = static_cast<uint8_t>(p.day);
  r[21] = static_cast<uint8_t>(p.month);
  r[22] = static_cast<uint8_t>(p.year);
  r[23] = static_cast<uint8_t>(p.year >> 8);
  std::memset(r.data() + 24, 'Q', 8);  // junk after the terminator
  std::memcpy(r.data() + 24, p.city.c_str(), std::min<size_t>(7, p.city.size()) + 1);
  std::memcpy(r.data() + 32, &p.level, 2);
  std::memset(r.data() + 34, ' ', 8);
  std::memcpy(r.data() + 34, p.alias.data(), std::min<size_t>(8, p.alias.size()));
  return r;
}

// Connectors and comparisons of filter terms.
inline constexpr uint8_t kAnd = 1, kOr = 2, kLast = 0;
inline constexpr uint8_t kEq = 1, kGt = 2, kLt = 3, kNe = 4, kGe = 5, kLe = 6;

// One filter term as a caller writes it.
struct Term {
  uint8_t type;
  uint16_t length;
  uint16_t offset;
  uint8_t comparison;
  uint8_t connector;
  std::vector<uint8_t> value;  // the constant, another field's offset (+64), then any ACS
};

inline std::vector<uint8_t> Int(int64_t v, size_t n) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
  return b;
}
inline std::vector<uint8_t> Text(const std::string& s, size_t n, char pad = ' ') {
  std::vector<uint8_t> b(n, static_cast<uint8_t>(pad));
  std::memcpy(b.data(), s.data(), std::min(n, s.size()));
  return b;
}
inline std::vector<uint8_t> Float(double v) {
  std::vector<uint8_t> b(8);
  std::memcpy(b.data(), &v, 8);
  return b;
}

// The whole input structure; the header length is filled in.
inline std::vector<uint8_t> Request(const std::vector<Term>& terms,
                                    const std::vector<std::pair<uint16_t, uint16_t>>& fields,
                                    uint16_t wanted = 100, uint16_t max_reject = 0,
                                    const char* sig = "EG") {
  std::vector<uint8_t> out = {0, 0, static_cast<uint8_t>(sig[0]), static_cast<uint8_t>(sig[1])};
  auto u16 = [&out](uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  u16(max_reject);
  u16(static_cast<uint16_t>(terms.size()));
  for (const Term& t : terms) {
    out.push_back(t.type);
    u16(t.length);
    u16(t.offset);
    out.push_back(t.comparison);
    out.push_back(t.connector);
    out.insert(out.end(), t.value.begin(), t.value.end());
  }
  u16(wanted);
  u16(static_cast<uint16_t>(fields.size()));
  for (auto [length, offset] : fields) {
    u16(length);
    u16(offset);
  }
  out[0] = static_cast<uint8_t>(out.size());
  out[1] = static_cast<uint8_t>(out.size() >> 8);
  return out;
}

struct Returned {
  uint32_t pos;
  std::vector<uint8_t> image;
  int32_t Id() const {
    int32_t id = 0;
    std::memcpy(&id, image.data(), std::min<size_t>(4, image.size()));
    return id;
  }
};

// Runs an extended operation; `out` gets the records returned. Statuses 0, 9,
// 60 and 64 come with records; 22 only when `short_field_stop` says that the
// walk stopped at a record too short for its fields.
inline int16_t Extended(Block& b, int op, const std::vector<uint8_t>& request, int key_num,
                        std::vector<Returned>* out, size_t capacity = 8192,
                        bool short_field_stop = false) {
  std::vector<uint8_t> buf(std::max(capacity, request.size()));
  std::memcpy(buf.data(), request.data(), request.size());
  b.len = static_cast<uint32_t>(capacity);
  const int16_t st = b.Call(op, buf.data(), &b.len, key_num);
  out->clear();
  if (st != 0 && st != kEndOfFile && st != kRejectCountReached && st != kFilterLimitReached &&
      !(st == kDataBufferTooShort && short_field_stop)) {
    return st;
  }
  if (b.len < 2) return st;
  const uint16_t count = static_cast<uint16_t>(buf[0] | (buf[1] << 8));
  size_t at = 2;
  for (uint16_t i = 0; i < count && at + 6 <= b.len; ++i) {
    const size_t n = buf[at] | (buf[at + 1] << 8);
    Returned r;
    std::memcpy(&r.pos, buf.data() + at + 2, 4);
    r.image.assign(buf.begin() + at + 6, buf.begin() + at + 6 + n);
    out->push_back(std::move(r));
    at += 6 + n;
  }
  EXPECT_EQ(at, b.len) << "returned length";
  return st;
}

inline std::vector<int32_t> Ids(const std::vector<Returned>& rs) {
  std::vector<int32_t> ids;
  for (const Returned& r : rs) ids.push_back(r.Id());
  return ids;
}

class People : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("people.btr");
    ASSERT_EQ(
        b_.Create(path_, MakeSpec(kPersonLen, {{{1, 4, kKeyModifiable, kTypeInteger}},
                                               {{5, 8, kKeyDup | kKeyModifiable, kTypeString}}})),
        0);
    ASSERT_EQ(b_.Open(path_), 0);
    people_ = {
        {1, "ann", 3.5, 1999, 12, 31, "Paris", 5, "ann"},
        {2, "Bob", -2.25, 2000, 1, 1, "Lyon", -3, "bob"},
        {3, "carl", 0.0, 1980, 6, 15, "Paris", 0, "karl"},
        {4, "bob", 10.0, 2000, 2, 29, "Nice", 12, "bob"},
        {5, "dora", -1.5, 2001, 3, 1, "Pa", -1, "dora"},
        {6, "BOB", 1e6, 1970, 1, 2, "Parisien", 7, "B"},
        {7, "eve", -100.0, 2000, 3, 1, "Paris", -32768, "eve"},
        {8, "ann", 2.0, 1999, 1, 30, "", 32767, "anne"},
        {9, "fred", -1.5, 1850, 11, 11, "Paris", 1, "fred"},
        {10, "gus", 7.25, 2020, 2, 2, "Lille", -7, "x"},
        {11, "ann", -0.0, 2000, 2, 28, "paris", 3, "ann"},
        {12, "hal", 4.0, 1999, 12, 30, "Nantes", 2, "hal"},
    };
    for (const Person& p : people_) {
      auto r = Bytes(p);
      ASSERT_EQ(b_.Write(kOpInsert, r, 0), 0) << p.id;
      positions_.push_back(b_.Position());
    }
  }
  void TearDown() override { (void)b_.Close(); }

  // Ids of the people that pass `keep`, in physical (insertion) order.
  std::vector<int32_t> Expected(const std::function<bool(const Person&)>& keep) const {
    std::vector<int32_t> ids;
    for (const Person& p : people_) {
      if (keep(p)) ids.push_back(p.id);
    }
    return ids;
  }
  int16_t StepFirst() {
    std::vector<uint8_t> r;
    return b_.Read(kOpStepFirst, &r, 0);
  }
  int32_t ReadId(int op, int key_num) {
    std::vector<uint8_t> r;
    int16_t st = b_.Read(op, &r, key_num);
    return st == 0 ? static_cast<int32_t>(r[0] | (r[1] << 8) | (r[2] << 16) | (r[3] << 24))
                   : -1000 - st;
  }
  int32_t GetEqual(int32_t id) {
    auto k = Int(id, 4);
    b_.SetKey(k.data(), 4);
    return ReadId(kOpGetEqual, 0);
  }

  ScratchDir dir_;
  std::string path_;
  Block b_;
  std::vector<Person> people_;
  std::vector<uint32_t> positions_;
};

}  // namespace tavelnor::btrieve::testing
