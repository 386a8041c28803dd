// Stands in for the reader of earlier engines' files until it is built in.
#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_source.h"

namespace tavelnor::btrieve {

int OpenLegacySource(const std::string& /*path*/, std::unique_ptr<LegacySource>* /*out*/,
                     std::string* reason) {
  if (reason != nullptr) *reason = "reader not built";
  return kNotOurFile;
}

}  // namespace tavelnor::btrieve
