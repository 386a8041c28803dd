// DicoTestBuilder: makes a DicoImage in code for the dictionary tests.
//
// The builder starts with a root object (identifier 1, named "Dico") and a
// string pool whose first byte is a spare zero, so that no string sits at
// offset 0 (a reference of 0 means "absent"). Objects are appended as the
// last child of their parent; identifiers are given out from 2 upwards and
// the image's last identifier follows them. Bytes() writes the image at any
// format level through WriteDicoImage.
//
// Image pointers returned by Image() stay valid until the next object of the
// same kind is added.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dico/dico_image.h"

namespace tavelnor::dico::testing {

class DicoTestBuilder {
 public:
  // A table with its record-layout, key and link title nodes.
  struct Table {
    uint32_t table = 0;
    uint32_t data = 0;   // DTitleData, the record layout (first child)
    uint32_t keys = 0;   // DTitleKey
    uint32_t links = 0;  // DTitleLink
  };

  DicoTestBuilder();

  uint32_t root() const { return 1; }
  DicoImage& image() { return image_; }
  const DicoImage& image() const { return image_; }

  // --- strings ----------------------------------------------------------
  // Appends `text` to the pool (every call appends) and answers its offset.
  int32_t Str(std::string_view text);

  // --- objects ----------------------------------------------------------
  // Adds an object of `kind` named `name` (no name when empty) as the last
  // child of `parent` (none when 0), with the kind's creation values.
  uint32_t Add(int kind, uint32_t parent, std::string_view name);
  // Adds an object with an explicit identifier (the last identifier is
  // raised to it when lower).
  uint32_t AddWithId(int kind, uint32_t parent, std::string_view name, uint32_t id);
  uint8_t* Image(uint32_t id);
  int KindOf(uint32_t id) const { return where_.at(id).first; }

  void SetWord(uint32_t id, uint32_t offset, uint32_t value);
  void SetHalf(uint32_t id, uint32_t offset, uint16_t value);
  void SetByte(uint32_t id, uint32_t offset, uint8_t value);
  uint32_t Word(uint32_t id, uint32_t offset);
  // Stores a string reference: the text is added to the pool.
  void SetString(uint32_t id, uint32_t offset, std::string_view text);
  void SetRef(uint32_t id, uint32_t offset, int32_t ref) {
    SetWord(id, offset, static_cast<uint32_t>(ref));
  }

  // --- conveniences -----------------------------------------------------
  Table AddTable(std::string_view name, uint32_t parent = 1);
  // A field (DVariable family) with type code, unit size, offset, class.
  uint32_t AddField(uint32_t parent, std::string_view name, uint8_t type, uint32_t size,
                    uint32_t offset = 0, uint32_t class_code = 0, int kind = kVariable);
  uint32_t AddKey(uint32_t keys_title, std::string_view name, uint32_t flags = 0);
  uint32_t AddSegment(uint32_t key, std::string_view name, uint32_t field, uint32_t offset);
  // A segment "S" on `field` with its length, Btrieve flags and type code.
  uint32_t AddTypedSegment(uint32_t key, uint32_t field, uint32_t offset, uint32_t length,
                           uint32_t flags, uint8_t type);
  uint32_t AddLink(uint32_t links_title, std::string_view name, uint32_t target_table,
                   uint32_t linked_key);
  // A user-defined area of `size` bytes at `offset`.
  uint32_t AddVarPerso(uint32_t parent, std::string_view name, uint32_t size, uint32_t offset);

  // A category entry: name (at most 30 bytes), value at byte 31, byte 35,
  // and optionally a byte beyond the 36 old bytes (at `tail_offset`).
  void AddCategory(std::string_view name, uint32_t value, uint8_t byte35,
                   uint32_t tail_offset = 0, uint8_t tail_value = 0);
  // Name index entries: a country with its code, a macro with its code
  // (stored as "@name" with code + 14).
  void AddCountry(std::string_view name, int32_t code);
  void AddMacro(std::string_view name, int32_t code);

  std::vector<uint8_t> Bytes(int level = kMaxLevel) const;

 private:
  std::vector<uint8_t>& ArrayOf(int kind) { return image_.arrays[static_cast<size_t>(kind)]; }

  DicoImage image_;
  uint32_t next_id_ = 1;
  std::map<uint32_t, std::pair<int, uint32_t>> where_;  // id -> (kind, index)
  std::map<uint32_t, uint32_t> last_child_;             // parent id -> last child id
};

}  // namespace tavelnor::dico::testing
