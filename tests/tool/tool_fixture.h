// A small shop for the tests of the browsing commands: a dictionary built by
// "tavelnor dico build" from a source written here, its "Clients" table
// filled through the data engine, and the built tool run on it as a
// separate process.
//
// "Clients": Code ZSTRING 9 (key 0), Nom ZSTRING 31, Numero LONG (key 1),
// Solde CURRENCY precision 2, Taux DECIMAL64 precision 3, Naissance DATE,
// Heure TIME, Actif BOOL, Cree TIMESTAMP, Qte INT16, Notes BLOBTEXT, Lettre
// BLOBRICHTEXT.
// "Familles": Code ZSTRING 5 (key 0), Libelle ZSTRING 21, Remises an array
// of three INT16, no record. "Journal": one
// text field, no record.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tavelnor::tool::testing {

struct ClientRecord {
  const char* code;
  const char* nom;  // Windows-1252
  int32_t numero;
  double solde;
  double taux;
  int day, month, year;  // 0: the empty date
  int hour, minute, second;
  bool actif;
  double cree;  // days since 30/12/1899, 0: empty
  int16_t qte;
  const char* notes;  // Windows-1252
  const char* letter;  // rich text
};

// The clients in the order they are inserted (their physical order).
const std::vector<ClientRecord>& Clients();

// `arg` quoted for the shell.
std::string Quote(const std::string& arg);

struct ToolRun {
  int code = -1;  // exit code; 128 + n for a signal
  std::string out;
  std::string err;
  std::vector<std::string> Lines() const;  // standard output without "\r"
};

class ToolTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();

  // Runs the tool with `args` (each quoted for the shell), checking that it
  // ended by itself without a sanitizer report.
  static ToolRun Run(const std::vector<std::string>& args);
  // The same on a pseudo-terminal (through "script"), standard output and
  // error merged; false when "script" is not there or finds no
  // pseudo-terminal.
  static bool RunOnTerminal(const std::vector<std::string>& args, ToolRun* run);
  static const std::string& Folder() { return folder_; }
  static std::string Dictionary() { return folder_ + "/shop.dic"; }

 private:
  static ToolRun Execute(const std::string& command);
  static std::string folder_;
};

}  // namespace tavelnor::tool::testing
