// Set Owner and Clear Owner: the name guards later opens, fully (modes 0, 2)
// or for writes only (modes 1, 3); bad names and a second owner are refused.
#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

class Owner : public RecordFile {
 protected:
  // Sends `data_name` in the data buffer and `key_name` in the key buffer.
  int16_t SetOwner(const std::string& data_name, const std::string& key_name, int mode) {
    std::vector<char> data(data_name.begin(), data_name.end());
    data.push_back('\0');
    b_.SetKey(key_name.c_str(), key_name.size() + 1);
    b_.len = static_cast<uint32_t>(data.size());
    return b_.Call(kOpSetOwner, data.data(), &b_.len, mode);
  }
  int16_t ClearOwner() {
    b_.len = 0;
    return b_.Call(kOpClearOwner, nullptr, &b_.len, 0);
  }
  int16_t Reopen(const std::string& owner) {
    (void)b_.Close();
    return b_.Open(path_, 0, owner);
  }
};

TEST_F(Owner, NameNeededForEveryAccess) {
  Insert(1, "aa", 1);
  ASSERT_EQ(SetOwner("secret", "secret", 0), 0);
  EXPECT_EQ(SetOwner("other", "other", 0), kOwnerAlreadySet);
  EXPECT_EQ(Reopen(""), kOwnerError);
  EXPECT_EQ(Reopen("Secret"), kOwnerError);
  ASSERT_EQ(Reopen("secret"), 0);
  Insert(2, "bb", 2);
  EXPECT_EQ(Count(), 2u);
}

TEST_F(Owner, ReadOnlyWithoutNameInModeOne) {
  for (int mode : {1, 3}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(Reopen("key"), 0);  // a name for a file without owner is accepted
    ASSERT_EQ(ClearOwner(), 0);
    Insert(10 + mode, "aa", static_cast<int16_t>(mode));
    ASSERT_EQ(SetOwner("key", "key", mode), 0);
    ASSERT_EQ(Reopen(""), 0);
    std::vector<uint8_t> r;
    ASSERT_EQ(b_.Read(kOpGetFirst, &r, 0), 0);  // reading needs no name
    EXPECT_EQ(b_.Write(kOpUpdate, r, 0), kAccessDenied);
    EXPECT_EQ(b_.Call(kOpDelete, nullptr, &b_.len, 0), kAccessDenied);
    auto extra = Rec(99, "zz", 99);
    EXPECT_EQ(b_.Write(kOpInsert, extra, 0), kAccessDenied);
    EXPECT_EQ(ClearOwner(), kAccessDenied);
    EXPECT_EQ(Reopen("wrong"), kOwnerError);  // a wrong name is still refused
    ASSERT_EQ(Reopen("key"), 0);
    EXPECT_EQ(b_.Write(kOpInsert, extra, 0), 0);
    EXPECT_EQ(b_.Call(kOpDelete, nullptr, &b_.len, 0), 0);
  }
}

TEST_F(Owner, BadNamesAndModes) {
  struct Case {
    const char* what;
    std::string data_name, key_name;
    int mode;
    int16_t status;
  };
  const Case cases[] = {
      {"names differ", "secret", "secreT", 0, kOwnerError},
      {"empty", "", "", 0, kOwnerError},
      {"nine characters", "ninechars", "ninechars", 0, kOwnerError},
      {"mode 4", "secret", "secret", 4, kInvalidKeyNumber},
      {"mode -1", "secret", "secret", -1, kInvalidKeyNumber},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SetOwner(c.data_name, c.key_name, c.mode), c.status) << c.what;
  }
  EXPECT_EQ(Reopen(""), 0);  // nothing was set
  // An unterminated name in the data buffer is refused too.
  char data[8];
  std::memcpy(data, "eightchr", 8);
  b_.SetKey("eightchr", 9);
  b_.len = 8;
  EXPECT_EQ(b_.Call(kOpSetOwner, data, &b_.len, 0), kOwnerError);
  EXPECT_EQ(SetOwner("eightchr", "eightchr", 2), 0);  // 8 characters fit
  EXPECT_EQ(Reopen("eightchr"), 0);
}

TEST_F(Owner, ClearOwnerOpensTheFileAgain) {
  EXPECT_EQ(ClearOwner(), 0);  // no owner: nothing to clear
  ASSERT_EQ(SetOwner("secret", "secret", 0), 0);
  ASSERT_EQ(Reopen("secret"), 0);
  ASSERT_EQ(ClearOwner(), 0);
  EXPECT_EQ(Reopen(""), 0);
  EXPECT_EQ(SetOwner("next", "next", 1), 0);  // a new owner may follow
  EXPECT_EQ(Reopen("next"), 0);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
