// The browsing commands' shared set-up and messages.
#include "browse_session.h"

#include <filesystem>
#include <iostream>

#include "browse/suggest.h"
#include "browse/text_codec.h"
#include "ddf/ddf_reader.h"
#include "ddf_dictionary.h"
#include "foundation/platform/code_pages.h"
#include "foundation/platform/files.h"
#include "record/type_codes.h"
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

bool Session::IsSystemTable(const std::string& table) const {
  for (const std::string& name : system_tables) {
    if (SameName(name, table)) return true;
  }
  return false;
}

void SourceOptions::Resolve(const std::vector<Operand>& later) {
  auto given = [](const CLI::Option* option) { return option != nullptr && option->count() > 0; };
  if (ddf.empty()) {
    if (!given(dictionary_operand)) throw CLI::RequiredError("dictionary");
    for (const Operand& o : later) {
      if (!given(o.option)) throw CLI::RequiredError(o.option->get_name());
    }
    return;
  }
  if (later.empty() ? given(dictionary_operand) : given(later.back().option)) {
    throw CLI::ValidationError("--ddf", "the DDF set takes the place of the dictionary: give no dictionary file with it");
  }
  for (size_t i = later.size(); i-- > 0;) {
    if (!given(i == 0 ? dictionary_operand : later[i - 1].option)) {
      throw CLI::RequiredError(later[i].option->get_name());
    }
    *later[i].value = i == 0 ? dictionary : *later[i - 1].value;
  }
  dictionary.clear();
}

void AddSourceOptions(CLI::App* command, SourceOptions* options) {
  options->dictionary_operand =
      command->add_option("dictionary", options->dictionary, "dictionary file (none with --ddf)");
  command->add_option("--ddf", options->ddf,
                      "the folder of a DDF set (FILE.DDF, FIELD.DDF, INDEX.DDF), read in the "
                      "dictionary's place");
}

std::unique_ptr<Session> OpenSession(const SourceOptions& source) {
  if (source.ddf.empty()) return OpenSession(source.dictionary);
  ddf::DdfDatabase db;
  std::vector<std::string> warnings;
  ddf::DdfOptions read;
  read.system_tables = true;  // listed and readable; exports leave them out unless asked
  read.warn_missing_files = false;  // said where a table is listed or read
  if (Status s = ddf::ReadDdfDatabase(source.ddf, read, &db, &warnings); !s.ok()) {
    std::cerr << "tavelnor: cannot read the DDF set in " << source.ddf << ": " << StoredToUtf8(s.message())
              << "\n";
    SetExitCode(1);
    return nullptr;
  }
  DdfSourceForm form;
  form.printable = [](const std::string& bytes) { return StoredToUtf8(bytes); };
  form.bare_file_names = true;
  form.note_code_page = false;  // names are shown in the chosen code page
  form.variable_part_read = true;
  for (std::string& w : warnings) w = StoredToUtf8(w);
  const nlohmann::json dictionary = DdfDictionarySource(db, "", &warnings, form);
  for (const std::string& w : warnings) {
    const bool other_table = !source.table.empty() && w.rfind("table ", 0) == 0 &&
                             !SameName(w.substr(6, source.table.size() + 2), source.table + ": ");
    if (!other_table) std::cerr << "tavelnor: warning: " << w << "\n";
  }
  auto bytes = DictionaryBytes(dictionary);
  auto scratch = std::make_unique<platform::ScratchFile>();
  Status made = bytes.ok() ? scratch->Create("ddf.dic", *bytes) : bytes.status();
  if (!made.ok()) {
    std::cerr << "tavelnor: the DDF set in " << source.ddf << ": " << made.message() << "\n";
    SetExitCode(1);
    return nullptr;
  }
  auto session = OpenSession(scratch->path());
  if (!session) return nullptr;
  session->scratch = std::move(scratch);
  const std::filesystem::path folder = std::filesystem::absolute(std::filesystem::u8path(source.ddf)).lexically_normal();
  const std::u8string name = (folder.has_filename() ? folder.filename() : folder.parent_path().filename()).u8string();
  session->name.assign(name.begin(), name.end());
  if (session->name.empty()) session->name = "ddf";
  // The dictionary holds the set's tables in the set's order.
  for (size_t i = 0; i < db.tables.size(); ++i) {
    TableModel* table = session->model.MutableTable(i);
    if (table == nullptr) break;
    table->file_path = DdfTableFile(db, db.tables[i]);
    session->ddf_files.emplace_back(table->name, table->file_path);
    if (db.tables[i].system) session->system_tables.push_back(table->name);
    // Columns of the variable part, read from whole records.
    for (const ddf::DdfField& f : db.tables[i].fields) {
      if (!InVariablePart(db.tables[i], f)) continue;
      FieldModel column;
      column.name = column.field = column.label = StoredToUtf8(f.name);
      column.type_code = record::TYPE_STR;
      column.offset = f.offset;
      column.size = f.size;
      column.ddf = f.column();
      column.kind = StoredKind::kText;
      column.tail = true;
      column.precision = -1;
      table->fields.push_back(std::move(column));
    }
  }
  return session;
}

std::unique_ptr<Session> OpenSession(const std::string& path) {
  auto session = std::make_unique<Session>();
  session->dictionary = path;
  const std::u8string stem = std::filesystem::u8path(path).stem().u8string();
  session->name.assign(stem.begin(), stem.end());
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
  if (folder.empty()) {
    location->files.insert(location->files.end(), session.ddf_files.begin(), session.ddf_files.end());
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
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

}  // namespace tavelnor::tool
