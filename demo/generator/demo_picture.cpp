// Drawing of the demo pictures.
#include "demo/generator/demo_picture.h"

#include <array>
#include <cstdlib>
#include <functional>

namespace tavelnor::demo {
namespace {

struct Rgb {
  uint8_t r, g, b;
};

void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}

// A 24-bit DIB whose pixel (x, y), y = 0 at the top, is `paint(x, y)`.
std::string Draw(int32_t width, int32_t height, const std::function<Rgb(int, int)>& paint) {
  const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  std::string dib;
  Put32(dib, 40);
  Put32(dib, static_cast<uint32_t>(width));
  Put32(dib, static_cast<uint32_t>(height));  // positive: rows bottom-up
  Put16(dib, 1);
  Put16(dib, 24);
  Put32(dib, 0);  // no compression
  Put32(dib, stride * static_cast<uint32_t>(height));
  Put32(dib, 2835);  // 72 dots per inch
  Put32(dib, 2835);
  Put32(dib, 0);
  Put32(dib, 0);
  for (int32_t row = height - 1; row >= 0; --row) {
    std::string line;
    for (int32_t x = 0; x < width; ++x) {
      const Rgb c = paint(x, row);
      line += static_cast<char>(c.b);
      line += static_cast<char>(c.g);
      line += static_cast<char>(c.r);
    }
    line.resize(stride, '\0');
    dib += line;
  }
  return dib;
}

constexpr std::array<Rgb, 8> kInks = {{{200, 40, 40},
                                       {40, 110, 190},
                                       {40, 150, 70},
                                       {230, 160, 20},
                                       {120, 60, 160},
                                       {20, 150, 160},
                                       {90, 90, 90},
                                       {200, 80, 140}}};

uint8_t Mix(uint8_t a, uint8_t b, int t, int range) {
  return static_cast<uint8_t>((a * (range - t) + b * t) / range);
}

}  // namespace

std::string ProductPicture(uint32_t variant) {
  const Rgb ink = kInks[variant % kInks.size()];
  const Rgb back = kInks[(variant / 8 + 3) % kInks.size()];
  const uint32_t shape = (variant / 64) % 3;
  const int cx = kPictureWidth / 2, cy = kPictureHeight / 2;
  return Draw(kPictureWidth, kPictureHeight, [&](int x, int y) -> Rgb {
    bool inside = false;
    const int dx = x - cx, dy = y - cy;
    switch (shape) {
      case 0:
        inside = dx * dx + dy * dy <= 12 * 12;
        break;  // disc
      case 1:
        inside = std::abs(dx) <= 14 && std::abs(dy) <= 10;
        break;  // box
      default:
        inside = dy >= -12 && dy <= 10 && std::abs(dx) * 2 <= dy + 12;
        break;  // cone
    }
    if (inside) return ink;
    // A pale vertical gradient of the background colour.
    return Rgb{Mix(255, back.r, y, kPictureHeight * 3), Mix(255, back.g, y, kPictureHeight * 3),
               Mix(255, back.b, y, kPictureHeight * 3)};
  });
}

std::string LogoPicture() {
  const int cx = kPictureWidth / 2, cy = kPictureHeight / 2;
  return Draw(kPictureWidth, kPictureHeight, [&](int x, int y) -> Rgb {
    const int dx = x - cx, dy = y - cy;
    const int d2 = dx * dx + dy * dy;
    if (std::abs(dx + dy) <= 2 && d2 <= 16 * 16) return Rgb{230, 160, 20};
    if ((d2 >= 13 * 13 && d2 <= 16 * 16) || (d2 >= 6 * 6 && d2 <= 9 * 9)) return Rgb{30, 60, 120};
    return Rgb{250, 250, 245};
  });
}

}  // namespace tavelnor::demo
