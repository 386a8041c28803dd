// "tavelnor btrieve stat", "check", "dump" and "convert" as a user runs them:
// on a data file of our own, sound or damaged, on a refused file (status and
// reason, exit 1), and on a real file of an earlier engine from the shared
// fixtures when they are there.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tool/tool_fixture.h"

namespace tavelnor::tool::testing {
namespace {

using Strings = std::vector<std::string>;
using BtrieveCommands = ToolTest;

Strings Split(const std::string& line) {
  Strings cells;
  std::istringstream in(line);
  for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
  return cells;
}

void ExpectAll(const std::string& out, std::initializer_list<std::string> parts) {
  for (const std::string& part : parts) EXPECT_NE(out.find(part), std::string::npos) << part << out;
}

TEST_F(BtrieveCommands, StatAndDumpReadOurOwnDataFile) {
  const std::string file = Folder() + "/CLIENTS.DAT";
  const ToolRun stat = Run({"btrieve", "stat", file});
  ASSERT_EQ(stat.code, 0) << stat.err;
  ExpectAll(stat.out, {"Records:          " + std::to_string(Clients().size()), "ZSTRING"});
  // One CSV row each, its record's hex of its length, in key 0's order (hex
  // digits in capitals sort as the bytes do).
  const ToolRun csv = Run({"btrieve", "dump", file, "--format", "csv", "--key", "0"});
  const Strings lines = csv.Lines();
  ASSERT_EQ(lines.size(), Clients().size() + 1) << csv.err;
  EXPECT_EQ(lines[0], "address,length,record,key");
  for (size_t i = 1; i < lines.size(); ++i) {
    const Strings cells = Split(lines[i]);
    ASSERT_EQ(cells.size(), 4u) << lines[i];
    EXPECT_EQ(cells[2].size(), 2 * std::stoul(cells[1])) << lines[i];
    EXPECT_TRUE(i == 1 ? !cells[3].empty() : Split(lines[i - 1])[3] < cells[3]) << lines[i];
  }
  // Physical order, one JSON line each, limited; a key the file lacks.
  const ToolRun jsonl = Run({"btrieve", "dump", file, "--format", "jsonl", "--limit", "2"});
  ASSERT_EQ(jsonl.Lines().size(), 2u) << jsonl.err;
  EXPECT_EQ(jsonl.Lines()[0].rfind("{\"address\":", 0), 0u) << jsonl.out;
  EXPECT_EQ(Run({"btrieve", "dump", file, "--key", "9"}).code, 1);
}

TEST_F(BtrieveCommands, ARefusedFileGivesTheStatusAndTheReason) {
  const std::string path = Folder() + "/GARBLED.DAT";
  std::ofstream(path, std::ios::binary) << std::string(2048, '\x7F');
  for (const char* command : {"stat", "check", "dump"}) {
    const ToolRun run = Run({"btrieve", command, path});
    EXPECT_EQ(run.code, 1) << command;
    ExpectAll(run.err, {"error 30", " ("});  // the status, then the reason
  }
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Each copy damaged behind the record manager's back through SQLite, then
// checked: the fault named, exit 1, the folder left as it was.
TEST_F(BtrieveCommands, CheckNamesEachFaultAndWritesNothing) {
  namespace fs = std::filesystem;
  const fs::path folder = Folder() + "/check";
  fs::create_directories(folder);
  const ToolRun sound = Run({"btrieve", "check", Folder() + "/CLIENTS.DAT"});
  EXPECT_EQ(sound.code, 0) << sound.out << sound.err;
  ExpectAll(sound.out, {"no fault found"});

  const struct {
    const char* name;
    const char* sql;
    const char* named;  // in the finding
  } kDamage[] = {
      {"entry", "DELETE FROM keys WHERE num = 0 AND k = (SELECT min(k) FROM keys WHERE num = 0)",
       ", key 0: no entry"},
      {"record", "UPDATE records SET data = (SELECT data FROM records WHERE pos = 2) WHERE pos = 1",
       "record 1, key 0: the entry holds "},
      {"count", "UPDATE meta SET value = value + 5 WHERE name = 'distinct:1'",
       "key 1: the distinct value count kept is "},
  };
  for (const auto& damage : kDamage) {
    const std::string path = (folder / (std::string(damage.name) + ".dat")).string();
    fs::copy_file(Folder() + "/CLIENTS.DAT", path, fs::copy_options::overwrite_existing);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, damage.sql, nullptr, nullptr, nullptr), SQLITE_OK) << damage.sql;
    EXPECT_EQ(sqlite3_changes(db), 1) << damage.sql;
    sqlite3_close(db);
    const std::string before = Contents(path);
    const ToolRun run = Run({"btrieve", "check", path});
    EXPECT_EQ(run.code, 1) << damage.name << run.out << run.err;
    ExpectAll(run.out, {"damaged", damage.named});
    EXPECT_EQ(Contents(path), before) << damage.name;
  }
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++files;
  EXPECT_EQ(files, std::size(kDamage));  // no journal or other file beside them
}

// The 5.x file of four records whose PROVENANCE.md gives the bytes; its key 3
// (AUTOINCREMENT 1..4) follows the physical order.
TEST_F(BtrieveCommands, ARealFileOfAnEarlierEngine) {
  const std::string file = std::string(TAVELNOR_SOURCE_DIR) +
                           "/../shared/fixtures/btrieve-real/v5-mbbsemu-fixed/MBBSEMU.DAT";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "no fixture " << file;
  const ToolRun stat = Run({"btrieve", "stat", file});
  ASSERT_EQ(stat.code, 0) << stat.err;
  ExpectAll(stat.out, {"Records:          4", "Record length:    74", "Page size:        512",
                       "Physical length:  90", "AUTOINCREMENT"});
  const ToolRun csv = Run({"btrieve", "dump", file, "--format", "csv"});
  const ToolRun by_key = Run({"btrieve", "dump", file, "--format", "csv", "--key", "3"});
  ASSERT_EQ(csv.Lines().size(), 5u) << csv.err;
  ASSERT_EQ(by_key.Lines().size(), 5u) << by_key.err;
  for (size_t i = 1; i < 5; ++i) EXPECT_EQ(Split(by_key.Lines()[i])[0], Split(csv.Lines()[i])[0]);
  const ToolRun check = Run({"btrieve", "check", file});
  EXPECT_EQ(check.code, 0) << check.err;
  ExpectAll(check.out, {"earlier engine", "no fault found"});
  EXPECT_EQ(Split(csv.Lines()[1])[2],
            "00005379736F70000000000000000000000000000000000000000000000000000000740D000033343434"
            "0000000000000000000000000000000000000000000000000000000001000000");
}

// The same file with record 1's key 1 (unique, INTEGER at 35) made record 0's
// value: every record is still dumped, and each command names the damage.
TEST_F(BtrieveCommands, TwinsOnAUniqueKeyAreReadAndNamed) {
  const std::string real = std::string(TAVELNOR_SOURCE_DIR) +
                           "/../shared/fixtures/btrieve-real/v5-mbbsemu-fixed/MBBSEMU.DAT";
  if (!std::filesystem::exists(real)) GTEST_SKIP() << "no fixture " << real;
  const std::string file = Folder() + "/TWINS.DAT";
  std::filesystem::copy_file(real, file);
  {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(0x0A06 + 0x5A + 34);
    f.write("\x74\x0D\x00\x00", 4);  // 3444, record 0's value
  }
  const std::string warning = "warning: damaged file: unique key 1 holds 1 value in 2 records";
  const ToolRun stat = Run({"btrieve", "stat", file});
  EXPECT_EQ(stat.code, 0) << stat.err;
  ExpectAll(stat.err, {warning, "0x740D0000 at 0xA06 0xA60", "header counts 4 distinct values"});
  const ToolRun by_key = Run({"btrieve", "dump", file, "--format", "csv", "--key", "1"});
  EXPECT_EQ(by_key.Lines().size(), 5u) << by_key.out;
  ExpectAll(by_key.err, {warning});
  const ToolRun check = Run({"btrieve", "check", file});
  EXPECT_EQ(check.code, 1);
  ExpectAll(check.out, {"damaged; every record still reads", "unique key 1 holds"});
}

// convert: a writable copy that stat reads as ours, the summary line, and
// refusals (an existing target, a missing file) with exit 1; the format
// level of the 5.x original named as one.
TEST_F(BtrieveCommands, ConvertAnEarlierEnginesFile) {
  const std::string file = std::string(TAVELNOR_SOURCE_DIR) +
                           "/../shared/fixtures/btrieve-real/v5-mbbsemu-fixed/MBBSEMU.DAT";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "no fixture " << file;
  const std::string copy = Folder() + "/MBBSEMU-NEW.DAT";
  std::filesystem::remove(copy);
  const ToolRun old_stat = Run({"btrieve", "stat", file});
  ExpectAll(old_stat.out, {"Btrieve 5.x format (level 4, version word 0x0400)"});
  const ToolRun run = Run({"btrieve", "convert", file, copy});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.Lines(), Strings{"converted " + file + ": 4 records, 4 keys -> " + copy});
  const ToolRun stat = Run({"btrieve", "stat", copy});
  ExpectAll(stat.out, {"tavelnor-records", "Records:          4", "AUTOINCREMENT"});
  EXPECT_EQ(Run({"btrieve", "dump", copy, "--format", "csv"}).out,
            Run({"btrieve", "dump", file, "--format", "csv"}).out);
  const std::string before = Contents(copy);
  const ToolRun again = Run({"btrieve", "convert", file, copy});
  EXPECT_EQ(again.code, 1);
  ExpectAll(again.err, {"error 59", "never replaced"});
  EXPECT_EQ(Contents(copy), before);
  const ToolRun missing = Run({"btrieve", "convert", Folder() + "/NONE.DAT", Folder() + "/X.DAT"});
  EXPECT_EQ(missing.code, 1);
  ExpectAll(missing.err, {"error 12"});
  EXPECT_FALSE(std::filesystem::exists(Folder() + "/X.DAT"));
}

}  // namespace
}  // namespace tavelnor::tool::testing
