// tavelnor: the command-line face of the library.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli_help.h"
#include "data/btrieve_client.h"
#include "foundation/platform/console.h"
#include "tool_commands.h"

namespace {

// "tavelnor generate man|bash-completion FILE": a document drawn from the
// command tree, written to FILE ("-": standard output). Hidden: the build
// runs it to make the manual page and the completion script.
void AddGenerateCommand(CLI::App& app) {
  auto document = std::make_shared<std::string>();
  auto path = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand("generate", "Write the manual page or the bash completion");
  cmd->group("");
  cmd->add_option("document", *document, "man or bash-completion")
      ->required()
      ->check(CLI::IsMember({"man", "bash-completion"}));
  cmd->add_option("file", *path, "file to write (-: standard output)")->required();
  cmd->callback([&app, document, path] {
    const std::string text = *document == "man"
                                 ? tavelnor::tool::ManPage(app, TAVELNOR_TOOL_VERSION)
                                 : tavelnor::tool::BashCompletion(app);
    if (*path == "-") {
      std::cout << text;
      return;
    }
    std::ofstream out(*path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      std::cerr << "tavelnor: cannot write " << *path << "\n";
      tavelnor::tool::SetExitCode(1);
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  // Texts go out as UTF-8, byte for byte; arguments come in as UTF-8.
  tavelnor::platform::PrepareUtf8Output();
  std::vector<std::string> args = tavelnor::platform::Utf8Arguments(argc, argv);
  std::vector<char*> arg_pointers;
  for (std::string& arg : args) arg_pointers.push_back(arg.data());
  // Named here rather than after argv[0], so that help shows no build path.
  CLI::App app{"Browse the record files of an accounting range through its dictionary.",
               "tavelnor"};
  app.require_subcommand(1);
  app.set_version_flag("--version", [] {
    return "tavelnor " TAVELNOR_TOOL_VERSION "\nrecord manager: " +
           tavelnor::data::ProcessRecordManager().Describe();
  });
  tavelnor::tool::AddDicoCommands(app);
  tavelnor::tool::AddPathsCommands(app);
  tavelnor::tool::AddDemoCommands(app);
  tavelnor::tool::AddBrowseCommands(app);
  tavelnor::tool::AddBtrieveCommands(app);
  AddGenerateCommand(app);
  try {
    app.parse(static_cast<int>(arg_pointers.size()), arg_pointers.data());
  } catch (const CLI::ParseError& e) {
    return tavelnor::tool::ReportParseError(app, e);
  }
  return tavelnor::tool::ExitCode();
}
