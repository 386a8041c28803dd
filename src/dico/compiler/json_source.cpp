// CompileDicoSource: the passes of the dictionary compiler, in order.
#include "dico/compiler/json_source.h"

#include <algorithm>

#include "dico/compiler/auto_layout.h"
#include "dico/compiler/cp1252.h"
#include "dico/compiler/source_model.h"

namespace tavelnor::dico {
namespace {

using source::SourceDico;

Status SetText(TranslationFile* file, std::string_view section, const std::string& path,
               uint16_t lang, const std::string& text, const std::string& where) {
  Status s = file->Set(section, path, lang, text);
  if (!s.ok()) return Status::InvalidArgument(where + ": " + s.message());
  return Status::Ok();
}

bool HasCategory(const DicoImage& image, const std::string& name) {
  for (uint32_t i = 0; i < image.CategoryCount(); ++i) {
    const auto* entry = reinterpret_cast<const char*>(image.categories.data() + i * kCategorySize);
    const char* end = std::find(entry, entry + kCategoryNameLength, '\0');
    if (std::string_view(entry, static_cast<size_t>(end - entry)) == name) return true;
  }
  return false;
}

Status CollectTranslations(const SourceDico& d, CompiledDico* out) {
  for (const auto& n : d.nodes) {
    for (const auto& t : n.translations) {
      const std::string path = std::to_string(n.Id()) + "." + t.item;
      if (Status s = SetText(&out->translations, TranslationFile::kObjectSection, path, t.lang,
                             t.text, "node \"" + n.where + "\": translations");
          !s.ok()) {
        return s;
      }
      out->has_translations = true;
    }
  }
  for (const auto& t : d.translations) {
    std::string path;
    if (t.section == TranslationFile::kCategorySection) {
      if (t.key.find('.') != std::string::npos) {
        return Status::InvalidArgument("\"" + t.where + "\": a category name with a \".\" " +
                                       "cannot carry translations");
      }
      if (!HasCategory(d.image, t.key)) {
        return Status::InvalidArgument("\"" + t.where + "\": no such category");
      }
      path = t.key;
    } else {
      uint32_t id = 0;
      if (auto number = source::TextAsInteger(t.key); number && !t.key.empty()) {
        id = static_cast<uint32_t>(*number);
      } else {
        auto node = source::ResolvePath(d, t.key);
        if (!node.ok()) {
          return Status::InvalidArgument("\"" + t.where + "\": " + node.status().message());
        }
        id = d.nodes[static_cast<size_t>(*node)].Id();
      }
      path = std::to_string(id) + "." + t.item;
    }
    if (Status s =
            SetText(&out->translations, t.section, path, t.lang, t.text, "\"" + t.where + "\"");
        !s.ok()) {
      return s;
    }
    out->has_translations = true;
  }
  return Status::Ok();
}

}  // namespace

Result<CompiledDico> CompileDicoSource(const nlohmann::json& src, CompileOptions opts) {
  if (opts.level != 0 && (opts.level < kMinLevel || opts.level > kMaxLevel)) {
    return Status::InvalidArgument("format level " + std::to_string(opts.level) +
                                   " is not between 0 and 11");
  }
  auto read = source::ReadSource(src);
  if (!read.ok()) return read.status();
  SourceDico& d = read.value();
  if (opts.level != 0) d.image.header.level = static_cast<uint8_t>(opts.level);

  if (Status s = source::ResolveCountriesAndMacros(&d); !s.ok()) return s;
  if (Status s = source::AssignIdentifiers(&d); !s.ok()) return s;
  source::SetTreeFields(&d);
  if (Status s = source::ResolvePaths(&d); !s.ok()) return s;
  if (Status s = source::ApplyAutoLayout(&d); !s.ok()) return s;
  if (Status s = source::BuildArrays(&d); !s.ok()) return s;

  CompiledDico out;
  if (Status s = CollectTranslations(d, &out); !s.ok()) return s;
  d.image.record_header_size = kBaseSize;
  out.image = std::move(d.image);
  return out;
}

}  // namespace tavelnor::dico
