// The subcommands of the tavelnor tool. Each Add* function registers its
// commands; the command sets the process exit code through SetExitCode.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

namespace tavelnor::tool {

void AddDicoCommands(CLI::App& app);
void AddPathsCommands(CLI::App& app);
void AddDemoCommands(CLI::App& app);
void AddBrowseCommands(CLI::App& app);
void AddBtrieveCommands(CLI::App& app);

int ExitCode();
void SetExitCode(int code);
// The meaning of a library error code, for messages.
std::string ErrorMeaning(int32_t code);
// Prints "error CODE: meaning (detail)" on stderr and sets exit code 1.
void Fail(int32_t code, const std::string& detail);

}  // namespace tavelnor::tool
