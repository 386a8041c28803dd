// libFuzzer target: any bytes taken as a device-independent bitmap give
// either no image or a BMP file image holding those bytes after a 14-byte
// file header; nothing crashes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "data/bmp_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view dib(reinterpret_cast<const char*>(data), size);
  const auto file = tavelnor::data::DibToBmpFile(dib);
  if (!file) return 0;
  if (file->substr(0, 2) != "BM") std::abort();
  const bool copied_as_is = *file == dib;
  if (!copied_as_is && (file->size() != size + 14 || file->substr(14) != dib)) std::abort();
  return 0;
}
