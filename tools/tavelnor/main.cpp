// tavelnor: the command-line face of the library.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#include "tool_commands.h"

int main(int argc, char** argv) {
  CLI::App app{"tavelnor: browse the record files of an accounting range through its dictionary"};
  app.require_subcommand(1);
  tavelnor::tool::AddDicoCommands(app);
  tavelnor::tool::AddPathsCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return tavelnor::tool::ExitCode();
}
