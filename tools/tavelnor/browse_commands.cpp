// "tavelnor tables", "fields", "categories" and "dump": a dictionary and the
// records of its tables, read through the library's exported interface only.
#include <iostream>
#include <memory>
#include <optional>

#include "browse/exchange_values.h"
#include "browse/key_bounds.h"
#include "browse/record_writers.h"
#include "browse/schema_lists.h"
#include "browse/table_reader.h"
#include "browse/terminal.h"
#include "tavelnor/zavl.h"
#include "tool_commands.h"

namespace tavelnor::tool {

void AddExportCommand(CLI::App& app);

namespace {

// A mistake in the command line itself (no library call failed).
void RequestError(const std::string& message) {
  std::cerr << "tavelnor: " << message << "\n";
  SetExitCode(2);
}

void ReportWalkError(const WalkError& e) {
  if (e.code == 0) {
    RequestError(e.detail);
  } else {
    Fail(e.code, e.detail);
  }
}

// The dictionary at `path`, or null after printing the library's error.
std::unique_ptr<Schema> OpenDictionary(const std::string& path, uint32_t flags) {
  auto schema = std::make_unique<Schema>(path, flags | SCHEMA_QUIET);
  if (!schema->ok()) {
    Fail(ZAVL_GetLastError(), path);
    return nullptr;
  }
  return schema;
}

struct ListOptions {
  std::string dictionary;
  std::string table;
  bool exchange = false;
};

void RunTables(const ListOptions& opt) {
  auto schema = OpenDictionary(opt.dictionary, opt.exchange ? SCHEMA_EXCHANGE : 0);
  if (!schema) return;
  std::vector<TableInfo> tables;
  int32_t code = 0;
  if (!ReadTableList(*schema, &tables, &code)) return Fail(code, "table list");
  TextTable out({"table", opt.exchange ? "exchange length" : "record length"}, {false, true});
  for (const TableInfo& t : tables) out.AddRow({t.name, std::to_string(t.length)});
  out.Print(std::cout, IsTerminal(1));
}

void RunFields(const ListOptions& opt) {
  auto schema = OpenDictionary(opt.dictionary, opt.exchange ? SCHEMA_EXCHANGE : 0);
  if (!schema) return;
  std::string name;
  if (!LibraryName(opt.table, &name)) return RequestError("table name outside Windows-1252");
  std::vector<FieldInfo> fields;
  int32_t code = 0;
  if (!ReadFieldList(*schema, name, &fields, &code)) return Fail(code, "table " + opt.table);
  TextTable out({"field", "type", "size", "precision", "display name", "category", "user"},
                {false, false, true, true, false, false, false});
  for (const FieldInfo& f : fields) {
    const char* type_name = opt.exchange ? ExchangeTypeName(static_cast<uint8_t>(f.type))
                                         : TypeCodeName(f.type);
    std::string type = std::to_string(f.type);
    if (*type_name != '\0') type += " " + std::string(type_name);
    out.AddRow({f.name, type, std::to_string(f.size), std::to_string(f.precision),
                f.display_name, f.category, f.user_defined ? "yes" : ""});
  }
  out.Print(std::cout, IsTerminal(1));
}

void RunCategories(const ListOptions& opt) {
  auto schema = OpenDictionary(opt.dictionary, 0);
  if (!schema) return;
  std::vector<CategoryInfo> categories;
  int32_t code = 0;
  if (!ReadCategoryList(*schema, &categories, &code)) return Fail(code, "category list");
  TextTable out({"category", "label", "property", "value"}, {false, false, true, true});
  for (const CategoryInfo& c : categories) {
    out.AddRow({c.name, c.label, std::to_string(c.property), std::to_string(c.value)});
  }
  out.Print(std::cout, IsTerminal(1));
}

struct DumpOptions {
  std::string dictionary;
  std::string table;
  std::optional<int32_t> key;
  std::optional<std::string> from, to, prefix;
  std::string key_type = "auto";
  std::vector<std::string> where;
  int64_t limit = -1;
  std::string format;
};

void RunDump(const DumpOptions& opt) {
  WalkOptions walk;
  walk.key = opt.key;
  walk.limit = opt.limit;
  KeyEncoding encoding = KeyEncoding::kAuto;
  if (!ParseKeyEncoding(opt.key_type, &encoding)) {
    return RequestError("--key-type takes auto, text, int32, int16 or hex");
  }
  std::string problem;
  if (!BuildKeyBounds(opt.from, opt.to, opt.prefix, encoding, &walk.bounds, &problem)) {
    return RequestError(problem);
  }
  for (const std::string& w : opt.where) {
    const size_t eq = w.find('=');
    if (eq == std::string::npos || eq == 0) {
      return RequestError("--where takes FIELD=VALUE, not \"" + w + "\"");
    }
    walk.where.emplace_back(w.substr(0, eq), w.substr(eq + 1));
  }
  OutputFormat format = IsTerminal(1) ? OutputFormat::kTable : OutputFormat::kCsv;
  if (!opt.format.empty() && !ParseOutputFormat(opt.format, &format)) {
    return RequestError("--format takes table, csv or jsonl");
  }

  auto schema = OpenDictionary(opt.dictionary, SCHEMA_EXCHANGE);
  if (!schema) return;
  TableReader reader;
  WalkError error;
  if (!reader.Open(*schema, opt.table, &error)) return ReportWalkError(error);
  if (!reader.LayoutConsistent()) {
    std::cerr << "tavelnor: warning: the field list of " << opt.table
              << " does not add up to its exchange record; some values may be missing\n";
  }
  // The writer starts (a CSV header) only once the selection holds.
  std::unique_ptr<RecordWriter> writer;
  const bool ok = reader.Walk(
      walk,
      [&writer](const std::vector<Cell>& cells) {
        writer->Row(cells);
        return true;
      },
      &error, [&] { writer = MakeRecordWriter(format, reader.Layout(), std::cout); });
  if (writer) writer->Finish();
  if (!ok) ReportWalkError(error);
}

}  // namespace

void AddBrowseCommands(CLI::App& app) {
  auto tables_opt = std::make_shared<ListOptions>();
  CLI::App* tables = app.add_subcommand("tables", "List the tables of a dictionary");
  tables->add_option("dictionary", tables_opt->dictionary, "dictionary file")->required();
  tables->add_flag("--exchange", tables_opt->exchange,
                   "give the length of the exchange record instead of the stored one");
  tables->callback([tables_opt] { RunTables(*tables_opt); });

  auto fields_opt = std::make_shared<ListOptions>();
  CLI::App* fields = app.add_subcommand("fields", "List the fields of a table");
  fields->add_option("dictionary", fields_opt->dictionary, "dictionary file")->required();
  fields->add_option("table", fields_opt->table, "table name")->required();
  fields->add_flag("--exchange", fields_opt->exchange,
                   "give exchange types and slot sizes instead of stored ones");
  fields->callback([fields_opt] { RunFields(*fields_opt); });

  auto cat_opt = std::make_shared<ListOptions>();
  CLI::App* categories = app.add_subcommand("categories", "List the categories of a dictionary");
  categories->add_option("dictionary", cat_opt->dictionary, "dictionary file")->required();
  categories->callback([cat_opt] { RunCategories(*cat_opt); });

  auto dump_opt = std::make_shared<DumpOptions>();
  CLI::App* dump = app.add_subcommand(
      "dump",
      "Print the records of a table: an aligned table on a terminal, CSV otherwise.\n"
      "Key values are encoded by --key-type: auto takes a decimal integer as a 4-byte\n"
      "integer and anything else as text; a text shorter than the key matches the keys\n"
      "that begin with it.");
  dump->add_option("dictionary", dump_opt->dictionary, "dictionary file")->required();
  dump->add_option("table", dump_opt->table, "table name")->required();
  dump->add_option("--key", dump_opt->key, "walk along key N (-1: physical order)");
  dump->add_option("--from", dump_opt->from, "first key value (key 0 unless --key)");
  dump->add_option("--to", dump_opt->to, "last key value, its missing bytes at their top");
  dump->add_option("--prefix", dump_opt->prefix, "only the keys that begin with this value");
  dump->add_option("--key-type", dump_opt->key_type, "auto, text, int32, int16 or hex");
  dump->add_option("--where", dump_opt->where,
                   "FIELD=VALUE: records whose field reads as VALUE (repeatable)")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  dump->add_option("--limit", dump_opt->limit, "print at most N records")
      ->check(CLI::NonNegativeNumber);
  dump->add_option("--format", dump_opt->format, "table, csv or jsonl");
  dump->callback([dump_opt] { RunDump(*dump_opt); });

  AddExportCommand(app);
}

}  // namespace tavelnor::tool
