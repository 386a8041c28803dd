// libFuzzer target: bytes parsed as a translation archive. A parse must never
// crash, and whatever parses must write back to exactly the same bytes (the
// archive layout has one encoding per content).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "foundation/translation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tavelnor::TranslationFile file;
  if (!file.Parse(std::span<const uint8_t>(data, size)).ok()) return 0;
  auto bytes = file.Serialize();
  if (!bytes.ok() || bytes.value().size() != size ||
      (size != 0 && std::memcmp(bytes.value().data(), data, size) != 0)) {
    std::abort();
  }
  // Exercise lookups on what was read.
  for (const auto& [name, root] : file.Sections()) {
    for (const auto& [child, item] : root->children()) {
      if (root->Child(child) != item) std::abort();
      (void)item->Text(1036);
    }
  }
  return 0;
}
