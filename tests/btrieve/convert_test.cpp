// Converting files of earlier engines into our own: the real samples and
// synthetic files read back through the call interface exactly as the
// originals do (every key both ways, Get Equal, Step, Get Position, Get
// Direct, Stat), the new file takes writes, the original is never touched,
// and every refusal or failure leaves no new file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "btrieve/convert.h"
#include "btrieve/data_file.h"
#include "btrieve/open_diagnosis.h"
#include "btrieve/sqlite_data_file.h"
#include "btrieve_test_util.h"
#include "legacy_synth.h"

namespace tavelnor::btrieve::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr size_t kCapacity = 8192;  // above every record of the samples

std::string Hex(const uint8_t* p, size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < n; ++i) out += {kDigits[p[i] >> 4], kDigits[p[i] & 15]};
  return out;
}
std::string Hex(const Bytes& b) { return Hex(b.data(), b.size()); }

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

size_t FilesIn(const fs::path& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

// Get Direct of the record at `pos` on key `key`, into `rec`.
int Direct(Block& b, uint32_t pos, int key, Bytes* rec) {
  rec->assign(kCapacity, 0);
  std::memcpy(rec->data(), &pos, 4);  // little-endian, as Get Position gives it
  b.len = kCapacity;
  const int st = b.Call(kOpGetDirect, rec->data(), &b.len, key);
  rec->resize(st == 0 ? b.len : 0);
  return st;
}

// The full integrity check of one of our files finds nothing.
void ExpectSound(DataFile& file) {
  std::vector<std::string> findings;
  EXPECT_EQ(file.Check(&findings), 0);
  EXPECT_TRUE(findings.empty()) << findings.front();
}

// Everything the call interface answers about `path`, opened read-only, one
// line per call: Stat; per key Get First/Next, Get Last/Previous and Get
// Equal of each value met, each with its status, position, record and key
// value; Step both ways; Get Direct of every position on every key.
std::vector<std::string> Transcript(const std::string& path) {
  std::unique_ptr<DataFile> file;
  EXPECT_EQ(DataFile::Open(path, &file), 0) << path;
  if (file == nullptr) return {};
  const FileSpec spec = file->spec();
  file.reset();
  std::vector<std::string> out;
  Block b;
  EXPECT_EQ(b.Open(path, -2), 0) << path;
  out.push_back("stat " + Hex(b.Stat(-1)));
  Bytes rec;
  auto note = [&](const char* what, int st, const KeyDef* key) {
    std::string line = std::string(what) + " " + std::to_string(st);
    if (st == 0) {
      line += " @" + std::to_string(b.Position()) + " " + Hex(rec);
      if (key != nullptr) line += " key " + Hex(b.key, key->length());
    }
    out.push_back(std::move(line));
    return st;
  };
  for (const KeyDef& key : spec.keys) {
    std::vector<Bytes> values;
    for (int op = kOpGetFirst; note("next", b.Read(op, &rec, key.number, kCapacity), &key) == 0;
         op = kOpGetNext) {
      values.emplace_back(b.key, b.key + key.length());
    }
    for (int op = kOpGetLast; note("prev", b.Read(op, &rec, key.number, kCapacity), &key) == 0;
         op = kOpGetPrevious) {
    }
    for (const Bytes& value : values) {
      b.SetKey(value.data(), value.size());
      note("equal", b.Read(kOpGetEqual, &rec, key.number, kCapacity), &key);
    }
  }
  std::vector<uint32_t> positions;
  for (int op = kOpStepFirst; note("step", b.Read(op, &rec, 0, kCapacity), nullptr) == 0;
       op = kOpStepNext) {
    positions.push_back(b.Position());
  }
  for (int op = kOpStepLast; note("back", b.Read(op, &rec, 0, kCapacity), nullptr) == 0;
       op = kOpStepPrevious) {
  }
  for (uint32_t pos : positions) {
    for (const KeyDef& key : spec.keys) note("direct", Direct(b, pos, key.number, &rec), &key);
  }
  EXPECT_EQ(b.Close(), 0);
  return out;
}

// Converts `from` into `to` and expects both to answer alike, the new file
// to pass the full check, and `from` to stay as it was.
void ExpectFaithfulCopy(const std::string& from, const std::string& to) {
  SCOPED_TRACE(from);
  const std::string before = Contents(from);
  ConvertSummary summary;
  std::string reason;
  ASSERT_EQ(ConvertDataFile(from, to, &summary, &reason), 0) << reason;
  std::unique_ptr<DataFile> old_file, new_file;
  ASSERT_EQ(DataFile::Open(from, &old_file), 0);
  ASSERT_EQ(DataFile::Open(to, &new_file), 0);
  EXPECT_TRUE(new_file->writable());
  uint32_t count = 0;
  ASSERT_EQ(old_file->RecordCount(&count), 0);
  EXPECT_EQ(summary.records, count);
  EXPECT_EQ(summary.keys, old_file->spec().keys.size());
  ExpectSound(*new_file);
  old_file.reset(), new_file.reset();
  const std::vector<std::string> want = Transcript(from), got = Transcript(to);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << "call " << i;
  EXPECT_EQ(Contents(from), before);
}

fs::path RealFiles() {
  const char* data = std::getenv("TAVELNOR_TEST_DATA");
  return (data ? fs::path(data) : fs::path(TAVELNOR_SOURCE_DIR) / "tests" / "data") / ".." /
         ".." / ".." / "shared" / "fixtures" / "btrieve-real";
}

TEST(Convert, RealFilesAnswerAsBefore) {
  const fs::path root = RealFiles();
  if (!fs::is_directory(root)) GTEST_SKIP() << "no real data files at " << root;
  ScratchDir dir;
  size_t converted = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
    ExpectFaithfulCopy(entry.path().string(),
                       dir.File(entry.path().parent_path().filename().string() + "-" +
                                entry.path().filename().string()));
    ++converted;
  }
  EXPECT_GE(converted, 12u);
}

// 60 variable-length records: key 0 an AUTOINCREMENT id, key 1 a name through a
// collating sequence with duplicates, key 2 a modifiable integer with
// duplicates; two deleted slots; inserted in an order other than the
// physical one, so that both duplicate chains differ from address order.
synth::SynthFile Sample() {
  static const char* const kNames[] = {"apple", "Banana", "cherry", "Date", "elder"};
  synth::SynthFile f;
  f.record_length = 16;
  f.variable = true;
  f.acs.push_back(synth::UpperCaseAcs("UPPER"));
  const uint16_t ext = kKeyExtType;
  f.keys = {{{{0, 4, ext, kTypeAutoIncrement}}},
            {{{4, 8, ext | kKeyDup | kKeyAlternate, kTypeString}}},
            {{{12, 2, ext | kKeyDup | kKeyModifiable, kTypeInteger}}}};
  for (size_t i = 0; i < 60; ++i) {
    Bytes r(16 + (i * 7) % 40, static_cast<uint8_t>(i));
    std::memset(&r[4], 0, 8);
    std::memcpy(&r[4], kNames[i % 5], std::strlen(kNames[i % 5]));
    const uint32_t id = 1000 + static_cast<uint32_t>(i) * 3;
    std::memcpy(&r[0], &id, 4);
    r[12] = static_cast<uint8_t>(i % 4), r[13] = 0;
    f.records.push_back(std::move(r));
  }
  f.deleted = {7, 33};
  for (size_t i = 0; i < 60; ++i) f.inserted.push_back(i % 2 ? 59 - i / 2 : i / 2);
  return f;
}

TEST(Convert, SyntheticFilesKeepDuplicateOrderAndTakeWrites) {
  ScratchDir dir;
  fs::create_directories(dir.File("old"));
  for (auto write : {synth::WriteVersion5, synth::WriteVersion6}) {
    const synth::SynthFile f = Sample();
    const synth::Written w = write(f);
    const std::string from = dir.File(write == synth::WriteVersion5 ? "old/V5.DAT" : "old/V6.DAT");
    const std::string to = from.substr(0, from.size() - 4) + "-NEW.DAT";
    WriteFile(from, w.image);
    const std::string before = Contents(from);
    ExpectFaithfulCopy(from, to);

    // Duplicates of each name follow the insertion order, not the addresses.
    auto upper = [](const uint8_t* name) {
      std::string out(reinterpret_cast<const char*>(name));
      for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return out;
    };
    std::map<std::string, std::vector<uint32_t>> want;
    for (size_t r : f.inserted) {
      if (r != 7 && r != 33) want[upper(&f.records[r][4])].push_back(w.addresses[r]);
    }
    Block b;
    Bytes rec;
    auto chains = [&] {
      std::map<std::string, std::vector<uint32_t>> got;
      for (int op = kOpGetFirst; b.Read(op, &rec, 1, kCapacity) == 0; op = kOpGetNext) {
        got[upper(&rec[4])].push_back(b.Position());
      }
      return got;
    };
    ASSERT_EQ(b.Open(to), 0);
    EXPECT_EQ(chains(), want);
    EXPECT_FALSE(std::is_sorted(want["APPLE"].begin(), want["APPLE"].end()));

    // Writes: a new duplicate goes after the old ones, at a new position,
    // numbered after the highest id (1177); an update moves a record along
    // key 2; a delete frees its position.
    Bytes added(20, 0xAB);
    std::memset(&added[0], 0, 12);
    std::memcpy(&added[4], "CHERRY", 6);
    added[12] = 9, added[13] = 0;
    ASSERT_EQ(b.Write(kOpInsert, added, 1), 0);
    const uint32_t added_at = b.Position(), next_id = 1178;
    EXPECT_GT(added_at, *std::max_element(w.addresses.begin(), w.addresses.end()));
    want["CHERRY"].push_back(added_at);
    EXPECT_EQ(chains(), want);
    b.SetKey(&next_id, 4);
    ASSERT_EQ(b.Read(kOpGetEqual, &rec, 0, kCapacity), 0);
    EXPECT_EQ(b.Position(), added_at);
    std::memcpy(&added[0], &f.records[0][0], 4);  // the first record's id
    EXPECT_EQ(b.Write(kOpInsert, added, 0), kDuplicateKey);

    Bytes changed;
    ASSERT_EQ(Direct(b, w.addresses[10], 2, &changed), 0);
    changed[12] = 7;
    changed.push_back(0x55);
    ASSERT_EQ(b.Write(kOpUpdate, changed, 2), 0);
    const uint16_t seven = 7;
    b.SetKey(&seven, 2);
    ASSERT_EQ(b.Read(kOpGetEqual, &rec, 2, kCapacity), 0);
    EXPECT_EQ(rec, changed);
    EXPECT_EQ(b.Position(), w.addresses[10]);

    ASSERT_EQ(b.Read(kOpStepFirst, &rec, 0, kCapacity), 0);
    const uint32_t first = b.Position();
    ASSERT_EQ(b.Write(kOpDelete, rec, 0), 0);
    EXPECT_EQ(Direct(b, first, 0, &rec), kInvalidRecordAddress);
    EXPECT_EQ(b.Close(), 0);

    std::unique_ptr<DataFile> file;
    ASSERT_EQ(DataFile::Open(to, &file), 0);
    ExpectSound(*file);
    EXPECT_EQ(Contents(from), before);
  }
  EXPECT_EQ(FilesIn(dir.File("old")), 4u);  // the two originals and the two copies
}

// A source whose third record cannot be read: the failure comes half way.
struct FailingSource : LegacySource {
  FailingSource(FileSpec spec, std::vector<Bytes> records)
      : spec_(std::move(spec)), records_(std::move(records)) {
    for (size_t i = 0; i < records_.size(); ++i) addresses_.push_back(Address(i));
  }
  const FileSpec& spec() const override { return spec_; }
  const LegacyInfo& info() const override { return info_; }
  const std::vector<uint32_t>& addresses() const override { return addresses_; }
  int Fixed(size_t i, std::span<const uint8_t>* out) const override {
    *out = records_.at(i);
    return kOk;
  }
  int Record(size_t i, std::vector<uint8_t>* data) const override {
    if (i == 2) return kIoError;
    *data = records_.at(i);
    return kOk;
  }
  int DupRanks(size_t, std::vector<uint32_t>* ranks, std::vector<uint32_t>* previous,
               std::string*) const override {
    ranks->assign(records_.size(), 0);
    previous->assign(records_.size(), kNoRecord);
    return kOk;
  }
  static uint32_t Address(size_t i) { return static_cast<uint32_t>(100 * (i + 1)); }
  FileSpec spec_;
  LegacyInfo info_;
  std::vector<Bytes> records_;
  std::vector<uint32_t> addresses_;
};

TEST(Convert, RefusalsAndFailuresLeaveNoNewFile) {
  ScratchDir dir;
  const std::string to = dir.File("NEW.DAT");
  ConvertSummary summary;
  std::string reason;
  auto convert = [&](const std::string& from) {
    reason.clear();
    return ConvertDataFile(from, to, &summary, &reason);
  };
  // Missing and unreadable originals, with the reader's reason.
  EXPECT_EQ(convert(dir.File("MISSING.DAT")), kFileNotFound);
  WriteFile(dir.File("GARBLED.DAT"), Bytes(2048, 0x7F));
  EXPECT_EQ(convert(dir.File("GARBLED.DAT")), kNotOurFile);
  EXPECT_NE(reason.find("GARBLED.DAT: "), std::string::npos) << reason;
  EXPECT_GT(reason.size(), dir.File("GARBLED.DAT: ").size()) << reason;

  // A unique key holding a value twice: damage, named, nothing written.
  synth::SynthFile f = Sample();
  f.records[20].resize(30);
  std::memcpy(&f.records[20][0], &f.records[40][0], 4);
  WriteFile(dir.File("TWINS.DAT"), synth::WriteVersion6(f).image);
  EXPECT_EQ(convert(dir.File("TWINS.DAT")), kIoError);
  EXPECT_NE(reason.find("unique key 0 holds a value twice"), std::string::npos) << reason;

  // An existing target is kept as it was.
  WriteFile(dir.File("OK.DAT"), synth::WriteVersion5(Sample()).image);
  WriteFile(to, Bytes{'k', 'e', 'e', 'p'});
  EXPECT_EQ(convert(dir.File("OK.DAT")), kFileExists);
  EXPECT_EQ(Contents(to), "keep");
  fs::remove(to);
  EXPECT_EQ(FilesIn(dir.File("")), 3u);  // GARBLED, TWINS and OK only

  // A read failing half way: what was written goes, companions included.
  FileSpec spec;
  spec.record_length = 8;
  spec.keys.push_back(KeyDef{0, {Segment{1, 4, kKeyExtType, kTypeInteger, 0, 0, kTypeInteger}}});
  std::vector<Bytes> records;
  for (uint8_t i = 0; i < 5; ++i) records.push_back(Bytes{i, 0, 0, 0, 1, 2, 3, 4});
  SetLegacyOpenerForTesting([&](const std::string&, std::unique_ptr<LegacySource>* out,
                                std::string*) {
    *out = std::make_unique<FailingSource>(spec, records);
    return int{kOk};
  });
  EXPECT_EQ(convert(dir.File("GARBLED.DAT")), kIoError);
  SetLegacyOpenerForTesting({});
  EXPECT_NE(reason.find("past position 200"), std::string::npos) << reason;
  EXPECT_EQ(summary.records, 0u);
  EXPECT_EQ(FilesIn(dir.File("")), 3u);
}

// The import's own checks, each refusal leaving the file as it was.
TEST(Convert, ImportChecksPositionsEntriesAndUniqueValues) {
  ScratchDir dir;
  const std::string path = dir.File("IMPORT.DAT");
  FileSpec spec;
  spec.record_length = 8;
  spec.keys.push_back(KeyDef{0, {Segment{1, 2, kKeyExtType, kTypeInteger, 0, 0, kTypeInteger}}});
  spec.keys.push_back(
      KeyDef{1, {Segment{3, 2, kKeyExtType | kKeyDup | kKeyNullAll, kTypeString, 0}}});
  ASSERT_EQ(SqliteDataFile::Create(path, spec, false), 0);
  std::unique_ptr<DataFile> opened;
  ASSERT_EQ(SqliteDataFile::Open(path, &opened), 0);
  auto& file = static_cast<SqliteDataFile&>(*opened);
  const Bytes a{1, 0, 'x', 'y', 0, 0, 0, 0}, b{2, 0, 0, 0, 0, 0, 0, 0};
  // Entries as DataFile gives them: the encoded key, then the sequence.
  Entry entry;
  ASSERT_EQ(file.BeginImport(), 0);
  const std::string key0_a("\x80\x01", 2), key0_b("\x80\x02", 2);
  const std::string seq1("\0\0\0\0\0\0\0\x01", 8);
  EXPECT_EQ(file.ImportRecord(50, a, {key0_a, "xy" + seq1}), 0);
  EXPECT_EQ(file.ImportRecord(50, b, {key0_b, ""}), kInvalidRecordAddress);
  EXPECT_EQ(file.ImportRecord(60, b, {key0_a, ""}), kIoError);  // not b's own key
  EXPECT_EQ(file.ImportRecord(60, b, {key0_b + "\x01", ""}), kIoError);  // too wide
  EXPECT_EQ(file.ImportRecord(60, b, {key0_b, std::string(10, '\0')}), kIoError);  // null key
  EXPECT_EQ(file.ImportRecord(60, Bytes(7, 0), {key0_b, ""}), kDataBufferTooShort);
  EXPECT_EQ(file.ImportRecord(70, a, {key0_a, "xy" + seq1}), kDuplicateKey);  // both keys
  EXPECT_EQ(file.ImportRecord(60, b, {key0_b, ""}), 0);
  ASSERT_EQ(file.EndImport(true), 0);
  std::vector<uint32_t> distinct;
  ASSERT_EQ(file.DistinctValues(&distinct), 0);
  EXPECT_EQ(distinct, (std::vector<uint32_t>{2, 1}));
  ASSERT_EQ(file.EntryOf(1, 50, &entry), 0);
  EXPECT_EQ(entry.k, "xy" + seq1);
  // A second import into the same file: positions above the 70 handed out
  // to the record refused; a unique value held already.
  ASSERT_EQ(file.BeginImport(), 0);
  EXPECT_EQ(file.ImportRecord(65, b, {key0_b, ""}), kInvalidRecordAddress);
  EXPECT_EQ(file.ImportRecord(90, b, {key0_b, ""}), kDuplicateKey);
  ASSERT_EQ(file.EndImport(false), 0);
  uint32_t count = 0;
  ASSERT_EQ(file.RecordCount(&count), 0);
  EXPECT_EQ(count, 2u);
  ExpectSound(file);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
