// Chaine: sharing and copy on write, pool and heap buffers, the growth rule,
// comparisons and the text operations.
#include "foundation/chaine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/block_pool.h"
#include "foundation/chaine_buffer.h"

namespace tavelnor {
namespace {

uint64_t Allocations() { return chaine_buffer::AllocationCount(); }

TEST(ChaineEmpty, AllEmptyStringsShareOneStaticBuffer) {
  Chaine a;
  Chaine b(static_cast<const char*>(nullptr));
  Chaine c("");
  Chaine d(std::string_view{});
  EXPECT_TRUE(a.SharesBufferWith(b));
  EXPECT_TRUE(a.SharesBufferWith(c));
  EXPECT_TRUE(a.SharesBufferWith(d));
  EXPECT_EQ(a.Capacity(), 0u);
  EXPECT_FALSE(a.IsPoolBlock());
  EXPECT_STREQ(a.c_str(), "");
  const int32_t before = a.RefCount();
  {
    Chaine e;
    EXPECT_EQ(a.RefCount(), before + 1);
  }
  EXPECT_EQ(a.RefCount(), before);
}

TEST(ChaineEmpty, ResultsThatBecomeEmptyReturnToTheStaticBuffer) {
  const Chaine empty;
  Chaine trimmed("   ");
  trimmed.Trim();
  Chaine deleted("aaa");
  deleted.DeleteChars("a");
  Chaine cut("abc");
  cut.Truncate(0);
  Chaine replaced("xx");
  EXPECT_EQ(replaced.Replace("x", ""), 2);
  for (const Chaine* s : {&trimmed, &deleted, &cut, &replaced}) {
    EXPECT_TRUE(s->IsEmpty());
    EXPECT_TRUE(s->SharesBufferWith(empty));
  }
}

// Copy on write: each modifying operation applied to a copy leaves the
// original alone and takes exactly one new buffer.
struct CowCase {
  const char* name;
  std::function<void(Chaine&)> modify;
  std::string expected;
};

void PrintTo(const CowCase& c, std::ostream* os) { *os << c.name; }

class ChaineCopyOnWrite : public testing::TestWithParam<CowCase> {};

TEST_P(ChaineCopyOnWrite, ModifyingACopyLeavesTheOriginal) {
  const std::string original = "  Abc,abc  ";
  Chaine a(original);
  Chaine b = a;
  ASSERT_TRUE(a.SharesBufferWith(b));
  ASSERT_EQ(a.RefCount(), 2);
  const uint64_t before = Allocations();
  GetParam().modify(b);
  EXPECT_EQ(Allocations() - before, 1u);
  EXPECT_EQ(a, original);
  EXPECT_EQ(b.str(), GetParam().expected);
  EXPECT_FALSE(a.SharesBufferWith(b));
  EXPECT_EQ(a.RefCount(), 1);
  EXPECT_EQ(b.RefCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ChaineCopyOnWrite,
    testing::Values(
        CowCase{"Append", [](Chaine& s) { s.Append("!"); }, "  Abc,abc  !"},
        CowCase{"Trim", [](Chaine& s) { s.Trim(); }, "Abc,abc"},
        CowCase{"DeleteChars", [](Chaine& s) { s.DeleteChars(" ,"); }, "Abcabc"},
        CowCase{"ReplaceText", [](Chaine& s) { s.Replace("bc", "Z"); }, "  AZ,aZ  "},
        CowCase{"ReplaceChar", [](Chaine& s) { s.Replace(',', ';'); }, "  Abc;abc  "},
        CowCase{"MakeUpper", [](Chaine& s) { s.MakeUpper(); }, "  ABC,ABC  "},
        CowCase{"Truncate", [](Chaine& s) { s.Truncate(5); }, "  Abc"},
        CowCase{"GetBufferSetLength", [](Chaine& s) { s.GetBufferSetLength(3)[2] = 'X'; }, "  X"}),
    [](const testing::TestParamInfo<CowCase>& info) { return info.param.name; });

TEST(ChaineBuffers, SixtyThreeCharactersUseThePoolSixtyFourTheHeap) {
  BlockPool& pool = SharedBlockPool();
  const size_t in_use = pool.BlocksInUse();
  Chaine s63(std::string(63, 'x'));
  EXPECT_TRUE(s63.IsPoolBlock());
  EXPECT_EQ(s63.Capacity(), 64u);
  EXPECT_EQ(pool.BlocksInUse(), in_use + 1);
  Chaine s64(std::string(64, 'x'));
  EXPECT_FALSE(s64.IsPoolBlock());
  EXPECT_EQ(s64.Capacity(), 65u);  // size 65, odd: heap
  EXPECT_EQ(pool.BlocksInUse(), in_use + 1);
  Chaine s100(std::string(100, 'x'));
  EXPECT_EQ(s100.Capacity(), 101u);  // size 101 is odd already
  Chaine s1("x");
  EXPECT_EQ(s1.Capacity(), 64u);
}

struct GrowthCase {
  size_t size;
  size_t old_capacity;
  size_t expected;
};

TEST(ChaineGrowth, CapacityRule) {
  const GrowthCase cases[] = {
      {10, 0, 10},          {255, 64, 255},       {256, 0, 256 + 32768},
      {256, 200, 400},      {300, 301, 602},      {601, 301, 602},
      {602, 301, 602 + 32768}, {40000, 32767, 65534}, {40000, 32768, 40000 + 32768},
  };
  for (const GrowthCase& c : cases) {
    EXPECT_EQ(chaine_buffer::GrowthCapacity(c.size, c.old_capacity), c.expected)
        << "size " << c.size << " old capacity " << c.old_capacity;
  }
}

TEST(ChaineGrowth, AppendGrowsByTheRuleAndReusesRoomInPlace) {
  Chaine s(std::string(299, 'a'));  // size 300, capacity 301
  ASSERT_EQ(s.Capacity(), 301u);
  s.Append(std::string(50, 'b'));  // needs 350: twice 301
  EXPECT_EQ(s.Capacity(), 603u);
  const char* where = s.c_str();
  const uint64_t before = Allocations();
  s.Append(std::string(200, 'c'));  // 550 fits in 603: in place
  EXPECT_EQ(s.c_str(), where);
  EXPECT_EQ(Allocations(), before);
  EXPECT_EQ(s.Length(), 549u);
  EXPECT_EQ(s[299], 'b');
  EXPECT_EQ(s[548], 'c');

  Chaine small("abc");  // pool block of 64
  small.Append(std::string(300, 'd'));  // needs 304, not below twice 64
  EXPECT_EQ(small.Capacity(), (304u + 32768u) | 1u);

  Chaine edge(std::string(64, 'e'));  // capacity 65
  edge += 'f';                        // needs 66, below 256: exactly that
  EXPECT_EQ(edge.Capacity(), 67u);
}

struct CompareCase {
  std::string a;
  std::string b;
  int plain;
  int no_case;
};

TEST(ChaineCompare, PlainIsUnsignedBytesNoCaseUsesTheUpperTable) {
  const CompareCase cases[] = {
      {"abc", "abc", 0, 0},
      {"abc", "abcd", -1, -1},  // a shorter prefix is smaller
      {"abcd", "abc", 1, 1},
      {"", "", 0, 0},
      {"", "a", -1, -1},
      {"abc", "ABC", 1, 0},
      {"\xE9l\xE8ve", "\xC9L\xC8VE", 1, 0},          // élève / ÉLÈVE
      {"\xE7\xE0 et l\xE0", "\xC7\xC0 ET L\xC0", 1, 0},  // çà et là
      {"\xED", "\xCD", 1, 1},                        // í has no capital in the table
      {"\xFF", "\x7F", 1, 1},                        // unsigned bytes
      {"\xF7", "\xD7", 1, 1},                        // ÷ and × stay apart
      {std::string("a\0b", 3), "a", 1, 1},
  };
  for (const CompareCase& c : cases) {
    const Chaine a(c.a);
    EXPECT_EQ(a.Compare(c.b), c.plain) << c.a << " vs " << c.b;
    EXPECT_EQ(a.CompareNoCase(c.b), c.no_case) << c.a << " vs " << c.b;
    EXPECT_EQ(a.EqualsNoCase(c.b), c.no_case == 0);
    EXPECT_EQ(a == Chaine(c.b), c.plain == 0);
    EXPECT_EQ(a < Chaine(c.b), c.plain < 0);
  }
}

struct EditCase {
  const char* name;
  std::string input;
  std::function<int(Chaine&)> edit;  // returns a count where the edit has one
  std::string expected;
  int expected_count;
};

void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

class ChaineEdit : public testing::TestWithParam<EditCase> {};

TEST_P(ChaineEdit, GivesTheExpectedText) {
  Chaine s(GetParam().input);
  EXPECT_EQ(GetParam().edit(s), GetParam().expected_count);
  EXPECT_EQ(s.str(), GetParam().expected);
  EXPECT_EQ(s.Length(), GetParam().expected.size());
  EXPECT_EQ(s.c_str()[s.Length()], '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChaineEdit,
    testing::Values(
        EditCase{"TrimLeftSet", "xxyhixy", [](Chaine& s) { s.TrimLeft("xy"); return 0; }, "hixy", 0},
        EditCase{"TrimDefault", "\t hi \r\n", [](Chaine& s) { s.Trim(); return 0; }, "hi", 0},
        EditCase{"TrimEmptySet", " a ", [](Chaine& s) { s.Trim(""); return 0; }, " a ", 0},
        EditCase{"DeleteChars", "a-b_c-d", [](Chaine& s) { s.DeleteChars("-_"); return 0; }, "abcd", 0},
        EditCase{"ReplaceLonger", "a.b.c", [](Chaine& s) { return s.Replace(".", "::"); }, "a::b::c", 2},
        EditCase{"ReplaceShorter", "aaaa", [](Chaine& s) { return s.Replace("aa", "b"); }, "bb", 2},
        EditCase{"ReplaceNonOverlapping", "aaa", [](Chaine& s) { return s.Replace("aa", "x"); }, "xa", 1},
        EditCase{"ReplaceEmptyFrom", "abc", [](Chaine& s) { return s.Replace("", "x"); }, "abc", 0},
        EditCase{"ReplaceWithItself", "abab",
                 [](Chaine& s) { return s.Replace(s.view().substr(0, 2), s.view().substr(2, 1)); },
                 "aa", 2},
        EditCase{"AppendSelf", "ab", [](Chaine& s) { s.Append(s.view()); return 0; }, "abab", 0},
        EditCase{"AppendOwnTail", std::string(70, 'q') + "Z",
                 [](Chaine& s) { s.Append(s.view().substr(70)); return 0; },
                 std::string(70, 'q') + "ZZ", 0},
        EditCase{"UpperAccents", "d\xE9j\xE0 \xED\xFF", [](Chaine& s) { s.MakeUpper(); return 0; },
                 "D\xC9J\xC0 \xED\xFF", 0},
        EditCase{"LowerAccents", "\xC9T\xC9 \xD0\xDE", [](Chaine& s) { s.MakeLower(); return 0; },
                 "\xE9t\xE9 \xD0\xDE", 0},
        EditCase{"GrowBufferZeroFills", "ab",
                 [](Chaine& s) { s.GetBufferSetLength(4); return 0; }, std::string("ab\0\0", 4), 0},
        EditCase{"Concat", "ab", [](Chaine& s) { s = s + "cd"; return 0; }, "abcd", 0}),
    [](const testing::TestParamInfo<EditCase>& info) { return info.param.name; });

TEST(ChaineSearch, FindAndSubstrings) {
  const Chaine s("C:\\Data\\File.dat");
  EXPECT_EQ(s.Find('\\'), 2u);
  EXPECT_EQ(s.Find('\\', 3), 7u);
  EXPECT_EQ(s.Find("File"), 8u);
  EXPECT_EQ(s.Find("nope"), Chaine::npos);
  EXPECT_EQ(s.ReverseFind('\\'), 7u);
  EXPECT_EQ(s.ReverseFind('#'), Chaine::npos);
  EXPECT_EQ(s.Left(2), "C:");
  EXPECT_EQ(s.Mid(3, 4), "Data");
  EXPECT_EQ(s.Mid(8), "File.dat");
  EXPECT_TRUE(s.Mid(99).IsEmpty());
  EXPECT_EQ(s.Right(3), "dat");
  EXPECT_TRUE(s.Left(100).SharesBufferWith(s));  // the whole string is shared, not copied
  EXPECT_TRUE(s.Right(100).SharesBufferWith(s));
}

struct CopyToCase {
  std::string text;
  size_t size;
  std::string expected;
  bool complete;
};

TEST(ChaineCopyTo, TruncatesAndAlwaysTerminates) {
  const CopyToCase cases[] = {
      {"hello", 10, "hello", true}, {"hello", 6, "hello", true}, {"hello", 5, "hell", false},
      {"hello", 1, "", false},      {"", 1, "", true},
  };
  for (const CopyToCase& c : cases) {
    char buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    EXPECT_EQ(Chaine(c.text).CopyTo(buffer, c.size), c.complete) << c.text << " in " << c.size;
    EXPECT_EQ(std::string(buffer), c.expected);
    EXPECT_EQ(buffer[c.size], '#') << "wrote past the buffer";
  }
  char untouched = '#';
  EXPECT_FALSE(Chaine("x").CopyTo(&untouched, 0));
  EXPECT_EQ(untouched, '#');
  EXPECT_FALSE(Chaine("x").CopyTo(nullptr, 8));
}

TEST(ChaineThreads, SharedBufferSurvivesConcurrentCopiesAndReleases) {
  const Chaine master("shared between threads");
  BlockPool& pool = SharedBlockPool();
  const size_t in_use = pool.BlocksInUse();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&master, t] {
      for (int i = 0; i < 5000; ++i) {
        Chaine copy = master;
        Chaine second = copy;
        if (i % 7 == t) second.Append("!");  // copy on write away from the shared buffer
        Chaine third;
        third = second;
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(master.RefCount(), 1);
  EXPECT_EQ(master, "shared between threads");
  EXPECT_EQ(pool.BlocksInUse(), in_use);
}

}  // namespace
}  // namespace tavelnor
