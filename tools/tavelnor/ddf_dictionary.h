// A dictionary of ours from a data dictionary (a DDF set): one table per DDF
// table, its data file, its record layout (every column at its offset and
// size) and its keys with their segments, as a JSON dictionary source that
// the dictionary compiler turns into a dictionary file.
//
// Columns keep a record type code of ours only where that code reads the
// same bytes with the same meaning:
//   INTEGER / AUTOINCREMENT 1, 2, 4, 8   INT8, INT16, LONG, INT64
//   UNSIGNED BINARY 1, 2, 4, 8           UINT8, UINT16, UINT32, UINT64
//   FLOAT 4, 8                           FLOAT, DOUBLE
//   STRING, ZSTRING                      STR, ZSTRING (their case-insensitive
//                                        forms for case-insensitive columns)
//   DATE 4, TIME 4                       DATE, TIME (day, month, LE16 year;
//                                        hundredths, second, minute, hour)
//   TIMESTAMP 8                          TIMESTAMP (100 ns units since year 1)
//   CURRENCY 8                           CURRENCY (LE64, four decimals)
//   GUID 16                              GUID
//   LOGICAL 1                            BOOL (any byte but zero is true)
// Every other column (DECIMAL, MONEY, the NUMERIC family, BFLOAT, LSTRING,
// LOGICAL 2, BIT, NOTE or LVAR within the fixed record) is kept as its bytes:
// a fixed-length text field flagged to be shown as bytes, its description
// naming the DDF type. NOTE and LVAR columns past the fixed record make the
// table one of variable-length records and are left out of the layout.
//
// Every column's type text ("typestr") names its DDF type and decimals
// ("DDF DECIMAL 2", "DDF BIT 3"), so that the tool decodes the columns kept
// as bytes with their DDF type wherever the dictionary goes.
//
// Names are taken as Windows-1252, the dictionary's code page; control
// characters, "/" (the compiler's path separator) and a table name's leading
// "#" or "@" (the exported interface's list names) become "_", names
// repeated within their scope get a suffix, and each change is a warning.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ddf/ddf_reader.h"
#include "foundation/status.h"

namespace tavelnor::tool {

// A field flag of ours: a text field shown and listed as bytes.
inline constexpr uint32_t kFieldShownAsBytes = 0x100000;

struct ColumnMapping {
  uint16_t type = 0;  // record type code of ours
  bool raw = false;   // the bytes kept as they are (type: fixed-length text)
};

// The type a DDF column takes in our dictionary.
ColumnMapping MapDdfColumn(const ddf::DdfField& field);

// The source of the dictionary that describes `db`, to be written at
// `dico_path`: data files are named relative to its folder when they lie
// under it, else by their absolute path. Tables without a data file name
// the file their location gives in the DDF folder. Every name changed and
// every column or key left out adds a line to `warnings`.
// How names read in messages (stored bytes to UTF-8).
using NameText = std::function<std::string(const std::string&)>;

struct DdfSourceForm {
  NameText printable;            // empty: Windows-1252
  // Each table's data file by its name alone (for a dictionary that is
  // given the files apart).
  bool bare_file_names = false;
  // A note when names hold bytes outside ASCII, which were read as
  // Windows-1252 (no code page was chosen).
  bool note_code_page = true;
  // NOTE and LVAR columns past the fixed record are read by the caller:
  // no warning that they are left out of the layout.
  bool variable_part_read = false;
};

// Whether `field` of `table` lies (partly) past the fixed record: a NOTE or
// LVAR column in the variable part of variable-length records.
bool InVariablePart(const ddf::DdfTable& table, const ddf::DdfField& field);

nlohmann::json DdfDictionarySource(const ddf::DdfDatabase& db, const std::string& dico_path,
                                   std::vector<std::string>* warnings, const DdfSourceForm& form = {});

// The data file of `table`: the one found, else the one its location names
// in the DDF folder.
std::string DdfTableFile(const ddf::DdfDatabase& db, const ddf::DdfTable& table);

// The dictionary file's bytes for a source made by DdfDictionarySource.
Result<std::vector<uint8_t>> DictionaryBytes(const nlohmann::json& source);

struct FromDdfOptions {
  std::string folder;     // the DDF set
  std::string output;     // the dictionary file to write
  std::string json;       // the source to write beside it; empty: none
  bool system_tables = false;
  // The code page of the set's names: the JSON source spells them in it
  // (and says so); messages too. The dictionary's bytes are the same.
  std::string code_page = "cp1252";
};

struct FromDdfResult {
  bool refused = false;  // the DDF set could not be read (nothing written)
  size_t tables = 0;
};

// Reads the DDF set, converts it, compiles the source and writes the
// dictionary (and the source when asked). The reader's and the
// conversion's warnings go to `warnings`. Not OK when the set is refused
// (`refused` set) or a file cannot be compiled or written.
Status ConvertDdfSet(const FromDdfOptions& options, FromDdfResult* result, std::vector<std::string>* warnings);

}  // namespace tavelnor::tool
