// DDicoHandler loading: containers, reuse of the open file, translations, old layouts, flags.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "dico/attribute_export.h"
#include "dico/dico_file.h"
#include "dico/dico_handler.h"
#include "dico/allocation_probe.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "dico/gzip_stream.h"
#include "dico/pe_resource.h"
#include "foundation/platform/process.h"
#include "foundation/string_resources.h"
#include "foundation/translation.h"
#include "record/date_settings.h"

namespace tavelnor::dico {
namespace {

namespace fs = std::filesystem;
using testing::DicoTestBuilder;
using testing::MakeSampleDico;
using testing::SampleDico;
using testing::SettingsGuard;
using testing::TempDir;
using Bytes = std::vector<uint8_t>;

std::string Summary(const DDicoHandler& h) {
  return RenderTree(ExportDictionary(h).root);
}

TEST(HandlerFile, PlainGzipAndModuleLoadIdentically) {
  SettingsGuard guard;
  TempDir dir;
  SampleDico s = MakeSampleDico();
  const Bytes image = s.b.Bytes(11);
  const std::string plain = dir.Write("plain.dic", image);
  const std::string gz = dir.Write("packed.dic", GzipCompress(image));
  const std::string pe =
      dir.Write("module.dll", BuildPeModuleWithResource(u"DICO", u"DICO", 1036, image));

  DDicoHandler reference;
  ASSERT_EQ(reference.Load(plain, kLoadNameIndex), LoadResult::kLoaded);
  ASSERT_NE(reference.FindTable("Clients"), nullptr);
  const std::string want = Summary(reference);
  for (const std::string& path : {gz, pe}) {
    DDicoHandler h;
    ASSERT_EQ(h.Load(path, kLoadNameIndex), LoadResult::kLoaded) << path << " "
                                                                  << h.LastLoadStatus().ToString();
    EXPECT_EQ(Summary(h), want) << path;
    EXPECT_EQ(h.ObjectCount(), reference.ObjectCount());
    EXPECT_EQ(h.GetFilePath().str(), path);
  }
}

TEST(HandlerFile, LoadingTheSamePathTwiceReusesTheOpenFile) {
  SettingsGuard guard;
  TempDir dir;
  SampleDico s = MakeSampleDico();
  for (const Bytes& image : {s.b.Bytes(11), GzipCompress(s.b.Bytes(11))}) {
    const std::string path = dir.Write("twice.dic", image);
    DDicoHandler h;
    ASSERT_EQ(h.Load(path, kLoadNameIndex), LoadResult::kLoaded);
    CInternalDicoFile* file = h.File();
    ASSERT_NE(file, nullptr);
    const std::string first = Summary(h);
    const size_t count = h.ObjectCount();
    ASSERT_EQ(h.Load(path, kLoadNameIndex), LoadResult::kLoaded) << h.LastLoadStatus().ToString();
    EXPECT_EQ(h.File(), file);
    EXPECT_EQ(Summary(h), first);
    EXPECT_EQ(h.ObjectCount(), count);
    ASSERT_NE(h.FindTable("Clients.Nom"), nullptr);
    EXPECT_EQ(h.FindTable("Clients.Nom")->Id(), s.clients.table);
  }
}

TEST(HandlerFile, FileThatIsNoDictionarySetsTheSystemLastError) {
  TempDir dir;
  Bytes image = DicoTestBuilder().Bytes(11);
  image[2] = 11;  // version byte
  for (const std::string& path :
       {dir.Write("v11.dic", image), dir.Write("v11.gz", GzipCompress(image)),
        dir.Write("text.dic", Bytes{'D', 'E', 'M', 'O', '\n'})}) {
    platform::SetLastOsError(0);
    DDicoHandler h;
    EXPECT_EQ(h.Load(path, kLoadNameIndex), LoadResult::kFailed) << path;
    EXPECT_EQ(h.LastLoadStatus().code(), Status::Code::kUnsupported) << path;
    EXPECT_EQ(platform::LastOsError(), kErrorNotADictionary) << path;
  }
}

#ifndef _WIN32
// Opens `path` for loading on another thread; a FIFO must fail at once
// without waiting for a writer. The wait is a hang guard only: on timeout
// the FIFO is opened for writing so that the blocked reader returns.
LoadResult LoadWithHangGuard(DDicoHandler& h, const std::string& path, const std::string& fifo) {
  auto loading = std::async(std::launch::async, [&] { return h.Load(path, kLoadNameIndex); });
  if (loading.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << path << ": the load blocked on the FIFO";
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  }
  return loading.get();
}

TEST(HandlerFile, FifoDirectoryOrDeviceFailsAtOnce) {
  TempDir dir;
  const std::string fifo = dir.Path("pipe.dic");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::vector<std::string> paths = {fifo, dir.Path("")};
  if (std::filesystem::exists("/dev/zero")) paths.push_back("/dev/zero");
  for (const std::string& path : paths) {
    DDicoHandler h;
    EXPECT_EQ(LoadWithHangGuard(h, path, fifo), LoadResult::kFailed) << path;
    EXPECT_EQ(h.LastLoadStatus().code(), Status::Code::kIoError) << path;
    EXPECT_NE(h.LastLoadStatus().message().find("not a regular file"), std::string::npos)
        << h.LastLoadStatus().ToString();
    EXPECT_EQ(h.Root(), nullptr);
  }
  // A FIFO where the translations would be.
  const std::string dico = dir.Write("d.dic", DicoTestBuilder().Bytes(11));
  const std::string trad = dir.Path("d.oxatrad");
  ASSERT_EQ(::mkfifo(trad.c_str(), 0600), 0);
  DDicoHandler h;
  EXPECT_EQ(LoadWithHangGuard(h, dico, trad), LoadResult::kFailed);
  EXPECT_NE(h.LastLoadStatus().message().find("d.oxatrad is not a regular file"), std::string::npos)
      << h.LastLoadStatus().ToString();
}
#endif

class HandlerTranslation : public ::testing::Test {
 protected:
  void SetUp() override {
    clients_ = b_.AddTable("Clients");
    b_.SetString(clients_.table, base::kHeader, "Clients");
    b_.SetString(clients_.table, base::kDesc, "Fichier des clients");
    plain_ = b_.AddTable("Sans");
    b_.SetString(plain_.table, base::kHeader, "Sans traduction");
    b_.AddCategory("Adresse", 1, 0);
    b_.AddCategory("Montants", 2, 0);
    const std::string id = std::to_string(clients_.table);
    ASSERT_TRUE(t_.Set("OXADico", id + ".header", kLangGerman, "Kunden").ok());
    ASSERT_TRUE(t_.Set("OXADico", id + ".desc", kLangGerman, "Kundendatei").ok());
    const std::string_view names[] = {"Adresse"};
    ASSERT_TRUE(t_.SetByNames("Categories", names, kLangGerman, "Anschrift").ok());
  }

  void ExpectTranslated(DDicoHandler& h) {
    DDicoBase* clients = h.FindById(clients_.table);
    ASSERT_NE(clients, nullptr);
    SetResourceLanguage(kLangGerman);
    EXPECT_EQ(clients->GetHeader().str(), "Kunden");
    EXPECT_EQ(clients->GetDescription().str(), "Kundendatei");
    EXPECT_EQ(h.FindById(plain_.table)->GetHeader().str(), "Sans traduction");
    EXPECT_EQ(h.CategoryText(h.FindCategory("Adresse")).str(), "Anschrift");
    EXPECT_EQ(h.CategoryText(h.FindCategory("Montants")).str(), "Montants");
    SetResourceLanguage(kLangFrench);
    EXPECT_EQ(clients->GetHeader().str(), "Clients");
    EXPECT_EQ(clients->GetDescription().str(), "Fichier des clients");
    EXPECT_EQ(h.CategoryText(h.FindCategory("Adresse")).str(), "Adresse");
    EXPECT_EQ(clients->GetName().str(), "Clients") << "names are never translated";
  }

  SettingsGuard guard_;
  DicoTestBuilder b_;
  DicoTestBuilder::Table clients_, plain_;
  TranslationFile t_;
};

TEST_F(HandlerTranslation, GivenTranslationsShowInTheirLanguage) {
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b_.Bytes(11), kLoadNameIndex, &t_), LoadResult::kLoaded);
  ExpectTranslated(h);
}

TEST_F(HandlerTranslation, TranslationFileBesideTheDictionaryIsRead) {
  TempDir dir;
  for (const char* name : {"Compta.dic", "Compta.NEW"}) {
    const std::string path = dir.Write(name, b_.Bytes(11));
    ASSERT_TRUE(t_.Save(DDicoHandler::TranslationPathFor(path)).ok());
    DDicoHandler h;
    ASSERT_EQ(h.Load(path, kLoadNameIndex), LoadResult::kLoaded) << h.LastLoadStatus().ToString();
    ExpectTranslated(h);
    fs::remove(DDicoHandler::TranslationPathFor(path));
  }
}

TEST_F(HandlerTranslation, CategoriesAreFoundOnTheirFirst30Characters) {
  b_.AddCategory("Une categorie au nom tres long", 3, 0);  // exactly 30 characters
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b_.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  ASSERT_EQ(h.CategoryCount(), 3);
  EXPECT_EQ(h.FindCategory("Adresse"), 0);
  EXPECT_EQ(h.FindCategory("Montants"), 1);
  EXPECT_EQ(h.FindCategory("Une categorie au nom tres long"), 2);
  EXPECT_EQ(h.FindCategory("Une categorie au nom tres long, vraiment"), 2);
  EXPECT_EQ(h.FindCategory("adresse"), -1) << "case-sensitive";
  EXPECT_EQ(h.FindCategory("Adress"), -1);
  EXPECT_EQ(h.GetCategory(3), nullptr);
  EXPECT_EQ(h.GetCategory(-1), nullptr);
  EXPECT_EQ(LoadLE32(h.GetCategory(1) + 31), 2u);
  EXPECT_EQ(h.CategoryName(2).str(), "Une categorie au nom tres long");
}

// A table whose stored layout is stale: a 20-byte field, a user-defined area
// of 100 bytes with two 10-byte fields, then a 4-byte field.
struct StaleLayout {
  DicoTestBuilder b;
  uint32_t table = 0, first = 0, area = 0, in1 = 0, in2 = 0, last = 0;
};

StaleLayout MakeStaleLayout() {
  StaleLayout s;
  auto t = s.b.AddTable("Perso");
  s.table = t.table;
  s.first = s.b.AddField(t.data, "A", 0, 20, 99);
  s.area = s.b.AddVarPerso(t.data, "Zone", 100, 0);
  s.in1 = s.b.AddField(s.area, "P1", 0, 10, 0, 0, kVarInPerso);
  s.in2 = s.b.AddField(s.area, "P2", 0, 10, 0, 0, kVarInPerso);
  s.last = s.b.AddField(t.data, "B", 0, 4, 99);
  return s;
}

TEST(HandlerLoadLayout, LevelBelow9RecomputesTheContainerOfUserAreas) {
  for (int level : {8, 9, 11}) {
    StaleLayout s = MakeStaleLayout();
    DDicoHandler h;
    ASSERT_EQ(h.LoadImage(s.b.Bytes(level), kLoadNameIndex), LoadResult::kLoaded);
    const bool recomputed = level < 9;  // later levels keep the stored layout
    EXPECT_EQ(h.FindById(s.table)->UnitSize(), recomputed ? 124u : 0u) << level;
    EXPECT_EQ(h.FindById(s.first)->DiskOffset(), recomputed ? 0u : 99u) << level;
    EXPECT_EQ(h.FindById(s.last)->DiskOffset(), recomputed ? 120u : 99u) << level;
    if (!recomputed) continue;
    EXPECT_EQ(h.FindById(s.area)->DiskOffset(), 20u);
    EXPECT_EQ(h.FindById(s.in1)->DiskOffset(), 20u);
    EXPECT_EQ(h.FindById(s.in2)->DiskOffset(), 30u);
  }
}

TEST(HandlerLoadFlags, RootFlagBit0SetsTheZeroMinimumDate) {
  SettingsGuard guard;
  DicoTestBuilder with, without;
  with.SetWord(with.root(), base::kFlags, 0x11);
  without.SetWord(without.root(), base::kFlags, 0x10);
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(with.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  EXPECT_TRUE(record::MinimumDateIsZero());
  ASSERT_EQ(h.LoadImage(without.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  EXPECT_FALSE(record::MinimumDateIsZero());
}

TEST(HandlerLoadFlags, ObjectsReadFromAFileCarryTheFileBitAndNoOwnership) {
  DicoTestBuilder b;
  const uint32_t f = b.AddField(b.AddTable("T").data, "A", 0, 4);
  b.SetString(f, 67, "1+1");
  b.SetString(f, 85, "Montants");
  b.SetWord(f, base::kInternalFlags, iflag::kOwnName | iflag::kOwnFormula | iflag::kOwnCategory |
                                         iflag::kOwnMask | 0x40);
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  const uint32_t flags = h.FindById(f)->InternalFlags();
  EXPECT_TRUE(flags & iflag::kFromFile);
  EXPECT_FALSE(flags & (iflag::kOwnName | iflag::kOwnFormula | iflag::kOwnCategory));
  EXPECT_TRUE(flags & iflag::kOwnMask) << "the mask is absent: its bit is not touched";
  EXPECT_TRUE(flags & 0x40);
  EXPECT_TRUE(h.Root()->InternalFlags() & iflag::kFromFile);
}

}  // namespace
}  // namespace tavelnor::dico
