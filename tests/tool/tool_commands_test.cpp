// The browsing commands run as a user runs them: the lists of the
// dictionary, records in each output form, key ranges, selections, limits
// and the failures that must end in an error code rather than a crash.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "browse/text_codec.h"
#include "tavelnor/zavl.h"
#include "tool/tool_fixture.h"

namespace tavelnor::tool::testing {
namespace {

using Strings = std::vector<std::string>;

// The first CSV column of every record line (the header left out).
Strings Codes(const ToolRun& run) {
  Strings codes;
  const Strings lines = run.Lines();
  for (size_t i = 1; i < lines.size(); ++i) codes.push_back(lines[i].substr(0, lines[i].find(',')));
  return codes;
}

Strings Split(const std::string& line, char sep) {
  Strings out;
  size_t start = 0;
  for (size_t at; (at = line.find(sep, start)) != std::string::npos; start = at + 1) {
    out.push_back(line.substr(start, at - start));
  }
  out.push_back(line.substr(start));
  return out;
}

// An amount of two decimals as the tool writes it.
std::string FixedText(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

// Codes of the clients in insertion order, and sorted by code.
Strings PhysicalCodes() {
  Strings codes;
  for (const ClientRecord& c : Clients()) codes.push_back(c.code);
  return codes;
}

TEST_F(ToolTest, ListsTheTablesFieldsAndCategoriesPlainWhenPiped) {
  const ToolRun tables = Run({"tables", Dictionary()});
  ASSERT_EQ(tables.code, 0) << tables.err;
  Strings names;
  std::map<std::string, int> lengths;
  for (const std::string& line : tables.Lines()) {
    const Strings cells = Split(line, '\t');
    ASSERT_EQ(cells.size(), 5u) << line;
    names.push_back(cells[0]);
    lengths[cells[0]] = std::stoi(cells[1]);
    EXPECT_EQ(cells[3], "yes") << "the data file exists: " << line;
  }
  EXPECT_EQ(names, (Strings{"Clients", "Familles", "Journal"}));
  EXPECT_NE(tables.out.find("\t" + std::to_string(Clients().size()) + "\n"), std::string::npos)
      << "the record count of Clients\n" << tables.out;
  EXPECT_EQ(Run({"tables", Dictionary(), "--names-only"}).out, "Clients\nFamilles\nJournal\n");

  // The stored record length is the sum of the field sizes; in exchange
  // mode, the sum of the slot sizes.
  for (bool exchange : {false, true}) {
    Strings args = {"fields", Dictionary(), "Clients"};
    Strings targs = {"tables", Dictionary()};
    if (exchange) args.push_back("--exchange"), targs.push_back("--exchange");
    const ToolRun fields = Run(args);
    ASSERT_EQ(fields.code, 0) << fields.err;
    // The stored list has the offset after the type.
    const size_t o = exchange ? 0 : 1;
    int sum = 0;
    std::map<std::string, Strings> by_name;
    for (const std::string& line : fields.Lines()) {
      const Strings cells = Split(line, '\t');
      ASSERT_EQ(cells.size(), 7u + o) << line;
      sum += std::stoi(cells[2 + o]);
      by_name[cells[0]] = cells;
    }
    EXPECT_EQ(by_name.size(), 12u);
    const ToolRun t = Run(targs);
    EXPECT_NE(t.out.find("Clients\t" + std::to_string(sum) + (exchange ? "\n" : "\t")),
              std::string::npos)
        << (exchange ? "exchange " : "stored ") << sum << "\n" << t.out;
    const Strings& solde = by_name["Solde"];
    ASSERT_FALSE(solde.empty());
    EXPECT_EQ(solde[1], exchange ? "6 float" : "29 CURRENCY");
    EXPECT_EQ(solde[3 + o], "2") << "precision";
    EXPECT_EQ(solde[5 + o], "Montant") << "category";
    EXPECT_EQ(by_name["Numero"][4 + o], "Num\xC3\xA9ro") << "display name in UTF-8";
    EXPECT_EQ(by_name["Notes"][1], exchange ? "16 memo" : "33 BLOBTEXT");
    EXPECT_EQ(by_name["Notes"][2 + o], exchange ? std::to_string(ZAVL_MEMORY_SLOT_SIZE) : "8");
    EXPECT_EQ(by_name["Lettre"][1], exchange ? "15 blob" : "34 BLOBRICHTEXT");
    if (!exchange) {
      int offset = 0;
      for (const std::string& line : fields.Lines()) {
        const Strings cells = Split(line, '\t');
        EXPECT_EQ(std::stoi(cells[2]), offset) << "fields lie end to end: " << line;
        offset += std::stoi(cells[3]);
      }
    }
  }

  const ToolRun cats = Run({"categories", Dictionary()});
  ASSERT_EQ(cats.code, 0) << cats.err;
  const Strings lines = cats.Lines();
  ASSERT_EQ(lines.size(), 2u) << cats.out;
  EXPECT_EQ(Split(lines[0], '\t')[0], "Montant");
  EXPECT_EQ(Split(lines[1], '\t')[0], "Code");
}

TEST_F(ToolTest, DumpsCsvByDefaultWithEveryKindOfValue) {
  const ToolRun run = Run({"dump", Dictionary(), "Clients"});
  ASSERT_EQ(run.code, 0) << run.err;
  const Strings lines = run.Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Code,Nom,Numero,Solde,Taux,Naissance,Heure,Actif,Cree,Qte,Notes,Lettre");
  EXPECT_EQ(Codes(run).size(), 6u + 1u) << "the quoted memo spans two lines:\n" << run.out;
  // Records end with CRLF; the line break inside the memo stays LF.
  EXPECT_NE(run.out.find("C001,\"Dupont, Jean\",10,1234.50,0.125,1980-03-15,08:30:00,true,"
                         "2020-02-01T10:00:00Z,3,\"Premi\xC3\xA8re ligne\nseconde \"\"ligne\"\"\","
                         "{\\rtf1 Bonjour}\r\n"),
            std::string::npos)
      << "ISO dates and time stamps, the rich text whole\n" << run.out;
  EXPECT_NE(run.out.find("C003,\xC3\x89mile,30,0.00,0.000,,00:00:00,false,,0,,\r\n"), std::string::npos)
      << "empty dates and time stamps stay empty\n" << run.out;
  EXPECT_NE(run.out.find("D001,Zola,60,7.00,1.000,2000-01-01,23:59:59,true,,-5,court,\r\n"),
            std::string::npos)
      << run.out;
  const ToolRun local = Run({"dump", Dictionary(), "Clients", "--dates", "locale"});
  EXPECT_NE(local.out.find(",15/03/1980,08:30:00,true,01/02/2020 10:00:00,"), std::string::npos)
      << local.out;
}

TEST_F(ToolTest, DumpsJsonLinesWithTypedValues) {
  const ToolRun run = Run({"dump", Dictionary(), "Clients", "--format", "jsonl"});
  ASSERT_EQ(run.code, 0) << run.err;
  const Strings lines = run.Lines();
  ASSERT_EQ(lines.size(), Clients().size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const nlohmann::json j = nlohmann::json::parse(lines[i]);
    const ClientRecord& c = Clients()[i];
    EXPECT_EQ(j["Code"], c.code);
    EXPECT_EQ(j["Nom"], Cp1252ToUtf8(c.nom));
    EXPECT_EQ(j["Numero"], c.numero);
    EXPECT_NEAR(j["Solde"].get<double>(), c.solde, 1e-9);
    EXPECT_EQ(lines[i].find("\"Solde\":" + FixedText(c.solde)), lines[i].find("\"Solde\":"))
        << "the amount's exact text: " << lines[i];
    EXPECT_EQ(j["Actif"], c.actif);
    EXPECT_EQ(j["Qte"], c.qte);
    EXPECT_EQ(j["Notes"], Cp1252ToUtf8(c.notes));
    if (c.year == 0) {
      EXPECT_TRUE(j["Naissance"].is_null()) << lines[i];
    } else {
      char date[16];
      std::snprintf(date, sizeof date, "%04d-%02d-%02d", c.year, c.month, c.day);
      EXPECT_EQ(j["Naissance"], date);
    }
    EXPECT_EQ(j["Cree"].is_null(), c.cree == 0) << lines[i];
    EXPECT_EQ(j["Lettre"], c.letter) << "rich text whole, as text";
  }
}

TEST_F(ToolTest, DumpsAnAlignedTableWithCutAndEscapedMemos) {
  const ToolRun run = Run({"dump", Dictionary(), "Clients", "--format", "table", "--key", "0"});
  ASSERT_EQ(run.code, 0) << run.err;
  const Strings lines = run.Lines();
  ASSERT_EQ(lines.size(), 2u + Clients().size()) << run.out;
  EXPECT_EQ(lines[1].find_first_not_of("- "), std::string::npos) << "the rule under the header";
  // The Nom column starts at the same character on every line.
  const size_t nom = Utf8Width(lines[0].substr(0, lines[0].find("Nom")));
  const Strings names = {"Dupont, Jean", "Martin", "\xC3\x89mile", "Durand", "Martin", "Zola"};
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& line = lines[i + 2];
    size_t at = 0;
    for (size_t chars = 0; chars < nom && at < line.size(); ++chars) {
      do ++at; while (at < line.size() && (static_cast<unsigned char>(line[at]) & 0xC0) == 0x80);
    }
    EXPECT_EQ(line.compare(at, names[i].size(), names[i]), 0) << line;
  }
  EXPECT_NE(lines[2].find("Premi\xC3\xA8re ligne\\nseconde"), std::string::npos) << lines[2];
}

TEST_F(ToolTest, OnATerminalListsAndRecordsAreAlignedAndExportShowsProgress) {
  ToolRun run;
  if (!RunOnTerminal({"dump", Dictionary(), "Clients", "--key", "0"}, &run)) {
    GTEST_SKIP() << "no \"script\" or no pseudo-terminal to give the tool a terminal";
  }
  ASSERT_EQ(run.code, 0) << run.out;
  Strings lines = run.Lines();
  ASSERT_EQ(lines.size(), 2u + Clients().size()) << run.out;
  EXPECT_EQ(lines[0].rfind("Code ", 0), 0u) << run.out;
  EXPECT_EQ(lines[1].find_first_not_of("- "), std::string::npos) << run.out;
  EXPECT_EQ(lines[2].rfind("C001 ", 0), 0u) << run.out;
  EXPECT_EQ(lines[2].find("Dupont, Jean"), lines[0].find("Nom")) << run.out;

  ASSERT_TRUE(RunOnTerminal({"tables", Dictionary()}, &run));
  lines = run.Lines();
  ASSERT_EQ(lines.size(), 5u) << run.out;
  EXPECT_EQ(lines[0].rfind("table ", 0), 0u) << run.out;
  EXPECT_EQ(lines[2].rfind("Clients ", 0), 0u) << run.out;

  ASSERT_TRUE(RunOnTerminal({"export", Dictionary(), Folder() + "/tty-export"}, &run));
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("% "), std::string::npos) << "a progress line\n" << run.out;
  EXPECT_NE(run.out.find("exported 3 of 3 tables"), std::string::npos) << run.out;
}

TEST_F(ToolTest, WalksKeysAndKeyRanges) {
  struct Case {
    Strings options;
    Strings codes;
  };
  const Case cases[] = {
      {{}, PhysicalCodes()},
      {{"--key", "-1"}, PhysicalCodes()},
      {{"--key", "0"}, {"C001", "C002", "C003", "C004", "C005", "D001"}},
      {{"--from", "C002", "--to", "C004"}, {"C002", "C003", "C004"}},
      {{"--from", "C004"}, {"C004", "C005", "D001"}},
      {{"--to", "C002"}, {"C001", "C002"}},
      {{"--prefix", "C00"}, {"C001", "C002", "C003", "C004", "C005"}},
      {{"--prefix", "D"}, {"D001"}},
      {{"--from", "E"}, {}},
      {{"--key", "1"}, {"C001", "C002", "C003", "C004", "C005", "D001"}},
      {{"--key", "1", "--from", "25", "--to", "50"}, {"C003", "C004", "C005"}},
      {{"--key", "1", "--from", "45"}, {"C005", "D001"}},
      {{"--key", "1", "--to", "20", "--key-type", "int32"}, {"C001", "C002"}},
      {{"--key", "1", "--from", "1E000000", "--to", "32000000", "--key-type", "hex"},
       {"C003", "C004", "C005"}},
      {{"--key", "0", "--limit", "2"}, {"C001", "C002"}},
      {{"--limit", "0"}, {}},
  };
  for (const Case& c : cases) {
    Strings args = {"dump", Dictionary(), "Clients"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ToolRun run = Run(args);
    std::string shown;
    for (const std::string& o : c.options) shown += o + " ";
    ASSERT_EQ(run.code, 0) << shown << run.err;
    Strings codes = Codes(run);
    codes.erase(std::remove_if(codes.begin(), codes.end(),
                               [](const std::string& s) { return s.rfind("seconde", 0) == 0; }),
                codes.end());  // the memo's second line
    EXPECT_EQ(codes, c.codes) << shown;
  }
}

TEST_F(ToolTest, SelectsRecordsByFieldValues) {
  struct Case {
    Strings options;
    Strings codes;
  };
  const Case cases[] = {
      {{"--where", "Nom=Martin"}, {"C005", "C002"}},
      {{"--where", "nom=Martin", "--key", "0"}, {"C002", "C005"}},
      {{"--where", "Nom=Martin", "--where", "Numero=50"}, {"C005"}},
      {{"--where", "Code=C004"}, {"C004"}},
      {{"--where", "Nom=\xC3\x89mile"}, {"C003"}},
      {{"--where", "Nom=martin"}, {}},
      {{"--where", "Nom=Nobody"}, {}},
      {{"--where", "Nom=Martin", "--key", "0", "--from", "C003"}, {"C005"}},
      {{"--where", "Nom=Martin", "--limit", "1"}, {"C005"}},
  };
  for (const Case& c : cases) {
    Strings args = {"dump", Dictionary(), "Clients"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ToolRun run = Run(args);
    std::string shown;
    for (const std::string& o : c.options) shown += o + " ";
    ASSERT_EQ(run.code, 0) << shown << run.err;
    EXPECT_EQ(Codes(run), c.codes) << shown << "\n" << run.out;
  }
  // The option may come before the positional arguments.
  const ToolRun first = Run({"dump", "--where", "Nom=Martin", Dictionary(), "Clients"});
  EXPECT_EQ(Codes(first), (Strings{"C005", "C002"})) << first.err;
}

TEST_F(ToolTest, FailuresGiveTheLibraryCodeAndANonZeroExit) {
  const std::string missing = Folder() + "/missing.dic";
  ZAVL_Schema* none = ZAVL_OpenSchema(missing.c_str(), SCHEMA_QUIET);
  ASSERT_EQ(none, nullptr);
  const int32_t load_error = ZAVL_GetLastError();

  struct Case {
    Strings args;
    int exit_code;
    std::string message;
  };
  const Case cases[] = {
      {{"tables", missing}, 1, "error " + std::to_string(load_error) + ":"},
      {{"dump", missing, "Clients"}, 1, "error " + std::to_string(load_error) + ":"},
      {{"dump", Dictionary(), "Inconnue"}, 2, "no table \"Inconnue\""},
      {{"fields", Dictionary(), "Client"}, 2, "did you mean 'Clients'?"},
      {{"keys", Dictionary(), "Inconnue"}, 2, "no table"},
      {{"dump", Dictionary(), "Clients", "--key", "7"}, 2, "no key \"7\""},
      {{"dump", Dictionary(), "Clients", "--key", "1", "--from", "abc"}, 2, "not an integer"},
      {{"dump", Dictionary(), "Clients", "--where", "Naissance=31/02/2000"}, 2, "not a date"},
      {{"dump", Dictionary(), "Clients", "--blobs", "zip"}, 2, "--blobs"},
      {{"dump", Dictionary(), "Clients", "--file", "Clients"}, 2, "TABLE=PATH"},
      {{"dump", Dictionary(), "Clients", "--where", "Nom"}, 2, "FIELD=VALUE"},
      {{"dump", Dictionary(), "Clients", "--where", "=x"}, 2, "FIELD=VALUE"},
      {{"dump", Dictionary(), "Clients", "--where", "Taille=3"}, 2, "no field \"Taille\""},
      {{"dump", Dictionary(), "Clients", "--key-type", "date", "--from", "1"}, 2, "--key-type"},
      {{"dump", Dictionary(), "Clients", "--key", "1", "--from", "x", "--key-type", "int32"}, 2,
       "not a 32-bit integer"},
      {{"dump", Dictionary(), "Clients", "--from", "A", "--prefix", "B"}, 2, "--prefix"},
      {{"dump", Dictionary(), "Clients", "--format", "xml"}, 2, "--format"},
      {{"dump", Dictionary(), "#Clients"}, 2, "not a table"},
      {{"dump", Dictionary(), "Familles", "--where", "Remises=1"}, 2, "an array; name one element"},
      {{"dump", Dictionary(), "Familles", "--where", "remises[2]=x"}, 2, "not an integer"},
      {{"dump", Dictionary(), "@"}, 2, "not a table"},
      {{"dump", Dictionary(), ""}, 2, "not a table"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Run(c.args);
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    EXPECT_EQ(run.code, c.exit_code) << shown << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << shown << "\n" << run.err;
    EXPECT_EQ(run.out, "") << shown << ": no header nor record before the error";
  }
}

}  // namespace
}  // namespace tavelnor::tool::testing
