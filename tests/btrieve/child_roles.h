// Children for the multi-process tests: the test binary started again with
// TAVELNOR_BTR_CHILD = "role|arg|..." plays that role before any test runs
// and ends with a status as its exit code (child_roles.cpp lists the roles).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/platform/child_process.h"
#include "foundation/platform/files.h"

namespace tavelnor::btrieve::testing {

inline constexpr char kChildVar[] = "TAVELNOR_BTR_CHILD";
// Exit codes of a role that failed before its operation: not statuses.
inline constexpr int kChildSetupFailed = 250;
inline constexpr int kChildTimedOut = 251;

// Starts the test binary as a child playing `parts` = role and arguments.
inline platform::ChildProcess StartChild(const std::vector<std::string>& parts) {
  std::string value;
  for (const std::string& p : parts) value += (value.empty() ? "" : "|") + p;
  auto child = platform::StartProcess(platform::CurrentExecutablePath(), {},
                                      {{kChildVar, value}});
  EXPECT_TRUE(child.ok()) << child.status().ToString();
  return child.ok() ? *child : platform::ChildProcess{};
}

// The child's exit code; -1 when it was killed or could not be waited for.
inline int WaitChild(platform::ChildProcess* child) {
  auto end = platform::WaitProcess(child);
  if (!end.ok() || end->killed) return -1;
  return end->code;
}

inline int RunChild(const std::vector<std::string>& parts) {
  platform::ChildProcess child = StartChild(parts);
  return WaitChild(&child);
}

inline void Touch(const std::string& path) { std::ofstream(path) << "x"; }

// Waits until `path` exists; false after `timeout_ms`.
inline bool WaitForFile(const std::string& path, int timeout_ms = 20000) {
  for (int waited = 0; waited < timeout_ms; waited += 5) {
    if (platform::FileExists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// Starts a child playing `parts`, then `ready` and `ready`.go, and returns
// once the child has created `ready`; touching the .go file lets it go on.
inline platform::ChildProcess StartReady(std::vector<std::string> parts, const std::string& ready) {
  parts.push_back(ready);
  parts.push_back(ready + ".go");
  platform::ChildProcess child = StartChild(parts);
  EXPECT_TRUE(WaitForFile(ready));
  return child;
}

}  // namespace tavelnor::btrieve::testing
