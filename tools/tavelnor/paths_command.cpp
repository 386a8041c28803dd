// "tavelnor paths": every special path and legacy path as this host resolves
// it, with where it came from.
//
// The folders are asked through the exported interface, as any host would;
// where each one came from is not part of that interface and is read from the
// library's own resolver, which shares the process's tables with it. The
// application values a host would set can be given in TAVELNOR_APP_VALUES
// ("App.SocietyID=ACME;App.Name=Gestion").
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <string>

#include "paths/app_values.h"
#include "paths/host_folder.h"
#include "paths/legacy_paths.h"
#include "paths/special_path_ids.h"
#include "paths/special_paths.h"
#include "tavelnor/zavl.h"
#include "tool_commands.h"

namespace tavelnor::tool {
namespace {

constexpr int32_t kBufferSize = 4096;

std::string Shown(const std::string& path) { return path.empty() ? "-" : path; }

void RunPaths() {
  if (const char* values = std::getenv("TAVELNOR_APP_VALUES")) paths::LoadAppValues(values);
  std::cout << "Host directory: " << Shown(paths::HostDirectory()) << "\n"
            << "Paths.ini:      " << Shown(paths::PathsIniFile()) << "\n"
            << "Company:        " << paths::AppSocietyId() << "\n"
            << "Application:    " << paths::AppName() << "\n\n";

  std::cout << "Special paths (folders that exist)\n";
  std::cout << std::left << "  " << std::setw(4) << "Id" << std::setw(30) << "Name" << std::setw(11)
            << "Source"
            << "Path\n";
  char buf[kBufferSize];
  for (const paths::SpecialPathEntry& e : paths::SpecialPathTable()) {
    const bool found = ZAVL_GetSpecialPathByID(e.id, buf, kBufferSize) != 0;
    const paths::ResolvedPath why = paths::ResolveSpecialPath(e.id, paths::PathMode::kMustExist);
    std::cout << "  " << std::setw(4) << e.id << std::setw(30) << e.name << std::setw(11)
              << (found ? paths::PathSourceName(why.source) : "none")
              << (found ? std::string(buf) : "-") << "\n";
  }

  std::cout << "\nLegacy paths\n";
  std::cout << "  " << std::setw(4) << "Id" << std::setw(16) << "Source"
            << "Path\n";
  for (int32_t id = 0; id < paths::SpecialOXAPath::kLegacyCount; ++id) {
    const bool found = ZAVL_GetLegacyPath(id, buf, kBufferSize) != 0;
    const paths::LegacyPath why = paths::ResolveLegacyPath(id);
    std::cout << "  " << std::setw(4) << id << std::setw(16)
              << (found ? paths::LegacySourceName(why.source) : "none")
              << (found ? std::string(buf) : "-") << "\n";
  }
}

}  // namespace

void AddPathsCommands(CLI::App& app) {
  CLI::App* cmd = app.add_subcommand(
      "paths", "Show every special and legacy folder as this host resolves it, and its source");
  cmd->callback([] { RunPaths(); });
}

}  // namespace tavelnor::tool
