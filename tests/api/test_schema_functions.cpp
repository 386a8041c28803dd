// The exported schema functions: opening, versions, closing, the last error,
// handle validation, the schema flags, dictionaries of every level in every
// container, and damaged dictionary files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "api/handles.h"
#include "data/btrieve_reporting.h"
#include "dico/dico_file.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/gzip_stream.h"
#include "dico/pe_resource.h"
#include "tavelnor/zavl.h"

namespace tavelnor::api {
namespace {

namespace fs = std::filesystem;
using dico::testing::DicoTestBuilder;
using data::EBtrieve;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kVersion = 0x01020304;

Bytes SampleImage(int level, uint32_t version = kVersion) {
  DicoTestBuilder b;
  b.image().header.version_system = version;
  b.image().header.version_user = 3;
  auto t = b.AddTable("Clients");
  const uint32_t nom = b.AddField(t.data, "Nom", 0, 30, 0);
  b.AddField(t.data, "Code", 0, 8, 30);
  b.AddSegment(b.AddKey(t.keys, "ParNom"), "Nom", nom, 0);
  auto f = b.AddTable("Factures");
  b.AddField(f.data, "Numero", 2, 4, 0);
  b.AddVarPerso(f.data, "Perso", 40, 4);
  b.AddLink(t.links, "VersFactures", f.table, 0);
  b.SetString(t.table, dico::base::kHeader, "Fichier des clients");
  b.AddCategory("Adresse", 1, 0);
  b.AddCountry("France", 3);
  return b.Bytes(level);
}

enum class Container { kPlain, kGzip, kModule };

Bytes Wrap(const Bytes& image, Container c) {
  switch (c) {
    case Container::kPlain: return image;
    case Container::kGzip: return dico::GzipCompress(image);
    case Container::kModule: return dico::BuildPeModuleWithResource(u"DICO", u"DICO", 1036, image);
  }
  return image;
}

const char* ContainerName(Container c) {
  switch (c) {
    case Container::kPlain: return "Plain";
    case Container::kGzip: return "Gzip";
    case Container::kModule: return "Module";
  }
  return "?";
}

dico::DDicoHandler* HandlerOf(ZAVL_Schema* schema) {
  return reinterpret_cast<SchemaHandle*>(schema)->dicoHandler.get();
}

class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& ch : name) {
      if (ch == '/') ch = '_';
    }
    dir_ = fs::temp_directory_path() /
           ("tavelnor-schema-" + std::to_string(std::random_device{}()) + "-" + name);
    fs::create_directories(dir_);
    EBtrieve::SetBtrvErrorFunc(&EBtrieve::DefaultBtrvErrorFunc);
  }
  void TearDown() override {
    EBtrieve::SetBtrvErrorFunc(&EBtrieve::DefaultBtrvErrorFunc);
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir_, ec)) {
      fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(dir_, ec);
  }
  std::string Write(const std::string& name, const Bytes& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }

  fs::path dir_;
};

// --- opening, versions, closing ---------------------------------------------------

TEST_F(SchemaTest, MissingAndUnloadablePathsGiveMinus201) {
  EXPECT_EQ(ZAVL_OpenSchema((dir_ / "absent.dic").string().c_str(), 0), nullptr);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_DICO_LOAD);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_DICO_LOAD) << "reading does not reset it";
  const std::string text = Write("notes.txt", Bytes{'h', 'e', 'l', 'l', 'o', '\n'});
  const std::string empty = Write("empty.dic", Bytes{});
  const std::string module = Write("nodico.dll", dico::BuildPeModuleWithResource(
                                                     u"TEXT", u"DICO", 1036, SampleImage(11)));
  for (const std::string& path : {text, empty, module, dir_.string()}) {
    EXPECT_EQ(ZAVL_OpenSchema(path.c_str(), 0), nullptr) << path;
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_DICO_LOAD) << path;
  }
  EXPECT_EQ(ZAVL_OpenSchema(nullptr, 0), nullptr);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_DICO_LOAD);
}

// The version is header bytes 4 to 7, a value with the high bit set comes
// back as its signed value.
TEST_F(SchemaTest, VersionIsHeaderBytes4To7AsASignedValue) {
  for (const uint32_t version : {kVersion, 0xFFFFFFF0u}) {
    SCOPED_TRACE(version);
    const Bytes image = SampleImage(11, version);
    ASSERT_EQ(image[4], version & 0xFF);
    ASSERT_EQ(image[7], version >> 24);
    ZAVL_Schema* s = ZAVL_OpenSchema(Write("v.dic", image).c_str(), 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
    EXPECT_EQ(ZAVL_GetDicoVersion(s), static_cast<int32_t>(version));
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
    ZAVL_CloseSchema(s);
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
  }
}

// --- handle validation -----------------------------------------------------------------

// A handle the library knows must still carry its tag and its handler.
TEST_F(SchemaTest, LiveHandleWithAnotherTagOrWithoutHandlerIsRefused) {
  ZAVL_Schema* s = ZAVL_OpenSchema(Write("t.dic", SampleImage(11)).c_str(), 0);
  ASSERT_NE(s, nullptr);
  auto* h = reinterpret_cast<SchemaHandle*>(s);
  h->tag = 0x53434846;
  EXPECT_EQ(ZAVL_GetDicoVersion(s), 0);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE);
  ZAVL_CloseSchema(s);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE);
  h->tag = kSchemaTag;
  std::unique_ptr<dico::DDicoHandler> handler = std::move(h->dicoHandler);
  EXPECT_EQ(ZAVL_GetDicoVersion(s), 0);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE);
  ZAVL_CloseSchema(s);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE);
  h->dicoHandler = std::move(handler);
  EXPECT_EQ(ZAVL_GetDicoVersion(s), static_cast<int32_t>(kVersion)) << "refused, so still open";
  ZAVL_CloseSchema(s);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
  ZAVL_CloseSchema(s);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_HANDLE) << "closed twice";
}

// --- flags -------------------------------------------------------------------------------

TEST_F(SchemaTest, FlagsFrom0x20UpChangeNothing) {
  const std::string path = Write("f.dic", SampleImage(11));
  ZAVL_Schema* plain = ZAVL_OpenSchema(path.c_str(), 0);
  ASSERT_NE(plain, nullptr);
  ZAVL_Schema* high = ZAVL_OpenSchema(path.c_str(), 0xFFFFFFE0u);
  ASSERT_NE(high, nullptr);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
  EXPECT_EQ(reinterpret_cast<SchemaHandle*>(high)->schemaFlags, 0xFFFFFFE0u) << "kept";
  EXPECT_EQ(ZAVL_GetDicoVersion(high), ZAVL_GetDicoVersion(plain));
  EXPECT_EQ(HandlerOf(high)->ObjectCount(), HandlerOf(plain)->ObjectCount());
  EXPECT_EQ(HandlerOf(high)->File()->mode(), dico::CInternalDicoFile::kModeRead)
      << "not reopened for update";
  EXPECT_EQ(EBtrieve::GetBtrvErrorFunc(), &EBtrieve::DefaultBtrvErrorFunc) << "not quiet";
  ZAVL_CloseSchema(high);
  ZAVL_CloseSchema(plain);
}

TEST_F(SchemaTest, QuietClearsTheReporterOnlyAfterASuccessfulLoad) {
  EXPECT_EQ(ZAVL_OpenSchema((dir_ / "absent.dic").string().c_str(), SCHEMA_QUIET), nullptr);
  EXPECT_EQ(EBtrieve::GetBtrvErrorFunc(), &EBtrieve::DefaultBtrvErrorFunc);
  const std::string path = Write("q.dic", SampleImage(11));
  ZAVL_Schema* s = ZAVL_OpenSchema(path.c_str(), SCHEMA_QUIET);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(EBtrieve::GetBtrvErrorFunc(), nullptr);
  ZAVL_CloseSchema(s);
  EXPECT_EQ(EBtrieve::GetBtrvErrorFunc(), nullptr) << "closing does not restore it";
}

TEST_F(SchemaTest, DicoUpdateReopensTheFileForWriting) {
  const std::string path = Write("u.dic", SampleImage(11));
  ZAVL_Schema* s = ZAVL_OpenSchema(path.c_str(), SCHEMA_DICO_UPDATE);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
  EXPECT_EQ(HandlerOf(s)->File()->mode(), dico::CInternalDicoFile::kModeReadWrite);
  EXPECT_EQ(fs::file_size(path), SampleImage(11).size()) << "nothing truncated";
  ZAVL_CloseSchema(s);
}

TEST_F(SchemaTest, DicoUpdateOnAReadOnlyFileGivesMinus3) {
  const std::string path = Write("ro.dic", SampleImage(11));
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                  fs::perm_options::replace);
  {
    std::fstream probe(path, std::ios::in | std::ios::out | std::ios::binary);
    if (probe.is_open()) GTEST_SKIP() << "this account may write read-only files";
  }
  EXPECT_EQ(ZAVL_OpenSchema(path.c_str(), SCHEMA_DICO_UPDATE), nullptr);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_DICO_UPDATE);
  // Without the flag the same file opens.
  ZAVL_Schema* s = ZAVL_OpenSchema(path.c_str(), 0);
  ASSERT_NE(s, nullptr);
  ZAVL_CloseSchema(s);
}

// --- every level in every container -------------------------------------------------------

struct EndToEndCase {
  int level;
  Container container;
};

class SchemaEndToEnd : public SchemaTest, public ::testing::WithParamInterface<EndToEndCase> {};

TEST_P(SchemaEndToEnd, OpensReadsTheVersionAndCloses) {
  const EndToEndCase& c = GetParam();
  const std::string path = Write("e2e.dic", Wrap(SampleImage(c.level), c.container));
  ZAVL_Schema* s = ZAVL_OpenSchema(path.c_str(), SCHEMA_EXCHANGE | SCHEMA_LIST_OPTION);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
  EXPECT_EQ(ZAVL_GetDicoVersion(s), static_cast<int32_t>(kVersion));
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
  dico::DDicoHandler* h = HandlerOf(s);
  EXPECT_EQ(h->FormatLevel(), c.level);
  ASSERT_NE(h->FindTable("Clients.Nom"), nullptr);
  EXPECT_EQ(h->FindTable("Clients")->GetHeader().str(), "Fichier des clients");
  EXPECT_NE(h->FindTable("Factures"), nullptr);
  EXPECT_NE(h->FindById(dico::kSystemIdBase), nullptr);
  EXPECT_EQ(h->VersionUser(), c.level >= 8 ? 3u : 0u);
  ZAVL_CloseSchema(s);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
}

std::vector<EndToEndCase> AllEndToEndCases() {
  std::vector<EndToEndCase> out;
  for (int level : {2, 3, 4, 8, 10, 11}) {
    for (Container c : {Container::kPlain, Container::kGzip, Container::kModule}) {
      out.push_back({level, c});
    }
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(LevelsAndContainers, SchemaEndToEnd,
                         ::testing::ValuesIn(AllEndToEndCases()), [](const auto& info) {
                           return std::string(ContainerName(info.param.container)) + "Level" +
                                  std::to_string(info.param.level);
                         });

// --- damaged files ----------------------------------------------------------------------------

// One random change: a few flipped bytes, a cut, or a run of 0xFF.
Bytes Damage(const Bytes& good, std::mt19937& gen) {
  Bytes out = good;
  switch (gen() % 3) {
    case 0: {
      const int n = 1 + static_cast<int>(gen() % 4);
      for (int i = 0; i < n; ++i) out[gen() % out.size()] ^= static_cast<uint8_t>(1 + gen() % 255);
      break;
    }
    case 1: out.resize(gen() % out.size()); break;
    default: {
      const size_t at = gen() % out.size();
      const size_t n = std::min<size_t>(1 + gen() % 16, out.size() - at);
      std::fill(out.begin() + static_cast<std::ptrdiff_t>(at),
                out.begin() + static_cast<std::ptrdiff_t>(at + n), 0xFF);
      break;
    }
  }
  return out;
}

class SchemaCorruption : public SchemaTest, public ::testing::WithParamInterface<Container> {
 protected:
  // Opens `bytes` as a dictionary file: a handle, or null with -201.
  bool OpenOrRefuse(const Bytes& bytes, const std::string& what) {
    const std::string path = Write("damaged.dic", bytes);
    ZAVL_Schema* s = ZAVL_OpenSchema(path.c_str(), 0);
    if (!s) {
      EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_DICO_LOAD) << what;
      return false;
    }
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK) << what;
    (void)ZAVL_GetDicoVersion(s);
    ZAVL_CloseSchema(s);
    EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK) << what;
    return true;
  }
};

TEST_P(SchemaCorruption, DamagedFilesOpenOrFailWithMinus201) {
  const Container c = GetParam();
  std::mt19937 gen(20261205u + static_cast<unsigned>(c));
  int opened = 0, refused = 0;
  for (int level : {11, 8, 4}) {
    const Bytes image = SampleImage(level);
    const Bytes file = Wrap(image, c);
    for (int round = 0; round < 60; ++round) {
      // Damage to the container's own bytes...
      const std::string what = "level " + std::to_string(level) + " round " + std::to_string(round);
      (OpenOrRefuse(Damage(file, gen), what + " (file)") ? opened : refused)++;
      // ...and to the image inside an intact container.
      if (c != Container::kPlain) {
        (OpenOrRefuse(Wrap(Damage(image, gen), c), what + " (image)") ? opened : refused)++;
      }
    }
  }
  EXPECT_GT(refused, 0);
  RecordProperty("opened", opened);
  RecordProperty("refused", refused);
}

INSTANTIATE_TEST_SUITE_P(Containers, SchemaCorruption,
                         ::testing::Values(Container::kPlain, Container::kGzip, Container::kModule),
                         [](const auto& info) { return std::string(ContainerName(info.param)); });

}  // namespace
}  // namespace tavelnor::api
