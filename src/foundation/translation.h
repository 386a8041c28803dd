// Translated display texts of a dictionary, kept beside it in a translation
// file (".oxatrad", or ".newtrad" for a ".new" dictionary).
//
// The file is an archive (archive.h) of named sections; each section is a tree
// of translation items, and an item holds one Windows-1252 text per Windows
// language identifier. Items are addressed by dotted paths: "OXADico.1234"
// is item "1234" of section "OXADico", and "A.B.C" is item C under item B
// under section A. The dictionary uses two sections: kObjectSection (one item
// per object, named by its identifier in decimal) and kCategorySection (one
// item per category, named by the category name).
//
// Items are shared: whoever looks one up may keep the pointer as long as it
// likes, beyond the life of the TranslationFile. Lookups on a const file may
// run concurrently; Set, Load and Parse need exclusive access, and Set changes
// items that earlier lookups may still hold.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/archive.h"
#include "foundation/status.h"
#include "foundation/string_resources.h"  // kLangFrench, kLangGerman, kLangEnglish

namespace tavelnor {

// Windows language identifiers used by the library.

class TranslationItem {
 public:
  using Children = std::map<std::string, std::shared_ptr<TranslationItem>, std::less<>>;
  using LanguageText = std::pair<uint16_t, std::string>;

  // The text for a language, or an empty view when the item has none. The view
  // lives as long as the item and until the next Set on it.
  std::string_view Text(uint16_t lang) const;
  bool Has(uint16_t lang) const;
  // Every text, in increasing language order.
  const std::vector<LanguageText>& Texts() const { return texts_; }

  // The direct child of that name, or null.
  std::shared_ptr<const TranslationItem> Child(std::string_view name) const;
  // Children in byte order of their names.
  const Children& children() const { return children_; }

 private:
  friend class TranslationFile;
  friend class TranslationTreeBuilder;

  void SetText(uint16_t lang, std::string_view text);

  std::vector<LanguageText> texts_;
  Children children_;
};

class TranslationFile {
 public:
  static constexpr std::string_view kObjectSection = "OXADico";
  static constexpr std::string_view kCategorySection = "Categories";

  // Replaces the content with the archive in a file or in memory. On failure
  // (NotFound for a missing file, IoError, Corrupt with the offset of the
  // damage, Unsupported for a newer format) the content is left as it was.
  Status Load(const std::string& path);
  Status Parse(std::span<const uint8_t> bytes);

  void Clear() { sections_.clear(); }
  bool empty() const { return sections_.empty(); }
  // Section roots by name; a root may hold texts of its own.
  const TranslationItem::Children& Sections() const { return sections_; }

  // The root item of a section, or null.
  std::shared_ptr<const TranslationItem> Section(std::string_view name) const;
  // The item at a dotted path below a section (the section's root for an
  // empty path), or null when any step is missing or the path has an empty
  // name ("a..b", ".a").
  std::shared_ptr<const TranslationItem> Find(std::string_view section,
                                              std::string_view path) const;
  // The same with the section as the first name of the path.
  std::shared_ptr<const TranslationItem> Find(std::string_view full_path) const;

  // Sets the text of one language at a dotted path, creating the section and
  // the items on the way. An empty path sets a text of the section's root.
  // InvalidArgument, with nothing changed, for an empty name, a name longer
  // than 255 bytes, a section name holding ".", a path deeper than the
  // archive allows, or a 256th language on one item.
  Status Set(std::string_view section, std::string_view path, uint16_t lang, std::string_view text);
  // The same with the path given as its names, which may then hold dots (a
  // category name, say); such items are reached through Section and Child.
  Status SetByNames(std::string_view section, std::span<const std::string_view> names,
                    uint16_t lang, std::string_view text);

  // The archive image of the content; reading it back gives the same content.
  Result<std::vector<uint8_t>> Serialize() const;
  Status Save(const std::string& path) const;

 private:
  Status Read(ArchiveReader& in, const std::string& source);

  TranslationItem::Children sections_;
};

}  // namespace tavelnor
