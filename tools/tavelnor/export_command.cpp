// "tavelnor export DICT DIR" (or "--ddf SET DIR"): the tables of a
// dictionary or a DDF set into DIR as <table>.csv and <table>.jsonl, and all
// of them into one SQLite database DIR/<dictionary file or set folder
// name>.sqlite with their keys, indexes, links and
// descriptions. Progress goes to standard error when it is a terminal; the
// last line says what was written and what failed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "browse/record_writers.h"
#include "browse/sqlite_export.h"
#include "browse/table_reader.h"
#include "browse/text_codec.h"
#include "browse/terminal.h"
#include "browse_session.h"
#include "tavelnor/zavl.h"
#include "tool_commands.h"

namespace tavelnor::tool {
namespace {

namespace fs = std::filesystem;

struct ExportOptions {
  SourceOptions source;
  std::string folder;
  CLI::Option* folder_operand = nullptr;
  bool system_tables = false;
  std::string tables;
  std::string formats = "csv,jsonl,sqlite";
  ValueFormOptions forms;
  int64_t limit = -1;
  DataOptions data;
};

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    if (!item.empty()) out.push_back(item);
  }
  return out;
}

std::string Thousands(int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
  return (n < 0 ? "-" : "") + digits;
}

// One line on a terminal, redrawn as the export moves on: the part done
// weighted by records, the rate and the time left.
class Progress {
 public:
  Progress(bool shown, int64_t total) : shown_(shown), total_(total) {}

  void Show(const std::string& table, int64_t done) {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (done != 0 && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0.2 ? static_cast<double>(done) / seconds : 0;
    const double part = total_ > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total_)) : 0;
    constexpr int kWidth = 24;
    const int filled = static_cast<int>(part * kWidth);
    std::string line = "\r[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(kWidth - filled), '.') + "] ";
    char buf[96];
    std::snprintf(buf, sizeof buf, "%3d%% ", static_cast<int>(part * 100));
    line += buf + Thousands(done) + "/" + Thousands(total_) + " records";
    if (rate > 0) {
      line += "  " + Thousands(static_cast<int64_t>(rate)) + "/s";
      if (total_ > done) {
        const auto left = static_cast<int64_t>(static_cast<double>(total_ - done) / rate);
        std::snprintf(buf, sizeof buf, "  %lld:%02lld left", static_cast<long long>(left / 60),
                      static_cast<long long>(left % 60));
        line += buf;
      }
    }
    std::cerr << line << "  " << table << "\x1b[K" << std::flush;
    drawn_ = true;
  }
  // Clears the line so that a message gets one of its own.
  void Clear() {
    if (shown_ && drawn_) std::cerr << "\r\x1b[K" << std::flush;
    drawn_ = false;
  }

 private:
  bool shown_;
  int64_t total_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_{};
};

struct Formats {
  bool csv = false, jsonl = false, sqlite = false;
};

class Exporter {
 public:
  Exporter(const Session& session, const ExportOptions& opt, const DataLocation& location,
           const Formats& formats, const WriteOptions& write)
      : session_(session), opt_(opt), location_(location), formats_(formats), write_(write) {}

  void Run(const std::vector<const TableModel*>& tables) {
    const fs::path folder = fs::u8path(opt_.folder);
    // Each table's file, checked before anything is written.
    int64_t total = 0;
    std::vector<std::pair<const TableModel*, std::string>> readable;
    for (const TableModel* t : tables) {
      const std::string path = DataFilePath(*t, location_);
      TableReader probe;
      WalkError error;
      if (!probe.Open(*session_.schema, *t, path, &error)) {
        Failed(*t, error);
        continue;
      }
      const int64_t n = probe.RecordCount();
      total += opt_.limit >= 0 ? std::min(n, opt_.limit) : std::max<int64_t>(n, 0);
      readable.emplace_back(t, path);
    }
    progress_ = std::make_unique<Progress>(IsTerminal(2), total);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) {
      std::cerr << "tavelnor: cannot create folder " << opt_.folder << "\n";
      SetExitCode(1);
      return;
    }
    SqliteExport db;
    if (formats_.sqlite) {
      std::vector<const TableModel*> exported;
      for (const auto& [t, path] : readable) exported.push_back(t);
      const fs::path db_path = folder / fs::u8path(session_.name + ".sqlite");
      if (!db.Create(db_path.string(), exported)) {
        std::cerr << "tavelnor: SQLite " << db_path.string() << ": " << db.LastError() << "\n";
        SetExitCode(1);
        return;
      }
    }
    for (const auto& [t, path] : readable) ExportTable(*t, path, folder, db);
    if (formats_.sqlite) {
      if (!db.Finish(session_.model.Categories())) {
        progress_->Clear();
        std::cerr << "tavelnor: SQLite: " << db.LastError() << "\n";
        SetExitCode(1);
      }
      for (const std::string& w : db.TakeWarnings()) {
        progress_->Clear();
        std::cerr << "tavelnor: warning: " << w << "\n";
      }
    }
    progress_->Clear();
    std::cout << "exported " << written_ << " of " << tables.size() << " tables, "
              << Thousands(records_) << " records, to " << folder.string();
    if (!failed_.empty()) {
      std::cout << "; " << failed_.size() << (failed_.size() == 1 ? " table" : " tables")
                << " failed:";
      for (const std::string& name : failed_) std::cout << " " << name;
      SetExitCode(1);
    }
    std::cout << "\n";
  }

 private:
  void Failed(const TableModel& table, const WalkError& error) {
    if (progress_) progress_->Clear();
    ReportWalkError(error);
    SetExitCode(1);
    failed_.push_back(table.name);
  }

  void Failed(const TableModel& table, const std::string& message) {
    progress_->Clear();
    std::cerr << "tavelnor: " << table.name << ": " << message << "\n";
    SetExitCode(1);
    failed_.push_back(table.name);
  }

  void ExportTable(const TableModel& table, const std::string& path, const fs::path& folder,
                   SqliteExport& db) {
    TableReader reader;
    WalkError error;
    if (!reader.Open(*session_.schema, table, path, &error)) return Failed(table, error);
    const std::string base = FileSafeName(table.name);
    WriteOptions write = write_;
    write.blob_folder = (folder / fs::u8path(base + ".blobs")).string();
    write.blob_base = folder.string();
    std::ofstream csv, jsonl;
    std::unique_ptr<RecordWriter> csv_writer, jsonl_writer;
    if (formats_.csv) {
      csv.open(folder / fs::u8path(base + ".csv"), std::ios::binary);
      if (!csv) return Failed(table, "cannot write " + (folder / fs::u8path(base + ".csv")).string());
      csv_writer = MakeRecordWriter(OutputFormat::kCsv, table, write, csv);
    }
    if (formats_.jsonl) {
      jsonl.open(folder / fs::u8path(base + ".jsonl"), std::ios::binary);
      if (!jsonl) return Failed(table, "cannot write " + (folder / fs::u8path(base + ".jsonl")).string());
      jsonl_writer = MakeRecordWriter(OutputFormat::kJsonl, table, write, jsonl);
    }
    if (formats_.sqlite && !db.BeginTable(table)) {
      return Failed(table, "SQLite: " + db.LastError());
    }
    int64_t done = 0;
    bool db_ok = true;
    WalkOptions walk;
    walk.limit = opt_.limit;
    progress_->Show(table.name, records_);
    const bool walked = reader.Walk(
        walk,
        [&](const std::vector<FieldValue>& values) {
          if (csv_writer) csv_writer->Row(values);
          if (jsonl_writer) jsonl_writer->Row(values);
          if (formats_.sqlite) db_ok = db.AddRow(values);
          if (++done % 1024 == 0) progress_->Show(table.name, records_ + done);
          return db_ok && (!csv_writer || csv_writer->Error().empty()) &&
                 (!jsonl_writer || jsonl_writer->Error().empty());
        },
        &error);
    records_ += done;
    if (formats_.sqlite && (!db.EndTable() || !db_ok)) {
      return Failed(table, "SQLite: " + db.LastError());
    }
    for (RecordWriter* w : {csv_writer.get(), jsonl_writer.get()}) {
      if (w != nullptr && !w->Error().empty()) return Failed(table, w->Error());
    }
    for (const std::string& w : reader.UnreadValues()) {
      progress_->Clear();
      std::cerr << "tavelnor: warning: " << w << "\n";
    }
    if (!walked) return Failed(table, error);
    if ((formats_.csv && !csv.flush()) || (formats_.jsonl && !jsonl.flush())) {
      return Failed(table, "cannot write into " + folder.string());
    }
    ++written_;
  }

  const Session& session_;
  const ExportOptions& opt_;
  const DataLocation& location_;
  Formats formats_;
  WriteOptions write_;
  std::unique_ptr<Progress> progress_;
  size_t written_ = 0;
  int64_t records_ = 0;
  std::vector<std::string> failed_;
};

void RunExport(ExportOptions opt) {
  opt.source.Resolve({{&opt.folder, opt.folder_operand}});
  Formats formats;
  for (const std::string& f : SplitList(opt.formats)) {
    if (f == "csv") {
      formats.csv = true;
    } else if (f == "jsonl") {
      formats.jsonl = true;
    } else if (f == "sqlite") {
      formats.sqlite = true;
    } else {
      return RequestError("--formats takes a list of csv, jsonl and sqlite, not \"" + f + "\"");
    }
  }
  if (!formats.csv && !formats.jsonl && !formats.sqlite) {
    return RequestError("--formats names no format");
  }
  WriteOptions write;
  if (!opt.forms.Resolve(&write)) return;
  auto session = OpenSession(opt.source);
  if (!session) return;
  DataLocation location;
  if (!opt.data.Resolve(*session, &location)) return;
  std::vector<const TableModel*> tables;
  if (opt.tables.empty()) {
    // A DDF set's own tables only when asked for.
    for (const TableModel& t : session->model.Tables()) {
      if (opt.system_tables || !session->IsSystemTable(t.name)) tables.push_back(&t);
    }
  } else {
    for (const std::string& name : SplitList(opt.tables)) {
      const TableModel* t = FindTableOrFail(*session, name);
      if (t == nullptr) return;
      tables.push_back(t);
    }
  }
  Exporter exporter(*session, opt, location, formats, write);
  exporter.Run(tables);
}

}  // namespace

void AddExportCommand(CLI::App& app) {
  auto opt = std::make_shared<ExportOptions>();
  CLI::App* cmd = app.add_subcommand(
      "export",
      "Write the tables into a folder as CSV, JSON Lines and one SQLite database with their\n"
      "keys, indexes, links and the dictionary's descriptions. The data files are only read.");
  AddSourceOptions(cmd, &opt->source);
  opt->folder_operand = cmd->add_option("folder", opt->folder, "folder to write into (created when missing)");
  cmd->add_flag("--system-tables", opt->system_tables,
                "with --ddf: export the set's own X$ tables too");
  AddDataOptions(cmd, &opt->data);
  AddEncodingOption(cmd);
  cmd->add_option("--tables", opt->tables, "T1,T2...: only these tables");
  cmd->add_option("--formats", opt->formats, "csv,jsonl,sqlite: the formats to write (default all)");
  AddValueFormOptions(cmd, &opt->forms, "under FOLDER/TABLE.blobs");
  cmd->add_option("--limit", opt->limit, "export at most N records of each table")
      ->check(CLI::NonNegativeNumber);
  cmd->callback([opt] { RunExport(*opt); });
}

}  // namespace tavelnor::tool
