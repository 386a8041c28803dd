// The creation specification built from table definitions: header, segment
// entries with the duplicate, extended-type and null bits, the type mapping
// and automatic numbering.
#include <gtest/gtest.h>

#include <vector>

#include "data/btrv_file.h"
#include "data/creation_spec.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "foundation/byte_reader.h"
#include "record/type_codes.h"

namespace tavelnor::data {
namespace {

using dico::testing::DicoTestBuilder;
using dico::testing::LoadedDico;
namespace base = dico::base;

// One 16-byte segment entry, as expected.
std::vector<uint8_t> Entry(uint16_t position, uint16_t length, uint16_t flags, uint8_t type,
                           uint8_t null_value = 0) {
  std::vector<uint8_t> e(16, 0);
  e[0] = static_cast<uint8_t>(position), e[1] = static_cast<uint8_t>(position >> 8);
  e[2] = static_cast<uint8_t>(length), e[3] = static_cast<uint8_t>(length >> 8);
  e[4] = static_cast<uint8_t>(flags), e[5] = static_cast<uint8_t>(flags >> 8);
  e[10] = type;
  e[11] = null_value;
  return e;
}

class CreationSpecTest : public ::testing::Test {
 protected:
  // "Factures" (56 bytes, 8 more in its extended form, page 2048, flags
  // 0x0001 plus high bits that must not reach the file):
  //   Numero     LONG    @0  4   key "ParNumero" (automatic numbering)
  //   Client     ZSTRING @4  12  key "ParClient", duplicates: Client + Date
  //   Date       DATE    @16 4
  //   Montant    CURRENCY @20 8
  //   Ref        STR     @28 10  key "ParRef", null key
  CreationSpecTest() {
    t_ = b_.AddTable("Factures");
    b_.SetWord(t_.table, base::kUnitSize, 56);
    b_.SetWord(t_.table, 67, 2048);  // page size
    b_.SetWord(t_.table, 71, 8);     // memory size
    b_.SetWord(t_.table, base::kFlags, 0x20001);
    const uint32_t numero = b_.AddField(t_.data, "Numero", record::TYPE_LONG, 4, 0);
    const uint32_t client = b_.AddField(t_.data, "Client", record::TYPE_ZSTRING, 12, 4);
    const uint32_t date = b_.AddField(t_.data, "Date", record::TYPE_DATE, 4, 16);
    b_.AddField(t_.data, "Montant", record::TYPE_CURRENCY, 8, 20);
    const uint32_t ref = b_.AddField(t_.data, "Ref", record::TYPE_STR, 10, 28);
    const uint32_t k1 = b_.AddKey(t_.keys, "ParNumero", kKeyAutoNumbering);
    Segment(k1, numero, 0, 4, 0x0100, record::TYPE_LONG);
    const uint32_t k2 = b_.AddKey(t_.keys, "ParClient", 0x0001);
    Segment(k2, client, 4, 12, 0x0111, record::TYPE_ZSTRING);
    Segment(k2, date, 16, 4, 0x0101, record::TYPE_DATE);
    const uint32_t k3 = b_.AddKey(t_.keys, "ParRef", 0x0008);
    Segment(k3, ref, 28, 10, 0x0108, record::TYPE_STR);
  }
  uint32_t Segment(uint32_t key, uint32_t field, uint32_t offset, uint32_t length, uint32_t flags,
                   uint8_t type) {
    const uint32_t id = b_.AddSegment(key, "S", field, offset);
    b_.SetWord(id, base::kUnitSize, length);
    b_.SetWord(id, base::kFlags, flags);
    b_.SetByte(id, 75, type);
    return id;
  }
  const dico::DRubricTable& Table(LoadedDico& l) {
    return *static_cast<dico::DRubricTable*>(l[t_.table]);
  }

  DicoTestBuilder b_;
  DicoTestBuilder::Table t_;
};

TEST_F(CreationSpecTest, TableWithSeveralKeysDuplicatesAndAutomaticNumbering) {
  LoadedDico l(b_);
  BtrvCreationSpec spec;
  ASSERT_EQ(BuildCreationSpec(Table(l), false, spec), 0);
  const uint8_t* p = spec.bytes();
  EXPECT_EQ(LoadLE16(p), 56);
  EXPECT_EQ(LoadLE16(p + 2), 2048);
  EXPECT_EQ(p[4], 3);
  EXPECT_EQ(p[5], 0) << "the record manager chooses the format";
  EXPECT_EQ(LoadLE16(p + 10), 0x0001) << "the low 16 bits of the flags";
  EXPECT_EQ(spec.segment_count(), 4);
  EXPECT_EQ(spec.DataLength(), 80);
  const std::vector<std::vector<uint8_t>> expected = {
      Entry(1, 4, 0x0100, 15),         // automatic numbering on the first segment
      Entry(5, 12, 0x0191, 11),        // duplicates gain 0x80; 0x100 is always set
      Entry(17, 4, 0x0181, 3),
      Entry(29, 10, 0x0108, 0, 0x20),  // STRING segment of a null key: space
  };
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(std::vector<uint8_t>(p + 16 + 16 * i, p + 32 + 16 * i), expected[i])
        << "segment " << i;
  }
  EXPECT_EQ(std::vector<uint8_t>(p + 80, p + 96), std::vector<uint8_t>(16, 0));
  // The extended form takes the extended record length.
  ASSERT_EQ(BuildCreationSpec(Table(l), true, spec), 0);
  EXPECT_EQ(LoadLE16(spec.bytes()), 64);
}

TEST_F(CreationSpecTest, KeyWithoutSegmentsStopsWith26) {
  b_.AddKey(t_.keys, "Empty");
  LoadedDico l(b_);
  BtrvFile file;
  EXPECT_EQ(file.BuildCreationSpec(Table(l), false), 26);
  EXPECT_EQ(file.creation_spec(), nullptr);
}

TEST(CreationSpecBufferTest, SegmentsBeyondTheBufferAreRefused) {
  BtrvCreationSpec spec;
  spec.Begin(10, 4096, 1, 0, 0);
  for (int i = 0; i < 255; ++i) ASSERT_EQ(spec.AddKeySegment(0, 2, 0x10, 14), 0) << i;
  EXPECT_EQ(spec.AddKeySegment(0, 2, 0, 14), 1);
  EXPECT_EQ(spec.segment_count(), 255);
  EXPECT_EQ(spec.DataLength(), 4096);
  spec.Begin(10, 4096, 1, 6, 0);
  EXPECT_EQ(spec.segment_count(), 0) << "Begin starts afresh";
  EXPECT_EQ(spec.bytes()[5], 0x60);
  ASSERT_EQ(spec.AddKeySegment(3, 2, 0x0009, 0, /*add_duplicate_bit=*/false), 0);
  EXPECT_EQ(LoadLE16(spec.bytes() + 20), 0x0109) << "no 0x80 when the caller does not ask";
  ASSERT_EQ(spec.AddKeySegment(3, 2, 0x0001, 14), 0);
  EXPECT_EQ(LoadLE16(spec.bytes() + 36), 0x0181);
  EXPECT_EQ(spec.bytes()[43], 0) << "the null value is for STRING segments of null keys";
  EXPECT_EQ(spec.bytes()[27], 0x20);
}

}  // namespace
}  // namespace tavelnor::data
