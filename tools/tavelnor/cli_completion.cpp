// The bash completion script, its tables written from the CLI::App tree and
// its logic fixed: which command the words so far name, then what the word
// under the cursor can be there.
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli_help.h"

namespace tavelnor::tool {
namespace {

// A word of the script in single quotes.
std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// A command's words after the program's name ("dico show").
std::string Key(const CLI::App& app) {
  const std::string path = CommandPath(app);
  const size_t space = path.find(' ');
  return space == std::string::npos ? std::string() : path.substr(space + 1);
}

std::vector<std::string> Names(const CLI::Option& opt) {
  std::vector<std::string> names;
  for (const std::string& l : opt.get_lnames()) names.push_back("--" + l);
  for (const std::string& s : opt.get_snames()) names.push_back("-" + s);
  return names;
}

bool Mentions(std::string text, const std::string& word) {
  for (char& c : text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  return text.find(word) != std::string::npos;
}

// What an argument or an option's value is, for completion: "table" (a table
// of the dictionary given first) for the ones named so, "file" for the ones
// whose help speaks of a file or folder, else nothing to offer ("-").
std::string Kind(const CLI::Option& opt) {
  for (const std::string& name : opt.get_lnames()) {
    if (name == "table" || name == "tables") return "table";
  }
  if (opt.get_name() == "table" || opt.get_name() == "tables") return "table";
  const std::string& help = opt.get_description();
  return Mentions(help, "file") || Mentions(help, "folder") ? "file" : "-";
}

// The values of an option: those a validator limits it to, when its type
// reads "TEXT:{a,b,c}", else its kind after an "@".
std::string Values(const CLI::Option& opt) {
  const std::string type = opt.get_type_name();
  const size_t open = type.find('{');
  const size_t close = type.find('}', open);
  if (open == std::string::npos || close == std::string::npos) return "@" + Kind(opt);
  std::string choices = type.substr(open + 1, close - open - 1);
  for (char& c : choices) c = c == ',' ? ' ' : c;
  return choices;
}

// One table of the script: a function answering, for the key given as its
// first argument, the words of that key.
class Table {
 public:
  explicit Table(std::string name) : name_(std::move(name)) {}
  void Add(const std::string& key, const std::string& words) {
    if (!words.empty()) cases_ += "    " + Quoted(key) + ") echo " + Quoted(words) + " ;;\n";
  }
  std::string Script() const { return name_ + "() {\n  case \"$1\" in\n" + cases_ + "  esac\n}\n"; }

 private:
  std::string name_;
  std::string cases_;
};

struct Tables {
  Table subcommands{"_tavelnor_subcommands"};
  Table options{"_tavelnor_options"};
  Table value_options{"_tavelnor_value_options"};
  Table values{"_tavelnor_values"};
  Table positionals{"_tavelnor_positionals"};
};

std::string Joined(const std::string& a, const std::string& b) {
  return a.empty() ? b : b.empty() ? a : a + " " + b;
}

void Describe(const CLI::App& app, Tables& t) {
  const std::string key = Key(app);
  std::string subcommands, options, value_options, positionals;
  for (const CLI::App* sub : VisibleSubcommands(app)) {
    subcommands = Joined(subcommands, sub->get_name());
  }
  for (const CLI::Option* opt : VisibleOptions(app)) {
    if (!opt->nonpositional()) {
      std::string kind = Kind(*opt);
      if (opt->get_items_expected_max() > 1) kind += "+";
      positionals = Joined(positionals, kind);
      continue;
    }
    for (const std::string& name : Names(*opt)) {
      options = Joined(options, name);
      if (opt->get_expected_max() == 0) continue;  // a flag
      value_options = Joined(value_options, name);
      if (const std::string values = Values(*opt); values != "@-") {
        t.values.Add(Joined(key, name), values);
      }
    }
  }
  t.subcommands.Add(key, subcommands);
  t.options.Add(key, options);
  t.value_options.Add(key, value_options);
  t.positionals.Add(key, positionals);
  for (const CLI::App* sub : VisibleSubcommands(app)) Describe(*sub, t);
}

constexpr const char* kLogic = R"bash(
# Whether the word $1 is one of the words of $2.
_tavelnor_in() {
  [[ " $2 " == *" $1 "* ]]
}

# The words of $1 that begin with $2.
_tavelnor_reply() {
  mapfile -t COMPREPLY < <(compgen -W "$1" -- "$2")
}

_tavelnor_files() {
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

# The tables of the dictionary $1 that begin with $2, asked of the tool
# itself; nothing when it cannot tell.
_tavelnor_tables() {
  local tool="${COMP_WORDS[0]/#\~/$HOME}" names name
  names="$("$tool" tables "${1/#\~/$HOME}" --names-only 2>/dev/null </dev/null)" || return 0
  while IFS= read -r name; do
    [[ -n $name && $name == "$2"* ]] && COMPREPLY+=("$name")
  done <<<"$names"
}

_tavelnor() {
  local cur="${COMP_WORDS[COMP_CWORD]}" command="" word option="" i
  local -a args=()
  COMPREPLY=()
  # The command the words before the cursor name, and its arguments so far;
  # an option's value is no argument.
  for ((i = 1; i < COMP_CWORD; i++)); do
    word="${COMP_WORDS[i]}"
    if [[ $word == -?* ]]; then
      if [[ $word != *=* ]] && _tavelnor_in "$word" "$(_tavelnor_value_options "$command")"; then
        if [[ ${COMP_WORDS[i + 1]} == "=" ]]; then i=$((i + 2)); else i=$((i + 1)); fi
      fi
    elif ((${#args[@]} == 0)) && _tavelnor_in "$word" "$(_tavelnor_subcommands "$command")"; then
      command="${command:+$command }$word"
    else
      args+=("$word")
    fi
  done

  # The value of an option ("--opt value", or "--opt=value" that bash cuts
  # at the "=").
  if [[ $cur == "=" ]]; then
    option="${COMP_WORDS[COMP_CWORD - 1]}"
    cur=""
  elif ((COMP_CWORD > 2)) && [[ ${COMP_WORDS[COMP_CWORD - 1]} == "=" ]]; then
    option="${COMP_WORDS[COMP_CWORD - 2]}"
  elif ((COMP_CWORD > 1)); then
    option="${COMP_WORDS[COMP_CWORD - 1]}"
  fi
  if [[ $option == -?* ]] && _tavelnor_in "$option" "$(_tavelnor_value_options "$command")"; then
    local values
    values="$(_tavelnor_values "${command:+$command }$option")"
    case "$values" in
      @table) ((${#args[@]} > 0)) && _tavelnor_tables "${args[0]}" "$cur" ;;
      @file) _tavelnor_files "$cur" ;;
      @*) ;;
      *) _tavelnor_reply "$values" "$cur" ;;
    esac
    return 0
  fi

  if [[ $cur == -* ]]; then
    _tavelnor_reply "$(_tavelnor_options "$command")" "$cur"
    return 0
  fi
  local subcommands
  subcommands="$(_tavelnor_subcommands "$command")"
  if [[ -n $subcommands ]] && ((${#args[@]} == 0)); then
    _tavelnor_reply "$subcommands" "$cur"
    return 0
  fi

  # A positional argument: a file, or a table of the dictionary given first.
  local -a kinds
  read -ra kinds <<<"$(_tavelnor_positionals "$command")"
  local n=${#args[@]} kind=""
  if ((n < ${#kinds[@]})); then
    kind="${kinds[n]}"
  elif ((${#kinds[@]} > 0)) && [[ ${kinds[-1]} == *+ ]]; then
    kind="${kinds[-1]}"
  fi
  case "${kind%+}" in
    table) ((n > 0)) && _tavelnor_tables "${args[0]}" "$cur" ;;
    file) _tavelnor_files "$cur" ;;
  esac
  return 0
}

complete -F _tavelnor tavelnor
)bash";

}  // namespace

std::string BashCompletion(const CLI::App& app) {
  Tables t;
  Describe(app, t);
  std::ostringstream out;
  out << "# bash completion for " << app.get_name() << ", written by \"" << app.get_name()
      << " generate bash-completion\" from its\n"
      << "# command tree.\n\n"
      << "# What each command takes, the command named by its words after the program's\n"
      << "# name: its subcommands, its options, those of its options that take a value,\n"
      << "# the values of such an option (key: the command's words and the option; a\n"
      << "# list, or \"@\" and a kind) and the kind of each positional argument: \"file\",\n"
      << "# \"table\" (of the dictionary given first) or \"-\" (nothing to offer), \"+\"\n"
      << "# after one that repeats.\n"
      << t.subcommands.Script() << t.options.Script() << t.value_options.Script()
      << t.values.Script() << t.positionals.Script() << kLogic;
  return out.str();
}

}  // namespace tavelnor::tool
