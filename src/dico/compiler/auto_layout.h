// Record layout for hand-written dictionary sources.
//
// Fills in what a source leaves out, never what it gives:
// - an array's item field ("VarInArray", "VarStructInArray") without
//   "nbitems" takes the array's number of items;
// - every container (kinds 1 to 5) is laid out as the object model does it:
//   ComputeSize bottom-up (fields of class 3, 4 and 6 count 0, a user-defined
//   area its own unit size, any other object with children the sum of its
//   children, skipping those with internal flag 0x1 or 0x80000), then
//   AssignOffsets from 0 (fields of class 2 to 6 get an offset but take no
//   space, a user-defined area takes exactly its unit size). A table lays out
//   its first child (the record-layout node) and takes its size; other
//   containers lay out themselves. Computed unit sizes are stored where
//   "internalsize" is absent, offsets where "diskoffset" (fields of kinds
//   18 to 21) or "offset" (user-defined areas) is absent. A user-defined area
//   without "internalsize" takes "maxpersosize", else the sum of its fields;
// - a "Segment" or "SubLink" naming a "field" (a name, or a path below the
//   table's record-layout node) takes that field's record offset, and when
//   absent its total size as "internalsize", its identifier as "linkedto"
//   and (segments) its type code as "typeseg".
//
// Kept apart so that it can give way to the object model's own layout code.
#pragma once

#include "dico/compiler/source_model.h"

namespace tavelnor::dico::source {

// REQUIRES: identifiers assigned and paths resolved.
Status ApplyAutoLayout(SourceDico* dico);

}  // namespace tavelnor::dico::source
