// Keys, segments and links: segment limits by page size, adding keys and
// segments with the question to enlarge the page, and segment positions.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "foundation/platform/message_box.h"

namespace tavelnor::dico {
namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using testing::DicoTestBuilder;
using testing::LoadedDico;

constexpr char kKeyRefused[] = "La taille de page ne permet pas d'ajouter de clef.";
constexpr char kSegmentRefused[] = "La taille de page ne permet pas d'ajouter de segment de clef.";
constexpr char kQuestion[] = "\r\nVoulez-vous aggrandir la taille de page ?";

// Answers every message with `answer` and records what was asked; the
// previous answerer comes back afterwards.
class MessageRecorder {
 public:
  explicit MessageRecorder(MessageAnswer answer) : answer_(answer) {
    previous_ = platform::SetMessageHandler([this](std::string_view text, MessageButtons b) {
      asked.emplace_back(std::string(text), b);
      return answer_;
    });
  }
  ~MessageRecorder() { platform::SetMessageHandler(std::move(previous_)); }
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  std::vector<std::pair<std::string, MessageButtons>> asked;

 private:
  MessageAnswer answer_;
  platform::MessageHandler previous_;
};

TEST(SegmentLimit, FollowsThePageSizeRows) {
  const std::pair<uint32_t, uint32_t> cases[] = {
      {0, 0},     {511, 0},   {512, 8},   {1000, 8},  {1023, 8},  {1024, 23},
      {1536, 24}, {2047, 24}, {2048, 54}, {2560, 54}, {3072, 54}, {3584, 54},
      {4095, 54}, {4096, 119}, {8192, 119}, {UINT32_MAX, 119}};
  for (const auto& [page, limit] : cases) {
    EXPECT_EQ(SegmentLimit(page), limit) << "page size " << page;
  }
}

// A table with `segments` segments spread over keys of at most five.
class KeySegments : public ::testing::Test {
 protected:
  void Build(uint32_t page_size, uint32_t segments) {
    t = b.AddTable("Clients");
    field = b.AddField(t.data, "Nom", 0, 30, 0);
    b.SetWord(t.table, 67, page_size);
    for (uint32_t i = 0; i < segments; ++i) {
      if (i % 5 == 0) last_key = b.AddKey(t.keys, "K" + std::to_string(i));
      b.AddSegment(last_key, "S" + std::to_string(i), field, i);
    }
    if (last_key == 0) last_key = b.AddKey(t.keys, "Vide");
  }
  DRubricTable* Table(LoadedDico& l) { return static_cast<DRubricTable*>(l[t.table]); }
  DKey* Key(LoadedDico& l) { return static_cast<DKey*>(l[last_key]); }
  DTitleKey* Keys(LoadedDico& l) { return static_cast<DTitleKey*>(l[t.keys]); }

  DicoTestBuilder b;
  DicoTestBuilder::Table t;
  uint32_t field = 0, last_key = 0;
};

TEST_F(KeySegments, CountsSegmentsOfEveryKind) {
  Build(1024, 7);
  b.Add(kSegmentAttached, last_key, "Attache");
  LoadedDico l(b);
  EXPECT_EQ(Key(l)->GetSegmentCount(), 3u);
  EXPECT_EQ(Table(l)->GetTableSegmentCount(), 8u);
  EXPECT_TRUE(Table(l)->CanAddKeySegment());
}

TEST_F(KeySegments, EnlargeStopsAt4096) {
  Build(3584, 0);
  LoadedDico l(b);
  DRubricTable* table = Table(l);
  EXPECT_TRUE(table->CanEnlargePage());
  EXPECT_TRUE(table->EnlargePage());
  EXPECT_EQ(table->GetPageSize(), 4096u);
  EXPECT_FALSE(table->CanEnlargePage());
  EXPECT_FALSE(table->EnlargePage());
  EXPECT_EQ(table->GetPageSize(), 4096u);
  table->SetPageSize(5000);
  EXPECT_FALSE(table->EnlargePage());
  EXPECT_EQ(table->GetPageSize(), 5000u);
}

TEST_F(KeySegments, RoomLeftAddsWithoutAsking) {
  Build(512, 7);
  LoadedDico l(b);
  MessageRecorder messages(MessageAnswer::kNo);
  DDicoBase* segment = Key(l)->AddSegment();
  ASSERT_NE(segment, nullptr);
  EXPECT_TRUE(messages.asked.empty());
  EXPECT_EQ(segment->Kind(), kSegment);
  EXPECT_EQ(segment->Flags(), 0x100u);
  EXPECT_EQ(segment->ParentId(), last_key);
  EXPECT_EQ(Key(l)->Children().back(), segment);
  EXPECT_EQ(Table(l)->GetTableSegmentCount(), 8u);
  EXPECT_EQ(Table(l)->GetPageSize(), 512u);
  EXPECT_NE(Table(l)->InternalFlags() & iflag::kStructureModified, 0u);
}

TEST_F(KeySegments, FullPageAsksAndEnlargesOnYes) {
  Build(512, 8);
  LoadedDico l(b);
  MessageRecorder messages(MessageAnswer::kYes);
  DDicoBase* segment = Key(l)->AddSegment();
  ASSERT_EQ(messages.asked.size(), 1u);
  EXPECT_EQ(messages.asked[0].first, std::string(kSegmentRefused) + kQuestion);
  EXPECT_EQ(messages.asked[0].second, MessageButtons::kYesNo);
  ASSERT_NE(segment, nullptr);
  EXPECT_EQ(Table(l)->GetPageSize(), 1024u);
  EXPECT_EQ(Table(l)->GetTableSegmentCount(), 9u);
  EXPECT_EQ(segment->Flags(), 0x100u);
  EXPECT_NE(Table(l)->InternalFlags() & iflag::kStructureModified, 0u);
}

TEST_F(KeySegments, FullPageAddsNothingOnNo) {
  Build(512, 8);
  LoadedDico l(b);
  MessageRecorder messages(MessageAnswer::kNo);
  EXPECT_EQ(Key(l)->AddSegment(), nullptr);
  EXPECT_EQ(Keys(l)->AddKey(), nullptr);
  ASSERT_EQ(messages.asked.size(), 2u);
  EXPECT_EQ(messages.asked[1].first, std::string(kKeyRefused) + kQuestion);
  EXPECT_EQ(messages.asked[1].second, MessageButtons::kYesNo);
  EXPECT_EQ(Table(l)->GetPageSize(), 512u);
  EXPECT_EQ(Table(l)->GetTableSegmentCount(), 8u);
  EXPECT_EQ(Table(l)->GetKeys().size(), 2u);
  EXPECT_EQ(Table(l)->InternalFlags() & iflag::kStructureModified, 0u);
}

TEST(KeysOutsideTables, NoPageSizeCheck) {
  DicoTestBuilder b;
  const uint32_t group = b.Add(kStruct, b.root(), "Groupe");
  const uint32_t keys = b.Add(kTitleKey, group, "Les clefs");
  const uint32_t key = b.AddKey(keys, "Grande");
  for (int i = 0; i < 130; ++i) b.Add(kSegment, key, "S" + std::to_string(i));
  LoadedDico l(b);
  MessageRecorder messages(MessageAnswer::kNo);
  EXPECT_NE(static_cast<DKey*>(l[key])->AddSegment(), nullptr);
  EXPECT_NE(static_cast<DTitleKey*>(l[keys])->AddKey(), nullptr);
  EXPECT_TRUE(messages.asked.empty());
  EXPECT_EQ(static_cast<DKey*>(l[key])->GetSegmentCount(), 131u);
}

class Positions : public ::testing::Test {
 protected:
  void SetUp() override {
    t = b.AddTable("Clients");
    b.AddField(t.data, "Avant", 0, 40, 0);
    field = b.AddField(t.data, "Code", 0, 8, 40);
    key = b.AddKey(t.keys, "ParCode");
    link = b.AddLink(t.links, "VersAutre", t.table, key);
  }
  uint32_t Part(int kind, uint32_t parent, uint32_t linked_to, uint32_t offset) {
    const uint32_t id = b.Add(kind, parent, "P" + std::to_string(offset));
    b.SetWord(id, base::kLinkedTo, linked_to);
    b.SetWord(id, 67, offset);
    return id;
  }
  static std::optional<uint32_t> PositionOf(DDicoBase* o) {
    if (o->Kind() == kSegment || o->Kind() == kSegmentAttached) {
      return static_cast<DSegment*>(o)->GetSegmentPosition();
    }
    return static_cast<DSubLink*>(o)->GetSegmentPosition();
  }

  DicoTestBuilder b;
  DicoTestBuilder::Table t;
  uint32_t field = 0, key = 0, link = 0;
};

TEST_F(Positions, PlainAndAttachedPartsOfKeysAndLinks) {
  struct Case {
    uint32_t id;
    std::optional<uint32_t> expected;
    const char* what;
  };
  const std::vector<Case> cases = {
      {Part(kSegment, key, field, 12), 12u, "plain segment: its own offset"},
      {Part(kSegmentAttached, key, field, 2), 42u, "attached segment: field at 40 plus 2"},
      {Part(kSegmentAttached, key, 9999, 2), std::nullopt, "attached to an unknown object"},
      {Part(kSegmentAttached, key, 0, 2), std::nullopt, "attached to nothing"},
      {Part(kSegmentAttached, key, key, 2), std::nullopt, "attached to a key, not a field"},
      {Part(kSubLink, link, field, 5), 5u, "plain link part: its own offset"},
      {Part(kSubLinkAttached, link, field, 0), 40u, "attached link part"},
      {Part(kSubLinkAttached, link, 9999, 1), std::nullopt, "link part on an unknown field"},
  };
  LoadedDico l(b);
  for (const Case& c : cases) {
    EXPECT_EQ(PositionOf(l[c.id]), c.expected) << c.what;
  }
}

TEST_F(Positions, OverflowHasNoPosition) {
  const uint32_t far = b.AddField(t.data, "Loin", 0, 1, UINT32_MAX - 1);
  const uint32_t seg = Part(kSegmentAttached, key, far, 5);
  const uint32_t edge = Part(kSegmentAttached, key, far, 1);
  LoadedDico l(b);
  EXPECT_EQ(PositionOf(l[seg]), std::nullopt);
  EXPECT_EQ(PositionOf(l[edge]), UINT32_MAX);
}

}  // namespace
}  // namespace tavelnor::dico
