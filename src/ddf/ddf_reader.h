// The reader of a data dictionary: the tables, columns and keys that
// FILE.DDF, FIELD.DDF and INDEX.DDF describe, checked against the data files
// they name. The three files and the data files are opened read-only through
// btrieve::DataFile (our own files and earlier engines' alike); nothing is
// written. Names are the stored bytes (code page untouched), trailing blanks
// and NULs trimmed.
//
// Record layouts (little-endian; longer records, as later engines write,
// are read by the same prefix):
//   FILE.DDF  (>= 87)  0 id (2), 2 name (20), 22 location (64), 86 flags (1)
//   FIELD.DDF (>= 32)  0 id (2), 2 table id (2), 4 name (20), 24 type code (1),
//                      25 offset (2), 27 size (2), 29 decimals (1), 30 flags (2)
//   INDEX.DDF (>= 10)  0 table id (2), 2 field id (2), 4 key number (2),
//                      6 segment number (2), 8 key flags (2)
// FIELD.DDF rows of type 255 name an index (their offset is its key number),
// rows of type 227 a constraint; neither is a column. Tables named X$...
// describe the dictionary itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ddf/ddf_values.h"
#include "foundation/status.h"

namespace tavelnor::ddf {

struct DdfOptions {
  bool system_tables = false;     // keep the X$ tables, their fields and keys
  bool check_data_files = true;   // open each data file and check it (Stat)
  bool warn_missing_files = true;  // a warning for each data file not found
};

struct DdfField {
  uint16_t id = 0;
  uint16_t table_id = 0;
  std::string name;
  uint8_t type = kDdfString;
  uint16_t offset = 0;  // from 0
  uint16_t size = 0;
  uint8_t decimals = 0;  // BIT: the bit number
  uint16_t flags = 0;    // bit 0 case-insensitive, bit 2 nullable
  DdfColumn column() const { return {type, size, decimals}; }
};

struct DdfSegment {
  uint16_t field_id = 0;  // 0: no column of the table lies exactly there
  uint16_t offset = 0;    // from 0
  uint16_t length = 0;
  uint16_t flags = 0;     // key flags, as in the file's key descriptors
};

struct DdfKey {
  uint16_t number = 0;
  std::string name;  // from a FIELD.DDF index-name row; may be empty
  std::vector<DdfSegment> segments;
};

struct DdfTable {
  uint16_t id = 0;
  std::string name;
  std::string location;  // as stored
  std::string path;      // the data file found for it; empty when none is
  uint8_t flags = 0;
  bool system = false;  // an X$ table
  bool checked = false;  // the data file opened and the rest was checked against it
  // The data file's record length; without one, the end of the farthest column.
  uint16_t record_length = 0;
  std::vector<DdfField> fields;  // in offset order
  std::vector<DdfKey> keys;      // in key number order
};

struct DdfDatabase {
  std::string folder;
  std::vector<DdfTable> tables;  // in id order
  // Rows in FILE.DDF, FIELD.DDF and INDEX.DDF, as read.
  size_t rows_read[3] = {0, 0, 0};
  // Rows taken (system tables included, damaged rows not): columns, index
  // names, constraint names, INDEX.DDF rows.
  size_t field_rows = 0, index_name_rows = 0, constraint_rows = 0, index_rows = 0;
  // INDEX.DDF counts keys and segments from 1 (some programs' own
  // dictionaries did; no key of theirs has a segment 0). Keys here always
  // count from 0, as the data files' do.
  bool one_based = false;

  // The table of that name (ASCII case-insensitive), or null.
  const DdfTable* FindTable(const std::string& name) const;
};

// Names and file names as the dictionary compares them: ASCII letters
// without regard to case, every other byte as it is (the code page is not
// known).
bool SameNoCase(std::string_view a, std::string_view b);

// Reads the dictionary in `folder`. NotFound when one of the three files is
// missing, Corrupt when one cannot be opened or has another record layout.
// Rows that cannot be used (an unknown table or field, a type code or size
// no column has, a column beyond any record) are left out, each with a line
// in `warnings`; so is every disagreement with a data file (columns beyond
// its records, keys, segment positions, lengths, flags and key types), where
// the data file wins.
Status ReadDdfDatabase(const std::string& folder, const DdfOptions& options, DdfDatabase* out,
                       std::vector<std::string>* warnings);

// The tables, columns and keys the three files' records describe (rows
// shorter than their layout are left out), with the same checks and
// warnings as ReadDdfDatabase; `folder` is where the data files are looked
// for when `options` says to check them.
void BuildDdfDatabase(const std::string& folder, const std::vector<std::vector<uint8_t>>& file_rows,
                      const std::vector<std::vector<uint8_t>>& field_rows,
                      const std::vector<std::vector<uint8_t>>& index_rows, const DdfOptions& options,
                      DdfDatabase* out, std::vector<std::string>* warnings);

// The file `location` names, relative to `folder`: backslashes are
// separators, a drive letter and leading separators are dropped, every
// component matches case-insensitively (ASCII), and when the whole path is
// not there its trailing components are tried (a DOS path like
// \APP\DATA\F10.DAT finds DATA/F10.DAT or F10.DAT in the folder). Empty
// when no file matches.
std::string ResolveDdfLocation(const std::string& folder, const std::string& location);

}  // namespace tavelnor::ddf
