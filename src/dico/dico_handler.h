// DDicoHandler: one loaded dictionary.
//
// The handler owns the 28 object arrays, the string pool, the categories, the
// country and macro tables, the translations and the indexes through which
// the rest of the library finds tables, fields, keys and links. Everything it
// hands out stays valid until the next Load or its destruction.
//
// Concurrency: lookups and changes take the handler lock (recursive); each
// index also guards itself. Locking a handler locks its attached dictionaries
// too, in the order of their map.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "dico/dico_array.h"
#include "dico/dico_classes.h"
#include "dico/dico_indexes.h"
#include "dico/dico_image.h"
#include "dico/image_buffer.h"
#include "foundation/chaine.h"
#include "foundation/status.h"
#include "foundation/translation.h"

namespace tavelnor::dico {

class CInternalDicoFile;

// Load flags.
inline constexpr uint32_t kLoadNameIndex = 0x1;   // build the name index
inline constexpr uint32_t kLoadHeaderOnly = 0x2;  // check the header and stop

// The value the operating system's last-error slot receives when a file is
// not a dictionary (bad signature or version byte).
inline constexpr uint32_t kErrorNotADictionary = 0x20000001;

// Deepest nesting of objects a dictionary may have (below its top object),
// and the most bytes, and elements, the fields of one record may reach:
// every element of a field becomes a record field when a table's fields
// are built.
inline constexpr uint32_t kMaxObjectDepth = 64;
inline constexpr uint64_t kMaxRecordBytes = 0x10000;

// First identifier of the system rubric and its fields.
inline constexpr uint32_t kSystemIdBase = 0x100000;

enum class LoadResult { kFailed = 0, kLoaded, kHeaderChecked };

// Register masks.
namespace reg {
inline constexpr uint32_t kId = 0x1, kKind = 0x2, kReverseLink = 0x4, kName = 0x8, kAltId = 0x10;
inline constexpr uint32_t kAll = 0;
}  // namespace reg

class DDicoHandler {
 public:
  DDicoHandler();
  virtual ~DDicoHandler();
  DDicoHandler(const DDicoHandler&) = delete;
  DDicoHandler& operator=(const DDicoHandler&) = delete;

  // --- loading -----------------------------------------------------------
  LoadResult Load(const Chaine& path, uint32_t flags);
  // Loads an image already in memory (no file, no translation file unless
  // one is given). Used by tests and tools.
  LoadResult LoadImage(std::vector<uint8_t> bytes, uint32_t flags,
                       const TranslationFile* translations = nullptr);
  // Why the last load failed (empty when it succeeded).
  const Status& LastLoadStatus() const { return load_status_; }
  uint32_t LoadTimeMs() const { return load_time_ms_; }
  // ".oxatrad" / ".newtrad" path beside a dictionary path.
  static std::string TranslationPathFor(const std::string& dico_path);

  // --- versions ------------------------------------------------------------
  uint32_t VersionSystem() const { return header_.version_system; }
  uint32_t VersionUser() const { return header_.version_user; }
  const DicoHeader& Header() const { return header_; }
  int FormatLevel() const { return header_.level; }
  int CompareVersion(const DDicoHandler& other) const;

  // --- file ----------------------------------------------------------------
  bool ReopenForUpdate(bool write);
  void CloseFile();
  Chaine GetFilePath() const;
  CInternalDicoFile* File() const { return file_.get(); }

  // --- user part -----------------------------------------------------------
  bool CommitUserPart();
  void MergeUserPart(const DDicoHandler& other);

  // --- locking -------------------------------------------------------------
  void Lock();
  void Unlock();
  void Attach(const Chaine& name, DDicoHandler* other);
  void Detach(const Chaine& name);

  // --- lookups -------------------------------------------------------------
  DDico* Root() const { return root_; }
  DDicoBase* FindById(uint32_t id) const { return id ? ids_.Find(id) : nullptr; }
  DDicoBase* FindByKindAndId(int kind, uint32_t id) const;
  DDicoBase* FindByName(uint32_t parent_id, int group, std::string_view name);
  DDicoBase* FindByAltId(uint32_t alt) const { return FindById(alt_ids_.Find(alt)); }
  std::vector<uint32_t> FindLinksTo(uint32_t id) const { return reverse_links_.Find(id); }
  // A group-1 rubric (table, system rubric, dialog box) by name; the name
  // is cut before its first ".". Callers check the kind.
  DDicoBase* FindTable(std::string_view name);
  // Name-key parent of an object: its container, the root for a container.
  uint32_t NameParentId(const DDicoBase& object) const;

  // --- arrays --------------------------------------------------------------
  DicoArray& Array(int kind) { return *arrays_[static_cast<size_t>(kind)]; }
  const DicoArray& Array(int kind) const { return *arrays_[static_cast<size_t>(kind)]; }
  size_t ObjectCount() const { return object_count_; }
  void NoteObjectCreated() { ++object_count_; }

  // --- strings ---------------------------------------------------------------
  const char* ResolveString(int32_t ref) const;
  int32_t Intern(std::string_view text);
  std::span<const uint8_t> Pool() const { return {pool_data_, pool_used_}; }
  const std::vector<NameIndexEntry>& NameIndexEntries() const { return name_index_; }
  uint32_t PoolUsed() const { return pool_used_; }

  // --- categories ------------------------------------------------------------
  int CategoryCount() const { return static_cast<int>(categories_.size() / kCategorySize); }
  int FindCategory(std::string_view name) const;
  const uint8_t* GetCategory(int index) const;
  Chaine CategoryName(int index) const;
  Chaine CategoryText(int index) const;  // translated display text

  // --- countries and macros ----------------------------------------------------
  const std::map<std::string, int>& Countries() const { return countries_; }
  const std::map<std::string, int>& Macros() const { return macros_; }
  // The code of a name, entering it with the lowest free code (countries 1
  // to 13, macros 1 to 7) or 14 / 8 when all are taken.
  int CountryCode(const std::string& name);
  int MacroCode(const std::string& name);

  // --- objects -----------------------------------------------------------------
  uint32_t LastId() const { return last_id_; }
  int32_t LowestUserId() const { return lowest_user_id_; }
  // Creates an object of `kind` as the last child of `parent`; with
  // `system` it takes the process-wide system counter as identifier.
  DDicoBase* CreateObject(int kind, DDicoBase* parent, std::string_view name, bool system = false);
  void Register(DDicoBase* object, uint32_t mask);
  const TranslationFile& Translations() const { return translations_; }
  struct ObjectTextRecords {
    TextRecord header;
    TextRecord desc;
  };
  ObjectTextRecords& ObjectTexts(const DDicoBase& object) { return object_texts_[&object]; }
  const ObjectTextRecords* FindObjectTexts(const DDicoBase& object) const {
    if (object_texts_.empty()) return nullptr;
    auto it = object_texts_.find(&object);
    return it == object_texts_.end() ? nullptr : &it->second;
  }

  // --- tree walks (FirstDescendant / NextDescendant keep their state here) --
  // A walk moves at most `budget` times (twice the object count: once down
  // to each object and once up from it), so that no link, however damaged
  // in memory, makes it loop; the layout recursion is bounded likewise
  // (LayoutDepthGuard).
  struct WalkState {
    Selector selector = Selector::kAll;
    const DDicoBase* root = nullptr;
    size_t budget = 0;
    uint32_t layout_depth = 0;
    size_t layout_budget = 0;
  };
  WalkState& Walk() { return walk_; }

 private:
  friend class DDicoBase;
  void Reset();
  LoadResult LoadFromBytes(ImageBuffer bytes, uint32_t flags);
  Status Publish(DicoImage&& image, uint32_t flags,
                 const ImageBuffer& backing);
  void ResolveTexts(DDicoBase& object);
  // While loading, through the index without its lock: the nearest
  // container from object `id` upwards, 0 for none. Chains of parents deeper
  // than kMaxContainerDepth count as having no container.
  static constexpr int kMaxContainerDepth = 256;
  uint32_t BulkContainerOf(uint32_t id, std::vector<uint32_t>& memo) const;
  Status CheckElementCounts();
  void ResolveCategoryTexts();
  void CompleteSystemRubric();
  std::shared_ptr<const TranslationItem> ObjectTranslation(const DDicoBase& object,
                                                           std::string_view which) const;

  std::unique_ptr<CInternalDicoFile> file_;
  uint32_t last_id_ = 0;
  int32_t lowest_user_id_ = -1;
  std::array<std::unique_ptr<DicoArray>, kKindCount> arrays_;
  std::vector<NameIndexEntry> name_index_;  // as read, then as entered
  std::map<std::string, int> countries_;
  std::map<std::string, int> macros_;
  std::vector<uint8_t> categories_;
  std::vector<TextRecord> category_texts_;
  std::unordered_map<const DDicoBase*, ObjectTextRecords> object_texts_;
  // The pool: pool_used_ bytes at pool_data_, followed by a zero. It stays in
  // the loaded image (kept alive by pool_backing_) until the first Intern
  // copies it into pool_.
  std::vector<uint8_t> pool_;
  const uint8_t* pool_data_ = nullptr;
  std::shared_ptr<uint8_t> pool_backing_;
  uint32_t pool_used_ = 0;
  int32_t last_interned_ = -1;
  std::string last_interned_text_;
  DDico* root_ = nullptr;
  IdIndex ids_;
  NameIndex names_;
  ReverseLinkIndex reverse_links_;
  AltIdIndex alt_ids_;
  std::recursive_mutex lock_;
  uint32_t load_time_ms_ = 0;
  DicoHeader header_;
  uint32_t load_flags_ = 0;
  std::map<Chaine, DDicoHandler*, ChaineLessNoCase> attached_;
  Chaine merge_options_text_;
  uint8_t merge_options_ = 0x05;
  TranslationFile translations_;
  Status load_status_;
  WalkState walk_;
  size_t object_count_ = 0;
};

// One step of the layout recursion (sizes or offsets), counted in the
// handler for as long as it lives: `deep` once beyond what a loaded
// dictionary may nest, or once the recursion has taken twice as many steps
// as there are objects, so that links damaged in memory cannot make it loop.
class LayoutDepthGuard {
 public:
  explicit LayoutDepthGuard(DDicoHandler* h) : walk_(h->Walk()) {
    if (walk_.layout_depth++ == 0) walk_.layout_budget = 2 * h->ObjectCount() + 2;
    if (walk_.layout_budget > 0) {
      --walk_.layout_budget;
    } else {
      spent_ = true;
    }
  }
  ~LayoutDepthGuard() { --walk_.layout_depth; }
  LayoutDepthGuard(const LayoutDepthGuard&) = delete;
  LayoutDepthGuard& operator=(const LayoutDepthGuard&) = delete;
  bool deep() const { return spent_ || walk_.layout_depth > kMaxObjectDepth + 1; }

 private:
  DDicoHandler::WalkState& walk_;
  bool spent_ = false;
};

// Process-wide counter that gives identifiers to objects created with the
// system option.
std::atomic<uint32_t>& SystemIdCounter();

}  // namespace tavelnor::dico
