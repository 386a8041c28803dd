// Why the last open of a data file failed on this thread, in one line for
// the user (a file of an earlier record manager that could not be read, and
// why), and the seam through which DataFile::Open reaches the reader of such
// files, which tests may replace with a source of their own.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "btrieve/legacy_source.h"

namespace tavelnor::btrieve {

// The reason the last DataFile::Open on this thread gave for its failure,
// or the damage its reader worked around in a file that opened (one line
// each; also set when a later read of that file finds more); empty when
// there is nothing to say.
const std::string& LastOpenDiagnosis();
void SetLastOpenDiagnosis(std::string reason);

// Opens a file that is not one of our own databases: OpenLegacySource, or
// the opener a test set.
using LegacyOpener = std::function<int(const std::string& path,
                                       std::unique_ptr<LegacySource>* out, std::string* reason)>;
int OpenLegacy(const std::string& path, std::unique_ptr<LegacySource>* out, std::string* reason);
// Replaces the opener for the whole process; an empty function restores
// OpenLegacySource.
void SetLegacyOpenerForTesting(LegacyOpener opener);
bool HasLegacyOpenerForTesting();

}  // namespace tavelnor::btrieve
