// Sample tables for the dictionary tests: one column of every type the
// dictionary names, and records whose every value is known as text,
// computed here apart from the decoder (calendar through <chrono>, decimals
// through integers).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ddf/ddf_writer.h"

namespace tavelnor::ddf::test {

// The columns of the table of every type, laid out one after the other
// (the BIT columns share one byte); `record_length` gets the fixed length.
std::vector<ColumnSpec> EveryTypeColumns(uint16_t* record_length);

// Record `i` of a table of `columns`, and the text of each column's value.
std::vector<uint8_t> SampleRecord(const std::vector<ColumnSpec>& columns, uint16_t record_length, uint32_t i,
                                  std::vector<std::string>* texts);

// A table of the given kind: every type (`records` of them, key 0 the
// AUTOINCREMENT id, key 1 three segments, key 2 two), or variable records
// ending in a NOTE or an LVAR.
TableSpec EveryTypeTable(uint32_t records);
TableSpec VariableTable(uint8_t type, uint32_t records);

// What a folder holds, to the byte and the modification time: reading must
// leave it as it was.
std::map<std::string, std::pair<uintmax_t, std::filesystem::file_time_type>> FolderListing(const std::string& dir);

}  // namespace tavelnor::ddf::test
