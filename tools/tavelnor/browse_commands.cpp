// "tavelnor tables", "fields", "keys", "categories" and "dump": a dictionary
// and the records of its tables. Records come through the library's
// exported interface and are decoded with the dictionary's layouts; nothing
// is ever written beside the data.
#include <iostream>
#include <memory>
#include <optional>

#include "browse/key_bounds.h"
#include "browse/record_writers.h"
#include "browse/schema_lists.h"
#include "browse/table_reader.h"
#include "browse/terminal.h"
#include "browse_session.h"
#include "tavelnor/zavl.h"
#include "tool_commands.h"

namespace tavelnor::tool {

void AddExportCommand(CLI::App& app);

namespace {

std::string Hex16(uint16_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}

std::string TypeText(uint16_t code) {
  const char* name = StoredTypeName(code);
  return std::to_string(code) + (*name ? std::string(" ") + name : "");
}

struct ListOptions {
  SourceOptions source;
  std::string table;
  CLI::Option* table_operand = nullptr;
  bool exchange = false;
  bool names_only = false;
  DataOptions data;
};

// The type a field is shown with: its stored type code, or a DDF column's type.
std::string FieldTypeText(const FieldModel* f, uint16_t code) {
  if (f != nullptr && f->ddf) return "DDF " + std::string(ddf::DdfTypeName(f->ddf->type));
  return TypeText(code);
}

void RunTables(ListOptions opt) {
  opt.source.Resolve({});
  auto session = OpenSession(opt.source);
  if (!session) return;
  if (opt.names_only) {
    for (const TableModel& t : session->model.Tables()) std::cout << t.name << "\n";
    return;
  }
  if (opt.exchange) {
    // The lengths a host sees in exchange mode come from the library's list.
    Schema exchange(session->dictionary, SCHEMA_EXCHANGE | SCHEMA_QUIET);
    std::vector<TableInfo> tables;
    int32_t code = 0;
    if (!exchange.ok()) return Fail(ZAVL_GetLastError(), session->dictionary);
    if (!ReadTableList(exchange, &tables, &code)) return Fail(code, "table list");
    TextTable out({"table", "exchange length"}, {false, true});
    for (const TableInfo& t : tables) out.AddRow({t.name, std::to_string(t.length)});
    out.Print(std::cout, IsTerminal(1));
    return;
  }
  DataLocation location;
  if (!opt.data.Resolve(*session, &location)) return;
  // A DDF set's listing marks the tables that describe the set itself.
  const bool ddf = !session->ddf_files.empty();
  std::vector<std::string> heads = {"table", "record length", "file", "exists", "records"};
  std::vector<bool> right = {false, true, false, false, true};
  if (ddf) {
    heads.push_back("system");
    right.push_back(false);
  }
  TextTable out(heads, right);
  for (const TableModel& t : session->model.Tables()) {
    const std::string path = DataFilePath(t, location);
    const std::string problem = DataFileProblem(path);
    std::string records;
    if (problem.empty()) {
      TableReader reader;
      WalkError error;
      if (reader.Open(*session->schema, t, path, &error)) {
        const int64_t n = reader.RecordCount();
        records = n < 0 ? "?" : std::to_string(n);
      } else {
        records = "error " + std::to_string(error.code);
      }
    }
    std::vector<std::string> row = {t.name, std::to_string(t.record_length), path,
                                    problem.empty() ? "yes" : problem == "does not exist" ? "no" : "unreadable",
                                    records};
    if (ddf) row.push_back(session->IsSystemTable(t.name) ? "yes" : "");
    out.AddRow(row);
  }
  out.Print(std::cout, IsTerminal(1));
}

// Resolves the source and the table operand (throws the command line's error).
void ResolveTableOperand(SourceOptions* source, std::string* table, CLI::Option* operand) {
  source->Resolve({{table, operand}});
  source->table = *table;
}

void RunFields(ListOptions opt) {
  ResolveTableOperand(&opt.source, &opt.table, opt.table_operand);
  auto session = OpenSession(opt.source);
  if (!session) return;
  const TableModel* table = FindTableOrFail(*session, opt.table);
  if (table == nullptr) return;
  if (opt.exchange) {
    // Exchange types and slot sizes, as the library's field list gives them.
    Schema exchange(session->dictionary, SCHEMA_EXCHANGE | SCHEMA_QUIET);
    std::string name;
    std::vector<FieldInfo> fields;
    int32_t code = 0;
    if (!exchange.ok()) return Fail(ZAVL_GetLastError(), session->dictionary);
    if (!LibraryName(table->name, &name) || !ReadFieldList(exchange, name, &fields, &code)) {
      return Fail(code, "table " + table->name);
    }
    TextTable out({"field", "type", "size", "precision", "display name", "category", "user"},
                  {false, false, true, true, false, false, false});
    for (const FieldInfo& f : fields) {
      const char* type_name = ExchangeTypeName(static_cast<uint8_t>(f.type));
      std::string type = std::to_string(f.type);
      if (*type_name != '\0') type += " " + std::string(type_name);
      out.AddRow({f.name, type, std::to_string(f.size), std::to_string(f.precision),
                  f.display_name, f.category, f.user_defined ? "yes" : ""});
    }
    out.Print(std::cout, IsTerminal(1));
    return;
  }
  TextTable out({"field", "type", "offset", "size", "precision", "display name", "category",
                 "user"},
                {false, false, true, true, true, false, false, false});
  for (const FieldModel& f : table->fields) {
    out.AddRow({f.name, FieldTypeText(&f, f.type_code), std::to_string(f.offset), std::to_string(f.size),
                std::to_string(f.precision), f.label, f.category, f.user_defined ? "yes" : ""});
  }
  out.Print(std::cout, IsTerminal(1));
}

void RunKeys(ListOptions opt) {
  ResolveTableOperand(&opt.source, &opt.table, opt.table_operand);
  auto session = OpenSession(opt.source);
  if (!session) return;
  const TableModel* table = FindTableOrFail(*session, opt.table);
  if (table == nullptr) return;
  TextTable out({"key", "name", "unique", "segment", "field", "offset", "length", "type", "flags"},
                {true, false, false, true, false, true, true, false, false});
  for (const KeyModel& k : table->keys) {
    if (k.segments.empty()) {
      out.AddRow({std::to_string(k.number), k.name, k.unique ? "yes" : "no"});
    }
    for (size_t i = 0; i < k.segments.size(); ++i) {
      const KeySegmentModel& s = k.segments[i];
      out.AddRow({std::to_string(k.number), k.name, k.unique ? "yes" : "no",
                  std::to_string(i + 1), s.field.empty() ? "?" : s.field, std::to_string(s.offset),
                  std::to_string(s.length), FieldTypeText(table->FindField(s.field), s.type_code),
                  Hex16(s.flags)});
    }
  }
  out.Print(std::cout, IsTerminal(1));
}

void RunCategories(const ListOptions& opt) {
  Schema schema(opt.source.dictionary, SCHEMA_QUIET);
  if (!schema.ok()) {
    OpenSession(opt.source.dictionary);  // prints why
    return;
  }
  std::vector<CategoryInfo> categories;
  int32_t code = 0;
  if (!ReadCategoryList(schema, &categories, &code)) return Fail(code, "category list");
  TextTable out({"category", "label", "property", "value"}, {false, false, true, true});
  for (const CategoryInfo& c : categories) {
    out.AddRow({c.name, c.label, std::to_string(c.property), std::to_string(c.value)});
  }
  out.Print(std::cout, IsTerminal(1));
}

struct DumpOptions {
  SourceOptions source;
  std::string table;
  CLI::Option* table_operand = nullptr;
  std::optional<std::string> key;
  std::optional<std::string> from, to, prefix;
  std::string key_type = "auto";
  std::vector<std::string> where;
  int64_t limit = -1;
  std::string format;
  ValueFormOptions forms;
  std::string blob_folder;
  DataOptions data;
};

// The key number of --key (a number or a key's name); -1 for physical order.
bool ResolveKey(const TableModel& table, const std::string& text, int32_t* number) {
  if (text == "-1") {
    *number = -1;
    return true;
  }
  if (const KeyModel* k = table.FindKey(text)) {
    *number = k->number;
    return true;
  }
  std::string names;
  for (const KeyModel& k : table.keys) names += (names.empty() ? "" : ", ") + std::to_string(k.number) + " " + k.name;
  RequestError("table " + table.name + " has no key \"" + text + "\"" +
               (names.empty() ? " (it has no key)" : " (its keys: " + names + ")"));
  return false;
}

void RunDump(DumpOptions opt) {
  ResolveTableOperand(&opt.source, &opt.table, opt.table_operand);
  OutputFormat format = IsTerminal(1) ? OutputFormat::kTable : OutputFormat::kCsv;
  if (!opt.format.empty() && !ParseOutputFormat(opt.format, &format)) {
    return RequestError("--format takes table, csv or jsonl");
  }
  WriteOptions write;
  if (!opt.forms.Resolve(&write)) return;
  KeyEncoding encoding = KeyEncoding::kAuto;
  if (!ParseKeyEncoding(opt.key_type, &encoding)) {
    return RequestError("--key-type takes auto, text, int32, int16 or hex");
  }
  auto session = OpenSession(opt.source);
  if (!session) return;
  const TableModel* table = FindTableOrFail(*session, opt.table);
  if (table == nullptr) return;
  DataLocation location;
  if (!opt.data.Resolve(*session, &location)) return;

  WalkOptions walk;
  walk.limit = opt.limit;
  if (opt.key) {
    int32_t number = 0;
    if (!ResolveKey(*table, *opt.key, &number)) return;
    walk.key = number;
  }
  // Key values are encoded as the key's first segment stores them.
  const FieldModel* first = nullptr;
  const int32_t key_number = walk.key.value_or(0);
  if (key_number >= 0 && static_cast<size_t>(key_number) < table->keys.size()) {
    const KeyModel& k = table->keys[static_cast<size_t>(key_number)];
    if (!k.segments.empty()) {
      const KeySegmentModel& s = k.segments.front();
      const FieldModel* f = table->FindField(s.field);
      if (f != nullptr && f->offset == s.offset && f->size == s.length) first = f;
    }
  } else if ((opt.from || opt.to || opt.prefix) && key_number < 0) {
    return RequestError("--from, --to and --prefix need a key, not the physical order");
  }
  if ((opt.from || opt.to || opt.prefix) && !table->keys.empty() &&
      static_cast<size_t>(key_number) >= table->keys.size()) {
    return RequestError("table " + table->name + " has no key " + std::to_string(key_number));
  }
  std::string problem;
  if (!BuildKeyBounds(opt.from, opt.to, opt.prefix, encoding, first, &walk.bounds, &problem)) {
    return RequestError(problem);
  }
  for (const std::string& w : opt.where) {
    const size_t eq = w.find('=');
    if (eq == std::string::npos || eq == 0) {
      return RequestError("--where takes FIELD=VALUE, not \"" + w + "\"");
    }
    walk.where.emplace_back(w.substr(0, eq), w.substr(eq + 1));
  }
  if (write.blobs == BlobMode::kFiles) {
    write.blob_folder = opt.blob_folder.empty() ? table->name + ".blobs" : opt.blob_folder;
  }

  TableReader reader;
  WalkError error;
  if (!reader.Open(*session->schema, *table, DataFilePath(*table, location), &error)) {
    return ReportWalkError(error);
  }
  // The writer starts (a CSV header) only once the selection holds.
  std::unique_ptr<RecordWriter> writer;
  const bool ok = reader.Walk(
      walk,
      [&writer](const std::vector<FieldValue>& values) {
        writer->Row(values);
        return writer->Error().empty() && std::cout.good();
      },
      &error, [&] { writer = MakeRecordWriter(format, *table, write, std::cout); });
  if (writer) {
    writer->Finish();
    if (!writer->Error().empty()) {
      std::cerr << "tavelnor: " << writer->Error() << "\n";
      SetExitCode(1);
    }
  }
  for (const std::string& w : reader.UnreadValues()) std::cerr << "tavelnor: warning: " << w << "\n";
  if (!ok) ReportWalkError(error);
}

}  // namespace

void AddBrowseCommands(CLI::App& app) {
  auto tables_opt = std::make_shared<ListOptions>();
  CLI::App* tables = app.add_subcommand(
      "tables", "List the tables of a dictionary: record length, data file, whether it exists "
                "and its record count");
  AddSourceOptions(tables, &tables_opt->source);
  tables->add_flag("--exchange", tables_opt->exchange,
                   "give the length of the exchange record instead of the stored one");
  tables->add_flag("--names-only", tables_opt->names_only, "print only the table names");
  AddDataOptions(tables, &tables_opt->data);
  AddEncodingOption(tables);
  tables->callback([tables_opt] { RunTables(*tables_opt); });

  auto fields_opt = std::make_shared<ListOptions>();
  CLI::App* fields = app.add_subcommand(
      "fields", "List the fields of a table: stored type, offset, size, decimals, label, category");
  AddSourceOptions(fields, &fields_opt->source);
  fields_opt->table_operand = fields->add_option("table", fields_opt->table, "table name");
  fields->add_flag("--exchange", fields_opt->exchange,
                   "give exchange types and slot sizes instead of stored ones");
  AddEncodingOption(fields);
  fields->callback([fields_opt] { RunFields(*fields_opt); });

  auto keys_opt = std::make_shared<ListOptions>();
  CLI::App* keys = app.add_subcommand(
      "keys", "List the keys of a table: number, name, uniqueness and each segment's field, "
              "offset, length, type and flags");
  AddSourceOptions(keys, &keys_opt->source);
  keys_opt->table_operand = keys->add_option("table", keys_opt->table, "table name");
  AddEncodingOption(keys);
  keys->callback([keys_opt] { RunKeys(*keys_opt); });

  auto cat_opt = std::make_shared<ListOptions>();
  CLI::App* categories = app.add_subcommand("categories", "List the categories of a dictionary");
  categories->add_option("dictionary", cat_opt->source.dictionary, "dictionary file")->required();
  AddEncodingOption(categories);
  categories->callback([cat_opt] { RunCategories(*cat_opt); });

  auto dump_opt = std::make_shared<DumpOptions>();
  CLI::App* dump = app.add_subcommand(
      "dump",
      "Print the records of a table: an aligned table on a terminal, CSV otherwise.\n"
      "Key values are read as the key's first segment stores them (--key-type auto):\n"
      "a date, an amount, an integer or a text; a text shorter than the key matches\n"
      "the keys that begin with it.");
  AddSourceOptions(dump, &dump_opt->source);
  dump_opt->table_operand = dump->add_option("table", dump_opt->table, "table name");
  AddDataOptions(dump, &dump_opt->data);
  AddEncodingOption(dump);
  dump->add_option("--key", dump_opt->key, "walk along this key: its number or name (-1: physical order)");
  dump->add_option("--from", dump_opt->from, "first key value (key 0 unless --key)");
  dump->add_option("--to", dump_opt->to, "last key value, its missing bytes at their top");
  dump->add_option("--prefix", dump_opt->prefix, "only the keys that begin with this value");
  dump->add_option("--key-type", dump_opt->key_type, "auto, text, int32, int16 or hex");
  dump->add_option("--where", dump_opt->where,
                   "FIELD=VALUE: records whose field holds VALUE (repeatable); dates, amounts "
                   "and booleans as the tool prints them or in their local forms")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  dump->add_option("--limit", dump_opt->limit, "print at most N records")
      ->check(CLI::NonNegativeNumber);
  dump->add_option("--format", dump_opt->format, "table, csv or jsonl");
  AddValueFormOptions(dump, &dump_opt->forms, "in --blob-folder");
  dump->add_option("--blob-folder", dump_opt->blob_folder,
                   "with --blobs files: the folder of the files (default TABLE.blobs)");
  dump->callback([dump_opt] { RunDump(*dump_opt); });

  AddExportCommand(app);
}

}  // namespace tavelnor::tool
