// Files that are not ours or are damaged open with a clean status, never a
// crash: missing (12), not a database or a foreign database (30), cut short (2).
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <random>

#include "btrieve/data_file.h"
#include "btrieve/open_diagnosis.h"
#include "foundation/byte_reader.h"
#include "extended_fixture.h"
#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

class FileDamage : public ::testing::Test {
 protected:
  void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Sql(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  // A file with enough records to span many pages.
  std::string Populated() {
    std::string path = dir_.File("full.btr");
    EXPECT_EQ(b_.Create(path, ThreeKeySpec()), 0);
    EXPECT_EQ(b_.Open(path), 0);
    for (int i = 0; i < 200; ++i) {
      auto r = Rec(i, "n" + std::to_string(i % 10), static_cast<int16_t>(i), 0x5A);
      EXPECT_EQ(b_.Write(kOpInsert, r, 0), 0);
    }
    EXPECT_EQ(b_.Close(), 0);
    return path;
  }
  ScratchDir dir_;
  Block b_;
};

TEST_F(FileDamage, ForeignFilesAreNotOurs) {
  std::string path = dir_.File("x.btr");
  EXPECT_EQ(b_.Open(path), kFileNotFound);
  EXPECT_EQ(b_.Open(dir_.File("")), kFileNotFound);
  const std::string contents[] = {"", "hello, this is plain text and not a database at all\n",
                                  std::string(4096, '\0'),
                                  std::string("SQLite format 3\0", 16) + std::string(84, '\xFF')};
  for (const std::string& bytes : contents) {
    WriteFile(path, bytes);
    int16_t st = b_.Open(path);
    EXPECT_EQ(st, kNotOurFile) << bytes.size() << " bytes";
  }
}

TEST_F(FileDamage, OtherDatabasesAndNewerFormatsAreNotOurs) {
  std::string path = dir_.File("other.db");
  std::remove(path.c_str());
  Sql(path, "CREATE TABLE t(x); INSERT INTO t VALUES (1);");
  EXPECT_EQ(b_.Open(path), kNotOurFile);
  Sql(path,
      "CREATE TABLE meta(name TEXT PRIMARY KEY, value); "
      "INSERT INTO meta VALUES ('format', 'something-else'), ('version', 1);");
  EXPECT_EQ(b_.Open(path), kNotOurFile);
  EXPECT_NE(LastOpenDiagnosis().find("something-else"), std::string::npos) << LastOpenDiagnosis();
}

// Open reads the file's own structure -- header, schema, metadata rows --
// and names what it refuses.
TEST_F(FileDamage, OpenChecksTheStructureAndNamesTheFault) {
  const std::string base = dir_.File("base.btr");
  ASSERT_EQ(b_.Create(base, ThreeKeySpec()), 0);
  const std::string bytes = ReadFile(base);
  const struct {
    const char* sql;        // run on a copy, or null
    size_t offset;          // else: a header byte set to `byte`
    char byte;
    int status;
    const char* reason;     // part of LastOpenDiagnosis()
  } kCases[] = {
      {"UPDATE meta SET value = 3 WHERE name = 'version'", 0, 0, kNotOurFile, "format version 3"},
      {"UPDATE meta SET value = 'one' WHERE name = 'version'", 0, 0, kIoError, "format version"},
      {"DELETE FROM meta WHERE name = 'format'", 0, 0, kIoError, "no format name"},
      {"DELETE FROM meta WHERE name = 'spec'", 0, 0, kIoError, "no file description"},
      {"UPDATE meta SET value = x'0102' WHERE name = 'spec'", 0, 0, kIoError, "description"},
      {"DROP INDEX keys_pos", 0, 0, kIoError, "no keys_pos"},
      {"DROP TABLE keys", 0, 0, kIoError, "no keys"},
      {"ALTER TABLE records RENAME TO rows", 0, 0, kIoError, "no records"},
      {"ALTER TABLE records RENAME COLUMN data TO bytes", 0, 0, kIoError, "no such column: data"},
      {nullptr, 16, '\x03', kNotOurFile, "page size"},
      {nullptr, 21, '\x50', kNotOurFile, "page layout"},
      {nullptr, 59, '\x07', kNotOurFile, "text encoding"},
      {nullptr, 31, '\x7F', kIoError, "cut short"},  // more pages than it holds
  };
  const std::string path = dir_.File("copy.btr");
  for (const auto& c : kCases) {
    std::string copy = bytes;
    if (c.sql == nullptr) copy[c.offset] = c.byte;
    WriteFile(path, copy);
    if (c.sql != nullptr) Sql(path, c.sql);
    SCOPED_TRACE(c.sql != nullptr ? c.sql : "header byte " + std::to_string(c.offset));
    EXPECT_EQ(b_.Open(path), c.status);
    EXPECT_NE(LastOpenDiagnosis().find(c.reason), std::string::npos) << LastOpenDiagnosis();
  }
  EXPECT_EQ(b_.Open(base), 0);
  EXPECT_EQ(LastOpenDiagnosis(), "");
  EXPECT_EQ(b_.Close(), 0);
}

TEST_F(FileDamage, TruncatedFilesAreDamaged) {
  std::string path = Populated();
  std::string bytes = ReadFile(path);
  ASSERT_GT(bytes.size(), 8192u);
  for (size_t keep : {bytes.size() / 2, bytes.size() - 4096, size_t{4096}, size_t{100}}) {
    WriteFile(path, bytes.substr(0, keep));
    int16_t st = b_.Open(path);
    EXPECT_EQ(st, kIoError) << " keeping " << keep;
  }
}

// Every walk a reader can make over a damaged copy of a 2,000-record file
// ends: refused at open with a reason, or each walk stops with 9 or an error
// within (records + 1) calls, each record it gives beyond the one before.
class DamagedCopies : public FileDamage {
 protected:
  static constexpr int kRecords = 2000;

  // One walk: `first` then `next` until a status other than 0. The key is -1
  // for physical order.
  struct Walk {
    const char* name;
    int first, next, key;
    bool forward;
  };
  static constexpr Walk kWalks[] = {
      {"Step Next", kOpStepFirst, kOpStepNext, -1, true},
      {"Step Previous", kOpStepLast, kOpStepPrevious, -1, false},
      {"Get Next 0", kOpGetFirst, kOpGetNext, 0, true},
      {"Get Previous 0", kOpGetLast, kOpGetPrevious, 0, false},
      {"Get Next 1", kOpGetFirst, kOpGetNext, 1, true},
      {"Get Previous 1", kOpGetLast, kOpGetPrevious, 1, false},
      {"Get Next 2", kOpGetFirst, kOpGetNext, 2, true},
      {"Get Previous 2", kOpGetLast, kOpGetPrevious, 2, false},
      {"Step Next Extended", kOpStepFirst, kOpStepNextExtended, -1, true},
      {"Get Previous Extended 0", kOpGetLast, kOpGetPreviousExtended, 0, false},
  };

  std::string Build() {
    std::string path = dir_.File("base.btr");
    EXPECT_EQ(b_.Create(path, ThreeKeySpec()), 0);
    EXPECT_EQ(b_.Open(path), 0);
    EXPECT_EQ(b_.Call(kOpBeginTransaction, nullptr, &b_.len, 0), 0);
    for (int i = 0; i < kRecords; ++i) {
      // Ids and codes shuffled against the physical order, names repeating.
      auto r = Rec((i * 7919) % kRecords, "n" + std::to_string(i % 37),
                   static_cast<int16_t>((i * 7907) % kRecords - 1000), static_cast<uint8_t>(i));
      EXPECT_EQ(b_.Write(kOpInsert, r, 0), 0);
    }
    EXPECT_EQ(b_.Call(kOpEndTransaction, nullptr, &b_.len, 0), 0);
    EXPECT_EQ(b_.Close(), 0);
    return path;
  }

  // A place in a walk as a string that sorts in the walk's order: a
  // physical position, or the value of key 0, 1 or 2 given as the key buffer
  // holds it (integers big-endian with the sign flipped, names as they are).
  static std::string Sortable(int key, uint32_t pos, const uint8_t* value) {
    uint32_t v = pos;
    if (key == 1) return std::string(reinterpret_cast<const char*>(value), 4);
    if (key == 0) v = LoadLE32(value) ^ 0x80000000u;
    if (key == 2) v = (value[0] | value[1] << 8) ^ 0x8000u;
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
  }

  // Runs `walk` on the open file: the number of records it gave, or -1 after
  // a failure was reported. Each record must lie beyond the one before in
  // the walk's direction (or at it, on the key with duplicates), and the
  // walk must end within (records + 1) calls. An extended walk takes many
  // records a call, whole, after its first record.
  int RunWalk(const Walk& walk, std::string* end) {
    const bool extended = walk.next >= kOpGetNextExtended && walk.next <= kOpStepPreviousExtended;
    const std::vector<uint8_t> request = Request({}, {{kRecLen, 0}}, 100);
    const int num = std::max(walk.key, 0);
    std::vector<uint8_t> r;
    std::vector<Returned> batch;
    std::vector<std::string> places;
    std::string last;
    int given = 0;
    int st = b_.Read(walk.first, &r, num);
    if (st == 0) places.push_back(Sortable(walk.key, b_.Position(), b_.key));
    for (int calls = 1; !places.empty(); ++calls) {
      for (const std::string& at : places) {
        const int c = at.compare(last);
        const bool back = walk.forward ? c < 0 : c > 0;
        if (++given > 1 && (back || (c == 0 && walk.key != 1))) {
          ADD_FAILURE() << walk.name << " goes back at record " << given;
          return -1;
        }
        last = at;
      }
      places.clear();
      if (st != 0) break;  // an extended call that ended with records
      if (calls > kRecords) {
        ADD_FAILURE() << walk.name << " runs past " << kRecords + 1 << " calls";
        return -1;
      }
      if (extended) {
        st = Extended(b_, walk.next, request, num, &batch);
        for (const Returned& x : batch) {
          const size_t offset = walk.key < 0 ? 0 : 4 * static_cast<size_t>(walk.key);
          if (x.image.size() < offset + 4) continue;
          places.push_back(Sortable(walk.key, x.pos, x.image.data() + offset));
        }
      } else if ((st = b_.Read(walk.next, &r, num)) == 0) {
        places.push_back(Sortable(walk.key, walk.key < 0 ? b_.Position() : 0, b_.key));
      }
    }
    *end = std::to_string(st);
    return given;
  }
};

TEST_F(DamagedCopies, WalksEndWithoutRepeatsOrAreRefused) {
  const std::string base = Build();
  const std::string bytes = ReadFile(base);
  const std::string path = dir_.File("copy.btr");
  WriteFile(path, bytes);
  ASSERT_EQ(b_.Open(path), 0);
  for (const Walk& walk : kWalks) {
    std::string end;
    EXPECT_EQ(RunWalk(walk, &end), kRecords) << walk.name;
    EXPECT_EQ(end, "9") << walk.name;
  }
  ASSERT_EQ(b_.Close(), 0);

  std::map<std::string, int> outcomes;  // printed: how the damage showed
  int checked = 0;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    std::mt19937 rng(seed);
    std::string damaged = bytes;
    const size_t page = 4096, pages = bytes.size() / page;
    switch (seed % 4) {
      case 0:  // a few bytes anywhere
        for (uint32_t i = 1 + rng() % 8; i > 0; --i) {
          damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
        }
        break;
      case 1: {  // a run of zeros anywhere
        const size_t at = rng() % damaged.size();
        const size_t n = std::min<size_t>(1 + rng() % 1024, damaged.size() - at);
        std::fill_n(damaged.begin() + static_cast<std::ptrdiff_t>(at), n, '\0');
        break;
      }
      case 2:  // cut short
        damaged.resize(rng() % damaged.size());
        break;
      default: {  // bytes of one b-tree page past the first
        const size_t at = page * (1 + rng() % (pages - 1));
        for (uint32_t i = 1 + rng() % 4; i > 0; --i) {
          damaged[at + rng() % page] ^= static_cast<char>(1 + rng() % 255);
        }
        break;
      }
    }
    WriteFile(path, damaged);
    SCOPED_TRACE("seed " + std::to_string(seed));
    const int16_t open = b_.Open(path);
    if (open != 0) {
      EXPECT_TRUE(open == kIoError || open == kNotOurFile) << open;
      EXPECT_FALSE(LastOpenDiagnosis().empty()) << "no reason for " << open;
      ++outcomes["refused " + std::to_string(open)];
      continue;
    }
    bool whole = true;
    for (const Walk& walk : kWalks) {
      std::string end;
      const int given = RunWalk(walk, &end);
      if (given < 0) break;
      whole = whole && given == kRecords;
      ++outcomes[(given == kRecords ? "whole, " : "part, ") + end];
    }
    EXPECT_EQ(b_.Close(), 0);
    // What a walk missed, the full check finds (on the first six such
    // copies: it reads every page).
    if (!whole && ++checked <= 6) {
      std::unique_ptr<DataFile> file;
      ASSERT_EQ(DataFile::Open(path, &file), 0);
      std::vector<std::string> findings;
      const int st = file->Check(&findings);
      EXPECT_TRUE(st != 0 || !findings.empty()) << "the check finds nothing";
    }
  }
  std::string summary;
  for (const auto& [outcome, n] : outcomes) summary += outcome + ": " + std::to_string(n) + "; ";
  std::printf("walks of damaged copies: %s\n", summary.c_str());
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
