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
  parent_.assign(pred_.size(), 0);
}

uint32_t TreeCheck::IdAt(size_t index) const {
  if (index < dense_size_) return static_cast<uint32_t>(index);
  return sparse_[index - dense_size_];
}

void TreeCheck::AddParent(uint32_t id, uint32_t parent) {
  const size_t at = Index(id);
  const size_t p = Index(parent);
  if (at < parent_.size() && p < parent_.size()) parent_[at] = static_cast<uint32_t>(p + 1);
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
  return CheckParents();
}

Status TreeCheck::CheckParents() {
  // Links against parents: a first child's parent is the object whose child
  // it is, a sibling's parent that of the object before it. A parent that
  // names no object only stops a climb, and is let be.
  for (uint32_t id : ids_) {
    const size_t x = Index(id);
    if (pred_[x] == 0 || parent_[x] == 0) continue;
    const size_t from = (pred_[x] & ~kChildBit) - 1;
    const uint32_t expected = (pred_[x] & kChildBit) ? static_cast<uint32_t>(from + 1) : parent_[from];
    if (parent_[x] != expected) {
      const std::string named = "object " + std::to_string(IdAt(parent_[x] - 1));
      const std::string wanted = expected ? "object " + std::to_string(IdAt(expected - 1))
                                          : "no object";
      return Status::Corrupt("object " + std::to_string(id) + " names " + named +
                             " as its parent but its child and sibling links place it under " +
                             wanted);
    }
  }
  // Chains of parents: reuse depth_ as the mark (0 unknown, kBusy on the
  // current chain, else the depth, 1 for an object without a parent).
  std::fill(depth_.begin(), depth_.end(), 0);
  std::vector<size_t> chain;
  for (uint32_t id : ids_) {
    size_t x = Index(id);
    chain.clear();
    uint32_t d = 0;  // depth of the object above the chain, 0 above a top
    while (true) {
      if (depth_[x] == kBusy) {
        return Status::Corrupt("the parent links of object " + std::to_string(id) +
                               " form a loop");
      }
      if (depth_[x] != 0) {
        d = depth_[x];
        break;
      }
      depth_[x] = kBusy;
      chain.push_back(x);
      if (parent_[x] == 0) break;
      x = parent_[x] - 1;
    }
    for (size_t c = chain.size(); c-- > 0;) {
      if (++d > max_depth_ + 1) {
        return Status::Corrupt("the parents of object " + std::to_string(id) +
                               " reach deeper than " + std::to_string(max_depth_) + " levels");
      }
      depth_[chain[c]] = static_cast<uint16_t>(d);
    }
  }
  return Status::Ok();
}

}  // namespace tavelnor::dico
