// The special path test sandbox.
#include "paths/paths_sandbox.h"

#include <atomic>
#include <cstring>
#include <fstream>

#include "foundation/platform/process.h"
#include "foundation/platform/shell.h"
#include "paths/app_values.h"
#include "paths/host_folder.h"
#include "paths/special_path_tables.h"
#include "tavelnor/zavl.h"

namespace tavelnor::paths::testing {

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// Calls one of the getters with a buffer of 1024 bytes and checks that the
// return value agrees with what the buffer holds.
template <class Get>
std::string Fetch(Get get) {
  char buf[1024];
  std::memset(buf, 'x', sizeof(buf));
  const ZAVL_BOOL ok = get(buf, static_cast<int32_t>(sizeof(buf)));
  const std::string text(buf, strnlen(buf, sizeof(buf)));
  EXPECT_EQ(ok, text.empty() ? 0 : 1) << text;
  return ok ? text : std::string();
}

void ResetTables() {
  ClearOverrides();
  ClearRules();
  ClearLegacyOverrides();
  SetLegacyDefaults(nullptr);
  ClearAppValues();
}

}  // namespace

void PathsSandbox::SetUp() {
  static std::atomic<int> counter{0};
  root_ = fs::temp_directory_path() /
          ("tavelnor-paths-" + std::to_string(platform::CurrentProcessId()) + "-" +
           std::to_string(counter.fetch_add(1)));
  fs::remove_all(root_);
  fs::create_directories(root_);
  host_ = MakeDir("host");
  documents_ = MakeDir("known/documents");
  app_data_ = MakeDir("known/appdata");
  common_data_ = MakeDir("known/commondata");
  programs_ = MakeDir("known/programs");
  common_docs_ = MakeDir("known/commondocs");
  SetKnownFolder(platform::kCsidlPersonal, documents_);
  SetKnownFolder(platform::kCsidlAppData, app_data_);
  SetKnownFolder(platform::kCsidlCommonAppData, common_data_);
  SetKnownFolder(platform::kCsidlProgramFiles, programs_);
  SetKnownFolder(platform::kCsidlCommonDocuments, common_docs_);
  SetEnvironment("TAVELNOR_REGISTRY_USER", PathOf("user.ini"));
  SetEnvironment("TAVELNOR_REGISTRY_MACHINE", PathOf("machine.ini"));
  SetHostDirectoryForTesting(host_);
  ResetTables();
}

void PathsSandbox::TearDown() {
  ResetTables();
  SetHostDirectoryForTesting(std::nullopt);
  for (const auto& [name, value] : saved_env_) {
    platform::SetEnv(name.c_str(), value ? value->c_str() : nullptr);
  }
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void PathsSandbox::SetEnvironment(const std::string& name, std::optional<std::string> value) {
  if (!saved_env_.count(name)) saved_env_[name] = platform::GetEnv(name.c_str());
  ASSERT_TRUE(platform::SetEnv(name.c_str(), value ? value->c_str() : nullptr));
}

void PathsSandbox::SetKnownFolder(int csidl, const std::string& path) {
  SetEnvironment("TAVELNOR_KNOWN_FOLDER_" + std::to_string(csidl), path);
}

std::string PathsSandbox::MakeDir(const std::string& relative) {
  fs::create_directories(root_ / relative);
  return PathOf(relative);
}

std::string PathsSandbox::PathOf(const std::string& relative) const {
  return (root_ / relative).string();
}

bool PathsSandbox::IsDir(const std::string& path) { return fs::is_directory(path); }

void PathsSandbox::WritePathsIni(const std::string& text) {
  WriteFile(fs::path(host_) / "Paths.ini", text);
}
void PathsSandbox::WriteUserRegistry(const std::string& text) {
  WriteFile(root_ / "user.ini", text);
}
void PathsSandbox::WriteMachineRegistry(const std::string& text) {
  WriteFile(root_ / "machine.ini", text);
}

std::string PathsSandbox::ById(int32_t id) {
  return Fetch([&](char* b, int32_t n) { return ZAVL_GetSpecialPathByID(id, b, n); });
}

std::string PathsSandbox::ByName(const std::string& name) {
  return Fetch([&](char* b, int32_t n) { return ZAVL_GetSpecialPathByName(name.c_str(), b, n); });
}

std::string PathsSandbox::Legacy(int32_t legacy_id) {
  return Fetch([&](char* b, int32_t n) { return ZAVL_GetLegacyPath(legacy_id, b, n); });
}

}  // namespace tavelnor::paths::testing
