// The shop dictionary, its records and the runner of the built tool.
#include "tool/tool_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "data/edata_table.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "record/blob_value.h"
#include "record/date_value.h"
#include "record/er_buffer.h"
#include "record/er_field.h"
#include "record/time_value.h"

namespace tavelnor::tool::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSource = R"({
  "signature": "D8", "versionbyte": 2, "level": 11, "versionsystem": 1, "versionuser": 0,
  "lastid": 0,
  "categories": [{"name": "Montant", "value": 1, "flag": 0}, {"name": "Code", "value": 2, "flag": 3}],
  "root": {"isa": "Dico", "name": "Shop", "header": "Shop", "defprecision": 2,
    "defextension": "dat", "nativelanguage": 1036, "children": [
    {"isa": "Rubric", "name": "Clients", "header": "Clients", "deffilename": "CLIENTS.DAT",
     "flags": "0x1", "pagesize": 4096, "children": [
      {"isa": "TitleData", "name": "Lesdonnees", "children": [
        {"isa": "VarInNode", "name": "Code", "header": "Code client", "type": 0,
         "internalsize": 9, "category": "Code"},
        {"isa": "VarInNode", "name": "Nom", "header": "Nom", "type": 0, "internalsize": 31},
        {"isa": "VarInNode", "name": "Numero", "header": "Num\u00e9ro", "type": 1, "internalsize": 4},
        {"isa": "VarInNode", "name": "Solde", "header": "Solde", "type": 29, "internalsize": 8,
         "category": "Montant", "precision": 2},
        {"isa": "VarInNode", "name": "Taux", "header": "Taux", "type": 20, "internalsize": 8,
         "precision": 3},
        {"isa": "VarInNode", "name": "Naissance", "header": "Naissance", "type": 4, "internalsize": 4},
        {"isa": "VarInNode", "name": "Heure", "header": "Heure", "type": 5, "internalsize": 4},
        {"isa": "VarInNode", "name": "Actif", "header": "Actif", "type": 19, "internalsize": 1},
        {"isa": "VarInNode", "name": "Cree", "header": "Cr\u00e9\u00e9 le", "type": 28, "internalsize": 8},
        {"isa": "VarInNode", "name": "Qte", "header": "Quantit\u00e9", "type": 15, "internalsize": 2},
        {"isa": "VarInNode", "name": "Notes", "header": "Notes", "type": 33, "internalsize": 8},
        {"isa": "VarInNode", "name": "Lettre", "header": "Lettre", "type": 34, "internalsize": 8}]},
      {"isa": "TitleKey", "name": "Les clefs", "children": [
        {"isa": "Key", "name": "ParCode", "flags": "0x2", "children": [
          {"isa": "Segment", "name": "Code", "field": "Code", "flags": "0x102"}]},
        {"isa": "Key", "name": "ParNumero", "flags": "0x2", "children": [
          {"isa": "Segment", "name": "Numero", "field": "Numero", "flags": "0x102"}]}]}]},
    {"isa": "Rubric", "name": "Familles", "header": "Familles", "deffilename": "FAMILLES.DAT",
     "pagesize": 4096, "children": [
      {"isa": "TitleData", "name": "Lesdonnees", "children": [
        {"isa": "VarInNode", "name": "Code", "type": 0, "internalsize": 5},
        {"isa": "VarInNode", "name": "Libelle", "type": 0, "internalsize": 21},
        {"isa": "VarInNode", "name": "Remises", "type": 15, "internalsize": 2, "nbitems": 3}]},
      {"isa": "TitleKey", "name": "Les clefs", "children": [
        {"isa": "Key", "name": "ParCode", "flags": "0x2", "children": [
          {"isa": "Segment", "name": "Code", "field": "Code", "flags": "0x102"}]}]}]},
    {"isa": "Rubric", "name": "Journal", "header": "Journal", "deffilename": "JOURNAL.DAT",
     "pagesize": 4096, "children": [
      {"isa": "TitleData", "name": "Lesdonnees", "children": [
        {"isa": "VarInNode", "name": "Texte", "type": 0, "internalsize": 16}]}]}]}
})";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Insert(data::EDataTable& t, const ClientRecord& c) {
  t.ClearRecord();
  t.FieldByName("Code")->GetBuffer()->SetText(c.code);
  t.FieldByName("Nom")->GetBuffer()->SetText(c.nom);
  t.FieldByName("Numero")->GetBuffer()->SetInt64(c.numero);
  t.FieldByName("Solde")->GetBuffer()->SetDouble(c.solde);
  t.FieldByName("Taux")->GetBuffer()->SetDouble(c.taux);
  if (c.year != 0) {
    t.FieldByName("Naissance")->GetBuffer()->SetDate(
        record::sDate{static_cast<uint8_t>(c.day), static_cast<uint8_t>(c.month),
                      static_cast<uint16_t>(c.year)});
  }
  t.FieldByName("Heure")->GetBuffer()->SetTime(
      record::sTime{0, static_cast<uint8_t>(c.second), static_cast<uint8_t>(c.minute),
                    static_cast<uint8_t>(c.hour)});
  t.FieldByName("Actif")->GetBuffer()->SetBool(c.actif);
  if (c.cree != 0) t.FieldByName("Cree")->GetBuffer()->SetDouble(c.cree);
  t.FieldByName("Qte")->GetBuffer()->SetInt64(c.qte);
  t.FieldByName("Notes")->GetBuffer()->SetBlobText(record::sBlobText(c.notes));
  t.FieldByName("Lettre")->GetBuffer()->SetRichText(record::sBlobRichText(c.letter));
  ASSERT_NE(t.Insert(), -1) << "status " << t.Status();
}

}  // namespace

std::string ToolTest::folder_;

std::string Quote(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}


const std::vector<ClientRecord>& Clients() {
  static const std::vector<ClientRecord> clients = {
      {"C003", "\xC9mile", 30, 0, 0, 0, 0, 0, 0, 0, 0, false, 0, 0, "", ""},
      {"C001", "Dupont, Jean", 10, 1234.5, 0.125, 15, 3, 1980, 8, 30, 0, true, 43862 + 10.0 / 24,
       3, "Premi\xE8re ligne\nseconde \"ligne\"", "{\\rtf1 Bonjour}"},
      {"D001", "Zola", 60, 7, 1, 1, 1, 2000, 23, 59, 59, true, 0, -5, "court", ""},
      {"C005", "Martin", 50, 99.99, 0.5, 29, 2, 2024, 12, 0, 0, false, 0, 1, "", ""},
      {"C002", "Martin", 20, -12.25, 0.2, 31, 12, 1999, 0, 0, 1, true, 0, 2, "", ""},
      {"C004", "Durand", 40, 0.01, 0, 2, 1, 1950, 6, 0, 0, false, 0, 0, "", ""},
  };
  return clients;
}

std::vector<std::string> ToolRun::Lines() const {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

void ToolTest::SetUpTestSuite() {
  folder_ = (fs::temp_directory_path() / ("tavelnor-tool-" + std::to_string(std::random_device{}())))
                .string();
  fs::create_directories(folder_);
  std::ofstream(folder_ + "/shop.json") << kSource;
  const ToolRun built = Run({"dico", "build", folder_ + "/shop.json", "-o", Dictionary()});
  ASSERT_EQ(built.code, 0) << built.err;

  dico::DDicoHandler handler;
  ASSERT_EQ(handler.Load(Chaine(Dictionary()), dico::kLoadNameIndex), dico::LoadResult::kLoaded)
      << handler.LastLoadStatus().ToString();
  const auto* clients = static_cast<const dico::DRubricTable*>(handler.FindTable("Clients"));
  ASSERT_NE(clients, nullptr);
  data::EDataTable table;
  table.SetVariablePartsOption(true);
  ASSERT_TRUE(table.Open(clients, clients->GetFilePath())) << table.Status();
  for (const ClientRecord& c : Clients()) Insert(table, c);
  // The other tables' files, empty (opening creates them).
  for (const char* name : {"Familles", "Journal"}) {
    const auto* other = static_cast<const dico::DRubricTable*>(handler.FindTable(name));
    ASSERT_NE(other, nullptr);
    data::EDataTable empty;
    ASSERT_TRUE(empty.Open(other, other->GetFilePath())) << name << " " << empty.Status();
  }
}

void ToolTest::TearDownTestSuite() {
  std::error_code ec;
  if (std::getenv("TAVELNOR_KEEP_TEST_FOLDER") == nullptr)   fs::remove_all(folder_, ec);
}

namespace {

// Sanitizer reports get exit codes of their own, told apart from the tool's.
std::string ToolCommand(const std::vector<std::string>& args) {
  std::string command = "ASAN_OPTIONS=exitcode=86 UBSAN_OPTIONS=exitcode=87:halt_on_error=1 ";
  command += Quote(TAVELNOR_TOOL_PATH);
  for (const std::string& a : args) command += " " + Quote(a);
  return command;
}

}  // namespace

ToolRun ToolTest::Execute(const std::string& command) {
  static int serial = 0;
  const std::string stem = folder_ + "/run" + std::to_string(++serial);
  const std::string full = command + " <" + Quote("/dev/null") + " >" + Quote(stem + ".out") +
                           " 2>" + Quote(stem + ".err");
  const int status = std::system(full.c_str());
  ToolRun run;
  run.code = (status & 0x7F) != 0 ? 128 + (status & 0x7F) : (status >> 8) & 0xFF;
  run.out = ReadAll(stem + ".out");
  run.err = ReadAll(stem + ".err");
  EXPECT_LT(run.code, 80) << "the tool crashed or a sanitizer spoke:\n" << run.err << run.out;
  EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
  return run;
}

ToolRun ToolTest::Run(const std::vector<std::string>& args) { return Execute(ToolCommand(args)); }

bool ToolTest::RunOnTerminal(const std::vector<std::string>& args, ToolRun* run) {
  // "script" must be there and able to open a pseudo-terminal (a chroot
  // without /dev/pts has none).
  if (std::system("script -qec true /dev/null >/dev/null 2>&1") != 0) return false;
  *run = Execute("script -qec " + Quote(ToolCommand(args)) + " /dev/null");
  return true;
}

}  // namespace tavelnor::tool::testing
