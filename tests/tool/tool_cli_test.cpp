// The tool's command line as a Debian tool's: usage errors end with status 2
// and a hint, help names "tavelnor", and the manual page and the bash
// completion drawn from the command tree cover every command. Also the
// "did you mean" helper the messages use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "browse/suggest.h"
#include "cli_help.h"
#include "tool/tool_fixture.h"

namespace tavelnor::tool::testing {
namespace {

using Strings = std::vector<std::string>;
using CommandLine = ToolTest;

Strings LinesOf(const std::string& text) {
  Strings lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(ClosestNames, RanksWithinReachIgnoringCase) {
  // A swap of two neighbours counts one.
  EXPECT_EQ(ClosestNames("dupm", {"tables", "dump", "demo"}), (Strings{"dump"}));
  EXPECT_EQ(ClosestNames("CLIENTS", {"Familles", "Clients"}), (Strings{"Clients"}));
  // Best first, equal distances in the candidates' order, at most three.
  EXPECT_EQ(ClosestNames("dump", {"du", "dumps", "damp", "dump", "dumpy"}),
            (Strings{"dump", "dumps", "damp"}));
  EXPECT_EQ(ClosestNames("dump", {"dump", "dump"}), (Strings{"dump"}));
  // The reach grows with the length: two edits, or a third of the name.
  EXPECT_EQ(ClosestNames("abcdef", {"abcdefghi"}), Strings{});
  EXPECT_EQ(ClosestNames("factureslignes", {"FacturesLignes2023"}),
            (Strings{"FacturesLignes2023"}));
  EXPECT_EQ(ClosestNames("xyz", {"dump", "tables"}), Strings{});
  EXPECT_EQ(ClosestNames("dump", {}), Strings{});
}

TEST(ManPage, EscapesWhatTheHelpTextsHold) {
  CLI::App app{"Read things.", "tool"};
  CLI::App* go = app.add_subcommand(
      "go", ".starts with a dot\n'starts with a quote\nback\\slash \"said\" caf\xC3\xA9 -x");
  std::string value;
  go->add_option("--name", value, "the name")->default_str("a-b");
  go->add_option("path", value, "where")->required();
  const std::string page = ManPage(app, "1.0");
  for (const char* line : {".SS \"tool go [OPTIONS] path\"\n", "\n\\&.starts with a dot\n",
                           "\n\\&'starts with a quote\n",
                           "\nback\\eslash \\(dqsaid\\(dq caf\\[u00E9] \\-x\n",
                           "\n\\fB\\-\\-name\\fR \\fITEXT\\fR\nthe name (default: a\\-b)\n"}) {
    EXPECT_NE(page.find(line), std::string::npos) << line << page;
  }
}

TEST_F(CommandLine, UsageErrorsExitTwoWithOneLineAndAHint) {
  struct Case {
    Strings args;
    std::string message;  // the first line of standard error
    std::string command;  // the command whose --help the hint names
  };
  const std::string dico = Dictionary();
  const std::vector<Case> cases = {
      {{"dupm"}, "tavelnor: unknown command 'dupm'; did you mean 'dump'?", "tavelnor"},
      {{"dico", "shwo", dico}, "tavelnor dico: unknown command 'shwo'; did you mean 'show'?",
       "tavelnor dico"},
      {{}, "tavelnor: missing command", "tavelnor"},
      {{"dump", dico}, "tavelnor dump: missing argument 'table'", "tavelnor dump"},
      {{"dump", "--ddf", "set"}, "tavelnor dump: missing argument 'table'", "tavelnor dump"},
      {{"keys", "--ddf", "set", dico, "Clients"}, "tavelnor keys: --ddf: the DDF set takes the place",
       "tavelnor keys"},
      {{"tables"}, "tavelnor tables: missing argument 'dictionary'", "tavelnor tables"},
      {{"dump", "--limt", "3", dico, "Clients"},
       "tavelnor dump: unknown option '--limt'; did you mean '--limit'?", "tavelnor dump"},
      {{"dump", dico, "Clients", "Familles"}, "tavelnor dump: unexpected argument 'Familles'",
       "tavelnor dump"},
      {{"dump", "--limit", "-1", dico, "Clients"}, "tavelnor dump: --limit: '-1' is not a number",
       "tavelnor dump"},
      {{"btrieve", "dump", "x.dat", "--key", "many"}, "tavelnor btrieve dump: ",
       "tavelnor btrieve dump"},
      {{"demo", "--size", "huge"}, "tavelnor demo: --size: ", "tavelnor demo"},
      {{"dico", "build", "in.json"}, "tavelnor dico build: missing option --output",
       "tavelnor dico build"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Run(c.args);
    const Strings err = LinesOf(run.err);
    EXPECT_EQ(run.code, 2) << c.message;
    // Nothing ran: a usage error stops before any command.
    EXPECT_EQ(run.out, "") << c.message;
    ASSERT_EQ(err.size(), 2u) << run.err;
    EXPECT_EQ(err[0].rfind(c.message, 0), 0u) << err[0];
    EXPECT_EQ(err[1], "Run '" + c.command + " --help' for usage.");
  }
}

TEST_F(CommandLine, HelpAndVersionExitZeroUnderTheToolsName) {
  for (const Strings& args : {Strings{"dump", "--help"}, Strings{"btrieve", "check", "-h"}}) {
    const ToolRun run = Run(args);
    EXPECT_EQ(run.code, 0) << run.err;
    std::string usage = "Usage: tavelnor";
    for (const std::string& a : args) usage += a[0] == '-' ? "" : " " + a;
    EXPECT_NE(run.out.find(usage + " "), std::string::npos) << run.out;
  }
  const ToolRun version = Run({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out.rfind("tavelnor ", 0), 0u) << version.out;
}

TEST_F(CommandLine, ManPageHasEveryCommandAndEscapesItsText) {
  const ToolRun man = Run({"generate", "man", "-"});
  ASSERT_EQ(man.code, 0) << man.err;
  const Strings lines = man.Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind(".TH TAVELNOR 1 ", 0), 0u) << lines[0];

  std::set<std::string> sections, subsections;
  const std::set<std::string> macros = {".TH", ".SH", ".SS", ".TP", ".PP", ".B", ".I", ".BR"};
  for (const std::string& line : lines) {
    if (!line.empty() && (line[0] == '.' || line[0] == '\'')) {
      const std::string macro = line.substr(0, line.find(' '));
      EXPECT_TRUE(macros.count(macro)) << "not a macro: " << line;
      if (macro == ".SH") sections.insert(line.substr(4));
      if (macro == ".SS") subsections.insert(line.substr(4));
    }
    for (size_t at = line.find('-'); at != std::string::npos; at = line.find('-', at + 1)) {
      EXPECT_TRUE(at > 0 && line[at - 1] == '\\') << "bare hyphen: " << line;
    }
  }
  for (const char* s : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "COMMANDS", "\"EXIT STATUS\"",
                        "ENVIRONMENT", "FILES", "\"SEE ALSO\""}) {
    EXPECT_TRUE(sections.count(s)) << s;
  }
  // Every command --help lists, nested ones included ("dico show").
  Strings commands;
  const std::function<void(const Strings&)> list = [&](const Strings& above) {
    Strings args = above;
    args.push_back("--help");
    bool listing = false;
    for (const std::string& line : Run(args).Lines()) {
      if (line == "Subcommands:") {
        listing = true;
      } else if (listing && line.empty()) {
        listing = false;
      } else if (listing && line.size() > 2 && line.compare(0, 2, "  ") == 0 && line[2] != ' ') {
        Strings words = above;
        words.push_back(line.substr(2, line.find(' ', 2) - 2));
        std::string path;
        for (const std::string& w : words) path += (path.empty() ? "" : " ") + w;
        commands.push_back(path);
        list(words);
      }
    }
  };
  list({});
  EXPECT_GE(commands.size(), 12u);
  for (const std::string& command : commands) {
    // ".SS "tavelnor dico show [OPTIONS] dictionary"": the command, then
    // its usage or the end of the title; hyphens escaped ("from\-ddf").
    std::string title = "\"tavelnor ";
    for (char c : command) title += c == '-' ? std::string("\\-") : std::string(1, c);
    const bool found = std::any_of(subsections.begin(), subsections.end(), [&](const auto& s) {
      return s.rfind(title, 0) == 0 && (s[title.size()] == ' ' || s[title.size()] == '"');
    });
    EXPECT_TRUE(found) << command;
  }
  EXPECT_EQ(subsections.size(), commands.size());

  // groff, when there, reads it without a warning.
  if (std::system("groff -v >/dev/null 2>&1") == 0) {
    const std::string page = Folder() + "/tavelnor.1";
    std::ofstream(page) << man.out;
    const std::string err = Folder() + "/groff.err";
    EXPECT_EQ(std::system(("groff -man -ww -z " + Quote(page) + " 2>" + Quote(err)).c_str()), 0);
    std::ifstream in(err);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "");
  }
}

class Completion : public ToolTest {
 protected:
  static void SetUpTestSuite() {
    ToolTest::SetUpTestSuite();
    script_ = Folder() + "/tavelnor.bash";
    ASSERT_EQ(Run({"generate", "bash-completion", script_}).code, 0);
    // Stand-ins for the tool that list the tables of the shop dictionary,
    // or fail, as the completion asks them.
    const auto write_tool = [](const std::string& path, const std::string& body) {
      std::ofstream(path) << "#!/bin/sh\n" << body;
      std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    };
    write_tool(Folder() + "/lister",
               "[ \"$1 $2 $3\" = " + Quote("tables " + Dictionary() + " --names-only") +
                   " ] || exit 2\nprintf 'Clients\\nFamilles\\nJournal\\n'\n");
    write_tool(Folder() + "/failing", "echo Clients; exit 2\n");
  }

  // The completions bash offers for the last of `words`, sorted.
  static Strings Complete(const Strings& words) {
    std::string command =
        "bash -c 'source \"$0\"; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _tavelnor; "
        "printf \"%s\\n\" \"${COMPREPLY[@]}\"' " +
        Quote(script_);
    for (const std::string& w : words) command += " " + Quote(w);
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::string out;
    char buffer[512];
    for (size_t n; pipe != nullptr && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      out.append(buffer, n);
    }
    if (pipe != nullptr) {
      EXPECT_EQ(pclose(pipe), 0) << command;
    }
    std::set<std::string> sorted;
    for (const std::string& line : LinesOf(out)) {
      if (!line.empty()) sorted.insert(line);
    }
    return Strings(sorted.begin(), sorted.end());
  }

  static std::string script_;
};

std::string Completion::script_;

TEST_F(Completion, OffersCommandsOptionsValuesFilesAndTables) {
  const std::string dico = Dictionary();
  EXPECT_EQ(Complete({"tavelnor", "du"}), (Strings{"dump"}));
  EXPECT_EQ(Complete({"tavelnor", "dump", "--li"}), (Strings{"--limit"}));
  EXPECT_EQ(Complete({"tavelnor", "dico", ""}), (Strings{"build", "from-ddf", "show"}));
  EXPECT_EQ(Complete({"tavelnor", "btrieve", "ch"}), (Strings{"check"}));
  EXPECT_EQ(Complete({"tavelnor", "btrieve", "co"}), (Strings{"convert"}));
  EXPECT_EQ(Complete({"tavelnor", "btrieve", "check", "--"}), (Strings{"--help"}));
  // Values an option is limited to, after a space or an "=".
  EXPECT_EQ(Complete({"tavelnor", "demo", "--size", ""}), (Strings{"large", "small"}));
  EXPECT_EQ(Complete({"tavelnor", "btrieve", "dump", "--format", "=", "j"}), (Strings{"jsonl"}));
  // File names where the help speaks of a file or folder, nothing for a
  // number.
  const Strings shop = {Folder() + "/shop.dic", Folder() + "/shop.json"};
  EXPECT_EQ(Complete({"tavelnor", "dump", Folder() + "/shop."}), shop);
  EXPECT_EQ(Complete({"tavelnor", "dico", "build", "-o", Folder() + "/shop."}), shop);
  EXPECT_EQ(Complete({"tavelnor", "dump", "--limit", Folder() + "/shop."}), Strings{});
  // Table names from the dictionary given first, an option's value not
  // taken for it; nothing when the tool cannot list them.
  EXPECT_EQ(Complete({Folder() + "/lister", "dump", "--limit", "5", dico, "F"}),
            (Strings{"Familles"}));
  EXPECT_EQ(Complete({Folder() + "/lister", "fields", dico, ""}),
            (Strings{"Clients", "Familles", "Journal"}));
  EXPECT_EQ(Complete({Folder() + "/failing", "fields", dico, ""}), Strings{});
  // Nothing after the last argument.
  EXPECT_EQ(Complete({Folder() + "/lister", "fields", dico, "Clients", ""}), Strings{});
}

}  // namespace
}  // namespace tavelnor::tool::testing
