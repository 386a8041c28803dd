// The user part of a dictionary (commit and merge) and the locks shared with
// attached dictionaries.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;
using testing::LoadedDico;

// A table "Clients" with a user-defined area "Zones" holding "Perso1", and a
// category "Montant"; the other dictionary adds "Perso2" to the area.
struct UserPartPair {
  DicoTestBuilder mine, theirs;
  uint32_t area = 0;
  UserPartPair() {
    for (DicoTestBuilder* b : {&mine, &theirs}) {
      auto t = b->AddTable("Clients");
      b->AddField(t.data, "Nom", 0, 30, 0);
      area = b->AddVarPerso(t.data, "Zones", 40, 30);
      b->AddField(area, "Perso1", 0, 20, 30, 0, kVarInPerso);
    }
    mine.AddCategory("Montant", 1, 0);
    theirs.AddCategory("Montant", 1, 7);
    const uint32_t added = theirs.AddField(area, "Perso2", 1, 4, 50, 0, kVarInPerso);
    theirs.SetString(added, base::kHeader, "Zone libre 2");
  }
};

TEST(UserPart, MergeAddsMissingUserFieldsAndCategoryBytes) {
  UserPartPair p;
  LoadedDico mine(p.mine), theirs(p.theirs);
  mine.h.MergeUserPart(theirs.h);

  DDicoBase* area = mine.h.FindById(p.area);
  ASSERT_NE(area, nullptr);
  const auto fields = area->Children();
  ASSERT_EQ(fields.size(), 2u);
  DDicoBase* added = fields[1];
  EXPECT_STREQ(added->NameText(), "Perso2");
  EXPECT_EQ(added->Kind(), kVarInPerso);
  EXPECT_EQ(added->TypeCode(), 1u);
  EXPECT_EQ(added->UnitSize(), 4u);
  EXPECT_STREQ(added->HeaderPoolText(), "Zone libre 2");
  EXPECT_TRUE(added->InternalFlags() & iflag::kUserModified);
  EXPECT_EQ(mine.h.LowestUserId(), static_cast<int32_t>(added->Id()));
  EXPECT_EQ(mine.h.GetCategory(0)[35], 7);
  // A category byte changed and the other's user version is below 2.
  EXPECT_EQ(mine.h.VersionUser(), 1u);

  // Merging again adds nothing more.
  mine.h.MergeUserPart(theirs.h);
  EXPECT_EQ(area->Children().size(), 2u);
}

TEST(UserPart, MergeTakesTheHigherUserVersion) {
  UserPartPair p;
  p.theirs.image().header.version_user = 6;
  LoadedDico mine(p.mine), theirs(p.theirs);
  mine.h.MergeUserPart(theirs.h);
  EXPECT_EQ(mine.h.VersionUser(), 6u);
}

TEST(UserPart, CommitClearsTheUserMarksAndVersion) {
  UserPartPair p;
  LoadedDico mine(p.mine), theirs(p.theirs);
  mine.h.MergeUserPart(theirs.h);
  ASSERT_NE(mine.h.LowestUserId(), -1);
  EXPECT_TRUE(mine.h.CommitUserPart());
  EXPECT_EQ(mine.h.VersionUser(), 0u);
  EXPECT_EQ(mine.h.LowestUserId(), -1);
  for (DDicoBase* f : mine.h.FindById(p.area)->Children()) {
    EXPECT_FALSE(f->InternalFlags() & iflag::kUserModified) << f->NameText();
  }
}

TEST(AttachedLocks, LockingAHandlerLocksItsAttachedDictionaries) {
  DicoTestBuilder b;
  LoadedDico main(b), attached(b);
  main.h.Attach(Chaine("Compta"), &attached.h);
  main.h.Lock();
  std::atomic<bool> got{false};
  std::thread other([&] {
    attached.h.Lock();
    got = true;
    attached.h.Unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(got.load()) << "the attached dictionary was not locked with the main one";
  main.h.Unlock();
  other.join();
  EXPECT_TRUE(got.load());

  // Once detached, it is no longer taken along.
  main.h.Detach(Chaine("COMPTA"));
  main.h.Lock();
  std::thread free_one([&] {
    attached.h.Lock();
    attached.h.Unlock();
  });
  free_one.join();
  main.h.Unlock();
}

}  // namespace
}  // namespace tavelnor::dico
