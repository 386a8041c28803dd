// Class-specific behaviour of the dictionary kinds: creation values and the
// record layout rules of fields, areas, structures and arrays.
#include "dico/dico_classes.h"

#include <algorithm>

#include "dico/dico_handler.h"

namespace tavelnor::dico {

void DDico::ResetClassFields() {
  uint8_t* p = MutableImage();
  p[67] = 0;
  StoreLE32(p + 68, 0);
  StoreLE16(p + 72, 1036);
}

uint32_t DRubricTable::RecomputeSize() {
  DDicoBase* layout = GetFirstChild();
  SetUnitSize(layout ? layout->RecomputeSize() : 0);
  return UnitSize();
}

void DRubricTable::ResetClassFields() {
  uint8_t* p = MutableImage();
  std::fill(p + kBaseSize, p + ImageSize(), 0);
  StoreLE32(p + 67, 512);
}

void DVarPerso::AssignOffsets(uint32_t& running) {
  const LayoutDepthGuard depth(Owner());
  SetOffset(running);
  uint32_t inner = running;
  if (!depth.deep()) {
    for (DDicoBase* c : Children()) c->AssignOffsets(inner);
  }
  running += UnitSize();
}

void DVarGroup::ResetClassFields() {
  uint8_t* p = MutableImage();
  StoreLE16(p + 67, 1);
  StoreLE32(p + 69, 0);
}

bool DVariable::TakesSpace() const {
  const uint32_t c = ClassCode();
  return c == 0 || c == 1 || c == 7;
}

uint32_t DVariable::ComputeSize() {
  const uint32_t c = ClassCode();
  if (c == 3 || c == 4 || c == 6) return 0;
  return DDicoBase::ComputeSize();
}

void DVariable::ResetClassFields() {
  uint8_t* p = MutableImage();
  std::fill(p + kBaseSize, p + ImageSize(), 0);
  p[79] = 0xFF;       // no type
  p[84] = 0xFF;       // precision -1
  StoreLE16(p + 89, 1);
  p[99] = 0xFF;       // no master index
}

void DSegment::ResetClassFields() {
  uint8_t* p = MutableImage();
  std::fill(p + kBaseSize, p + ImageSize(), 0);
  p[75] = 0xFF;
}

}  // namespace tavelnor::dico
