// Building dictionary files: a compiled DicoImage written at a format level,
// plain, gzip-compressed or carried as the "DICO" resource of a Windows
// module, and the whole path from a JSON source file to the dictionary file
// and its translation file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "dico/compiler/json_source.h"
#include "dico/dico_image.h"
#include "foundation/status.h"

namespace tavelnor::dico {

enum class Container {
  kPlain,     // the dictionary image as it stands
  kGzip,      // one gzip member holding the image
  kPeModule,  // a resource-only 32-bit module: resource "DICO" of type "DICO", language 1036
};

// Writes `image` at `level` (2..11) in `container`. InvalidArgument for a
// level out of range, or for an array of more than 65535 objects at a level
// below 11 (those store 16-bit counts).
Result<std::vector<uint8_t>> EncodeDico(const DicoImage& image, int level, Container container);

// The translation file that goes with a dictionary file: same directory and
// file title, extension ".newtrad" when the dictionary's is "new" (in any
// case), else ".oxatrad".
std::filesystem::path TranslationPathFor(const std::filesystem::path& dico_path);

// Reads a UTF-8 JSON source (comments allowed), compiles it, writes the
// dictionary at `level` (0: the source's own) and, when the source carries
// translated texts, the translation file beside it. InvalidArgument for a
// source error (with the file name, and line and column for JSON syntax),
// IoError when a file cannot be read or written.
Status BuildDicoFile(const std::filesystem::path& json_path, const std::filesystem::path& out_path,
                     int level, Container container);

}  // namespace tavelnor::dico
