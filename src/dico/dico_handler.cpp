// DDicoHandler: loading, indexes, strings, versions and the user part.
#include "dico/dico_handler.h"

#include <algorithm>
#include <cstring>

#include "dico/dico_file.h"
#include "dico/field_model.h"
#include "dico/tree_check.h"
#include "foundation/platform/files.h"
#include "foundation/platform/process.h"
#include "foundation/string_resources.h"
#include "record/date_settings.h"

namespace tavelnor::dico {

std::atomic<uint32_t>& SystemIdCounter() {
  static std::atomic<uint32_t> counter{kSystemIdBase};
  return counter;
}

DDicoHandler::DDicoHandler() {
  for (int k = 0; k < kKindCount; ++k) arrays_[static_cast<size_t>(k)] = MakeDicoArray(this, k);
  pool_.assign(1, 0);
  pool_data_ = pool_.data();
}

DDicoHandler::~DDicoHandler() {
  CloseFile();
  Reset();
}

void DDicoHandler::Reset() {
  ids_.Clear();
  names_.Clear();
  reverse_links_.Clear();
  alt_ids_.Clear();
  for (auto& a : arrays_) a->Clear();
  object_count_ = 0;
  root_ = nullptr;
  pool_.assign(1, 0);
  pool_data_ = pool_.data();
  pool_backing_.reset();
  pool_used_ = 0;
  last_interned_ = -1;
  last_interned_text_.clear();
  categories_.clear();
  category_texts_.clear();
  object_texts_.clear();
  name_index_.clear();
  countries_.clear();
  macros_.clear();
  translations_.Clear();
  last_id_ = 0;
  lowest_user_id_ = -1;
}

std::string DDicoHandler::TranslationPathFor(const std::string& path) {
  const size_t sep = path.find_last_of("\\/:");
  const size_t dir_end = sep == std::string::npos ? 0 : sep + 1;
  std::string name = path.substr(dir_end);
  std::string ext;
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) {
    ext = name.substr(dot + 1);
    name.resize(dot);
  }
  const bool is_new = Chaine(ext).EqualsNoCase("new");
  return path.substr(0, dir_end) + name + (is_new ? ".newtrad" : ".oxatrad");
}

LoadResult DDicoHandler::Load(const Chaine& path, uint32_t flags) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  const uint32_t start = platform::TickCountMs();
  Reset();
  load_status_ = Status::Ok();
  if (file_ && Chaine(file_->path()).EqualsNoCase(path.view())) {
    if (Status s = file_->Rewind(); !s.ok()) {
      load_status_ = s;
      return LoadResult::kFailed;
    }
  } else {
    CloseFile();
    auto opened = CInternalDicoFile::Open(path.str(), true, true);
    if (!opened.ok()) {
      load_status_ = opened.status();
      return LoadResult::kFailed;
    }
    file_ = std::move(opened.value());
  }
  if (!(flags & kLoadHeaderOnly)) {
    const std::string trad = TranslationPathFor(path.str());
    if (platform::FileExists(trad)) {
      // A FIFO or a device there would block the reading or never end.
      if (!platform::RegularFileExists(trad)) {
        load_status_ = Status::IoError("translation file " + trad + " is not a regular file");
        return LoadResult::kFailed;
      }
      if (Status s = translations_.Load(trad); !s.ok()) {
        load_status_ = Status::Corrupt("translation file " + trad + ": " + s.ToString());
        return LoadResult::kFailed;
      }
    }
  }
  auto bytes = file_->ReadImage();
  if (!bytes.ok()) {
    load_status_ = bytes.status();
    return LoadResult::kFailed;
  }
  const LoadResult result = LoadFromBytes(std::move(bytes.value()), flags);
  load_time_ms_ = platform::TickCountMs() - start;
  (void)file_->SettleAfterLoad();
  return result;
}

LoadResult DDicoHandler::LoadImage(std::vector<uint8_t> bytes, uint32_t flags,
                                   const TranslationFile* translations) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  const uint32_t start = platform::TickCountMs();
  Reset();
  load_status_ = Status::Ok();
  if (translations) translations_ = *translations;
  const LoadResult result = LoadFromBytes(ImageBuffer::FromVector(std::move(bytes)), flags);
  load_time_ms_ = platform::TickCountMs() - start;
  return result;
}

LoadResult DDicoHandler::LoadFromBytes(ImageBuffer bytes, uint32_t flags) {
  DicoHeader header;
  Status s = ParseDicoHeader(bytes.bytes(), &header);
  if (s.code() == Status::Code::kUnsupported) platform::SetLastOsError(kErrorNotADictionary);
  if (!s.ok()) {
    load_status_ = s;
    return LoadResult::kFailed;
  }
  header_ = header;
  if (flags & kLoadHeaderOnly) return LoadResult::kHeaderChecked;
  // The images stay where they were read; the arrays share the buffer.
  auto image = ParseDicoImage(bytes.bytes(), ParseOptions{true});
  if (!image.ok()) {
    if (image.status().code() == Status::Code::kUnsupported) {
      platform::SetLastOsError(kErrorNotADictionary);
    }
    load_status_ = image.status();
    return LoadResult::kFailed;
  }
  if (Status p = Publish(std::move(image.value()), flags, bytes); !p.ok()) {
    Reset();
    load_status_ = p;
    return LoadResult::kFailed;
  }
  return LoadResult::kLoaded;
}

namespace {

// The string references of one image type with the ownership bit each
// clears once resolved.
struct RefLayout {
  uint16_t offset[12];
  uint32_t bit[12];
  int count = 0;

  explicit RefLayout(ImageType type) {
    for (uint16_t off : StringRefOffsets(type)) {
      uint32_t b = 0;
      if (off == base::kName) b = iflag::kOwnName;
      if (off == base::kDdfName) b = iflag::kOwnDdfName;
      for (const FieldDesc& f : ClassFields(type)) {
        if (f.offset == off) b = f.ownership_bit;
      }
      offset[count] = off;
      bit[count] = b;
      ++count;
    }
  }
};

// Checks that every reference of an image resolves and answers the
// ownership bits to clear.
Status ResolveRefs(const RefLayout& layout, const uint8_t* image, uint32_t pool_used,
                   const KindInfo& info, uint32_t* clear_bits) {
  uint32_t bits = 0;
  for (int i = 0; i < layout.count; ++i) {
    const auto ref = static_cast<int32_t>(LoadLE32(image + layout.offset[i]));
    if (ref == 0) continue;
    if (ref < -1 - kBuiltinStringCount || (ref > 0 && static_cast<uint32_t>(ref) >= pool_used)) {
      return Status::Corrupt("string reference " + std::to_string(ref) + " at byte " +
                             std::to_string(layout.offset[i]) + " of object " +
                             std::to_string(LoadLE32(image + base::kId)) + " (" + info.class_name +
                             ") lies outside the string pool");
    }
    bits |= layout.bit[i];
  }
  *clear_bits = bits;
  return Status::Ok();
}

}  // namespace

Status DDicoHandler::Publish(DicoImage&& image, uint32_t flags,
                             const ImageBuffer& backing) {
  header_ = image.header;
  last_id_ = image.last_id;
  lowest_user_id_ = image.lowest_user_id;
  name_index_ = std::move(image.name_index);
  for (const auto& e : name_index_) {
    if (!e.name.empty() && e.name[0] == '@') {
      macros_[e.name.substr(1)] = e.value - 14;
    } else {
      countries_[e.name] = e.value;
    }
  }
  const auto& pool_view = image.pool_in_place;
  const uint8_t* pool_start = pool_view.used ? backing.data.get() + pool_view.offset : nullptr;
  if (pool_view.used && pool_view.count > 0 && pool_start[pool_view.count - 1] == 0) {
    // Every pool offset reaches the pool's own last zero: the pool is used
    // where it was read.
    pool_data_ = pool_start;
    pool_used_ = pool_view.count;
    pool_backing_ = backing.data;
  } else {
    if (pool_view.used) {
      pool_.assign(pool_start, pool_start + pool_view.count);
    } else {
      pool_ = std::move(image.pool);
    }
    pool_used_ = static_cast<uint32_t>(pool_.size());
    pool_.push_back(0);  // every pool offset now reaches a terminator
    pool_data_ = pool_.data();
  }
  categories_ = std::move(image.categories);
  load_flags_ = flags;

  size_t total = 0;
  for (int k = 0; k < kKindCount; ++k) {
    const auto& in_place = image.in_place[static_cast<size_t>(k)];
    if (in_place.used) {
      arrays_[static_cast<size_t>(k)]->AdoptInPlace(backing.data, in_place.offset, in_place.count);
    } else {
      arrays_[static_cast<size_t>(k)]->Adopt(std::move(image.arrays[static_cast<size_t>(k)]));
    }
    total += arrays_[static_cast<size_t>(k)]->Count();
  }
  object_count_ = total;
  // Bulk entry: nobody else can reach the handler while it loads, so the
  // indexes are filled without taking their locks for every object. The
  // first pass reads each image once and keeps what the second needs.
  struct Loaded {
    DDicoBase* object;
    uint32_t id, parent, first_child, next_sibling, linked_to, alt_id;
    int32_t name;
  };
  std::vector<Loaded> loaded;
  loaded.reserve(total);
  ids_.Reserve(total);
  std::vector<uint32_t> all_ids;
  all_ids.reserve(total);
  uint32_t max_id = 0;
  for (auto& a : arrays_) {
    const KindInfo& info = GetKindInfo(a->Kind());
    const RefLayout layout(info.image_type);
    for (uint32_t i = 0, n = a->Count(); i < n; ++i) {
      uint8_t* image = a->ImageAt(i);
      uint32_t clear = 0;
      if (Status s = ResolveRefs(layout, image, pool_used_, info, &clear); !s.ok()) return s;
      const uint32_t id = LoadLE32(image + base::kId);
      all_ids.push_back(id);
      max_id = std::max(max_id, id);
      StoreLE32(image + base::kInternalFlags,
                (LoadLE32(image + base::kInternalFlags) | iflag::kFromFile) & ~clear);
      DDicoBase* o = a->At(i);
      loaded.push_back({o, id, LoadLE32(image + base::kParent), LoadLE32(image + base::kFirstChild),
                        LoadLE32(image + base::kNextSibling), LoadLE32(image + base::kLinkedTo),
                        LoadLE32(image + base::kAltId),
                        static_cast<int32_t>(LoadLE32(image + base::kName))});
      if (!ids_.InsertUnlocked(id, o)) {
        return Status::Corrupt("object " + std::to_string(i) + " of array " +
                               std::to_string(a->Kind()) + " (" + info.class_name +
                               ") reuses identifier " + std::to_string(id));
      }
      if (!root_ && a->Kind() == kDico) root_ = static_cast<DDico*>(o);
    }
  }
  std::vector<NameIndex::Entry> named;
  std::vector<uint32_t> name_hashes;
  std::vector<uint32_t> container_memo;
  const bool name_index = (flags & kLoadNameIndex) != 0;
  if (name_index) {
    named.reserve(total);
    name_hashes.reserve(total);
    container_memo.assign(std::min<size_t>(total * 2 + 1, static_cast<size_t>(last_id_) + 1), 0);
  }
  TreeCheck tree(all_ids, max_id, kMaxObjectDepth);
  auto exists = [this](uint32_t id) { return ids_.FindUnlocked(id) != nullptr; };
  size_t next = 0;
  for (auto& a : arrays_) {
    const int kind = a->Kind();
    const auto group = static_cast<uint8_t>(GetKindInfo(kind).group);
    for (uint32_t i = 0, n = a->Count(); i < n; ++i) {
      const Loaded& l = loaded[next++];
      if (Status s = tree.AddLinks(l.id, l.first_child, l.next_sibling, exists); !s.ok()) return s;
      if (l.parent && exists(l.parent)) tree.AddParent(l.id, l.parent);
      ResolveTexts(*l.object);
      if (l.linked_to) reverse_links_.Insert(l.linked_to, l.id);
      if (l.alt_id) alt_ids_.Insert(l.alt_id, l.id);
      const char* name = l.name ? ResolveString(l.name) : nullptr;
      if (!name) continue;
      if (name_index && group != 7) {
        const uint32_t parent = IsContainerKind(kind) ? (root_ ? root_->Id() : 0)
                                                      : BulkContainerOf(l.parent, container_memo);
        uint64_t words[3];
        const size_t length = NameWords(name, words);
        named.push_back({l.object, parent, group});
        name_hashes.push_back(HashNameKey(parent, group, length, words));
      }
    }
  }
  names_.BulkInsertUnlocked(std::move(named), name_hashes);
  if (Status t = tree.Finish(); !t.ok()) return t;
  if (!root_) return Status::Corrupt("the dictionary has no root object");
  if (Status e = CheckElementCounts(); !e.ok()) return e;
  ResolveCategoryTexts();
  CompleteSystemRubric();
  if (header_.level < 9) {
    DicoArray& areas = Array(kVarPerso);
    for (uint32_t i = 0, n = areas.Count(); i < n; ++i) {
      if (DDicoBase* c = areas.At(i)->GetContainer()) c->RecomputeSize();
    }
  }
  record::SetMinimumDateZero((root_->Flags() & 0x1) != 0);
  return Status::Ok();
}

std::shared_ptr<const TranslationItem> DDicoHandler::ObjectTranslation(
    const DDicoBase& object, std::string_view which) const {
  auto section = translations_.Section(TranslationFile::kObjectSection);
  if (!section) return nullptr;
  auto item = section->Child(object.TranslationKey());
  if (!item) return nullptr;
  if (auto child = item->Child(which)) return child;
  return item;
}

void DDicoHandler::ResolveTexts(DDicoBase& object) {
  if (translations_.empty()) return;
  if (object.Word(base::kHeader)) {
    if (auto t = ObjectTranslation(object, "header")) object.HeaderRecord().translation = std::move(t);
  }
  if (object.Word(base::kDesc)) {
    if (auto t = ObjectTranslation(object, "desc")) object.DescRecord().translation = std::move(t);
  }
}

void DDicoHandler::ResolveCategoryTexts() {
  const int n = CategoryCount();
  category_texts_.assign(static_cast<size_t>(n), TextRecord{});
  auto section = translations_.Section(TranslationFile::kCategorySection);
  if (!section) return;
  for (int i = 0; i < n; ++i) {
    category_texts_[static_cast<size_t>(i)].translation = section->Child(CategoryName(i).view());
  }
}

Status DDicoHandler::CheckElementCounts() {
  // An element takes at least a byte of a record, and a table holds no more
  // elements than a record has bytes.
  std::unordered_map<const DDicoBase*, uint64_t> per_table;
  for (int kind = kVarPerso; kind <= kVarInSystem; ++kind) {
    if (kind > kVarInPerso && kind != kVarInSystem) continue;
    DicoArray& a = Array(kind);
    for (uint32_t i = 0, n = a.Count(); i < n; ++i) {
      const DDicoBase& v = *a.At(i);
      const uint64_t count = field_model::ElementCount(v);
      const uint64_t size = std::max<uint64_t>(static_cast<uint64_t>(field_model::FieldSize(v)), 1);
      if (count * size > kMaxRecordBytes) {
        return Status::Corrupt("field " + std::to_string(v.Id()) + " (" +
                               GetKindInfo(kind).class_name + ") of " + std::to_string(count) +
                               " elements of " + std::to_string(size) +
                               " bytes exceeds the largest record (" +
                               std::to_string(kMaxRecordBytes) + " bytes)");
      }
      const DDicoBase* table = v.GetContainer();
      if (!table) continue;
      uint64_t& total = per_table[table];
      total += count;
      if (total > kMaxRecordBytes) {
        return Status::Corrupt("the fields of object " + std::to_string(table->Id()) + " (" +
                               GetKindInfo(table->Kind()).class_name + ") have more than " +
                               std::to_string(kMaxRecordBytes) +
                               " elements, more than a record can hold");
      }
    }
  }
  // Key segments and link parts view a part of the record.
  for (int kind = kSegment; kind <= kSubLinkAttached; ++kind) {
    DicoArray& a = Array(kind);
    for (uint32_t i = 0, n = a.Count(); i < n; ++i) {
      const DDicoBase& part = *a.At(i);
      if (part.UnitSize() > kMaxRecordBytes) {
        return Status::Corrupt("key or link part " + std::to_string(part.Id()) + " (" +
                               GetKindInfo(kind).class_name + ") of " +
                               std::to_string(part.UnitSize()) +
                               " bytes exceeds the largest record (" +
                               std::to_string(kMaxRecordBytes) + " bytes)");
      }
    }
  }
  return Status::Ok();
}

// --- registration and lookups ---------------------------------------------

uint32_t DDicoHandler::BulkContainerOf(uint32_t id, std::vector<uint32_t>& memo) const {
  // memo[id]: 0 unknown, kNone no container, else the container's id.
  constexpr uint32_t kNone = 0xFFFFFFFFu;
  uint32_t chain[kMaxContainerDepth];
  int length = 0;
  uint32_t found = kNone;
  while (id != 0 && length < kMaxContainerDepth) {
    if (id < memo.size() && memo[id] != 0) {
      found = memo[id];
      break;
    }
    const DDicoBase* o = ids_.FindUnlocked(id);
    if (!o) break;
    chain[length++] = id;
    if (IsContainerKind(o->Kind())) {
      found = id;
      break;
    }
    id = o->ParentId();
  }
  for (int i = 0; i < length; ++i) {
    if (chain[i] < memo.size()) memo[chain[i]] = found;
  }
  return found == kNone ? 0 : found;
}

uint32_t DDicoHandler::NameParentId(const DDicoBase& object) const {
  const DDicoBase* c = object.GetContainer();
  if (!c) return 0;
  if (c == &object) return root_ ? root_->Id() : 0;
  return c->Id();
}

void DDicoHandler::Register(DDicoBase* o, uint32_t mask) {
  if (mask == reg::kAll) mask = reg::kId | reg::kKind | reg::kReverseLink | reg::kName | reg::kAltId;
  if (mask & reg::kId) ids_.Insert(o->Id(), o);
  if ((mask & reg::kKind) && o->Kind() == kDico && !root_) root_ = static_cast<DDico*>(o);
  if ((mask & reg::kReverseLink) && o->LinkedToId()) reverse_links_.Insert(o->LinkedToId(), o->Id());
  if ((mask & reg::kName) && (load_flags_ & kLoadNameIndex) && o->UserType() != 7) {
    if (const char* name = o->NameText()) {
      names_.Insert(NameKey(NameParentId(*o), static_cast<uint8_t>(o->UserType()), name), o);
    }
  }
  if ((mask & reg::kAltId) && o->AltId()) alt_ids_.Insert(o->AltId(), o->Id());
}

DDicoBase* DDicoHandler::FindByKindAndId(int kind, uint32_t id) const {
  DDicoBase* o = FindById(id);
  return o && o->Kind() == kind ? o : nullptr;
}

DDicoBase* DDicoHandler::FindByName(uint32_t parent_id, int group, std::string_view name) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  const auto g = static_cast<uint8_t>(group);
  if (DDicoBase* o = names_.Find(NameKey(parent_id, g, name))) return o;
  const size_t bang = name.find('!');
  if (bang == std::string_view::npos) return nullptr;
  return names_.Find(NameKey(parent_id, g, name.substr(0, bang)));
}

DDicoBase* DDicoHandler::FindTable(std::string_view name) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (!root_) return nullptr;
  const size_t dot = name.find('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return FindByName(root_->Id(), 1, name);
}

// --- strings -----------------------------------------------------------------

const char* DDicoHandler::ResolveString(int32_t ref) const {
  if (ref == 0) return nullptr;
  if (ref == -1) return "";
  if (ref < 0) return BuiltinString(-2 - ref);
  if (static_cast<uint32_t>(ref) >= pool_used_) return nullptr;
  return reinterpret_cast<const char*>(pool_data_) + ref;
}

int32_t DDicoHandler::Intern(std::string_view text) {
  if (text.empty()) return -1;
  if (int32_t b = BuiltinStringRef(text)) return b;
  if (last_interned_ >= 0 && text == last_interned_text_) return last_interned_;
  // The text may lie in the pool itself, which may move below: work on a copy.
  last_interned_text_.assign(text);
  text = last_interned_text_;
  if (pool_backing_) {
    // The first new text: the pool leaves the loaded image.
    pool_.assign(pool_data_, pool_data_ + pool_used_);
    pool_.push_back(0);
    pool_backing_.reset();
  }
  // Offset 0 would read as "no string": an empty pool starts with a spare zero.
  if (pool_used_ == 0) {
    pool_.assign(1, 0);
    pool_used_ = 1;
  }
  // A pool read from a file may end inside a string: its guard zero stays.
  if (pool_[pool_used_ - 1] != 0) ++pool_used_;
  const size_t need = pool_used_ + text.size() + 1;
  if (need + 1 > pool_.capacity()) pool_.reserve(((need + 1) / 10000 + 1) * 10000);
  const auto offset = static_cast<int32_t>(pool_used_);
  pool_.resize(pool_used_);
  pool_.insert(pool_.end(), text.begin(), text.end());
  pool_.push_back(0);
  pool_used_ = static_cast<uint32_t>(pool_.size());
  pool_.push_back(0);
  pool_data_ = pool_.data();
  last_interned_ = offset;
  return offset;
}

// --- categories -----------------------------------------------------------------

int DDicoHandler::FindCategory(std::string_view name) const {
  const size_t n = std::min<size_t>(name.size(), kCategoryNameLength);
  for (int i = 0; i < CategoryCount(); ++i) {
    const char* entry = reinterpret_cast<const char*>(GetCategory(i));
    const size_t len = strnlen(entry, kCategoryNameLength);
    const size_t cmp = std::min<size_t>(len, kCategoryNameLength);
    if (std::string_view(entry, cmp) == name.substr(0, n)) return i;
  }
  return -1;
}

const uint8_t* DDicoHandler::GetCategory(int index) const {
  if (index < 0 || index >= CategoryCount()) return nullptr;
  return categories_.data() + static_cast<size_t>(index) * kCategorySize;
}

Chaine DDicoHandler::CategoryName(int index) const {
  const uint8_t* entry = GetCategory(index);
  if (!entry) return Chaine();
  const char* text = reinterpret_cast<const char*>(entry);
  return Chaine(text, strnlen(text, kCategoryNameLength + 1));
}

Chaine DDicoHandler::CategoryText(int index) const {
  if (index < 0 || index >= CategoryCount()) return Chaine();
  const auto& record = category_texts_[static_cast<size_t>(index)];
  if (record.translation) {
    std::string_view t = record.translation->Text(ResourceLanguage());
    if (!t.empty()) return Chaine(t);
  }
  return CategoryName(index);
}

// --- countries and macros ---------------------------------------------------------

namespace {
int EnterCode(std::map<std::string, int>& table, const std::string& name, int max_code,
              int full_code) {
  if (auto it = table.find(name); it != table.end()) return it->second;
  std::vector<bool> used(static_cast<size_t>(max_code) + 1, false);
  for (const auto& [n, c] : table) {
    if (c >= 1 && c <= max_code) used[static_cast<size_t>(c)] = true;
  }
  int code = full_code;
  for (int c = 1; c <= max_code; ++c) {
    if (!used[static_cast<size_t>(c)]) {
      code = c;
      break;
    }
  }
  table.emplace(name, code);
  return code;
}
}  // namespace

int DDicoHandler::CountryCode(const std::string& name) {
  const bool known = countries_.count(name) != 0;
  const int code = EnterCode(countries_, name, 13, 14);
  if (!known) name_index_.push_back({code, name});
  return code;
}

int DDicoHandler::MacroCode(const std::string& name) {
  const bool known = macros_.count(name) != 0;
  const int code = EnterCode(macros_, name, 7, 8);
  if (!known) name_index_.push_back({code + 14, "@" + name});
  return code;
}

}  // namespace tavelnor::dico
