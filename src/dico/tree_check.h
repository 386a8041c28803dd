// TreeCheck: verifies, while a dictionary loads, that the first-child and
// next-sibling links of its objects form a forest: every object reached at
// most once, no loop, nesting no deeper than a limit. Walks of the tree
// (layout, export, descendants) rely on it.
//
// Each object has at most one predecessor (the object whose first child or
// next sibling it is); following predecessors from any object must end at an
// object without one. The check works on identifiers alone, with tables
// indexed by identifier, so the loader feeds it during its own passes.
//
// The parent links must agree: the descendant walks climb back up through
// parents, so an object's first child names it as parent and a next sibling
// names the same parent as the object before it (a parent that names no
// object is allowed: a climb stops there). Chains of parents, followed from
// any object, end without a loop within the depth limit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/status.h"

namespace tavelnor::dico {

class TreeCheck {
 public:
  // `ids`: the identifier of every object; `max_depth`: deepest nesting allowed.
  TreeCheck(const std::vector<uint32_t>& ids, uint32_t max_id, uint32_t max_depth);

  // One object's links; `exists` tells whether an identifier names an object.
  // Fails when a target is already reached from elsewhere.
  template <typename Exists>
  Status AddLinks(uint32_t id, uint32_t first_child, uint32_t next_sibling, Exists exists) {
    if (first_child && exists(first_child)) {
      if (Status s = Link(id, first_child, true); !s.ok()) return s;
    }
    if (next_sibling && exists(next_sibling)) {
      if (Status s = Link(id, next_sibling, false); !s.ok()) return s;
    }
    return Status::Ok();
  }

  // One object's parent identifier, when it names an object.
  void AddParent(uint32_t id, uint32_t parent);

  // Walks every object up to its top: fails on a loop, too deep a nesting,
  // or a parent link that disagrees with the child and sibling links.
  Status Finish();

 private:
  size_t Index(uint32_t id) const;
  uint32_t IdAt(size_t index) const;
  Status Link(uint32_t from, uint32_t to, bool child);
  Status CheckParents();

  const std::vector<uint32_t>& ids_;
  uint32_t max_depth_;
  uint64_t dense_limit_;
  size_t dense_size_;
  std::vector<uint32_t> sparse_;  // sorted identifiers at or beyond dense_limit_
  std::vector<uint32_t> pred_;    // predecessor's table index + 1, bit 31 for a child link
  std::vector<uint16_t> depth_;   // nesting depth + 1 once known
  std::vector<uint32_t> parent_;  // parent's table index + 1, 0 for none
};

}  // namespace tavelnor::dico
