// CompileDicoSource: the passes of the dictionary compiler, in order.
#include "dico/compiler/json_source.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "dico/compiler/auto_layout.h"
#include "dico/compiler/cp1252.h"
#include "dico/compiler/source_model.h"
#include "foundation/platform/code_pages.h"

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

// Every text and member name of `j` through `respell`, up to its first
// failure.
using Respelling = std::function<Status(std::string*)>;

template <typename Json>
Status RespellTexts(Json* j, const Respelling& respell) {
  if (j->is_string()) {
    std::string text = j->template get<std::string>();
    if (Status s = respell(&text); !s.ok()) return s;
    *j = std::move(text);
  } else if (j->is_array()) {
    for (auto& item : *j) {
      if (Status s = RespellTexts(&item, respell); !s.ok()) return s;
    }
  } else if (j->is_object()) {
    Json out = Json::object();
    for (auto& member : j->items()) {
      std::string name = member.key();
      if (Status s = respell(&name); !s.ok()) return s;
      if (Status s = RespellTexts(&member.value(), respell); !s.ok()) return s;
      out[name] = std::move(member.value());
    }
    *j = std::move(out);
  }
  return Status::Ok();
}

// The texts of a source that names its code page, respelled as
// Windows-1252 spells the same bytes (which the reader stores as they are).
Status RecodeToCp1252(nlohmann::json* source) {
  const nlohmann::json named = (*source)["codepage"];
  source->erase("codepage");
  if (!named.is_string()) return Status::InvalidArgument("\"codepage\": not a code page's name");
  auto opened = platform::CodePage::Open(named.get<std::string>());
  if (!opened.ok()) return Status::InvalidArgument("\"codepage\": " + opened.status().message());
  const platform::CodePage& page = **opened;
  if (page.Name() == "cp1252") return Status::Ok();
  return RespellTexts(source, [&page](std::string* text) {
    std::string bytes;
    char32_t unheld = 0;
    if (!page.FromUtf8(*text, &bytes, &unheld)) {
      char code[16];
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(unheld));
      return Status::InvalidArgument("\"codepage\" " + page.Name() + ": \"" + *text + "\" holds " + code +
                                     ", which " + page.Name() + " has no byte for");
    }
    *text = Cp1252ToUtf8(bytes);
    return Status::Ok();
  });
}

}  // namespace

nlohmann::ordered_json SourceInCodePage(const nlohmann::ordered_json& source, std::string_view code_page) {
  auto opened = platform::CodePage::Open(code_page);
  if (!opened.ok()) return source;
  const platform::CodePage& page = **opened;
  nlohmann::ordered_json respelled = source;
  (void)RespellTexts(&respelled, [&page](std::string* text) {
    // A text with no Windows-1252 form did not come from the dictionary.
    if (auto bytes = Utf8ToCp1252(*text); bytes.ok()) *text = page.ToUtf8(*bytes);
    return Status::Ok();
  });
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  out["codepage"] = page.Name();
  for (auto& member : respelled.items()) {
    if (member.key() != "codepage") out[member.key()] = std::move(member.value());
  }
  return out;
}

Result<CompiledDico> CompileDicoSource(const nlohmann::json& given, CompileOptions opts) {
  if (opts.level != 0 && (opts.level < kMinLevel || opts.level > kMaxLevel)) {
    return Status::InvalidArgument("format level " + std::to_string(opts.level) +
                                   " is not between 0 and 11");
  }
  // Texts in another code page are respelled as Windows-1252 spells their
  // bytes, which the reader stores as they are.
  nlohmann::json recoded;
  const nlohmann::json* src = &given;
  if (given.is_object() && given.contains("codepage")) {
    recoded = given;
    if (Status s = RecodeToCp1252(&recoded); !s.ok()) return s;
    src = &recoded;
  }
  auto read = source::ReadSource(*src);
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
