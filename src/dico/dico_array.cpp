#include "dico/dico_array.h"

#include "dico/dico_classes.h"
#include "dico/dico_handler.h"

namespace tavelnor::dico {

void DicoArray::Adopt(std::vector<uint8_t>&& block) {
  Clear();
  block_ = std::move(block);
  count_ = static_cast<uint32_t>(block_.size() / image_size_);
  block_.resize(static_cast<size_t>(count_) * image_size_);
  view_.data = block_.data();
  BuildObjects();
}

void DicoArray::AdoptInPlace(std::shared_ptr<uint8_t> backing, size_t offset,
                             uint32_t count) {
  Clear();
  backing_ = std::move(backing);
  count_ = count;
  view_.data = backing_.get() + offset;
  BuildObjects();
}

void DicoArray::BuildObjects() {
  Prepare(count_);
  for (uint32_t i = 0; i < count_; ++i) Construct(i);
}

DDicoBase* DicoArray::Create() {
  const uint32_t index = Count();
  if (backing_) {
    block_.assign(view_.data, view_.data + static_cast<size_t>(count_) * image_size_);
    backing_.reset();
  }
  block_.resize(block_.size() + ImageSize(), 0);
  view_.data = block_.data();
  ++count_;
  owner_->NoteObjectCreated();
  Construct(index);
  DDicoBase* object = At(index);
  object->ResetClassFields();
  return object;
}

void DicoArray::Clear() {
  DestroyAll();
  block_.clear();
  backing_.reset();
  view_.data = nullptr;
  count_ = 0;
}

std::unique_ptr<DicoArray> MakeDicoArray(DDicoHandler* owner, int kind) {
  switch (kind) {
    case kDico: return std::make_unique<DicoArrayOf<DDico>>(owner, kind);
    case kRubricTable: return std::make_unique<DicoArrayOf<DRubricTable>>(owner, kind);
    case kSystem: return std::make_unique<DicoArrayOf<DSystem>>(owner, kind);
    case kStruct: return std::make_unique<DicoArrayOf<DStruct>>(owner, kind);
    case kClass: return std::make_unique<DicoArrayOf<DClass>>(owner, kind);
    case kDialogBox: return std::make_unique<DicoArrayOf<DDialogBox>>(owner, kind);
    case kTitleVar: return std::make_unique<DicoArrayOf<DTitleVar>>(owner, kind);
    case kTitleKey: return std::make_unique<DicoArrayOf<DTitleKey>>(owner, kind);
    case kTitleLink: return std::make_unique<DicoArrayOf<DTitleLink>>(owner, kind);
    case kTitleData: return std::make_unique<DicoArrayOf<DTitleData>>(owner, kind);
    case kKey: return std::make_unique<DicoArrayOf<DKey>>(owner, kind);
    case kLink: return std::make_unique<DicoArrayOf<DLink>>(owner, kind);
    case kVarPerso: return std::make_unique<DicoArrayOf<DVarPerso>>(owner, kind);
    case kVarStruct: return std::make_unique<DicoArrayOf<DVarStruct>>(owner, kind);
    case kVarStructInNode: return std::make_unique<DicoArrayOf<DVarStructInNode>>(owner, kind);
    case kVarStructInArray: return std::make_unique<DicoArrayOf<DVarStructInArray>>(owner, kind);
    case kVarArray: return std::make_unique<DicoArrayOf<DVarArray>>(owner, kind);
    case kVarArrayInStruct: return std::make_unique<DicoArrayOf<DVarArrayInStruct>>(owner, kind);
    case kVariable: return std::make_unique<DicoArrayOf<DVariable>>(owner, kind);
    case kVarInNode: return std::make_unique<DicoArrayOf<DVarInNode>>(owner, kind);
    case kVarInArray: return std::make_unique<DicoArrayOf<DVarInArray>>(owner, kind);
    case kVarInPerso: return std::make_unique<DicoArrayOf<DVarInPerso>>(owner, kind);
    case kSegment: return std::make_unique<DicoArrayOf<DSegment>>(owner, kind);
    case kSegmentAttached: return std::make_unique<DicoArrayOf<DSegmentAttached>>(owner, kind);
    case kSubLink: return std::make_unique<DicoArrayOf<DSubLink>>(owner, kind);
    case kSubLinkAttached: return std::make_unique<DicoArrayOf<DSubLinkAttached>>(owner, kind);
    case kVarInSystem: return std::make_unique<DicoArrayOf<DVarInSystem>>(owner, kind);
    case kTitleMemory: return std::make_unique<DicoArrayOf<DTitleMemory>>(owner, kind);
    default: return nullptr;
  }
}

}  // namespace tavelnor::dico
