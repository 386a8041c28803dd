// Windows module resources: the built module's shape, lookups, and damage.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "dico/pe_resource.h"
#include "foundation/byte_reader.h"

namespace tavelnor::dico {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes MakeBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<uint8_t>(gen());
  return out;
}

Bytes BuildDico(const Bytes& data, uint16_t lang = 1036) {
  return BuildPeModuleWithResource(u"DICO", u"DICO", lang, data);
}

uint32_t PeOffset(const Bytes& m) { return LoadLE32(m.data() + 0x3C); }
uint32_t OptionalAt(const Bytes& m) { return PeOffset(m) + 24; }
uint32_t SectionAt(const Bytes& m) { return OptionalAt(m) + LoadLE16(m.data() + PeOffset(m) + 20); }
uint32_t RsrcAt(const Bytes& m) { return LoadLE32(m.data() + SectionAt(m) + 20); }

// End-around-carry sum of all 16-bit words, checksum field as zero, plus length.
uint32_t ReferenceChecksum(Bytes m) {
  StoreLE32(m.data() + OptionalAt(m) + 64, 0);
  uint64_t sum = 0;
  for (size_t i = 0; i + 1 < m.size(); i += 2) sum += LoadLE16(m.data() + i);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + m.size());
}

class PeRoundTrip : public ::testing::TestWithParam<size_t> {};

TEST_P(PeRoundTrip, ResourceReadsBackFromABuiltModule) {
  const Bytes data = MakeBytes(GetParam(), 11);
  const Bytes module = BuildDico(data);
  ASSERT_TRUE(HasModuleMark(module));
  Result<PeResource> found = FindPeResource(module, u"DICO", u"DICO");
  ASSERT_TRUE(found.ok()) << found.status().ToString();
  EXPECT_EQ(Bytes(found->data.begin(), found->data.end()), data);
  EXPECT_EQ(found->language, 1036);
}

TEST_P(PeRoundTrip, ModuleHasTheShapeWindowsLoadersExpect) {
  const Bytes m = BuildDico(MakeBytes(GetParam(), 12));
  ASSERT_EQ(LoadLE32(m.data() + PeOffset(m)), 0x00004550u);
  const uint8_t* coff = m.data() + PeOffset(m) + 4;
  EXPECT_EQ(LoadLE16(coff), 0x14C);                 // i386
  EXPECT_EQ(LoadLE16(coff + 2), 1);                 // one section
  EXPECT_EQ(LoadLE16(coff + 18) & 0x2002, 0x2002);  // executable DLL
  const uint8_t* opt = m.data() + OptionalAt(m);
  EXPECT_EQ(LoadLE16(opt), 0x10B);
  const uint32_t section_align = LoadLE32(opt + 32), file_align = LoadLE32(opt + 36);
  EXPECT_EQ(section_align, 0x1000u);
  EXPECT_EQ(file_align, 0x200u);
  EXPECT_EQ(LoadLE32(opt + 16), 0u);  // no entry point
  const uint8_t* sec = m.data() + SectionAt(m);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(sec), 5), ".rsrc");
  const uint32_t rva = LoadLE32(sec + 12), raw_size = LoadLE32(sec + 16),
                 raw_at = LoadLE32(sec + 20);
  EXPECT_EQ(LoadLE32(opt + 96 + 16), rva);  // resource directory = the section
  EXPECT_EQ(rva % section_align, 0u);
  EXPECT_EQ(raw_at % file_align, 0u);
  EXPECT_EQ(raw_size % file_align, 0u);
  EXPECT_EQ(raw_at, LoadLE32(opt + 60));  // headers end where the section starts
  EXPECT_EQ(m.size(), size_t{raw_at} + raw_size);
  const uint32_t image_size = LoadLE32(opt + 56);
  EXPECT_EQ(image_size % section_align, 0u);
  EXPECT_GE(image_size, rva + LoadLE32(sec + 8));
  EXPECT_EQ(LoadLE32(opt + 64), ReferenceChecksum(m));
}

INSTANTIATE_TEST_SUITE_P(DataSizes, PeRoundTrip, ::testing::Values(0, 1, 7, 0x200, 4096, 100000));

TEST(PeLookup, NamesCompareWithoutRegardToCase) {
  const Bytes module = BuildPeModuleWithResource(u"dico", u"Other", 9, MakeBytes(10, 1));
  const std::tuple<std::u16string_view, std::u16string_view, bool> queries[] = {
      {u"DICO", u"OTHER", true}, {u"dico", u"oThEr", true},   {u"DICO", u"DICO", false},
      {u"OTHER", u"OTHER", false}, {u"DIC", u"OTHER", false}, {u"DICO", u"OTHERS", false}};
  for (auto [type, name, present] : queries) {
    Result<PeResource> found = FindPeResource(module, type, name);
    if (present) {
      ASSERT_TRUE(found.ok()) << found.status().ToString();
      EXPECT_EQ(found->data.size(), 10u);
    } else {
      EXPECT_EQ(found.status().code(), Status::Code::kNotFound) << found.status().ToString();
    }
  }
}

TEST(PeLookup, ModuleWithoutResourceTableIsNotFound) {
  Bytes module = BuildDico(MakeBytes(10, 1));
  StoreLE32(module.data() + OptionalAt(module) + 92, 2);  // directories 0 and 1 only
  Result<PeResource> found = FindPeResource(module, u"DICO", u"DICO");
  EXPECT_EQ(found.status().code(), Status::Code::kNotFound);
}

// A 64-bit (PE32+) module with the same resource section: the optional header
// grows to 240 bytes and keeps its data directories at offset 112.
Bytes ToPe32Plus(const Bytes& m) {
  Bytes out(m.begin(), m.begin() + PeOffset(m) + 24);
  StoreLE16(out.data() + PeOffset(m) + 4, 0x8664);
  StoreLE16(out.data() + PeOffset(m) + 20, 0xF0);
  Bytes opt(0xF0, 0);
  StoreLE16(opt.data(), 0x20B);
  StoreLE32(opt.data() + 108, 16);
  std::copy_n(m.begin() + OptionalAt(m) + 96, 16 * 8, opt.begin() + 112);
  out.insert(out.end(), opt.begin(), opt.end());
  out.insert(out.end(), m.begin() + SectionAt(m), m.begin() + SectionAt(m) + 40);
  out.resize(RsrcAt(m), 0);
  out.insert(out.end(), m.begin() + RsrcAt(m), m.end());
  return out;
}

TEST(PeLookup, ReadsPe32PlusModules) {
  const Bytes data = MakeBytes(300, 4);
  const Bytes module = ToPe32Plus(BuildDico(data));
  Result<PeResource> found = FindPeResource(module, u"DICO", u"DICO");
  ASSERT_TRUE(found.ok()) << found.status().ToString();
  EXPECT_EQ(Bytes(found->data.begin(), found->data.end()), data);
}

struct Patch {
  const char* name;
  // Offset of the patched word: from the start of the file or of .rsrc.
  bool in_rsrc;
  uint32_t at;
  uint32_t value;
  const char* message_part;
};

class PeBadOffsets : public ::testing::TestWithParam<Patch> {};

TEST_P(PeBadOffsets, AreReportedAsDamage) {
  const Patch& p = GetParam();
  Bytes module = BuildDico(MakeBytes(64, 6));
  StoreLE32(module.data() + (p.in_rsrc ? RsrcAt(module) : 0) + p.at, p.value);
  Result<PeResource> found = FindPeResource(module, u"DICO", u"DICO");
  ASSERT_FALSE(found.ok());
  EXPECT_EQ(found.status().code(), Status::Code::kCorrupt);
  EXPECT_NE(found.status().message().find(p.message_part), std::string::npos)
      << found.status().message();
}

// .rsrc layout of a built module: root directory at 0 (entry at 0x10), name
// directory at 0x18 (entry at 0x28), language directory at 0x30 (entry at
// 0x40), data entry at 0x48, names from 0x58.
INSTANTIATE_TEST_SUITE_P(
    Cases, PeBadOffsets,
    ::testing::Values(Patch{"PeHeaderBeyondEnd", false, 0x3C, 0xFFFFFFF0, "offset 0x3C"},
                      Patch{"NoPeSignature", false, 0x80, 0x12345678, "offset 0x80"},
                      Patch{"SectionCountHuge", false, 0x84, 0xFFFF014C, "section table"},
                      Patch{"OptionalMagicUnknown", false, 0x98, 0x0107, "magic"},
                      Patch{"RsrcRvaOutsideSections", false, 0x98 + 96 + 16, 0x7FFF0000,
                            "no section"},
                      Patch{"RootPointsToItself", true, 0x14, 0x80000000, "directory"},
                      Patch{"NamePointsToRoot", true, 0x2C, 0x80000000, "directory"},
                      Patch{"LanguagePointsToName", true, 0x44, 0x80000018, "directory"},
                      Patch{"TypeLeadsToData", true, 0x14, 0x48, "not a directory"},
                      Patch{"DirectoryBeyondEnd", true, 0x14, 0x8FFFFFF0, "cut short"},
                      Patch{"NameOffsetBeyondEnd", true, 0x10, 0xFFFFFFFF, "name cut short"},
                      Patch{"EntryCountHuge", true, 0x0C, 0xFFFFFFFF, "entries cut short"},
                      Patch{"DataEntryBeyondEnd", true, 0x44, 0x7FFFFFF0, "data entry cut short"},
                      Patch{"DataRvaBeyondEnd", true, 0x48, 0xFFFFFFF0, "outside the file"},
                      Patch{"DataSizeHuge", true, 0x4C, 0xFFFFFFFF, "outside the file"},
                      Patch{"NoLanguage", true, 0x3C, 0, "no language"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavelnor::dico
