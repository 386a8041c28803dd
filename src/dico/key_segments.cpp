// Keys, segments and links: segment counts, the page-size segment limits,
// adding keys and segments (asking to enlarge the page when full) and the
// record position of segments and link parts.
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "foundation/platform/message_box.h"

namespace tavelnor::dico {

namespace {

constexpr char kNoRoomForKey[] = "La taille de page ne permet pas d'ajouter de clef.";
constexpr char kNoRoomForSegment[] =
    "La taille de page ne permet pas d'ajouter de segment de clef.";
constexpr char kAskEnlarge[] = "\r\nVoulez-vous aggrandir la taille de page ?";

// True when a key or segment may be added below `node`: its container is not
// a table, or the table has room, or the user agreed to enlarge the page.
bool MakeRoom(const DDicoBase& node, const char* refusal) {
  DDicoBase* container = node.GetContainer();
  if (!container || container->Kind() != kRubricTable) return true;
  auto* table = static_cast<DRubricTable*>(container);
  if (table->CanAddKeySegment()) return true;
  std::string text = refusal;
  if (!table->CanEnlargePage()) {
    platform::ShowMessage(text, platform::MessageButtons::kOk);
    return false;
  }
  text += kAskEnlarge;
  if (platform::ShowMessage(text, platform::MessageButtons::kYesNo) !=
      platform::MessageAnswer::kYes) {
    return false;
  }
  return table->EnlargePage();
}

void MarkStructureModified(const DDicoBase& node) {
  DDicoBase* container = node.GetContainer();
  if (container && container->Kind() == kRubricTable) {
    container->SetInternalFlags(container->InternalFlags() | iflag::kStructureModified);
  }
}

// The record position of a segment or link part at `offset`: attached
// kinds add the offset of the field they are attached to.
std::optional<uint32_t> PositionOf(const DDicoBase& part, uint32_t offset, bool attached) {
  if (!attached) return offset;
  const DDicoBase* field = part.GetLinkedTo();
  if (!field || !SelectorAccepts(Selector::kVariables, *field)) return std::nullopt;
  const uint64_t position = uint64_t{offset} + field->DiskOffset();
  if (position > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(position);
}

}  // namespace

uint32_t SegmentLimit(uint32_t page_size) {
  // By page size / 512; below 512 there is no row and no room.
  static constexpr uint32_t kLimits[] = {0, 8, 23, 24, 54, 54, 54, 54};
  const uint32_t row = page_size / kPageStep;
  return row < std::size(kLimits) ? kLimits[row] : 119;
}

uint32_t DRubricTable::GetTableSegmentCount() const {
  uint32_t total = 0;
  for (const DKey* key : GetKeys()) total += key->GetSegmentCount();
  return total;
}

bool DRubricTable::EnlargePage() {
  if (!CanEnlargePage()) return false;
  SetPageSize(GetPageSize() + kPageStep);
  return true;
}

DKey* DTitleKey::AddKey() {
  if (!MakeRoom(*this, kNoRoomForKey)) return nullptr;
  DDicoBase* key = CreateChild(kKey);
  if (!key) return nullptr;
  MarkStructureModified(*this);
  return static_cast<DKey*>(key);
}

DDicoBase* DKey::AddSegment() {
  if (!MakeRoom(*this, kNoRoomForSegment)) return nullptr;
  DDicoBase* segment = CreateChild(kSegment);
  if (!segment) return nullptr;
  segment->AddFlags(kNewSegmentFlag);
  MarkStructureModified(*this);
  return segment;
}

std::optional<uint32_t> DSegment::GetSegmentPosition() const {
  return PositionOf(*this, Offset(), Kind() == kSegmentAttached);
}

std::optional<uint32_t> DSubLink::GetSegmentPosition() const {
  return PositionOf(*this, Offset(), Kind() == kSubLinkAttached);
}

}  // namespace tavelnor::dico
