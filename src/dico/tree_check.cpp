#include "dico/tree_check.h"

#include <algorithm>

namespace tavelnor::dico {
namespace {
constexpr uint32_t kChildBit = 0x80000000u;
constexpr uint16_t kBusy = 0xFFFF;
}  // namespace

TreeCheck::TreeCheck(const std::vector<uint32_t>& ids, uint32_t max_id, uint32_t max_depth)
    : ids_(ids), max_depth_(max_depth) {
  // Identifiers below the limit index the tables directly; sparse ones (the
  // system rubric's 0x100000 and up) are folded after them.
  dense_limit_ = static_cast<uint64_t>(ids.size()) * 8 + 4096;
  dense_size_ = static_cast<size_t>(std::min<uint64_t>(dense_limit_, uint64_t{max_id} + 1));
  for (uint32_t id : ids) {
    if (id >= dense_limit_) sparse_.push_back(id);
  }
  std::sort(sparse_.begin(), sparse_.end());
  sparse_.erase(std::unique(sparse_.begin(), sparse_.end()), sparse_.end());
  pred_.assign(dense_size_ + sparse_.size(), 0);
  depth_.assign(pred_.size(), 0);
}

size_t TreeCheck::Index(uint32_t id) const {
  if (id < dense_limit_) return id;
  auto it = std::lower_bound(sparse_.begin(), sparse_.end(), id);
  return dense_size_ + static_cast<size_t>(it - sparse_.begin());
}

Status TreeCheck::Link(uint32_t from, uint32_t to, bool child) {
  const size_t target = Index(to);
  if (to == from || target >= pred_.size() || pred_[target] != 0) {
    return Status::Corrupt("object " + std::to_string(to) +
                           " is reached twice through child and sibling links");
  }
  pred_[target] = static_cast<uint32_t>(Index(from) + 1) | (child ? kChildBit : 0);
  return Status::Ok();
}

Status TreeCheck::Finish() {
  std::vector<size_t> chain;
  for (uint32_t id : ids_) {
    size_t x = Index(id);
    chain.clear();
    uint32_t known = 0;  // depth + 1 where the walk stopped; 0 at a top object
    while (true) {
      if (depth_[x] == kBusy) {
        return Status::Corrupt("the child and sibling links of object " + std::to_string(id) +
                               " form a loop");
      }
      if (depth_[x] != 0) {
        known = depth_[x];
        break;
      }
      depth_[x] = kBusy;
      chain.push_back(x);
      if (pred_[x] == 0) break;
      x = (pred_[x] & ~kChildBit) - 1;
    }
    // Down from the top of the chain: a first-child link goes one level
    // deeper, a sibling link stays on the same level.
    uint32_t d = known ? known - 1 : 0;
    for (size_t c = chain.size(); c-- > 0;) {
      const size_t y = chain[c];
      const bool top = c + 1 == chain.size() && !known;
      if (!top && (pred_[y] & kChildBit)) ++d;
      if (d > max_depth_) {
        return Status::Corrupt("objects nested deeper than " + std::to_string(max_depth_) +
                               " levels below object " + std::to_string(id));
      }
      depth_[y] = static_cast<uint16_t>(d + 1);
    }
  }
  return Status::Ok();
}

}  // namespace tavelnor::dico
