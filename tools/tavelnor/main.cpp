// tavelnor: the command-line face of the library.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#include "data/btrieve_client.h"
#include "tool_commands.h"

int main(int argc, char** argv) {
  CLI::App app{"tavelnor: browse the record files of an accounting range through its dictionary"};
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
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return tavelnor::tool::ExitCode();
}
