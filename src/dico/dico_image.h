// DicoImage: a dictionary file's content, parsed and validated, before any
// object is built from it; and the writer that turns one back into bytes at
// any format level from 0 to 11.
//
// Parsing never trusts the input: every count and size is checked against the
// bytes that remain before anything is allocated, so a hostile file cannot
// make the reader allocate much more than the file's own size. Record images
// are converted to the current (level 11) image sizes as they are read.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dico/image_format.h"
#include "foundation/status.h"

namespace tavelnor::dico {

struct NameIndexEntry {
  int32_t value = 0;  // country code, or macro code + 14 for "@name"
  std::string name;
};

struct DicoHeader {
  uint8_t signature[2] = {'D', '8'};
  uint8_t version_byte = 2;
  uint8_t level = 11;
  uint32_t version_system = 0;
  uint32_t version_user = 0;
};

struct DicoImage {
  DicoHeader header;
  uint32_t last_id = 0;
  int32_t lowest_user_id = -1;
  std::vector<NameIndexEntry> name_index;
  uint32_t record_header_size = kBaseSize;
  // Images of each kind at their current size, count = size / image size.
  std::array<std::vector<uint8_t>, kKindCount> arrays;
  // With ParseOptions::in_place, arrays stored at their current size stay in
  // the parsed bytes: `arrays` is empty for them and this says where they are.
  struct InPlace {
    bool used = false;
    size_t offset = 0;
    uint32_t count = 0;
  };
  std::array<InPlace, kKindCount> in_place;
  InPlace pool_in_place;  // count = pool size; `pool` is empty then
  std::vector<uint8_t> pool;
  std::vector<uint8_t> categories;  // count x 257 bytes

  uint32_t Count(int kind) const {
    const auto& ip = in_place[static_cast<size_t>(kind)];
    if (ip.used) return ip.count;
    return static_cast<uint32_t>(arrays[static_cast<size_t>(kind)].size() /
                                 GetKindInfo(kind).image_size);
  }
  uint32_t CategoryCount() const {
    return static_cast<uint32_t>(categories.size() / kCategorySize);
  }
};

inline constexpr int kMinLevel = 0;
inline constexpr int kMaxLevel = 11;

// Reads section 1 only. Unsupported when the signature or version byte is
// refused, Corrupt when the bytes end first.
Status ParseDicoHeader(std::span<const uint8_t> bytes, DicoHeader* header);

// Reads the whole image. Corrupt (with the offset) on any count or size that
// the remaining bytes cannot hold; Unsupported on a refused signature.
struct ParseOptions {
  bool in_place = false;  // leave current-size arrays in the input (see DicoImage::in_place)
};
Result<DicoImage> ParseDicoImage(std::span<const uint8_t> bytes, ParseOptions options = {});

// Writes `image` at `level` (0 to 11). Below level 11 the name index, the
// countries and macros bytes and the root's native language are not written; below level 8 `versionuser`,
// below level 5 the lowest user identifier. Level-11 output of a parsed
// level-11 file with 67-byte headers and 257-byte categories is identical to
// the input. REQUIRES: no array of `image` is in place.
std::vector<uint8_t> WriteDicoImage(const DicoImage& image, int level);

}  // namespace tavelnor::dico
