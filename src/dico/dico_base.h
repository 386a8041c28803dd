// DDicoBase: one object of a loaded dictionary (the root, a table, a field, a
// key, a segment, a link, a structure, a title node...).
//
// Every object lives in the DicoArray of its kind and reads and writes its
// record image in that array's contiguous block; the image layout is in
// image_format.h. The object itself adds only what the image cannot hold: its
// place in the array and the translation items of its two display texts.
//
// Objects are small (a table pointer and an index): a large dictionary holds
// hundreds of thousands of them.
//
// Lifetime: objects are owned by their array, which the DDicoHandler owns;
// every pointer handed out (objects, texts) stays valid until the handler
// loads again or is destroyed. Reads are safe from several threads; changes
// and tree walks run under the handler lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dico/image_format.h"
#include "foundation/byte_reader.h"
#include "foundation/chaine.h"

namespace tavelnor {
class TranslationItem;
}

namespace tavelnor::dico {

class DDicoHandler;
class DicoArray;
struct AttrNode;

// A display text: the pool text (held by reference in the image), the shared
// translation item found for it, and whether the object owns the text.
struct TextRecord {
  std::shared_ptr<const TranslationItem> translation;
  uint8_t owned = 0;
};

// What an object needs of its array, kept current by the array (the block
// may move when it grows).
struct ArrayView {
  uint8_t* data = nullptr;
  uint32_t image_size = 0;
  uint8_t kind = 0;
  DDicoHandler* owner = nullptr;
  DicoArray* array = nullptr;
};

// Selectors of FirstDescendant/NextDescendant.
enum class Selector : int {
  kAll = 0,       // every object
  kFields = 1,    // fields, structure and array fields, user-defined areas
  kVariables = 2, // fields only (the DVariable family)
  kKeys = 3,      // DKey
  kLinks = 4,     // DLink
  kSegments = 5,  // segments and link parts
};

class DDicoBase {
 public:
  DDicoBase(const ArrayView* view, uint32_t index) : view_(view), index_(index) {}
  virtual ~DDicoBase() = default;
  DDicoBase(const DDicoBase&) = delete;
  DDicoBase& operator=(const DDicoBase&) = delete;
  DDicoBase(DDicoBase&&) = default;

  // --- identity --------------------------------------------------------
  int Kind() const { return view_->kind; }
  virtual int UserType() const { return GetKindInfo(Kind()).group; }
  const KindInfo& Info() const { return GetKindInfo(Kind()); }
  DDicoHandler* Owner() const { return view_->owner; }
  uint32_t Index() const { return index_; }

  // --- record image ----------------------------------------------------
  const uint8_t* Image() const { return view_->data + static_cast<size_t>(index_) * view_->image_size; }
  uint8_t* MutableImage() { return view_->data + static_cast<size_t>(index_) * view_->image_size; }
  uint32_t ImageSize() const { return view_->image_size; }
  uint32_t Word(uint32_t offset) const { return LoadLE32(Image() + offset); }
  void SetWord(uint32_t offset, uint32_t v) { StoreLE32(MutableImage() + offset, v); }
  uint16_t Half(uint32_t offset) const { return LoadLE16(Image() + offset); }
  uint8_t Byte(uint32_t offset) const { return Image()[offset]; }

  uint32_t Id() const { return Word(base::kId); }
  uint32_t ParentId() const { return Word(base::kParent); }
  uint32_t FirstChildId() const { return Word(base::kFirstChild); }
  uint32_t NextSiblingId() const { return Word(base::kNextSibling); }
  uint32_t LinkedToId() const { return Word(base::kLinkedTo); }
  uint32_t InternalFlags() const { return Word(base::kInternalFlags); }
  uint32_t Flags() const { return Word(base::kFlags); }
  uint32_t UnitSize() const { return Word(base::kUnitSize); }
  uint32_t AltId() const { return Word(base::kAltId); }
  void SetUnitSize(uint32_t size) { SetWord(base::kUnitSize, size); }

  void SetFlags(uint32_t flags) { SetWord(base::kFlags, flags); }
  void AddFlags(uint32_t bits) { SetFlags(Flags() | bits); }
  void RemoveFlags(uint32_t bits) { SetFlags(Flags() & ~bits); }
  void SetInternalFlag(int bit) { SetWord(base::kInternalFlags, InternalFlags() | (1u << bit)); }
  void SetInternalFlags(uint32_t v) { SetWord(base::kInternalFlags, v); }

  // --- strings ---------------------------------------------------------
  // The text of a string reference stored at `offset`, or null when absent.
  const char* StringAt(uint32_t offset) const;
  const char* NameText() const { return StringAt(base::kName); }
  // Texts with their fallbacks: ddfname and header to the name, the
  // description to the header, then the name. Never null.
  const char* DdfNameText() const;
  const char* HeaderPoolText() const;
  const char* DescPoolText() const;
  Chaine GetName() const;
  Chaine GetDdfName() const;
  Chaine GetHeader() const;       // translated when the current language has a text
  Chaine GetDescription() const;  // translated when the current language has a text
  // Slot 18: the identifier in decimal.
  std::string TranslationKey() const { return std::to_string(Id()); }
  // The translation records of the display texts, kept by the handler for
  // the objects that have one (most have none).
  TextRecord& HeaderRecord();
  TextRecord& DescRecord();
  const TextRecord* FindHeaderRecord() const;
  const TextRecord* FindDescRecord() const;

  // --- countries and macros --------------------------------------------
  bool HasCountryRestriction() const { return (Byte(base::kCountries) & 0x80) != 0; }
  bool CountriesExclude() const { return (Byte(base::kCountries) & 0x40) != 0; }
  bool HasCountry(int code) const;
  bool HasMacro(int code) const;
  // Sets the country bits from names (entering unknown names in the
  // handler's table); an empty list clears the restriction.
  void SetCountries(const std::vector<std::string>& names, bool exclude);
  void SetMacros(const std::vector<std::string>& names);
  std::vector<std::string> CountryNames() const;
  std::vector<std::string> MacroNames() const;

  // --- kind-specific answers (defaults for kinds that have none) ---------
  virtual uint32_t ClassCode() const { return 0; }
  virtual uint32_t DiskOffset() const { return 0; }
  virtual void SetOffset(uint32_t /*offset*/) {}
  virtual uint32_t TypeCode() const { return 0xFF; }
  virtual const char* TypeText() const { return nullptr; }
  virtual uint32_t NbItems() const { return 1; }
  virtual bool TakesSpace() const { return false; }
  virtual uint32_t GetTotalSize() const { return UnitSize() * NbItems(); }
  // Record layout: sizes bottom-up, offsets top-down.
  virtual uint32_t ComputeSize();
  virtual void AssignOffsets(uint32_t& running);
  virtual uint32_t RecomputeSize();
  // Slot 24: a new object of `kind` as this object's last child, named
  // `name` (the kind's default name when empty); `system` takes the
  // process-wide system counter as identifier.
  DDicoBase* CreateChild(int kind, std::string_view name = {}, bool system = false);
  const char* DefaultName() const { return Info().default_name; }
  // Puts the class part back to its creation values.
  virtual void ResetClassFields() {}
  // Slot 80: this object and its children as attribute nodes.
  void ExportAttributes(AttrNode& node) const;

  // --- tree ------------------------------------------------------------
  DDicoBase* GetParent() const;
  DDicoBase* GetFirstChild() const;
  DDicoBase* GetNextSibling() const;
  DDicoBase* GetLinkedTo() const;
  // The nearest object from this one upwards whose kind is 1 to 5.
  DDicoBase* GetContainer() const;
  // Depth-first walk below this object in sibling order, not entering
  // nested containers; the selector is held by the handler during the walk.
  DDicoBase* FirstDescendant(Selector selector) const;
  DDicoBase* NextDescendant(const DDicoBase* current) const;
  std::vector<DDicoBase*> Children() const;

 protected:
  virtual void ExportClassAttributes(AttrNode& node) const;
  const char* ShownText(const TextRecord* record, const char* pool_text) const;

 private:
  const ArrayView* view_;
  uint32_t index_;
};

// True when `object` is accepted by `selector`.
bool SelectorAccepts(Selector selector, const DDicoBase& object);

}  // namespace tavelnor::dico
