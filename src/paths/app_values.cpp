// The "ProcessDico" process singleton and the application values.
#include "paths/app_values.h"

#include <map>
#include <mutex>

#include "foundation/chaine.h"
#include "foundation/platform/sync.h"
#include "foundation/process_singleton.h"
#include "foundation/string_resources.h"

namespace tavelnor::paths {

namespace {

struct ProcessDico {
  platform::CriticalSection lock;
  std::map<Chaine, Chaine, ChaineLessNoCase> values;
};

ProcessDico& Dico() {
  static auto* holder = new ProcessSingleton<ProcessDico>(kProcessDicoName);
  return holder->Get();
}

std::string_view Trim(std::string_view s) {
  const size_t first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

void SetAppValue(std::string_view key, std::string_view value) {
  ProcessDico& d = Dico();
  std::lock_guard<platform::CriticalSection> guard(d.lock);
  d.values.insert_or_assign(Chaine(key), Chaine(value));
}

void RemoveAppValue(std::string_view key) {
  ProcessDico& d = Dico();
  std::lock_guard<platform::CriticalSection> guard(d.lock);
  d.values.erase(Chaine(key));
}

void ClearAppValues() {
  ProcessDico& d = Dico();
  std::lock_guard<platform::CriticalSection> guard(d.lock);
  d.values.clear();
}

int LoadAppValues(std::string_view pairs) {
  int count = 0;
  while (!pairs.empty()) {
    const size_t end = pairs.find(';');
    const std::string_view pair = pairs.substr(0, end);
    pairs = end == std::string_view::npos ? std::string_view() : pairs.substr(end + 1);
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = Trim(pair.substr(0, eq));
    if (key.empty()) continue;
    SetAppValue(key, Trim(pair.substr(eq + 1)));
    ++count;
  }
  return count;
}

std::string AppValue(std::string_view key, std::string_view fallback) {
  ProcessDico& d = Dico();
  std::lock_guard<platform::CriticalSection> guard(d.lock);
  auto it = d.values.find(Chaine(key));
  return it == d.values.end() ? std::string(fallback) : it->second.str();
}

std::string AppName() { return AppValue(kAppName, LoadResourceString(kIdsApplicationTitle)); }

std::string AppShortName() { return AppValue(kAppShortName); }

std::string AppSocietyId() { return AppValue(kAppSocietyId, "OXA"); }

}  // namespace tavelnor::paths
