// ImageBuffer: a dictionary image in memory, shared by the object arrays
// that keep their record images in place in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace tavelnor::dico {

struct ImageBuffer {
  std::shared_ptr<uint8_t> data;  // owns the bytes
  size_t size = 0;

  std::span<const uint8_t> bytes() const { return {data.get(), size}; }

  static ImageBuffer FromVector(std::vector<uint8_t>&& v) {
    auto owner = std::make_shared<std::vector<uint8_t>>(std::move(v));
    ImageBuffer b;
    b.size = owner->size();
    b.data = std::shared_ptr<uint8_t>(owner, owner->data());
    return b;
  }
  // `n` bytes left uninitialised, for a read that fills them all.
  static ImageBuffer ForOverwrite(size_t n) {
    ImageBuffer b;
    b.size = n;
    b.data = std::shared_ptr<uint8_t>(new uint8_t[n ? n : 1], std::default_delete<uint8_t[]>());
    return b;
  }
};

}  // namespace tavelnor::dico
