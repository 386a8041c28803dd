// Reading from a shared file view, the same on every system.
#include "foundation/platform/shared_view.h"

namespace tavelnor::platform {

uint32_t SharedFileView::LoadBE32(size_t offset) const {
  if (base_ == nullptr || offset % 4 != 0 || offset + 4 > size_) return 0;
  const uint32_t raw = *reinterpret_cast<const volatile uint32_t*>(base_ + offset);
  const auto* b = reinterpret_cast<const uint8_t*>(&raw);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

}  // namespace tavelnor::platform
