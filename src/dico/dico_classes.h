// The concrete dictionary classes, one per kind code. Each answers what its
// class part of the record image holds; the layout rules (ComputeSize,
// AssignOffsets, TakesSpace, SetOffset) differ by family.
#pragma once

#include "dico/dico_base.h"

namespace tavelnor::dico {

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
  // The unit size becomes the size of the record-layout node (first child).
  uint32_t RecomputeSize() override;
  void ResetClassFields() override;
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
};
class DSubLinkAttached : public DSubLink {
 public:
  TAVELNOR_DICO_CTOR(DSubLinkAttached, DSubLink)
};

#undef TAVELNOR_DICO_CTOR

}  // namespace tavelnor::dico
