// "tavelnor demo": builds the demo company (dictionary and data files) in a
// folder, then lists its tables with the record counts the library reads
// back, and the commands that browse it.
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <memory>
#include <string>

#include "demo/generator/demo_generator.h"
#include "foundation/platform/shell.h"
#include "paths/special_path_ids.h"
#include "paths/special_paths.h"
#include "tavelnor/zavl.h"
#include "tool_commands.h"

namespace tavelnor::tool {
namespace {

struct DemoCommandOptions {
  std::string out;
  std::string size = "small";
  uint32_t seed = demo::kDefaultDemoSeed;
};

// "Tavelnor Demo" under the user's data folder, else the documents folder,
// else the home folder.
std::filesystem::path DefaultDemoFolder() {
  std::string base = paths::ResolveSpecialPath(paths::kUserData, paths::PathMode::kMustExist).path;
  if (base.empty()) {
    base = platform::KnownFolderPath(platform::kCsidlPersonal);
    std::error_code ec;
    if (!base.empty() && !std::filesystem::is_directory(base, ec)) base.clear();
  }
  for (const char* variable : {"HOME", "USERPROFILE"}) {
    if (!base.empty()) break;
    if (const char* value = std::getenv(variable)) base = value;
  }
  if (base.empty()) base = ".";
  return std::filesystem::u8path(base) / "Tavelnor Demo";
}

// Shell quoting for the example command lines.
std::string Quoted(const std::string& text) {
  if (text.find_first_of(" '\"$\\") == std::string::npos) return text;
  std::string q = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\' || c == '$') q += '\\';
    q += c;
  }
  return q + "\"";
}

// Prints each table with the count read through the exported functions;
// false (error reported) when the library cannot open one.
bool ShowTables(const demo::DemoResult& result) {
  const std::string dico = result.dictionary.string();
  ZAVL_Schema* schema = ZAVL_OpenSchema(dico.c_str(), SCHEMA_QUIET);
  if (schema == nullptr) {
    Fail(ZAVL_GetLastError(), dico);
    return false;
  }
  std::cout << "\n  " << std::left << std::setw(16) << "Table" << std::setw(16) << "File"
            << std::right << std::setw(10) << "Records"
            << "\n";
  bool ok = true;
  for (const demo::DemoTableCount& t : result.tables) {
    ZAVL_Data* data = ZAVL_OpenData(schema, t.table.c_str(), DATA_NO_VARIABLE_PART);
    if (data == nullptr) {
      Fail(ZAVL_GetLastError(), "table " + t.table);
      ok = false;
      break;
    }
    const int32_t count = ZAVL_GetNbRecords(data);
    const int32_t error = ZAVL_GetLastError();
    ZAVL_CloseData(data);
    if (count < 0 || (error != ZAVL_OK && count == 0)) {
      Fail(error, "counting the records of " + t.table);
      ok = false;
      break;
    }
    std::cout << "  " << std::left << std::setw(16) << t.table << std::setw(16)
              << t.file.filename().string() << std::right << std::setw(10) << count << "\n";
    if (static_cast<uint32_t>(count) != t.records) {
      std::cerr << "tavelnor: " << t.table << ": " << t.records << " records written, " << count
                << " read back\n";
      SetExitCode(1);
      ok = false;
    }
  }
  ZAVL_CloseSchema(schema);
  return ok;
}

void RunDemo(const DemoCommandOptions& opt) {
  auto size = demo::DemoSizeNamed(opt.size);
  if (!size.ok()) {
    std::cerr << "tavelnor: " << size.status().message() << "\n";
    SetExitCode(1);
    return;
  }
  const std::filesystem::path folder =
      opt.out.empty() ? DefaultDemoFolder() : std::filesystem::u8path(opt.out);
  std::cout << "Building the demo company in " << folder.string() << " (size " << opt.size
            << ", seed " << opt.seed << ")\n";
  demo::DemoOptions options;
  options.size = *size;
  options.seed = opt.seed;
  options.progress = [](std::string_view stage, uint64_t done, uint64_t total) {
    if (done == total) std::cout << "  " << stage << ": " << total << "\n" << std::flush;
  };
  auto result = demo::GenerateDemo(folder, options);
  if (!result.ok()) {
    std::cerr << "tavelnor: cannot build the demo in " << folder.string() << ": "
              << result.status().ToString() << "\n";
    SetExitCode(1);
    return;
  }
  std::cout << "Dictionary: " << result->dictionary.string() << "\n";
  if (!ShowTables(*result)) return;
  const std::string dico = Quoted(result->dictionary.string());
  std::cout << "\nBrowse it:\n"
            << "  tavelnor tables " << dico << "\n"
            << "  tavelnor fields " << dico << " Clients\n"
            << "  tavelnor dump " << dico << " Clients\n"
            << "  tavelnor dump " << dico << " Factures\n"
            << "  tavelnor export " << dico << " " << Quoted((folder / "export").string()) << "\n";
}

}  // namespace

void AddDemoCommands(CLI::App& app) {
  auto opt = std::make_shared<DemoCommandOptions>();
  CLI::App* cmd = app.add_subcommand(
      "demo", "Build the demo company (dictionary and data files) in a folder and show it");
  cmd->add_option("--out", opt->out,
                  "folder to build in (default: \"Tavelnor Demo\" in the user's data folder)");
  cmd->add_option("--size", opt->size, "small (default) or large (for benchmarks)")
      ->check(CLI::IsMember({"small", "large"}));
  cmd->add_option("--seed", opt->seed, "seed of the generated content");
  cmd->callback([opt] { RunDemo(*opt); });
}

}  // namespace tavelnor::tool
