// A large synthetic dictionary for benchmarks: `tables` tables, each with a
// record layout of `fields` fields, three keys of two segments and two links
// of two parts, all with distinct display texts.
#pragma once

#include <cstdint>

#include "dico/dico_image.h"

namespace tavelnor::bench {

dico::DicoImage MakeSyntheticDico(uint32_t tables, uint32_t fields);

}  // namespace tavelnor::bench
