// Transactions over many files: the files share one connection, so they are
// committed or rolled back together, each still read and locked on its own,
// up to the number of files one transaction can hold.
#include <memory>

#include "two_clients.h"

namespace tavelnor::btrieve::testing {
namespace {

constexpr int kConcurrent = kBiasConcurrent + kOpBeginTransaction;
// The first file, plus the ten SQLite attaches by default.
constexpr int kFilesPerTransaction = 11;

class ManyFiles : public TwoClients {
 protected:
  void SetUp() override {
    TwoClients::SetUp();
    for (int i = 0; i < kFilesPerTransaction + 1; ++i) {
      paths_.push_back(dir_.File("f" + std::to_string(i) + ".btr"));
      Block setup;
      ASSERT_EQ(setup.Create(paths_.back(), ThreeKeySpec()), 0);
      blocks_.push_back(std::make_unique<Block>());
      blocks_.back()->client = x_.bytes;
      ASSERT_EQ(blocks_.back()->Open(paths_.back()), 0);
    }
  }
  // Whether another client finds `id` in file `i`.
  bool Committed(size_t i, int32_t id) {
    Block other;
    other.client = y_.bytes;
    EXPECT_EQ(other.Open(paths_[i]), 0);
    const int16_t st = GetEqual(other, id);
    EXPECT_TRUE(st == 0 || st == kKeyNotFound) << st;
    EXPECT_EQ(other.Close(), 0);
    return st == 0;
  }

  std::vector<std::string> paths_;
  std::vector<std::unique_ptr<Block>> blocks_;
};

TEST_F(ManyFiles, EndCommitsEveryFileAndAFileTooManyGetsItsStatus) {
  ASSERT_EQ(Simple(*blocks_[0], kConcurrent), 0);
  for (int i = 0; i < kFilesPerTransaction; ++i) {
    ASSERT_EQ(Insert(*blocks_[i], 10 + i), 0) << "file " << i;
  }
  EXPECT_EQ(Insert(*blocks_[kFilesPerTransaction], 99), kTransactionFileLimit);
  // The transaction goes on in the files it holds, and reads its own writes.
  ASSERT_EQ(Insert(*blocks_[3], 50), 0);
  for (int i = 0; i < kFilesPerTransaction; ++i) {
    EXPECT_EQ(GetEqual(*blocks_[i], 10 + i), 0) << "file " << i;
    EXPECT_FALSE(Committed(i, 10 + i)) << "file " << i << " seen before End";
  }
  ASSERT_EQ(Simple(*blocks_[0], kOpEndTransaction), 0);
  for (int i = 0; i < kFilesPerTransaction; ++i) EXPECT_TRUE(Committed(i, 10 + i)) << i;
  EXPECT_TRUE(Committed(3, 50));
  EXPECT_FALSE(Committed(kFilesPerTransaction, 99));
  // The next transaction starts over with a connection of its own.
  ASSERT_EQ(Simple(*blocks_[0], kOpBeginTransaction), 0);
  EXPECT_EQ(Insert(*blocks_[kFilesPerTransaction], 99), 0);
  ASSERT_EQ(Simple(*blocks_[0], kOpEndTransaction), 0);
  EXPECT_TRUE(Committed(kFilesPerTransaction, 99));
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
