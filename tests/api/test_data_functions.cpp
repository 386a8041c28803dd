// The exported data functions over a dictionary written to a file and data
// files created beside it: name forms, navigation, key ranges, Locate, raw
// and exchange buffers, and handles that are not what they claim.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
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
    auto* table = static_cast<data::EDataTable*>(CheckData(clients)->dataObject.get());
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
    auto* ftable = static_cast<data::EDataTable*>(CheckData(familles)->dataObject.get());
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
  EXPECT_TRUE(static_cast<data::EDataTable*>(CheckData(made)->dataObject.get())->TableFlags() &
              data::kTableExtendedForm);
  ZAVL_CloseData(made);
  ZAVL_Data* d = ZAVL_OpenData(s, "Clients", DATA_EXTENDED_FILE);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(static_cast<data::EDataTable*>(CheckData(d)->dataObject.get())->Path().str(), extended);
  EXPECT_EQ(ZAVL_GetNbRecords(d), 0);
  ZAVL_CloseData(d);
  EXPECT_EQ(ZAVL_OpenFile(s, "Nope", extended.c_str(), 0), nullptr);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_NOT_A_TABLE);
}

// An exported function called on a handle it must refuse.
struct Call {
  const char* name;
  std::function<intptr_t()> run;
};

// Each call answers its bad-handle result (0 or null) and sets -2.
template <size_t N>
void ExpectEachRefuses(const Call (&calls)[N]) {
  for (const Call& call : calls) {
    SetLastError(12345);
    EXPECT_EQ(call.run(), 0) << call.name;
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE) << call.name;
  }
}

// Every data function on `d`, which is no live data handle: each answers its
// bad-handle result and leaves the last error at -2.
void ExpectEveryDataFunctionRefuses(ZAVL_Data* d) {
  const int32_t one = 1;
  uint8_t bytes[4] = {1, 2, 3, 4};
  const char* values[] = {"1", nullptr};
  const Call calls[] = {
      {"GetFirst", [&] { return intptr_t{ZAVL_GetFirst(d)}; }},
      {"GetLast", [&] { return intptr_t{ZAVL_GetLast(d)}; }},
      {"GetNext", [&] { return intptr_t{ZAVL_GetNext(d)}; }},
      {"GetPrevious", [&] { return intptr_t{ZAVL_GetPrevious(d)}; }},
      {"GetCurrent", [&] { return intptr_t{ZAVL_GetCurrent(d)}; }},
      {"RePos", [&] { return intptr_t{ZAVL_RePos(d, 1)}; }},
      {"GetEqual", [&] { return intptr_t{ZAVL_GetEqual(d, 0, &one, 4)}; }},
      {"GetNbRecords", [&] { return intptr_t{ZAVL_GetNbRecords(d)}; }},
      {"SetKeyrange", [&] { return intptr_t{ZAVL_SetKeyrange(d, 0, &one, 4, &one, 4)}; }},
      {"Locate", [&] { return intptr_t{ZAVL_Locate(d, "Num", values)}; }},
      {"GetBuffer", [&] { return reinterpret_cast<intptr_t>(ZAVL_GetBuffer(d)); }},
      {"SetBuffer", [&] { return ZAVL_SetBuffer(d, bytes, 4), intptr_t{0}; }},
      {"ClearBuffer", [&] { return ZAVL_ClearBuffer(d, bytes, 4), intptr_t{0}; }},
      {"CloseData", [&] { return ZAVL_CloseData(d), intptr_t{0}; }},
  };
  ExpectEachRefuses(calls);
  EXPECT_EQ(bytes[0], 1) << "the caller's buffer is untouched";
}

// The schema functions on `s`, which is no live schema handle.
void ExpectEverySchemaFunctionRefuses(ZAVL_Schema* s) {
  const Call calls[] = {
      {"GetDicoVersion", [&] { return intptr_t{ZAVL_GetDicoVersion(s)}; }},
      {"OpenData", [&] { return reinterpret_cast<intptr_t>(ZAVL_OpenData(s, "Clients", 0)); }},
      {"OpenFile",
       [&] { return reinterpret_cast<intptr_t>(ZAVL_OpenFile(s, "Clients", "x.dat", 0)); }},
      {"CloseSchema", [&] { return ZAVL_CloseSchema(s), intptr_t{0}; }},
  };
  ExpectEachRefuses(calls);
}

// Null, closed and forged handles, and live handles of the other kind.
TEST_F(DataFunctionsTest, HandlesThatAreNotLiveOfTheirKindAreRefusedWithoutBeingRead) {
  ZAVL_Schema* s = Schema(0);
  ZAVL_Data* live = ZAVL_OpenData(s, "", 0);  // the list of tables: no data file
  ASSERT_NE(live, nullptr);
  ZAVL_Data* closed = ZAVL_OpenData(s, "Clients", 0);
  ASSERT_NE(closed, nullptr);
  ZAVL_CloseData(closed);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
  ZAVL_Schema* closed_schema = ZAVL_OpenSchema(dico_path_.c_str(), 0);
  ASSERT_NE(closed_schema, nullptr);
  ZAVL_CloseSchema(closed_schema);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);

  // A stack buffer that starts with the right tag, followed by bytes that no
  // pointer could be: reading through them would crash.
  alignas(std::max_align_t) unsigned char forged_data[64];
  alignas(std::max_align_t) unsigned char forged_schema[64];
  std::memset(forged_data, 0x5A, sizeof forged_data);
  std::memset(forged_schema, 0x5A, sizeof forged_schema);
  std::memcpy(forged_data, &kDataTag, sizeof kDataTag);
  std::memcpy(forged_schema, &kSchemaTag, sizeof kSchemaTag);
  unsigned char data_before[64], schema_before[64];
  std::memcpy(data_before, forged_data, sizeof forged_data);
  std::memcpy(schema_before, forged_schema, sizeof forged_schema);

  // Heap memory freed by a close: ASan reports any read of it.
  for (ZAVL_Data* bad : {static_cast<ZAVL_Data*>(nullptr), reinterpret_cast<ZAVL_Data*>(s),
                         closed, reinterpret_cast<ZAVL_Data*>(closed_schema),
                         reinterpret_cast<ZAVL_Data*>(forged_data),
                         reinterpret_cast<ZAVL_Data*>(forged_schema)}) {
    ExpectEveryDataFunctionRefuses(bad);
  }
  for (ZAVL_Schema* bad : {static_cast<ZAVL_Schema*>(nullptr), reinterpret_cast<ZAVL_Schema*>(live),
                           closed_schema, reinterpret_cast<ZAVL_Schema*>(closed),
                           reinterpret_cast<ZAVL_Schema*>(forged_schema),
                           reinterpret_cast<ZAVL_Schema*>(forged_data)}) {
    ExpectEverySchemaFunctionRefuses(bad);
  }
  EXPECT_EQ(std::memcmp(forged_data, data_before, sizeof forged_data), 0);
  EXPECT_EQ(std::memcmp(forged_schema, schema_before, sizeof forged_schema), 0);

  EXPECT_EQ(Rows(live), 4) << "the live data handle is still whole";
  ZAVL_CloseData(live);
  ZAVL_Data* d = ZAVL_OpenData(s, "Clients", 0);
  ASSERT_NE(d, nullptr) << "the live schema is still whole";
  EXPECT_EQ(Rows(d), 5);
  ZAVL_CloseData(d);
}

TEST_F(DataFunctionsTest, ALiveHandleStillNeedsItsTagAndItsObject) {
  ZAVL_Data* d = ZAVL_OpenData(Schema(0), "Clients", 0);
  ASSERT_NE(d, nullptr);
  auto* h = reinterpret_cast<DataHandle*>(d);
  h->tag = kSchemaTag;
  EXPECT_EQ(ZAVL_GetFirst(d), 0);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE);
  ZAVL_CloseData(d);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE) << "refused, so still open";
  h->tag = kDataTag;
  auto object = std::move(h->dataObject);
  EXPECT_EQ(ZAVL_GetFirst(d), 0);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE);
  h->dataObject = std::move(object);
  EXPECT_NE(ZAVL_GetFirst(d), -1);
  ZAVL_CloseData(d);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
}

// A raw buffer of 3 bytes for a 60-byte record, alone on the heap so that
// ASan sees any access past it: records, key searches, Locate on fields that
// lie past its end and the clearing all stay inside it.
TEST_F(DataFunctionsTest, AShortRawBufferIsNeverOverrun) {
  for (uint32_t schema_flags : {0u, SCHEMA_EXCHANGE}) {
    SCOPED_TRACE(schema_flags);
    ZAVL_Schema* s = ZAVL_OpenSchema(dico_path_.c_str(), schema_flags);
    ASSERT_NE(s, nullptr);
    ZAVL_Data* d = ZAVL_OpenData(s, "Clients", 0);
    ASSERT_NE(d, nullptr);
    // In exchange mode a null buffer turns the handle raw first.
    if (schema_flags & SCHEMA_EXCHANGE) ZAVL_SetBuffer(d, nullptr, 0);
    auto mine = std::make_unique<uint8_t[]>(3);
    ZAVL_SetBuffer(d, mine.get(), 3);
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
    EXPECT_EQ(ZAVL_GetBuffer(d), mine.get());
    ASSERT_NE(ZAVL_GetFirst(d), -1);
    EXPECT_EQ(mine[0], 1);
    ASSERT_NE(ZAVL_GetNext(d), -1);
    EXPECT_EQ(mine[0], 2);
    const int32_t last = ZAVL_GetLast(d);
    ASSERT_NE(last, -1);
    EXPECT_EQ(mine[0], 5);
    ASSERT_NE(ZAVL_GetPrevious(d), -1);
    EXPECT_EQ(ZAVL_RePos(d, last), last);
    const int32_t three = 3;
    ASSERT_NE(ZAVL_GetEqual(d, 0, &three, 4), -1);
    EXPECT_EQ(mine[0], 3);

    const char* lyon[] = {"Lyon", nullptr};
    EXPECT_EQ(ZAVL_Locate(d, "Ville", lyon), -1) << "Ville lies past the buffer: no match";
    EXPECT_EQ(ZAVL_GetLastError(), 9);
    const char* d_name[] = {"D", nullptr};
    EXPECT_EQ(ZAVL_Locate(d, "Nom", d_name), -1) << "key 1, on a field past the buffer";
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_CREATE);
    const char* two[] = {"2", nullptr};
    EXPECT_EQ(ZAVL_Locate(d, "Num", two), -1) << "key 0, on a field cut by the end";
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_CREATE);
    EXPECT_EQ(mine[0], 2) << "the key search itself reached client 2";
    const char* deux[] = {"Deux", nullptr};
    EXPECT_EQ(ZAVL_Locate(d, ">VersFamille>Libelle", deux), -1);
    ASSERT_NE(ZAVL_GetFirst(d), -1) << "the link now open follows a record it cannot see";
    EXPECT_EQ(mine[0], 1);
    EXPECT_EQ(ZAVL_GetNbRecords(d), 5);

    ZAVL_ClearBuffer(d, mine.get(), 3);
    EXPECT_EQ(mine[0], 0);
    ZAVL_CloseData(d);
    ZAVL_CloseSchema(s);
  }
}

// A success reports 0 (or what the call itself produced), never the status
// an earlier failure left in the data object; ZAVL_GetCurrent alone passes
// that status on.
TEST_F(DataFunctionsTest, SuccessesClearTheStatusOfAnEarlierFailure) {
  ZAVL_Schema* s = Schema(0);
  ZAVL_Data* table = ZAVL_OpenData(s, "Clients", 0);
  ZAVL_Data* list = ZAVL_OpenData(s, "", 0);
  ASSERT_NE(table, nullptr);
  ASSERT_NE(list, nullptr);
  for (ZAVL_Data* d : {table, list}) {
    SCOPED_TRACE(d == table ? "table" : "list");
    const auto fail = [d] {
      EXPECT_EQ(ZAVL_RePos(d, -1), -1);
      EXPECT_EQ(ZAVL_GetLastError(), 43);
    };
    ASSERT_NE(ZAVL_GetFirst(d), -1);
    fail();
    ZAVL_GetCurrent(d);
    EXPECT_EQ(ZAVL_GetLastError(), 43);
    EXPECT_EQ(ZAVL_GetNbRecords(d), d == table ? 5 : 4);
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
    fail();
    EXPECT_NE(ZAVL_GetBuffer(d), nullptr);
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
    fail();
    ZAVL_SetBuffer(d, nullptr, 0);
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
    fail();
    uint8_t scratch[2] = {1, 1};
    ZAVL_ClearBuffer(d, scratch, 2);
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
  }
  EXPECT_EQ(ZAVL_RePos(table, -1), -1);
  const int32_t low = 2, high = 4;
  EXPECT_TRUE(ZAVL_SetKeyrange(table, 0, &low, 4, &high, 4));
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
  EXPECT_EQ(ZAVL_GetNbRecords(table), 3);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK) << "the count of a key range";
  ZAVL_CloseData(list);
  ZAVL_CloseData(table);
}

}  // namespace
}  // namespace tavelnor::api
