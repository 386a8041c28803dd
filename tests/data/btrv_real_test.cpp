// The access layer against a real record manager: a file created from a table
// definition, opened, written and read back — through the embedded record
// manager and through the same one loaded as a client library.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "data/btrieve_client.h"
#include "data/btrv_constants.h"
#include "data/btrv_file.h"
#include "data/btrv_test_support.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "record/type_codes.h"

namespace tavelnor::data {
namespace {

using dico::testing::DicoTestBuilder;
using dico::testing::LoadedDico;
using testing::DialogRecorder;
using testing::RegistrySandbox;
using testing::ReportRecorder;
using testing::ScratchFolder;
namespace base = dico::base;

constexpr uint16_t kRecordLength = 24;

// "Articles": Numero (automatic numbering) @0, Code ZSTRING 12 @4 (key with
// duplicates, two segments with Stock), Stock LONG @16, Prix LONG @20.
struct ArticleTable {
  ArticleTable() {
    t = b.AddTable("Articles");
    b.SetWord(t.table, base::kUnitSize, kRecordLength);
    b.SetWord(t.table, 67, 1024);
    const uint32_t numero = b.AddField(t.data, "Numero", record::TYPE_LONG, 4, 0);
    const uint32_t code = b.AddField(t.data, "Code", record::TYPE_ZSTRING, 12, 4);
    const uint32_t stock = b.AddField(t.data, "Stock", record::TYPE_LONG, 4, 16);
    b.AddField(t.data, "Prix", record::TYPE_LONG, 4, 20);
    b.AddTypedSegment(b.AddKey(t.keys, "ParNumero", kKeyAutoNumbering), numero, 0, 4, 0x0100,
            record::TYPE_LONG);
    const uint32_t by_code = b.AddKey(t.keys, "ParCode", 0x0003);
    b.AddTypedSegment(by_code, code, 4, 12, 0x0113, record::TYPE_ZSTRING);
    b.AddTypedSegment(by_code, stock, 16, 4, 0x0103, record::TYPE_LONG);
  }
  DicoTestBuilder b;
  DicoTestBuilder::Table t;
};

struct Article {
  uint8_t bytes[kRecordLength] = {};
  Article() = default;
  Article(int32_t numero, const char* code, int32_t stock, int32_t prix) {
    std::memcpy(bytes, &numero, 4);
    std::strncpy(reinterpret_cast<char*>(bytes + 4), code, 11);
    std::memcpy(bytes + 16, &stock, 4);
    std::memcpy(bytes + 20, &prix, 4);
  }
  int32_t Word(size_t at) const {
    int32_t v;
    std::memcpy(&v, bytes + at, 4);
    return v;
  }
  int32_t numero() const { return Word(0); }
  std::string code() const { return reinterpret_cast<const char*>(bytes + 4); }
  int32_t prix() const { return Word(20); }
};

enum class Through { kEmbedded, kClientLibrary };

class RealRecordManagerTest : public ::testing::TestWithParam<Through> {
 protected:
  void SetUp() override {
    if (GetParam() == Through::kClientLibrary) {
      client_.emplace(RecordManager::Choose(TAVELNOR_TEST_CLIENT_LIBRARY, false));
      ASSERT_EQ(client_->kind(), RecordManager::Kind::kClientLibrary);
      previous_ = ReplaceRecordManager(client_->entries());
    }
  }
  void TearDown() override {
    if (client_) ReplaceRecordManager(previous_);
  }

  // Creates the file from the definition and opens it.
  void CreateAndOpen(BtrvFile& file, const std::string& path) {
    LoadedDico l(table_.b);
    file.SetFileName(Chaine(path));
    ASSERT_EQ(file.BuildCreationSpec(*static_cast<dico::DRubricTable*>(l[table_.t.table]), false),
              0);
    ASSERT_EQ(file.Create(), 0);
    ASSERT_EQ(file.Open(Chaine(path)), 0);
  }

  RegistrySandbox registry_;
  ReportRecorder reports_;
  DialogRecorder dialogs_;
  ScratchFolder folder_;
  ArticleTable table_;
  std::optional<RecordManager> client_;
  RecordManagerEntries previous_;
};

TEST_P(RealRecordManagerTest, CreateOpenInsertAndReadBack) {
  BtrvFile file;
  const std::string path = folder_.Path("ARTICLE.DAT");
  CreateAndOpen(file, path);
  EXPECT_TRUE(file.is_open());
  EXPECT_EQ(file.record_length(), kRecordLength);
  EXPECT_EQ(file.flags(), kBtrvOpen | kBtrvAutoIncrement);
  EXPECT_EQ(file.creation_spec(), nullptr) << "freed by the successful Open";

  uint8_t key[kKeyBufferSize] = {};
  for (const Article& a : {Article(0, "VIS", 5, 120), Article(0, "ECROU", 9, 40),
                           Article(0, "VIS", 2, 125)}) {
    Article copy = a;
    ASSERT_EQ(file.Insert(copy.bytes, kRecordLength, key, 0), 0);
  }
  // Automatic numbering gave 1, 2, 3; by code: ECROU, then VIS/2 before VIS/5.
  Article r;
  ASSERT_EQ(file.Get(btrieve::kOpGetFirst, r.bytes, key, 1), 0);
  EXPECT_EQ(r.code(), "ECROU");
  EXPECT_EQ(r.numero(), 2);
  ASSERT_EQ(file.Get(btrieve::kOpGetNext, r.bytes, key, 1), 0);
  EXPECT_EQ(r.prix(), 125);
  const int32_t position = file.GetPosition();
  ASSERT_NE(position, -1);
  ASSERT_EQ(file.Get(btrieve::kOpGetNext, r.bytes, key, 1), 0);
  EXPECT_EQ(r.prix(), 120);
  EXPECT_EQ(file.Get(btrieve::kOpGetNext, r.bytes, key, 1), 9);

  Article direct;
  ASSERT_EQ(file.GetDirect(position, direct.bytes, key, 0), 0);
  EXPECT_EQ(direct.numero(), 3);
  EXPECT_EQ(file.current_key(), 0);
  ASSERT_EQ(file.GetDirect(position, nullptr, key, 1), 0) << "repositioning only";
  ASSERT_EQ(file.Get(btrieve::kOpGetNext, r.bytes, key, 1), 0);
  EXPECT_EQ(r.prix(), 120) << "the key path continues after the repositioned record";

  std::memset(key, 0, sizeof key);
  const int32_t wanted = 1;
  std::memcpy(key, &wanted, 4);
  ASSERT_EQ(file.Get(btrieve::kOpGetEqual, r.bytes, key, 0), 0);
  EXPECT_EQ(r.code(), "VIS");

  EXPECT_EQ(file.Close(), 0);
  EXPECT_FALSE(file.is_open());
  EXPECT_TRUE(reports_.reports().empty());
}

INSTANTIATE_TEST_SUITE_P(RecordManagers, RealRecordManagerTest,
                         ::testing::Values(Through::kEmbedded, Through::kClientLibrary),
                         [](const auto& info) {
                           return info.param == Through::kEmbedded ? "Embedded" : "ClientLibrary";
                         });

}  // namespace
}  // namespace tavelnor::data
