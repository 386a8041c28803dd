// String resources: numbered texts compiled into the library, French
// (language 1036, the base language) and German (2055).
//
// Texts are Windows-1252 bytes. A lookup in German falls back to French when
// the German table lacks the number; any other language (English 1033
// included) reads the French table. The language starts from the environment
// variable TAVELNOR_LANG ("fr", "de" or "en", read at first use) and can be
// changed at any time with SetResourceLanguage.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tavelnor {

inline constexpr uint16_t kLangFrench = 1036;
inline constexpr uint16_t kLangGerman = 2055;
inline constexpr uint16_t kLangEnglish = 1033;

// The application title resource.
inline constexpr uint32_t kIdsApplicationTitle = 57344;

void SetResourceLanguage(uint16_t lang_id);
uint16_t ResourceLanguage();

// The text of resource `id` in the current language; empty when absent. The
// view points into static data.
std::string_view LoadResourceString(uint32_t id);
// The same in a given language, for callers that must not depend on the
// process-wide setting.
std::string_view LoadResourceString(uint32_t id, uint16_t lang_id);

// Maps a language name ("fr", "de", "en", case-insensitive, region suffixes
// such as "de_CH" or "fr-FR" accepted) to its language id; French otherwise.
uint16_t LanguageFromName(std::string_view name);

// One entry of a compiled string table; tables are sorted by id, ids unique.
struct StringResourceEntry {
  uint32_t id;
  std::string_view text;
};

// The compiled tables (defined under resources/).
std::span<const StringResourceEntry> FrenchStringTable();
std::span<const StringResourceEntry> GermanStringTable();

}  // namespace tavelnor
