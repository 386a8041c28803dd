// The concrete dictionary classes, one per kind code. Each answers what its
// class part of the record image holds; the layout rules (ComputeSize,
// AssignOffsets, TakesSpace, SetOffset) differ by family.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "dico/dico_base.h"
#include "foundation/chaine.h"

namespace tavelnor::dico {

class DKey;
class DLink;

// Table flags (the flags word of a table).
namespace tflag {
inline constexpr uint32_t kVariableLength = 0x0001, kBlankTruncation = 0x0002,
                          kVatsAllocation = 0x0800, kParentDirectory = 0x10000,
                          kCommonFolder = 0x20000, kTitle7 = 0x100000, kTitle8 = 0x200000;
}  // namespace tflag

// Page sizes: created with 512, enlarged by 512 up to 4096.
inline constexpr uint32_t kMinPageSize = 512, kPageStep = 512, kMaxPageSize = 4096;
// Bit 0x1 of a key's flags: duplicates allowed. Bit 0x100: a new segment's flag.
inline constexpr uint32_t kKeyDuplicates = 0x1, kNewSegmentFlag = 0x100;
// How many key segments a table with this page size may hold in all.
uint32_t SegmentLimit(uint32_t page_size);

// Class part accessors shared by the families below.
#define TAVELNOR_DICO_CTOR(Class, Base) \
  Class(const ArrayView* view, uint32_t index) : Base(view, index) {}

class DDico : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DDico, DDicoBase)
  int8_t DefPrecision() const { return static_cast<int8_t>(Byte(67)); }
  const char* DefExtension() const { return StringAt(68); }
  uint16_t NativeLanguage() const { return Half(72); }
  void ResetClassFields() override;
};

class DRubric : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DRubric, DDicoBase)
};

class DRubricTable : public DRubric {
 public:
  TAVELNOR_DICO_CTOR(DRubricTable, DRubric)
  uint32_t GetPageSize() const { return Word(67); }
  void SetPageSize(uint32_t v) { SetWord(67, v); }
  uint32_t GetMemorySize() const { return Word(71); }
  void SetMemorySize(uint32_t v) { SetWord(71, v); }
  const char* DefFileName() const { return StringAt(83); }
  uint32_t GetVersionSystem() const { return Word(87); }
  void SetVersionSystem(uint32_t v) { SetWord(87, v); }
  uint32_t GetVersionUser() const { return Word(91); }
  void SetVersionUser(uint32_t v) { SetWord(91, v); }
  uint32_t GetRecordLength() const { return UnitSize(); }
  uint32_t GetExtendedRecordLength() const { return UnitSize() + GetMemorySize(); }
  // The record length with the data file's per-record overhead (2 bytes, 8
  // per key allowing duplicates, and the variable-length part's pointers),
  // saturated at UINT32_MAX.
  uint32_t GetPhysicalRecordLength() const;
  // The page size from 512 to 4096 that wastes the least per page for the
  // physical record length (the smallest among equals; 4096 when no page
  // holds a record).
  uint32_t ComputeBestPageSize() const;
  // The data file name: the default file name or the table name, its title
  // cut by the 7/8-character flags, with the root's default extension (or
  // "btr") when it has none and the table lies directly under the root.
  Chaine GetFileName() const;
  // The data file's full path: the file name in the dictionary's folder, in
  // the folder above it (flag kParentDirectory) or in the special folder
  // "Common" (flag kCommonFolder). The dictionary's path is the file it was
  // read from (the module, for a dictionary held in a module).
  Chaine GetFilePath() const;
  // The unit size becomes the size of the record-layout node (first child).
  uint32_t RecomputeSize() override;
  void ResetClassFields() override;

  // Walks in tree order (under the handler lock).
  std::vector<DKey*> GetKeys() const;
  std::vector<DLink*> GetLinks() const;
  std::vector<DDicoBase*> GetFields() const;     // fields, structures, arrays, user areas
  std::vector<DDicoBase*> GetVariables() const;  // the DVariable family only
  // A field of this table by name (name group 2), or null.
  DDicoBase* FindField(std::string_view name) const;

  // Key segments: the total over the table's keys and what the page size
  // allows (see SegmentLimit).
  uint32_t GetTableSegmentCount() const;
  bool CanAddKeySegment() const { return GetTableSegmentCount() < SegmentLimit(GetPageSize()); }
  bool CanEnlargePage() const { return GetPageSize() < kMaxPageSize; }
  // Adds 512 to the page size; false (and nothing changed) at 4096 and above.
  bool EnlargePage();
};

class DSystem : public DRubric {
 public:
  TAVELNOR_DICO_CTOR(DSystem, DRubric)
};
class DDialogBox : public DRubric {
 public:
  TAVELNOR_DICO_CTOR(DDialogBox, DRubric)
};
class DStruct : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DStruct, DDicoBase)
};
class DClass : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DClass, DDicoBase)
};

class DTitle : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DTitle, DDicoBase)
};
class DTitleVar : public DTitle {
 public:
  TAVELNOR_DICO_CTOR(DTitleVar, DTitle)
};
class DTitleKey : public DTitle {
 public:
  TAVELNOR_DICO_CTOR(DTitleKey, DTitle)
  // A new key as the last child. Under a table whose page size allows no
  // more segments the user is asked (message seam) whether to enlarge the
  // page; null when nothing was added.
  DKey* AddKey();
};
class DTitleLink : public DTitle {
 public:
  TAVELNOR_DICO_CTOR(DTitleLink, DTitle)
};
class DTitleData : public DTitle {
 public:
  TAVELNOR_DICO_CTOR(DTitleData, DTitle)
};
class DTitleMemory : public DTitle {
 public:
  TAVELNOR_DICO_CTOR(DTitleMemory, DTitle)
};

class DKey : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DKey, DDicoBase)
  // The number of children (all kinds).
  uint32_t GetSegmentCount() const { return static_cast<uint32_t>(Children().size()); }
  // A new plain segment (flag 0x100) as the last child, with the same page
  // size check as DTitleKey::AddKey; null when nothing was added.
  DDicoBase* AddSegment();
};

class DLink : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DLink, DDicoBase)
  uint32_t LinkedKeyId() const { return Word(67); }
};

class DVarPerso : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DVarPerso, DDicoBase)
  uint32_t MaxPersoSize() const { return Word(67); }
  uint32_t NbVarPerso() const { return Word(71); }
  uint32_t DiskOffset() const override { return Word(75); }
  void SetOffset(uint32_t offset) override { SetWord(75, offset); }
  bool TakesSpace() const override { return true; }
  uint32_t ComputeSize() override { return UnitSize(); }
  void AssignOffsets(uint32_t& running) override;
};

// Structure and array fields share their class part.
class DVarGroup : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DVarGroup, DDicoBase)
  uint32_t NbItems() const override { return Half(67); }
  uint32_t ClassCode() const override { return Word(69); }
  void ResetClassFields() override;
};
class DVarStruct : public DVarGroup {
 public:
  TAVELNOR_DICO_CTOR(DVarStruct, DVarGroup)
};
class DVarStructInNode : public DVarStruct {
 public:
  TAVELNOR_DICO_CTOR(DVarStructInNode, DVarStruct)
};
class DVarStructInArray : public DVarStruct {
 public:
  TAVELNOR_DICO_CTOR(DVarStructInArray, DVarStruct)
};
class DVarArray : public DVarGroup {
 public:
  TAVELNOR_DICO_CTOR(DVarArray, DVarGroup)
  // An array's item field carries the length; the array counts its unit once.
  uint32_t GetTotalSize() const override { return UnitSize(); }
};
class DVarArrayInStruct : public DVarArray {
 public:
  TAVELNOR_DICO_CTOR(DVarArrayInStruct, DVarArray)
};

class DVariable : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DVariable, DDicoBase)
  const char* Formula() const { return StringAt(67); }
  const char* TypeText() const override { return StringAt(71); }
  const char* Mask() const { return StringAt(75); }
  uint32_t TypeCode() const override { return Byte(79); }
  uint32_t ClassCode() const override { return Word(80); }
  int8_t Precision() const { return static_cast<int8_t>(Byte(84)); }
  const char* Category() const { return StringAt(85); }
  uint32_t NbItems() const override { return Half(89); }
  uint32_t DiskOffset() const override { return Word(91); }
  void SetOffset(uint32_t offset) override { SetWord(91, offset); }
  const char* StringTable() const { return StringAt(95); }
  int8_t MasterIndex() const { return static_cast<int8_t>(Byte(99)); }
  // Classes 0 "Bd", 1 "DialogBox" and 7 "Extension" take room in the record.
  bool TakesSpace() const override;
  uint32_t ComputeSize() override;
  void ResetClassFields() override;
};
class DVarInNode : public DVariable {
 public:
  TAVELNOR_DICO_CTOR(DVarInNode, DVariable)
};
class DVarInArray : public DVariable {
 public:
  TAVELNOR_DICO_CTOR(DVarInArray, DVariable)
};
class DVarInPerso : public DVariable {
 public:
  TAVELNOR_DICO_CTOR(DVarInPerso, DVariable)
};
class DVarInSystem : public DVariable {
 public:
  TAVELNOR_DICO_CTOR(DVarInSystem, DVariable)
};

class DSegment : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DSegment, DDicoBase)
  uint32_t Offset() const { return Word(67); }
  uint32_t DiskOffset() const override { return Offset(); }
  void SetOffset(uint32_t offset) override { SetWord(67, offset); }
  const char* TypeText() const override { return StringAt(71); }
  uint32_t TypeCode() const override { return Byte(75); }
  // The position in the record: the offset, plus the attached field's
  // offset for an attached segment; nullopt when that field is missing.
  std::optional<uint32_t> GetSegmentPosition() const;
  void ResetClassFields() override;
};
class DSegmentAttached : public DSegment {
 public:
  TAVELNOR_DICO_CTOR(DSegmentAttached, DSegment)
};

class DSubLink : public DDicoBase {
 public:
  TAVELNOR_DICO_CTOR(DSubLink, DDicoBase)
  uint32_t Offset() const { return Word(67); }
  // As DSegment::GetSegmentPosition.
  std::optional<uint32_t> GetSegmentPosition() const;
};
class DSubLinkAttached : public DSubLink {
 public:
  TAVELNOR_DICO_CTOR(DSubLinkAttached, DSubLink)
};

#undef TAVELNOR_DICO_CTOR

}  // namespace tavelnor::dico
