// Lookup of numbered string resources in the compiled tables.
#include "foundation/string_resources.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <string>

#include "foundation/platform/process.h"

namespace tavelnor {

namespace {

// 0 until the language is first read or set.
std::atomic<uint16_t> g_language{0};

std::optional<std::string_view> Find(std::span<const StringResourceEntry> table, uint32_t id) {
  auto it = std::lower_bound(table.begin(), table.end(), id,
                             [](const StringResourceEntry& e, uint32_t v) { return e.id < v; });
  if (it == table.end() || it->id != id) return std::nullopt;
  return it->text;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

uint16_t LanguageFromName(std::string_view name) {
  if (name.size() < 2 || (name.size() > 2 && name[2] != '_' && name[2] != '-' && name[2] != '.')) {
    return kLangFrench;
  }
  const char a = Lower(name[0]);
  const char b = Lower(name[1]);
  if (a == 'd' && b == 'e') return kLangGerman;
  if (a == 'e' && b == 'n') return kLangEnglish;
  return kLangFrench;
}

void SetResourceLanguage(uint16_t lang_id) { g_language.store(lang_id, std::memory_order_relaxed); }

uint16_t ResourceLanguage() {
  uint16_t lang = g_language.load(std::memory_order_relaxed);
  if (lang != 0) return lang;
  std::optional<std::string> env = platform::GetEnv("TAVELNOR_LANG");
  uint16_t from_env = env ? LanguageFromName(*env) : kLangFrench;
  // A concurrent SetResourceLanguage wins over the environment.
  g_language.compare_exchange_strong(lang, from_env, std::memory_order_relaxed);
  return g_language.load(std::memory_order_relaxed);
}

std::string_view LoadResourceString(uint32_t id, uint16_t lang_id) {
  if (lang_id == kLangGerman) {
    if (auto text = Find(GermanStringTable(), id)) return *text;
  }
  return Find(FrenchStringTable(), id).value_or(std::string_view());
}

std::string_view LoadResourceString(uint32_t id) {
  return LoadResourceString(id, ResourceLanguage());
}

}  // namespace tavelnor
