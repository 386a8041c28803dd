// DDicoHandler: versions, the dictionary file, locks, object creation, the
// system rubric and the user part.
#include <algorithm>

#include "dico/dico_file.h"
#include "dico/dico_handler.h"
#include "foundation/string_resources.h"

namespace tavelnor::dico {

int DDicoHandler::CompareVersion(const DDicoHandler& other) const {
  const uint32_t vs = VersionSystem(), vu = VersionUser();
  const uint32_t ovs = other.VersionSystem(), ovu = other.VersionUser();
  if (vs < ovs || (vu != 0 && vu < ovu)) return -1;
  return (vs != ovs ? 1 : 0) | (vu != ovu ? 2 : 0);
}

bool DDicoHandler::ReopenForUpdate(bool write) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (!file_) return false;
  return file_->ReopenForUpdate(write, false);
}

void DDicoHandler::CloseFile() { file_.reset(); }

Chaine DDicoHandler::GetFilePath() const { return file_ ? Chaine(file_->path()) : Chaine(); }

// --- locks ------------------------------------------------------------------

void DDicoHandler::Lock() {
  lock_.lock();
  for (auto& [name, other] : attached_) other->Lock();
}

void DDicoHandler::Unlock() {
  lock_.unlock();
  for (auto& [name, other] : attached_) other->Unlock();
}

void DDicoHandler::Attach(const Chaine& name, DDicoHandler* other) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (other && other != this) attached_[name] = other;
}

void DDicoHandler::Detach(const Chaine& name) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  attached_.erase(name);
}

// --- objects ------------------------------------------------------------------

DDicoBase* DDicoHandler::CreateObject(int kind, DDicoBase* parent, std::string_view name,
                                      bool system) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  DDicoBase* o = Array(kind).Create();
  const uint32_t id = system ? SystemIdCounter()++ : ++last_id_;
  o->SetWord(base::kId, id);
  o->SetWord(base::kName, static_cast<uint32_t>(Intern(name)));
  if (parent) {
    o->SetWord(base::kParent, parent->Id());
    DDicoBase* last = nullptr;
    for (DDicoBase* c : parent->Children()) last = c;
    if (last) {
      last->SetWord(base::kNextSibling, id);
    } else {
      parent->SetWord(base::kFirstChild, id);
    }
  }
  Register(o, reg::kAll);
  return o;
}

void DDicoHandler::CompleteSystemRubric() {
  struct SystemField {
    const char* name;
    uint32_t offset;  // identifier minus the rubric's
    uint8_t type;
    uint32_t size;
    uint32_t text;    // string resource of header and description
  };
  static constexpr SystemField kFields[] = {
      {"Date", 1, 4, 4, 11998},         {"Heure", 2, 5, 4, 11997},
      {"Page", 3, 18, 4, 11996},        {"Utilisateur", 4, 0, 40, 11994},
      {"Product", 7, 0, 60, 12000},     {"Version", 8, 0, 24, 11999},
  };
  auto& counter = SystemIdCounter();
  counter = kSystemIdBase;
  const uint32_t rubric_id = counter++;
  DDicoBase* rubric = FindById(rubric_id);
  if (!rubric) rubric = FindTable("Systeme");
  if (rubric && rubric->Id() != rubric_id) return;  // a rubric of its own making: left alone
  if (!rubric) {
    counter = rubric_id;
    rubric = CreateObject(kSystem, root_, "Systeme", true);
    rubric->SetWord(base::kHeader, static_cast<uint32_t>(Intern(LoadResourceString(11952))));
    rubric->SetWord(base::kDesc, static_cast<uint32_t>(Intern(LoadResourceString(11953))));
  }
  for (const SystemField& f : kFields) {
    const uint32_t id = kSystemIdBase + f.offset;
    counter = std::max<uint32_t>(counter.load(), id);
    DDicoBase* field = FindById(id);
    if (!field) {
      for (DDicoBase* c : rubric->Children()) {
        if (c->NameText() && Chaine(c->NameText()).EqualsNoCase(f.name)) field = c;
      }
    }
    if (field) {
      counter = id + 1;
      continue;
    }
    field = CreateObject(kVarInSystem, rubric, f.name, true);
    uint8_t* p = field->MutableImage();
    p[79] = f.type;
    field->SetUnitSize(f.size);
    const auto text = static_cast<uint32_t>(Intern(LoadResourceString(f.text)));
    field->SetWord(base::kHeader, text);
    field->SetWord(base::kDesc, text);
  }
}

// --- user part -------------------------------------------------------------------

bool DDicoHandler::CommitUserPart() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (!root_) return false;
  // The root's commit: every user change becomes part of the dictionary.
  for (auto& a : arrays_) {
    for (uint32_t i = 0, n = a->Count(); i < n; ++i) {
      DDicoBase* o = a->At(i);
      o->SetInternalFlags(o->InternalFlags() & ~iflag::kUserModified);
    }
  }
  header_.version_user = 0;
  lowest_user_id_ = -1;
  return true;
}

void DDicoHandler::MergeUserPart(const DDicoHandler& other) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  bool category_changed = false;
  for (int i = 0; i < CategoryCount(); ++i) {
    const int j = other.FindCategory(CategoryName(i).view());
    if (j < 0) continue;
    uint8_t& mine = categories_[static_cast<size_t>(i) * kCategorySize + 35];
    const uint8_t theirs = other.GetCategory(j)[35];
    if (mine != theirs) {
      mine = theirs;
      category_changed = true;
    }
  }
  // The root's merge: user-defined fields of the other dictionary that this
  // one lacks are added to the matching user-defined area.
  const DicoArray& areas = other.Array(kVarPerso);
  for (uint32_t i = 0, n = areas.Count(); i < n; ++i) {
    const DDicoBase* theirs = const_cast<DicoArray&>(areas).At(i);
    const DDicoBase* their_container = theirs->GetContainer();
    if (!their_container || !their_container->NameText() || !theirs->NameText()) continue;
    DDicoBase* container = FindTable(their_container->NameText());
    if (!container) continue;
    DDicoBase* area = nullptr;
    for (DDicoBase* d = container->FirstDescendant(Selector::kFields); d;
         d = container->NextDescendant(d)) {
      if (d->Kind() == kVarPerso && d->NameText() && Chaine(d->NameText()).EqualsNoCase(theirs->NameText())) {
        area = d;
        break;
      }
    }
    if (!area) continue;
    for (const DDicoBase* field : theirs->Children()) {
      if (!field->NameText()) continue;
      bool present = false;
      for (DDicoBase* mine : area->Children()) {
        if (mine->NameText() && Chaine(mine->NameText()).EqualsNoCase(field->NameText())) present = true;
      }
      if (present) continue;
      DDicoBase* added = CreateObject(field->Kind(), area, field->NameText());
      uint8_t* p = added->MutableImage();
      const uint8_t* q = field->Image();
      std::copy(q + base::kInternalFlags, q + base::kCountries, p + base::kInternalFlags);
      std::copy(q + kBaseSize, q + added->ImageSize(), p + kBaseSize);
      // Strings of the other dictionary's pool are interned here.
      for (uint16_t off : StringRefOffsets(added->Info().image_type)) {
        if (off == base::kName) continue;
        const int32_t ref = static_cast<int32_t>(LoadLE32(q + off));
        const char* text = other.ResolveString(ref);
        StoreLE32(p + off, static_cast<uint32_t>(text ? Intern(text) : 0));
      }
      added->SetInternalFlags((added->InternalFlags() | iflag::kUserModified) & ~iflag::kFromFile);
      if (lowest_user_id_ < 0 || static_cast<int32_t>(added->Id()) < lowest_user_id_) {
        lowest_user_id_ = static_cast<int32_t>(added->Id());
      }
    }
  }
  uint32_t target = std::max(header_.version_user, other.VersionUser());
  if (category_changed && other.VersionUser() < 2) target = std::max<uint32_t>(target, 1);
  header_.version_user = target;
  merge_options_text_ = other.merge_options_text_;
  merge_options_ = other.merge_options_;
}

}  // namespace tavelnor::dico
