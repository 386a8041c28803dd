// Application values: the process-wide string dictionary "ProcessDico" that
// the host application fills (its name, short name, company...) and the
// library reads.
//
// The dictionary is a process singleton with its own lock, so every copy of
// the library in the process sees the host's values. Keys compare without
// regard to case. Keys read by the library:
//
//   "App.Name"         application name; default: the application title
//                      (string resource 57344)
//   "App.ShortName"    short name, selects the installed application's
//                      registry key; default: none
//   "App.SocietyID"    company folder name; default: "OXA"
//   "App.RegistryKey"  the host's registry key, when it keeps its settings in
//                      the registry; default: none
//   "App.ProfileName"  the host's profile name under that key; default: none
#pragma once

#include <string>
#include <string_view>

namespace tavelnor::paths {

inline constexpr char kProcessDicoName[] = "ProcessDico";

inline constexpr std::string_view kAppName = "App.Name";
inline constexpr std::string_view kAppShortName = "App.ShortName";
inline constexpr std::string_view kAppSocietyId = "App.SocietyID";
inline constexpr std::string_view kAppRegistryKey = "App.RegistryKey";
inline constexpr std::string_view kAppProfileName = "App.ProfileName";

// Host side: sets, takes away or clears values. Thread-safe.
void SetAppValue(std::string_view key, std::string_view value);
void RemoveAppValue(std::string_view key);
void ClearAppValues();

// Host side: fills the dictionary from "key=value" pairs separated by ';'
// (e.g. "App.SocietyID=ACME;App.Name=Gestion"). Blanks around keys and
// values are trimmed; pairs without '=' or with an empty key are skipped.
// Returns the number of values set.
int LoadAppValues(std::string_view pairs);

// The value of `key`, or `fallback` when the dictionary lacks it.
std::string AppValue(std::string_view key, std::string_view fallback = {});

// The three values the special paths use, with their defaults.
std::string AppName();
std::string AppShortName();
std::string AppSocietyId();

}  // namespace tavelnor::paths
