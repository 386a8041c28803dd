// The record layout computed from the tree (sizes bottom-up, offsets
// top-down) and objects created in memory.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;
using testing::IdsOf;
using testing::LoadedDico;

constexpr uint32_t kAny = UINT32_MAX;

struct Piece {
  int kind;
  uint32_t size;
  uint16_t items;
  uint32_t class_code;
  uint32_t iflags;
  int parent;       // index of an earlier piece, -1 for the record-layout node
  uint32_t offset;  // expected offset, kAny when not checked
};

struct LayoutCase {
  const char* name;
  std::vector<Piece> pieces;
  uint32_t record_size;
};

Piece F(uint32_t size, uint32_t offset, int parent = -1) {
  return {kVariable, size, 1, 0, 0, parent, offset};
}

class RecordLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(RecordLayout, OffsetsAndSizeFollowTheTree) {
  const LayoutCase& c = GetParam();
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  std::vector<uint32_t> ids;
  for (const Piece& p : c.pieces) {
    const uint32_t parent = p.parent < 0 ? t.data : ids[static_cast<size_t>(p.parent)];
    uint32_t id = 0;
    const std::string name = "P" + std::to_string(ids.size());
    if (p.kind == kVarPerso) {
      id = b.AddVarPerso(parent, name, p.size, 999);
    } else if (GetKindInfo(p.kind).image_type == ImageType::kVariable) {
      id = b.AddField(parent, name, 0, p.size, 999, p.class_code, p.kind);
      b.SetHalf(id, 89, p.items);
    } else {
      id = b.Add(p.kind, parent, name);
      b.SetHalf(id, 67, p.items);
      b.SetWord(id, 69, p.class_code);
    }
    b.SetWord(id, base::kInternalFlags, p.iflags);
    ids.push_back(id);
  }
  LoadedDico l(b);
  auto* table = static_cast<DRubricTable*>(l[t.table]);
  EXPECT_EQ(table->RecomputeSize(), c.record_size);
  EXPECT_EQ(table->GetRecordLength(), c.record_size);
  for (size_t i = 0; i < c.pieces.size(); ++i) {
    if (c.pieces[i].offset == kAny) continue;
    EXPECT_EQ(l[ids[i]]->DiskOffset(), c.pieces[i].offset) << "piece " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordLayout,
    ::testing::Values(
        LayoutCase{"CalcFieldTakesTheNextOffsetAndNoSpace",
                   {F(4, 0), {kVariable, 6, 1, 3, 0, -1, 4}, F(10, 4), F(8, 14)}, 22},
        LayoutCase{"RecapAndCallBackFieldsTakeNoSpace",
                   {{kVariable, 5, 1, 4, 0, -1, 0}, {kVariable, 7, 1, 6, 0, -1, 0}, F(1, 0)}, 1},
        LayoutCase{"DialogAndExtensionFieldsTakeSpace",
                   {{kVariable, 4, 1, 7, 0, -1, 0}, {kVariable, 4, 1, 1, 0, -1, 4}, F(2, 8)}, 10},
        LayoutCase{"ItemsMultiplyTheUnitSize", {{kVariable, 2, 5, 0, 0, -1, 0}, F(4, 10)}, 14},
        LayoutCase{"UserAreaTakesExactlyItsSize",
                   {F(20, 0), {kVarPerso, 100, 1, 0, 0, -1, 20},
                    {kVarInPerso, 10, 1, 0, 0, 1, 20}, {kVarInPerso, 10, 1, 0, 0, 1, 30},
                    F(4, 120)},
                   124},
        LayoutCase{"UserAreaKeepsItsSizeWhateverItHolds",
                   {{kVarPerso, 100, 1, 0, 0, -1, 0}, {kVarInPerso, 300, 1, 0, 0, 0, 0}, F(4, 100)},
                   104},
        LayoutCase{"NoSizeFlagAddsNothing",
                   {F(4, 0), {kVariable, 8, 1, 0, 0x80000, -1, kAny}, F(6, kAny)}, 10},
        LayoutCase{"RuntimeBit0AddsNothing",
                   {F(4, 0), {kVariable, 8, 1, 0, 0x1, -1, kAny}, F(6, kAny)}, 10},
        LayoutCase{"StructureOccupiesItsChildren",
                   {F(4, 0), {kVarStruct, 0, 1, 0, 0, -1, kAny}, F(3, 4, 1), F(5, 7, 1), F(2, 12)},
                   14},
        LayoutCase{"ArrayOccupiesItemTimesLength",
                   {{kVarArray, 0, 5, 0, 0, -1, kAny}, {kVarInArray, 2, 5, 0, 0, 0, 0}, F(4, 10)},
                   14}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CreateObject, AppendsAsLastChildWithTheNextIdentifier) {
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  const uint32_t a = b.AddField(t.data, "A", 0, 4);
  b.image().last_id = 500;
  LoadedDico l(b);
  DDicoHandler& h = l.h;
  const uint32_t before = h.LastId();
  ASSERT_GE(before, 500u);
  DDicoBase* o = h.CreateObject(kVariable, l[t.data], "Nouveau");
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->Id(), before + 1);
  EXPECT_EQ(h.LastId(), before + 1);
  EXPECT_EQ(h.FindById(o->Id()), o);
  EXPECT_EQ(o->GetParent(), l[t.data]);
  EXPECT_EQ(l[a]->GetNextSibling(), o);
  EXPECT_EQ(IdsOf(l[t.data]->Children()), (std::vector<uint32_t>{a, o->Id()}));
  EXPECT_EQ(h.FindByName(t.table, 2, "NOUVEAU"), o);
  EXPECT_EQ(o->GetContainer(), l[t.table]);
  // Creation values.
  EXPECT_EQ(o->TypeCode(), 0xFFu);
  EXPECT_EQ(static_cast<DVariable*>(o)->Precision(), -1);
  EXPECT_EQ(static_cast<DVariable*>(o)->MasterIndex(), -1);
  EXPECT_EQ(o->NbItems(), 1u);
  // Under an object without children it becomes the first child.
  DDicoBase* key = h.CreateObject(kKey, l[t.keys], "Clef");
  EXPECT_EQ(l[t.keys]->GetFirstChild(), key);
  EXPECT_EQ(key->Id(), before + 2);
}

TEST(CreateObject, SystemOptionTakesTheProcessCounter) {
  DicoTestBuilder b;
  LoadedDico l(b);
  const uint32_t last = l.h.LastId();
  SystemIdCounter() = 0x300000;
  DDicoBase* o = l.h.CreateObject(kVarInSystem, l.h.FindById(kSystemIdBase), "Extra", true);
  EXPECT_EQ(o->Id(), 0x300000u);
  EXPECT_EQ(SystemIdCounter().load(), 0x300001u);
  EXPECT_EQ(l.h.LastId(), last);
  EXPECT_EQ(l.h.FindById(0x300000), o);
}

}  // namespace
}  // namespace tavelnor::dico
