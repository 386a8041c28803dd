// Table definitions: the data file's record lengths, page size choice and
// file name, and the walks over a table's keys, links and fields.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "dico/data_paths.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"

namespace tavelnor::dico {

namespace {

// Holds the handler lock: FirstDescendant keeps its walk state in the handler.
class WalkLock {
 public:
  explicit WalkLock(DDicoHandler* h) : h_(h) { h_->Lock(); }
  ~WalkLock() { h_->Unlock(); }
  WalkLock(const WalkLock&) = delete;
  WalkLock& operator=(const WalkLock&) = delete;

 private:
  DDicoHandler* h_;
};

template <typename T>
std::vector<T*> Walk(const DDicoBase& from, Selector selector) {
  WalkLock lock(from.Owner());
  std::vector<T*> out;
  for (DDicoBase* o = from.FirstDescendant(selector); o; o = from.NextDescendant(o)) {
    out.push_back(static_cast<T*>(o));
  }
  return out;
}

// Page header bytes, and the constant below which no page size is taken.
constexpr uint32_t kPageHeader = 6;
constexpr uint32_t kPageFloor = 12;

}  // namespace

std::vector<DKey*> DRubricTable::GetKeys() const { return Walk<DKey>(*this, Selector::kKeys); }
std::vector<DLink*> DRubricTable::GetLinks() const {
  return Walk<DLink>(*this, Selector::kLinks);
}
std::vector<DDicoBase*> DRubricTable::GetFields() const {
  return Walk<DDicoBase>(*this, Selector::kFields);
}
std::vector<DDicoBase*> DRubricTable::GetVariables() const {
  return Walk<DDicoBase>(*this, Selector::kVariables);
}

DDicoBase* DRubricTable::FindField(std::string_view name) const {
  return Owner()->FindByName(Id(), 2, name);
}

uint32_t DRubricTable::GetPhysicalRecordLength() const {
  const uint32_t flags = Flags();
  uint64_t length = uint64_t{UnitSize()} + 2;
  for (const DKey* key : GetKeys()) {
    if (key->Flags() & kKeyDuplicates) length += 8;
  }
  if (flags & tflag::kVariableLength) length += 4;
  if (flags & tflag::kVatsAllocation) {
    length += (flags & tflag::kBlankTruncation) ? 8 : 4;
  } else if (flags & tflag::kBlankTruncation) {
    length += 2;
  }
  return static_cast<uint32_t>(std::min<uint64_t>(length, UINT32_MAX));
}

uint32_t DRubricTable::ComputeBestPageSize() const {
  const uint32_t r = GetPhysicalRecordLength();
  // The physical length always carries its 2 overhead bytes; 0 can only come
  // from a damaged definition. There is no record to fit, so the smallest
  // page is taken rather than dividing by zero.
  if (r == 0) return kMinPageSize;
  uint32_t best = 0;
  uint32_t best_waste = UINT32_MAX;
  for (uint32_t p = kMinPageSize; p <= kMaxPageSize; p += kPageStep) {
    if (p <= kPageFloor || p <= r) continue;
    const uint32_t waste = (p - kPageHeader) % r;
    if (waste < best_waste) {
      best = p;
      best_waste = waste;
    }
  }
  return best ? best : kMaxPageSize;
}

Chaine DRubricTable::GetFileName() const {
  const char* def = DefFileName();
  std::string name = (def && *def) ? def : (NameText() ? NameText() : "");
  const uint32_t flags = Flags();
  if (flags & (tflag::kTitle7 | tflag::kTitle8)) {
    const size_t sep = name.find_last_of("\\/:");
    const size_t dot = name.rfind('.');
    std::string title = name;
    std::string extension;
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) {
      title = name.substr(0, dot);
      extension = name.substr(dot + 1);
    }
    if ((flags & tflag::kTitle8) && title.size() > 8) title.resize(8);
    if ((flags & tflag::kTitle7) && title.size() > 7) title.resize(7);
    name = extension.empty() ? title : title + "." + extension;
  }
  if (name.find('.') == std::string::npos) {
    const DDicoBase* parent = GetParent();
    if (parent && parent->Kind() == kDico) {
      const char* ext = static_cast<const DDico*>(parent)->DefExtension();
      name += ".";
      name += (ext && *ext) ? ext : "btr";
    }
  }
  return Chaine(name);
}

Chaine DRubricTable::GetFilePath() const {
  const std::string dico_path = Owner() != nullptr ? Owner()->GetFilePath().str() : std::string();
  const std::string dico_folder = ParentFolder(dico_path);
  const uint32_t flags = Flags();
  std::string folder;
  if (flags & tflag::kParentDirectory) {
    folder = ParentFolder(dico_folder);
  } else if (flags & tflag::kCommonFolder) {
    folder = CommonDataFolder();
  } else {
    folder = dico_folder;
  }
  return Chaine(JoinDataPath(folder, GetFileName().view()));
}

}  // namespace tavelnor::dico
