// Usage errors: one line on standard error naming the command at fault and
// what is wrong with its command line, then where to read its usage.
#include <iostream>
#include <string>
#include <vector>

#include "browse/suggest.h"
#include "cli_help.h"

namespace tavelnor::tool {
namespace {

bool Starts(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// CLI11's messages may run over several lines and begin with a capital.
std::string OneLine(const std::string& text) {
  std::string line;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(start, end - start);
    while (!part.empty() && (part.back() == ' ' || part.back() == '\r')) part.pop_back();
    const size_t first = part.find_first_not_of(' ');
    part.erase(0, first == std::string::npos ? part.size() : first);
    if (!part.empty()) line += (line.empty() ? "" : "; ") + part;
    start = end + 1;
  }
  if (line.size() > 1 && line[0] >= 'A' && line[0] <= 'Z' && line[1] >= 'a' && line[1] <= 'z') {
    line[0] = static_cast<char>(line[0] - 'A' + 'a');
  }
  return line;
}

// "'a'", "'a' or 'b'", "'a', 'b' or 'c'".
std::string Alternatives(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += "'" + names[i] + "'";
  }
  return text;
}

std::string DidYouMean(const std::string& wrong, const std::vector<std::string>& candidates) {
  const std::vector<std::string> near = ClosestNames(wrong, candidates);
  return near.empty() ? std::string() : "; did you mean " + Alternatives(near) + "?";
}

std::vector<std::string> SubcommandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : VisibleSubcommands(app)) names.push_back(sub->get_name());
  return names;
}

std::vector<std::string> OptionNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::Option* opt : VisibleOptions(app)) {
    for (const std::string& l : opt->get_lnames()) names.push_back("--" + l);
    for (const std::string& s : opt->get_snames()) names.push_back("-" + s);
  }
  return names;
}

// A bound as written in a range check ("0.000000" as "0"); empty for the
// bounds that only stand for "no bound" (a double's largest value).
std::string Bound(std::string text) {
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text.size() > 15 ? std::string() : text;
}

// CLI11's range check says "NAME: Value V not in range LO to HI", with the
// bounds of a double printed in full; said again readably.
std::string RangeMessage(const std::string& what) {
  const size_t value = what.find(": Value ");
  const size_t range = what.find(" not in range ", value);
  const size_t to = what.find(" to ", range + 1);
  if (value == std::string::npos || range == std::string::npos || to == std::string::npos) {
    return what;
  }
  const std::string shown = what.substr(value + 8, range - value - 8);
  const std::string low = Bound(what.substr(range + 14, to - range - 14));
  const std::string high = Bound(what.substr(to + 4));
  std::string expected = "a number";
  if (!low.empty() && !high.empty()) expected += " from " + low + " to " + high;
  if (!low.empty() && high.empty()) expected += " of at least " + low;
  if (low.empty() && !high.empty()) expected += " of at most " + high;
  return what.substr(0, value) + ": '" + shown + "' is not " + expected;
}

// What is wrong, and the command whose usage covers it (`*where`).
std::string Explain(const CLI::App& root, const CLI::ParseError& e, const CLI::App** where) {
  std::vector<const CLI::App*> chain = {&root};
  for (std::vector<CLI::App*> subs; !(subs = chain.back()->get_subcommands()).empty();) {
    chain.push_back(subs.front());
  }
  // A word no command took: an unknown option, an unknown command or one
  // argument too many.
  for (const CLI::App* app : chain) {
    const std::vector<std::string> stray = app->remaining(false);
    if (stray.empty()) continue;
    *where = app;
    const std::string& word = stray.front();
    if (word.size() > 1 && word[0] == '-') {
      const std::string name = word.substr(0, word.find('='));
      return "unknown option '" + name + "'" + DidYouMean(name, OptionNames(*app));
    }
    if (!VisibleSubcommands(*app).empty() && app->get_subcommands().empty()) {
      return "unknown command '" + word + "'" + DidYouMean(word, SubcommandNames(*app));
    }
    std::string listed;
    for (const std::string& w : stray) listed += (listed.empty() ? "'" : " '") + w + "'";
    return (stray.size() == 1 ? "unexpected argument " : "unexpected arguments ") + listed;
  }

  const CLI::App& last = *chain.back();
  *where = &last;
  const std::string what = e.what();
  if (e.get_name() == "RequiredError") {
    if (Starts(what, "A subcommand") && !VisibleSubcommands(last).empty()) {
      std::string names;
      for (const std::string& n : SubcommandNames(last)) names += (names.empty() ? "" : ", ") + n;
      return "missing command (one of: " + names + ")";
    }
    for (const CLI::Option* opt : VisibleOptions(last)) {
      if (what != opt->get_name() + " is required") continue;
      return opt->nonpositional() ? "missing option " + opt->get_name()
                                  : "missing argument '" + opt->get_name() + "'";
    }
  }
  if (e.get_name() == "ValidationError") return OneLine(RangeMessage(what));
  if (e.get_name() == "ConversionError" && Starts(what, "Could not convert: ")) {
    return "invalid value: " + OneLine(what.substr(19));
  }
  return OneLine(what);
}

}  // namespace

std::vector<const CLI::App*> VisibleSubcommands(const CLI::App& app) {
  return app.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); });
}

std::vector<const CLI::Option*> VisibleOptions(const CLI::App& app) {
  return app.get_options([](const CLI::Option* opt) { return !opt->get_group().empty(); });
}

std::string CommandPath(const CLI::App& app) {
  std::string path = app.get_name();
  for (const CLI::App* up = app.get_parent(); up != nullptr; up = up->get_parent()) {
    path = up->get_name() + " " + path;
  }
  return path;
}

int ReportParseError(const CLI::App& app, const CLI::ParseError& e) {
  // Help and version: their own output, status 0.
  if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success) ||
      e.get_name() == "RuntimeError") {
    return app.exit(e);
  }
  const CLI::App* where = &app;
  const std::string message = Explain(app, e, &where);
  const std::string path = CommandPath(*where);
  std::cerr << path << ": " << message << "\n"
            << "Run '" << path << " --help' for usage.\n";
  return kUsageExitCode;
}

}  // namespace tavelnor::tool
