// Feeds arbitrary bytes to the dictionary loader through a file, so that all
// three containers (plain image, gzip stream, module resource) are reached
// exactly as ZAVL_OpenSchema reaches them. A load either succeeds or fails
// cleanly; a loaded dictionary is walked and exported to touch every object.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "dico/attribute_export.h"
#include "dico/dico_handler.h"

namespace {
std::string ScratchPath() {
  static const std::string path = "/tmp/tavelnor-fuzz-dico-" + std::to_string(getpid()) + ".dic";
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = ScratchPath();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  tavelnor::dico::DDicoHandler handler;
  if (handler.Load(tavelnor::Chaine(path), tavelnor::dico::kLoadNameIndex) ==
      tavelnor::dico::LoadResult::kLoaded) {
    const auto exported = tavelnor::dico::ExportDictionary(handler);
    (void)tavelnor::dico::RenderTree(exported.root);
    (void)handler.FindTable("Clients");
  }
  return 0;
}
