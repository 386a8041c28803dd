// The manual page, written from the help texts of the CLI::App tree: one
// subsection per command (nested commands included), each with its
// arguments and options, then the sections no help text holds.
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>

#include "cli_help.h"

namespace tavelnor::tool {
namespace {

// Text for a roff line or a macro argument: backslashes, hyphens, quotes and
// characters beyond ASCII escaped; a line that would begin with a control
// character ("." or "'") guarded with "\&"; leading blanks dropped, as they
// would break the line.
std::string Roff(std::string_view text) {
  std::string out;
  bool line_start = true;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (line_start && c == ' ') continue;
    if (line_start && (c == '.' || c == '\'')) out += "\\&";
    line_start = c == '\n';
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else if (c == '"') {
      out += "\\(dq";
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      // UTF-8 as \[uXXXX]; a malformed sequence as a question mark.
      const size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
      uint32_t code = c & (0x3F >> extra);
      bool ok = extra > 0 && i + extra < text.size();
      for (size_t k = 1; ok && k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        ok = (next & 0xC0) == 0x80;
        code = (code << 6) | (next & 0x3F);
      }
      if (!ok) {
        out += '?';
        continue;
      }
      i += extra;
      char escaped[16];
      std::snprintf(escaped, sizeof escaped, "\\[u%04X]", static_cast<unsigned>(code));
      out += escaped;
    }
  }
  return out;
}

// Paragraphs of a help text: its empty lines become paragraph breaks.
std::string RoffParagraphs(const std::string& text) {
  std::string out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.find_first_not_of(" \t") == std::string::npos) {
      const bool broken = out.size() >= 4 && out.compare(out.size() - 4, 4, ".PP\n") == 0;
      if (!out.empty() && !broken) out += ".PP\n";
      continue;
    }
    out += Roff(line) + "\n";
  }
  return out;
}

std::string OptionTag(const CLI::Option& opt) {
  std::string tag;
  for (const std::string& s : opt.get_snames()) {
    tag += (tag.empty() ? "" : ", ") + ("\\fB\\-" + Roff(s) + "\\fR");
  }
  for (const std::string& l : opt.get_lnames()) {
    tag += (tag.empty() ? "" : ", ") + ("\\fB\\-\\-" + Roff(l) + "\\fR");
  }
  if (opt.get_expected_max() > 0 && !opt.get_type_name().empty()) {
    tag += " \\fI" + Roff(opt.get_type_name()) + "\\fR";
  }
  return tag;
}

std::string OptionText(const CLI::Option& opt) {
  std::string text = opt.get_description();
  if (!opt.get_default_str().empty()) text += " (default: " + opt.get_default_str() + ")";
  if (opt.get_required() && opt.nonpositional()) text += " (required)";
  return RoffParagraphs(text);
}

// "tavelnor dico build [OPTIONS] source": what the usage line of --help says.
std::string Synopsis(const CLI::App& app) {
  std::string line = CommandPath(app);
  bool has_options = false;
  for (const CLI::Option* opt : VisibleOptions(app)) {
    has_options = has_options || (opt->nonpositional() && opt != app.get_help_ptr());
  }
  if (has_options) line += " [OPTIONS]";
  for (const CLI::Option* opt : VisibleOptions(app)) {
    if (opt->nonpositional()) continue;
    const std::string name = opt->get_name() + (opt->get_items_expected_max() > 1 ? "..." : "");
    line += opt->get_required() ? " " + name : " [" + name + "]";
  }
  if (!VisibleSubcommands(app).empty()) line += " COMMAND";
  return line;
}

void WriteCommand(const CLI::App& app, std::ostringstream& out) {
  out << ".SS \"" << Roff(Synopsis(app)) << "\"\n" << RoffParagraphs(app.get_description());
  for (const CLI::Option* opt : VisibleOptions(app)) {
    if (opt == app.get_help_ptr()) continue;
    out << ".TP\n";
    if (opt->nonpositional()) {
      out << OptionTag(*opt) << "\n";
    } else {
      out << "\\fI" << Roff(opt->get_name()) << "\\fR\n";
    }
    out << OptionText(*opt);
  }
  if (!VisibleSubcommands(app).empty()) {
    out << ".PP\nCommands:";
    const char* separator = " ";
    for (const CLI::App* sub : VisibleSubcommands(app)) {
      out << separator << "\\fB" << Roff(sub->get_name()) << "\\fR";
      separator = ", ";
    }
    out << ".\n";
  }
  for (const CLI::App* sub : VisibleSubcommands(app)) WriteCommand(*sub, out);
}

// The first sentence of the tool's description, for the NAME line:
// "tavelnor \- browse ...".
std::string Summary(const CLI::App& app) {
  std::string text = app.get_description();
  text = text.substr(0, text.find('\n'));
  if (text.compare(0, app.get_name().size() + 2, app.get_name() + ": ") == 0) {
    text.erase(0, app.get_name().size() + 2);
  }
  if (text.size() > 1 && text[0] >= 'A' && text[0] <= 'Z' && text[1] >= 'a' && text[1] <= 'z') {
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  }
  return text;
}

constexpr const char* kClosingSections = R"roff(.SH "EXIT STATUS"
.TP
.B 0
Success.
.TP
.B 1
A data error: a file that cannot be read or written, a damaged or foreign file, a table or record that is not there.
.TP
.B 2
A usage error: an unknown command or option, a missing or excess argument, a value an option does not take.
.SH ENVIRONMENT
.TP
.B TAVELNOR_LOCK_DIR
The folder of the lock files through which processes sharing record files see each other's locks.
By default \fI\%/tmp/tavelnor\-locks\fR, or \fI\%$XDG_RUNTIME_DIR/tavelnor\-locks\fR when that folder cannot be used.
.TP
.B TAVELNOR_BTRIEVE_CLIENT
A Btrieve client library to read and write the record files through, instead of the embedded record manager;
\fB\-\-version\fR names the record manager in use.
.TP
.B TAVELNOR_APP_VALUES
Application values for \fBpaths\fR, as \fIName\fR=\fIvalue\fR pairs separated by semicolons,
for example \fBApp.SocietyID=ACME;App.Name=Gestion\fR.
.SH FILES
.TP
.I \%/tmp/tavelnor\-locks
The lock files of this machine's processes, named after the files they stand for.
Nothing is written beside the data files unless a command writes them.
.SH "SEE ALSO"
.BR sqlite3 (1)
)roff";

}  // namespace

std::string ManPage(const CLI::App& app, const std::string& version) {
  std::ostringstream out;
  const std::string name = app.get_name();
  std::string title = name;
  for (char& c : title) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  out << ".TH " << Roff(title) << " 1 \"\" \"" << Roff(name + " " + version)
      << "\" \"User Commands\"\n"
      << ".SH NAME\n"
      << Roff(name) << " \\- " << Roff(Summary(app)) << "\n"
      << ".SH SYNOPSIS\n"
      << ".B " << Roff(name) << "\n"
      << "[\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fIARGUMENTS\\fR]\n"
      << ".SH DESCRIPTION\n"
      << RoffParagraphs(app.get_description())
      << ".PP\nEvery command takes \\fB\\-h\\fR, \\fB\\-\\-help\\fR and prints its usage.\n"
      << ".SH OPTIONS\n";
  for (const CLI::Option* opt : VisibleOptions(app)) {
    if (!opt->nonpositional()) continue;
    out << ".TP\n" << OptionTag(*opt) << "\n" << OptionText(*opt);
  }
  out << ".SH COMMANDS\n";
  for (const CLI::App* sub : VisibleSubcommands(app)) WriteCommand(*sub, out);
  out << kClosingSections;
  return out.str();
}

}  // namespace tavelnor::tool
