// A table definition for the key tests, and a Btrieve Stat answer builder.
//
// Table "Clients", record of 330 bytes:
//   Num   LONG     4  @0     Nom   ZSTRING 10  @4     Code  AUTRE_NODESC 10 @14
//   Qte   INT16    2  @24    Prix  UINT32   4  @26    Texte ZSTRING 200 @30
//   Suite ZSTRING 100 @230
// Keys, numbered in order:
//   0 "ParNum"   Num
//   1 "ParNom"   Nom (case-insensitive), Qte (descending, no extended type);
//                duplicates, not modifiable, binary, autoincrement, null if one
//                segment is null
//   2 "Partiel"  bytes 3 to 6 of Code
//   3 "Orphelin" a segment on no field
//   4 "ParPrix"  Prix, Qte
//   5 "Longue"   Texte, Suite (300 bytes)
#pragma once

#include <cstdint>
#include <vector>

#include "dico/dico_classes.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "foundation/byte_reader.h"
#include "record/type_codes.h"

namespace tavelnor::data::testing {

inline constexpr size_t kClientsRecordLength = 330;

struct KeyTestDico {
  KeyTestDico() {
    t = b.AddTable("Clients");
    num = b.AddField(t.data, "Num", record::TYPE_LONG, 4, 0);
    nom = b.AddField(t.data, "Nom", record::TYPE_ZSTRING, 10, 4);
    code = b.AddField(t.data, "Code", record::TYPE_AUTRE_NODESC, 10, 14);
    qte = b.AddField(t.data, "Qte", record::TYPE_INT16, 2, 24);
    prix = b.AddField(t.data, "Prix", record::TYPE_UINT32, 4, 26);
    texte = b.AddField(t.data, "Texte", record::TYPE_ZSTRING, 200, 30);
    suite = b.AddField(t.data, "Suite", record::TYPE_ZSTRING, 100, 230);
    Key("ParNum", 0, {{0, 4, 0x100}});
    Key("ParNom", 0x1 | 0x2 | 0x4 | 0x10 | 0x200, {{4, 10, 0x100 | 0x400}, {24, 2, 0x40}});
    Key("Partiel", 0x8, {{17, 4, 0x100}});
    Key("Orphelin", 0, {{0, 4, 0x100}, {400, 2, 0x100}});
    Key("ParPrix", 0, {{26, 4, 0x100}, {24, 2, 0x100}});
    Key("Longue", 0, {{30, 200, 0x100}, {230, 100, 0x100}});
  }

  struct Seg {
    uint32_t position, length, flags;
  };
  void Key(const char* name, uint32_t flags, std::vector<Seg> segments) {
    namespace base = dico::base;
    const uint32_t key = b.AddKey(t.keys, name, flags);
    for (const Seg& s : segments) {
      const uint32_t seg = b.AddSegment(key, "", 0, s.position);
      b.SetWord(seg, base::kUnitSize, s.length);
      b.SetWord(seg, base::kFlags, s.flags);
    }
  }

  dico::testing::DicoTestBuilder b;
  dico::testing::DicoTestBuilder::Table t;
  uint32_t num = 0, nom = 0, code = 0, qte = 0, prix = 0, texte = 0, suite = 0;
};

// A loaded KeyTestDico with its table.
struct LoadedKeyDico {
  explicit LoadedKeyDico(const KeyTestDico& d)
      : loaded(d.b), table(static_cast<const dico::DRubricTable*>(loaded[d.t.table])) {}
  dico::testing::LoadedDico loaded;
  const dico::DRubricTable* table;
};

// A Stat answer: the 16-byte file part (key count at offset 4), then the
// segments appended by Segment().
class StatBuilder {
 public:
  explicit StatBuilder(uint8_t key_count) : bytes_(16, 0) { bytes_[4] = key_count; }
  // One 16-byte key specification; `position` counts from 1.
  StatBuilder& Segment(uint16_t position, uint16_t length, uint16_t flags, uint8_t ext_type,
                       uint8_t key_number) {
    uint8_t s[16] = {};
    StoreLE16(s, position);
    StoreLE16(s + 2, length);
    StoreLE16(s + 4, flags);
    s[10] = ext_type;
    s[14] = key_number;
    bytes_.insert(bytes_.end(), s, s + 16);
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace tavelnor::data::testing
