// The BMP file image of a picture held as a device-independent bitmap: the
// DIB (header, colour table, bits) preceded by a 14-byte file header.
//
// File header, little-endian: "BM", the file size, four zero bytes, the
// offset of the bits (14 + header size + colour table size). The colour
// table counts 2, 16 or 256 four-byte entries for 1, 4 and 8 bits per pixel
// and none otherwise. The file size is 14 + header size + colour table size
// + height x stride, where the stride takes the whole bytes of a row
// (width x bits per pixel / 8, cut) rounded up to a multiple of 4; for rows
// whose bit length is not a whole number of bytes this is below the usual
// BMP stride, which readers of the block rarely consult.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavelnor::data {

// The file image of `dib`; nullopt when `dib` is not a bitmap (shorter than
// its header, a header size below 12 or beyond the data, no width). A
// picture already held as a BMP file ("BM" and a plausible header) is
// returned as it is.
std::optional<std::string> DibToBmpFile(std::string_view dib);

}  // namespace tavelnor::data
