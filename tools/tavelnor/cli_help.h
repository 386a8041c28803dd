// How the tool speaks about its own command line: usage errors, the manual
// page and the bash completion script. The last two are drawn from the
// CLI::App tree itself, so that they say what --help says.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace tavelnor::tool {

// Exit status of a command line the tool cannot take.
inline constexpr int kUsageExitCode = 2;

// Ends the parse of `app` that threw `e`: help and version go to standard
// output with status 0; anything else is a usage error, told on standard
// error in one line ("tavelnor dump: ...", with the closest names for a
// misspelt command or option) and a hint at --help. Returns the exit status.
int ReportParseError(const CLI::App& app, const CLI::ParseError& e);

// The subcommands and options --help lists (hidden ones left out), in the
// order they were added.
std::vector<const CLI::App*> VisibleSubcommands(const CLI::App& app);
std::vector<const CLI::Option*> VisibleOptions(const CLI::App& app);
// "tavelnor dico build": the names from the top of the tree down to `app`.
std::string CommandPath(const CLI::App& app);

// The manual page, man(7) macros, of the tool whose root is `app`.
std::string ManPage(const CLI::App& app, const std::string& version);
// A bash script defining the completion function of the tool.
std::string BashCompletion(const CLI::App& app);

}  // namespace tavelnor::tool
