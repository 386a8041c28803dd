// The browsing commands' shared set-up and messages.
#include "browse_session.h"

#include <iostream>

#include "browse/suggest.h"
#include "browse/text_codec.h"
#include "foundation/platform/code_pages.h"
#include "tavelnor/zavl.h"
#include "tool_commands.h"

namespace tavelnor::tool {
namespace {

// Statuses that a damaged file answers (an I/O error, a file that is not a
// record file, a corrupt variable-length part, an incomplete index).
bool DamageStatus(int32_t code) { return code == 2 || code == 30 || code == 54 || code == 56; }

std::string DidYouMean(const std::string& wrong, const std::vector<std::string>& names) {
  const std::vector<std::string> close = ClosestNames(wrong, names);
  if (close.empty()) return {};
  std::string text = "; did you mean ";
  for (size_t i = 0; i < close.size(); ++i) {
    text += (i == 0 ? "'" : i + 1 == close.size() ? " or '" : ", '") + close[i] + "'";
  }
  return text + "?";
}

}  // namespace

void RequestError(const std::string& message) {
  std::cerr << "tavelnor: " << message << "\n";
  SetExitCode(2);
}

void ReportWalkError(const WalkError& e) {
  if (e.code == 0) {
    std::cerr << "tavelnor: " << e.detail << "\n";
    SetExitCode(e.usage ? 2 : 1);
    return;
  }
  Fail(e.code, DamageStatus(e.code) ? e.detail + ": the file is damaged or unreadable" : e.detail);
}

std::unique_ptr<Session> OpenSession(const std::string& path) {
  auto session = std::make_unique<Session>();
  session->schema = std::make_unique<Schema>(path, SCHEMA_QUIET);
  if (!session->schema->ok()) {
    const int32_t code = ZAVL_GetLastError();
    std::string why;
    DictionaryModel probe;
    if (!probe.Load(path, &why) && !why.empty()) {
      Fail(code, path + ": " + why);
    } else {
      Fail(code, path);
    }
    return nullptr;
  }
  std::string why;
  if (!session->model.Load(path, &why)) {
    Fail(ZAVL_ERR_DICO_LOAD, path + ": " + why);
    return nullptr;
  }
  return session;
}

const TableModel* FindTableOrFail(const Session& session, const std::string& name) {
  if (const TableModel* t = session.model.FindTable(name)) return t;
  if (name.empty() || name[0] == '#' || name == "@") {
    RequestError("\"" + name + "\" names a list of the dictionary, not a table");
  } else {
    RequestError("the dictionary has no table \"" + name + "\"" +
                 DidYouMean(name, session.model.TableNames()));
  }
  return nullptr;
}

bool DataOptions::Resolve(const Session& session, DataLocation* location) const {
  location->folder = folder;
  location->files.clear();
  for (const std::string& f : files) {
    const size_t eq = f.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == f.size()) {
      RequestError("--file takes TABLE=PATH, not \"" + f + "\"");
      return false;
    }
    const TableModel* table = FindTableOrFail(session, f.substr(0, eq));
    if (table == nullptr) return false;
    location->files.emplace_back(table->name, f.substr(eq + 1));
  }
  return true;
}

bool ValueFormOptions::Resolve(WriteOptions* write) const {
  if (!ParseBlobMode(blobs, &write->blobs)) {
    RequestError("--blobs takes base64, hex, omit or files");
    return false;
  }
  if (!ParseDateMode(dates, &write->dates)) {
    RequestError("--dates takes iso or locale");
    return false;
  }
  return true;
}

void AddValueFormOptions(CLI::App* command, ValueFormOptions* options, const char* files_where) {
  command->add_option("--blobs", options->blobs,
                      std::string("blobs and pictures in CSV and JSON Lines: base64 (default), hex, "
                                  "omit, or files (one file per value ") +
                          files_where + ", the cell holding its path)");
  command->add_option("--dates", options->dates,
                      "dates and time stamps in CSV and JSON Lines: iso (default) or locale "
                      "(day/month/year)");
}

void AddEncodingOption(CLI::App* command) {
  std::string choices;
  for (const std::string& name : platform::CodePageNames()) {
    choices += (choices.empty() ? "" : ",") + name;
  }
  command
      ->add_option_function<std::string>(
          "--encoding",
          [](const std::string& name) {
            if (Status s = ChooseStoredCodePage(name); !s.ok()) {
              throw CLI::ValidationError("--encoding", s.message());
            }
          },
          "code page of the record texts and the dictionary's names (default cp1252); "
          "aliases such as windows-1251, ibm866 or latin1 are taken too")
      ->type_name("NAME:{" + choices + "}");
}

void AddDataOptions(CLI::App* command, DataOptions* options) {
  command->add_option("--data", options->folder,
                      "folder of the data files, when it is not the one the dictionary names");
  command->add_option("--file", options->files,
                      "TABLE=PATH: the data file of one table (repeatable)")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

}  // namespace tavelnor::tool
