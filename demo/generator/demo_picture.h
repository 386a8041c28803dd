// Small pictures drawn in code for the demo's image fields: device-independent
// bitmaps (a 40-byte BITMAPINFOHEADER followed by bottom-up 24-bit rows), the
// form in which the records keep pictures.
#pragma once

#include <cstdint>
#include <string>

namespace tavelnor::demo {

inline constexpr int32_t kPictureWidth = 48;
inline constexpr int32_t kPictureHeight = 36;

// A product picture: a shaded background and a shape whose kind and colours
// follow `variant`.
std::string ProductPicture(uint32_t variant);
// The company logo: concentric rings crossed by a band.
std::string LogoPicture();

}  // namespace tavelnor::demo
