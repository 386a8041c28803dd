// Read-only use leaves the user's data folder exactly as it was: our files
// and an earlier engine's, opened in every mode, read through every path,
// Stat'ed and closed. Locks between processes still hold with the data in a
// read-only folder, and every path to a file (hard and symbolic links,
// "dir/../file") shares its locks, within a process and between processes.
// The lock folder is the test's own (TAVELNOR_LOCK_DIR), so the test does
// not depend on who runs it.
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <tuple>

#include "child_roles.h"
#include "foundation/platform/process.h"
#include "foundation/platform/range_locks.h"
#include "legacy_synth.h"
#include "two_clients.h"

namespace tavelnor::btrieve::testing {
namespace {

namespace fs = std::filesystem;

// Name -> size, modification time and contents, of every file under a folder.
using Snapshot = std::map<std::string, std::tuple<uintmax_t, fs::file_time_type, std::string>>;

Snapshot Snap(const fs::path& folder) {
  Snapshot out;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    out[entry.path().string()] = {entry.is_regular_file() ? entry.file_size() : 0,
                                  entry.last_write_time(), bytes};
  }
  return out;
}

// Every read form through `b`: physical order both ways, every key both
// ways, a locking read and its unlock, Stat. Returns the records stepped.
int ReadEverything(Block& b) {
  std::vector<uint8_t> r;
  int records = 0;
  for (int16_t st = b.Read(kOpStepFirst, &r, 0); st == 0; st = b.Read(kOpStepNext, &r, 0)) {
    ++records;
  }
  for (int16_t st = b.Read(kOpStepLast, &r, 0); st == 0; st = b.Read(kOpStepPrevious, &r, 0)) {
  }
  int key = 0;
  for (; b.Read(kOpGetFirst, &r, key) == 0; ++key) {
    while (b.Read(kOpGetNext, &r, key) == 0) {
    }
    EXPECT_EQ(b.Read(kOpGetLast, &r, key), 0);
    while (b.Read(kOpGetPrevious, &r, key) == 0) {
    }
  }
  EXPECT_GT(key, 0) << "no key could be read";
  EXPECT_EQ(b.Read(kOpGetFirst + kBiasSingleNoWait, &r, 0), 0);
  b.len = 0;
  EXPECT_EQ(b.Call(kOpUnlock, nullptr, &b.len, 0), 0);
  (void)b.Stat();
  return records;
}

class ReadOnlyUse : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_locks_ = platform::GetEnv(platform::kLockFolderVar);
    ASSERT_TRUE(platform::SetEnv(platform::kLockFolderVar, locks_.c_str()));
    fs::create_directories(data_);
    fs::create_directories(links_);
    CreateSeeded(ours_);
    if (HasFatalFailure()) return;
    // As in files written before the distinct counts were kept: Stat counts.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(ours_.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "DELETE FROM meta WHERE name LIKE 'distinct:%'", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    // An earlier engine's file: key 0 an integer id, as the children read it.
    synth::SynthFile old;
    old.record_length = kRecLen;
    old.keys = {{{{0, 4, 0, kTypeInteger}}}, {{{4, 4, kKeyDup, kTypeString}}}};
    for (int32_t id = 1; id <= 5; ++id) old.records.push_back(Rec(id, "old", 0));
    const std::vector<uint8_t> image = synth::WriteVersion6(old).image;
    std::ofstream(old_, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  }
  void TearDown() override {
    fs::permissions(data_, fs::perms::owner_all);
    if (previous_locks_) {
      (void)platform::SetEnv(platform::kLockFolderVar, previous_locks_->c_str());
    } else {
      (void)platform::SetEnv(platform::kLockFolderVar, nullptr);
    }
  }

  static std::vector<uint32_t> Counts(Block& b) { return DistinctCounts(b); }

  ScratchDir dir_;
  std::string locks_ = dir_.File("locks");
  std::string data_ = dir_.File("data");
  std::string links_ = dir_.File("links");
  std::string ours_ = data_ + "/OURS.BTR";
  std::string old_ = data_ + "/OLD.DAT";
  std::optional<std::string> previous_locks_;
};

TEST_F(ReadOnlyUse, OpenReadStatAndCloseInEveryModeChangeNothing) {
  const Snapshot before = Snap(data_);
  for (const std::string& path : {ours_, old_}) {
    for (int mode : {0, -1, -2, -3, -4}) {
      Block b;
      ASSERT_EQ(b.Open(path, mode), 0) << path << " mode " << mode;
      EXPECT_EQ(ReadEverything(b), 5) << path << " mode " << mode;
      EXPECT_EQ(b.Close(), 0);
    }
  }
  EXPECT_TRUE(Snap(data_) == before) << "the data folder changed";
  // The counts Stat made up for are right, and follow the file's changes:
  // this connection's, and another connection's (a transaction's).
  Block b, other;
  ASSERT_EQ(b.Open(ours_), 0);
  EXPECT_EQ(Counts(b), (std::vector<uint32_t>{5, 2, 5}));
  auto r = Rec(6, "new", 60);
  ASSERT_EQ(b.Write(kOpInsert, r, 0), 0);
  EXPECT_EQ(Counts(b), (std::vector<uint32_t>{6, 3, 6}));
  ASSERT_EQ(other.Open(ours_), 0);
  other.len = 0;
  ASSERT_EQ(other.Call(kBiasConcurrent + kOpBeginTransaction, nullptr, &other.len, 0), 0);
  r = Rec(7, "more", 70);
  ASSERT_EQ(other.Write(kOpInsert, r, 0), 0);
  ASSERT_EQ(other.Call(kOpEndTransaction, nullptr, &other.len, 0), 0);
  EXPECT_EQ(Counts(b), (std::vector<uint32_t>{7, 4, 7}));
  EXPECT_EQ(other.Close(), 0);
  EXPECT_EQ(b.Close(), 0);
}

TEST_F(ReadOnlyUse, LocksHoldBetweenProcessesAndPathsWithTheDataReadOnly) {
  fs::create_hard_link(ours_, links_ + "/hard.btr");
  fs::create_symlink(old_, links_ + "/soft.dat");
  fs::permissions(data_, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
  const Snapshot before = Snap(data_);
  const std::string dotted = links_ + "/../data/OURS.BTR";
  const std::string lock_op = std::to_string(kOpGetEqual + kBiasSingleNoWait);
  for (const auto& [path, others] :
       {std::pair{ours_, std::vector<std::string>{links_ + "/hard.btr", dotted}},
        std::pair{old_, std::vector<std::string>{links_ + "/soft.dat"}}}) {
    Block holder, rival;
    ClientIdBytes x(1), y(2);
    holder.client = x.bytes;
    rival.client = y.bytes;
    ASSERT_EQ(holder.Open(path, -2), 0);
    holder.SetKey(Rec(2, "", 0).data(), 4);
    std::vector<uint8_t> r;
    ASSERT_EQ(holder.Read(kOpGetEqual + kBiasSingleNoWait, &r, 0), 0);
    EXPECT_EQ(RunChild({"lock", path, "2", lock_op}), kRecordLocked) << path;
    EXPECT_EQ(RunChild({"lock", path, "3", lock_op}), 0) << path;
    for (const std::string& other : others) {
      EXPECT_EQ(RunChild({"lock", other, "2", lock_op}), kRecordLocked) << other;
      ASSERT_EQ(rival.Open(other), 0) << other;
      rival.SetKey(Rec(2, "", 0).data(), 4);
      EXPECT_EQ(rival.Read(kOpGetEqual + kBiasSingleNoWait, &r, 0), kRecordLocked) << other;
      EXPECT_EQ(rival.Close(), 0);
    }
    EXPECT_EQ(holder.Close(), 0);
    EXPECT_EQ(RunChild({"lock", others.back(), "2", lock_op}), 0) << path;
    // The locks were kept in the lock folder, under the file's identity.
    auto identity = platform::FileIdentity(path);
    ASSERT_TRUE(identity.ok());
    EXPECT_TRUE(fs::exists(locks_ + "/" + *identity)) << path;
  }
  EXPECT_TRUE(Snap(data_) == before) << "the data folder changed";
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
