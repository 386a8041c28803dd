// Translation items and the translation file: building the item tree from an
// archive, dotted-path lookup, and the builder used by the dictionary compiler.
#include "foundation/translation.h"

#include <algorithm>
#include <limits>

namespace tavelnor {

namespace {

// Splits a dotted path into its names; false when a name is empty.
bool SplitPath(std::string_view path, std::vector<std::string_view>* names) {
  names->clear();
  if (path.empty()) return true;
  size_t start = 0;
  while (true) {
    const size_t dot = path.find('.', start);
    const std::string_view name = path.substr(start, dot - start);
    if (name.empty()) return false;
    names->push_back(name);
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

Status WithContext(const Status& status, const std::string& source) {
  std::string message = source + ": " + status.message();
  switch (status.code()) {
    case Status::Code::kOk:
      return status;
    case Status::Code::kNotFound:
      return Status::NotFound(std::move(message));
    case Status::Code::kCorrupt:
      return Status::Corrupt(std::move(message));
    case Status::Code::kInvalidArgument:
      return Status::InvalidArgument(std::move(message));
    case Status::Code::kIoError:
      return Status::IoError(std::move(message));
    case Status::Code::kUnsupported:
      return Status::Unsupported(std::move(message));
  }
  return status;
}

void WriteItem(ArchiveWriter& writer, const std::string& name, const TranslationItem& item) {
  writer.BeginNode(name);
  for (const auto& [lang, text] : item.Texts()) writer.Text(lang, text);
  for (const auto& [child_name, child] : item.children()) WriteItem(writer, child_name, *child);
  writer.EndNode();
}

}  // namespace

// Builds the item tree while the archive is read. The reader hands siblings
// over in increasing name order, so each lands at the end of its map.
class TranslationTreeBuilder : public ArchiveVisitor {
 public:
  void EnterNode(std::string_view name, size_t texts) override {
    TranslationItem::Children& siblings = stack_.empty() ? sections_ : stack_.back()->children_;
    auto item = std::make_shared<TranslationItem>();
    item->texts_.reserve(texts);
    stack_.push_back(item.get());
    siblings.emplace_hint(siblings.end(), std::string(name), std::move(item));
  }
  void Text(uint16_t lang, std::string text) override {
    stack_.back()->texts_.emplace_back(lang, std::move(text));
  }
  void LeaveNode() override { stack_.pop_back(); }

  TranslationItem::Children& sections() { return sections_; }

 private:
  TranslationItem::Children sections_;
  std::vector<TranslationItem*> stack_;
};

// ---------------------------------------------------------------------------
// TranslationItem

std::string_view TranslationItem::Text(uint16_t lang) const {
  for (const auto& [l, text] : texts_) {
    if (l == lang) return text;
  }
  return {};
}

bool TranslationItem::Has(uint16_t lang) const {
  return std::any_of(texts_.begin(), texts_.end(),
                     [lang](const LanguageText& t) { return t.first == lang; });
}

std::shared_ptr<const TranslationItem> TranslationItem::Child(std::string_view name) const {
  const auto it = children_.find(name);
  if (it == children_.end()) return nullptr;
  return it->second;
}

void TranslationItem::SetText(uint16_t lang, std::string_view text) {
  const auto it = std::lower_bound(texts_.begin(), texts_.end(), lang,
                                   [](const LanguageText& t, uint16_t l) { return t.first < l; });
  if (it != texts_.end() && it->first == lang) {
    it->second.assign(text);
  } else {
    texts_.emplace(it, lang, std::string(text));
  }
}

// ---------------------------------------------------------------------------
// TranslationFile

Status TranslationFile::Load(const std::string& path) {
  ArchiveReader in;
  if (Status s = in.Open(path); !s.ok()) return s;
  return Read(in, path);
}

Status TranslationFile::Parse(std::span<const uint8_t> bytes) {
  ArchiveReader in(bytes);
  return Read(in, "translation archive");
}

Status TranslationFile::Read(ArchiveReader& in, const std::string& source) {
  TranslationTreeBuilder builder;
  if (Status s = ReadArchive(in, builder); !s.ok()) return WithContext(s, source);
  sections_.swap(builder.sections());
  return Status::Ok();
}

std::shared_ptr<const TranslationItem> TranslationFile::Section(std::string_view name) const {
  const auto it = sections_.find(name);
  if (it == sections_.end()) return nullptr;
  return it->second;
}

std::shared_ptr<const TranslationItem> TranslationFile::Find(std::string_view section,
                                                             std::string_view path) const {
  const auto it = sections_.find(section);
  if (it == sections_.end()) return nullptr;
  if (path.empty()) return it->second;
  const TranslationItem* item = it->second.get();
  size_t start = 0;
  while (true) {
    const size_t dot = path.find('.', start);
    const std::string_view name = path.substr(start, dot - start);
    if (name.empty()) return nullptr;
    const auto child = item->children_.find(name);
    if (child == item->children_.end()) return nullptr;
    item = child->second.get();
    if (dot == std::string_view::npos) return child->second;
    start = dot + 1;
  }
}

std::shared_ptr<const TranslationItem> TranslationFile::Find(std::string_view full_path) const {
  const size_t dot = full_path.find('.');
  if (dot == std::string_view::npos) return full_path.empty() ? nullptr : Section(full_path);
  if (dot + 1 == full_path.size()) return nullptr;  // "Section." names an empty item
  return Find(full_path.substr(0, dot), full_path.substr(dot + 1));
}

Status TranslationFile::Set(std::string_view section, std::string_view path, uint16_t lang,
                            std::string_view text) {
  if (section.find('.') != std::string_view::npos) {
    return Status::InvalidArgument("section name \"" + std::string(section) + "\" holds a dot");
  }
  std::vector<std::string_view> names;
  if (!SplitPath(path, &names)) {
    return Status::InvalidArgument("empty name in path \"" + std::string(path) + "\"");
  }
  return SetByNames(section, names, lang, text);
}

Status TranslationFile::SetByNames(std::string_view section,
                                   std::span<const std::string_view> names, uint16_t lang,
                                   std::string_view text) {
  const auto bad_name = [](std::string_view name) {
    return name.empty() || name.size() > kArchiveMaxNameLength;
  };
  if (bad_name(section) || std::any_of(names.begin(), names.end(), bad_name)) {
    return Status::InvalidArgument("empty name or name longer than 255 bytes under section \"" +
                                   std::string(section.substr(0, 40)) + "\"");
  }
  if (names.size() + 1 > static_cast<size_t>(kArchiveMaxDepth)) {
    return Status::InvalidArgument("path deeper than " + std::to_string(kArchiveMaxDepth) +
                                   " levels");
  }
  if (text.size() > std::numeric_limits<uint32_t>::max()) {
    return Status::InvalidArgument("text too long");
  }

  // Check the language limit on the target before creating anything.
  const TranslationItem* existing = nullptr;
  if (const auto it = sections_.find(section); it != sections_.end()) {
    existing = it->second.get();
    for (std::string_view name : names) {
      const auto child = existing->children_.find(name);
      existing = child == existing->children_.end() ? nullptr : child->second.get();
      if (!existing) break;
    }
  }
  if (existing && !existing->Has(lang) && existing->texts_.size() >= kArchiveMaxTexts) {
    return Status::InvalidArgument("more than 255 languages on one item of section \"" +
                                   std::string(section) + "\"");
  }

  const auto add = [](TranslationItem::Children& map, std::string_view name) {
    auto it = map.find(name);
    if (it == map.end()) {
      it = map.emplace(std::string(name), std::make_shared<TranslationItem>()).first;
    }
    return it->second.get();
  };
  TranslationItem* item = add(sections_, section);
  for (std::string_view name : names) item = add(item->children_, name);
  item->SetText(lang, text);
  return Status::Ok();
}

Result<std::vector<uint8_t>> TranslationFile::Serialize() const {
  ArchiveWriter writer;
  for (const auto& [name, root] : sections_) WriteItem(writer, name, *root);
  return writer.Finish();
}

Status TranslationFile::Save(const std::string& path) const {
  auto bytes = Serialize();
  if (!bytes.ok()) return WithContext(bytes.status(), path);
  return WriteArchiveFile(path, *bytes);
}

}  // namespace tavelnor
