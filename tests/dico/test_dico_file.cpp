// CInternalDicoFile: container detection, reading, rewinding and modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dico/dico_file.h"
#include "dico/dico_test_support.h"
#include "dico/gzip_stream.h"
#include "dico/pe_resource.h"

namespace tavelnor::dico {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A stand-in dictionary image: a real header followed by patterned bytes.
Bytes MakeImage(size_t n) {
  Bytes out = {'D', '8', 2, 11};
  std::mt19937 gen(17);
  while (out.size() < n) out.push_back(static_cast<uint8_t>(gen() % 40));
  out.resize(n);
  return out;
}

class DicoFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes) { return dir_.Write(name, bytes); }

  static Bytes ReadInChunks(CInternalDicoFile& file, size_t chunk) {
    Bytes out, buf(chunk);
    for (;;) {
      const size_t got = file.Read(buf.data(), chunk);
      out.insert(out.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(got));
      if (got < chunk) return out;
    }
  }

  testing::TempDir dir_;
};

struct ContainerCase {
  const char* name;
  Bytes (*wrap)(const Bytes&);
  bool compressed;
  DicoContainer container;
};

Bytes AsIs(const Bytes& b) { return b; }
Bytes Gzipped(const Bytes& b) { return GzipCompress(b); }
Bytes InModule(const Bytes& b) { return BuildPeModuleWithResource(u"DICO", u"DICO", 1036, b); }
Bytes InModuleLowerCase(const Bytes& b) {
  return BuildPeModuleWithResource(u"dico", u"dico", 1033, b);
}

class DicoFileContainers : public DicoFileTest,
                           public ::testing::WithParamInterface<ContainerCase> {};

TEST_P(DicoFileContainers, ReadsTheImageAgainAfterRewind) {
  const ContainerCase& c = GetParam();
  for (size_t size : {size_t{0}, size_t{4}, size_t{5000}, size_t{700000}}) {
    SCOPED_TRACE(size);
    const Bytes image = MakeImage(size);
    const std::string path = Write("dict.dic", c.wrap(image));
    Result<std::unique_ptr<CInternalDicoFile>> file =
        CInternalDicoFile::Open(path, true, c.compressed);
    ASSERT_TRUE(file.ok()) << file.status().ToString();
    CInternalDicoFile& f = **file;
    EXPECT_EQ(f.container(), c.container);
    EXPECT_EQ(f.uses_gzip(), c.container == DicoContainer::kGzip);
    EXPECT_EQ(f.mode(), CInternalDicoFile::kModeRead);
    EXPECT_EQ(f.path(), path);

    EXPECT_EQ(ReadInChunks(f, 333), image);
    uint8_t extra[8];
    EXPECT_EQ(f.Read(extra, sizeof extra), 0u);  // past the end: nothing, no error
    EXPECT_TRUE(f.status().ok());

    ASSERT_TRUE(f.Rewind().ok());
    EXPECT_EQ(ReadInChunks(f, 65536), image);

    Result<Bytes> all = f.ReadAll();
    ASSERT_TRUE(all.ok()) << all.status().ToString();
    EXPECT_EQ(*all, image);
    Result<Bytes> again = f.ReadAll();  // ReadAll starts from the first byte each time
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(*again, image);
    if (size > 0) {  // a cap one byte short of the image refuses it
      Result<Bytes> capped = f.ReadAll(size - 1);
      ASSERT_FALSE(capped.ok());
      EXPECT_EQ(capped.status().code(), Status::Code::kCorrupt);
      EXPECT_TRUE(f.ReadAll(size).ok());
    }
    // A rewind after a partial read starts over.
    ASSERT_TRUE(f.Rewind().ok());
    Bytes head(std::min<size_t>(size, 1234));
    ASSERT_EQ(f.Read(head.data(), head.size()), head.size());
    ASSERT_TRUE(f.Rewind().ok());
    EXPECT_EQ(ReadInChunks(f, 4096), image);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DicoFileContainers,
    ::testing::Values(
        ContainerCase{"Plain", AsIs, false, DicoContainer::kPlain},
        ContainerCase{"PlainThroughGzipReader", AsIs, true, DicoContainer::kGzip},
        ContainerCase{"Gzip", Gzipped, true, DicoContainer::kGzip},
        ContainerCase{"GzipWithoutCompressionIsRaw", AsIs, false, DicoContainer::kPlain},
        ContainerCase{"Module", InModule, true, DicoContainer::kModule},
        ContainerCase{"ModuleWithoutCompression", InModule, false, DicoContainer::kModule},
        ContainerCase{"ModuleNamedInLowerCase", InModuleLowerCase, true, DicoContainer::kModule}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DicoFileTest, TruncatedGzipIsAnError) {
  const Bytes image = MakeImage(50000);
  Bytes packed = GzipCompress(image);
  packed.resize(packed.size() / 2);
  CInternalDicoFile f(Write("d.dic", packed), true, true);
  ASSERT_TRUE(f.status().ok());  // the damage shows only when reading
  Bytes buf(image.size());
  EXPECT_LT(f.Read(buf.data(), buf.size()), image.size());
  EXPECT_EQ(f.status().code(), Status::Code::kCorrupt);
  Result<Bytes> all = f.ReadAll();
  ASSERT_FALSE(all.ok());
  EXPECT_EQ(all.status().code(), Status::Code::kCorrupt);
}

TEST_F(DicoFileTest, FilesThatCannotServeAreReported) {
  struct Case {
    const char* name;
    std::string path;
    Status::Code code;
  };
  const Bytes damaged_module = {0x4D, 0x5A, 0x90, 0x00, 1, 2, 3};
  const Case cases[] = {
      {"missing", dir_.Path("nothing.dic"), Status::Code::kIoError},
      {"directory", dir_.Path(""), Status::Code::kIoError},
      {"module without the resource",
       Write("other.dll", BuildPeModuleWithResource(u"DICO", u"OTHER", 0, MakeImage(10))),
       Status::Code::kNotFound},
      {"damaged module", Write("bad.dll", damaged_module), Status::Code::kCorrupt},
  };
  for (const Case& c : cases) {
    Result<std::unique_ptr<CInternalDicoFile>> file = CInternalDicoFile::Open(c.path, true, true);
    ASSERT_FALSE(file.ok()) << c.name;
    EXPECT_EQ(file.status().code(), c.code) << c.name << ": " << file.status().ToString();
    CInternalDicoFile direct(c.path, true, true);
    EXPECT_FALSE(direct.is_open());
    uint8_t buf[4];
    EXPECT_EQ(direct.Read(buf, sizeof buf), 0u);
  }
}

TEST_F(DicoFileTest, UpdateOpensReadWriteAsAPlainFile) {
  const Bytes packed = GzipCompress(MakeImage(100));
  const std::string path = Write("d.dic", packed);
  CInternalDicoFile f(path, true, true);
  EXPECT_TRUE(f.ReopenForUpdate(false, true));  // without write: nothing changes
  EXPECT_EQ(f.mode(), CInternalDicoFile::kModeRead);
  EXPECT_TRUE(f.uses_gzip());
  ASSERT_TRUE(f.ReopenForUpdate(true, false));
  EXPECT_EQ(f.mode(), CInternalDicoFile::kModeReadWrite);
  EXPECT_EQ(f.container(), DicoContainer::kPlain);
  Result<Bytes> all = f.ReadAll();  // no truncation, no inflating
  ASSERT_TRUE(all.ok());
  EXPECT_EQ(*all, packed);
  ASSERT_TRUE(f.SettleAfterLoad().ok());
  EXPECT_EQ(f.mode(), CInternalDicoFile::kModeReadWrite);
}

TEST_F(DicoFileTest, UpdateWithCreateEmptiesTheFileAndSettlesToReading) {
  const std::string path = Write("d.dic", MakeImage(100));
  CInternalDicoFile f(path, true, true);
  ASSERT_TRUE(f.ReopenForUpdate(true, true));
  EXPECT_EQ(f.mode(), CInternalDicoFile::kModeCreate);
  EXPECT_EQ(fs::file_size(path), 0u);
  ASSERT_TRUE(f.SettleAfterLoad().ok());
  EXPECT_EQ(f.mode(), CInternalDicoFile::kModeRead);
}

TEST_F(DicoFileTest, WriteModesSettleAsLoadsLeaveThem) {
  const std::string path = dir_.Path("new.dic");
  CInternalDicoFile f(path, false, true);
  ASSERT_TRUE(f.status().ok()) << f.status().ToString();
  EXPECT_EQ(f.mode(), CInternalDicoFile::kModeWrite);
  EXPECT_TRUE(fs::exists(path));
  const std::pair<int, int> settles[] = {{0, 0}, {1, 1}, {2, 0}, {3, 1}, {4, 0}};
  for (auto [from, to] : settles) {
    ASSERT_TRUE(f.Reopen(from).ok()) << from;
    ASSERT_TRUE(f.SettleAfterLoad().ok()) << from;
    EXPECT_EQ(f.mode(), to) << from;
  }
  EXPECT_EQ(f.Reopen(5).code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(f.Reopen(-1).code(), Status::Code::kInvalidArgument);
}

TEST_F(DicoFileTest, GzipRewindReopensThePath) {
  const std::string path = Write("d.dic", GzipCompress(MakeImage(100)));
  CInternalDicoFile f(path, true, true);
  uint8_t head[10];
  ASSERT_EQ(f.Read(head, sizeof head), sizeof head);
  // A new file put in place under the same name is seen only by a reopen.
  const Bytes replacement = MakeImage(321);
  fs::rename(Write("new.dic", GzipCompress(replacement)), path);
  ASSERT_TRUE(f.Rewind().ok());
  EXPECT_EQ(ReadInChunks(f, 1000), replacement);
}

}  // namespace
}  // namespace tavelnor::dico
