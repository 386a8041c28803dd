// Opening a table's data file, creating it from the table definition when it
// is missing: the one sequence shared by a table's own open and the data
// context's cache.
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/chaine.h"

namespace tavelnor::dico {
class DRubricTable;
}

namespace tavelnor::data {

class BtrvFile;

// Opens `path` with `mode` (taken as a signed byte: 254 is read-only, -2).
// On 12 (not found), unless the mode is read-only and when a definition is
// given, the file is created from it (the extended form's layout when
// `extended`), given `owner` when one is set, and opened again. With
// `create_only` the first open is skipped (the file is taken as missing).
// Answers the last status.
int16_t OpenOrCreate(BtrvFile& file, const dico::DRubricTable* table, const Chaine& path,
                     int16_t mode, bool extended, std::string_view owner,
                     bool create_only = false);

// The record length a definition stores: the extended form's when `extended`.
uint32_t DefinitionRecordLength(const dico::DRubricTable& table, bool extended);

}  // namespace tavelnor::data
