// Links of a data object to the tables its records point at, and the import
// of incoming records.
#include <cstdio>
#include <cstring>

#include "btrieve/btrieve_codes.h"
#include "data/btrv_file.h"
#include "data/edata.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "foundation/string_resources.h"
#include "record/blob_value.h"

namespace tavelnor::data {

namespace {

EData::LinkOpener& Opener() {
  static EData::LinkOpener opener;
  return opener;
}

const dico::DRubricTable* OwningTable(const dico::DDicoBase* object) {
  for (int depth = 0; object && depth < 64; ++depth, object = object->GetParent()) {
    if (object->Kind() == dico::kRubricTable) return static_cast<const dico::DRubricTable*>(object);
  }
  return nullptr;
}

}  // namespace

// Defined with the table kind: opens a table of this library over its file.
std::unique_ptr<EData> OpenTableObject(const dico::DRubricTable& table);

void EData::SetLinkOpener(LinkOpener opener) { Opener() = std::move(opener); }

EData* EData::OpenLink(uint32_t link_id) {
  if (auto it = links_.find(link_id); it != links_.end()) return it->second.target.get();
  // A link whose target cannot be opened (missing from the dictionary, or not
  // a link of this table) answers as a file not found.
  status_ = btrieve::kFileNotFound;
  if (!table_ || !table_->Owner()) return nullptr;
  const dico::DDicoBase* object = table_->Owner()->FindById(link_id);
  if (!object || object->Kind() != dico::kLink || OwningTable(object) != table_) return nullptr;
  const auto* link = static_cast<const dico::DLink*>(object);
  const dico::DDicoBase* key = table_->Owner()->FindById(link->LinkedKeyId());
  const dico::DRubricTable* target = key && key->Kind() == dico::kKey ? OwningTable(key) : nullptr;
  if (!target) return nullptr;

  LinkDesc desc;
  const std::vector<dico::DKey*> keys = target->GetKeys();
  desc.target_key = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i]->Id() == key->Id()) desc.target_key = static_cast<uint16_t>(i);
  }
  for (const dico::DDicoBase* part : link->Children()) {
    if (part->Kind() != dico::kSubLink && part->Kind() != dico::kSubLinkAttached) continue;
    const auto position = static_cast<const dico::DSubLink*>(part)->GetSegmentPosition();
    if (!position) return nullptr;  // a part on a missing field
    desc.parts.push_back({*position, part->UnitSize()});
  }
  if (desc.parts.empty()) return nullptr;

  if (Opener()) {
    desc.target = Opener()(*target);
  } else {
    desc.target = OpenTableObject(*target);
  }
  if (!desc.target) return nullptr;
  status_ = 0;
  return AttachLink(link_id, std::move(desc));
}

EData* EData::AttachLink(uint32_t link_id, LinkDesc desc) {
  auto it = links_.find(link_id);
  if (it == links_.end()) {
    if (!desc.target) return nullptr;
    it = links_.emplace(link_id, std::move(desc)).first;
    if (state_ & kStateSyncLinks) SyncLinks();
  }
  return it->second.target.get();
}

EData* EData::OpenLinkPath(const std::vector<uint32_t>& link_ids) {
  EData* at = this;
  for (uint32_t id : link_ids) {
    EData* next = at->OpenLink(id);
    if (!next) {
      status_ = at->Status();
      return nullptr;
    }
    at = next;
  }
  return at;
}

size_t EData::OpenAllLinks(bool resync) {
  if (!table_) return 0;
  size_t opened = 0;
  for (const dico::DLink* link : table_->GetLinks()) {
    if (OpenLink(link->Id())) ++opened;
  }
  if (resync) {
    for (auto& [id, desc] : links_) desc.synced = false;
    SyncLinks();
  }
  return opened;
}

void EData::SyncLinks() {
  if (links_.empty()) return;
  const uint8_t* record = RecordBuffer();
  for (auto& [id, desc] : links_) {
    std::vector<uint8_t> value;
    bool whole = true;
    for (const LinkDesc::Part& part : desc.parts) {
      if (part.position > record_length_ || part.length > record_length_ - part.position) {
        whole = false;
        break;
      }
      value.insert(value.end(), record + part.position, record + part.position + part.length);
    }
    if (!whole || !desc.target) continue;
    if (desc.synced && value == desc.last_value) continue;
    desc.last_value = value;
    desc.synced = true;
    if (desc.target->FindEqual(desc.target_key, value.data(), value.size()) == -1) {
      desc.target->ClearRecord();
    }
  }
}

uint8_t* EData::LinkedRecord(uint32_t link_id) {
  EData* target = LinkTarget(link_id);
  return target ? target->RecordBuffer() : nullptr;
}

EData* EData::LinkTarget(uint32_t link_id) {
  auto it = links_.find(link_id);
  return it == links_.end() ? nullptr : it->second.target.get();
}

void EData::CloseLinks() {
  for (auto& [id, desc] : links_) {
    if (!desc.owned) (void)desc.target.release();
  }
  links_.clear();
}

// --- import ---------------------------------------------------------------------

std::string ImportMessage(int id, uint16_t language) {
  return std::string(LoadResourceString(static_cast<uint32_t>(id),
                                        language == kLangGerman ? kLangGerman : kLangFrench));
}

namespace {

std::string FormatStatus(std::string_view format, int32_t status) {
  std::string out;
  const size_t at = format.find("%d");
  if (at == std::string_view::npos) return std::string(format);
  out.append(format.substr(0, at));
  out.append(std::to_string(status));
  out.append(format.substr(at + 2));
  return out;
}

void AddMessage(ImportContext& ctx, const std::string& text) {
  if (!ctx.message.empty()) ctx.message += '\n';
  ctx.message += text;
}

}  // namespace

bool EData::MapImported(const uint8_t* source, ImportContext& ctx, bool existing) {
  (void)existing;
  if (!source) return false;
  uint8_t* record = RecordBuffer();
  if (ctx.map) return ctx.map(source, record, record_length_);
  ReleaseVariableParts();
  std::memcpy(record, source, record_length_);
  for (uint32_t slot : VariablePartSlots()) {
    if (slot + record::kVarPartSlotSize <= record_length_) record::DuplicateVarPart(record + slot);
  }
  return true;
}

int32_t EData::FindImported(const uint8_t* source, ImportContext& ctx) {
  (void)source;
  const EKeyDesc* desc = KeyDescFor(ctx.key_number);
  if (!desc) {
    status_ = btrieve::kInvalidKeyNumber;
    return -1;
  }
  EKeyValue key = EKeyValue::FromDesc(*desc, table_);
  key.ReadFromRecord(RecordBuffer(), record_length_);
  uint8_t bytes[kKeyBufferSize];
  const size_t length = key.PackBytes(bytes, sizeof bytes);
  return ctx.range_match ? FindFrom(ctx.key_number, bytes, length)
                         : FindEqual(ctx.key_number, bytes, length);
}

namespace {

// Record bytes equal, variable-length parts compared by content rather than
// by the references of their blocks.
bool SameRecord(const uint8_t* a, const uint8_t* b, size_t length,
                const std::vector<uint32_t>& slots) {
  size_t from = 0;
  for (uint32_t slot : slots) {
    if (slot + record::kVarPartSlotSize > length) continue;
    if (std::memcmp(a + from, b + from, slot - from) != 0) return false;
    if (record::VarPartLength(a + slot) != record::VarPartLength(b + slot)) return false;
    if (record::ReadVarPart(a + slot) != record::ReadVarPart(b + slot)) return false;
    from = slot + record::kVarPartSlotSize;
  }
  return std::memcmp(a + from, b + from, length - from) == 0;
}

}  // namespace

void EData::ImportRecord(const uint8_t* source, ImportContext& ctx) {
  ClearRecord();
  if (!MapImported(source, ctx, false)) {
    ++ctx.rejected;
    return;
  }
  bool inserting = true;
  if (ctx.key_number >= 0) {
    TakeSaved();
    if (FindImported(source, ctx) != -1 && status_ == 0) {
      TakeSaved();
      if (!MapImported(source, ctx, true)) {
        RestoreSaved();
        ++ctx.rejected;
        return;
      }
      if (SameRecord(record_, saved_.get(), record_length_, VariablePartSlots())) {
        ++ctx.unchanged;
        return;
      }
      inserting = false;
    } else {
      RestoreSaved();
    }
  }
  if (!ValidateImport(inserting)) {
    if (ctx.message.empty()) ctx.message = ImportMessage(inserting ? 19020 : 19019, ctx.language);
    ++ctx.rejected;
    return;
  }
  if (inserting) {
    if (Insert() == -1) {
      AddMessage(ctx, FormatStatus(ImportMessage(19018, ctx.language), status_));
      ++ctx.rejected;
    } else {
      ++ctx.inserted;
    }
  } else if (Update(-1) == -1) {
    AddMessage(ctx, FormatStatus(ImportMessage(19017, ctx.language), status_));
    ++ctx.rejected;
  } else {
    ++ctx.updated;
  }
}

}  // namespace tavelnor::data
