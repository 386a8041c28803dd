// "tavelnor btrieve stat" and "dump" as a user runs them: on a data file of
// our own, on a file that is refused (status and reason, non-zero exit), and
// on a real file of an earlier engine from the shared fixtures when they and
// the reader are there.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tool/tool_fixture.h"

namespace tavelnor::tool::testing {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

Strings Split(const std::string& line) {
  Strings cells;
  size_t at = 0;
  for (size_t comma; (comma = line.find(',', at)) != std::string::npos; at = comma + 1) {
    cells.push_back(line.substr(at, comma - at));
  }
  cells.push_back(line.substr(at));
  return cells;
}

// The text a hex string spells, up to its first NUL.
std::string Unhex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    const char c = static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    if (c == '\0') break;
    out += c;
  }
  return out;
}

class BtrieveCommands : public ToolTest {
 protected:
  static std::string Clients() { return Folder() + "/CLIENTS.DAT"; }
  // The fixture folder beside the project's shared material.
  static fs::path Fixtures() {
    return fs::path(__FILE__).parent_path().parent_path().parent_path().parent_path() / "shared" /
           "fixtures" / "btrieve-real";
  }
};

TEST_F(BtrieveCommands, StatAndDumpReadOurOwnDataFile) {
  ASSERT_TRUE(fs::exists(Clients()));
  const ToolRun stat = Run({"btrieve", "stat", Clients()});
  ASSERT_EQ(stat.code, 0) << stat.err;
  EXPECT_NE(stat.out.find("Records:          " + std::to_string(testing::Clients().size())),
            std::string::npos)
      << stat.out;
  EXPECT_NE(stat.out.find("ZSTRING"), std::string::npos) << stat.out;

  const ToolRun csv = Run({"btrieve", "dump", Clients(), "--format", "csv", "--key", "0"});
  ASSERT_EQ(csv.code, 0) << csv.err;
  const Strings lines = csv.Lines();
  ASSERT_EQ(lines.size(), testing::Clients().size() + 1);
  EXPECT_EQ(lines[0], "address,length,record,key");
  Strings codes, expected;
  for (const ClientRecord& c : testing::Clients()) expected.push_back(c.code);
  std::sort(expected.begin(), expected.end());
  for (size_t i = 1; i < lines.size(); ++i) {
    const Strings cells = Split(lines[i]);
    ASSERT_EQ(cells.size(), 4u) << lines[i];
    EXPECT_EQ(cells[2].size(), 2 * std::stoul(cells[1])) << "the record's hex has its length";
    codes.push_back(Unhex(cells[3]));
  }
  EXPECT_EQ(codes, expected);

  // Physical order, one JSON line each, limited.
  const ToolRun jsonl = Run({"btrieve", "dump", Clients(), "--format", "jsonl", "--limit", "2"});
  ASSERT_EQ(jsonl.code, 0) << jsonl.err;
  ASSERT_EQ(jsonl.Lines().size(), 2u);
  EXPECT_EQ(jsonl.Lines()[0].rfind("{\"address\":", 0), 0u) << jsonl.out;
  EXPECT_EQ(Run({"btrieve", "dump", Clients(), "--key", "9"}).code, 1);
}

TEST_F(BtrieveCommands, ARefusedFileGivesTheStatusAndTheReason) {
  const std::string path = Folder() + "/GARBLED.DAT";
  std::ofstream(path, std::ios::binary) << std::string(2048, '\x7F');
  for (const char* command : {"stat", "dump"}) {
    const ToolRun run = Run({"btrieve", command, path});
    EXPECT_EQ(run.code, 1) << command;
    EXPECT_TRUE(run.err.find("error 30") != std::string::npos ||
                run.err.find("error 2:") != std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(" ("), std::string::npos) << "a reason: " << run.err;
  }
}

// The 5.x file of four records (its PROVENANCE.md gives the bytes).
TEST_F(BtrieveCommands, ARealFileOfAnEarlierEngine) {
  const fs::path file = Fixtures() / "v5-mbbsemu-fixed" / "MBBSEMU.DAT";
  if (!fs::exists(file)) GTEST_SKIP() << "no fixtures at " << Fixtures();
  const ToolRun stat = Run({"btrieve", "stat", file.string()});
  if (stat.err.find("reader not built") != std::string::npos) GTEST_SKIP() << stat.err;
  ASSERT_EQ(stat.code, 0) << stat.err;
  for (const char* line : {"Records:          4", "Record length:    74", "Page size:        512",
                           "Physical length:  90", "AUTOINCREMENT"}) {
    EXPECT_NE(stat.out.find(line), std::string::npos) << line << "\n" << stat.out;
  }
  const std::string first =
      "00005379736F70000000000000000000000000000000000000000000000000000000740D0000333434340000"
      "000000000000000000000000000000000000000000000000000001000000";
  const ToolRun csv = Run({"btrieve", "dump", file.string(), "--format", "csv"});
  ASSERT_EQ(csv.code, 0) << csv.err;
  ASSERT_EQ(csv.Lines().size(), 5u) << csv.out;
  EXPECT_EQ(Split(csv.Lines()[1])[2], first);
  // Key 3 (AUTOINCREMENT 1..4) gives the physical order again.
  const ToolRun by_key = Run({"btrieve", "dump", file.string(), "--format", "csv", "--key", "3"});
  ASSERT_EQ(by_key.code, 0) << by_key.err;
  EXPECT_EQ(by_key.Lines().size(), 5u);
  for (size_t i = 1; i < 5 && i < by_key.Lines().size(); ++i) {
    EXPECT_EQ(Split(by_key.Lines()[i])[0], Split(csv.Lines()[i])[0]) << i;
  }
}

}  // namespace
}  // namespace tavelnor::tool::testing
