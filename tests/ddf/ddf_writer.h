// Writes data dictionaries for tests: FILE.DDF, FIELD.DDF and INDEX.DDF
// (with the rows that describe themselves) and each table's data file, all
// either as our own files (DataFile::Create + Insert) or as an earlier
// engine's 5.x or 6.0 files (legacy_synth.h). Each table's keys become both
// INDEX.DDF rows and the data file's key descriptors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/status.h"

namespace tavelnor::ddf::test {

enum class FileKind { kOurs, kVersion5, kVersion6 };

struct ColumnSpec {
  std::string name;
  uint8_t type = 0;
  uint16_t size = 0;
  uint8_t decimals = 0;
  uint16_t offset = 0;
  uint16_t flags = 0;
};

struct KeySpec {
  std::vector<size_t> columns;  // indexes into the table's columns
  uint16_t flags = 0;           // dup, modifiable...; the writer adds the rest
  std::string name;             // written as an index-name row when not empty
  int key_type = -1;            // the data file's key type (-1: the column's)
};

struct TableSpec {
  std::string name;
  std::string location;  // as FILE.DDF stores it
  std::string file;      // the data file's name in the folder (empty: no data file)
  uint16_t record_length = 0;
  bool variable = false;
  std::vector<ColumnSpec> columns;
  std::vector<KeySpec> keys;
  // The data file's keys, when they are to differ from what INDEX.DDF says.
  std::vector<KeySpec> data_keys;
  bool own_data_keys = false;
  std::vector<std::vector<uint8_t>> records;
};

struct DdfSpec {
  FileKind kind = FileKind::kOurs;
  std::vector<TableSpec> tables;  // ids from 10 on; X$File, X$Field, X$Index come first
  bool lower_case_names = false;  // file.ddf, field.ddf, index.ddf
  uint16_t file_row_length = 97;  // FILE.DDF records: 97 (later engines) or 87
  // Rows appended to FIELD.DDF and INDEX.DDF as given (damage, odd rows).
  std::vector<std::vector<uint8_t>> extra_field_rows, extra_index_rows;
};

// A FIELD.DDF row.
std::vector<uint8_t> FieldRow(uint16_t id, uint16_t table, const std::string& name, uint8_t type, uint16_t offset,
                              uint16_t size, uint8_t decimals, uint16_t flags = 0);
// An INDEX.DDF row.
std::vector<uint8_t> IndexRow(uint16_t table, uint16_t field, uint16_t number, uint16_t part, uint16_t flags);

// Writes one data file of `kind`; `keys` as (offset, length, flags, key type)
// segments, one vector per key.
struct SegmentSpec {
  uint16_t offset = 0, length = 0, flags = 0;
  uint8_t type = 0;
};
Status WriteDataFile(FileKind kind, const std::string& path, uint16_t record_length, bool variable,
                     const std::vector<std::vector<SegmentSpec>>& keys,
                     const std::vector<std::vector<uint8_t>>& records);

Status WriteDdfDatabase(const std::string& folder, const DdfSpec& spec);

}  // namespace tavelnor::ddf::test
