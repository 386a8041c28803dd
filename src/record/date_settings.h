// Process-wide date settings. The smallest valid date is 01/01/1000 unless
// the loaded dictionary's root asks for the all-zero date.
#pragma once

namespace tavelnor::record {

void SetMinimumDateZero(bool zero);
bool MinimumDateIsZero();

}  // namespace tavelnor::record
