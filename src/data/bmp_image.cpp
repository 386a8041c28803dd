// DIB to BMP file image.
#include "data/bmp_image.h"

#include <cstdlib>

#include "foundation/byte_reader.h"

namespace tavelnor::data {
namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;

void PutLE32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::optional<std::string> DibToBmpFile(std::string_view dib) {
  if (dib.size() >= kFileHeaderSize + 4 && dib[0] == 'B' && dib[1] == 'M') {
    return std::string(dib);
  }
  ByteReader r(reinterpret_cast<const uint8_t*>(dib.data()), dib.size());
  uint32_t header_size = 0;
  if (!r.ReadU32(&header_size) || header_size < kCoreHeaderSize || header_size > dib.size()) {
    return std::nullopt;
  }
  int64_t width = 0;
  int64_t height = 0;
  uint16_t bits = 0;
  if (header_size == kCoreHeaderSize) {  // the old core header: 16-bit sizes
    uint16_t w = 0, h = 0, planes = 0;
    if (!r.ReadU16(&w) || !r.ReadU16(&h) || !r.ReadU16(&planes) || !r.ReadU16(&bits)) {
      return std::nullopt;
    }
    width = w;
    height = h;
  } else {
    uint32_t w = 0, h = 0;
    uint16_t planes = 0;
    if (!r.ReadU32(&w) || !r.ReadU32(&h) || !r.ReadU16(&planes) || !r.ReadU16(&bits)) {
      return std::nullopt;
    }
    width = static_cast<int32_t>(w);
    height = std::llabs(static_cast<int32_t>(h));
  }
  if (width <= 0) return std::nullopt;
  uint64_t colours = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
  uint64_t table = 4 * colours;
  uint64_t row_bytes = static_cast<uint64_t>(width) * bits / 8;
  uint64_t stride = ((row_bytes * 8 + 31) / 8) & ~uint64_t{3};
  uint64_t file_size = kFileHeaderSize + header_size + table + static_cast<uint64_t>(height) * stride;
  std::string out(kFileHeaderSize, '\0');
  out[0] = 'B';
  out[1] = 'M';
  PutLE32(out, 2, file_size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(file_size));
  PutLE32(out, 10, static_cast<uint32_t>(kFileHeaderSize + header_size + table));
  out.append(dib);
  return out;
}

}  // namespace tavelnor::data
