// The exported data functions over a dictionary written to a file and data
// files created beside it: name forms, navigation, key ranges, Locate, raw
// and exchange buffers, and handles that are not what they claim.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "api/handles.h"
#include "data/table_test_dico.h"
#include "tavelnor/zavl.h"

namespace tavelnor::api {
namespace {

using data::testing::ClientRow;
using data::testing::kClientsLength;
using data::testing::NumOf;

// Exchange layout of "Clients": Num 4, Nom 20, Ville 16, Famille 4, the Memo
// memory block (a plain binary blob has no slot).
constexpr uint32_t kExchangeSize = 4 + 20 + 16 + 4 + ZAVL_MEMORY_SLOT_SIZE;
constexpr uint32_t kMemoAt = 44;

class DataFunctionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dico_path_ = folder_.Path("company.dic");
    const std::vector<uint8_t> bytes = company_.b.Bytes();
    std::ofstream(dico_path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ZAVL_Schema* raw = ZAVL_OpenSchema(dico_path_.c_str(), 0);
    ASSERT_NE(raw, nullptr) << ZAVL_GetLastError();
    // Clients 1..5 ("A".."E"), Lyon for the even ones, a memo on client 2;
    // families 1 "Un" and 2 "Deux".
    ZAVL_Data* clients = ZAVL_OpenData(raw, "Clients", 0);
    ASSERT_NE(clients, nullptr) << ZAVL_GetLastError();
    auto* table = static_cast<data::EDataTable*>(CheckData(clients)->dataObject);
    for (int32_t i = 1; i <= 5; ++i) {
      const std::string nom(1, static_cast<char>('A' + i - 1));
      std::vector<uint8_t> row = ClientRow(i, nom.c_str(), i % 2 ? "Paris" : "Lyon", i % 3);
      std::memcpy(table->RecordBuffer(), row.data(), row.size());
      if (i == 2) record::AssignVarPart(table->RecordBuffer() + kMemoAt, "un memo");
      ASSERT_NE(table->Insert(), -1);
    }
    ZAVL_CloseData(clients);
    ZAVL_Data* familles = ZAVL_OpenData(raw, "Familles", 0);
    ASSERT_NE(familles, nullptr);
    auto* ftable = static_cast<data::EDataTable*>(CheckData(familles)->dataObject);
    for (int32_t code : {1, 2}) {
      std::vector<uint8_t> row(32, 0);
      std::memcpy(row.data(), &code, 4);
      std::strcpy(reinterpret_cast<char*>(row.data() + 4), code == 1 ? "Un" : "Deux");
      ASSERT_NE(ftable->InsertFrom(row.data(), row.size()), -1);
    }
    ZAVL_CloseData(familles);
    ZAVL_CloseSchema(raw);
  }
  void TearDown() override {
    if (schema_) ZAVL_CloseSchema(schema_);
  }
  ZAVL_Schema* Schema(uint32_t flags) {
    schema_ = ZAVL_OpenSchema(dico_path_.c_str(), flags);
    EXPECT_NE(schema_, nullptr);
    return schema_;
  }
  static int32_t Rows(ZAVL_Data* d) {
    int32_t n = 0;
    for (int32_t p = ZAVL_GetFirst(d); p != -1; p = ZAVL_GetNext(d)) ++n;
    return n;
  }

  data::testing::RegistrySandbox registry_;
  data::testing::ScratchFolder folder_;
  data::testing::CompanyDico company_;
  std::string dico_path_;
  ZAVL_Schema* schema_ = nullptr;
};

TEST_F(DataFunctionsTest, NamesChooseTheTableOrOneOfTheLists) {
  ZAVL_Schema* s = Schema(0);
  struct Case {
    const char* name;
    int32_t kind;
    int32_t rows;
  };
  for (const Case& c : {Case{"", kKindRubric, 4}, Case{"@", kKindCategory, 0},
                        Case{"#", kKindVariable, 9}, Case{"#@", kKindVariable, 4},
                        Case{"##anything", kKindVariable, 2}, Case{"#Clients", kKindVariable, 6},
                        Case{"Clients", kKindTable, 5}}) {
    ZAVL_Data* d = ZAVL_OpenData(s, c.name, 0);
    ASSERT_NE(d, nullptr) << c.name << " " << ZAVL_GetLastError();
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
    EXPECT_EQ(CheckData(d)->dataKind, c.kind) << c.name;
    EXPECT_EQ(Rows(d), c.rows) << c.name;
    ZAVL_CloseData(d);
  }
  ZAVL_Data* tables = ZAVL_OpenData(s, "", 0);
  ASSERT_EQ(ZAVL_GetFirst(tables), 1);
  EXPECT_STREQ(static_cast<const char*>(ZAVL_GetBuffer(tables)), "Clients");
  ZAVL_CloseData(tables);
  for (const char* refused : {"Nope", "#Nope", "@x"}) {
    EXPECT_EQ(ZAVL_OpenData(s, refused, 0), nullptr) << refused;
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_NOT_A_TABLE) << refused;
  }
  EXPECT_EQ(ZAVL_OpenData(nullptr, "Clients", 0), nullptr);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE);
}

TEST_F(DataFunctionsTest, RawNavigationKeyRangesAndSearches) {
  ZAVL_Data* d = ZAVL_OpenData(Schema(0), "Clients", 0);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(ZAVL_GetCurrent(d), -1) << "no row before the first move";
  EXPECT_EQ(ZAVL_GetNbRecords(d), 5);
  const auto* record = static_cast<const uint8_t*>(ZAVL_GetBuffer(d));
  const int32_t three = 3;
  const int32_t pos3 = ZAVL_GetEqual(d, 0, &three, 4);
  ASSERT_NE(pos3, -1);
  EXPECT_EQ(NumOf(record), 3);
  EXPECT_EQ(ZAVL_GetCurrent(d), pos3);
  EXPECT_EQ(ZAVL_GetEqual(d, 0, &three, 0), 0) << "a zero length is refused";
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE);
  EXPECT_EQ(NumOf(record), 3) << "the refusal touched nothing";
  ASSERT_NE(ZAVL_GetEqual(d, 1, "D", 1), -1) << "a short value is padded with zeros";
  EXPECT_EQ(NumOf(record), 4);

  const int32_t low = 2, high = 4;
  ASSERT_TRUE(ZAVL_SetKeyrange(d, 0, &low, 4, &high, 4));
  EXPECT_EQ(ZAVL_GetNbRecords(d), 3);
  ASSERT_NE(ZAVL_GetLast(d), -1);
  EXPECT_EQ(NumOf(record), 4);
  EXPECT_EQ(ZAVL_GetNext(d), -1);
  EXPECT_EQ(ZAVL_GetLastError(), 9);
  EXPECT_EQ(NumOf(record), 0);
  EXPECT_EQ(ZAVL_RePos(d, pos3), pos3);
  EXPECT_EQ(NumOf(record), 3);
  EXPECT_EQ(ZAVL_RePos(d, -1), -1);
  EXPECT_EQ(ZAVL_GetLastError(), 43);
  EXPECT_FALSE(ZAVL_SetKeyrange(d, 9, nullptr, 0, nullptr, 0));
  ZAVL_CloseData(d);
}

TEST_F(DataFunctionsTest, ExchangeBufferFollowsEveryPositioning) {
  ZAVL_Data* d = ZAVL_OpenData(Schema(SCHEMA_EXCHANGE), "Clients", 0);
  ASSERT_NE(d, nullptr);
  DataHandle* h = CheckData(d);
  EXPECT_EQ(h->exchangeSize, kExchangeSize);
  auto* buffer = static_cast<uint8_t*>(ZAVL_GetBuffer(d));
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + kExchangeSize),
            std::vector<uint8_t>(kExchangeSize, 0));
  ZAVL_SetKeyrange(d, 0, nullptr, 0, nullptr, 0);
  ASSERT_NE(ZAVL_GetFirst(d), -1);
  ASSERT_NE(ZAVL_GetNext(d), -1);  // client 2, with its memo
  EXPECT_EQ(NumOf(buffer), 2);
  EXPECT_STREQ(reinterpret_cast<const char*>(buffer + 24), "Lyon");
  uint32_t memo_length = 0;
  char* memo = nullptr;
  std::memcpy(&memo_length, buffer + 44, 4);
  std::memcpy(&memo, buffer + 48, sizeof memo);
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(std::string(memo, memo_length), "un memo");
  ASSERT_NE(ZAVL_GetNext(d), -1);  // the memo block of client 2 is freed (leak checks)
  std::memcpy(&memo, buffer + 48, sizeof memo);
  EXPECT_EQ(memo, nullptr);

  // A caller's buffer, shorter than the layout: only whole slots are written.
  std::vector<uint8_t> mine(30, 0);
  ZAVL_SetBuffer(d, mine.data(), static_cast<uint32_t>(mine.size()));
  EXPECT_EQ(ZAVL_GetBuffer(d), mine.data());
  EXPECT_EQ(NumOf(mine.data()), 3);
  EXPECT_STREQ(reinterpret_cast<const char*>(mine.data() + 4), "C");
  EXPECT_EQ(mine[24], 0) << "the Ville slot (\"Paris\") does not fit";
  ZAVL_ClearBuffer(d, mine.data(), static_cast<int32_t>(mine.size()));
  EXPECT_EQ(NumOf(mine.data()), 0);
  ZAVL_CloseData(d);  // clears the caller's buffer, does not free it
  EXPECT_EQ(mine[0], 0);
}

TEST_F(DataFunctionsTest, RawBufferOfTheCallerReceivesTheRecords) {
  ZAVL_Data* d = ZAVL_OpenData(Schema(0), "Clients", DATA_NO_VARIABLE_PART);
  std::vector<uint8_t> mine(kClientsLength, 0);
  ZAVL_SetBuffer(d, mine.data(), kClientsLength);
  ZAVL_SetKeyrange(d, 0, nullptr, 0, nullptr, 0);
  ASSERT_NE(ZAVL_GetLast(d), -1);
  EXPECT_EQ(NumOf(mine.data()), 5);
  ZAVL_ClearBuffer(d, mine.data(), 2);
  EXPECT_EQ(mine[0], 0);
  EXPECT_EQ(mine[2], 0);

  // A buffer shorter than the record receives its start and nothing beyond.
  std::vector<uint8_t> short_buffer(16, 0xAB);
  ZAVL_SetBuffer(d, short_buffer.data(), 8);
  ASSERT_NE(ZAVL_GetFirst(d), -1);
  EXPECT_EQ(NumOf(short_buffer.data()), 1);
  EXPECT_EQ(short_buffer[4], 'A');
  EXPECT_EQ(short_buffer[8], 0xAB) << "nothing written past the size given";
  ASSERT_NE(ZAVL_GetNext(d), -1);
  EXPECT_EQ(NumOf(short_buffer.data()), 2);
  ZAVL_CloseData(d);
}

TEST_F(DataFunctionsTest, LocateByKeyByScanAndThroughALink) {
  ZAVL_Data* d = ZAVL_OpenData(Schema(0), "Clients", 0);
  const auto* record = static_cast<const uint8_t*>(ZAVL_GetBuffer(d));
  const char* three[] = {"3", nullptr};
  ASSERT_NE(ZAVL_Locate(d, "NUM", three), -1) << "a key on Num, names compared without case";
  EXPECT_EQ(NumOf(record), 3);
  const char* nine[] = {"9", nullptr};
  EXPECT_EQ(ZAVL_Locate(d, "Num", nine), -1);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_CREATE) << "the record reached differs";
  const char* lyon[] = {"Lyon", "D", nullptr};
  ASSERT_NE(ZAVL_Locate(d, "Ville,Nom", lyon), -1);
  EXPECT_EQ(NumOf(record), 4);
  const char* deux[] = {"Deux", nullptr};
  ASSERT_NE(ZAVL_Locate(d, ">VersFamille>Libelle", deux), -1);
  EXPECT_EQ(NumOf(record), 2);
  const char* nowhere[] = {"Brest", nullptr};
  EXPECT_EQ(ZAVL_Locate(d, "Ville", nowhere), -1);
  EXPECT_EQ(ZAVL_GetLastError(), 9);
  const char* too_many[] = {"1", "2", nullptr};
  EXPECT_EQ(ZAVL_Locate(d, "Num", too_many), -1);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE);
  EXPECT_EQ(ZAVL_Locate(d, "Inconnu", three), -1);
  ZAVL_CloseData(d);

  ZAVL_Data* list = ZAVL_OpenData(schema_, "", 0);
  EXPECT_EQ(ZAVL_Locate(list, "Num", three), -1);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_NOT_A_TABLE);
  ZAVL_CloseData(list);
}

TEST_F(DataFunctionsTest, ExtendedFilesAreSoughtInTheExtensionsFolder) {
  ZAVL_Schema* s = Schema(0);
  std::filesystem::create_directories(folder_.Path("Extensions"));
  const std::string extended = folder_.Path("Extensions/Clients.fatbtr");
  ZAVL_Data* made = ZAVL_OpenFile(s, "Clients", extended.c_str(), 0);  // created empty
  ASSERT_NE(made, nullptr) << ZAVL_GetLastError();
  EXPECT_TRUE(static_cast<data::EDataTable*>(CheckData(made)->dataObject)->TableFlags() &
              data::kTableExtendedForm);
  ZAVL_CloseData(made);
  ZAVL_Data* d = ZAVL_OpenData(s, "Clients", DATA_EXTENDED_FILE);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(static_cast<data::EDataTable*>(CheckData(d)->dataObject)->Path().str(), extended);
  EXPECT_EQ(ZAVL_GetNbRecords(d), 0);
  ZAVL_CloseData(d);
  EXPECT_EQ(ZAVL_OpenFile(s, "Nope", extended.c_str(), 0), nullptr);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_NOT_A_TABLE);
}

TEST_F(DataFunctionsTest, HandlesOfTheWrongKindAreRefusedUntouched) {
  ZAVL_Schema* s = Schema(0);
  auto* as_data = reinterpret_cast<ZAVL_Data*>(s);
  for (ZAVL_Data* bad : {static_cast<ZAVL_Data*>(nullptr), as_data}) {
    EXPECT_EQ(ZAVL_GetFirst(bad), 0);
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE);
    EXPECT_EQ(ZAVL_GetNbRecords(bad), 0);
    EXPECT_FALSE(ZAVL_SetKeyrange(bad, 0, nullptr, 0, nullptr, 0));
    EXPECT_EQ(ZAVL_GetBuffer(bad), nullptr);
    EXPECT_EQ(ZAVL_Locate(bad, "Num", nullptr), 0);
    ZAVL_SetBuffer(bad, nullptr, 0);
    ZAVL_ClearBuffer(bad, nullptr, 0);
    ZAVL_CloseData(bad);
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE);
  }
  ZAVL_Data* d = ZAVL_OpenData(s, "Clients", 0);
  ASSERT_NE(d, nullptr) << "the schema is still whole";
  EXPECT_EQ(Rows(d), 5);
  ZAVL_CloseData(d);
}

}  // namespace
}  // namespace tavelnor::api
