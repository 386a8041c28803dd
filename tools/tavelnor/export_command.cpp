// "tavelnor export DICT DIR": every table of a dictionary into DIR as
// <table>.csv and <table>.jsonl, and all of them into one SQLite database
// DIR/<dictionary file name>.sqlite. A progress bar goes to standard error
// when it is a terminal.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "browse/record_writers.h"
#include "browse/schema_lists.h"
#include "browse/sqlite_export.h"
#include "browse/table_reader.h"
#include "browse/terminal.h"
#include "tavelnor/zavl.h"
#include "tool_commands.h"

namespace tavelnor::tool {
namespace {

namespace fs = std::filesystem;

struct ExportOptions {
  std::string dictionary;
  std::string folder;
};

// A table name as a file name: separators and other awkward characters
// become "_".
std::string FileNameOf(const std::string& table) {
  std::string out;
  for (char c : table) {
    const bool awkward = c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
                         c == '<' || c == '>' || c == '|' || static_cast<unsigned char>(c) < 0x20;
    out += awkward ? '_' : c;
  }
  return out.empty() || out == "." || out == ".." ? "_" + out : out;
}

constexpr int kBarWidth = 30;

// One line on a terminal, redrawn as the export moves on.
class ProgressBar {
 public:
  explicit ProgressBar(bool shown) : shown_(shown) {}
  void Show(size_t table_index, size_t tables, const std::string& name, int64_t done,
            int64_t total) {
    if (!shown_) return;
    constexpr int kWidth = kBarWidth;
    const double part = tables == 0 ? 1.0
                                    : (static_cast<double>(table_index) +
                                       (total > 0 ? static_cast<double>(done) / total : 0.0)) /
                                          static_cast<double>(tables);
    const int filled = static_cast<int>(part * kWidth + 0.5);
    std::cerr << "\r[" << std::string(static_cast<size_t>(std::min(filled, kWidth)), '#')
              << std::string(static_cast<size_t>(kWidth - std::min(filled, kWidth)), '.') << "] "
              << (table_index + 1 > tables ? tables : table_index + 1) << "/" << tables << " "
              << name << " " << done;
    if (total > 0) std::cerr << "/" << total;
    std::cerr << "\x1b[K" << std::flush;
  }
  // The bar full, and the line ended.
  void Done(size_t tables) {
    if (!shown_) return;
    std::cerr << "\r[" << std::string(kBarWidth, '#') << "] " << tables << "/" << tables
              << " done\x1b[K\n";
  }

 private:
  bool shown_;
};

// Writes one table; false after reporting its failure.
bool ExportTable(const Schema& schema, const std::string& table, const fs::path& folder,
                 SqliteExport& db, ProgressBar& bar, size_t index, size_t count) {
  TableReader reader;
  WalkError error;
  if (!reader.Open(schema, table, &error)) {
    Fail(error.code, error.detail);
    return false;
  }
  const std::string base = FileNameOf(table);
  std::ofstream csv(folder / (base + ".csv"), std::ios::binary);
  std::ofstream jsonl(folder / (base + ".jsonl"), std::ios::binary);
  if (!csv || !jsonl) {
    std::cerr << "tavelnor: cannot write " << (folder / base).string() << ".*\n";
    SetExitCode(1);
    return false;
  }
  auto csv_writer = MakeRecordWriter(OutputFormat::kCsv, reader.Layout(), csv);
  auto jsonl_writer = MakeRecordWriter(OutputFormat::kJsonl, reader.Layout(), jsonl);
  if (!db.BeginTable(table, reader.Layout())) {
    std::cerr << "tavelnor: SQLite: " << db.LastError() << "\n";
    SetExitCode(1);
    return false;
  }
  const int64_t total = reader.RecordCount();
  int64_t done = 0;
  bool db_ok = true;
  bar.Show(index, count, table, 0, total);
  const bool walked = reader.Walk(
      WalkOptions{},
      [&](const std::vector<Cell>& cells) {
        csv_writer->Row(cells);
        jsonl_writer->Row(cells);
        db_ok = db.AddRow(cells);
        if (++done % 200 == 0) bar.Show(index, count, table, done, total);
        return db_ok;
      },
      &error);
  bar.Show(index, count, table, done, total);
  if (!db.EndTable() || !db_ok) {
    std::cerr << "\ntavelnor: SQLite: " << db.LastError() << "\n";
    SetExitCode(1);
    return false;
  }
  if (!walked) {
    Fail(error.code, error.detail);
    return false;
  }
  if (!csv.flush() || !jsonl.flush()) {
    std::cerr << "tavelnor: cannot write " << (folder / base).string() << ".*\n";
    SetExitCode(1);
    return false;
  }
  return true;
}

void RunExport(const ExportOptions& opt) {
  auto schema = std::make_unique<Schema>(opt.dictionary, SCHEMA_EXCHANGE | SCHEMA_QUIET);
  if (!schema->ok()) return Fail(ZAVL_GetLastError(), opt.dictionary);
  std::vector<TableInfo> tables;
  int32_t code = 0;
  if (!ReadTableList(*schema, &tables, &code)) return Fail(code, "table list");

  const fs::path folder(opt.folder);
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    std::cerr << "tavelnor: cannot create folder " << opt.folder << "\n";
    SetExitCode(1);
    return;
  }
  SqliteExport db;
  const fs::path db_path = folder / (fs::path(opt.dictionary).stem().string() + ".sqlite");
  if (!db.Create(db_path.string())) {
    std::cerr << "tavelnor: SQLite: " << db.LastError() << "\n";
    SetExitCode(1);
    return;
  }
  ProgressBar bar(IsTerminal(2));
  size_t written = 0;
  for (size_t i = 0; i < tables.size(); ++i) {
    if (ExportTable(*schema, tables[i].name, folder, db, bar, i, tables.size())) ++written;
  }
  bar.Done(tables.size());
  std::cout << "exported " << written << " of " << tables.size() << " tables to "
            << folder.string() << "\n";
}

}  // namespace

void AddExportCommand(CLI::App& app) {
  auto opt = std::make_shared<ExportOptions>();
  CLI::App* cmd = app.add_subcommand(
      "export", "Write every table to DIR as CSV, JSON Lines and one SQLite database");
  cmd->add_option("dictionary", opt->dictionary, "dictionary file")->required();
  cmd->add_option("folder", opt->folder, "folder to write into (created when missing)")
      ->required();
  cmd->callback([opt] { RunExport(*opt); });
}

}  // namespace tavelnor::tool
