// A large synthetic dictionary for benchmarks: `tables` tables, each with a
// record layout of `fields` fields, three keys of two segments and two links
// of two parts, all with distinct display texts.
#pragma once

#include <cstdint>

#include "dico/dico_image.h"

namespace tavelnor::bench {

dico::DicoImage MakeSyntheticDico(uint32_t tables, uint32_t fields);

// One table "Factures" of 30 fields as business tables hold them: eight
// 30-byte texts, five dates, five amounts (currency), four fixed-point
// quantities, six 32-bit integers, one 16-bit integer and one text memo.
// `record_length` receives the record's length.
dico::DicoImage MakeTypicalTableDico(uint32_t* record_length);

}  // namespace tavelnor::bench
