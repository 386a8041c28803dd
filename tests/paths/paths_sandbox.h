// A sandbox for special path tests: a temporary folder standing for the host
// directory, every known folder and both registry hives, reached through the
// test hook and the environment variables the platform seam honours. The
// process-wide tables and application values start empty in every test, and
// everything is put back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace tavelnor::paths::testing {

class PathsSandbox : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sets (or with nullopt unsets) an environment variable until TearDown.
  void SetEnvironment(const std::string& name, std::optional<std::string> value);
  // Points known folder `csidl` at `path` ("" makes it unavailable).
  void SetKnownFolder(int csidl, const std::string& path);

  // Creates `relative` (with parents) below the sandbox; returns its path.
  std::string MakeDir(const std::string& relative);
  // Path of `relative` below the sandbox, not created.
  std::string PathOf(const std::string& relative) const;
  static bool IsDir(const std::string& path);

  void WritePathsIni(const std::string& text);
  void WriteUserRegistry(const std::string& text);
  void WriteMachineRegistry(const std::string& text);

  // The exported functions with a roomy buffer; the text, or "" when the
  // function returned 0 (checked to agree with the buffer).
  static std::string ById(int32_t id);
  static std::string ByName(const std::string& name);
  static std::string Legacy(int32_t legacy_id);

  std::filesystem::path root_;
  std::string host_;  // the host directory
  // Known folders as the sandbox sets them up (all created).
  std::string documents_;    // 5
  std::string app_data_;     // 26
  std::string common_data_;  // 35
  std::string programs_;     // 38
  std::string common_docs_;  // 46

 private:
  std::map<std::string, std::optional<std::string>> saved_env_;
};

}  // namespace tavelnor::paths::testing
