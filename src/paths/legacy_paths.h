// The legacy paths: the six places where older releases kept their data.
//
// The legacy override table wins and is returned as stored. Otherwise each
// identifier has its own sources, tried in order; every result is normalised
// in must-exist mode, so a source naming a missing folder leads on to the next.
//
//   id  sources
//   0   registry "<root>\<company key>\Common\Settings", value CommonTablesPath
//   1   the same key, value FoldersBase
//   2   registry "<root>\<company key>\<application key>\Settings", value
//       ModelesPath; known folder 35 \ company \ app \ Modeles; the legacy
//       defaults list below known folder 38
//   3   the folder of the file named by value Path (environment variables
//       expanded) of "<root>\OXA\InstalledApps\<App.ShortName>" (skipped when
//       there is no short name); the legacy defaults list below known folder
//       38; the host directory
//   4   the system drive's root \ company \ Dossiers ("C:\" on Windows, "/" on
//       POSIX)
//   5   known folder 46 \ company \ Dossiers
//
// Registry keys are read first from the user's virtual store (hive
// HKEY_USERS, root "<SID>_Classes\VirtualStore\Machine\Software") where the
// system has one, then from HKEY_LOCAL_MACHINE (root "Software"); a missing or
// empty value leads on. The company key is App.RegistryKey when the host set
// one, else App.SocietyID; the application key is then App.ProfileName (or
// App.Name when that is empty), else App.Name. "company" is App.SocietyID and
// "app" App.Name in file-name form (app_values.h, path_forms.h).
//
// The legacy defaults list (special_path_tables.h) is walked in order; each
// entry for the identifier names a folder below known folder 38, and the first
// that exists is the result.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavelnor::paths {

enum class LegacySource {
  kNone,
  kOverride,
  kRegistry,
  kKnownFolder,
  kDefaultsList,
  kHostDirectory,
  kDriveRoot,
};
std::string_view LegacySourceName(LegacySource source);

struct LegacyPath {
  std::string path;  // empty when no source gave an existing folder
  LegacySource source = LegacySource::kNone;
};

// Resolves legacy path `legacy_id` (0 to 5; other numbers give only what the
// override table holds).
LegacyPath ResolveLegacyPath(int32_t legacy_id);

}  // namespace tavelnor::paths
