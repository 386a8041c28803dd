// "tavelnor btrieve stat|check|dump FILE" and "convert OLD NEW": any record
// file the embedded record manager opens -- its own, or one written by an
// earlier engine -- read without a dictionary.
//
// stat reports the file's description like a maintenance utility's
// statistics report: format, page size, lengths, record count, and per key
// its segments (position, length, type, flags, null value, collating
// sequence) and its number of distinct values. A file that is refused gives
// the status and the reader's reason, and exit code 1.
//
// check runs the record manager's full integrity check of a file of its own
// (DataFile::Check) and prints each fault found; a file of an earlier engine
// gets what its reader checks when it opens the file. Exit code 0 when
// nothing is wrong, 1 otherwise. It reads only: nothing is written or
// repaired.
//
// convert writes a file of our own record manager from any file it reads --
// above all one of an earlier engine -- with the same description, records
// at the same addresses and the same key order (btrieve/convert.h), so that
// hosts can write to it. It never replaces an existing file, and a failure
// leaves no new file behind.
//
// dump reads the records through the call interface (Open read-only; Step
// First/Next, or Get First/Next on --key N) and writes each one as a hex and
// ASCII listing, a CSV row or a JSON line: its address (Get Position), its
// length, its bytes in hex and, on a key, the key value in hex.
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "btrieve/btrcall.h"
#include "btrieve/btrieve_codes.h"
#include "btrieve/convert.h"
#include "btrieve/data_file.h"
#include "btrieve/file_spec.h"
#include "btrieve/legacy_data_file.h"
#include "btrieve/sqlite_data_file.h"
#include "btrieve/open_diagnosis.h"
#include "tool_commands.h"

namespace tavelnor::tool {
namespace {

using btrieve::FileSpec;
using btrieve::KeyDef;
using btrieve::Segment;

// Large enough for any record the call interface hands out.
constexpr uint32_t kRecordBuffer = 1u << 20;

std::string TypeName(uint8_t type) {
  static const char* const kNames[] = {
      "STRING", "INTEGER", "FLOAT",   "DATE",    "TIME",  "DECIMAL",
      "MONEY",  "LOGICAL", "NUMERIC", "BFLOAT",  "LSTRING", "ZSTRING",
      nullptr,  nullptr,   "UNSIGNED BINARY", "AUTOINCREMENT", nullptr, "NUMERICSTS",
      "NUMERICSA", "CURRENCY", "TIMESTAMP"};
  if (type < std::size(kNames) && kNames[type] != nullptr) return kNames[type];
  return "type " + std::to_string(type);
}

std::string AcsName(const FileSpec& spec, uint8_t acs) {
  if (acs >= spec.acs.size()) return "ACS " + std::to_string(acs);
  std::string name(reinterpret_cast<const char*>(spec.acs[acs].data() + 1), 8);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
  return name.empty() ? "ACS " + std::to_string(acs) : name;
}

std::string Flags(uint16_t flags) {
  std::string out;
  auto add = [&out](const char* word) { out += out.empty() ? word : std::string(", ") + word; };
  if (flags & btrieve::kKeyDup) add("dup");
  if (flags & btrieve::kKeyRepeatDups) add("repeating dup");
  if (flags & btrieve::kKeyModifiable) add("modifiable");
  if (flags & btrieve::kKeyDescending) add("descending");
  if ((flags & btrieve::kKeyNoCase) && !(flags & btrieve::kKeyAlternate)) add("case-insensitive");
  if (flags & btrieve::kKeyNullAll) add("null (all segments)");
  if (flags & btrieve::kKeyNullAny) add("null (any segment)");
  return out.empty() ? "-" : out;
}

std::string Hex(const uint8_t* p, size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[p[i] >> 4];
    out += kDigits[p[i] & 15];
  }
  return out;
}

void ReportFailure(int status) {
  Fail(status, btrieve::LastOpenDiagnosis());
}

// The damage the reader of an earlier engine's file worked around, every
// key's index built to find it: one warning line each on standard error.
void WarnOfDamage(const btrieve::DataFile& file) {
  const btrieve::LegacyDataFile* legacy = file.legacy();
  if (legacy == nullptr) return;
  (void)legacy->BuildAllKeys();  // a key that cannot be built leaves its reason
  for (const std::string& line : legacy->Warnings()) {
    std::cerr << "tavelnor: warning: " << line << "\n";
  }
}

void RunStat(const std::string& path) {
  std::unique_ptr<btrieve::DataFile> file;
  if (int st = btrieve::DataFile::Open(path, &file); st != btrieve::kOk) {
    ReportFailure(st);
    return;
  }
  const FileSpec& spec = file->spec();
  uint32_t count = 0;
  std::vector<uint32_t> distinct;
  if (int st = file->RecordCount(&count); st != btrieve::kOk) return Fail(st, "record count");
  if (int st = file->DistinctValues(&distinct); st != btrieve::kOk) return Fail(st, "key counts");
  std::ostringstream o;
  o << "File:             " << path << "\n";
  if (const btrieve::LegacyDataFile* legacy = file->legacy()) {
    const btrieve::LegacyInfo& info = legacy->info();
    o << "Format:           Btrieve " << info.major;
    if (info.major == 5) {
      o << ".x format (level " << info.format_level << ", ";
    } else {
      o << "." << info.format_level << " (";
    }
    o << "version word 0x" << std::hex << std::setw(4) << std::setfill('0')
      << static_cast<uint16_t>(info.version_word) << std::dec << std::setfill(' ') << ")"
      << (info.owner_protected ? ", owner name set" : "") << ", read-only\n"
      << "Page size:        " << info.page_size << "\n"
      << "Pages:            " << info.page_count << "\n"
      << "File size:        " << info.file_size << "\n"
      << "Record length:    " << spec.record_length << "\n"
      << "Physical length:  " << info.physical_length << "\n"
      << "Records:          " << count << " (header: " << info.record_count << ")\n";
  } else {
    o << "Format:           " << btrieve::SqliteDataFile::kFormatName << " "
      << btrieve::SqliteDataFile::kFormatVersion << "\n"
      << "Page size:        " << spec.page_size << "\n"
      << "Record length:    " << spec.record_length << "\n"
      << "Records:          " << count << "\n";
  }
  o << "Variable length:  " << (spec.variable_length() ? "yes" : "no") << "\n"
    << "File flags:       0x" << std::hex << std::setw(4) << std::setfill('0') << spec.flags
    << std::dec << std::setfill(' ') << "\n"
    << "Keys:             " << spec.keys.size() << "\n";
  if (!spec.keys.empty()) {
    o << "\n" << std::left << std::setw(5) << "Key" << std::setw(5) << "Seg" << std::setw(10)
      << "Position" << std::setw(8) << "Length" << std::setw(17) << "Type" << std::setw(50)
      << "Flags" << std::setw(6) << "Null" << std::setw(10) << "ACS"
      << "Unique values\n";
  }
  for (size_t k = 0; k < spec.keys.size(); ++k) {
    const KeyDef& key = spec.keys[k];
    for (size_t s = 0; s < key.segments.size(); ++s) {
      const Segment& seg = key.segments[s];
      std::ostringstream null;
      if (seg.flags & (btrieve::kKeyNullAll | btrieve::kKeyNullAny)) {
        null << "0x" << std::hex << std::uppercase << std::setw(2) << std::setfill('0')
             << int{seg.null_byte};
      } else {
        null << "-";
      }
      const bool acs = (seg.flags & btrieve::kKeyAlternate) != 0;
      o << std::setw(5) << (s == 0 ? std::to_string(key.number) : "") << std::setw(5) << s + 1
        << std::setw(10) << seg.position << std::setw(8) << seg.length << std::setw(17)
        << TypeName(seg.type) << std::setw(50) << Flags(seg.flags) << std::setw(6) << null.str()
        << std::setw(10) << (acs ? AcsName(spec, seg.acs) : "-")
        << (s == 0 && k < distinct.size() ? std::to_string(distinct[k]) : "") << "\n";
    }
  }
  std::cout << o.str() << std::flush;
  WarnOfDamage(*file);
}

void RunCheck(const std::string& path) {
  std::unique_ptr<btrieve::DataFile> file;
  if (int st = btrieve::DataFile::Open(path, &file); st != btrieve::kOk) {
    std::cout << path << ": refused when opened, status " << st << "\n";
    ReportFailure(st);
    return;
  }
  std::vector<std::string> findings;
  const int st = file->Check(&findings);
  const bool legacy = file->legacy() != nullptr;
  if (st == btrieve::kOk && findings.empty()) {
    std::cout << path
              << (legacy ? ": no fault found (a file of an earlier engine: header, page tables,"
                           " pages, record slots and variable parts; every key indexed, its"
                           " duplicate chains followed, unique values and distinct value counts"
                           " compared)\n"
                         : ": no fault found (SQLite's integrity check; every record against its"
                           " index entries and back; entry order; distinct value counts;"
                           " description)\n");
    return;
  }
  std::cout << path << (legacy && st == btrieve::kOk ? ": damaged; every record still reads\n"
                                                      : ": damaged\n");
  for (const std::string& finding : findings) std::cout << "  " << finding << "\n";
  SetExitCode(1);
  if (st != btrieve::kOk) Fail(st, "checking " + path);
}

void RunConvert(const std::string& from, const std::string& to) {
  btrieve::ConvertSummary summary;
  std::string reason;
  if (int st = btrieve::ConvertDataFile(from, to, &summary, &reason); st != btrieve::kOk) {
    return Fail(st, reason);
  }
  std::cout << "converted " << from << ": " << summary.records
            << (summary.records == 1 ? " record, " : " records, ") << summary.keys
            << (summary.keys == 1 ? " key" : " keys") << " -> " << to
            << (summary.owner_dropped ? " (the original's owner name is not carried over)" : "")
            << "\n";
}

struct DumpOptions {
  std::string path;
  int key = -1;
  std::string format = "hex";
  uint64_t limit = 0;
};

// The length of key `num` from the Stat answer, or 0 when there is no such key.
size_t KeyLength(const std::vector<uint8_t>& stat, int num) {
  if (stat.size() < 16) return 0;
  size_t keys = stat[4] | (stat[5] << 8);
  size_t at = 16, length = 0;
  bool in_key = false;
  for (size_t k = 0; k < keys && at + 16 <= stat.size(); at += 16) {
    const uint16_t flags = static_cast<uint16_t>(stat[at + 4] | (stat[at + 5] << 8));
    const uint16_t seg_length = static_cast<uint16_t>(stat[at + 2] | (stat[at + 3] << 8));
    if (!in_key) in_key = stat[at + 14] == num;
    if (in_key) length += seg_length;
    if (!(flags & btrieve::kKeySegmented)) {
      if (in_key) return length;
      ++k;
    }
  }
  return 0;
}

void HexListing(std::ostream& out, const uint8_t* p, size_t n) {
  for (size_t line = 0; line < n; line += 16) {
    out << "  " << std::hex << std::setw(4) << std::setfill('0') << line << "  ";
    for (size_t i = line; i < line + 16; ++i) {
      if (i < n) {
        out << std::setw(2) << int{p[i]} << ' ';
      } else {
        out << "   ";
      }
    }
    out << std::dec << std::setfill(' ') << " |";
    for (size_t i = line; i < line + 16 && i < n; ++i) {
      out << (p[i] >= 0x20 && p[i] < 0x7F ? static_cast<char>(p[i]) : '.');
    }
    out << "|\n";
  }
}

void RunDump(const DumpOptions& opt) {
  uint8_t block[128] = {};
  std::vector<uint8_t> key(256, 0);
  std::vector<uint8_t> data(kRecordBuffer);
  std::snprintf(reinterpret_cast<char*>(key.data()), key.size(), "%s", opt.path.c_str());
  uint32_t len = 0;
  if (opt.path.size() >= key.size()) return Fail(btrieve::kInvalidFileName, opt.path);
  if (int st = BTRCALL(btrieve::kOpOpen, block, data.data(), &len, key.data(), 255, -2)) {
    return ReportFailure(st);
  }
  size_t key_length = 0;
  int status = btrieve::kOk;
  if (opt.key >= 0) {
    len = static_cast<uint32_t>(data.size());
    status = BTRCALL(btrieve::kOpStat, block, data.data(), &len, key.data(), 255, 0);
    if (status == btrieve::kOk) {
      key_length = KeyLength({data.begin(), data.begin() + len}, opt.key);
      if (key_length == 0) status = btrieve::kInvalidKeyNumber;
    }
  }
  if (opt.format == "csv") {
    std::cout << "address,length,record" << (opt.key >= 0 ? ",key" : "") << "\n";
  }
  const int first = opt.key >= 0 ? btrieve::kOpGetFirst : btrieve::kOpStepFirst;
  const int next = opt.key >= 0 ? btrieve::kOpGetNext : btrieve::kOpStepNext;
  const auto key_num = static_cast<int8_t>(opt.key >= 0 ? opt.key : 0);
  uint64_t shown = 0;
  for (int op = first; status == btrieve::kOk && (opt.limit == 0 || shown < opt.limit); op = next) {
    len = static_cast<uint32_t>(data.size());
    status = BTRCALL(static_cast<uint16_t>(op), block, data.data(), &len, key.data(), 255, key_num);
    if (status != btrieve::kOk) break;
    const uint32_t length = len;
    const std::string key_hex = opt.key >= 0 ? Hex(key.data(), key_length) : "";
    uint8_t where[4] = {};
    uint32_t where_len = 4;
    status = BTRCALL(btrieve::kOpGetPosition, block, where, &where_len, key.data(), 255, 0);
    if (status != btrieve::kOk) break;
    const uint32_t address = uint32_t{where[0]} | (uint32_t{where[1]} << 8) |
                             (uint32_t{where[2]} << 16) | (uint32_t{where[3]} << 24);
    if (opt.format == "csv") {
      std::cout << address << "," << length << "," << Hex(data.data(), length)
                << (opt.key >= 0 ? "," + key_hex : "") << "\n";
    } else if (opt.format == "jsonl") {
      std::cout << "{\"address\":" << address << ",\"length\":" << length << ",\"record\":\""
                << Hex(data.data(), length) << "\""
                << (opt.key >= 0 ? ",\"key\":\"" + key_hex + "\"" : "") << "}\n";
    } else {
      std::ostringstream o;
      o << "address 0x" << std::hex << std::uppercase << std::setw(8) << std::setfill('0')
        << address << std::dec << std::setfill(' ') << " (" << address << "), length " << length;
      if (opt.key >= 0) o << ", key " << key_hex;
      o << "\n";
      HexListing(o, data.data(), length);
      std::cout << o.str();
    }
    ++shown;
  }
  std::cout << std::flush;
  // The same file again, its indexes shared with the open above.
  std::unique_ptr<btrieve::DataFile> file;
  if (btrieve::DataFile::Open(opt.path, &file) == btrieve::kOk) WarnOfDamage(*file);
  len = 0;
  (void)BTRCALL(btrieve::kOpClose, block, nullptr, &len, key.data(), 255, 0);
  if (status != btrieve::kOk && status != btrieve::kEndOfFile) {
    Fail(status, btrieve::LastOpenDiagnosis().empty() ? opt.path
                                                      : opt.path + ": " +
                                                            btrieve::LastOpenDiagnosis());
  }
}

}  // namespace

void AddBtrieveCommands(CLI::App& app) {
  CLI::App* btr = app.add_subcommand(
      "btrieve",
      "Read any Btrieve record file without a dictionary, including earlier engines', or convert"
      " one into a file of our own");
  btr->require_subcommand(1);

  auto stat_path = std::make_shared<std::string>();
  CLI::App* stat = btr->add_subcommand("stat", "Report a record file's description and figures");
  stat->add_option("file", *stat_path, "The record file")->required();
  stat->callback([stat_path] { RunStat(*stat_path); });

  auto check_path = std::make_shared<std::string>();
  CLI::App* check =
      btr->add_subcommand("check", "Check a record file's integrity, reading only");
  check->add_option("file", *check_path, "The record file")->required();
  check->callback([check_path] { RunCheck(*check_path); });

  auto paths = std::make_shared<std::pair<std::string, std::string>>();
  CLI::App* convert = btr->add_subcommand(
      "convert", "Write a new record file of our own from any record file, for writing");
  convert->add_option("old", paths->first, "The record file to read")->required();
  convert->add_option("new", paths->second, "The file to write; it must not exist")->required();
  convert->callback([paths] { RunConvert(paths->first, paths->second); });

  auto opt = std::make_shared<DumpOptions>();
  CLI::App* dump = btr->add_subcommand("dump", "Write a record file's records, in hex");
  dump->add_option("file", opt->path, "The record file")->required();
  dump->add_option("--key", opt->key, "Read in the order of this key (default: physical order)")
      ->check(CLI::Range(0, 118));
  dump->add_option("--format", opt->format, "hex (default), csv or jsonl")
      ->check(CLI::IsMember({"hex", "csv", "jsonl"}));
  dump->add_option("--limit", opt->limit, "Stop after this many records (0: all)");
  dump->callback([opt] { RunDump(*opt); });
}

}  // namespace tavelnor::tool
