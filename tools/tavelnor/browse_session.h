// What the browsing commands share: the dictionary opened both through the
// library (for the records) and as a model (for the layouts, keys and
// links), the options that say where the data files are, and the messages
// of a failed request.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "browse/record_writers.h"
#include "browse/schema_lists.h"
#include "browse/table_model.h"
#include "browse/table_reader.h"
#include "foundation/platform/files.h"

namespace tavelnor::tool {

struct Session {
  // A DDF set's: the dictionary made from it (in memory where the system
  // allows), kept until the library has let it go.
  std::unique_ptr<platform::ScratchFile> scratch;
  std::unique_ptr<Schema> schema;  // without the exchange layout
  DictionaryModel model;
  std::string dictionary;  // the path the library opens
  std::string name;        // what names the whole (exports are named after it)
  // A DDF set's: each table's data file, and its system (X$) tables.
  std::vector<std::pair<std::string, std::string>> ddf_files;
  std::vector<std::string> system_tables;

  bool IsSystemTable(const std::string& table) const;
};

// Where the tables are described: a dictionary file, or a DDF set's folder
// (--ddf DIR), which then takes the dictionary's place among the operands.
struct SourceOptions {
  std::string dictionary;
  std::string ddf;
  // The one table a command reads, if any: the DDF set's warnings about
  // other tables are not shown.
  std::string table;
  CLI::Option* dictionary_operand = nullptr;

  // The operands after the dictionary, each required. With --ddf they move
  // one place up, into the dictionary's place. Throws the command line's
  // error (a missing operand, a dictionary besides --ddf).
  struct Operand {
    std::string* value;
    CLI::Option* option;
  };
  void Resolve(const std::vector<Operand>& later);
};
// The dictionary operand and --ddf.
void AddSourceOptions(CLI::App* command, SourceOptions* options);

// Opens the dictionary at `path`; null after printing why it failed.
std::unique_ptr<Session> OpenSession(const std::string& path);
// Opens the dictionary or reads the DDF set, its warnings on standard
// error; null after printing why it failed.
std::unique_ptr<Session> OpenSession(const SourceOptions& source);

// The table called `name`; null after printing the mistake (exit status 2)
// with the closest names of the dictionary's tables.
const TableModel* FindTableOrFail(const Session& session, const std::string& name);

// --data DIR and --file TABLE=PATH (repeatable), into `location`; a DDF
// set's own data files where neither names another.
struct DataOptions {
  std::string folder;
  std::vector<std::string> files;
  // Checks the --file forms and the table names; false after printing the
  // mistake.
  bool Resolve(const Session& session, DataLocation* location) const;
};
void AddDataOptions(CLI::App* command, DataOptions* options);

// --blobs and --dates: how CSV and JSON Lines write blobs and dates.
struct ValueFormOptions {
  std::string blobs = "base64";
  std::string dates = "iso";
  // Sets the forms of `write`; false after printing the mistake.
  bool Resolve(WriteOptions* write) const;
};
// `files_where` says where --blobs files puts the files.
void AddValueFormOptions(CLI::App* command, ValueFormOptions* options, const char* files_where);

// --encoding NAME: the code page of the stored texts (record values and the
// dictionary's names) for the run; an unknown name is a usage error listing
// the accepted ones.
void AddEncodingOption(CLI::App* command);

// A mistake in the command line itself: "tavelnor: message" and exit 2.
void RequestError(const std::string& message);
// A failure of the library or of the data: its code and meaning, a detail
// naming the file, "damaged" when the code says the file is; exit 1.
void ReportWalkError(const WalkError& error);

}  // namespace tavelnor::tool
