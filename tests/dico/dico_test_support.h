// Helpers shared by the dictionary reader, handler and object model tests:
// process-wide settings kept to one test, temporary directories, a handler
// loaded from a builder, and a walk over the sections of a written image.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "foundation/byte_reader.h"
#include "foundation/string_resources.h"
#include "record/date_settings.h"

namespace tavelnor::dico::testing {

// Keeps the resource language (set to French meanwhile) and the minimum
// date setting of a test to itself.
class SettingsGuard {
 public:
  SettingsGuard() : lang_(ResourceLanguage()), zero_(record::MinimumDateIsZero()) {
    SetResourceLanguage(kLangFrench);
  }
  ~SettingsGuard() {
    SetResourceLanguage(lang_);
    record::SetMinimumDateZero(zero_);
  }
  SettingsGuard(const SettingsGuard&) = delete;
  SettingsGuard& operator=(const SettingsGuard&) = delete;

 private:
  uint16_t lang_;
  bool zero_;
};

// A temporary directory of its own for each test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    path_ = std::filesystem::temp_directory_path() /
            ("tavelnor-dico-" + std::to_string(std::random_device{}()) + "-" + name);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::filesystem::path p = path_ / name;
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A handler loaded (with the name index) from a builder's image, in French.
class LoadedDico {
 public:
  explicit LoadedDico(const DicoTestBuilder& b, int level = kMaxLevel) {
    EXPECT_EQ(h.LoadImage(b.Bytes(level), kLoadNameIndex), LoadResult::kLoaded)
        << h.LastLoadStatus().ToString();
  }
  DDicoBase* operator[](uint32_t id) { return h.FindById(id); }

  SettingsGuard guard;
  DDicoHandler h;
};

// A sample dictionary with its identifiers: tables "Clients" (fields "Nom"
// and "Code", key "ParNom" with a segment, link "VersFactures"), "Factures",
// "Stock", "Stock!Ancien", "UnNomDeTablePlusLongQueVingt" and "Code"; two
// categories.
struct SampleDico {
  DicoTestBuilder b;
  DicoTestBuilder::Table clients, factures, stock, bang, longname, code;
  uint32_t nom = 0, code_field = 0, key = 0, segment = 0, link = 0, numero = 0;
};

inline SampleDico MakeSampleDico() {
  SampleDico s;
  auto& b = s.b;
  s.clients = b.AddTable("Clients");
  s.nom = b.AddField(s.clients.data, "Nom", 0, 30, 0);
  s.code_field = b.AddField(s.clients.data, "Code", 0, 8, 30);
  s.key = b.AddKey(s.clients.keys, "ParNom");
  s.segment = b.AddSegment(s.key, "Nom", s.nom, 0);
  s.factures = b.AddTable("Factures");
  s.numero = b.AddField(s.factures.data, "Numero", 2, 4, 0);
  s.link = b.AddLink(s.clients.links, "VersFactures", s.factures.table, 0);
  s.stock = b.AddTable("Stock");
  s.bang = b.AddTable("Stock!Ancien");
  s.longname = b.AddTable("UnNomDeTablePlusLongQueVingt");
  s.code = b.AddTable("Code");
  b.AddCategory("Adresse", 1, 0);
  b.AddCategory("Montants", 2, 0);
  return s;
}


// The identifiers of some objects, in order.
inline std::vector<uint32_t> IdsOf(const std::vector<DDicoBase*>& objects) {
  std::vector<uint32_t> out;
  for (const DDicoBase* o : objects) out.push_back(o->Id());
  return out;
}

// Where the sections of a written image lie: the element sizes of the
// non-empty arrays in array order, the first element size and the pool.
struct ImageLayout {
  std::vector<std::pair<int, uint32_t>> sizes;
  size_t first_size_at = 0;
  size_t pool_at = 0;
};

inline ImageLayout WalkImageLayout(const std::vector<uint8_t>& bytes) {
  ImageLayout out;
  ByteReader r(bytes);
  const int level = bytes.at(3);
  EXPECT_TRUE(r.Skip(level >= 8 ? 12 : 8));
  EXPECT_TRUE(r.Skip(level >= 5 ? 8 : 4));
  if (level >= 11) {
    uint32_t n = 0;
    EXPECT_TRUE(r.ReadU32(&n));
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t len = 0;
      EXPECT_TRUE(r.Skip(4) && r.ReadU32(&len) && r.Skip(len));
    }
    EXPECT_TRUE(r.Skip(4));
  }
  std::vector<uint32_t> counts;
  for (int k = 0; k < ArrayCountForLevel(level); ++k) {
    uint32_t c = 0;
    if (level >= 11) {
      EXPECT_TRUE(r.ReadU32(&c));
    } else {
      uint16_t c16 = 0;
      EXPECT_TRUE(r.ReadU16(&c16));
      c = c16;
    }
    counts.push_back(c);
  }
  out.first_size_at = r.Offset();
  for (int k = 0; k < ArrayCountForLevel(level); ++k) {
    if (counts[static_cast<size_t>(k)] == 0) continue;
    uint32_t size = 0;
    EXPECT_TRUE(r.ReadU32(&size));
    out.sizes.emplace_back(k, size);
    EXPECT_TRUE(r.Skip(static_cast<size_t>(size) * counts[static_cast<size_t>(k)]));
  }
  out.pool_at = r.Offset();
  return out;
}

// A level-11 image holding one array, of `kind`, with one element of
// `size` bytes, behind a record header of `header` bytes; no root.
inline std::vector<uint8_t> CraftLevel11(uint32_t header, int kind, uint32_t size,
                                         const std::vector<uint8_t>& element) {
  ByteWriter w;
  w.Text("D8");
  w.U8(2);
  w.U8(11);
  w.U32(7);   // versionsystem
  w.U32(0);   // versionuser
  w.U32(9);   // last id
  w.I32(-1);  // lowest user id
  w.U32(0);   // name index
  w.U32(header);
  for (int k = 0; k < kKindCount; ++k) w.U32(k == kind ? 1 : 0);
  w.U32(size);
  w.Bytes(element);
  w.U32(1);  // pool: one zero byte
  w.U8(0);
  w.U32(0);  // no categories
  w.U32(kCategorySize);
  return w.Take();
}

// n bytes 1, 2, 3, ...
inline std::vector<uint8_t> PatternBytes(size_t n) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i + 1);
  return out;
}

}  // namespace tavelnor::dico::testing
